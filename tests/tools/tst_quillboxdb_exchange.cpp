// import, export, check and backup, run as the built quillbox-db, against files that the
// tests fill and inspect with plain SQL.

#include "NewDatabase.h"
#include "data/Database.h"
#include "data/Recordset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace quillbox::data;

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run runTool(const QStringList& arguments, const QString& workingDirectory) {
    QProcess p;
    p.setWorkingDirectory(workingDirectory);
    p.start(QStringLiteral(QUILLBOX_DB), arguments);
    Run r;
    if (!p.waitForFinished(240'000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray bytes(const QString& fileName) {
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& fileName, const QByteArray& contents) {
    QFile f(fileName);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(contents);
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Plain SQL on a connection of its own, as another program would.
class Sql {
public:
    explicit Sql(const QString& fileName) {
        sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db_, SQLITE_OPEN_READWRITE,
                        nullptr);
        sqlite3_busy_timeout(db_, 10'000);
    }
    ~Sql() { sqlite3_close(db_); }
    Sql(const Sql&) = delete;
    Sql& operator=(const Sql&) = delete;

    bool exec(const QString& sql) {
        return sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    void insert(const QStringList& contact) { // name, email, phone, address
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db_,
                           "INSERT INTO Addresses (Name, email, Phone, Address) "
                           "VALUES (?1, ?2, ?3, ?4)",
                           -1, &s, nullptr);
        for (int i = 0; i < 4; ++i) {
            const QByteArray utf8 = contact.value(i).toUtf8();
            sqlite3_bind_text(s, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        QCOMPARE(sqlite3_step(s), SQLITE_DONE);
        sqlite3_finalize(s);
    }
    // Each row's columns joined by '|'.
    QStringList rows(const char* sql) {
        QStringList out;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK)
            return {QString::fromUtf8(sqlite3_errmsg(db_))};
        while (sqlite3_step(s) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
                columns << (t ? QString::fromUtf8(t, sqlite3_column_bytes(s, i))
                              : QStringLiteral("<null>"));
            }
            out << columns.join(QLatin1Char('|'));
        }
        sqlite3_finalize(s);
        return out;
    }
    int count() { return rows("SELECT count(*) FROM Addresses").value(0).toInt(); }
    QStringList contacts() {
        return rows("SELECT Name, email, Phone, Address FROM Addresses ORDER BY Number");
    }

private:
    sqlite3* db_ = nullptr;
};

QString newDatabase(const QTemporaryDir& dir, const QString& name, int contacts = 0) {
    const QString file = dir.filePath(name);
    quillbox::tools::createDatabase({file, contacts, 1});
    return file;
}

void expectFailure(const Run& r, const QString& mentions = {}) {
    QVERIFY2(r.exitCode > 0, qPrintable(r.out + r.err));
    QVERIFY2(r.err.startsWith(QLatin1String("quillbox-db: ")), qPrintable(r.err));
    QVERIFY2(r.err.contains(mentions), qPrintable(r.err));
}

QByteArray vcard(const QByteArray& body) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "\r\nEND:VCARD\r\n";
}

} // namespace

class TestQuillboxDbExchange : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void exportsInListOrder();
    void exportRefusesToOverwrite();
    void faultyFileStoresNothing_data();
    void faultyFileStoresNothing();
    void skipsAndReports();
    void cutsAndReports();
    void importsWhileProgramHasFileOpen();
    void check_data();
    void check();
    void backupWhileRecordsetOpen();
    void backupRefuses_data();
    void backupRefuses();
    void usage_data();
    void usage();
};

void TestQuillboxDbExchange::roundTrip_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("file");
    QTest::newRow("vCard 4.0") << QStringList{"--vcard"} << "out.vcf";
    QTest::newRow("vCard 3.0") << QStringList{"--vcard", "--version", "3.0"} << "out.vcf";
    QTest::newRow("CSV") << QStringList{"--csv"} << "out.csv";
}

