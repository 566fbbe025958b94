#include "Backup.h"

#include "Connection.h"
#include "Database.h"
#include "Sqlite.h"

#include <QElapsedTimer>

namespace quillbox::data {

namespace {

// Pages copied per step: the source is read-locked only while a step runs.
constexpr int pagesPerStep = 1024;
// A write by another connection starts the copy again. After this many restarts the rest is
// copied in one step, under one read lock that no writer can overtake.
constexpr int restartsBeforeOneStep = 3;

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

} // namespace

void copyDatabase(Connection& from, Connection& to,
                  const std::function<void(int done, int total)>& afterStep) {
    BackupHandle backup(to.handle(), from.handle());
    if (!backup.get())
        sqlite::fail(to.handle(), sqlite3_errcode(to.handle()));
    QElapsedTimer busySince;
    int restarts = 0, lastDone = 0;
    for (;;) {
        const int rc = sqlite3_backup_step(
            backup.get(), restarts >= restartsBeforeOneStep ? -1 : pagesPerStep);
        if (rc == SQLITE_DONE)
            break;
        const int total = sqlite3_backup_pagecount(backup.get());
        const int done = total - sqlite3_backup_remaining(backup.get());
        if (rc == SQLITE_OK && done <= lastDone) // every step copies pages, so it started again
            ++restarts;
        lastDone = done;
        if (afterStep)
            afterStep(done, total);
        if (error::busy(rc)) {
            // The busy handler has waited already; another round gives a writer that holds on
            // a little longer the same chance again, up to a limit.
            if (!busySince.isValid())
                busySince.start();
            if (busySince.elapsed() > 3 * Database::busyTimeoutMs)
                sqlite::fail(nullptr, rc);
            sqlite3_sleep(50);
            continue;
        }
        if (rc != SQLITE_OK)
            sqlite::fail(nullptr, rc);
        busySince.invalidate();
    }
    if (const int rc = backup.finish(); rc != SQLITE_OK)
        sqlite::fail(nullptr, rc);
}

} // namespace quillbox::data
