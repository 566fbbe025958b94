#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace quillbox::sync {

// One property of a WebDAV answer: the text inside it, the hrefs inside it as written (a
// principal, a home set) and the names of its child elements (a resource type), each as
// "{namespace}name".
struct DavProperty {
    int status = 200;
    QString text;
    QStringList hrefs;
    QStringList children;
};

struct DavResponse {
    QString href;   // as the server wrote it: a URL, a path or a relative path (resolveHref)
    int status = 0; // the response's own status line, where it has one (sync reports)
    std::map<QString, DavProperty> properties; // keyed by "{namespace}name"

    // The property when the server gave it with a 2xx status, else null.
    const DavProperty* found(const QString& key) const;
};

struct Multistatus {
    std::vector<DavResponse> responses;
    QString syncToken;
};

// Reads a 207 Multi-Status body. A body that is not well-formed XML, or has no multistatus
// element, is a UserError naming `what`.
Multistatus parseMultistatus(const QByteArray& body, const QString& what);

inline const QString davNs = QStringLiteral("{DAV:}");
inline const QString cardNs = QStringLiteral("{urn:ietf:params:xml:ns:carddav}");

} // namespace quillbox::sync
