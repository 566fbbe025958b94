#include "Files.h"

#include "data/Database.h"
#include "data/EngineError.h"
#include "errors/UserError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "os/Posix.h"

namespace quillbox::tools {

bool occupied(const QString& fileName) {
    const QFileInfo info(fileName);
    return info.exists() || info.isSymLink();
}

QString shown(const QString& fileName) {
    return QStringLiteral("'%1'").arg(QDir::toNativeSeparators(fileName));
}

std::unique_ptr<QTemporaryFile> temporaryBeside(const QString& target) {
    const QFileInfo info(target);
    if (info.fileName().isEmpty())
        throw UserError(QStringLiteral("that is not a file name"));
    if (occupied(target))
        throw UserError(QStringLiteral("a file or folder of that name already exists "
                                       "(it is left as it is)"));
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        throw UserError(QStringLiteral("there is no folder %1").arg(shown(folder)));
    // QTemporaryFile makes its file readable and writable by the owner alone.
    auto temp = std::make_unique<QTemporaryFile>(
        QDir(folder).filePath(info.fileName() + QStringLiteral(".XXXXXX.part")));
    if (!temp->open())
        throw UserError(temp->errorString());
    return temp;
}

void placeWithoutReplacing(QTemporaryFile& temp, const QString& target) {
    // Unlike QFile::rename, this has no copy fallback that could write through a name that
    // turned up meanwhile.
    if (!temp.rename(target)) {
        if (occupied(target))
            throw UserError(QStringLiteral("a file or folder of that name appeared meanwhile "
                                           "(it is left as it is)"));
        throw UserError(temp.errorString());
    }
    temp.setAutoRemove(false);
    os::syncFolder(QFileInfo(target).absolutePath());
}

namespace {
QString notRegular(const QString& fileName) {
    return QStringLiteral("%1 is not a regular file").arg(shown(fileName));
}
} // namespace

QString whyNotARegularFile(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists())
        return QStringLiteral("there is no file %1").arg(shown(fileName));
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not a file").arg(shown(fileName));
    if (!info.isFile())
        return notRegular(fileName);
    return {};
}

QByteArray readWholeFile(const QString& fileName) {
    if (const QString why = whyNotARegularFile(fileName); !why.isEmpty())
        throw UserError(why);
    // Looked at again through the opened descriptor: the name may have been given to something
    // else meanwhile.
    const os::OpenedFile opened = os::openForReading(QFile::encodeName(fileName));
    if (opened.descriptor < 0)
        throw UserError(QStringLiteral("cannot read %1: %2").arg(shown(fileName), opened.error));
    constexpr qint64 largest = qint64{largestFileReadMiB} * 1024 * 1024;
    const auto tooLarge = [&] {
        return UserError(QStringLiteral("%1 is larger than %2 MiB, the most that is read")
                             .arg(shown(fileName))
                             .arg(largestFileReadMiB));
    };
    if (!opened.regular || opened.size > largest) {
        os::closeDescriptor(opened.descriptor);
        if (opened.regular)
            throw tooLarge();
        throw UserError(notRegular(fileName));
    }
    QFile file;
    if (!file.open(opened.descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        os::closeDescriptor(opened.descriptor);
        throw UserError(
            QStringLiteral("cannot read %1: %2").arg(shown(fileName), file.errorString()));
    }
    // The file may grow between the look at its size and the reading.
    QByteArray bytes = file.read(largest + 1);
    if (file.error() != QFileDevice::NoError)
        throw UserError(
            QStringLiteral("cannot read %1: %2").arg(shown(fileName), file.errorString()));
    if (bytes.size() > largest)
        throw tooLarge();
    return bytes;
}

QString inWords(const data::EngineError& e) {
    if (data::error::busy(e.number()))
        return QStringLiteral("another program kept it busy for longer than %1 seconds; try again")
            .arg(data::Database::busyTimeoutMs / 1000);
    if (data::error::notADatabase(e.number()))
        return QStringLiteral("it is not a database file");
    return e.description();
}

} // namespace quillbox::tools
