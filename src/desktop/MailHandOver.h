#pragma once

#include <QString>

namespace quillbox::desktop {

// Starts a new e-mail in whatever mail program the desktop has. The request is the whole text,
// "mailto:" and what follows, built by the caller. Fire and forget: nothing comes back, not even
// whether a mail program was found.
class MailHandOver {
public:
    virtual ~MailHandOver() = default;
    virtual void open(const QString& request) = 0;
};

} // namespace quillbox::desktop
