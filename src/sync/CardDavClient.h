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
    QString path; // e.g. "/alice/contacts/", ending in "/"
    QString name; // the display name, or empty
};

struct CardRef {
    QString href;
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
// server of `url`. An answer other than the one expected is a SyncError naming the request.
class CardDavClient {
public:
    CardDavClient(HttpClient& http, const QUrl& url);

    // The address books `url` leads to: itself when it names one; else those in the home of
    // the user's principal, found from it or from /.well-known/carddav.
    std::vector<AddressBook> findAddressBooks();

    // The changes since `token` (a sync-collection report); every card when the token is
    // empty, refused, or the server has no such report, with ETags from a listing then.
    Changes changesSince(const QString& book, const QString& token);

    // The cards at `hrefs`, in batches of one multiget report each. A card gone meanwhile is
    // left out.
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

    QUrl urlOf(const QString& path) const;
    HttpClient& http() { return http_; }

private:
    Multistatus propfind(const QString& path, int depth, const QByteArray& props,
                         const QString& what, int* status = nullptr);

    HttpClient& http_;
    QUrl url_;
};

} // namespace quillbox::sync
