#pragma once

#include <QString>

#include <stdexcept>

namespace quillbox::exchange {

// Why a file of cards or a table could not be read, worded for the user and naming the line
// where it can: "line 12: the card has no END:VCARD".
class FormatError : public std::runtime_error {
public:
    explicit FormatError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

} // namespace quillbox::exchange
