#pragma once

#include <QString>

#include <functional>

namespace quillbox::tools {

// Copies the database file `source` to the new file `target` through SQLite's online backup,
// so that the copy is consistent even while the program, or anything else, writes the source:
// a busy source is waited for, and a copy that a write overtakes starts again. The copy is made
// beside `target`, owner-only (0600), and moved into place whole; an existing file or folder of
// that name is never touched. UserError on failure, with nothing left behind.
void backupDatabase(const QString& source, const QString& target,
                    const std::function<bool()>& interrupted = {});

} // namespace quillbox::tools
