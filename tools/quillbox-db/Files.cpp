#include "Files.h"

#include "ToolError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "platform/Posix.h"

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
        throw ToolError(QStringLiteral("that is not a file name"));
    if (occupied(target))
        throw ToolError(QStringLiteral("a file or folder of that name already exists "
                                       "(it is left as it is)"));
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        throw ToolError(QStringLiteral("there is no folder %1").arg(shown(folder)));
    // QTemporaryFile makes its file readable and writable by the owner alone.
    auto temp = std::make_unique<QTemporaryFile>(
        QDir(folder).filePath(info.fileName() + QStringLiteral(".XXXXXX.part")));
    if (!temp->open())
        throw ToolError(temp->errorString());
    return temp;
}

void placeWithoutReplacing(QTemporaryFile& temp, const QString& target) {
    // Unlike QFile::rename, this has no copy fallback that could write through a name that
    // turned up meanwhile.
    if (!temp.rename(target)) {
        if (occupied(target))
            throw ToolError(QStringLiteral("a file or folder of that name appeared meanwhile "
                                           "(it is left as it is)"));
        throw ToolError(temp.errorString());
    }
    temp.setAutoRemove(false);
    platform::syncFolder(QFileInfo(target).absolutePath());
}

QByteArray readWholeFile(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists())
        throw ToolError(QStringLiteral("there is no file %1").arg(shown(fileName)));
    if (info.isDir())
        throw ToolError(QStringLiteral("%1 is a folder, not a file").arg(shown(fileName)));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ToolError(
            QStringLiteral("cannot read %1: %2").arg(shown(fileName), file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ToolError(
            QStringLiteral("cannot read %1: %2").arg(shown(fileName), file.errorString()));
    return bytes;
}

} // namespace quillbox::tools
