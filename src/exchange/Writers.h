#pragma once

#include "Person.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>

namespace quillbox::exchange {

enum class VCardVersion { V30, V40 };

// One contact as a vCard, lines ended by "\r\n" and folded at 75 octets, never inside a UTF-8
// sequence. FN is the name exactly as stored. N carries the name's parts only where the
// reader's rule gives the stored name back from them (see nameParts); otherwise it is empty
// (3.0, where N is required) or left out (4.0), and the reader takes FN. EMAIL and TEL are
// written when not empty. A non-empty address is ADR with all its lines in the street part,
// which the reader takes exactly as written, and its lines once more as LABEL (a parameter of
// ADR in 4.0). Line breaks are written as "\n", so any of "\r\n", "\r" and "\n" comes back as
// the "\r\n" the program stores.
void appendVCard(QByteArray& out, const contact::Contact& contact, VCardVersion version);

// "Family" and "Given" from a name "Family, Given" with exactly one ", " and neither part empty
// nor starting or ending in blanks; nothing for any other name.
std::optional<std::pair<QString, QString>> nameParts(const QString& name);

// A CSV table of contacts, RFC 4180: the header row, then one row per contact, rows ended by
// "\r\n". A field is quoted when it holds a quote, a separator of any kind the reader detects,
// a line break, or blanks at either end; line breaks inside fields stay as stored.
void appendCsvHeader(QByteArray& out);
void appendCsvRow(QByteArray& out, const contact::Contact& contact);

} // namespace quillbox::exchange
