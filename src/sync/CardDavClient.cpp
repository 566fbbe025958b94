#include "CardDavClient.h"

#include "Href.h"
#include "errors/UserError.h"

#include <QSet>

#include <algorithm>
#include <functional>

namespace quillbox::sync {

namespace {

const QByteArray xmlType = "application/xml; charset=utf-8";

QString withSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

bool hasControl(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

// A server's text as it may go into a message: no control characters to play with the
// terminal, and not without end.
QString shown(QString text) {
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('?');
    return text.size() > 200 ? text.left(200) + QStringLiteral("...") : text;
}

bool busy(int status) {
    return status == 429 || (status >= 500 && status <= 599 && status != 501);
}

[[noreturn]] void unexpected(const HttpReply& reply, const QString& what) {
    throw UserError(
        QStringLiteral("the server answered %1 with status %2").arg(what).arg(reply.status),
        busy(reply.status) ? UserError::Kind::TryLater : UserError::Kind::Failed);
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

// An ETag as it may be stored and sent back in If-Match.
QByteArray tagOf(const QString& text, const QString& what) {
    const QString tag = text.trimmed();
    if (hasControl(tag))
        makesNoSense(what, QStringLiteral("an ETag holds control characters"));
    return tag.toUtf8();
}

// The href `raw` of an answer to a request for `asked`, in normal form; it must lie within
// `within` (a normal path ending in '/') or be it.
QString placed(const QUrl& asked, const QString& raw, const QString& within, const QString& what) {
    const QString href = resolveHref(asked, raw);
    if (href.isEmpty() || !(href.startsWith(within) || withSlash(href) == within))
        makesNoSense(what,
                     QStringLiteral("it names %1, which is not within %2 on %3")
                         .arg(shown(raw), within, shownUrl(asked.adjusted(QUrl::RemovePath))));
    return href;
}

} // namespace

void makesNoSense(const QString& what, const QString& why) {
    throw UserError(QStringLiteral("the answer to %1 makes no sense: %2").arg(what, why));
}

CardDavClient::CardDavClient(HttpClient& http, const QUrl& url)
    : http_(http),
      url_(url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)) {}

QUrl CardDavClient::urlOf(const QString& path) const {
    QUrl url = url_;
    url.setPath(path, QUrl::StrictMode);
    return url;
}

void CardDavClient::chooseBook(const QString& path) {
    book_ = normalHref(withSlash(path));
    if (book_.isEmpty())
        throw UserError(QStringLiteral("%1 is no address book a sync can use").arg(shown(path)));
}

QString CardDavClient::inBook(const QString& book, const QString& href, const QString& what) const {
    const QString path = normalHref(href);
    if (book.isEmpty() || !isInside(path, book) || path.endsWith(QLatin1Char('/')))
        throw UserError(QStringLiteral("%1 at %2 is refused: it is not a card in the address "
                                       "book %3")
                            .arg(what, shown(href), book.isEmpty() ? QStringLiteral("-") : book));
    return path;
}

CardDavClient::Answer CardDavClient::propfind(const QString& path, int depth,
                                              const QByteArray& props, const QString& what,
                                              int* status) {
    const QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                            "<d:propfind xmlns:d=\"DAV:\" "
                            "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:prop>" +
                            props + "</d:prop></d:propfind>";
    const QString within = depth == 0 ? QStringLiteral("/") : withSlash(path);
    const HttpReply reply =
        http_.send("PROPFIND", urlOf(path), body,
                   {{"Depth", QByteArray::number(depth)}, {"Content-Type", xmlType}}, within);
    if (status)
        *status = reply.status;
    if (reply.status != 207) {
        if (status && !busy(reply.status))
            return {{}, reply.url};
        unexpected(reply, what);
    }
    return {parseMultistatus(reply.body, what), reply.url};
}

std::vector<AddressBook> CardDavClient::findAddressBooks() {
    const QString start =
        normalHref(url_.path(QUrl::FullyEncoded).isEmpty() ? QStringLiteral("/")
                                                           : url_.path(QUrl::FullyEncoded));
    if (start.isEmpty())
        throw UserError(QStringLiteral("%1 is no address a sync can use").arg(shownUrl(url_)));
    const QString root = QStringLiteral("/");
    const QString what = QStringLiteral("a look at %1").arg(shownUrl(url_));
    const QByteArray props = "<d:resourcetype/><d:displayname/><d:current-user-principal/>"
                             "<c:addressbook-home-set/>";
    // Every href of a discovery answer stays on the server the user named.
    const auto hrefOf = [&](const Answer& a, const QString& raw, const QString& w) {
        return placed(a.url, raw, root, w);
    };
    const auto nameOf = [](const DavResponse& r) {
        const DavProperty* name = r.found(davNs + QLatin1String("displayname"));
        return name ? name->text.trimmed() : QString();
    };
    int status = 0;
    const Answer here = propfind(start, 0, props, what, &status);
    QString home, principal;
    for (const DavResponse& r : here.multistatus.responses) {
        const QString href = hrefOf(here, r.href, what);
        if (isAddressBook(r))
            return {{withSlash(href), nameOf(r)}};
        if (const auto* p = r.found(cardNs + QLatin1String("addressbook-home-set")))
            if (!p->hrefs.isEmpty())
                home = hrefOf(here, p->hrefs.front(), what);
        if (const auto* p = r.found(davNs + QLatin1String("current-user-principal")))
            if (!p->hrefs.isEmpty())
                principal = hrefOf(here, p->hrefs.front(), what);
    }
    if (home.isEmpty() && principal.isEmpty()) {
        const QString look = QStringLiteral("the look for the address books");
        const Answer known =
            propfind(QStringLiteral("/.well-known/carddav"), 0, props, look, &status);
        for (const DavResponse& r : known.multistatus.responses) {
            hrefOf(known, r.href, look);
            if (const auto* p = r.found(davNs + QLatin1String("current-user-principal")))
                if (!p->hrefs.isEmpty())
                    principal = hrefOf(known, p->hrefs.front(), look);
        }
    }
    if (home.isEmpty() && !principal.isEmpty()) {
        const QString look = QStringLiteral("the look for the user's address books");
        const Answer p = propfind(principal, 0, "<c:addressbook-home-set/>", look);
        for (const DavResponse& r : p.multistatus.responses) {
            hrefOf(p, r.href, look);
            if (const auto* h = r.found(cardNs + QLatin1String("addressbook-home-set")))
                if (!h->hrefs.isEmpty())
                    home = hrefOf(p, h->hrefs.front(), look);
        }
    }
    if (home.isEmpty())
        throw UserError(QStringLiteral("no address book was found at %1; give its address "
                                       "with --url")
                            .arg(shownUrl(url_)));
    const QString look = QStringLiteral("the list of address books");
    const Answer list = propfind(withSlash(home), 1, "<d:resourcetype/><d:displayname/>", look);
    std::vector<AddressBook> books;
    QSet<QString> seen;
    for (const DavResponse& r : list.multistatus.responses) {
        const QString href = withSlash(hrefOf(list, r.href, look));
        if (isAddressBook(r) && !seen.contains(href)) {
            seen.insert(href);
            books.push_back({href, nameOf(r)});
        }
    }
    return books;
}

Changes CardDavClient::listing(const QString& book, const HttpReply& reply, const QString& what) {
    const Multistatus m = parseMultistatus(reply.body, what);
    if (hasControl(m.syncToken))
        makesNoSense(what, QStringLiteral("its sync token holds control characters"));
    Changes out;
    out.token = m.syncToken;
    QSet<QString> changed, removed;
    for (const DavResponse& r : m.responses) {
        const QString href = placed(reply.url, r.href, book, what);
        if (withSlash(href) == book || href.endsWith(QLatin1Char('/')))
            continue; // the book itself, or a collection inside it
        if (r.status == 404 || r.status == 410) {
            removed.insert(href);
        } else if (const DavProperty* etag = r.found(davNs + QLatin1String("getetag"))) {
            const QByteArray tag = tagOf(etag->text, what);
            if (changed.contains(href))
                continue;
            changed.insert(href);
            const DavProperty* data = r.found(cardNs + QLatin1String("address-data"));
            out.changed.push_back({href, tag, data ? data->text.toUtf8() : QByteArray()});
        }
    }
    // Listed as changed and as removed: the card is kept, as absent is not deleted.
    for (const QString& href : removed)
        if (!changed.contains(href))
            out.removed << href;
    out.removed.sort();
    return out;
}

Changes CardDavClient::changesSince(const QString& book, const QString& token) {
    const QString scope = normalHref(withSlash(book));
    if (scope.isEmpty())
        throw UserError(QStringLiteral("%1 is no address book a sync can use").arg(shown(book)));
    const QString what = QStringLiteral("the list of changes");
    bool withData = true;
    const auto report = [&](const QString& since) {
        const auto ask = [&] {
            const QByteArray body =
                "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                "<d:sync-collection xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"
                "<d:sync-token>" +
                since.toHtmlEscaped().toUtf8() +
                "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/>" +
                (withData ? QByteArray("<c:address-data/>") : QByteArray()) +
                "</d:prop></d:sync-collection>";
            return http_.send("REPORT", urlOf(scope), body, {{"Content-Type", xmlType}}, scope);
        };
        // The cards' text is asked for where it fits in one answer; else it comes in batches.
        try {
            return ask();
        } catch (const AnswerTooLarge&) {
            if (!withData)
                throw;
            withData = false;
            return ask();
        }
    };
    // A token the file holds with control characters is worth nothing: start over.
    QString asked = hasControl(token) ? QString() : token;
    HttpReply reply = report(asked);
    if (busy(reply.status))
        unexpected(reply, what);
    // A token the server no longer knows is refused with 403 or 409: start over.
    if (reply.status != 207 && !asked.isEmpty())
        reply = report(asked = QString());
    if (reply.status == 207) {
        Changes out = listing(scope, reply, what);
        out.complete = asked.isEmpty();
        return out;
    }
    if (busy(reply.status))
        unexpected(reply, what);
    // No sync report here: the ETags of all cards.
    const QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                            "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:getetag/><d:resourcetype/>"
                            "</d:prop></d:propfind>";
    reply = http_.send("PROPFIND", urlOf(scope), body, {{"Depth", "1"}, {"Content-Type", xmlType}},
                       scope);
    if (reply.status != 207)
        unexpected(reply, what);
    Changes out = listing(scope, reply, what);
    out.removed.clear();
    out.token.clear();
    out.complete = true;
    return out;
}

std::vector<Card> CardDavClient::fetch(const QString& book, const QStringList& hrefs) {
    const QString scope = normalHref(withSlash(book));
    const QString what = QStringLiteral("a request for cards");
    QStringList wanted;
    QSet<QString> asked;
    for (const QString& href : hrefs) {
        const QString path = inBook(scope, href, what);
        if (!asked.contains(path)) {
            asked.insert(path);
            wanted << path;
        }
    }
    std::vector<Card> cards;
    QSet<QString> got;
    const auto report = [&](const QByteArray& name, const QByteArray& hrefs) {
        const QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><c:" + name +
                                " xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"
                                "<d:prop><d:getetag/><c:address-data/></d:prop>" +
                                hrefs + "</c:" + name + ">";
        return http_.send("REPORT", urlOf(scope), body, {{"Depth", "1"}, {"Content-Type", xmlType}},
                          scope);
    };
    const auto take = [&](const HttpReply& reply) {
        for (const DavResponse& r : parseMultistatus(reply.body, what).responses) {
            const QString href = placed(reply.url, r.href, scope, what);
            const DavProperty* data = r.found(cardNs + QLatin1String("address-data"));
            const DavProperty* etag = r.found(davNs + QLatin1String("getetag"));
            if (!data || !etag || !asked.contains(href) || got.contains(href))
                continue;
            got.insert(href);
            cards.push_back({href, tagOf(etag->text, what), data->text.toUtf8()});
        }
    };
    const std::function<void(const QStringList&)> multiget = [&](const QStringList& part) {
        HttpReply reply;
        try {
            reply = report("addressbook-multiget", hrefsXml(part));
        } catch (const AnswerTooLarge&) {
            if (part.size() == 1)
                throw;
            multiget(part.mid(0, part.size() / 2));
            multiget(part.mid(part.size() / 2));
            return;
        }
        if (reply.status != 207)
            unexpected(reply, what);
        take(reply);
    };
    constexpr int batch = 250;
    // More than a batch: the whole book in one query, where the server answers one within the
    // bound, is far quicker on some servers (Xandikos: 2,000 cards in under a second, against
    // minutes in multigets). What it leaves out is asked for in multigets.
    if (wanted.size() > batch) {
        try {
            const HttpReply reply = report("addressbook-query", "<c:filter/>");
            if (reply.status == 207)
                take(reply);
        } catch (const AnswerTooLarge&) {
        }
    }
    QStringList left;
    for (const QString& href : wanted)
        if (!got.contains(href))
            left << href;
    for (qsizetype at = 0; at < left.size(); at += batch)
        multiget(left.mid(at, batch));
    return cards;
}

Card CardDavClient::get(const QString& href) {
    const QString what = QStringLiteral("a request for a card");
    const QString path = inBook(book_, href, what);
    const HttpReply reply = http_.send("GET", urlOf(path), {}, {}, book_);
    if (reply.status == 404 || reply.status == 410)
        return {};
    if (reply.status != 200)
        unexpected(reply, what);
    return {path, tagOf(QString::fromUtf8(reply.header("etag")), what), reply.body};
}

CardDavClient::PutResult CardDavClient::put(const QString& href, const QByteArray& card,
                                            const QByteArray& etag) {
    const QString what = QStringLiteral("the upload of a card");
    const QString path = inBook(book_, href, what);
    HttpHeaders headers{{"Content-Type", "text/vcard; charset=utf-8"}};
    if (etag.isEmpty())
        headers.emplaceBack("If-None-Match", "*");
    else
        headers.emplaceBack("If-Match", etag);
    const HttpReply reply = http_.send("PUT", urlOf(path), card, headers, book_);
    if (reply.status != 412 && (reply.status < 200 || reply.status > 299))
        unexpected(reply, what);
    return {reply.status, tagOf(QString::fromUtf8(reply.header("etag")), what)};
}

int CardDavClient::remove(const QString& href, const QByteArray& etag) {
    const QString what = QStringLiteral("the deletion of a card");
    const QString path = inBook(book_, href, what);
    const HttpReply reply = http_.send("DELETE", urlOf(path), {}, {{"If-Match", etag}}, book_);
    if (reply.status != 412 && reply.status != 404 && (reply.status < 200 || reply.status > 299))
        unexpected(reply, what);
    return reply.status;
}

} // namespace quillbox::sync
