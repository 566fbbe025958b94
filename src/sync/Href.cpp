#include "Href.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>

namespace quillbox::sync {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One path segment decoded, or false for a bad escape or a byte no segment may hold.
bool decodeSegment(const QByteArray& in, QByteArray& out) {
    for (qsizetype i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c == '?' || c == '#')
            return false;
        if (c == '%') {
            const int high = i + 2 < in.size() ? hexValue(in[i + 1]) : -1;
            const int low = i + 2 < in.size() ? hexValue(in[i + 2]) : -1;
            if (high < 0 || low < 0)
                return false;
            c = char(high * 16 + low);
            i += 2;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\')
            return false;
        out += c;
    }
    return true;
}

int portOf(const QUrl& url) {
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}

} // namespace

QString normalHref(const QString& href) {
    if (!href.startsWith(QLatin1Char('/')))
        return {};
    const QList<QByteArray> segments = href.toUtf8().split('/');
    QByteArray out;
    for (qsizetype i = 1; i < segments.size(); ++i) {
        QByteArray decoded;
        if (!decodeSegment(segments[i], decoded))
            return {};
        if ((decoded.isEmpty() && i + 1 < segments.size()) || decoded == "." || decoded == "..")
            return {};
        out += '/' + decoded.toPercentEncoding();
    }
    return QString::fromLatin1(out);
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && portOf(a) == portOf(b);
}

QString resolveHref(const QUrl& asked, const QString& href) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    const QString h = href.trimmed();
    if (h.startsWith(QLatin1String("//")) || scheme.match(h).hasMatch()) {
        const QString whole =
            h.startsWith(QLatin1String("//")) ? asked.scheme() + QLatin1Char(':') + h : h;
        const QUrl url(whole, QUrl::StrictMode);
        if (!url.isValid() || !url.userInfo().isEmpty() || !sameOrigin(url, asked))
            return {};
        // The path as written, escapes kept: from the first '/' after the authority.
        const qsizetype path =
            whole.indexOf(QLatin1Char('/'), whole.indexOf(QLatin1String("//")) + 2);
        return path < 0 ? QStringLiteral("/") : normalHref(whole.mid(path));
    }
    if (h.startsWith(QLatin1Char('/')))
        return normalHref(h);
    if (h.isEmpty())
        return {};
    const QString base = asked.path(QUrl::FullyEncoded);
    return normalHref(base.left(base.lastIndexOf(QLatin1Char('/')) + 1) + h);
}

bool isInside(const QString& path, const QString& collection) {
    return path.size() > collection.size() && path.startsWith(collection);
}

} // namespace quillbox::sync
