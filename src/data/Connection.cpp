#include "Connection.h"

#include "Sqlite.h"

#include <QFile>
#include <QFileInfo>

#include "os/Posix.h"

#include <thread>

namespace quillbox::data {

BusyWait::BusyWait(sqlite3* db, const QString& fileName)
    : path_(QFile::encodeName(QFileInfo(fileName).absoluteFilePath())) {
    if (db)
        sqlite3_busy_handler(db, &BusyWait::retry, this);
}

int BusyWait::retry(void* self, int tries) {
    return static_cast<BusyWait*>(self)->retry(tries);
}

namespace {
WaitHook g_waitHook = nullptr;
}

void setWaitHook(WaitHook hook) {
    g_waitHook = hook;
}

int BusyWait::retry(int tries) {
    if (!patient_)
        return 0;
    if (g_waitHook && g_waitHook(tries))
        return 0;
    const auto now = std::chrono::steady_clock::now();
    const os::FileStamp file = os::fileStamp(path_);
    const std::int64_t journalMtime = os::fileStamp(path_ + "-journal").changedNs;
    if (tries == 0 || file.changedNs != mtimeNs_ || file.size != size_ ||
        journalMtime != journalMtimeNs_) {
        mtimeNs_ = file.changedNs;
        size_ = file.size;
        journalMtimeNs_ = journalMtime;
        deadline_ = now + std::chrono::milliseconds(timeoutMs);
    }
    if (now >= deadline_)
        return 0;
    std::this_thread::sleep_for(std::chrono::microseconds(100 + random_() % 900));
    return 1;
}

Connection::Connection(const QString& fileName, Access access) {
    const int flags = access == Access::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    // An absolute path: a name beginning with "file:" would otherwise be read as a URI.
    const int rc =
        sqlite3_open_v2(QFile::encodeName(QFileInfo(fileName).absoluteFilePath()).constData(), &db_,
                        flags | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
        // Read before closing: the message lives in the connection.
        try {
            sqlite::fail(db_, rc);
        } catch (...) {
            sqlite3_close_v2(db_);
            db_ = nullptr;
            throw;
        }
    }
    busy_ = std::make_unique<BusyWait>(db_, fileName);
    sqlite::guard(db_);
}

Connection::~Connection() {
    sqlite3_close_v2(db_);
}

void Connection::close() {
    if (const int rc = sqlite3_close(db_); rc != SQLITE_OK)
        sqlite::fail(db_, rc);
    db_ = nullptr;
}

} // namespace quillbox::data
