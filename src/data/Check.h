#pragma once

#include <QString>
#include <QStringList>

namespace quillbox::data {

// What check and import say of an e-mail address that carries URL parameters
// (text::carriesUrlParameters), which a mail program handed the address may act on (some attach a
// file that one names).
inline const QString urlParametersWarning =
    QStringLiteral("the e-mail address carries URL parameters (a '?' after the address), which a "
                   "mail program may act on");

struct CheckReport {
    QStringList problems; // each keeps the program from using the file
    QStringList warnings; // the program copes, but something is off
    bool busy = false;    // another program held the file locked, so it could not be judged
    bool usable() const { return problems.isEmpty(); }
};

// Checks a database file as the program will use it: SQLite's integrity check; the tables,
// fields and record numbering the data layer insists on; the settings record the login reads;
// and each contact the list loads. A Null name or a record number beyond 32 bits stops the
// program's list from loading, so those are problems. Texts longer than the program's boxes
// take, empty and repeated names, a missing name index and a used-up record numbering are
// warnings.
// `fileName` must name a file (the caller words a missing one); opening it is the first check.
// SQLite's integrity check is given up on after integrityCheckSeconds ("check gave up: ...", not
// damage): a sound file of millions of contacts needs a fraction of that, a file whose schema
// makes each row cost seconds would run for hours. Triggers, CHECK constraints and indexes on
// expressions or part of a table, on the program's tables, are problems: the program makes
// none, and each runs code of the file's own choosing whenever the program writes.
CheckReport checkFile(const QString& fileName);
inline constexpr int integrityCheckSeconds = 60;

// A writer that died mid-transaction leaves a hot journal beside the file, which only a
// connection that may write can roll back: a read-only one calls the file unreadable. Rolls it
// back, when there is one, by reading the schema through a read-write connection (which changes
// nothing else); a file it cannot open is left for the caller's own open to report.
void rollBackHotJournal(const QString& fileName);

// A read-only connection to a WAL-mode file makes the -wal and -shm files beside it and, unable
// to checkpoint, leaves them behind when it closes. Held for the length of a read-only look at a
// file, this takes away on its destruction the ones the look made: a connection that may write
// removes them as it closes, when no other has the file open (one that has owns them).
class NoWalFilesLeft {
public:
    explicit NoWalFilesLeft(QString fileName);
    ~NoWalFilesLeft();
    NoWalFilesLeft(const NoWalFilesLeft&) = delete;
    NoWalFilesLeft& operator=(const NoWalFilesLeft&) = delete;

private:
    bool anyThere() const;
    QString fileName_;
    bool there_;
};

} // namespace quillbox::data
