#include "Password.h"

#include "data/EngineError.h"

#include <QByteArray>
#include <QLatin1String>
#include <QRegularExpression>

#include <sodium.h>

#include <string_view>

namespace quillbox::security {

// passwordAccepts tells a verifier by the Argon2id prefix, so crypto_pwhash_str must make one.
static_assert(std::string_view(crypto_pwhash_STRPREFIX) ==
              std::string_view(crypto_pwhash_argon2id_STRPREFIX));

namespace {

[[noreturn]] void fail(const QString& why) {
    throw data::EngineError(error::VerifierFailed,
                            QStringLiteral("The password could not be protected: %1").arg(why));
}

void ensureSodium() {
    // A function-local static: initialised once, and safely when threads race to it.
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        fail(QStringLiteral("the cryptography library did not start."));
}

// The password's bytes, wiped when done so no copy of ours lingers in freed memory.
class Utf8Secret {
public:
    explicit Utf8Secret(const QString& text) : bytes_(text.toUtf8()) {}
    ~Utf8Secret() { sodium_memzero(bytes_.data(), static_cast<size_t>(bytes_.size())); }
    Utf8Secret(const Utf8Secret&) = delete;
    Utf8Secret& operator=(const Utf8Secret&) = delete;

    const char* data() const { return bytes_.constData(); }
    unsigned long long size() const { return static_cast<unsigned long long>(bytes_.size()); }

private:
    QByteArray bytes_;
};

// Verifying costs what the verifier's own parameters say. One with absurd ones (a damaged or
// tampered file) would freeze the login for hours or exhaust memory, so any costlier than
// libsodium's sensitive preset is refused without running it.
bool costIsBearable(const QString& verifier) {
    static const QRegularExpression params(
        QStringLiteral(R"(^\$argon2id\$v=\d+\$m=(\d{1,10}),t=(\d{1,10}),p=\d{1,10}\$)"));
    const auto match = params.match(verifier);
    if (!match.hasMatch())
        return false;
    const qulonglong memoryKiB = match.captured(1).toULongLong();
    const qulonglong passes = match.captured(2).toULongLong();
    return memoryKiB <= crypto_pwhash_MEMLIMIT_SENSITIVE / 1024 &&
           passes <= crypto_pwhash_OPSLIMIT_SENSITIVE;
}

} // namespace

QString makePasswordVerifier(const QString& password) {
    ensureSodium();
    const Utf8Secret secret(password);
    if (secret.size() > crypto_pwhash_PASSWD_MAX)
        fail(QStringLiteral("it is too long."));
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, secret.data(), secret.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        fail(QStringLiteral("the system is short of memory."));
    return QString::fromLatin1(out);
}

bool isPasswordVerifier(const data::Value& stored) {
    return !stored.isNull() &&
           stored.toText().startsWith(QLatin1String(crypto_pwhash_argon2id_STRPREFIX));
}

bool passwordAccepts(const data::Value& stored, const QString& typed) {
    if (stored.isNull())
        return false;
    const QString text = stored.toText();
    if (!isPasswordVerifier(stored))
        return text == typed;

    if (!costIsBearable(text))
        return false;
    ensureSodium();
    const Utf8Secret secret(typed);
    if (secret.size() > crypto_pwhash_PASSWD_MAX)
        return false;
    // Verifiers are ASCII; libsodium refuses the '?' that stands for anything else. A NUL would
    // cut the text short where libsodium reads it, so it is refused here.
    const QByteArray verifier = text.toLatin1();
    if (verifier.contains('\0'))
        return false;
    return crypto_pwhash_str_verify(verifier.constData(), secret.data(), secret.size()) == 0;
}

} // namespace quillbox::security
