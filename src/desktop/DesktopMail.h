#pragma once

#include "desktop/MailHandOver.h"

#include <QString>

namespace quillbox::desktop {

// The desktop's URL opener: a program started detached with the request as its one argument,
// never through a command shell.
class DesktopMail : public MailHandOver {
public:
    // "xdg-open", looked up in PATH.
    static QString defaultOpener();

    explicit DesktopMail(QString opener = defaultOpener());

    // Hands over the request without its attach parameters (withoutAttachments). Returns as
    // soon as the opener has been started, or has failed to start; a failure is
    // ignored. The opener runs in the user's home folder with its standard input, output and
    // error on the null device, and gets no file descriptor of ours beyond those three.
    void open(const QString& request) override;

private:
    QString opener_;
};

} // namespace quillbox::desktop
