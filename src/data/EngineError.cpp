#include "EngineError.h"

#include <sqlite3.h>

namespace quillbox::data {

EngineError::EngineError(int number, const QString& description)
    : std::runtime_error(QStringLiteral("error %1: %2").arg(number).arg(description).toStdString()),
      number_(number), description_(description) {}

bool error::busy(int number) {
    return (number & 0xff) == SQLITE_BUSY || (number & 0xff) == SQLITE_LOCKED;
}

bool error::valueRefused(int number) {
    return (number & 0xff) == SQLITE_TOOBIG || (number & 0xff) == SQLITE_CONSTRAINT;
}

bool error::notADatabase(int number) {
    return (number & 0xff) == SQLITE_NOTADB;
}

} // namespace quillbox::data
