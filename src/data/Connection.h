#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>

struct sqlite3;

namespace quillbox::data {

// The busy handler of every connection the program and its tool open. SQLite's own sleeps
// longer and longer between tries, up to 100 ms, and a process that writes again at once slips
// in ahead of it every time: one busy writer could keep another waiting past any fixed limit,
// which then failed although nothing was wrong. This one tries again after a short random pause
// and counts the limit from the file's last change, so a writer that gets on is waited for and
// only one stuck in a transaction is given up on.
class BusyWait {
public:
    static constexpr int timeoutMs = 10000;

    BusyWait(sqlite3* db, const QString& fileName);
    BusyWait(const BusyWait&) = delete;
    BusyWait& operator=(const BusyWait&) = delete;

    // Impatient, a busy file is given up on at once (SQLITE_BUSY): for reads that can come
    // again later, which must neither wait for a writer nor hold the user up.
    void setPatient(bool patient) { patient_ = patient; }

private:
    static int retry(void* self, int tries);
    int retry(int tries);

    QByteArray path_;
    std::int64_t mtimeNs_ = 0, size_ = -1, journalMtimeNs_ = 0;
    std::chrono::steady_clock::time_point deadline_;
    std::minstd_rand random_{std::random_device{}()};
    bool patient_ = true;
};

// Asked by the busy handler of every connection of this process before each wait at a busy
// file, `tries` being 0 at the first of a statement: true ends the wait at once, as the time
// limit would (SQLITE_BUSY). The tool answers with its interrupt flag; unset, waits go on.
using WaitHook = bool (*)(int tries);
void setWaitHook(WaitHook hook);

enum class Access { ReadOnly, ReadWrite };

// A plain connection to a database file for the tool's commands, which may meet files the
// program would refuse: no tables are demanded and nothing about the file is changed on
// opening. It never creates the file. It waits for busy files as the program's own connections
// do, and refuses schema tricks and untrusted SQL functions.
class Connection {
public:
    // EngineError with SQLite's code and message when the file cannot be opened.
    Connection(const QString& fileName, Access access);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }

    // Closes the connection now, EngineError when SQLite cannot.
    void close();

private:
    sqlite3* db_ = nullptr;
    std::unique_ptr<BusyWait> busy_;
};

} // namespace quillbox::data
