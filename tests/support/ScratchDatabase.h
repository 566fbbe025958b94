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
    // The first column of the first row: a number, text, a null QVariant for Null, or an
    // invalid one when there is no row.
    QVariant scalar(const QString& sql) const {
        sqlite3* db = open();
        sqlite3_stmt* s = nullptr;
        QVariant result;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW) {
            const int type = sqlite3_column_type(s, 0);
            result = type == SQLITE_INTEGER ? QVariant(qlonglong(sqlite3_column_int64(s, 0)))
                     : type == SQLITE_NULL
                         ? QVariant::fromValue(nullptr)
                         : QVariant(QString::fromUtf8(
                               reinterpret_cast<const char*>(sqlite3_column_text(s, 0))));
        }
        sqlite3_finalize(s);
        sqlite3_close(db);
        return result;
    }

private:
    QTemporaryDir dir_;
    QString path_;
};

// Runs `expr`, which must throw an EngineError with the given number.
#define QVERIFY_ENGINE_ERROR(expr, expected)                                                       \
    do {                                                                                           \
        int number_ = 0;                                                                           \
        try {                                                                                      \
            expr;                                                                                  \
        } catch (const quillbox::data::EngineError& e) {                                           \
            number_ = e.number();                                                                  \
        }                                                                                          \
        QCOMPARE(number_, (expected));                                                             \
    } while (false)
