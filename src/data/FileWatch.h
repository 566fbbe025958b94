#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>

namespace quillbox::data {

class Database;

// Tells the holder of a connection when the database file has taken a commit that this process
// did not make (another copy of the program, the sync, an import), or has been replaced.
//
// It costs nothing while the file rests: the file system reports changes to the file and its
// folder (where the rollback journal comes and goes with each write), and only then is the
// file's change counter read, four bytes and no lock. The commits this process made itself are
// counted as they happen and set against the counter, so the program's own writes raise
// nothing. Bursts of notices (every page of a large commit) come out as one `noticed`, after
// the event loop has run the rest.
class FileWatch : public QObject {
    Q_OBJECT

public:
    // Where the file stood when last caught up with: its counter and this process's commits.
    struct Mark {
        std::uint32_t counter = 0;
        std::uint64_t own = 0;
    };

    // Watches the file `db` is open on, counting what it holds now as seen.
    explicit FileWatch(std::shared_ptr<Database> db, QObject* parent = nullptr);
    ~FileWatch() override;

    // The connection to watch through from now on (after the file was opened anew); what the
    // file holds now counts as seen.
    void watch(std::shared_ptr<Database> db);

    // Whether the file has taken commits other than this process's since the last seen().
    bool othersCommitted() const;
    // The file's name leads to another file, or to none (see Database::replaced).
    bool replaced() const;

    // Taken before reading the file, then handed to seen() once the read has succeeded: a
    // commit that lands between the two is reported again rather than lost.
    Mark mark() const;
    static Mark markOf(const Database& db);
    void seen(const Mark& mark) { seen_ = mark; }

signals:
    // Something happened to the file or its folder: a commit, or only noise. Ask the two
    // questions above.
    void noticed();

private:
    void onNotice();

    std::shared_ptr<Database> db_;
    QFileSystemWatcher watcher_;
    QTimer coalesce_;
    QString path_;
    Mark seen_;
};

} // namespace quillbox::data
