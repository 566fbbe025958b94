#include "TextFile.h"

#include "errors/UserError.h"

#include <QStringDecoder>

namespace quillbox::exchange {

QByteArray textBytes(const QByteArray& file) {
    QByteArray bytes = file;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                            : QStringConverter::Utf16BE);
        const QString text = decoder(QByteArrayView(bytes).sliced(2));
        if (decoder.hasError() || bytes.size() % 2 != 0)
            throw UserError::unreadable(
                QStringLiteral("the file starts as UTF-16 text but is not valid "
                               "UTF-16"));
        bytes = text.toUtf8();
    }
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        throw UserError::unreadable(
            QStringLiteral("this is not a text file (line %1 holds a NUL byte)")
                .arg(lineAt(bytes, nul)));
    return bytes;
}

qsizetype firstInvalidUtf8(const char* data, qsizetype size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
        const unsigned c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        unsigned min = 0, code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1, min = 0x80, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2, min = 0x800, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3, min = 0x10000, code = c & 0x07;
        } else {
            return i;
        }
        for (int k = 1; k <= more; ++k) {
            if (i + k >= size || (p[i + k] & 0xC0) != 0x80)
                return i;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return i;
        i += more + 1;
    }
    return -1;
}

int lineAt(const QByteArray& text, qsizetype offset) {
    int line = 1;
    for (qsizetype i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    }
    return line;
}

} // namespace quillbox::exchange
