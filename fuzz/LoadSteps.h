#pragma once

#include <cstddef>
#include <cstdint>

namespace quillbox::fuzz {

// Writes `data` to a file named senha.scc in a folder of this process's own and runs on it what
// the login window's and the main window's load steps do with the file, through the data layer:
// the settings record's protection flag and password, then the main window's own load step
// (data::loadMainWindow). Returns when the load ends cleanly or in an EngineError; anything else (another
// exception, a crash, a sanitizer report) is a fault.
void runLoadSteps(const std::uint8_t* data, std::size_t size);

} // namespace quillbox::fuzz
