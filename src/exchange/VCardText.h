#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Pieces of the vCard writer that the card editor shares.
namespace quillbox::exchange {

// A text value with vCard's escapes: backslash, comma, semicolon, and any line break as "\n".
QString escapedText(const QString& text);

// One content line, ended by "\r\n" and folded at 75 octets, never inside a UTF-8 sequence.
void appendFolded(QByteArray& out, const QString& line);
void appendFolded(QByteArray& out, QByteArrayView line);

} // namespace quillbox::exchange
