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
    // Stateless: a sequence cut short at the end becomes U+FFFD, as fromUtf8 makes it, rather
    // than waiting in the decoder for bytes that never come.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    return decoder(utf8);
}

// The same decoding straight into `out`, which has room for utf8.size() units (no UTF-8 text
// decodes to more); returns the end of what was written. Names are mostly ASCII, which is
// widened here without a decoder.
inline char16_t* decodeUtf8(char16_t* out, QByteArrayView utf8) {
    const qsizetype n = utf8.size();
    const char* in = utf8.data();
    qsizetype i = 0;
    for (; i < n && static_cast<signed char>(in[i]) >= 0; ++i)
        out[i] = static_cast<char16_t>(in[i]);
    if (i == n)
        return out + n;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    return reinterpret_cast<char16_t*>(
        decoder.appendToBuffer(reinterpret_cast<QChar*>(out + i), utf8.sliced(i)));
}

} // namespace quillbox::text
