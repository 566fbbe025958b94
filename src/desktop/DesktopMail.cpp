#include "desktop/DesktopMail.h"

#include "desktop/MailRequest.h"
#include "os/Posix.h"

#include <QDir>
#include <QProcess>

#include <utility>

namespace quillbox::desktop {

namespace {

// Not our working folder: that one holds the database, and an opener or mail program living on
// after us would keep it busy (no unmounting the stick it is on) and could leave files in it.
// A folder that cannot be entered would make the start fail, hence the root as a last resort.
QString workingFolder() {
    const QDir home = QDir::home();
    return home.exists() ? home.absolutePath() : QDir::rootPath();
}

} // namespace

QString DesktopMail::defaultOpener() {
    return QStringLiteral("xdg-open");
}

DesktopMail::DesktopMail(QString opener) : opener_(std::move(opener)) {}

void DesktopMail::open(const QString& text) {
    const QString request = withoutAttachments(text);
    // QProcess::startDetached (Qt 6.4) closes nothing in the child: every descriptor not marked
    // close-on-exec would reach the opener and the mail program it starts, which may outlive us.
    os::keepDescriptorsFromChildren();
    QProcess opener;
    opener.setProgram(opener_);
    opener.setArguments({request});
    // Its chatter ("no method available for opening ...") is not the user's business, would
    // interleave with our own error lines, and a long-lived mail program holding our output
    // pipe would keep whoever reads it waiting after we have ended.
    opener.setStandardInputFile(QProcess::nullDevice());
    opener.setStandardOutputFile(QProcess::nullDevice());
    opener.setStandardErrorFile(QProcess::nullDevice());
    opener.setWorkingDirectory(workingFolder());
    // No opener, or one that cannot start: nothing is said and nothing else changes.
    opener.startDetached();
}

} // namespace quillbox::desktop
