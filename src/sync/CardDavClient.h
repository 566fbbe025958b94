#pragma once

#include "HttpClient.h"
#include "Multistatus.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <vector>

namespace quillbox::sync {

struct AddressBook {
    QString path; // e.g. "/alice/contacts/", ending in "/", in normalHref's form
    QString name; // the display name, or empty
};

struct CardRef {
    QString href;    // in normalHref's form, as every href CardDavClient gives
    QByteArray etag; // as the server wrote it, quotes included
    QByteArray data; // the card's text where the listing carried it, else empty
};

struct Card {
    QString href;
    QByteArray etag;
    QByteArray data;
};

// What changed in an address book since a sync token.
struct Changes {
    std::vector<CardRef> changed;
    QStringList removed;
    QString token;         // to ask with next time; empty when the server offers none
    bool complete = false; // `changed` lists every card: one not in it is gone
};

// The CardDAV requests a sync makes, over one HttpClient. Paths are absolute paths on the
// server of `url`. An answer other than the one expected is a UserError naming the request:
// TryLater for a busy or failing server (429, 5xx), Failed for one that makes no sense.
//
// Nothing an answer or the file holds takes a request elsewhere: every href is resolved
// against its request and must stay on the server of `url` (in discovery) or inside the
// address book (after it), in normal form, or the answer makes no sense. ETags and tokens
// with control characters are refused, not sent. Listings are sets: an href listed twice,
// however spelled, is one card; the book itself and collections inside it are no cards.
class CardDavClient {
public:
    CardDavClient(HttpClient& http, const QUrl& url);

    // The address book the card requests (get, put, remove) are confined to; none before.
    // A UserError when `path` is no safe path on this server.
    void chooseBook(const QString& path);

    // The address books `url` leads to: itself when it names one; else those in the home of
    // the user's principal, found from it or from /.well-known/carddav.
    std::vector<AddressBook> findAddressBooks();

    // The changes since `token` (a sync-collection report); every card when the token is
    // empty, refused, or the server has no such report, with ETags from a listing then. The
    // report asks for the cards' text too; servers that send it fill CardRef::data. When that
    // answer would be too large, the listing is asked again without it.
    Changes changesSince(const QString& book, const QString& token);

    // The cards at `hrefs` (inside `book`): more than a batch, first from one query for the
    // whole book; then in batches of one multiget report each, a batch whose answer is too
    // large asked again in halves. A card gone meanwhile, or not in the answers, is left out;
    // a card not asked for is ignored.
    std::vector<Card> fetch(const QString& book, const QStringList& hrefs);

    // The card at `href`; a 404 gives an empty href.
    Card get(const QString& href);

    struct PutResult {
        int status = 0;  // 201 or 204 stored; 412 the ETag no longer matches or the card exists
        QByteArray etag; // empty when the server sent none
    };
    // Stores a card: only over `etag` when one is given, else only where none is yet.
    PutResult put(const QString& href, const QByteArray& card, const QByteArray& etag);

    // Deletes a card if it still has `etag`: 2xx deleted, 404 already gone, 412 changed.
    int remove(const QString& href, const QByteArray& etag);

    // The URL of `path` (normal) on the server of `url`.
    QUrl urlOf(const QString& path) const;

private:
    struct Answer {
        Multistatus multistatus;
        QUrl url; // the request's, for resolving its hrefs
    };
    Answer propfind(const QString& path, int depth, const QByteArray& props, const QString& what,
                    int* status = nullptr);
    QString inBook(const QString& book, const QString& href, const QString& what) const;
    Changes listing(const QString& book, const HttpReply& reply, const QString& what);

    HttpClient& http_;
    QUrl url_;
    QString book_;
};

// Why an answer cannot be used: a Failed UserError naming the request.
[[noreturn]] void makesNoSense(const QString& what, const QString& why);

} // namespace quillbox::sync
