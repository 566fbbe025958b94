#include "CardDavClient.h"

#include "SyncError.h"

namespace quillbox::sync {

namespace {

const QByteArray xmlType = "application/xml; charset=utf-8";

QString withSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

[[noreturn]] void unexpected(const HttpReply& reply, const QString& what) {
    throw SyncError(QStringLiteral("the server answered %1 with status %2")
                        .arg(what)
                        .arg(reply.status));
}

bool isAddressBook(const DavResponse& r) {
    const DavProperty* type = r.found(davNs + QLatin1String("resourcetype"));
    return type && type->children.contains(cardNs + QLatin1String("addressbook"));
}

QByteArray hrefsXml(const QStringList& hrefs) {
    QByteArray out;
    for (const QString& href : hrefs)
        out += "<d:href>" + href.toHtmlEscaped().toUtf8() + "</d:href>";
    return out;
}

} // namespace

CardDavClient::CardDavClient(HttpClient& http, const QUrl& url) : http_(http), url_(url) {}

QUrl CardDavClient::urlOf(const QString& path) const {
    return url_.resolved(QUrl::fromEncoded(path.toUtf8()));
}

Multistatus CardDavClient::propfind(const QString& path, int depth, const QByteArray& props,
                                    const QString& what, int* status) {
    const QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                            "<d:propfind xmlns:d=\"DAV:\" "
                            "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:prop>" +
                            props + "</d:prop></d:propfind>";
    const HttpReply reply = http_.send("PROPFIND", urlOf(path), body,
                                       {{"Depth", QByteArray::number(depth)},
                                        {"Content-Type", xmlType}});
    if (status)
        *status = reply.status;
    if (reply.status != 207) {
        if (status)
            return {};
        unexpected(reply, what);
    }
    return parseMultistatus(reply.body, what);
}

std::vector<AddressBook> CardDavClient::findAddressBooks() {
    const QString start = url_.path(QUrl::FullyEncoded).isEmpty()
                              ? QStringLiteral("/")
                              : url_.path(QUrl::FullyEncoded);
    const QString what = QStringLiteral("a look at %1").arg(url_.toDisplayString());
    const QByteArray props = "<d:resourcetype/><d:displayname/><d:current-user-principal/>"
                             "<c:addressbook-home-set/>";
    int status = 0;
    Multistatus here = propfind(start, 0, props, what, &status);
    QString home, principal;
    for (const DavResponse& r : here.responses) {
        if (isAddressBook(r)) {
            const DavProperty* name = r.found(davNs + QLatin1String("displayname"));
            return {{withSlash(r.href), name ? name->text.trimmed() : QString()}};
        }
        if (const auto* p = r.found(cardNs + QLatin1String("addressbook-home-set")))
            home = p->hrefs.value(0);
        if (const auto* p = r.found(davNs + QLatin1String("current-user-principal")))
            principal = p->hrefs.value(0);
    }
    if (home.isEmpty() && principal.isEmpty()) {
        Multistatus known = propfind(QStringLiteral("/.well-known/carddav"), 0, props,
                                     QStringLiteral("the look for the address books"), &status);
        for (const DavResponse& r : known.responses)
            if (const auto* p = r.found(davNs + QLatin1String("current-user-principal")))
                principal = p->hrefs.value(0);
    }
    if (home.isEmpty() && !principal.isEmpty()) {
        const Multistatus p =
            propfind(hrefPath(principal), 0, "<c:addressbook-home-set/>",
                     QStringLiteral("the look for the user's address books"));
        for (const DavResponse& r : p.responses)
            if (const auto* h = r.found(cardNs + QLatin1String("addressbook-home-set")))
                home = h->hrefs.value(0);
    }
    if (home.isEmpty())
        throw SyncError(QStringLiteral("no address book was found at %1; give its address "
                                       "with --url")
                            .arg(url_.toDisplayString()));
    const Multistatus list = propfind(hrefPath(home), 1, "<d:resourcetype/><d:displayname/>",
                                      QStringLiteral("the list of address books"));
    std::vector<AddressBook> books;
    for (const DavResponse& r : list.responses)
        if (isAddressBook(r)) {
            const DavProperty* name = r.found(davNs + QLatin1String("displayname"));
            books.push_back({withSlash(r.href), name ? name->text.trimmed() : QString()});
        }
    return books;
}

Changes CardDavClient::changesSince(const QString& book, const QString& token) {
    const QString what = QStringLiteral("the list of changes");
    const auto report = [&](const QString& since) {
        const QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                                "<d:sync-collection xmlns:d=\"DAV:\"><d:sync-token>" +
                                since.toHtmlEscaped().toUtf8() +
                                "</d:sync-token><d:sync-level>1</d:sync-level>"
                                "<d:prop><d:getetag/></d:prop></d:sync-collection>";
        return http_.send("REPORT", urlOf(book), body, {{"Content-Type", xmlType}});
    };
    QString asked = token;
    HttpReply reply = report(asked);
    // A token the server no longer knows is refused with 403 or 409: start over.
    if (reply.status != 207 && !asked.isEmpty())
        reply = report(asked = QString());
    Changes out;
    if (reply.status == 207) {
        const Multistatus m = parseMultistatus(reply.body, what);
        out.token = m.syncToken;
        out.complete = asked.isEmpty();
        for (const DavResponse& r : m.responses) {
            if (r.href.endsWith(QLatin1Char('/')))
                continue;
            if (r.status == 404)
                out.removed << r.href;
            else if (const DavProperty* etag = r.found(davNs + QLatin1String("getetag")))
                out.changed.push_back({r.href, etag->text.trimmed().toUtf8(), {}});
        }
        return out;
    }
    // No sync report here: the ETags of all cards.
    const Multistatus m = propfind(book, 1, "<d:getetag/><d:resourcetype/>", what);
    out.complete = true;
    for (const DavResponse& r : m.responses) {
        if (r.href.endsWith(QLatin1Char('/')) || withSlash(r.href) == withSlash(book))
            continue;
        if (const DavProperty* etag = r.found(davNs + QLatin1String("getetag")))
            out.changed.push_back({r.href, etag->text.trimmed().toUtf8(), {}});
    }
    return out;
}

std::vector<Card> CardDavClient::fetch(const QString& book, const QStringList& hrefs) {
    std::vector<Card> cards;
    constexpr int batch = 250;
    for (qsizetype at = 0; at < hrefs.size(); at += batch) {
        const QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                                "<c:addressbook-multiget xmlns:d=\"DAV:\" "
                                "xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"
                                "<d:prop><d:getetag/><c:address-data/></d:prop>" +
                                hrefsXml(hrefs.mid(at, batch)) + "</c:addressbook-multiget>";
        const HttpReply reply = http_.send("REPORT", urlOf(book), body,
                                           {{"Depth", "1"}, {"Content-Type", xmlType}});
        const QString what = QStringLiteral("a request for cards");
        if (reply.status != 207)
            unexpected(reply, what);
        for (const DavResponse& r : parseMultistatus(reply.body, what).responses) {
            const DavProperty* data = r.found(cardNs + QLatin1String("address-data"));
            const DavProperty* etag = r.found(davNs + QLatin1String("getetag"));
            if (data && etag)
                cards.push_back({r.href, etag->text.trimmed().toUtf8(), data->text.toUtf8()});
        }
    }
    return cards;
}

Card CardDavClient::get(const QString& href) {
    const HttpReply reply = http_.send("GET", urlOf(href));
    if (reply.status == 404 || reply.status == 410)
        return {};
    if (reply.status != 200)
        unexpected(reply, QStringLiteral("a request for a card"));
    return {href, reply.header("etag"), reply.body};
}

CardDavClient::PutResult CardDavClient::put(const QString& href, const QByteArray& card,
                                            const QByteArray& etag) {
    HttpHeaders headers{{"Content-Type", "text/vcard; charset=utf-8"}};
    if (etag.isEmpty())
        headers.emplaceBack("If-None-Match", "*");
    else
        headers.emplaceBack("If-Match", etag);
    const HttpReply reply = http_.send("PUT", urlOf(href), card, headers);
    if (reply.status != 412 && (reply.status < 200 || reply.status > 299))
        unexpected(reply, QStringLiteral("the upload of a card"));
    return {reply.status, reply.header("etag")};
}

int CardDavClient::remove(const QString& href, const QByteArray& etag) {
    const HttpReply reply = http_.send("DELETE", urlOf(href), {}, {{"If-Match", etag}});
    if (reply.status != 412 && reply.status != 404 && (reply.status < 200 || reply.status > 299))
        unexpected(reply, QStringLiteral("the deletion of a card"));
    return reply.status;
}

} // namespace quillbox::sync
