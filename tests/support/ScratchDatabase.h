#pragma once

// A fresh database file in a temporary folder, plus plain-SQL access to it that bypasses the
// record-set layer: the tests check the file itself, and play the part of other programs.

#include "data/Schema.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <sqlite3.h>

#include <stdexcept>

class ScratchDatabase {
public:
    explicit ScratchDatabase(const char* ddl = quillbox::data::schema::createSql) {
        if (!dir_.isValid())
            throw std::runtime_error("no temporary folder");
        path_ = dir_.filePath(QStringLiteral("senha.scc"));
        if (ddl)
            exec(ddl);
    }

    const QString& path() const { return path_; }
    QString folder() const { return dir_.path(); }

    // Runs SQL on a connection of its own, opened and closed for the call, as another
    // program would.
    void exec(const QString& sql) const {
        sqlite3* db = open();
        char* err = nullptr;
        const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
        const QString message = QString::fromUtf8(err ? err : "");
        sqlite3_free(err);
        sqlite3_close(db);
        if (rc != SQLITE_OK)
            throw std::runtime_error(message.toStdString());
    }

    // The first column of the first row, or an invalid QVariant when there is none.
    QVariant scalar(const QString& sql) const {
        sqlite3* db = open();
        sqlite3_stmt* s = nullptr;
        QVariant result;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW) {
            switch (sqlite3_column_type(s, 0)) {
            case SQLITE_INTEGER:
                result = static_cast<qlonglong>(sqlite3_column_int64(s, 0));
                break;
            case SQLITE_NULL:
                result = QVariant::fromValue(nullptr);
                break;
            default:
                result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
            }
        }
        sqlite3_finalize(s);
        sqlite3_close(db);
        return result;
    }

    sqlite3* open() const {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path_.toUtf8().constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_busy_timeout(db, 10000);
        return db;
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