void TestQuillboxDbExchange::roundTrip() {
    QFETCH(QStringList, options);
    QFETCH(QString, file);
    QTemporaryDir dir;
    const QString from = newDatabase(dir, "from.scc", 300);
    const QList<QStringList> nasty = {
        {"Madonna", "", "", ""},
        {" Doe, John ", " a@b ", " 1 ", " x \r\n y "},
        {"Doe, ", "\"q\"@x", "1;2,3", "a, b; c\r\n\r\n\"d\"\r\n"},
        {", John", "\\", "\\n", "C:\\new\\"},
        {"Smith, John, Jr.", "^n", "^'", "^^\r\n"},
        {"A;B, C,D", "", "", "END:VCARD\r\nBEGIN:VCARD"},
        {"Ångström, Zoë", "zoë@例え.jp", "☎️", "Straße 1\r\n東京都"},
        {"👩‍👩‍👧, 😀", "😀@x", "", "🏠"},
    };
    {
        Sql sql(from);
        for (const QStringList& c : nasty)
            sql.insert(c);
    }
    const Run exported =
        runTool(QStringList{"export", "from.scc", "-o", file} + options, dir.path());
    QVERIFY2(exported.exitCode == 0, qPrintable(exported.err));
    QCOMPARE(exported.out, QString());
    QCOMPARE(QFileInfo(dir.filePath(file)).permissions(),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser);
    // The same bytes go to stdout without -o.
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(QUILLBOX_DB), QStringList{"export", "from.scc"} + options);
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.readAllStandardOutput(), bytes(dir.filePath(file)));

    newDatabase(dir, "to.scc");
    const Run imported = runTool({"import", file, "--into", "to.scc"}, dir.path());
    QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
    QVERIFY2(
        imported.out.startsWith(QStringLiteral("imported %1 contacts").arg(300 + nasty.size())),
        qPrintable(imported.out));

    Sql a(from), b(dir.filePath("to.scc"));
    QStringList before = a.contacts(), after = b.contacts();
    before.sort();
    after.sort();
    QCOMPARE(after, before);
    // Numbered by the file, from 1.
    QCOMPARE(b.rows("SELECT min(Number), max(Number) FROM Addresses"),
             QStringList{QStringLiteral("1|%1").arg(before.size())});
}

void TestQuillboxDbExchange::exportsInListOrder() {
    QTemporaryDir dir;
    const QString file = newDatabase(dir, "senha.scc");
    {
        Sql sql(file);
        for (const char* name : {"beta", "Zeta", "Alpha", "Émile", "alpha", "zeta", "ALPHA"})
            sql.insert({QString::fromUtf8(name)});
    }
    const Run r = runTool({"export", "senha.scc", "--csv"}, dir.path());
    QCOMPARE(r.exitCode, 0);
    // Case ignored, accents after the letter, equal names in record order.
    QCOMPARE(r.out.split(QStringLiteral("\r\n")),
             QStringList({"Name,E-mail Address,Phone,Address", "Alpha,,,", "alpha,,,", "ALPHA,,,",
                          "beta,,,", "Émile,,,", "Zeta,,,", "zeta,,,", ""}));
}

void TestQuillboxDbExchange::exportRefusesToOverwrite() {
    QTemporaryDir dir;
    newDatabase(dir, "senha.scc", 3);
    write(dir.filePath("taken.vcf"), "keep me");
    const Run r = runTool({"export", "senha.scc", "--vcard", "-o", "taken.vcf"}, dir.path());
    expectFailure(r, "taken.vcf");
    QCOMPARE(bytes(dir.filePath("taken.vcf")), QByteArray("keep me"));
    QCOMPARE(entries(dir.path()), QStringList({"senha.scc", "taken.vcf"}));
}

void TestQuillboxDbExchange::faultyFileStoresNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("says");
    const QByteArray good = vcard("FN:Good, One") + vcard("FN:Good, Two");
    QTest::newRow("card without END") << "a.vcf" << good + "BEGIN:VCARD\r\nFN:Bad\r\n"
                                      << "line 9";
    QTest::newRow("bad quoted-printable")
        << "a.vcf" << good + vcard("FN;ENCODING=QUOTED-PRINTABLE:=G1") << "'=G1'";
    QTest::newRow("unknown charset") << "a.vcf" << good + vcard("FN;CHARSET=nope:x") << "'nope'";
    QTest::newRow("binary") << "a.vcf"
                            << QByteArray("\x7f"
                                          "ELF\x02\x01\x01\0\0\0",
                                          10)
                            << "not a text";
    QTest::newRow("empty") << "a.vcf" << QByteArray() << "empty";
    QTest::newRow("CSV quote not closed")
        << "a.csv" << QByteArray("Name\r\nA\r\n\"B\r\n") << "line 3";
    QTest::newRow("CSV not UTF-8")
        << "a.csv" << QByteArray("Name\r\nA\r\nM\xfcller\r\n") << "UTF-8";
    QTest::newRow("unknown kind of file") << "a.xls" << QByteArray("Name\r\nA\r\n") << "--format";
    QTest::newRow("no such file") << "" << QByteArray() << "no file";
}

