#include "EngineError.h"

namespace quillbox::data {

EngineError::EngineError(int number, const QString& description)
    : std::runtime_error(QStringLiteral("error %1: %2").arg(number).arg(description).toStdString()),
      number_(number), description_(description) {}

} // namespace quillbox::data
