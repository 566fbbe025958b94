#include "Database.h"

#include "Connection.h"
#include "Recordset.h"
#include "Schema.h"
#include "Sqlite.h"
#include "os/Posix.h"

#include <QFileInfo>

#include <atomic>
#include <map>
#include <string>

namespace quillbox::data {

namespace {

// Atomic: the main window's file is opened and read on a thread of its own while the window is
// built, and handed over once read.
std::atomic<std::uint64_t> g_writeGeneration = 0;
std::atomic<std::uint64_t> g_ownCommits = 0;

// Runs just before each commit; a commit that then fails ends the program anyway.
int countCommit(void*) {
    g_ownCommits.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

QString quotedPath(const QString& name) {
    return QStringLiteral("'%1'").arg(QFileInfo(name).absoluteFilePath());
}

} // namespace

int TableInfo::indexOf(const QString& field) const {
    // Callers spell the names as the table does, so the exact match is tried first; SQLite
    // matches column names without regard to case, and so do we after it.
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i] == field)
            return i;
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

struct Database::Cache {
    std::map<std::string, sqlite::Statement, std::less<>> statements;
};

Database::Database(sqlite3* db, QString fileName)
    : db_(db), fileName_(std::move(fileName)), cache_(std::make_unique<Cache>()),
      busy_(std::make_unique<BusyWait>(db, fileName_)) {}

Database::~Database() {
    cache_.reset(); // statements are finalized before the connection closes
    sqlite3_close_v2(db_);
}

std::uint64_t Database::writeGeneration() {
    return g_writeGeneration.load(std::memory_order_relaxed);
}
void Database::bumpWriteGeneration() { g_writeGeneration.fetch_add(1, std::memory_order_relaxed); }

sqlite::Statement& Database::cached(std::string_view sql) {
    auto it = cache_->statements.find(sql);
    if (it == cache_->statements.end())
        it = cache_->statements.emplace(std::string(sql), sqlite::Statement(db_, sql)).first;
    return it->second;
}

std::uint32_t Database::changeCounter() const {
    // Through SQLite's own handle of the file: closing a second descriptor of it would drop
    // every POSIX lock this process holds on the file.
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods)
        return 0;
    unsigned char bytes[4] = {};
    if (file->pMethods->xRead(file, bytes, sizeof bytes, 24) != SQLITE_OK)
        return 0;
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

bool Database::replaced() const {
    int moved = 0;
    return sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved != 0;
}

std::uint64_t Database::ownCommits() { return g_ownCommits.load(std::memory_order_relaxed); }

Attempt readWithoutWaiting(Database* db, const std::function<void()>& read) {
    if (db)
        db->busy_->setPatient(false);
    Attempt result = Attempt::Done;
    try {
        read();
    } catch (const EngineError& e) {
        const int code = e.number() & 0xff;
        if (error::busy(e.number()))
            result = Attempt::Busy;
        else if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB || code == SQLITE_ERROR ||
                 code == SQLITE_SCHEMA || e.number() == SQLITE_IOERR_SHORT_READ ||
                 e.number() == error::FileNotFound || e.number() == error::TableNotFound ||
                 e.number() == error::FieldNotFound || e.number() == error::BadFieldDefinition)
            result = Attempt::Unreadable;
        if (result == Attempt::Done) {
            if (db)
                db->busy_->setPatient(true);
            throw;
        }
    }
    if (db)
        db->busy_->setPatient(true);
    return result;
}

std::int64_t Database::dataVersion() {
    sqlite::Use s(cached("PRAGMA data_version"));
    s->step();
    return s->int64(0);
}

const TableInfo& Database::table(const QString& name) const {
    for (const TableInfo& t : tables_)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return t;
    throw EngineError(error::TableNotFound,
                      QStringLiteral("The database file has no table '%1'.").arg(name));
}

