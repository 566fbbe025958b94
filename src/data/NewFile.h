#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace quillbox::data {

// Writes into `emptyFile`, which must exist and be empty (it is never created here), the
// program's tables, its settings record and `contacts` generated contacts (SampleContacts from
// `seed`), in one transaction that is on disk when this returns. The file is left a plain
// rollback-journal database. `beforeBatch(done)` is called before every 4096th contact; it may
// throw to abandon the work. Failures of SQLite are EngineErrors with its code and message.
void fillNewFile(const QString& emptyFile, std::int64_t contacts, std::uint64_t seed,
                 const std::function<void(std::int64_t done)>& beforeBatch = {});

} // namespace quillbox::data
