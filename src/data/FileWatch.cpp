#include "FileWatch.h"

#include "Database.h"

#include <QFileInfo>

namespace quillbox::data {

FileWatch::FileWatch(std::shared_ptr<Database> db, QObject* parent) : QObject(parent) {
    coalesce_.setSingleShot(true);
    coalesce_.setInterval(0);
    connect(&coalesce_, &QTimer::timeout, this, &FileWatch::noticed);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileWatch::onNotice);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FileWatch::onNotice);
    watch(std::move(db));
}

FileWatch::~FileWatch() = default;

void FileWatch::watch(std::shared_ptr<Database> db) {
    db_ = std::move(db);
    const QFileInfo file(db_->fileName());
    path_ = file.absoluteFilePath();
    if (!watcher_.files().isEmpty())
        watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    watcher_.addPath(path_);
    watcher_.addPath(file.absolutePath());
    seen_ = mark();
}

void FileWatch::onNotice() {
    // A file renamed over ours, or ours removed and made again, drops it from the watch; the
    // folder's notice brings it back under watch.
    if (!watcher_.files().contains(path_) && QFileInfo::exists(path_))
        watcher_.addPath(path_);
    coalesce_.start();
}

FileWatch::Mark FileWatch::mark() const { return markOf(*db_); }

FileWatch::Mark FileWatch::markOf(const Database& db) {
    return {db.changeCounter(), Database::ownCommits()};
}

bool FileWatch::othersCommitted() const {
    const Mark now = mark();
    // Our own commits each moved the counter on by one; anything else, forwards or back, is
    // someone else's doing.
    return now.counter != static_cast<std::uint32_t>(seen_.counter + (now.own - seen_.own));
}

bool FileWatch::replaced() const {
    return db_->replaced();
}

} // namespace quillbox::data
