#include "shell/DesktopMail.h"

#include "shell/MailRequest.h"

#include <QtGlobal>

#include <utility>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#else
#include <QDir>
#include <QProcess>

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quillbox::shell {

#ifndef Q_OS_WIN
namespace {

// QProcess::startDetached (Qt 6.4) closes nothing in the child: every descriptor not marked
// close-on-exec reaches the opener and the mail program it starts, which may outlive us. The
// program never replaces itself with exec, so marking all of ours costs it nothing.
void keepDescriptorsFromChildren() {
#ifdef CLOSE_RANGE_CLOEXEC
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
#endif
    DIR* dir = ::opendir("/dev/fd");
    if (!dir)
        return;
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd <= 2 || fd == own)
            continue;
        const int flags = ::fcntl(static_cast<int>(fd), F_GETFD);
        if (flags != -1 && !(flags & FD_CLOEXEC))
            ::fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
    }
    ::closedir(dir);
}

// Not our working folder: that one holds the database, and an opener or mail program living on
// after us would keep it busy (no unmounting the stick it is on) and could leave files in it.
// A folder that cannot be entered would make the start fail, hence the root as a last resort.
QString workingFolder() {
    const QDir home = QDir::home();
    return home.exists() ? home.absolutePath() : QDir::rootPath();
}

} // namespace
#endif

QString DesktopMail::defaultOpener() {
#if defined(Q_OS_WIN)
    return {};
#elif defined(Q_OS_MACOS)
    return QStringLiteral("/usr/bin/open");
#else
    return QStringLiteral("xdg-open");
#endif
}

DesktopMail::DesktopMail(QString opener) : opener_(std::move(opener)) {}

void DesktopMail::open(const QString& text) {
    const QString request = withoutAttachments(text);
#ifdef Q_OS_WIN
    ::ShellExecuteW(nullptr, nullptr, reinterpret_cast<LPCWSTR>(request.utf16()), nullptr, nullptr,
                    SW_SHOWNORMAL);
#else
    keepDescriptorsFromChildren();
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
#endif
}

} // namespace quillbox::shell
