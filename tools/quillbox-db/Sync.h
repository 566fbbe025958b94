#pragma once

#include <QString>
#include <QTextStream>

namespace quillbox::tools {

// What `quillbox-db sync` was told; empty texts keep what the user's account remembers.
struct SyncOptions {
    QString url, user, passwordCommand, addressBook, caFile;
    bool allowDeletions = false;
    bool quiet = false; // counts only: no contact's name or text
};

enum class SyncOutcome {
    Agreed,         // both sides hold the same contacts
    NotAllSynced,   // some cards could not be synced; the next run tries them again
    AnotherRunning, // another sync of the file holds it
    FileBusy,       // another program held the file locked while it was checked
};

// `quillbox-db sync`: checks the file as import does, takes the file's sync lock, takes the
// account from the user's configuration (and remembers what the options change), finds the
// password, runs one sync and tells on `out` what it did on each side. A fault is a UserError
// (its kind says what the caller should do next) or an EngineError, before anything is written
// where the fault allows. Nothing in the file chooses a command to run or a host to contact.
SyncOutcome syncFile(const QString& file, const SyncOptions& options, QTextStream& out);

} // namespace quillbox::tools
