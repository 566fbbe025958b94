#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QTemporaryFile;

namespace quillbox::tools {

// A name is taken when anything answers to it, a dangling link included.
bool occupied(const QString& fileName);

// A new owner-only temporary file beside `target`, which must be a free name in an existing
// folder (ToolError otherwise). The file removes itself unless placed.
std::unique_ptr<QTemporaryFile> temporaryBeside(const QString& target);

// Gives the temporary file the name `target`, never replacing anything that took that name
// meanwhile, and makes the new name durable.
void placeWithoutReplacing(QTemporaryFile& temp, const QString& target);

// The whole file, or a ToolError that says why not.
QByteArray readWholeFile(const QString& fileName);

// A path as the user should see it in a message: quoted, in the platform's separators.
QString shown(const QString& fileName);

} // namespace quillbox::tools