void TestQuillboxDbExchange::faultyFileStoresNothing() {
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString database = newDatabase(dir, "senha.scc", 3);
    if (!name.isEmpty())
        write(dir.filePath(name), contents);
    const QStringList before = entries(dir.path());
    const QByteArray stored = bytes(database);

    const Run r = runTool({"import", name.isEmpty() ? "missing.vcf" : name, "--into", "senha.scc"},
                          dir.path());
    expectFailure(r, says);
    QVERIFY2(r.err.contains(QLatin1String("nothing was imported")), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QCOMPARE(Sql(database).count(), 3);
    QCOMPARE(bytes(database), stored);
    QCOMPARE(entries(dir.path()), before);
}

void TestQuillboxDbExchange::skipsAndReports() {
    QTemporaryDir dir;
    const QString database = newDatabase(dir, "senha.scc");
    Sql(database).insert({"Doe, John", "old@x"});
    write(dir.filePath("in.vcf"),
          vcard("N:Doe;John;;;\r\nEMAIL:new@x") + // line 1: stored already
              vcard("FN:Roe, Jane\r\nTEL:1") +    // line 6
              vcard("EMAIL:nobody@x") +           // line 11: no name
              vcard("N:Roe;Jane;;;\r\nTEL:2") +   // line 15: came before
              vcard("FN: Doe, John") +            // line 20: a blank makes it another
              vcard("FN:doe, john\r\nEMAIL:d@x?attach=/etc/passwd")); // line 24: case, too
    const Run r = runTool({"import", "in.vcf", "--into", "senha.scc"}, dir.path());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.err, QString());
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QVERIFY2(lines[0].startsWith("imported 3 contacts from 'in.vcf' into 'senha.scc'; cut 0 texts; "
                                 "skipped 3 people"),
             qPrintable(lines[0]));
    QCOMPARE(lines[1], "skipped: card at line 1, \"Doe, John\": a contact of that name is already "
                       "in the file");
    QCOMPARE(lines[2], "skipped: card at line 11 (nobody@x): it has no name");
    QCOMPARE(lines[3], "skipped: card at line 15, \"Roe, Jane\": the same name came before, in the "
                       "card at line 6");
    QCOMPARE(lines[4], "warning: card at line 24, \"doe, john\": the e-mail address carries URL "
                       "parameters (a '?' after the address), which a mail program may act on");
    QCOMPARE(Sql(database).contacts(),
             QStringList({"Doe, John|old@x||", "Roe, Jane||1|", " Doe, John|||", "doe, john|d@x?attach=/etc/passwd||"}));
}

void TestQuillboxDbExchange::cutsAndReports() {
    QTemporaryDir dir;
    const QString database = newDatabase(dir, "senha.scc");
    const QString name = QString(48, QLatin1Char('n')) + QStringLiteral("😀");
    const QString address = QString(98, QLatin1Char('a')) + QStringLiteral("\r\nb");
    QByteArray csv = "Name,Email,Phone,Address\r\n";
    csv += name.toUtf8() + ',' + QByteArray(120, 'e') + ',' + QByteArray(70, '7') + ",\"" +
           address.toUtf8() + "\"\r\n";
    csv += "Short,e,1,a\r\n";
    write(dir.filePath("in.csv"), csv);
    const Run r = runTool({"import", "in.csv", "--into", "senha.scc"}, dir.path());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QString who =
        QStringLiteral("cut: row 1 (line 2), \"%1\": ").arg(QString(48, QLatin1Char('n')));
    QCOMPARE(
        r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
        QStringList(
            {"imported 2 contacts from 'in.csv' into 'senha.scc'; cut 4 texts; skipped 0 people",
             who + "the name, from 50 to 48 characters",
             who + "the e-mail address, from 120 to 99 characters",
             who + "the phone, from 70 to 69 characters",
             who + "the address, from 101 to 98 characters"}));
    QCOMPARE(
        Sql(database).contacts(),
        QStringList({QString(48, QLatin1Char('n')) + "|" + QString(99, QLatin1Char('e')) + "|" +
                         QString(69, QLatin1Char('7')) + "|" + QString(98, QLatin1Char('a')),
                     "Short|e|1|a"}));
}

