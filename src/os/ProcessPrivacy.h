#pragma once

namespace quillbox::os {

// Keeps the typed password and the contacts in our memory out of reach of other processes of
// the same user and out of core files: the process is marked not dumpable, so a crash writes
// no core into the data folder and no debugger or /proc/<pid>/mem reader may attach. Returns
// whether it took effect.
bool keepMemoryPrivate();

} // namespace quillbox::os
