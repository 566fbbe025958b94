#pragma once

#include "CardDavClient.h"
#include "HttpClient.h"

#include "data/SyncStore.h"

#include <QString>

#include <functional>

namespace quillbox::sync {

// The account to sync with, whole: nothing of it comes from the file.
struct SyncSettings {
    QString url, user;
    QString passwordCommand; // the tool's, to find the password; the engine never runs it
    QString addressBook;     // a display name or a path, to pick one of several
    QString password;
    QString caFile;
    QString book;                // the address book's path found before; empty: find it
    QString accountKey;          // the remembered account's own key, part of the state's owner
    bool allowDeletions = false; // lets through a deletion the guard would stop (see SyncEngine)
};

struct SyncCounts {
    int addedHere = 0, changedHere = 0, deletedHere = 0;
    int addedThere = 0, changedThere = 0, deletedThere = 0;
    int conflicts = 0;
    int unresolved = 0; // contacts the two sides still disagree on
    int skipped = 0;    // cards left for the next sync: unreadable, unstorable, not editable as
                        // asked, or listed and then not sent
};

// One two-way sync of a file's contacts with a CardDAV address book.
//
// Each side's changes since the last sync are found against the state kept per contact (the
// four texts both sides last agreed on, the card's ETag and text). Both changed the same field
// differently: the server's value wins and the replaced one is told. An edit beats a deletion.
// A change goes to the server as an edit of the server's own card (editCard), conditional on
// its ETag; a 412 means the card changed meanwhile: fetch, merge again, retry.
//
// Every server read and every card is checked before the first write, so a fault there leaves
// the file as it was. After that, each write is one short transaction that leaves the state
// true whatever follows: a card from the server goes in with its state row; an upload's href
// and card are in the file before the PUT, so a run after a kill finds the card on the server
// (or not) and never uploads it twice.
//
// Absent is not deleted: a card is gone only when the server says so (a 404 or 410, a removal in
// the list of changes, or its absence from a complete listing). A card that cannot be read,
// stored or edited as asked, or one listed and then not sent, is told and skipped and the rest
// syncs; the sync token then stays where it was, so the next sync asks for it again. A sync that
// would delete more than half of the contacts here or of the cards there (and more than ten),
// or every contact because the address book lists nothing, stops before writing with a
// UserError(NeedsUser), unless allowDeletions.
class SyncEngine {
public:
    using Say = std::function<void(const QString&)>;

    SyncEngine(data::SyncStore& store, SyncSettings settings, Say say);

    // Runs the sync; a UserError or an EngineError when it cannot go on.
    SyncCounts run();

    // Called before every HTTP request with its number; a test throws from it to stop the
    // sync there, as a kill would.
    std::function<void(int)> beforeRequest;

    // Where a warning about the connection goes (a password over plain http); `say` if unset.
    Say warn;

    // Called with the address book's path once it is known, before anything is written.
    std::function<void(const QString&)> bookChosen;

private:
    data::SyncStore& store_;
    SyncSettings settings_;
    Say say_;
};

} // namespace quillbox::sync
