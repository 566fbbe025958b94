#include "os/Posix.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace quillbox::os {

FileStamp fileStamp(const QByteArray& path) {
    struct stat s = {};
    if (::stat(path.constData(), &s) != 0)
        return {};
    return {s.st_mtim.tv_sec * 1'000'000'000LL + s.st_mtim.tv_nsec, s.st_size};
}

std::int64_t coarseClockMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return std::int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1000000;
}

bool mayCreateFilesIn(const QString& folder) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK,
                       AT_EACCESS) == 0;
}

bool mayWrite(const QString& file) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(file).constData(), W_OK, AT_EACCESS) == 0;
}

OpenedFile openForReading(const QByteArray& path) {
    OpenedFile opened;
    opened.descriptor = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat s = {};
    if (opened.descriptor < 0 || ::fstat(opened.descriptor, &s) != 0) {
        opened.error = qt_error_string(errno);
        closeDescriptor(opened.descriptor);
        opened.descriptor = -1;
        return opened;
    }
    opened.regular = S_ISREG(s.st_mode);
    opened.size = s.st_size;
    return opened;
}

void closeDescriptor(int descriptor) {
    if (descriptor >= 0)
        ::close(descriptor);
}

bool syncFile(int descriptor) {
    return ::fsync(descriptor) == 0;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

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

bool stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace quillbox::os
