#pragma once

#include "sync/SyncEngine.h"

#include <QString>
#include <QTextStream>

namespace quillbox::tools {

// `quillbox-db sync`: finds the password, runs one sync of `file` and tells on `out` what it
// did on each side. True when both sides agree at the end. A fault is a SyncError or an
// EngineError, before anything is written where the fault allows.
bool syncFile(const QString& file, sync::SyncSettings settings, QTextStream& out);

} // namespace quillbox::tools
