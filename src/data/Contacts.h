#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace quillbox::data {

class Database;

// One contact's texts as stored, a Null field read as empty.
struct ContactTexts {
    QString name, email, phone, address;
};

// Every contact of the file in record-number order, read in one statement.
std::vector<ContactTexts> readAllContacts(Database& db);

// Adds many contacts in one write transaction, taken at once (BEGIN IMMEDIATE): all of them on
// commit(), none when it is destroyed uncommitted. The file's own AUTOINCREMENT numbers them.
// Every failure is an EngineError with SQLite's code.
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
