#include "Person.h"

namespace quillbox::exchange {

bool cutToLimit(QString& text, int limit) {
    if (text.size() <= limit)
        return false;
    qsizetype keep = limit;
    if (keep > 0 && text[keep - 1].isHighSurrogate() && text[keep].isLowSurrogate())
        --keep;
    if (keep > 0 && text[keep - 1] == QLatin1Char('\r') && text[keep] == QLatin1Char('\n'))
        --keep;
    text.truncate(keep);
    return true;
}

QString storedLineBreaks(const QString& text) {
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            out += QLatin1String("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace quillbox::exchange