void TestQuillboxDbExchange::importsWhileProgramHasFileOpen() {
    QTemporaryDir dir;
    const QString database = newDatabase(dir, "senha.scc", 50);
    // The program's connections: open, read from, and idle, as between two clicks.
    auto db = OpenDatabase(database);
    auto contacts = db->OpenRecordset(QStringLiteral("Addresses"));
    auto settings = db->OpenRecordset(QStringLiteral("Player"));
    contacts->MoveLast();
    QCOMPARE(contacts->Fields(QStringLiteral("Number")).toInt32(), 50);
    QCOMPARE(settings->Fields(QStringLiteral("WantPassword")).toInt32(), 0);

    write(dir.filePath("in.vcf"), vcard("FN:New, One") + vcard("FN:New, Two"));
    const Run r = runTool({"import", "in.vcf", "--into", "senha.scc"}, dir.path());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));

    // The program sees them and goes on writing, numbering after them.
    QCOMPARE(contacts->RecordCount(), 52);
    contacts->FindFirst(QStringLiteral("Name"), Value(QStringLiteral("New, Two")));
    QVERIFY(!contacts->NoMatch());
    QCOMPARE(contacts->Fields(QStringLiteral("Number")).toInt32(), 52);
    contacts->AddNew();
    contacts->Collect(QStringLiteral("Name"), Value(QStringLiteral("Typed, In")));
    QCOMPARE(contacts->Fields(QStringLiteral("Number")).toInt32(), 53);
    contacts->Update();
    QCOMPARE(Sql(database).count(), 53);
}

void TestQuillboxDbExchange::check_data() {
    QTest::addColumn<QString>("damage"); // SQL run on a sound file, or a special case
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("sound") << "" << 0 << "can be used by Quillbox.\n";
    QTest::newRow("long texts")
        << "UPDATE Addresses SET Address = printf('%.120c', 'x') WHERE Number = 3" << 0
        << "warning: 1 text is longer than the program's boxes take (shown whole, but cut if "
           "edited): the address of number 3";
    QTest::newRow("empty and repeated names")
        << "UPDATE Addresses SET Name = '' WHERE Number IN (4, 5)" << 0
        << "warning: 2 contacts have an empty name: number 4; number 5";
    QTest::newRow("Null name") << "UPDATE Addresses SET Name = NULL WHERE Number = 7" << 1
                               << "problem: 1 contact has no name at all (Null)";
    QTest::newRow("number beyond 32 bits")
        << "UPDATE Addresses SET Number = 4294967296 WHERE Number = 2" << 1
        << "problem: 1 contact has a record number beyond the 32 bits";
    QTest::newRow("no settings record")
        << "DELETE FROM Player" << 1 << "settings record is missing";
    QTest::newRow("flag not a number")
        << "UPDATE Player SET WantPassword = 'yes'" << 1 << "\"yes\"";
    QTest::newRow("no settings table") << "DROP TABLE Player" << 1 << "no table 'Player'";
    QTest::newRow("field missing")
        << "ALTER TABLE Addresses DROP COLUMN email" << 1 << "no field 'email'";
    QTest::newRow("no name index") << "DROP INDEX AddressesByName" << 0 << "warning: no index";
    QTest::newRow("damaged") << "damaged" << 1 << "problem: the file is damaged";
    QTest::newRow("hot journal") << "hot journal" << 0 << "can be used by Quillbox.\n";
    QTest::newRow("a name that looks like a URI") << "uri" << 1 << "no table 'Addresses'";
    QTest::newRow("URL parameters in an e-mail")
        << "UPDATE Addresses SET email = 'a@b?attach=/etc/passwd' WHERE Number = 6" << 0
        << "warning: 1 contact: the e-mail address carries URL parameters (a '?' after the "
           "address), which a mail program may act on: number 6";
    QTest::newRow("not a database") << "text" << 1 << "not a database file";
    QTest::newRow("missing") << "missing" << 1 << "there is no file";
}

