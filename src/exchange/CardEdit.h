#pragma once

#include "Person.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillbox::exchange {

// The four texts one card gives the program, by the import's rules (see readVCards). Anything
// but exactly one valid vCard is a FormatError.
Person readCard(const QByteArray& card);

// What to change in a card; a field without a value stays as the card has it.
struct CardEdit {
    std::optional<QString> name, email, phone, address;
};

// `card` with the edited fields changed and every other line kept as it was, byte for byte
// (only line ends become "\r\n"): photos, further numbers and addresses, notes, UID, X-
// properties. What is changed is what the reader takes the field from:
//   name     FN, written as the name; and N, with the name's parts where nameParts finds them
//            and empty otherwise
//   e-mail   the preferred EMAIL, else the first; an empty e-mail removes it
//   phone    the preferred TEL, else the first; likewise
//   address  the preferred non-empty ADR, else the first, with the whole address in its street
//            part (which the reader takes exactly as written); a LABEL that went with it goes,
//            as it would tell the old address. An empty address removes both.
// A field the card lacks is added before END:VCARD. Reading the result may still give another
// value where the card has several (clearing one e-mail shows the next); callers read it back.
QByteArray editCard(const QByteArray& card, const CardEdit& edit);

// A new vCard 3.0 of a contact (as the export writes it) with the given UID.
QByteArray newCard(const Person& contact, const QString& uid);

} // namespace quillbox::exchange