void Database::readSchema() {
    for (const QString& name : {schema::Addresses, schema::Player}) {
        TableInfo info;
        bool autoincrement = false;
        {
            sqlite::Statement s(db_, "SELECT name, sql LIKE '%AUTOINCREMENT%' FROM sqlite_schema "
                                     "WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
            s.bind(1, Value(name));
            if (!s.step())
                throw EngineError(error::TableNotFound,
                                  QStringLiteral("there is no table '%1'.").arg(name));
            info.name = s.qtext(0);
            autoincrement = s.int64(1) != 0;
        }
        bool keyIsRowid = false;
        {
            sqlite::Statement s(db_, "SELECT name, type, pk FROM pragma_table_info(?1)");
            s.bind(1, Value(info.name));
            int primaryKeys = 0;
            while (s.step()) {
                info.columns << s.qtext(0);
                if (s.int64(2) > 0) {
                    ++primaryKeys;
                    if (info.columns.back().compare(schema::Number, Qt::CaseInsensitive) == 0 &&
                        s.qtext(1).compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
                        keyIsRowid = true;
                }
            }
            keyIsRowid = keyIsRowid && primaryKeys == 1;
        }
        for (const QString& field : schema::requiredFields(name))
            if (info.indexOf(field) < 0)
                throw EngineError(error::FieldNotFound,
                                  QStringLiteral("the table '%1' has no field '%2'.")
                                      .arg(name, field));
        if (name == schema::Addresses) {
            // A record number must come from the file itself, so that two programs writing
            // at once never hand out the same one, and one handed out never comes back.
            if (!keyIsRowid || !autoincrement)
                throw EngineError(error::BadFieldDefinition,
                                  QStringLiteral("the field 'Number' of the table '%1' is not a "
                                                 "record number: it must be declared INTEGER "
                                                 "PRIMARY KEY AUTOINCREMENT.")
                                      .arg(name));
            info.key = info.indexOf(schema::Number);
        }
        tables_.push_back(std::move(info));
    }
}

std::unique_ptr<Recordset> Database::OpenRecordset(const QString& table, int type) {
    if (type != dbOpenDynaset)
        throw EngineError(error::BadFieldDefinition,
                          QStringLiteral("Record sets of type %1 are not supported.").arg(type));
    return std::unique_ptr<Recordset>(
        new Recordset(shared_from_this(), this->table(table), table));
}

std::shared_ptr<Database> OpenDatabase(const QString& name, Access access) {
    const QFileInfo info(name);
    // Checked first only to word the error well; the open below never creates a file anyway.
    if (!info.exists())
        throw EngineError(error::FileNotFound,
                          QStringLiteral("Could not find file %1.").arg(quotedPath(name)));
    if (!info.isFile())
        throw EngineError(error::NotAFile,
                          QStringLiteral("%1 is not a database file but a folder or device.")
                              .arg(quotedPath(name)));

    sqlite3* raw = nullptr;
    // An absolute path: a name beginning with "file:" would otherwise be read as a URI.
    const QByteArray path = QFile::encodeName(info.absoluteFilePath());
    const bool readOnly = access == Access::ReadOnly;
    const int rc = sqlite3_open_v2(path.constData(), &raw,
                                   (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                                       SQLITE_OPEN_EXRESCODE |
                                       SQLITE_OPEN_NOMUTEX, // one thread per connection
                                   nullptr);
    // From here the connection is owned, whatever fails.
    std::shared_ptr<Database> db(new Database(raw, name));
    const QString context = quotedPath(name);
    if (rc != SQLITE_OK)
        sqlite::fail(raw, rc, context);

    sqlite::guard(raw);
    sqlite3_commit_hook(raw, &countCommit, nullptr);
    // Read-only, nothing follows but reading: the file's journal mode, its permissions and its
    // folder are no concern.
    if (!readOnly && sqlite3_db_readonly(raw, "main") == 1)
        throw EngineError(SQLITE_READONLY,
                          QStringLiteral("%1: the file cannot be written; check its permissions.")
                              .arg(context));
    // Every change goes through a journal made beside the file: in a folder where no file may
    // be made, the first change would fail, and lose what the user had typed.
    const QString folder = info.absolutePath();
    if (!readOnly && !os::mayCreateFilesIn(folder))
        throw EngineError(SQLITE_READONLY_DIRECTORY,
                          QStringLiteral("%1: no file can be made in the folder '%2', and changes "
                                         "need one there; check the folder's permissions.")
                              .arg(context, folder));
    try {
        // The rollback journal, not WAL: the SQLite we build on has a WAL fault that can corrupt
        // the file when several connections write or checkpoint at once, as ours do.
        if (!readOnly) {
            sqlite::Statement mode(raw, "PRAGMA journal_mode=DELETE");
            if (mode.step() &&
                mode.qtext(0).compare(QLatin1String("delete"), Qt::CaseInsensitive))
                throw EngineError(SQLITE_BUSY,
                                  QStringLiteral("the file is in WAL mode and another program "
                                                 "keeps it so."));
            mode.reset();
            sqlite::exec(raw, "PRAGMA synchronous=FULL");
        }
        // Reading through a memory map spares a walk the copying of every page out of the
        // kernel. Writes still go through the journal and write(), so a stray pointer cannot
        // reach the file.
        sqlite::exec(raw, "PRAGMA mmap_size=268435456");
        db->readSchema();
    } catch (const EngineError& e) {
        throw EngineError(e.number(), context + QStringLiteral(": ") + e.description());
    }
    return db;
}

} // namespace quillbox::data
