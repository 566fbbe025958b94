#include "NewDatabase.h"

#include "Files.h"
#include "Progress.h"
#include "data/EngineError.h"
#include "data/NewFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <memory>

namespace quillbox::tools {

namespace {

void create(const NewDatabase& options) {
    // Built beside the target and moved into place at the end, so that the name never shows a
    // half-made file. The temporary file removes itself on every way out but success.
    const std::unique_ptr<QTemporaryFile> temp = temporaryBeside(options.fileName);
    const QString tempName = temp->fileName();
    struct JournalLeftover {
        QString name;
        ~JournalLeftover() { QFile::remove(name); }
    } journal{tempName + QStringLiteral("-journal")};

    Progress progress(QStringLiteral("creating"), options.contacts);
    try {
        data::fillNewFile(tempName, options.contacts, options.seed,
                          [&options, &progress](std::int64_t done) {
                              if (options.interrupted())
                                  throw UserError(QStringLiteral("interrupted"));
                              progress.update(done);
                          });
    } catch (const data::EngineError& e) {
        throw UserError(inWords(e));
    }

    placeWithoutReplacing(*temp, options.fileName);
}

} // namespace

void createDatabase(const NewDatabase& options) {
    try {
        create(options);
    } catch (const UserError& e) {
        throw e.within(
            QStringLiteral("cannot create '%1'").arg(QDir::toNativeSeparators(options.fileName)));
    }
}

} // namespace quillbox::tools
