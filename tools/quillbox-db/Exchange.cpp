#include "Exchange.h"

#include "Files.h"
#include "Progress.h"
#include "contact/Contact.h"
#include "data/Check.h"
#include "data/Contacts.h"
#include "data/Database.h"
#include "data/EngineError.h"
#include "data/ListOrder.h"
#include "errors/UserError.h"
#include "exchange/CsvReader.h"
#include "exchange/VCardReader.h"
#include "exchange/Writers.h"
#include "os/Posix.h"
#include "text/UrlParameters.h"

#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QTemporaryFile>

#include <limits>
#include <memory>

namespace quillbox::tools {

namespace {

using namespace exchange;

std::shared_ptr<data::Database> open(const QString& databaseFile,
                                     data::Access access = data::Access::ReadWrite) {
    try {
        return data::OpenDatabase(databaseFile, access);
    } catch (const data::EngineError& e) {
        throw UserError(inWords(e));
    }
}

// A failure of the database file after opening, in the user's words: `importing` tells an
// import, which writes, from an export, which only reads.
[[noreturn]] void databaseFailed(const data::EngineError& e, bool importing) {
    throw UserError(QStringLiteral("the database file could not be %1: %2")
                        .arg(importing ? u"written" : u"read", inWords(e)));
}

QString who(const Person& p) {
    if (!p.name.isEmpty())
        return QStringLiteral("%1, \"%2\"").arg(p.where, p.name);
    const QString hint = !p.email.isEmpty() ? p.email : p.phone;
    return hint.isEmpty() ? p.where : QStringLiteral("%1 (%2)").arg(p.where, hint);
}

void writeChunk(QIODevice& out, QByteArray& chunk) {
    if (out.write(chunk) != chunk.size())
        throw UserError(
            QStringLiteral("the contacts could not be written: %1").arg(out.errorString()));
    chunk.clear();
}

ImportReport storePeople(data::Database& db, const std::vector<Person>& people,
                         const Interrupted& interrupted, const ProgressReport& progress) {
    ImportReport report;
    data::ContactBatch batch(db);
    QHash<QString, QString> taken; // name -> where it came from
    taken.reserve(static_cast<qsizetype>(people.size()));
    const auto stopIfInterrupted = [&interrupted] {
        if (interrupted && interrupted())
            throw UserError(QStringLiteral("interrupted; nothing was imported"));
    };
    std::int64_t done = 0;
    for (const Person& original : people) {
        stopIfInterrupted();
        if (progress && (++done & 0x3ff) == 0)
            progress(done, static_cast<qint64>(people.size()));
        if (original.name.isEmpty()) {
            report.skipped << QStringLiteral("%1: it has no name").arg(who(original));
            continue;
        }
        Person p = original;
        QStringList cuts;
        for (const contact::Field& field : contact::fields) {
            QString& text = p.*field.text;
            const qsizetype before = text.size();
            if (cutToLimit(text, field.limit))
                cuts << QStringLiteral("the %1, from %2 to %3 characters")
                            .arg(QLatin1String(field.label))
                            .arg(before)
                            .arg(text.size());
        }

        if (const auto earlier = taken.constFind(p.name); earlier != taken.cend()) {
            report.skipped
                << QStringLiteral("%1: the same name came before, in the %2").arg(who(p), *earlier);
            continue;
        }
        const QByteArray name = p.name.toUtf8();
        if (batch.nameStored(name)) {
            report.skipped
                << QStringLiteral("%1: a contact of that name is already in the file").arg(who(p));
            continue;
        }
        batch.add(name, p.email.toUtf8(), p.phone.toUtf8(), p.address.toUtf8());
        taken.insert(p.name, p.where);
        for (const QString& c : cuts)
            report.cut << QStringLiteral("%1: %2").arg(who(p), c);
        if (text::carriesUrlParameters(p.email))
            report.warnings << QStringLiteral("%1: %2").arg(who(p), data::urlParametersWarning);
        ++report.taken;
    }
    // The program reads record numbers as 32-bit numbers.
    if (report.taken > 0 && batch.lastNumber() > std::numeric_limits<std::int32_t>::max())
        throw UserError(QStringLiteral("the file has no record numbers left that the program can "
                                       "use for %1 more contacts; nothing was imported")
                            .arg(report.taken));
    // The last moment an interrupt can keep the file as it was.
    stopIfInterrupted();
    batch.commit();
    return report;
}

} // namespace

FileFormat formatFromName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
        return FileFormat::VCard;
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("tsv") ||
        suffix == QLatin1String("tab") || suffix == QLatin1String("txt"))
        return FileFormat::Csv;
    throw UserError(QStringLiteral("its name does not say whether it holds vCards or a table; "
                                   "name it .vcf or .csv, or say --format vcard|csv"));
}

