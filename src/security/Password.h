#pragma once

#include "data/Value.h"

#include <QString>

namespace quillbox::security {

namespace error {
// libsodium could not make a verifier (short of memory, or a password past its length limit).
// Raised as quillbox::data::EngineError; the number lies clear of SQLite's result codes and of
// the data layer's own numbers.
inline constexpr int VerifierFailed = 3500;
} // namespace error

// A salted Argon2id verifier ("$argon2id$...") of the password's UTF-8 bytes exactly as typed:
// no trimming, case folding or normalisation. Two calls with one password give different
// verifiers. Throws quillbox::data::EngineError(error::VerifierFailed) rather than return
// anything when libsodium fails.
QString makePasswordVerifier(const QString& password);

// Whether the typed text opens the program, given the stored "Senha" value. Null accepts
// nothing. A verifier accepts exactly the text it was made from. Any other value (a file filled
// by other means, a new file's empty text, a number) is compared as plain text, code unit by
// code unit. A verifier whose cost is beyond libsodium's sensitive limits accepts nothing, so a
// damaged file cannot stall the login.
bool passwordAccepts(const quillbox::data::Value& stored, const QString& typed);

// Whether the stored "Senha" value is a verifier (one that makePasswordVerifier makes), as
// opposed to a password kept as plain text or Null.
bool isPasswordVerifier(const quillbox::data::Value& stored);

} // namespace quillbox::security
