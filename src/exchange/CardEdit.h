#pragma once

#include "Person.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillbox::exchange {

// The four texts one card gives the program, by the import's rules (see readVCards). Anything
// but exactly one valid vCard is a UserError.
Person readCard(const QByteArray& card);

// What to change in a card; a field without a value stays as the card has it.
struct CardEdit {
    std::optional<QString> name, email, phone, address;
};

// `card` with the edited fields changed and every other line kept as it was, byte for byte
// (only line ends become "\r\n"): photos, further numbers and addresses, notes, UID, X-
// properties. A line is the whole content line, with its folds and quoted-printable soft line
// breaks. What is changed is what the reader takes the field from:
//   name     the preferred FN, written as the name (empty too); and the first N, with the
//            name's parts where nameParts finds them and empty otherwise
//   e-mail   the preferred EMAIL; an empty e-mail removes every EMAIL, so none shows instead
//   phone    the preferred TEL; likewise
//   address  the preferred ADR that has a part, else the first, with the whole address in its
//            street part (which the reader takes exactly as written); a LABEL that told the old
//            address goes. An empty address removes every ADR and LABEL.
// A field the card lacks is added before END:VCARD. Values are written in the card's version:
// 3.0 and 4.0 with backslash escapes; 2.1 escaping only ';', and text that is not printable
// ASCII (line breaks, other scripts) as CHARSET=UTF-8 in quoted-printable.
//
// The result is read back before it is returned: a card that does not read, that would show
// other texts than the edit's and the unedited fields' values as the card had them, or whose
// other lines would not come apart exactly as they were, is a UserError saying which; so is
// a `card` that is not one valid vCard.
QByteArray editCard(const QByteArray& card, const CardEdit& edit);

// A new vCard 3.0 of a contact (as the export writes it) with the given UID.
QByteArray newCard(const contact::Contact& contact, const QString& uid);

} // namespace quillbox::exchange
