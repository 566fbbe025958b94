#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quillbox::sync {

// Where and as whom a contacts file syncs: the user's own choice, kept in the user's
// configuration and never in the file, which may come from anyone. The password is never kept.
struct Account {
    QString url, user;
    QString passwordCommand; // as typed; split by splitCommand() when it runs
    QString book;            // the address book's path on the server, once found
    QString caFile;          // an absolute path, or empty
    QString key;             // random, made with the entry: ties the file's state to it

    friend bool operator==(const Account&, const Account&) = default;
};

// The accounts of one user, in `folder`/sync-accounts.json (by default
// $XDG_CONFIG_HOME/quillbox, else ~/.config/quillbox), one per data file, keyed by the file's
// canonical path. The folder is made 0700 and the file 0600, written whole or not at all.
// A file others may write, or one of another owner, is refused: its command would run.
class Accounts {
public:
    explicit Accounts(QString folder = defaultFolder());
    static QString defaultFolder();

    // A UserError when the accounts file cannot be read or is not ours.
    std::optional<Account> find(const QString& canonicalPath) const;
    // A UserError when the file cannot be written.
    void save(const QString& canonicalPath, const Account& account) const;

    QString fileName() const;
    const QString& folder() const { return folder_; }

private:
    QString folder_;
};

// At most one sync of a data file at a time: an exclusive flock on a file in the accounts'
// folder named after the data file's canonical path. It blocks nothing else (not the program,
// not other writers of the database) and ends with the process, however it ends.
class SyncLock {
public:
    SyncLock(const Accounts& accounts, const QString& canonicalPath);
    ~SyncLock();
    SyncLock(const SyncLock&) = delete;
    SyncLock& operator=(const SyncLock&) = delete;

    // False when another sync of the file holds it.
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A command line split into words as a POSIX shell splits them: blanks separate; '...' keeps
// everything; "..." keeps everything but \" \\ \$ \` (and drops backslash-newline); a backslash
// outside quotes keeps the next character. Nothing is expanded. A UserError on an unclosed
// quote or a trailing backslash.
QStringList splitCommand(const QString& command);

} // namespace quillbox::sync
