#pragma once

#include <QString>

#include <optional>

namespace quillbox::os {

// Asks for a secret on the terminal: `prompt` on stderr, one line read from stdin without
// echo. Nothing when stdin is not a terminal (a script, a timer), or it ends first.
std::optional<QString> askSecret(const QString& prompt);

} // namespace quillbox::os
