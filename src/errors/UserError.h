#pragma once

#include <QString>

#include <stdexcept>

namespace quillbox {

// Why a piece of work could not be done, worded for the person who asked for it: "line 12: the
// card has no END:VCARD", "the server refused the user name or password". Each layer that knows
// more about the work adds it in front on the way up (`within`), so that the message reads from
// the work down to the cause: "cannot import 'a.vcf': line 12: the card has no END:VCARD".
//
// The kind tells the caller what may come next, and becomes the tool's exit status:
//   Failed      anything else: an answer that makes no sense, a file that cannot be used
//   TryLater    the server is out of reach, busy or too slow; another sync has the file
//   NeedsUser   a person must act: password refused, certificate, account not set up, a
//               deletion too large to make unasked
//   Unreadable  a card, a table or a text file that does not read; the work around it may go
//               on without it
class UserError : public std::runtime_error {
public:
    enum class Kind { Failed, TryLater, NeedsUser, Unreadable };

    explicit UserError(const QString& message, Kind kind = Kind::Failed)
        : std::runtime_error(message.toStdString()), message_(message), kind_(kind) {}
    static UserError unreadable(const QString& message) {
        return UserError(message, Kind::Unreadable);
    }

    const QString& message() const noexcept { return message_; }
    Kind kind() const noexcept { return kind_; }

    // This error with `context` in front, "context: message", of the same kind.
    UserError within(const QString& context) const {
        return UserError(context + QStringLiteral(": ") + message_, kind_);
    }

private:
    QString message_;
    Kind kind_;
};

} // namespace quillbox
