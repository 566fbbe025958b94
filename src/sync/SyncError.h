#pragma once

#include <QString>

#include <stdexcept>

namespace quillbox::sync {

// Why a sync stopped, worded for the user: "the server refused the user name or password".
// Raised before the file is written where the cause allows it (an unreachable server, a bad
// reply), so that a failed sync leaves the file as it was.
//
// The kind tells a timer what to do next, and becomes the tool's exit status:
//   Failed     anything else: an answer that makes no sense, a file the sync cannot use
//   TryLater   the server is out of reach, busy or too slow; another sync has the file
//   NeedsUser  a person must act: password refused, certificate, account not set up, a
//              deletion too large to make unasked
class SyncError : public std::runtime_error {
public:
    enum class Kind { Failed, TryLater, NeedsUser };

    explicit SyncError(const QString& message, Kind kind = Kind::Failed)
        : std::runtime_error(message.toStdString()), message_(message), kind_(kind) {}
    const QString& message() const noexcept { return message_; }
    Kind kind() const noexcept { return kind_; }

private:
    QString message_;
    Kind kind_;
};

} // namespace quillbox::sync
