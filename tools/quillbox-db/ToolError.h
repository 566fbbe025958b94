#pragma once

#include <QString>

#include <stdexcept>

namespace quillbox::tools {

// Why a command could not do its work, worded for the user. The tool prints it after its own
// name and ends with a failure status.
class ToolError : public std::runtime_error {
public:
    explicit ToolError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

} // namespace quillbox::tools
