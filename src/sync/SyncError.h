#pragma once

#include <QString>

#include <stdexcept>

namespace quillbox::sync {

// Why a sync stopped, worded for the user: "the server refused the user name or password".
// Raised before the file is written where the cause allows it (an unreachable server, a bad
// reply), so that a failed sync leaves the file as it was.
class SyncError : public std::runtime_error {
public:
    explicit SyncError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

} // namespace quillbox::sync
