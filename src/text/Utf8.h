#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace quillbox::text {

// UTF-8 text as it is: unlike QString::fromUtf8, a leading U+FEFF is kept, since in a stored
// value or inside a file it is a character of the text, not a byte-order mark. Invalid bytes
// become U+FFFD as fromUtf8 makes them.
inline QString fromUtf8(QByteArrayView utf8) {
    if (!utf8.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(utf8);
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder(utf8);
}

} // namespace quillbox::text
