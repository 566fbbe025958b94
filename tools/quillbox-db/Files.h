#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QTemporaryFile;

namespace quillbox::data {
class EngineError;
}

namespace quillbox::tools {

// A name is taken when anything answers to it, a dangling link included.
bool occupied(const QString& fileName);

// A new owner-only temporary file beside `target`, which must be a free name in an existing
// folder (UserError otherwise). The file removes itself unless placed.
std::unique_ptr<QTemporaryFile> temporaryBeside(const QString& target);

// Gives the temporary file the name `target`, never replacing anything that took that name
// meanwhile, and makes the new name durable.
void placeWithoutReplacing(QTemporaryFile& temp, const QString& target);

// The most readWholeFile reads: far beyond any address book, and small enough to hold in memory.
inline constexpr int largestFileReadMiB = 256;

// Why `fileName` is not to be opened as a file, or an empty text when it names a regular one (or
// a link to one). Opening a FIFO waits for a writer for ever, and a device may be read for ever.
QString whyNotARegularFile(const QString& fileName);

// The whole of a regular file no larger than largestFileReadMiB, or a UserError that says why not.
QByteArray readWholeFile(const QString& fileName);

// A path as the user should see it in a message: quoted, in the platform's separators.
QString shown(const QString& fileName);

// A failure of a database file in the user's words, the same for every command; the caller
// names the file and what was being done: "cannot copy 'a.scc': it is not a database file".
QString inWords(const data::EngineError& e);

} // namespace quillbox::tools
