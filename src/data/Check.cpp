#include "Check.h"

#include "Connection.h"
#include "Database.h"
#include "EngineError.h"
#include "Recordset.h"
#include "Schema.h"
#include "Settings.h"
#include "Sqlite.h"
#include "contact/Contact.h"
#include "os/Posix.h"
#include "text/UrlParameters.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <chrono>
#include <limits>
#include <memory>
#include <optional>

namespace quillbox::data {

namespace {

// At most a few examples of one kind of finding, then how many more there are.
class Examples {
public:
    // The summaries start with "%1", the count; one for a single finding, one for several.
    Examples(QString one, QString many) : one_(std::move(one)), many_(std::move(many)) {}
    void add(const QString& example) {
        if (examples_.size() < 5)
            examples_ << example;
        ++count_;
    }
    void report(QStringList& into) const {
        if (count_ == 0)
            return;
        QString text = (count_ == 1 ? one_ : many_).arg(count_) + QStringLiteral(": ") +
                       examples_.join(QStringLiteral("; "));
        if (count_ > examples_.size())
            text += QStringLiteral("; and %1 more").arg(count_ - examples_.size());
        into << text;
    }

private:
    QString one_, many_;
    QStringList examples_;
    qsizetype count_ = 0;
};

// The rows of a one-column query, or the error in words.
QStringList column(sqlite3* db, const char* sql, QString& error, int* code = nullptr) {
    QStringList out;
    try {
        sqlite::Statement s(db, sql);
        while (s.step())
            out << s.qtext(0);
    } catch (const EngineError& e) {
        error = e.description();
        if (code)
            *code = e.number();
    }
    return out;
}

QString quotedName(const Value& name) {
    return name.isNull() ? QStringLiteral("(Null)") : QStringLiteral("\"%1\"").arg(name.toText());
}

void checkSettings(Database& db, CheckReport& r) {
    auto settings = db.OpenRecordset(schema::Player, dbOpenDynaset);
    const int rows = settings->RecordCount();
    if (rows == 0) {
        r.problems << QStringLiteral("the settings record is missing (the table Player is "
                                     "empty), so the program stops when it starts");
        return;
    }
    if (rows > 1)
        r.warnings << QStringLiteral("the table Player has %1 settings records; the program "
                                     "uses the first")
                          .arg(rows);
    const Value wanted = settings->Fields(schema::WantPassword);
    bool protection = false;
    try {
        protection = protectionOn(*settings);
    } catch (const EngineError&) {
        r.problems << QStringLiteral("the settings record says \"%1\" where it should say "
                                     "whether a password is wanted (a number), so the program "
                                     "stops when it starts")
                          .arg(wanted.toText());
        return;
    }
    if (settings->Fields(schema::Senha).isNull()) {
        if (protection)
            r.problems << QStringLiteral("password protection is on but no password is stored "
                                         "(Senha is Null): no password opens the program");
        else
            r.warnings << QStringLiteral("no password is stored (Senha is Null): were protection "
                                         "switched on, no password would open the program");
    }
}

void checkContacts(Database& db, CheckReport& r) {
    const QString stopsList = QStringLiteral(", which stops the program's list from loading");
    Examples nullNames(QStringLiteral("%1 contact has no name at all (Null)") + stopsList,
                       QStringLiteral("%1 contacts have no name at all (Null)") + stopsList);
    Examples bigNumbers(
        QStringLiteral("%1 contact has a record number beyond the 32 bits the program reads") +
            stopsList,
        QStringLiteral("%1 contacts have record numbers beyond the 32 bits the program reads") +
            stopsList);
    Examples emptyNames(QStringLiteral("%1 contact has an empty name"),
                        QStringLiteral("%1 contacts have an empty name"));
    const QString cutIfEdited = QStringLiteral(" (shown whole, but cut if edited)");
    Examples longTexts(
        QStringLiteral("%1 text is longer than the program's boxes take") + cutIfEdited,
        QStringLiteral("%1 texts are longer than the program's boxes take") + cutIfEdited);
    const QString& number = schema::Number;
    Examples urlEmails(QStringLiteral("%1 contact: ") + urlParametersWarning,
                       QStringLiteral("%1 contacts: ") + urlParametersWarning);

    auto contacts = db.OpenRecordset(schema::Addresses, dbOpenDynaset);
    for (contacts->MoveFirst(); !contacts->Eof(); contacts->MoveNext()) {
        const Value key = contacts->Fields(number);
        const QString id = QStringLiteral("number %1").arg(key.toText());
        const Value name = contacts->Fields(schema::Name);
        try {
            key.toInt32();
        } catch (const EngineError&) {
            bigNumbers.add(QStringLiteral("%1 %2").arg(id, quotedName(name)));
        }
        if (name.isNull())
            nullNames.add(id);
        else if (name.toText().isEmpty())
            emptyNames.add(id);
        for (const contact::Field& f : contact::fields) {
            const Value v = f.text == contact::field::name.text
                                ? name
                                : contacts->Fields(QLatin1String(f.column));
            if (!v.isNull() && v.toText().size() > f.limit)
                longTexts.add(QStringLiteral("the %1 of %2 %3 has %4 characters, the box takes %5")
                                  .arg(QLatin1String(f.label), id, quotedName(name))
                                  .arg(v.toText().size())
                                  .arg(f.limit));
        }
        if (text::carriesUrlParameters(contacts->Fields(schema::Email).toText()))
            urlEmails.add(QStringLiteral("%1 %2").arg(id, quotedName(name)));
    }
    nullNames.report(r.problems);
    bigNumbers.report(r.problems);
    emptyNames.report(r.warnings);
    longTexts.report(r.warnings);
    urlEmails.report(r.warnings);
}

void checkByQuery(sqlite3* db, CheckReport& r) {
    QString error;
    const QStringList repeated =
        column(db,
               "SELECT quote(Name) || ' ' || count(*) || ' times' FROM Addresses "
               "WHERE Name IS NOT NULL GROUP BY Name HAVING count(*) > 1",
               error);
    if (!repeated.isEmpty()) {
        Examples names(QStringLiteral("%1 name is given to more than one contact"),
                       QStringLiteral("%1 names are given to more than one contact"));
        for (const QString& n : repeated)
            names.add(n);
        names.report(r.warnings);
    }
    const QStringList indexed =
        column(db,
               "SELECT 1 FROM pragma_index_list('Addresses') AS l "
               "JOIN pragma_index_info(l.name) AS i "
               "WHERE i.seqno = 0 AND i.name = 'Name' COLLATE NOCASE AND l.partial = 0",
               error);
    if (indexed.isEmpty() && error.isEmpty())
        r.warnings << QStringLiteral("no index leads with the field Name, so finding a name "
                                     "reads every contact");
    const QStringList sequence = column(
        db, "SELECT max(seq) FROM sqlite_sequence WHERE name = 'Addresses' COLLATE NOCASE", error);
    if (!sequence.isEmpty() &&
        sequence.front().toLongLong() >= std::numeric_limits<std::int32_t>::max())
        r.warnings << QStringLiteral("the file has handed out the last record number the program "
                                     "can read: adding a contact will fail");
}

constexpr const char* programTables =
    "('Addresses', 'Player', 'SyncAccount', 'SyncState', 'SyncCards')";

void checkSchema(sqlite3* db, CheckReport& r) {
    QString error;
    const QString tables = QString::fromLatin1(programTables);
    // Reading the schema runs none of it.
    r.problems << column(db,
                         QStringLiteral(
                             "SELECT 'the trigger ' || quote(name) || ' on the table ' || "
                             "tbl_name || ' runs code of the file''s own when the program "
                             "writes' FROM sqlite_schema WHERE type = 'trigger' AND "
                             "tbl_name COLLATE NOCASE IN %1 "
                             "UNION ALL SELECT 'the index ' || quote(l.name) || ' of the table ' "
                             "|| t.name || CASE WHEN l.partial THEN ' covers part of it (WHERE)' "
                             "ELSE ' is on an expression' END || ', code of the file''s own that "
                             "runs when the program writes and when the file is checked' "
                             "FROM sqlite_schema AS t JOIN pragma_index_list(t.name) AS l "
                             "WHERE t.type = 'table' AND t.name COLLATE NOCASE IN %1 AND "
                             "(l.partial OR EXISTS (SELECT 1 FROM pragma_index_xinfo(l.name) "
                             "WHERE cid = -2))")
                             .arg(tables)
                             .toUtf8()
                             .constData(),
                         error);
    // A CHECK outside quoted names and texts.
    static const QRegularExpression quoted(
        QStringLiteral(R"('(?:[^']|'')*'|"(?:[^"]|"")*"|`[^`]*`|\[[^\]]*\])"));
    static const QRegularExpression check(QStringLiteral("\\bCHECK\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QStringList tableSql =
        column(db,
               QStringLiteral("SELECT name || ' ' || sql FROM sqlite_schema WHERE type = 'table' "
                              "AND name COLLATE NOCASE IN %1")
                   .arg(tables)
                   .toUtf8()
                   .constData(),
               error);
    for (const QString& t : tableSql)
        if (QString(t).remove(quoted).contains(check))
            r.problems << QStringLiteral("the table %1 has a CHECK constraint, code of the "
                                         "file's own that runs when the program writes")
                              .arg(t.section(QLatin1Char(' '), 0, 0));
}

// SQLite's integrity check, stopped after integrityCheckSeconds.
QStringList integrityCheck(sqlite3* db, QString& error, int& code) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(integrityCheckSeconds);
    sqlite3_progress_handler(
        db, 10000,
        [](void* at) {
            return std::chrono::steady_clock::now() >=
                           *static_cast<std::chrono::steady_clock::time_point*>(at)
                       ? 1
                       : 0;
        },
        &deadline);
    QStringList findings = column(db, "PRAGMA integrity_check(20)", error, &code);
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    return findings;
}

QString tooLong() {
    return QStringLiteral("a value longer than %1 MiB, the most the program reads")
        .arg(schema::limits::valueBytes / (1024 * 1024));
}

} // namespace

void rollBackHotJournal(const QString& fileName) {
    if (!QFileInfo::exists(fileName + QStringLiteral("-journal")))
        return;
    try {
        Connection db(fileName, Access::ReadWrite);
        sqlite::exec(db.handle(), "SELECT count(*) FROM sqlite_schema");
    } catch (const EngineError&) {
        // Left for the caller's own open to report.
    }
}

NoWalFilesLeft::NoWalFilesLeft(QString fileName)
    : fileName_(std::move(fileName)), there_(anyThere()) {}

bool NoWalFilesLeft::anyThere() const {
    return QFileInfo::exists(fileName_ + QStringLiteral("-wal")) ||
           QFileInfo::exists(fileName_ + QStringLiteral("-shm"));
}

NoWalFilesLeft::~NoWalFilesLeft() {
    if (there_ || !anyThere())
        return;
    try {
        // Only a WAL the connection has opened is checkpointed and removed as it closes.
        Connection db(fileName_, Access::ReadWrite);
        sqlite::exec(db.handle(), "SELECT count(*) FROM sqlite_schema");
    } catch (const EngineError&) {
        // Left as they are: a file that cannot be opened for writing keeps them.
    }
}

CheckReport checkFile(const QString& fileName) {
    const NoWalFilesLeft tidy(fileName);
    rollBackHotJournal(fileName);
    CheckReport r;
    {
        std::optional<Connection> db;
        QStringList integrity;
        QString error;
        int code = 0;
        try {
            db.emplace(fileName, Access::ReadOnly);
            checkSchema(db->handle(), r);
            integrity = integrityCheck(db->handle(), error, code);
        } catch (const EngineError& e) {
            error = e.description();
            code = e.number();
        }
        if (!error.isEmpty() && error::busy(code)) {
            r.busy = true;
            r.problems << QStringLiteral("the file is busy: another program holds it locked");
            return r;
        }
        if ((code & 0xff) == SQLITE_INTERRUPT || (code & 0xff) == SQLITE_TOOBIG) {
            r.problems << QStringLiteral("check gave up: SQLite's integrity check %1")
                              .arg((code & 0xff) == SQLITE_TOOBIG
                                       ? QStringLiteral("met ") + tooLong()
                                       : QStringLiteral("ran longer than %1 seconds")
                                             .arg(integrityCheckSeconds));
            return r;
        }
        if (!error.isEmpty()) {
            r.problems << ((code & 0xff) == SQLITE_NOTADB
                               ? QStringLiteral("this is not a database file (or it is damaged "
                                                "past reading)")
                               : QStringLiteral("the file cannot be read: %1").arg(error));
            return r;
        }
        if (integrity != QStringList{QStringLiteral("ok")})
            for (const QString& finding : integrity)
                r.problems << QStringLiteral("the file is damaged: %1").arg(finding);
    }

    // Tested apart from reading, which must change nothing: the program refuses a file it
    // cannot write, and each change needs a journal beside the file.
    const QString folder = QFileInfo(fileName).absolutePath();
    if (!os::mayWrite(fileName))
        r.problems << QStringLiteral("the program could not write the file: its permissions (or "
                                     "a read-only disk) allow only reading, so the program would "
                                     "not start");
    else if (!os::mayCreateFilesIn(folder))
        r.problems << QStringLiteral("the program could not save a change: no file can be made "
                                     "in the folder '%1', and each change needs one there")
                          .arg(folder);
    try {
        const std::shared_ptr<Database> db = OpenDatabase(fileName, Access::ReadOnly);
        checkSettings(*db, r);
        checkContacts(*db, r);
    } catch (const EngineError& e) {
        r.problems << ((e.number() & 0xff) == SQLITE_TOOBIG
                           ? QStringLiteral("the file holds ") + tooLong() +
                                 QStringLiteral(", so the program stops when it loads it")
                           : e.description());
        return r;
    }
    try {
        checkByQuery(Connection(fileName, Access::ReadOnly).handle(), r);
    } catch (const EngineError&) {
        // Only warnings come from here; a file that opened a moment ago and now does not has
        // had its say above.
    }
    return r;
}

} // namespace quillbox::data
