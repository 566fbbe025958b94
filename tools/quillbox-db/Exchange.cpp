#include "Exchange.h"

#include "Check.h"
#include "exchange/CsvReader.h"
#include "exchange/FormatError.h"
#include "exchange/VCardReader.h"
#include "exchange/Writers.h"
#include "Files.h"
#include "Progress.h"
#include "ToolError.h"
#include "data/Database.h"
#include "data/EngineError.h"
#include "data/Schema.h"

#include <QCollator>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QLocale>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <numeric>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace quillbox::tools {

namespace {

namespace limits = data::schema::limits;
using namespace exchange;

std::shared_ptr<data::Database> open(const QString& databaseFile) {
    try {
        return data::OpenDatabase(databaseFile);
    } catch (const data::EngineError& e) {
        throw ToolError(e.description());
    }
}

[[noreturn]] void sqlFailed(sqlite3* db, int rc) {
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        throw ToolError(QStringLiteral("another program kept the database file busy for longer "
                                       "than %1 seconds; nothing was imported, try again")
                            .arg(data::Database::busyTimeoutMs / 1000));
    throw ToolError(QStringLiteral("the database file could not be written: %1")
                        .arg(QString::fromUtf8(sqlite3_errmsg(db))));
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (const int rc = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); rc != SQLITE_OK)
            sqlFailed(db, rc);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QByteArray& utf8) {
        sqlite3_bind_text64(stmt_, index, utf8.constData(),
                            static_cast<sqlite3_uint64>(utf8.size()), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
    }
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            sqlFailed(db_, rc);
        return false;
    }
    void reset() { sqlite3_reset(stmt_); }
    QString text(int column) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, column)) : QString();
    }
    std::int64_t int64(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE, rolled back unless committed: the write lock is taken up front, so a busy
// file is waited for in the busy handler and never met halfway through.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) {
        if (const int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            rc != SQLITE_OK)
            sqlFailed(db, rc);
    }
    ~Transaction() {
        if (open_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        if (const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); rc != SQLITE_OK)
            sqlFailed(db_, rc);
        open_ = false;
    }

private:
    sqlite3* db_;
    bool open_ = true;
};

QString who(const Person& p) {
    if (!p.name.isEmpty())
        return QStringLiteral("%1, \"%2\"").arg(p.where, p.name);
    const QString hint = !p.email.isEmpty() ? p.email : p.phone;
    return hint.isEmpty() ? p.where : QStringLiteral("%1 (%2)").arg(p.where, hint);
}

QCollator listCollator() {
    // As the program's list sorts (ListBox): the C locale would compare raw code units.
    QLocale locale = QLocale().collation();
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

void writeChunk(QIODevice& out, QByteArray& chunk) {
    if (out.write(chunk) != chunk.size())
        throw ToolError(
            QStringLiteral("the contacts could not be written: %1").arg(out.errorString()));
    chunk.clear();
}

} // namespace

FileFormat formatFromName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
        return FileFormat::VCard;
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("tsv") ||
        suffix == QLatin1String("tab") || suffix == QLatin1String("txt"))
        return FileFormat::Csv;
    throw ToolError(QStringLiteral("its name does not say whether it holds vCards or a table; "
                                   "name it .vcf or .csv, or say --format vcard|csv"));
}

std::vector<Person> readPeople(const QByteArray& contents, FileFormat format,
                               const ProgressReport& progress) {
    try {
        return format == FileFormat::VCard ? exchange::readVCards(contents, progress)
                                           : exchange::readCsv(contents, progress);
    } catch (const exchange::FormatError& e) {
        throw ToolError(e.message());
    }
}