std::vector<Person> readPeople(const QByteArray& contents, FileFormat format,
                               const ProgressReport& progress) {
    return format == FileFormat::VCard ? exchange::readVCards(contents, progress)
                                       : exchange::readCsv(contents, progress);
}

ImportReport storePeople(const QString& databaseFile, const std::vector<Person>& people,
                         const Interrupted& interrupted, const ProgressReport& progress) {
    const std::shared_ptr<data::Database> db = open(databaseFile);
    try {
        return storePeople(*db, people, interrupted, progress);
    } catch (const data::EngineError& e) {
        // An interrupt ends a wait for a busy file as a failure.
        if (interrupted && interrupted())
            throw UserError(QStringLiteral("interrupted; nothing was imported"));
        databaseFailed(e, true);
    }
}

std::vector<Person> contactsInListOrder(const QString& databaseFile) {
    // Export only reads; a writer's leftover journal is rolled back as the program would, which
    // is the one moment write access is needed, and then only when there is one.
    const data::NoWalFilesLeft tidy(databaseFile);
    data::rollBackHotJournal(databaseFile);
    const std::shared_ptr<data::Database> db = open(databaseFile, data::Access::ReadOnly);
    std::vector<Person> contacts;
    try {
        for (data::StoredContact& c : data::readAllContacts(*db))
            contacts.push_back({std::move(c.fields), QString()});
    } catch (const data::EngineError& e) {
        databaseFailed(e, false);
    }
    const std::vector<size_t> order = data::listOrder(
        contacts.size(), [&contacts](size_t i) -> const QString& { return contacts[i].name; });
    std::vector<Person> sorted;
    sorted.reserve(contacts.size());
    for (const size_t i : order)
        sorted.push_back(std::move(contacts[i]));
    return sorted;
}

void writeContacts(const std::vector<Person>& contacts, ExportFormat format, QIODevice& out,
                   const Interrupted& interrupted) {
    Progress progress(QStringLiteral("exporting"), static_cast<std::int64_t>(contacts.size()));
    QByteArray chunk;
    chunk.reserve(1 << 20);
    if (format == ExportFormat::Csv)
        appendCsvHeader(chunk);
    std::int64_t done = 0;
    for (const Person& c : contacts) {
        progress.advance(++done);
        if ((done & 0xfff) == 0 && interrupted && interrupted())
            throw UserError(QStringLiteral("interrupted"));
        if (format == ExportFormat::Csv)
            appendCsvRow(chunk, c);
        else
            appendVCard(chunk, c,
                        format == ExportFormat::VCard30 ? VCardVersion::V30 : VCardVersion::V40);
        if (chunk.size() > (1 << 20) - 4096)
            writeChunk(out, chunk);
    }
    writeChunk(out, chunk);
}

void writeContactsToNewFile(const std::vector<Person>& contacts, ExportFormat format,
                            const QString& target, const Interrupted& interrupted) {
    try {
        const std::unique_ptr<QTemporaryFile> temp = temporaryBeside(target);
        writeContacts(contacts, format, *temp, interrupted);
        if (!temp->flush())
            throw UserError(temp->errorString());
        if (!os::syncFile(temp->handle()))
            throw UserError(QStringLiteral("the file could not be put on disk"));
        placeWithoutReplacing(*temp, target);
    } catch (const UserError& e) {
        throw e.within(QStringLiteral("cannot write %1").arg(shown(target)));
    }
}

} // namespace quillbox::tools