void TestQuillboxDbExchange::check() {
    QFETCH(QString, damage);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString file = newDatabase(dir, "senha.scc", 200);
    if (damage == QLatin1String("damaged")) {
        // A name's bytes changed behind SQLite's back: the table and its index disagree.
        Sql(file).insert({"Zzyzx Marker"});
        QByteArray contents = bytes(file);
        const qsizetype at = contents.indexOf("Zzyzx Marker");
        QVERIFY(at > 0);
        contents[at] = 'Q';
        write(file, contents);
    } else if (damage == QLatin1String("hot journal")) {
        // A writer's file and journal as it left them, dying with changes spilled to the file.
        const QString live = dir.filePath("live.scc");
        QVERIFY(QFile::rename(file, live));
        Sql writer(live);
        QVERIFY(writer.exec("PRAGMA cache_size = 1; BEGIN; "
                            "UPDATE Addresses SET Address = printf('%.90c', 'x')"));
        QVERIFY(QFile::copy(live + "-journal", file + "-journal"));
        QVERIFY(QFile::copy(live, file));
    } else if (damage == QLatin1String("text")) {
        write(file, "Name,Phone\r\nnot a database\r\n");
    } else if (damage == QLatin1String("missing")) {
        QVERIFY(QFile::remove(file));
    } else if (!damage.isEmpty() && damage != QLatin1String("uri")) {
        QVERIFY(Sql(file).exec(damage));
    }
    const QString name = damage == QLatin1String("uri") ? "file:senha.scc" : "senha.scc";
    if (damage == QLatin1String("uri")) // an empty file, not senha.scc
        write(dir.filePath(name), {});
    const Run r = runTool({"check", name}, dir.path());
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.out.contains(says), qPrintable(r.out));
    QCOMPARE(r.out.contains(QLatin1String("problem: ")), exitCode != 0);
    if (exitCode == 0)
        QCOMPARE(r.err, QString());
    else
        expectFailure(r, "cannot be used by Quillbox");
    if (exitCode != 0) { // import refuses it in the same words
        write(dir.filePath("in.vcf"), vcard("FN:New, One"));
        const QString problem = r.out.section(QStringLiteral("problem: "), 1, 1).section('\n', 0, 0);
        expectFailure(runTool({"import", "in.vcf", "--into", name}, dir.path()), problem);
    }
}

void TestQuillboxDbExchange::backupWhileRecordsetOpen() {
    QTemporaryDir dir;
    const QString database = newDatabase(dir, "senha.scc", 5000);
    auto db = OpenDatabase(database);
    auto contacts = db->OpenRecordset(QStringLiteral("Addresses"));
    contacts->MoveFirst();
    contacts->MoveNext();
    contacts->Edit();
    contacts->Collect(QStringLiteral("Phone"), Value(QStringLiteral("changed before the copy")));
    contacts->Update();

    QVERIFY(QDir(dir.path()).mkdir("saved"));
    const Run r = runTool({"backup", "senha.scc", "saved/copy.scc"}, dir.path());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.out + r.err, QString());
    const QString copy = dir.filePath("saved/copy.scc");
    QCOMPARE(entries(dir.filePath("saved")), QStringList{"copy.scc"});
    QCOMPARE(QFileInfo(copy).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadUser | QFileDevice::WriteUser);

    Sql original(database), copied(copy);
    for (const char* sql :
         {"SELECT Number, Name, email, Phone, Address FROM Addresses ORDER BY Number",
          "SELECT Senha, WantPassword FROM Player", "SELECT name, seq FROM sqlite_sequence",
          "SELECT type, name, sql FROM sqlite_schema ORDER BY name"})
        QCOMPARE(copied.rows(sql), original.rows(sql));
    QCOMPARE(copied.rows("SELECT Phone FROM Addresses WHERE Number = 2"),
             QStringList{"changed before the copy"});
    QCOMPARE(copied.rows("PRAGMA integrity_check"), QStringList{"ok"});
    QCOMPARE(runTool({"check", "saved/copy.scc"}, dir.path()).exitCode, 0);

    // The program's set goes on working.
    contacts->MoveNext();
    QCOMPARE(contacts->Fields(QStringLiteral("Number")).toInt32(), 3);
}

