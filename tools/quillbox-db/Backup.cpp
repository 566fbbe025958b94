#include "Backup.h"

#include "Check.h"
#include "Files.h"
#include "Progress.h"
#include "ToolError.h"
#include "data/Database.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <memory>

namespace quillbox::tools {

namespace {

// Pages copied per step: the source is read-locked only while a step runs.
constexpr int pagesPerStep = 1024;

class Connection {
public:
    Connection(const QString& fileName, int flags) {
        // An absolute path: a name beginning with "file:" would otherwise be read as a URI.
        rc_ = sqlite3_open_v2(QFile::encodeName(QFileInfo(fileName).absoluteFilePath()).constData(),
                              &db_, flags | SQLITE_OPEN_EXRESCODE, nullptr);
        sqlite3_busy_timeout(db_, data::Database::busyTimeoutMs);
    }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* handle() const { return db_; }
    int openResult() const { return rc_; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db_)); }

private:
    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_OK;
};

class BackupHandle {
public:
    BackupHandle(sqlite3* to, sqlite3* from)
        : backup_(sqlite3_backup_init(to, "main", from, "main")) {}
    ~BackupHandle() { finish(); }
    BackupHandle(const BackupHandle&) = delete;
    BackupHandle& operator=(const BackupHandle&) = delete;
    sqlite3_backup* get() const { return backup_; }
    int finish() {
        const int rc = backup_ ? sqlite3_backup_finish(backup_) : SQLITE_OK;
        backup_ = nullptr;
        return rc;
    }

private:
    sqlite3_backup* backup_;
};

void copy(const QString& source, const QString& target, const std::function<bool()>& interrupted) {
    const QFileInfo info(source);
    if (!info.exists())
        throw ToolError(QStringLiteral("there is no file %1").arg(shown(source)));
    if (!info.isFile())
        throw ToolError(
            QStringLiteral("%1 is a folder or device, not a database file").arg(shown(source)));

    const std::unique_ptr<QTemporaryFile> temp = temporaryBeside(target);
    const QString tempName = temp->fileName();
    struct JournalLeftover {
        QString name;
        ~JournalLeftover() { QFile::remove(name); }
    } journal{tempName + QStringLiteral("-journal")};

    rollBackHotJournal(source);
    {
        const Connection from(source, SQLITE_OPEN_READONLY);
        if (from.openResult() != SQLITE_OK)
            throw ToolError(QStringLiteral("cannot open %1: %2").arg(shown(source), from.error()));
        const Connection to(tempName, SQLITE_OPEN_READWRITE);
        if (to.openResult() != SQLITE_OK)
            throw ToolError(to.error());

        BackupHandle backup(to.handle(), from.handle());
        if (!backup.get())
            throw ToolError(to.error());
        Progress progress(QStringLiteral("copying"), 0);
        QElapsedTimer busySince;
        for (;;) {
            const int rc = sqlite3_backup_step(backup.get(), pagesPerStep);
            if (rc == SQLITE_DONE)
                break;
            if (interrupted && interrupted())
                throw ToolError(QStringLiteral("interrupted"));
            const int primary = rc & 0xff;
            if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
                // The busy handler has waited already; another round gives a writer that holds
                // on a little longer the same chance again, up to a limit.
                if (!busySince.isValid())
                    busySince.start();
                if (busySince.elapsed() > 3 * data::Database::busyTimeoutMs)
                    throw ToolError(QStringLiteral("another program kept %1 busy for too long; "
                                                   "try again")
                                        .arg(shown(source)));
                sqlite3_sleep(50);
                continue;
            }
            if (rc != SQLITE_OK) {
                const QString why = primary == SQLITE_NOTADB
                                        ? QStringLiteral("it is not a database file")
                                        : QString::fromUtf8(sqlite3_errstr(rc));
                throw ToolError(QStringLiteral("cannot copy %1: %2").arg(shown(source), why));
            }
            busySince.invalidate();
            const int total = sqlite3_backup_pagecount(backup.get());
            progress.setTotal(total);
            progress.update(total - sqlite3_backup_remaining(backup.get()));
        }
        if (const int rc = backup.finish(); rc != SQLITE_OK)
            throw ToolError(QStringLiteral("cannot copy %1: %2")
                                .arg(shown(source), QString::fromUtf8(sqlite3_errstr(rc))));
    }

    // The copy's connection wrote it with synchronous=FULL, so its contents are on disk.
    temp->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    placeWithoutReplacing(*temp, target);
}

} // namespace

void backupDatabase(const QString& source, const QString& target,
                    const std::function<bool()>& interrupted) {
    try {
        copy(source, target, interrupted);
    } catch (const ToolError& e) {
        throw ToolError(QStringLiteral("cannot back up to %1: %2").arg(shown(target), e.message()));
    }
}

} // namespace quillbox::tools
