#include "Multistatus.h"

#include "errors/UserError.h"

#include <QXmlStreamReader>

namespace quillbox::sync {

namespace {

QString keyOf(const QXmlStreamReader& xml) {
    return QLatin1Char('{') + xml.namespaceUri().toString() + QLatin1Char('}') +
           xml.name().toString();
}

// "HTTP/1.1 404 Not Found" -> 404
int statusOf(const QString& line) {
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

// Reads one property element, the reader on its start; leaves it on its end.
DavProperty readProperty(QXmlStreamReader& xml) {
    DavProperty p;
    int depth = 1;
    bool inHref = false;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            const QString key = keyOf(xml);
            if (depth == 2)
                p.children << key;
            inHref = key == davNs + QLatin1String("href");
            if (inHref)
                p.hrefs << QString();
        } else if (xml.isEndElement()) {
            --depth;
            inHref = false;
        } else if (xml.isCharacters()) {
            if (inHref)
                p.hrefs.back() += xml.text().trimmed();
            else
                p.text += xml.text();
        }
    }
    p.hrefs.replaceInStrings(QStringLiteral("\n"), QString());
    return p;
}

void readPropstat(QXmlStreamReader& xml, DavResponse& r) {
    std::map<QString, DavProperty> props;
    int status = 200;
    while (xml.readNextStartElement()) {
        const QString key = keyOf(xml);
        if (key == davNs + QLatin1String("prop")) {
            while (xml.readNextStartElement())
                props[keyOf(xml)] = readProperty(xml);
        } else if (key == davNs + QLatin1String("status")) {
            status = statusOf(xml.readElementText());
        } else {
            xml.skipCurrentElement();
        }
    }
    for (auto& [key, p] : props) {
        p.status = status;
        r.properties[key] = std::move(p);
    }
}

DavResponse readResponse(QXmlStreamReader& xml) {
    DavResponse r;
    while (xml.readNextStartElement()) {
        const QString key = keyOf(xml);
        if (key == davNs + QLatin1String("href"))
            r.href = xml.readElementText().trimmed();
        else if (key == davNs + QLatin1String("status"))
            r.status = statusOf(xml.readElementText());
        else if (key == davNs + QLatin1String("propstat"))
            readPropstat(xml, r);
        else
            xml.skipCurrentElement();
    }
    return r;
}

} // namespace

const DavProperty* DavResponse::found(const QString& key) const {
    const auto it = properties.find(key);
    if (it == properties.end() || it->second.status < 200 || it->second.status > 299)
        return nullptr;
    return &it->second;
}

Multistatus parseMultistatus(const QByteArray& body, const QString& what) {
    Multistatus out;
    QXmlStreamReader xml(body);
    bool seen = false;
    if (xml.readNextStartElement() && keyOf(xml) == davNs + QLatin1String("multistatus")) {
        seen = true;
        while (xml.readNextStartElement()) {
            const QString key = keyOf(xml);
            if (key == davNs + QLatin1String("response"))
                out.responses.push_back(readResponse(xml));
            else if (key == davNs + QLatin1String("sync-token"))
                out.syncToken = xml.readElementText().trimmed();
            else
                xml.skipCurrentElement();
        }
    }
    // Reading on to the end finds faults after the last element too.
    while (!xml.atEnd() && !xml.hasError())
        xml.readNext();
    if (xml.hasError())
        throw UserError(QStringLiteral("the server's answer to %1 is not valid XML (line %2: %3)")
                            .arg(what)
                            .arg(xml.lineNumber())
                            .arg(xml.errorString()));
    if (!seen)
        throw UserError(
            QStringLiteral("the server's answer to %1 is not a WebDAV multistatus").arg(what));
    return out;
}

} // namespace quillbox::sync
