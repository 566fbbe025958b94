#include "Check.h"

#include "Files.h"
#include "data/Database.h"
#include "data/EngineError.h"
#include "data/Recordset.h"
#include "data/Schema.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <limits>
#include <memory>

namespace quillbox::tools {

namespace {

using data::Value;

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

class ReadOnly {
public:
    explicit ReadOnly(const QString& fileName) {
        // An absolute path: a name beginning with "file:" would otherwise be read as a URI.
        rc_ = sqlite3_open_v2(QFile::encodeName(QFileInfo(fileName).absoluteFilePath()).constData(),
                              &db_, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_busy_timeout(db_, data::Database::busyTimeoutMs);
    }
    ~ReadOnly() { sqlite3_close(db_); }
    ReadOnly(const ReadOnly&) = delete;
    ReadOnly& operator=(const ReadOnly&) = delete;
    int openResult() const { return rc_; }
    sqlite3* handle() const { return db_; }

    // The rows of a one-column query, or the error in words.
    QStringList column(const char* sql, QString& error) const {
        QStringList out;
        sqlite3_stmt* s = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql, -1, &s, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(s)) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
            out << QString::fromUtf8(text ? text : "");
            rc = SQLITE_OK;
        }
        if (rc != SQLITE_DONE && rc != SQLITE_OK)
            error = QString::fromUtf8(sqlite3_errmsg(db_));
        sqlite3_finalize(s);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_OK;
};

QString quotedName(const Value& name) {
    return name.isNull() ? QStringLiteral("(Null)") : QStringLiteral("\"%1\"").arg(name.toText());
}

void checkSettings(data::Database& db, CheckReport& r) {
    auto settings = db.OpenRecordset(QStringLiteral("Player"), data::dbOpenDynaset);
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
    const Value wanted = settings->Fields(QStringLiteral("WantPassword"));
    bool protection = false;
    try {
        protection = !wanted.isNull() && wanted.toDouble() > 0;
    } catch (const data::EngineError&) {
        r.problems << QStringLiteral("the settings record says \"%1\" where it should say "
                                     "whether a password is wanted (a number), so the program "
                                     "stops when it starts")
                          .arg(wanted.toText());
        return;
    }
    if (settings->Fields(QStringLiteral("Senha")).isNull()) {
        if (protection)
            r.problems << QStringLiteral("password protection is on but no password is stored "
                                         "(Senha is Null): no password opens the program");
        else
            r.warnings << QStringLiteral("no password is stored (Senha is Null): were protection "
                                         "switched on, no password would open the program");
    }
}

void checkContacts(data::Database& db, CheckReport& r) {
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
    Examples urlEmails(QStringLiteral("%1 contact: ") + urlParametersWarning,
                       QStringLiteral("%1 contacts: ") + urlParametersWarning);
    struct Field {
        QString name;
        const char* what;
        int limit;
    };
    const Field fields[] = {
        {QStringLiteral("Name"), "name", data::schema::limits::name},
        {QStringLiteral("email"), "e-mail address", data::schema::limits::email},
        {QStringLiteral("Phone"), "phone", data::schema::limits::phone},
        {QStringLiteral("Address"), "address", data::schema::limits::address}};
    const QString number = QStringLiteral("Number");

    auto contacts = db.OpenRecordset(QStringLiteral("Addresses"), data::dbOpenDynaset);
    for (contacts->MoveFirst(); !contacts->Eof(); contacts->MoveNext()) {
        const Value key = contacts->Fields(number);
        const QString id = QStringLiteral("number %1").arg(key.toText());
        const Value name = contacts->Fields(fields[0].name);
        try {
            key.toInt32();
        } catch (const data::EngineError&) {
            bigNumbers.add(QStringLiteral("%1 %2").arg(id, quotedName(name)));
        }
        if (name.isNull())
            nullNames.add(id);
        else if (name.toText().isEmpty())
            emptyNames.add(id);
        for (const Field& f : fields) {
            const Value v = f.name == fields[0].name ? name : contacts->Fields(f.name);
            if (!v.isNull() && v.toText().size() > f.limit)
                longTexts.add(QStringLiteral("the %1 of %2 %3 has %4 characters, the box takes %5")
                                  .arg(QLatin1String(f.what), id, quotedName(name))
                                  .arg(v.toText().size())
                                  .arg(f.limit));
        }
        if (contacts->Fields(QStringLiteral("email")).toText().contains(QLatin1Char('?')))
            urlEmails.add(QStringLiteral("%1 %2").arg(id, quotedName(name)));
    }
    nullNames.report(r.problems);
    bigNumbers.report(r.problems);
    emptyNames.report(r.warnings);
    longTexts.report(r.warnings);
    urlEmails.report(r.warnings);
}

void checkByQuery(const ReadOnly& db, CheckReport& r) {
    QString error;
    const QStringList repeated =
        db.column("SELECT quote(Name) || ' ' || count(*) || ' times' FROM Addresses "
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
        db.column("SELECT 1 FROM pragma_index_list('Addresses') AS l "
                  "JOIN pragma_index_info(l.name) AS i "
                  "WHERE i.seqno = 0 AND i.name = 'Name' COLLATE NOCASE AND l.partial = 0",
                  error);
    if (indexed.isEmpty() && error.isEmpty())
        r.warnings << QStringLiteral("no index leads with the field Name, so finding a name "
                                     "reads every contact");
    const QStringList sequence = db.column(
        "SELECT max(seq) FROM sqlite_sequence WHERE name = 'Addresses' COLLATE NOCASE", error);
    if (!sequence.isEmpty() &&
        sequence.front().toLongLong() >= std::numeric_limits<std::int32_t>::max())
        r.warnings << QStringLiteral("the file has handed out the last record number the program "
                                     "can read: adding a contact will fail");
}

} // namespace

void rollBackHotJournal(const QString& fileName) {
    if (!QFileInfo::exists(fileName + QStringLiteral("-journal")))
        return;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(QFileInfo(fileName).absoluteFilePath()).constData(), &db,
                        SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, data::Database::busyTimeoutMs);
        sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
}

CheckReport checkDatabase(const QString& fileName) {
    CheckReport r;
    const QFileInfo info(fileName);
    if (!info.exists()) {
        r.problems << QStringLiteral("there is no file %1").arg(shown(fileName));
        return r;
    }
    if (!info.isFile()) {
        r.problems
            << QStringLiteral("%1 is a folder or device, not a database file").arg(shown(fileName));
        return r;
    }

    rollBackHotJournal(fileName);
    {
        const ReadOnly db(fileName);
        QString error;
        const QStringList integrity = db.openResult() == SQLITE_OK
                                          ? db.column("PRAGMA integrity_check(20)", error)
                                          : QStringList();
        if (db.openResult() != SQLITE_OK || !error.isEmpty()) {
            const int rc = sqlite3_extended_errcode(db.handle()) & 0xff;
            r.problems << (rc == SQLITE_NOTADB
                               ? QStringLiteral("this is not a database file (or it is damaged "
                                                "past reading)")
                               : QStringLiteral("the file cannot be read: %1")
                                     .arg(error.isEmpty()
                                              ? QString::fromUtf8(sqlite3_errstr(db.openResult()))
                                              : error));
            return r;
        }
        if (integrity != QStringList{QStringLiteral("ok")})
            for (const QString& finding : integrity)
                r.problems << QStringLiteral("the file is damaged: %1").arg(finding);
    }

    try {
        const std::shared_ptr<data::Database> db = data::OpenDatabase(fileName);
        checkSettings(*db, r);
        checkContacts(*db, r);
    } catch (const data::EngineError& e) {
        r.problems << e.description();
        return r;
    }
    checkByQuery(ReadOnly(fileName), r);
    return r;
}

} // namespace quillbox::tools
