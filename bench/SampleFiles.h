#pragma once

#include <QString>

#include <cstdint>

namespace quillbox::bench {

// The sample file of `contacts` contacts in `folder` ("contacts-N.scc"), made with `tool`
// (quillbox-db, seed 1) when missing and kept for later runs, so that every benchmark times
// the same files. Throws data::EngineError when the tool fails.
QString sampleFile(const QString& folder, const QString& tool, std::int64_t contacts);

// The sample file as "senha.scc" in a folder of its own under `dataFolder` ("load-N"), which is
// returned: the program opens the file by that bare name. A hard link where the file system
// allows it, else a copy.
QString stage(const QString& dataFolder, const QString& sample, std::int64_t contacts);

} // namespace quillbox::bench
