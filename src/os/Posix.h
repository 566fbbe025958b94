#pragma once

// The few calls of the operating system (POSIX) that Qt does not offer, each behind one small
// function. Qt Core only, so that the data layer and the tool can use them without widgets.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace quillbox::os {

// When a file last changed, in nanoseconds, and its size; zero and -1 when there is no such file.
struct FileStamp {
    std::int64_t changedNs = 0;
    std::int64_t size = -1;
};
FileStamp fileStamp(const QByteArray& path);

// A monotonic clock in milliseconds that costs a few nanoseconds to read, for checks made per
// field; it may lag a few milliseconds behind.
std::int64_t coarseClockMs();

// Whether this process, by its effective user, may make files in `folder`.
bool mayCreateFilesIn(const QString& folder);
// Whether this process, by its effective user, may write to `file`.
bool mayWrite(const QString& file);

// A file opened for reading without waiting (an ordinary open of a FIFO with no writer blocks for
// ever), with what the opened descriptor itself says it is, so that the answer is about the file
// that will be read. The descriptor is -1 when the file cannot be opened, and `error` says why.
struct OpenedFile {
    int descriptor = -1;
    bool regular = false;
    std::int64_t size = 0;
    QString error;
};
OpenedFile openForReading(const QByteArray& path);
void closeDescriptor(int descriptor);

// Puts an open file's contents on disk. False when the system cannot.
bool syncFile(int descriptor);

// Makes a rename in `folder` durable; the file's own contents must already be on disk.
void syncFolder(const QString& folder);

// Marks every descriptor above standard error close-on-exec, so that no child started after this
// inherits it. The program never replaces itself with exec, so this costs it nothing.
void keepDescriptorsFromChildren();

// Whether standard error is a terminal.
bool stderrIsTerminal();

} // namespace quillbox::os