ImportReport storePeople(const QString& databaseFile, const std::vector<Person>& people,
                         const Interrupted& interrupted, const ProgressReport& progress) {
    const std::shared_ptr<data::Database> db = open(databaseFile);
    sqlite3* h = db->handle();
    ImportReport report;

    Transaction transaction(h);
    Statement stored(h, "SELECT 1 FROM Addresses WHERE Name = ?1 LIMIT 1");
    Statement insert(h, "INSERT INTO Addresses (Name, Phone, Address, email) "
                        "VALUES (?1, ?2, ?3, ?4)");
    QHash<QString, QString> taken; // name -> where it came from
    taken.reserve(static_cast<qsizetype>(people.size()));
    std::int64_t done = 0;
    for (const Person& original : people) {
        if ((++done & 0x3ff) == 0) {
            if (progress)
                progress(done, static_cast<qint64>(people.size()));
            if (interrupted && interrupted())
                throw ToolError(QStringLiteral("interrupted; nothing was imported"));
        }
        if (original.name.isEmpty()) {
            report.skipped << QStringLiteral("%1: it has no name").arg(who(original));
            continue;
        }
        Person p = original;
        QStringList cuts;
        const auto cut = [&](QString& text, int limit, const char* what) {
            const qsizetype before = text.size();
            if (cutToLimit(text, limit))
                cuts << QStringLiteral("the %1, from %2 to %3 characters")
                            .arg(QLatin1String(what))
                            .arg(before)
                            .arg(text.size());
        };
        cut(p.name, limits::name, "name");
        cut(p.email, limits::email, "e-mail address");
        cut(p.phone, limits::phone, "phone");
        cut(p.address, limits::address, "address");

        if (const auto earlier = taken.constFind(p.name); earlier != taken.cend()) {
            report.skipped
                << QStringLiteral("%1: the same name came before, in the %2").arg(who(p), *earlier);
            continue;
        }
        const QByteArray name = p.name.toUtf8();
        stored.bind(1, name);
        const bool exists = stored.step();
        stored.reset();
        if (exists) {
            report.skipped
                << QStringLiteral("%1: a contact of that name is already in the file").arg(who(p));
            continue;
        }
        insert.bind(1, name);
        insert.bind(2, p.phone.toUtf8());
        insert.bind(3, p.address.toUtf8());
        insert.bind(4, p.email.toUtf8());
        insert.step();
        insert.reset();
        taken.insert(p.name, p.where);
        for (const QString& c : cuts)
            report.cut << QStringLiteral("%1: %2").arg(who(p), c);
        if (p.email.contains(QLatin1Char('?')))
            report.warnings << QStringLiteral("%1: %2").arg(who(p), urlParametersWarning);
        ++report.taken;
    }
    // The program reads record numbers as 32-bit numbers.
    if (report.taken > 0 && sqlite3_last_insert_rowid(h) > std::numeric_limits<std::int32_t>::max())
        throw ToolError(QStringLiteral("the file has no record numbers left that the program can "
                                       "use for %1 more contacts; nothing was imported")
                            .arg(report.taken));
    transaction.commit();
    return report;
}

std::vector<Person> contactsInListOrder(const QString& databaseFile) {
    const std::shared_ptr<data::Database> db = open(databaseFile);
    std::vector<Person> contacts;
    {
        Statement all(db->handle(),
                      "SELECT Name, email, Phone, Address FROM Addresses ORDER BY Number");
        while (all.step())
            contacts.push_back({QString(), all.text(0), all.text(1), all.text(2), all.text(3)});
    }
    // One sort key per name rather than a collator call per comparison, as the list does.
    const QCollator collator = listCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(contacts.size());
    for (const Person& c : contacts)
        keys.push_back(collator.sortKey(c.name));
    std::vector<size_t> order(contacts.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&keys](size_t a, size_t b) { return keys[a].compare(keys[b]) < 0; });
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
            throw ToolError(QStringLiteral("interrupted"));
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
            throw ToolError(temp->errorString());
#ifdef Q_OS_UNIX
        if (::fsync(temp->handle()) != 0)
            throw ToolError(QStringLiteral("the file could not be put on disk"));
#endif
        placeWithoutReplacing(*temp, target);
    } catch (const ToolError& e) {
        throw ToolError(QStringLiteral("cannot write %1: %2").arg(shown(target), e.message()));
    }
}

} // namespace quillbox::tools