void TestQuillboxDbExchange::backupRefuses_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("dest");
    QTest::addColumn<QString>("says");
    QTest::newRow("existing file") << "senha.scc"
                                   << "taken.scc"
                                   << "already exists";
    QTest::newRow("existing folder") << "senha.scc"
                                     << "folder"
                                     << "already exists";
    QTest::newRow("onto itself") << "senha.scc"
                                 << "senha.scc"
                                 << "already exists";
    QTest::newRow("missing folder") << "senha.scc"
                                    << "nowhere/copy.scc"
                                    << "no folder";
    QTest::newRow("missing source") << "gone.scc"
                                    << "copy.scc"
                                    << "no file";
    QTest::newRow("source not a database") << "taken.scc"
                                           << "copy.scc"
                                           << "not a database";
}

void TestQuillboxDbExchange::backupRefuses() {
    QFETCH(QString, source);
    QFETCH(QString, dest);
    QFETCH(QString, says);
    QTemporaryDir dir;
    newDatabase(dir, "senha.scc", 10);
    write(dir.filePath("taken.scc"), "keep me");
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const QStringList before = entries(dir.path());
    const QByteArray database = bytes(dir.filePath("senha.scc"));

    const Run r = runTool({"backup", source, dest}, dir.path());
    expectFailure(r, says);
    QCOMPARE(entries(dir.path()), before);
    QCOMPARE(entries(dir.filePath("folder")), QStringList());
    QCOMPARE(bytes(dir.filePath("taken.scc")), QByteArray("keep me"));
    QCOMPARE(bytes(dir.filePath("senha.scc")), database);
}

void TestQuillboxDbExchange::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("tool help") << QStringList{"--help"} << 0 << "backup DATABASE DEST";
    QTest::newRow("import help") << QStringList{"import", "--help"} << 0 << "--into <DATABASE>";
    QTest::newRow("export help") << QStringList{"export", "-h"} << 0 << "--version <V>";
    QTest::newRow("check help") << QStringList{"check", "--help"} << 0 << "status 0";
    QTest::newRow("backup help") << QStringList{"backup", "--help"} << 0 << "online backup";
    QTest::newRow("import without --into") << QStringList{"import", "a.vcf"} << 2 << "--into";
    QTest::newRow("import two files")
        << QStringList{"import", "a.vcf", "b.vcf", "--into", "s.scc"} << 2 << "one FILE";
    QTest::newRow("import bad format")
        << QStringList{"import", "a", "--into", "s", "--format", "xml"} << 2 << "vcard or csv";
    QTest::newRow("export without format")
        << QStringList{"export", "s.scc"} << 2 << "--vcard and --csv";
    QTest::newRow("export both formats")
        << QStringList{"export", "s.scc", "--vcard", "--csv"} << 2 << "one of";
    QTest::newRow("export bad version")
        << QStringList{"export", "s.scc", "--vcard", "--version", "2.1"} << 2 << "3.0 or 4.0";
    QTest::newRow("CSV with version")
        << QStringList{"export", "s.scc", "--csv", "--version", "3.0"} << 2 << "--version";
    QTest::newRow("check without file") << QStringList{"check"} << 2 << "one DATABASE";
    QTest::newRow("backup one file") << QStringList{"backup", "s.scc"} << 2 << "DEST";
}

void TestQuillboxDbExchange::usage() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const Run r = runTool(arguments, dir.path());
    QCOMPARE(r.exitCode, exitCode);
    if (exitCode == 0) {
        QVERIFY2(r.out.startsWith(QLatin1String("Usage: quillbox-db")), qPrintable(r.out));
        QVERIFY2(r.out.contains(says), qPrintable(r.out));
        QCOMPARE(r.err, QString());
    } else {
        expectFailure(r, says);
        QCOMPARE(r.out, QString());
    }
    QCOMPARE(entries(dir.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestQuillboxDbExchange)
#include "tst_quillboxdb_exchange.moc"
