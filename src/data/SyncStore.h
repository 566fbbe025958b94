#pragma once

#include "Contacts.h"
#include "contact/Contact.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillbox::data {

class Database;

// The sync's state in the file, and whose it is. The account itself (server, user, password
// command) is the user's and lives outside the file; `account` names it, so that state made
// with another account, or written by someone else, is never taken for this one's.
struct SyncState {
    QString account;   // the fingerprint of the account and address book the state belongs to
    QString syncToken; // empty before the first sync and on servers without one
};

// What a file written by an older version says it synced with, only to be shown: such a file
// chose its own server and password command, and neither is ever used.
struct FormerAccount {
    QString url, user;
};

// One contact kept in step with one card on the server.
struct SyncedCard {
    QString href;
    std::int64_t number = 0; // the contact's record number
    QByteArray etag;         // empty while an upload is not known to have arrived
    contact::Contact agreed; // the four texts both sides held after the last sync
    QByteArray card;         // the server's card as last seen, or the one being uploaded
};

// The sync's reads and writes of the database file, through the data layer's connection, busy
// handler and checked statements. The card is opaque bytes here.
//
// Reads need no tables of the sync's own: before the first sync there is no state and no
// card. The first write makes the tables, in its own transaction, so that a sync that fails
// before writing leaves the file as it was. Each write() is one short transaction, so the
// program can write between two of them.
class SyncStore {
public:
    // Opens the file as the program does (never creating it); an EngineError otherwise.
    explicit SyncStore(const QString& file);
    ~SyncStore();

    std::optional<SyncState> state();
    std::optional<FormerAccount> formerAccount();
    std::vector<StoredContact> contacts();
    std::vector<SyncedCard> cards();

    // Runs `work` in one write transaction; everything it wrote is in the file when write()
    // returns, or nothing is.
    void write(const std::function<void()>& work);

    // Within write():
    void saveState(const SyncState& state);
    void saveSyncToken(const QString& token);
    std::int64_t addContact(const contact::Contact& fields);
    void updateContact(std::int64_t number, const contact::Contact& fields);
    void deleteContact(std::int64_t number);
    void saveCard(const SyncedCard& card); // replaces the row of the same href
    void deleteCard(const QString& href);

private:
    std::shared_ptr<Database> db_;
    ContactWriter contacts_; // destroyed before db_, its statements before the connection
    bool tablesMade_ = false;
};

} // namespace quillbox::data
