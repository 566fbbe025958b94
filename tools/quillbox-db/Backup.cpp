#include "Backup.h"

#include "Files.h"
#include "Progress.h"
#include "data/Backup.h"
#include "data/Check.h"
#include "data/Connection.h"
#include "data/EngineError.h"
#include "errors/UserError.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <memory>
#include <optional>

namespace quillbox::tools {

namespace {

void copy(const QString& source, const QString& target, const std::function<bool()>& interrupted) {
    const QFileInfo info(source);
    if (!info.exists())
        throw UserError(QStringLiteral("there is no file %1").arg(shown(source)));
    if (!info.isFile())
        throw UserError(
            QStringLiteral("%1 is a folder or device, not a database file").arg(shown(source)));

    const std::unique_ptr<QTemporaryFile> temp = temporaryBeside(target);
    const QString tempName = temp->fileName();
    struct JournalLeftover {
        QString name;
        ~JournalLeftover() { QFile::remove(name); }
    } journal{tempName + QStringLiteral("-journal")};

    const data::NoWalFilesLeft tidy(source);
    data::rollBackHotJournal(source);
    {
        std::optional<data::Connection> from, to;
        try {
            from.emplace(source, data::Access::ReadOnly);
        } catch (const data::EngineError& e) {
            throw UserError(QStringLiteral("cannot open %1: %2").arg(shown(source), inWords(e)));
        }
        try {
            to.emplace(tempName, data::Access::ReadWrite);
        } catch (const data::EngineError& e) {
            throw UserError(inWords(e));
        }
        Progress progress(QStringLiteral("copying"), 0);
        try {
            data::copyDatabase(*from, *to, [&](int done, int total) {
                if (interrupted && interrupted())
                    throw UserError(QStringLiteral("interrupted"));
                progress.setTotal(total);
                progress.update(done);
            });
        } catch (const data::EngineError& e) {
            throw UserError(QStringLiteral("cannot copy %1: %2").arg(shown(source), inWords(e)));
        }
    }

    // The copy's connection wrote it with synchronous=FULL, so its contents are on disk.
    temp->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    placeWithoutReplacing(*temp, target);
}

} // namespace

void backupDatabase(const QString& source, const QString& target,
                    const std::function<bool()>& interrupted) {
    try {
        copy(source, target, interrupted);
    } catch (const UserError& e) {
        throw e.within(QStringLiteral("cannot back up to %1").arg(shown(target)));
    }
}

} // namespace quillbox::tools
