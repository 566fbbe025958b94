#include "desktop/MailRequest.h"

#include <QByteArray>
#include <QLatin1String>
#include <QUrl>

namespace quillbox::desktop {

namespace {

struct Separator {
    enum Kind { Question, Ampersand, Recipient };
    qsizetype at;
    qsizetype length; // 1 for "?", "&" or ",", 3 for "%3F" or "%26"
    Kind kind;
};

// The separator at or after `from`, or one at the text's end with length 0.
Separator nextSeparator(const QString& text, qsizetype from) {
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'?')
            return {i, 1, Separator::Question};
        if (c == u'&')
            return {i, 1, Separator::Ampersand};
        if (c == u',')
            return {i, 1, Separator::Recipient};
        if (c == u'%' && i + 2 < text.size()) {
            const QStringView code = QStringView(text).mid(i + 1, 2);
            if (code.compare(QLatin1String("3F"), Qt::CaseInsensitive) == 0)
                return {i, 3, Separator::Question};
            if (code == QLatin1String("26"))
                return {i, 3, Separator::Ampersand};
        }
    }
    return {text.size(), 0, Separator::Ampersand};
}

bool asksForAttachment(QStringView parameter) {
    QByteArray name = parameter.toUtf8();
    // Decoded until nothing changes, so "%2561ttach" is caught too; each round shortens it.
    for (QByteArray decoded = QByteArray::fromPercentEncoding(name); decoded != name;
         decoded = QByteArray::fromPercentEncoding(name))
        name = decoded;
    const qsizetype equals = name.indexOf('=');
    const QString key = QString::fromUtf8(equals < 0 ? name : name.left(equals)).trimmed();
    return key.compare(QLatin1String("attach"), Qt::CaseInsensitive) == 0 ||
           key.compare(QLatin1String("attachment"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString withoutAttachments(const QString& request) {
    // An '&' before the first '?' belongs to the address by the rules, but a careless mail
    // program may not know them: it separates here as well.
    Separator sep = nextSeparator(request, 0);
    if (sep.length == 0)
        return request;

    QString kept = request.left(sep.at);
    QStringView lostQuestion; // the '?' (or "%3F") of a dropped parameter, for the next kept one
    while (sep.length > 0) {
        const QStringView separator = QStringView(request).mid(sep.at, sep.length);
        const qsizetype start = sep.at + sep.length;
        const Separator next = nextSeparator(request, start);
        const QStringView parameter = QStringView(request).mid(start, next.at - start);
        if (sep.kind == Separator::Recipient) {
            // The next address, kept as the first one is; a lost '?' stays with its own.
            kept += separator;
            kept += parameter;
            lostQuestion = {};
        } else if (asksForAttachment(parameter)) {
            if (sep.kind == Separator::Question)
                lostQuestion = separator;
        } else {
            kept +=
                sep.kind == Separator::Question || lostQuestion.isNull() ? separator : lostQuestion;
            kept += parameter;
            lostQuestion = {};
        }
        sep = next;
    }
    return kept;
}

} // namespace quillbox::desktop
