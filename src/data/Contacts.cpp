#include "Contacts.h"

#include "Database.h"
#include "Sqlite.h"

namespace quillbox::data {

namespace {
std::string_view view(QByteArrayView v) {
    return {v.data(), static_cast<std::size_t>(v.size())};
}
} // namespace

std::vector<ContactTexts> readAllContacts(Database& db) {
    std::vector<ContactTexts> contacts;
    sqlite::Statement all(db.handle(),
                          "SELECT Name, email, Phone, Address FROM Addresses ORDER BY Number");
    while (all.step())
        contacts.push_back({all.qtext(0), all.qtext(1), all.qtext(2), all.qtext(3)});
    return contacts;
}

struct ContactBatch::Impl {
    explicit Impl(sqlite3* db)
        : db(db), transaction(db), stored(db, "SELECT 1 FROM Addresses WHERE Name = ?1 LIMIT 1"),
          insert(db, "INSERT INTO Addresses (Name, Phone, Address, email) "
                     "VALUES (?1, ?2, ?3, ?4)") {}
    sqlite3* db;
    sqlite::WriteTransaction transaction;
    sqlite::Statement stored, insert;
};

ContactBatch::ContactBatch(Database& db) : impl_(std::make_unique<Impl>(db.handle())) {}

ContactBatch::~ContactBatch() = default;

bool ContactBatch::nameStored(QByteArrayView name) {
    sqlite::Use s(impl_->stored);
    s->bindText(1, view(name));
    return s->step();
}

void ContactBatch::add(QByteArrayView name, QByteArrayView email, QByteArrayView phone,
                       QByteArrayView address) {
    sqlite::Use s(impl_->insert);
    s->bindText(1, view(name));
    s->bindText(2, view(phone));
    s->bindText(3, view(address));
    s->bindText(4, view(email));
    s->step();
}

std::int64_t ContactBatch::lastNumber() const {
    return sqlite3_last_insert_rowid(impl_->db);
}

void ContactBatch::commit() {
    impl_->transaction.commit();
    Database::bumpWriteGeneration();
}

} // namespace quillbox::data
