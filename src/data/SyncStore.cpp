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
        .replace(QLatin1String("$state"), QLatin1String(names::state))
        .replace(QLatin1String("$former"), QLatin1String(names::formerAccount))
        .replace(QLatin1String("$cards"), QLatin1String(names::cards))
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

// The card's row keeps the four texts both sides agreed on, in fields of its own.
void bindFields(sqlite::Statement& s, int first, const contact::Contact& c) {
    for (size_t i = 0; i < contact::fields.size(); ++i)
        s.bind(first + static_cast<int>(i), Value(c.*contact::fields[i].text));
}

} // namespace

SyncStore::SyncStore(const QString& file) : db_(OpenDatabase(file)), contacts_(db_->handle()) {
    sqlite::Statement s(db_->handle(), "SELECT count(*) FROM sqlite_schema WHERE type = 'table' "
                                       "AND name IN (?1, ?2)");
    s.bind(1, Value(QString::fromLatin1(names::state)));
    s.bind(2, Value(QString::fromLatin1(names::cards)));
    tablesMade_ = s.step() && s.int64(0) == 2;
}

SyncStore::~SyncStore() = default;

std::optional<SyncState> SyncStore::state() {
    if (!tablesMade_)
        return std::nullopt;
    sqlite::Use s(db_->cached(sql("SELECT Account, SyncToken FROM $state LIMIT 1")));
    if (!s->step())
        return std::nullopt;
    return SyncState{s->qtext(0), s->qtext(1)};
}

std::optional<FormerAccount> SyncStore::formerAccount() {
    sqlite::Statement t(db_->handle(), "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND "
                                       "name = ?1");
    t.bind(1, Value(QString::fromLatin1(names::formerAccount)));
    if (!t.step())
        return std::nullopt;
    // Its columns may be anything: the two are read as text, and nothing else is read.
    sqlite::Statement s(db_->handle(), sql("SELECT CAST(Url AS TEXT), CAST(User AS TEXT) "
                                           "FROM $former LIMIT 1")
                                           .c_str());
    if (!s.step())
        return std::nullopt;
    return FormerAccount{s.qtext(0), s.qtext(1)};
}

std::vector<StoredContact> SyncStore::contacts() {
    return readAllContacts(*db_);
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
                     sql("CREATE TABLE IF NOT EXISTS $state (Account TEXT, SyncToken TEXT);"
                         "CREATE TABLE IF NOT EXISTS $cards (Href TEXT PRIMARY KEY, "
                         "Number INTEGER NOT NULL, ETag BLOB, Name TEXT, Email TEXT, Phone TEXT, "
                         "Address TEXT, Card BLOB);")
                         .c_str());
    work();
    t.commit();
    tablesMade_ = true;
}

void SyncStore::saveState(const SyncState& state) {
    sqlite::exec(db_->handle(), sql("DELETE FROM $state").c_str());
    sqlite::Use s(db_->cached(sql("INSERT INTO $state (Account, SyncToken) VALUES (?1, ?2)")));
    s->bind(1, Value(state.account));
    s->bind(2, Value(state.syncToken));
    s->step();
}

void SyncStore::saveSyncToken(const QString& token) {
    sqlite::Use s(db_->cached(sql("UPDATE $state SET SyncToken = ?1")));
    s->bind(1, Value(token));
    s->step();
}

std::int64_t SyncStore::addContact(const contact::Contact& c) {
    return contacts_.add(c);
}

void SyncStore::updateContact(std::int64_t number, const contact::Contact& c) {
    contacts_.update(number, c);
}

void SyncStore::deleteContact(std::int64_t number) {
    contacts_.remove(number);
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
