#pragma once

#include <QByteArray>
#include <QString>

namespace quillbox::exchange {

// The bytes of a text file to read, without a UTF-8 byte-order mark; a file with a UTF-16
// byte-order mark comes back as UTF-8. A file holding NUL bytes is not text: UserError.
QByteArray textBytes(const QByteArray& file);

// Where UTF-8 text first goes wrong, or -1 when it is all valid.
qsizetype firstInvalidUtf8(const char* data, qsizetype size);

// The 1-based line of a byte offset, counting "\r\n", "\r" and "\n" as line ends.
int lineAt(const QByteArray& text, qsizetype offset);

} // namespace quillbox::exchange
