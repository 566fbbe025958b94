#pragma once

// Thin RAII over the SQLite C API, for the data layer and the benchmarks that time it. Every
// SQLite call that can fail goes through check(), which turns the failure into an EngineError carrying SQLite's extended
// result code and message.

#include "EngineError.h"
#include "Value.h"

#include <QString>

#include <sqlite3.h>

#include <cstdint>
#include <string_view>

namespace quillbox::data::sqlite {

[[noreturn]] void fail(sqlite3* db, int rc, const QString& context = {});

inline void check(sqlite3* db, int rc, const QString& context = {}) {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(db, rc, context);
}

// A prepared statement that finalizes itself. Reset after every use (see Use below), so that a
// statement never holds the file's shared lock between calls.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;

    void bind(int index, std::int64_t v);
    void bind(int index, const Value& v);
    void bindNull(int index);
    // UTF-8 text, not copied: it must outlive the statement's next reset.
    void bindText(int index, std::string_view utf8);

    // Steps once: true with a row to read, false when done.
    bool step();
    void reset() noexcept;

    int columnCount() const { return sqlite3_column_count(stmt_); }
    int columnType(int i) const { return sqlite3_column_type(stmt_, i); }
    std::int64_t int64(int i) const { return sqlite3_column_int64(stmt_, i); }
    double real(int i) const { return sqlite3_column_double(stmt_, i); }
    std::string_view text(int i) const;
    QString qtext(int i) const;
    Value value(int i) const;

    sqlite3_stmt* handle() const { return stmt_; }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// Resets a statement and clears its bindings when the scope ends, whatever the way out.
class Use {
public:
    explicit Use(Statement& s) : s_(s) {}
    ~Use() {
        s_.reset();
        sqlite3_clear_bindings(s_.handle());
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    Statement* operator->() { return &s_; }

private:
    Statement& s_;
};

// What every connection to a user's file sets before it reads anything, since the file may come
// from anywhere: no schema tricks or untrusted SQL functions, and no value longer than
// schema::limits::valueBytes.
void guard(sqlite3* db);

// Runs one or more statements with no result rows.
void exec(sqlite3* db, const char* sql);

// BEGIN IMMEDIATE ... COMMIT. Taking the write lock at the start means a busy file is waited
// for in the busy handler, never met as a failed lock upgrade halfway through. Rolls back in
// its destructor unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    void commit();

private:
    sqlite3* db_;
    bool open_ = true;
};

} // namespace quillbox::data::sqlite
