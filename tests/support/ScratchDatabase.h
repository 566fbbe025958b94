#pragma once

// A fresh database file, "senha.scc" in a temporary folder, and plain-SQL access to it that
// bypasses the record-set layer: the tests check the file itself, and play other programs.

#include "data/EngineError.h"
#include "data/Schema.h"

#include <QTemporaryDir>
#include <QVariant>

#include <sqlite3.h>

#include <stdexcept>

class ScratchDatabase {
public:
    explicit ScratchDatabase(const char* ddl = quillbox::data::schema::createSql)
        : path_(dir_.filePath(QStringLiteral("senha.scc"))) {
        if (ddl)
            exec(QString::fromUtf8(ddl));
    }

    const QString& path() const { return path_; }
    QString folder() const { return dir_.path(); }

    // A connection of its own, as another program's, opened (and the file made) on demand.
    sqlite3* open() const {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path_.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr);
        sqlite3_busy_timeout(db, 10000);
        return db;
    }
    void exec(const QString& sql) const {
        sqlite3* db = open();
        char* err = nullptr;
        const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
        const std::string message = err ? err : "";
        sqlite3_free(err);
        sqlite3_close(db);
        if (rc != SQLITE_OK)
            throw std::runtime_error(message);
    }
    // The first column of the first row, read on `db` (by default a connection of its own): a
    // number, text, a null QVariant for Null, or an invalid one when there is no row.
    QVariant scalar(const QString& sql, sqlite3* db = nullptr) const {
        sqlite3* on = db ? db : open();
        sqlite3_stmt* s = nullptr;
        QVariant result;
        if (sqlite3_prepare_v2(on, sql.toUtf8().constData(), -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW) {
            const int type = sqlite3_column_type(s, 0);
            result = type == SQLITE_INTEGER ? QVariant(qlonglong(sqlite3_column_int64(s, 0)))
                     : type == SQLITE_NULL
                         ? QVariant::fromValue(nullptr)
                         : QVariant(QString::fromUtf8(
                               reinterpret_cast<const char*>(sqlite3_column_text(s, 0))));
        }
        sqlite3_finalize(s);
        if (!db)
            sqlite3_close(on);
        return result;
    }

private:
    QTemporaryDir dir_;
    QString path_;
};

// Runs f, which must throw an EngineError; gives back "number: description", or "no error".
template <class F> QString failure(F&& f) {
    try {
        f();
    } catch (const quillbox::data::EngineError& e) {
        return QStringLiteral("%1: %2").arg(e.number()).arg(e.description());
    }
    return QStringLiteral("no error");
}
