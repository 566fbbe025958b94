#include "SyncStore.h"

#include "Database.h"
#include "Schema.h"
#include "Sqlite.h"

#include <string>

namespace quillbox::data {

namespace {

namespace names = schema::sync;

// The statements name the sync's tables through Schema.h; the values are always bound.
std::string sql(const char* text) {
    return QString::fromLatin1(text)
        .replace(QLatin1String("$account"), QLatin1String(names::account))
        .replace(QLatin1String("$cards"), QLatin1String(names::cards))
        .replace(QLatin1String("$contacts"), schema::Addresses)
        .toStdString();
}

void bindBytes(sqlite3* db, sqlite::Statement& s, int index, const QByteArray& bytes) {
    sqlite::check(db, sqlite3_bind_blob64(s.handle(), index, bytes.constData(),
                                          static_cast<sqlite3_uint64>(bytes.size()),
                                          SQLITE_TRANSIENT));
}

QByteArray bytesAt(sqlite::Statement& s, int i) {
    const auto* p = static_cast<const char*>(sqlite3_column_blob(s.handle(), i));
    return QByteArray(p, sqlite3_column_bytes(s.handle(), i));
}


void bindFields(sqlite::Statement& s, int first, const ContactFields& f) {
    s.bind(first, Value(f.name));
    s.bind(first + 1, Value(f.email));
    s.bind(first + 2, Value(f.phone));
    s.bind(first + 3, Value(f.address));
}

} // namespace

SyncStore::SyncStore(const QString& file) : db_(OpenDatabase(file)) {
    sqlite::Statement s(db_->handle(), "SELECT count(*) FROM sqlite_schema WHERE type = 'table' "
                                       "AND name IN (?1, ?2)");
    s.bind(1, Value(QString::fromLatin1(names::account)));
    s.bind(2, Value(QString::fromLatin1(names::cards)));
    tablesMade_ = s.step() && s.int64(0) == 2;
}

SyncStore::~SyncStore() = default;

std::optional<SyncAccount> SyncStore::account() {
    if (!tablesMade_)
        return std::nullopt;
    sqlite::Use s(db_->cached(sql("SELECT Url, User, PasswordCommand, AddressBook, SyncToken "
                                  "FROM $account LIMIT 1")));
    if (!s->step())
        return std::nullopt;
    return SyncAccount{s->qtext(0), s->qtext(1), s->qtext(2), s->qtext(3),
                       s->qtext(4)};
}

std::vector<StoredContact> SyncStore::contacts() {
    std::vector<StoredContact> out;
    sqlite::Use s(db_->cached(sql("SELECT Number, Name, email, Phone, Address FROM $contacts")));
    while (s->step())
        out.push_back({s->int64(0), {s->qtext(1), s->qtext(2), s->qtext(3), s->qtext(4)}});
    return out;
}

std::vector<SyncedCard> SyncStore::cards() {
    std::vector<SyncedCard> out;
    if (!tablesMade_)
        return out;
    sqlite::Use s(db_->cached(sql(
        "SELECT Href, Number, ETag, Name, Email, Phone, Address, Card FROM $cards")));
    while (s->step())
        out.push_back({s->qtext(0), s->int64(1), bytesAt(*s.operator->(), 2),
                       {s->qtext(3), s->qtext(4), s->qtext(5), s->qtext(6)},
                       bytesAt(*s.operator->(), 7)});
    return out;
}

void SyncStore::write(const std::function<void()>& work) {
    sqlite::WriteTransaction t(db_->handle());
    if (!tablesMade_)
        sqlite::exec(db_->handle(),
                     sql("CREATE TABLE IF NOT EXISTS $account (Url TEXT, User TEXT, "
                         "PasswordCommand TEXT, AddressBook TEXT, SyncToken TEXT);"
                         "CREATE TABLE IF NOT EXISTS $cards (Href TEXT PRIMARY KEY, "
                         "Number INTEGER NOT NULL, ETag BLOB, Name TEXT, Email TEXT, Phone TEXT, "
                         "Address TEXT, Card BLOB);")
                         .c_str());
    work();
    t.commit();
    tablesMade_ = true;
}

void SyncStore::saveAccount(const SyncAccount& a) {
    sqlite::exec(db_->handle(), sql("DELETE FROM $account").c_str());
    sqlite::Use s(db_->cached(sql("INSERT INTO $account (Url, User, PasswordCommand, "
                                  "AddressBook, SyncToken) VALUES (?1, ?2, ?3, ?4, ?5)")));
    s->bind(1, Value(a.url));
    s->bind(2, Value(a.user));
    s->bind(3, Value(a.passwordCommand));
    s->bind(4, Value(a.addressBook));
    s->bind(5, Value(a.syncToken));
    s->step();
}

void SyncStore::saveSyncToken(const QString& token) {
    sqlite::Use s(db_->cached(sql("UPDATE $account SET SyncToken = ?1")));
    s->bind(1, Value(token));
    s->step();
}

std::int64_t SyncStore::addContact(const ContactFields& f) {
    sqlite::Use s(db_->cached(
        sql("INSERT INTO $contacts (Name, email, Phone, Address) VALUES (?1, ?2, ?3, ?4)")));
    bindFields(*s.operator->(), 1, f);
    s->step();
    return sqlite3_last_insert_rowid(db_->handle());
}

void SyncStore::updateContact(std::int64_t number, const ContactFields& f) {
    sqlite::Use s(db_->cached(
        sql("UPDATE $contacts SET Name = ?1, email = ?2, Phone = ?3, Address = ?4 "
            "WHERE Number = ?5")));
    bindFields(*s.operator->(), 1, f);
    s->bind(5, number);
    s->step();
}

void SyncStore::deleteContact(std::int64_t number) {
    sqlite::Use s(db_->cached(sql("DELETE FROM $contacts WHERE Number = ?1")));
    s->bind(1, number);
    s->step();
}

void SyncStore::saveCard(const SyncedCard& c) {
    sqlite::Use s(db_->cached(sql("INSERT OR REPLACE INTO $cards (Href, Number, ETag, Name, "
                                  "Email, Phone, Address, Card) "
                                  "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")));
    s->bind(1, Value(c.href));
    s->bind(2, c.number);
    bindBytes(db_->handle(), *s.operator->(), 3, c.etag);
    bindFields(*s.operator->(), 4, c.agreed);
    bindBytes(db_->handle(), *s.operator->(), 8, c.card);
    s->step();
}

void SyncStore::deleteCard(const QString& href) {
    sqlite::Use s(db_->cached(sql("DELETE FROM $cards WHERE Href = ?1")));
    s->bind(1, Value(href));
    s->step();
}

} // namespace quillbox::data
