#include "Sqlite.h"

#include "Schema.h"
#include "text/Utf8.h"

#include <utility>

namespace quillbox::data::sqlite {

void fail(sqlite3* db, int rc, const QString& context) {
    const int code = db ? sqlite3_extended_errcode(db) : rc;
    QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    // errmsg can lag behind rc when the failure came from outside a statement (e.g. a
    // transaction control call); prefer the text that belongs to the code we report.
    if (db && (code & 0xff) != (rc & 0xff))
        message = QString::fromUtf8(sqlite3_errstr(rc));
    // SQLite calls this "attempt to write a readonly database", which sends the user to the
    // permissions; the file was in fact renamed, deleted or replaced under the connection.
    if (code == SQLITE_READONLY_DBMOVED)
        message = QStringLiteral("the database file was removed or replaced while the program "
                                 "had it open.");
    if (!context.isEmpty())
        message = context + QStringLiteral(": ") + message;
    throw EngineError((code & 0xff) == (rc & 0xff) ? code : rc, message);
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    const int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        fail(db, rc);
    }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

void Statement::bind(int index, std::int64_t v) {
    check(db_, sqlite3_bind_int64(stmt_, index, v));
}

void Statement::bindText(int index, std::string_view utf8) {
    // A null pointer would bind Null; empty text stays text.
    check(db_, sqlite3_bind_text64(stmt_, index, utf8.data() ? utf8.data() : "", utf8.size(),
                                   SQLITE_STATIC, SQLITE_UTF8));
}

void Statement::bindNull(int index) { check(db_, sqlite3_bind_null(stmt_, index)); }

void Statement::bind(int index, const Value& v) {
    switch (v.type()) {
    case Value::Type::Null:
        bindNull(index);
        return;
    case Value::Type::Integer:
        bind(index, std::get<std::int64_t>(v.storage()));
        return;
    case Value::Type::Real:
        check(db_, sqlite3_bind_double(stmt_, index, v.toDouble()));
        return;
    case Value::Type::Text: {
        const QByteArray utf8 = v.toText().toUtf8();
        check(db_, sqlite3_bind_text64(stmt_, index, utf8.constData(),
                                       static_cast<sqlite3_uint64>(utf8.size()),
                                       SQLITE_TRANSIENT, SQLITE_UTF8));
        return;
    }
    }
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(db_, rc);
}

void Statement::reset() noexcept { sqlite3_reset(stmt_); }

std::string_view Statement::text(int i) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
    return {p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i))};
}

QString Statement::qtext(int i) const {
    const std::string_view t = text(i);
    return text::fromUtf8(QByteArrayView(t.data(), static_cast<qsizetype>(t.size())));
}

Value Statement::value(int i) const {
    switch (columnType(i)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return Value(int64(i));
    case SQLITE_FLOAT:
        return Value(real(i));
    default:
        return Value(qtext(i));
    }
}

void guard(sqlite3* db) {
    sqlite3_extended_result_codes(db, 1);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, schema::limits::valueBytes);
}

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        fail(db, rc);
}

WriteTransaction::WriteTransaction(sqlite3* db) : db_(db) { exec(db, "BEGIN IMMEDIATE"); }

WriteTransaction::~WriteTransaction() {
    if (open_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void WriteTransaction::commit() {
    exec(db_, "COMMIT");
    open_ = false;
}

} // namespace quillbox::data::sqlite
