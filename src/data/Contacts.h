#pragma once

#include "Sqlite.h"
#include "contact/Contact.h"

#include <QByteArrayView>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace quillbox::data {

class Database;

struct StoredContact {
    std::int64_t number = 0; // the record number
    contact::Contact fields;
};

// Every contact of the file in record-number order, read in one statement.
std::vector<StoredContact> readAllContacts(Database& db);

// The one writer of the file's table of contacts for all that write it in bulk or from outside
// the windows (whose record sets write through the same field names): the tool's import and new
// files, and the sync. It writes within whatever transaction the caller holds. Its statements
// are prepared at first use and reset after each, so that it holds no lock between calls; it
// must be destroyed before the connection closes. Failures are EngineErrors with SQLite's code.
class ContactWriter {
public:
    explicit ContactWriter(sqlite3* db) : db_(db) {}

    // Adds a contact, numbered by the file's own AUTOINCREMENT; returns its record number.
    std::int64_t add(const contact::Contact& c);
    // The same with the texts in UTF-8, in the order of contact::fields.
    std::int64_t add(const std::array<std::string_view, contact::fields.size()>& utf8);
    void update(std::int64_t number, const contact::Contact& c);
    void remove(std::int64_t number);

private:
    sqlite::Statement& prepared(std::optional<sqlite::Statement>& s, const char* pattern);
    sqlite3* db_;
    std::optional<sqlite::Statement> insert_, update_, remove_;
};

// Adds many contacts in one write transaction, taken at once (BEGIN IMMEDIATE): all of them on
// commit(), none when it is destroyed uncommitted. Every failure is an EngineError with
// SQLite's code.
class ContactBatch {
public:
    explicit ContactBatch(Database& db);
    ~ContactBatch();
    ContactBatch(const ContactBatch&) = delete;
    ContactBatch& operator=(const ContactBatch&) = delete;

    // Whether a contact of exactly this name (UTF-8) is stored, this batch's included.
    bool nameStored(QByteArrayView name);
    // The texts in UTF-8.
    void add(QByteArrayView name, QByteArrayView email, QByteArrayView phone,
             QByteArrayView address);
    // The record number the last add was given.
    std::int64_t lastNumber() const;
    void commit();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace quillbox::data
