#pragma once

#include "errors/UserError.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace quillbox::tools {

struct NewDatabase {
    QString fileName;
    std::int64_t contacts = 0;
    std::uint64_t seed = 1;
    // Polled while the contacts are written; true abandons the file.
    std::function<bool()> interrupted = [] { return false; };
};

// Writes a new database file with the program's tables, its settings record and the asked
// number of generated contacts. The file appears complete and on disk, or not at all: an
// existing file or folder of that name is never touched, and nothing is left behind on failure.
void createDatabase(const NewDatabase& options);

} // namespace quillbox::tools
