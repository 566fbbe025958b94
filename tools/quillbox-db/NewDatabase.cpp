#include "NewDatabase.h"

#include "Files.h"
#include "SampleContacts.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <memory>

#include <sqlite3.h>

namespace quillbox::tools {

namespace {

class Connection {
public:
    explicit Connection(const QString& fileName) {
        const QByteArray path = QFile::encodeName(QFileInfo(fileName).absoluteFilePath());
        const int rc = sqlite3_open_v2(path.constData(), &db_,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr);
        if (rc != SQLITE_OK)
            fail(rc);
    }
    // On a failure path: rolls back whatever is open.
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }

    void exec(const char* sql) {
        const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            fail(rc);
    }

    void close() {
        const int rc = sqlite3_close(db_);
        if (rc != SQLITE_OK)
            fail(rc);
        db_ = nullptr;
    }

    [[noreturn]] void fail(int rc) const {
        throw CreateError(QString::fromUtf8(db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)));
    }

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(Connection& db, const char* sql) : db_(db) {
        const int rc = sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr);
        if (rc != SQLITE_OK)
            db.fail(rc);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // The text must outlive the next run().
    void bind(int index, const std::string& text) {
        const int rc =
            sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
        if (rc != SQLITE_OK)
            db_.fail(rc);
    }

    void run() {
        const int rc = sqlite3_step(stmt_);
        if (rc != SQLITE_DONE)
            db_.fail(rc);
        sqlite3_reset(stmt_);
    }

private:
    Connection& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void fill(Connection& db, const NewDatabase& options) {
    // Set, not assumed: the file must leave here a plain rollback-journal database, and each
    // commit must be on disk when it returns.
    db.exec("PRAGMA journal_mode=DELETE");
    db.exec("PRAGMA synchronous=FULL");
    // The name index takes names in random order; a roomy cache keeps a million of them quick.
    db.exec("PRAGMA cache_size=-65536");

    db.exec("BEGIN IMMEDIATE");
    db.exec(data::schema::createSql);
    if (options.contacts > 0) {
        // Number is left out: the file hands out the record numbers and keeps sqlite_sequence.
        Statement insert(db, "INSERT INTO Addresses (Name, Phone, Address, email) "
                             "VALUES (?1, ?2, ?3, ?4)");
        SampleContacts contacts(options.seed);
        Contact c;
        for (std::int64_t i = 0; i < options.contacts; ++i) {
            if (i % 4096 == 0 && options.interrupted())
                throw CreateError(QStringLiteral("interrupted"));
            contacts.next(c);
            insert.bind(1, c.name);
            insert.bind(2, c.phone);
            insert.bind(3, c.address);
            insert.bind(4, c.email);
            insert.run();
        }
    }
    db.exec("COMMIT");
}

void create(const NewDatabase& options) {
    // Built beside the target and moved into place at the end, so that the name never shows a
    // half-made file. The temporary file removes itself on every way out but success.
    const std::unique_ptr<QTemporaryFile> temp = temporaryBeside(options.fileName);
    const QString tempName = temp->fileName();
    struct JournalLeftover {
        QString name;
        ~JournalLeftover() { QFile::remove(name); }
    } journal{tempName + QStringLiteral("-journal")};

    {
        Connection db(tempName);
        fill(db, options);
        db.close();
    }

    placeWithoutReplacing(*temp, options.fileName);
}

} // namespace

void createDatabase(const NewDatabase& options) {
    try {
        create(options);
    } catch (const CreateError& e) {
        throw CreateError(QStringLiteral("cannot create '%1': %2")
                              .arg(QDir::toNativeSeparators(options.fileName), e.message()));
    }
}

} // namespace quillbox::tools
