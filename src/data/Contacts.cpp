#include "Contacts.h"

#include "Database.h"
#include "Schema.h"

#include <QStringList>

namespace quillbox::data {

namespace {

std::string_view view(QByteArrayView v) {
    return {v.data(), static_cast<std::size_t>(v.size())};
}

// The statements name the table and its fields through Schema.h and contact::fields; values
// are always bound, the fields' to ?1, ?2, ... in the order of contact::fields.
// Each field as `pattern` gives it ($field its name in the file, $n its value's number), joined.
QString eachField(const char* pattern) {
    QStringList out;
    for (size_t i = 0; i < contact::fields.size(); ++i)
        out << QString::fromLatin1(pattern)
                   .replace(QLatin1String("$field"), QLatin1String(contact::fields[i].column))
                   .replace(QLatin1String("$n"), QString::number(i + 1));
    return out.join(QStringLiteral(", "));
}

// $table, its $number field and $name field; $fields, their $values, "field = value" for each
// ($set), and the number of the value after them ($next).
std::string statement(const char* pattern) {
    return QString::fromLatin1(pattern)
        .replace(QLatin1String("$table"), schema::Addresses)
        .replace(QLatin1String("$number"), schema::Number)
        .replace(QLatin1String("$name"), schema::Name)
        .replace(QLatin1String("$fields"), eachField("$field"))
        .replace(QLatin1String("$values"), eachField("?$n"))
        .replace(QLatin1String("$set"), eachField("$field = ?$n"))
        .replace(QLatin1String("$next"), QString::number(contact::fields.size() + 1))
        .toStdString();
}

constexpr const char* insertSql = "INSERT INTO $table ($fields) VALUES ($values)";

} // namespace

std::vector<StoredContact> readAllContacts(Database& db) {
    std::vector<StoredContact> contacts;
    sqlite::Statement all(db.handle(),
                          statement("SELECT $number, $fields FROM $table ORDER BY $number"));
    while (all.step()) {
        StoredContact& c = contacts.emplace_back();
        c.number = all.int64(0);
        for (size_t i = 0; i < contact::fields.size(); ++i)
            c.fields.*contact::fields[i].text = all.qtext(static_cast<int>(i) + 1);
    }
    return contacts;
}

sqlite::Statement& ContactWriter::prepared(std::optional<sqlite::Statement>& s,
                                           const char* pattern) {
    if (!s)
        s.emplace(db_, statement(pattern));
    return *s;
}

std::int64_t ContactWriter::add(const contact::Contact& c) {
    sqlite::Use s(prepared(insert_, insertSql));
    for (size_t i = 0; i < contact::fields.size(); ++i)
        s->bind(static_cast<int>(i) + 1, Value(c.*contact::fields[i].text));
    s->step();
    return sqlite3_last_insert_rowid(db_);
}

std::int64_t ContactWriter::add(const std::array<std::string_view, contact::fields.size()>& utf8) {
    sqlite::Use s(prepared(insert_, insertSql));
    for (size_t i = 0; i < utf8.size(); ++i)
        s->bindText(static_cast<int>(i) + 1, utf8[i]);
    s->step();
    return sqlite3_last_insert_rowid(db_);
}

void ContactWriter::update(std::int64_t number, const contact::Contact& c) {
    sqlite::Use s(prepared(update_, "UPDATE $table SET $set WHERE $number = ?$next"));
    for (size_t i = 0; i < contact::fields.size(); ++i)
        s->bind(static_cast<int>(i) + 1, Value(c.*contact::fields[i].text));
    s->bind(static_cast<int>(contact::fields.size()) + 1, number);
    s->step();
}

void ContactWriter::remove(std::int64_t number) {
    sqlite::Use s(prepared(remove_, "DELETE FROM $table WHERE $number = ?1"));
    s->bind(1, number);
    s->step();
}

struct ContactBatch::Impl {
    explicit Impl(sqlite3* db)
        : transaction(db), stored(db, statement("SELECT 1 FROM $table WHERE $name = ?1 LIMIT 1")),
          writer(db) {}
    sqlite::WriteTransaction transaction;
    sqlite::Statement stored;
    ContactWriter writer;
    std::int64_t lastNumber = 0;
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
    impl_->lastNumber = impl_->writer.add({view(name), view(email), view(phone), view(address)});
}

std::int64_t ContactBatch::lastNumber() const {
    return impl_->lastNumber;
}

void ContactBatch::commit() {
    impl_->transaction.commit();
    Database::bumpWriteGeneration();
}

} // namespace quillbox::data
