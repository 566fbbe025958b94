#pragma once

#include "Connection.h"
#include "EngineError.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

struct sqlite3;

namespace quillbox::data {

namespace sqlite {
class Statement;
}
class Recordset;

inline constexpr int dbOpenDynaset = 2;

// What a record set needs to know of its table, read from the file when the connection opens.
struct TableInfo {
    QString name;        // as the file spells it
    QStringList columns; // every column, in the table's order
    int key = -1;        // index of the record number column ("Number"), or -1

    int indexOf(const QString& field) const; // -1 when there is no such field
};

// How a read that can be made again later went (readWithoutWaiting below).
enum class Attempt { Done, Busy, Unreadable };

// One connection to the database file. Record sets share it and keep it alive; nothing closes
// it explicitly, it goes when the last holder drops it.
//
// Every connection runs the rollback journal with synchronous=FULL, so that each committed
// change is on disk when its call returns. It waits for a file another connection is writing
// for as long as that writer gets on, and gives up (SQLITE_BUSY) once the file has stayed locked
// and unchanged for busyTimeoutMs. It holds no lock between calls.
class Database : public std::enable_shared_from_this<Database> {
public:
    static constexpr int busyTimeoutMs = BusyWait::timeoutMs;

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // A dynaset over a whole table; `type` must be dbOpenDynaset.
    std::unique_ptr<Recordset> OpenRecordset(const QString& table, int type = dbOpenDynaset);

    const QString& fileName() const { return fileName_; }
    sqlite3* handle() const { return db_; }

    // SQLite's counter of changes committed by other connections. Reading it starts a read
    // transaction, so it costs a lock round trip; inside an open one it is nearly free.
    std::int64_t dataVersion();

    // The file's own count of the transactions committed to it (the change counter in its
    // header), read without taking a lock. Every commit through the rollback journal moves it
    // on by one; a crashed writer's journal rolled back may set it back.
    std::uint32_t changeCounter() const;
    // Whether the file's name now leads to another file or to none: removed, or replaced by
    // renaming another file over it. A write through this connection would then fail.
    bool replaced() const;
    // The transactions committed through every connection this process opened with
    // OpenDatabase since it started.
    static std::uint64_t ownCommits();


    // A prepared statement kept for the life of the connection, keyed by its text.
    sqlite::Statement& cached(std::string_view sql);

    // Bumped by every write of this process, through any connection: a record set whose
    // cached records predate the current value reads them again.
    static std::uint64_t writeGeneration();
    static void bumpWriteGeneration();

private:
    friend std::shared_ptr<Database> OpenDatabase(const QString& name, Access access);
    friend Attempt readWithoutWaiting(Database* db, const std::function<void()>& read);
    Database(sqlite3* db, QString fileName);
    const TableInfo& table(const QString& name) const;
    void readSchema();

    sqlite3* db_;
    QString fileName_;
    std::vector<TableInfo> tables_;
    struct Cache;
    std::unique_ptr<Cache> cache_;
    std::unique_ptr<BusyWait> busy_;
};

// Runs `read`, which reads through `db` (or opens the file anew, `db` null), for a caller that can
// come back later: it gives up at once where another connection holds the file (Busy) rather than
// waiting, and where the file cannot be read as the program's database just now (Unreadable: cut
// short, not a database, its tables missing, as while another program is still copying a file
// over it). Whatever `read` got is then to be dropped. Any other failure goes on as an
// EngineError.
Attempt readWithoutWaiting(Database* db, const std::function<void()>& read);

// Opens the file, read-write unless asked otherwise; never creates it. A missing file, a folder,
// a file that is not a database, one without the program's tables and fields, and for writing
// one that cannot be written, is an EngineError. Read-only, nothing about the file is changed
// (a WAL-mode file stays so), and record sets over it must only be read.
std::shared_ptr<Database> OpenDatabase(const QString& name, Access access = Access::ReadWrite);

} // namespace quillbox::data
