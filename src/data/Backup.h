#pragma once

#include <functional>

namespace quillbox::data {

class Connection;

// Copies the database of `from` into `to` through SQLite's online backup, so that the copy is
// consistent even while another program writes the source: a busy source is waited for, up to
// three times the busy timeout, and a copy that a write overtakes starts again, and after a few such restarts the rest is
// copied in one step under one read lock. After every step
// that leaves pages to copy, `afterStep(done, total)` is told how far it has come in pages; it
// may throw to stop. Failures are EngineErrors with SQLite's code (error::busy() for a source
// kept busy too long).
void copyDatabase(Connection& from, Connection& to,
                  const std::function<void(int done, int total)>& afterStep = {});

} // namespace quillbox::data
