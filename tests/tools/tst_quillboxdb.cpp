// Runs the built quillbox-db as a user would: create, import, export, check and backup, against
// files the tests fill and inspect with plain SQL, and the files each leaves (or does not).

#include "data/Connection.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "data/Sqlite.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillbox::data;

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

constexpr uid_t nobody = 65534;
bool g_asNobody = false; // the tool runs as nobody: root writes any file, whatever its modes

// The tool as nobody runs it: a copy in a temporary folder of nobody's own, since the build
// folder may lie below a home folder only its owner may enter (root's always does). The tool
// links its own libraries in, so the copy is all it needs.
QString nobodysTool() {
    static QTemporaryDir dir;
    const QString tool = dir.filePath(QStringLiteral("quillbox-db"));
    if (!QFile::exists(tool) && dir.isValid()) {
        if (!QFile::copy(QStringLiteral(QUILLBOX_DB), tool) ||
            ::chown(QFile::encodeName(dir.path()).constData(), nobody, nobody) != 0)
            return {};
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                        QFile::ExeOther);
    }
    return tool;
}

Run runTool(const QStringList& arguments, const QString& workingDirectory) {
    QProcess p;
    if (g_asNobody)
        p.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
                ::_exit(127);
        });
    p.setWorkingDirectory(workingDirectory);
    p.start(g_asNobody ? nobodysTool() : QStringLiteral(QUILLBOX_DB), arguments);
    if (!p.waitForFinished(240'000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QByteArray bytes(const QString& fileName) {
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& fileName, const QByteArray& contents) {
    QFile f(fileName);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(contents) == contents.size());
}

// Makes `file` readable only, by the user who runs the tool: under root, nobody, who then owns
// the folder and all in it.
void makeReadOnly(const QString& dir, const QString& file) {
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
    g_asNobody = ::geteuid() == 0;
    for (QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
         g_asNobody && it.hasNext();)
        QCOMPARE(::lchown(QFile::encodeName(it.next()).constData(), nobody, nobody), 0);
    QVERIFY(!g_asNobody || ::chown(QFile::encodeName(dir).constData(), nobody, nobody) == 0);
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Plain SQL on a connection of its own, as another program would: without the program's guards.
class Sql {
public:
    explicit Sql(const QString& fileName) : db_(fileName, Access::ReadWrite) {
        sqlite3_db_config(db_.handle(), SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
        sqlite3_limit(db_.handle(), SQLITE_LIMIT_LENGTH, 1 << 30);
    }
    void exec(const QString& sql) { sqlite::exec(db_.handle(), sql.toUtf8().constData()); }
    void insert(const QStringList& contact) { // name, email, phone, address
        sqlite::Statement s(db_.handle(), "INSERT INTO Addresses (Name, email, Phone, Address) "
                                          "VALUES (?1, ?2, ?3, ?4)");
        for (int i = 0; i < 4; ++i)
            s.bind(i + 1, Value(contact.value(i)));
        s.step();
    }
    // Each row's columns joined by '|'.
    QStringList rows(const char* sql) {
        QStringList out;
        sqlite::Statement s(db_.handle(), sql);
        while (s.step()) {
            QStringList columns;
            for (int i = 0; i < s.columnCount(); ++i)
                columns << (s.columnType(i) == SQLITE_NULL ? QStringLiteral("<null>") : s.qtext(i));
            out << columns.join(QLatin1Char('|'));
        }
        return out;
    }
    QStringList contacts() {
        return rows("SELECT Name, email, Phone, Address FROM Addresses ORDER BY Number");
    }

private:
    Connection db_;
};

QString newDatabase(const QTemporaryDir& dir, const QString& name, int contacts = 0,
                    const QStringList& more = {}) {
    const Run r = runTool(
        QStringList{"create", name, "--contacts", QString::number(contacts)} + more, dir.path());
    return r.exitCode == 0 ? dir.filePath(name) : r.err;
}

void expectFailure(const Run& r, const QString& mentions = {}, int exitCode = 1) {
    QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
    QVERIFY2(r.err.startsWith(QLatin1String("quillbox-db: ")), qPrintable(r.err));
    QVERIFY2(r.err.contains(mentions), qPrintable(r.err));
}

const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ReadUser | QFileDevice::WriteUser;

QByteArray vcard(const QByteArray& body) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "\r\nEND:VCARD\r\n";
}

} // namespace

class TestQuillboxDb : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { g_asNobody = false; }
    void helpListsTheCommands();
    void newFile();
    void refusesAndLeavesFilesAlone_data();
    void refusesAndLeavesFilesAlone();
    void interrupted_data();
    void interrupted();
    void roundTrip_data();
    void roundTrip();
    void check_data();
    void check();
    void whileProgramHasFileOpen();
};

// The tool's help names every command with what it takes and does, as the README shows them.
void TestQuillboxDb::helpListsTheCommands() {
    QTemporaryDir dir;
    const Run r = runTool({"--help"}, dir.path());
    const QString indent(17, u' ');
    const QStringList expected = {
        "create FILE [--contacts N] [--seed S]", "Writes a new database FILE.",
        "import FILE.vcf|FILE.csv --into DATABASE",
        "Adds the people of vCards or a CSV table as contacts.",
        "export DATABASE --vcard [--version 3.0|4.0] | --csv [-o FILE]",
        "Writes every contact as vCards or a CSV table.", "check DATABASE",
        "Tells whether Quillbox can use the file, and what is wrong.", "backup DATABASE DEST",
        "Copies the file safely, even while Quillbox runs.",
        "sync DATABASE [--url URL --user NAME] [--password-command CMD] [--quiet]",
        "Keeps the contacts in step with a CardDAV address book."};
    QString list = "Commands (each has its --help):\n";
    for (qsizetype i = 0; i < expected.size(); i += 2)
        list += "  " + expected[i] + "\n" + indent + expected[i + 1] + "\n";
    QVERIFY2(r.out.endsWith(list), qPrintable(r.out));
}

// Far past the point where plain "Last, First" names start to repeat, none empty, repeated or
// over the limits: check finds nothing to warn of. The seed decides them.
void TestQuillboxDb::newFile() {
    QTemporaryDir dir;
    QVERIFY(runTool({"create", "a.scc", "--help"}, dir.path()).out.contains("--seed <S>"));
    const Run r = runTool({"create", "a.scc", "--contacts", "100000"}, dir.path());
    QCOMPARE(r.out + r.err, QString());
    // Neither the temporary file nor a journal is left beside it.
    QCOMPARE(entries(dir.path()), QStringList{"a.scc"});
    const QByteArray header = bytes(dir.filePath("a.scc")).left(20);
    QVERIFY(header.startsWith(QByteArrayLiteral("SQLite format 3\0")) && header.endsWith("\1\1"));
    QCOMPARE(runTool({"check", "a.scc"}, dir.path()).out, "'a.scc' can be used by Quillbox.\n");
    // The password is empty text, not Null; protection is off.
    QCOMPARE(
        Sql(dir.filePath("a.scc"))
            .rows("SELECT typeof(Senha), Senha, typeof(WantPassword), WantPassword, "
                  "(SELECT count(*) || '-' || min(Number) || '-' || max(Number) FROM Addresses), "
                  "(SELECT seq FROM sqlite_sequence) FROM Player"),
        QStringList{"text||integer|0|100000-1-100000|100000"});
    // The same seed gives the same file, byte for byte; the default seed is 1; another differs.
    newDatabase(dir, "b.scc", 300, {"--seed", "1"});
    newDatabase(dir, "c.scc", 300);
    newDatabase(dir, "d.scc", 300, {"--seed", "8"});
    QCOMPARE(bytes(dir.filePath("b.scc")), bytes(dir.filePath("c.scc")));
    QVERIFY(Sql(dir.filePath("d.scc")).contacts() != Sql(dir.filePath("c.scc")).contacts());
    // And from one version to the next, so that figures taken on made files compare; enough
    // of them that every word the maker draws from is used.
    QCOMPARE(QCryptographicHash::hash(Sql(dir.filePath("a.scc")).contacts().join(u'\n').toUtf8(),
                                      QCryptographicHash::Sha256)
                 .toHex(),
             QByteArray("83a24ee76a57f3b35c3be0f338c3b700a950feb0dd8e8a968490836b7bd9b228"));
}

// Each refusal ends with status 1 (a usage error with 2), names the file or the mistake, and
// leaves every file as it was.
void TestQuillboxDb::refusesAndLeavesFilesAlone_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");
    QTest::newRow("create over a file") << QStringList{"create", "taken.scc"} << "taken.scc";
    QTest::newRow("create over a dangling link")
        << QStringList{"create", "link.scc"}
        << "a file or folder of that name already exists (it is left as it is)";
    QTest::newRow("create in a missing folder") << QStringList{"create", "no/s.scc"} << "folder";
    QTest::newRow("create without a file name") << QStringList{"create", "folder/"} << "name";
    QTest::newRow("export over a file")
        << QStringList{"export", "senha.scc", "--vcard", "-o", "taken.scc"} << "taken.scc";
    QTest::newRow("export of a file damaged past its first pages")
        << QStringList{"export", "damaged.scc", "--csv", "-o", "out.csv"} << "could not be read";
    QTest::newRow("backup over a file")
        << QStringList{"backup", "senha.scc", "taken.scc"} << "already exists";
    QTest::newRow("backup of a missing file")
        << QStringList{"backup", "gone.scc", "copy.scc"} << "no file";
    QTest::newRow("backup of a text file")
        << QStringList{"backup", "taken.scc", "copy.scc"} << "not a database";
    // A file to import with any fault stores nothing.
    const QStringList into{"--into", "senha.scc"};
    QTest::newRow("import, card without END") << QStringList{"import", "a.vcf"} + into << "line 9";
    QTest::newRow("import, unknown kind")
        << QStringList{"import", "taken.scc"} + into << "--format";
    QTest::newRow("import, record numbers left for one")
        << QStringList{"import", "two.vcf"} + into << "no record numbers left";
    QTest::newRow("import, no such file") << QStringList{"import", "gone.vcf"} + into << "no file";
    // Neither read for ever nor waited on.
    QTest::newRow("import, a FIFO") << QStringList{"import", "pipe.vcf"} + into << "not a regular";
    QTest::newRow("import, a link to a device")
        << QStringList{"import", "zero.vcf"} + into << "not a regular";
    QTest::newRow("import, too large") << QStringList{"import", "big.vcf"} + into << "256 MiB";
    for (const char* target : {"pipe.vcf", "zero.vcf"})
        QTest::addRow("import into %s", target)
            << QStringList{"import", "two.vcf", "--into", target} << "not a regular";
    QTest::newRow("usage: no command") << QStringList{} << "no command";
    QTest::newRow("usage: create two files") << QStringList{"create", "a", "b"} << "too many";
    QTest::newRow("usage: check two files")
        << QStringList{"check", "a", "b"} << "check reads one DATABASE.";
    for (const char* count : {"-1", "2.5", "10000001"})
        QTest::addRow("usage: count %s", count)
            << QStringList{"create", "a", "--contacts", count} << "0 to 10000000";
    QTest::newRow("usage: seed beyond 64 bits")
        << QStringList{"create", "a", "--seed", "18446744073709551616"} << "18446744073709551615";
    QTest::newRow("usage: backup without a copy")
        << QStringList{"backup", "s.scc"} << "backup takes a DATABASE and a DEST.";
    QTest::newRow("usage: import without --into") << QStringList{"import", "a.vcf"} << "--into";
    QTest::newRow("usage: export without format") << QStringList{"export", "s"} << "--vcard and";
    QTest::newRow("usage: export bad version")
        << QStringList{"export", "s.scc", "--vcard", "--version", "2.1"} << "3.0 or 4.0";
}

void TestQuillboxDb::refusesAndLeavesFilesAlone() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);
    QTemporaryDir dir;
    newDatabase(dir, "senha.scc", 10);
    Sql(dir.filePath("senha.scc")).exec("UPDATE sqlite_sequence SET seq = 2147483646");
    if (arguments.contains("damaged.scc")) { // a page of contacts zeroed
        newDatabase(dir, "damaged.scc", 3000);
        QFile damaged(dir.filePath("damaged.scc"));
        QVERIFY(damaged.open(QIODevice::ReadWrite) && damaged.seek(40 * 4096) &&
                damaged.write(QByteArray(4096, 0)) == 4096);
    }
    write(dir.filePath("taken.scc"), "someone's contacts, not to be lost\n");
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(QFile::link(dir.filePath("nowhere.scc"), dir.filePath("link.scc")));
    write(dir.filePath("a.vcf"),
          vcard("FN:Good, One") + vcard("FN:Good, Two") + "BEGIN:VCARD\r\nFN:Bad\r\n");
    write(dir.filePath("two.vcf"), vcard("FN:One") + vcard("FN:Two"));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe.vcf")).constData(), 0600), 0);
    QVERIFY(QFile::link("/dev/zero", dir.filePath("zero.vcf")));
    QFile big(dir.filePath("big.vcf")); // sparse: no disk used
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(257LL * 1024 * 1024));
    big.close();
    const QStringList before = entries(dir.path());
    const QByteArray database = bytes(dir.filePath("senha.scc"));

    const Run r = runTool(arguments, dir.path());
    const bool usage = QString::fromLatin1(QTest::currentDataTag()).startsWith("usage");
    expectFailure(r, says, usage ? 2 : 1);
    QVERIFY2(r.err.contains(usage ? "--help' for more." : ""), qPrintable(r.err));
    if (arguments.value(0) == QLatin1String("import") && !usage)
        QVERIFY2(r.err.contains(QLatin1String("nothing was imported")), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QCOMPARE(entries(dir.path()), before);
    QCOMPARE(entries(dir.filePath("folder")), QStringList());
    QCOMPARE(bytes(dir.filePath("taken.scc")), QByteArray("someone's contacts, not to be lost\n"));
    QCOMPARE(bytes(dir.filePath("senha.scc")), database);
    QVERIFY(QFileInfo(dir.filePath("link.scc")).isSymLink());
    QVERIFY(!QFileInfo::exists(dir.filePath("nowhere.scc")));
}

// Ctrl-C at any moment of a long run ends it with status 1 and leaves every file as it was:
// nothing is stored, and no file or journal is made.
void TestQuillboxDb::interrupted_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("shown"); // what the tool shows on its terminal by then
    QTest::addColumn<QString>("says");  // and what it says it stopped
    const QStringList import{"import", "big.vcf", "--into", "senha.scc"};
    QTest::newRow("create") << QStringList{"create", "new.scc", "--contacts", "10000000"}
                            << "creating.*%"
                            << "cannot create 'new.scc': interrupted";
    QTest::newRow("import, reading") << import << "importing.*\\s[1-4]?\\d%"
                                     << "cannot import 'big.vcf': interrupted";
    QTest::newRow("import, storing") << import << "importing.*\\s[5-9]\\d%"
                                     << "into 'senha.scc': interrupted";
    QTest::newRow("import, waiting for a busy file") << import << "waiting"
                                                     << "into 'senha.scc': interrupted";
    QTest::newRow("backup, waiting for a busy file")
        << QStringList{"backup", "senha.scc", "copy.scc"} << "waiting" << "interrupted";
}

void TestQuillboxDb::interrupted() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, shown);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString database = newDatabase(dir, "senha.scc", 10);
    QByteArray cards; // read in well over the half second before the tool shows its progress
    for (int i = 0; i < 1'000'000 && arguments.front() == QLatin1String("import"); ++i)
        cards += vcard("FN:Person " + QByteArray::number(i));
    write(dir.filePath("big.vcf"), cards);
    const QStringList before = entries(dir.path());
    const QByteArray contents = bytes(database); // before the lock, which a close would drop
    std::optional<Sql> holder;
    if (shown == QLatin1String("waiting")) {
        holder.emplace(database);
        holder->exec("BEGIN EXCLUSIVE"); // readers wait too
    }
    // On a terminal of its own, where the tool shows how far it is and Ctrl-C is typed.
    QProcess tool;
    tool.setWorkingDirectory(dir.path());
    tool.start("script", {"-qefc", "exec " QUILLBOX_DB " " + arguments.join(' '), "/dev/null"});
    QString output;
    while (!output.contains(QRegularExpression(shown))) {
        QVERIFY2(tool.waitForReadyRead(60'000), qPrintable(output));
        output += QString::fromUtf8(tool.readAll());
    }
    tool.write("\x03");
    QVERIFY(tool.waitForFinished(60'000));
    QVERIFY2(tool.exitCode() == 1 && (output + tool.readAll()).contains(says), qPrintable(output));
    QCOMPARE(entries(dir.path()), before);
    QCOMPARE(bytes(database), contents);
}

void TestQuillboxDb::roundTrip_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("file");
    QTest::newRow("vCard 4.0") << QStringList{"--vcard"} << "out.vcf";
    QTest::newRow("vCard 3.0") << QStringList{"--vcard", "--version", "3.0"} << "out.vcf";
    QTest::newRow("CSV") << QStringList{"--csv"} << "out.csv";
}

// Generated contacts and texts made to trouble the formats go out of a file that may only be
// read, and come back unchanged, in the order of the program's list.
void TestQuillboxDb::roundTrip() {
    QFETCH(QStringList, options);
    QFETCH(QString, file);
    QTemporaryDir dir;
    const QString from = newDatabase(dir, "from.scc", 300);
    QList<QStringList> nasty = {
        {"Madonna", "", "", ""},
        {" Doe, John ", " a@b ", " 1 ", " x \r\n y "},
        {"A;B, C,D", "\\", "^n", "END:VCARD\r\nBEGIN:VCARD"},
        {"👩‍👩‍👧, Zoë", "zoë@例え.jp", "☎️", "Straße 1\r\n東京都"},
    };
    const QString feff(QChar(0xFEFF)); // a character of the text, not a byte-order mark
    nasty.append({{feff + "Anna", feff + "a@b", feff + "1", feff}, {feff}});
    for (const char* name : {"beta", "Zeta", "Alpha", "Émile", "alpha", "zeta", "ALPHA"})
        nasty.append({QString::fromUtf8(name)});
    for (const QStringList& c : nasty)
        Sql(from).insert(c);
    makeReadOnly(dir.path(), from);
    const Run exported =
        runTool(QStringList{"export", "from.scc", "-o", file} + options, dir.path());
    QVERIFY2(exported.exitCode == 0 && exported.out.isEmpty(), qPrintable(exported.err));
    QCOMPARE(QFileInfo(dir.filePath(file)).permissions(), ownerOnly);
    // The same bytes go to stdout without -o.
    QCOMPARE(runTool(QStringList{"export", "from.scc"} + options, dir.path()).out.toUtf8(),
             bytes(dir.filePath(file)));
    newDatabase(dir, "to.scc");
    const Run imported = runTool({"import", file, "--into", "to.scc"}, dir.path());
    QVERIFY2(
        imported.out.startsWith(QStringLiteral("imported %1 contacts").arg(300 + nasty.size())),
        qPrintable(imported.err));
    Sql to(dir.filePath("to.scc"));
    QStringList before = Sql(from).contacts(), after = to.contacts();
    before.sort();
    after.sort();
    QCOMPARE(after, before);
    const char* feffs = "SELECT hex(Name), hex(email), hex(Phone), hex(Address) FROM Addresses "
                        "WHERE unicode(Name) = 65279 ORDER BY hex(Name)";
    QCOMPARE(to.rows(feffs), Sql(from).rows(feffs));
    QCOMPARE(to.rows(feffs).size(), 2);
    // Case ignored, accents after the letter, equal names in record order.
    QCOMPARE(to.rows("SELECT Name FROM Addresses WHERE length(Name) <= 5 AND unicode(Name) <> "
                     "65279 ORDER BY Number"),
             QStringList({"Alpha", "alpha", "ALPHA", "beta", "Émile", "Zeta", "zeta"}));
}

void TestQuillboxDb::check_data() {
    QTest::addColumn<QString>("damage"); // SQL run on a sound file, or a special case
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("sound") << "" << 0 << "can be used by Quillbox.\n";
    QTest::newRow("long texts")
        << "UPDATE Addresses SET Address = printf('%.120c', 'x') WHERE Number = 3" << 0
        << "boxes take (shown whole, but cut if edited): the address of number 3";
    QTest::newRow("Null name") << "UPDATE Addresses SET Name = NULL WHERE Number = 7" << 1
                               << "problem: 1 contact has no name at all (Null)";
    QTest::newRow("number beyond 32 bits")
        << "UPDATE Addresses SET Number = 4294967296 WHERE Number = 2" << 1
        << "problem: 1 contact has a record number beyond the 32 bits";
    QTest::newRow("numbering used up")
        << "UPDATE sqlite_sequence SET seq = 2147483647" << 0 << "adding a contact will fail";
    QTest::newRow("no settings record")
        << "DELETE FROM Player" << 1 << "settings record is missing";
    QTest::newRow("protection without password")
        << "UPDATE Player SET WantPassword = 1, Senha = NULL" << 1
        << "password protection is on but no password is stored (Senha is Null): no password "
           "opens the program";
    QTest::newRow("no password, protection off")
        << "UPDATE Player SET WantPassword = 0, Senha = NULL" << 0
        << "warning: no password is stored (Senha is Null): were protection switched on, no "
           "password would open the program";
    QTest::newRow("damaged") // an index that holds what its definition no longer says
        << "CREATE INDEX x ON Addresses (Phone); PRAGMA writable_schema = ON; UPDATE "
           "sqlite_schema SET sql = replace(sql, 'Phone', 'Address') WHERE name = 'x'"
        << 1 << "problem: the file is damaged";
    QTest::newRow("hot journal") << "hot journal" << 0 << "can be used by Quillbox.\n";
    QTest::newRow("URL parameters in an e-mail")
        << "UPDATE Addresses SET email = 'a@b?attach=/etc/passwd' WHERE Number = 6" << 0
        << "warning: 1 contact: the e-mail address carries URL parameters (a '?' after";
    QTest::newRow("URL parameters behind an encoded '?'")
        << "UPDATE Addresses SET email = 'a@b%3fattach=/etc/passwd' WHERE Number = 6" << 0
        << "warning: 1 contact: the e-mail address carries URL parameters";
    QTest::newRow("not a database") << "text" << 1 << "not a database file";
    QTest::newRow("missing") << "missing" << 1 << "there is no file";
    QTest::newRow("a name that looks like a URI") << "uri" << 1 << "no table 'Addresses'";
    QTest::newRow("held locked by another program") << "locked" << 3 << "problem: the file is busy";
    QTest::newRow("WAL mode, which check leaves so") << "PRAGMA journal_mode = WAL" << 0 << "";
    QTest::newRow("read-only") << "read-only" << 1
                               << "problem: the program could not write the file";
    // A file made to run code of its own, or to exhaust memory: each a problem, found at once.
    QTest::newRow("expression index")
        << "CREATE INDEX e ON Addresses (length(hex(zeroblob(1 + Number)))); "
           "PRAGMA writable_schema = ON; "
           "UPDATE sqlite_schema SET sql = replace(sql, '1 +', '200000000 +') WHERE name = 'e'"
        << 1 << "'e' of the table Addresses is on an expression\nproblem: check gave up";
    QTest::newRow("CHECK constraint") << "ALTER TABLE Player ADD COLUMN Note CHECK (Note <> 'x')"
                                      << 1 << "the table Player has a CHECK constraint";
    QTest::newRow("CHECK only in quotes")
        << "ALTER TABLE Player ADD COLUMN \"check (x)\" DEFAULT 'CHECK (1)'" << 0 << "";
    QTest::newRow("trigger") << "CREATE TRIGGER t AFTER UPDATE ON Addresses BEGIN SELECT 1; END"
                             << 1 << "the trigger 't' on the table Addresses runs code";
    QTest::newRow("value at the limit") // 8 MiB of text
        << "UPDATE Addresses SET Address = hex(zeroblob(4194304)) WHERE Number = 4" << 0 << "";
    QTest::newRow("value one byte beyond the limit")
        << "UPDATE Addresses SET Address = hex(zeroblob(4194304)) || 'x' WHERE Number = 4" << 1
        << "problem: the file holds a value longer than 8 MiB";
}

void TestQuillboxDb::check() {
    QFETCH(QString, damage);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString file = newDatabase(dir, "senha.scc", 200);
    std::optional<Sql> holder; // keeps its lock until the check has run
    if (damage == QLatin1String("hot journal")) {
        // A writer's file and journal as it left them, dying with changes spilled to the file.
        const QString live = dir.filePath("live.scc");
        QVERIFY(QFile::rename(file, live));
        Sql writer(live);
        writer.exec("PRAGMA cache_size = 1; BEGIN; "
                    "UPDATE Addresses SET Address = printf('%.90c', 'x')");
        QVERIFY(QFile::copy(live + "-journal", file + "-journal"));
        QVERIFY(QFile::copy(live, file));
    } else if (damage == QLatin1String("text")) {
        write(file, "Name,Phone\r\nnot a database\r\n");
    } else if (damage == QLatin1String("missing")) {
        QVERIFY(QFile::remove(file));
    } else if (damage == QLatin1String("uri")) { // an empty file, not senha.scc
        write(dir.filePath("file:senha.scc"), {});
    } else if (damage == QLatin1String("read-only")) {
        makeReadOnly(dir.path(), file);
    } else if (!damage.isEmpty() && damage != QLatin1String("locked")) {
        Sql(file).exec(damage);
    }
    // Read before the lock is taken: closing any descriptor of the file drops the process's
    // locks on it.
    const QByteArray contents = bytes(file);
    if (damage == QLatin1String("locked")) {
        holder.emplace(file);
        holder->exec("BEGIN EXCLUSIVE");
    }
    const QString name = damage == QLatin1String("uri") ? "file:senha.scc" : "senha.scc";
    const QStringList before = entries(dir.path());
    const Run r = runTool({"check", name}, dir.path());
    QCOMPARE(r.exitCode, exitCode);
    for (const QString& line : says.split(QLatin1Char('\n')))
        QVERIFY2(r.out.contains(line), qPrintable(r.out));
    if (damage != QLatin1String("hot journal")) { // check itself changes nothing, makes nothing
        QCOMPARE(bytes(file), contents);
        QCOMPARE(entries(dir.path()), before);
    }
    QCOMPARE(r.out.contains(QLatin1String("problem: ")), exitCode != 0);
    if (exitCode == 0)
        QCOMPARE(r.err, QString());
    else
        expectFailure(r, exitCode == 3 ? "busy" : "cannot be used by Quillbox", exitCode);
    if (exitCode == 1 && damage != QLatin1String("uri") &&
        damage != QLatin1String("missing")) { // import and sync refuse it in the same words
        write(dir.filePath("in.vcf"), vcard("FN:New, One"));
        const QString problem =
            r.out.section(QStringLiteral("problem: "), 1, 1).section('\n', 0, 0);
        expectFailure(runTool({"import", "in.vcf", "--into", "senha.scc"}, dir.path()), problem);
        expectFailure(runTool({"sync", "senha.scc", "--url", "http://127.0.0.1:1/", "--user", "u"},
                              dir.path()),
                      problem);
    }
}

// The program's connection stays open, written through and idle, as between two clicks, while
// the tool imports, reporting what it skipped and cut, and backs up; then the program goes on.
void TestQuillboxDb::whileProgramHasFileOpen() {
    QTemporaryDir dir;
    const QString database = newDatabase(dir, "senha.scc");
    Sql(database).insert({"Doe, John", "old@x"});
    auto db = OpenDatabase(database);
    auto contacts = db->OpenRecordset(QStringLiteral("Addresses"));
    contacts->MoveFirst();
    contacts->Edit();
    contacts->Collect(QStringLiteral("Phone"), Value(QStringLiteral("9")));
    contacts->Update();
    const QByteArray n48(48, 'n');
    write(dir.filePath("in.vcf"),
          vcard("N:Doe;John;;;\r\nEMAIL:new@x") + // line 1: stored already
              vcard("FN:Roe, Jane\r\nTEL:1") +    // line 6
              vcard("EMAIL:nobody@x") +           // line 11: no name
              vcard("N:Roe;Jane;;;\r\nTEL:2") +   // line 15: came before
              vcard("FN: Doe, John") +            // line 20: a blank makes it another
              vcard("FN:doe, john\r\nEMAIL:d@x?attach=/etc/passwd") + // line 24: case, too
              vcard("FN:" + n48 + "\xF0\x9F\x98\x80\r\nADR:;;" + QByteArray(98, 'a') + // line 29
                    "\\nb;;;;"));
    const Run r = runTool({"import", "in.vcf", "--into", "senha.scc"}, dir.path());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.err, QString());
    const QString cut = "cut: card at line 29, \"" + n48 + "\": the ";
    QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             QStringList({"imported 4 contacts from 'in.vcf' into 'senha.scc'; cut 2 texts; "
                          "skipped 3 people",
                          cut + "name, from 50 to 48 characters",
                          cut + "address, from 101 to 98 characters",
                          "skipped: card at line 1, \"Doe, John\": a contact of that name is "
                          "already in the file",
                          "skipped: card at line 11 (nobody@x): it has no name",
                          "skipped: card at line 15, \"Roe, Jane\": the same name came before, "
                          "in the card at line 6",
                          "warning: card at line 24, \"doe, john\": the e-mail address carries "
                          "URL parameters (a '?' after the address), which a mail program may "
                          "act on"}));
    QCOMPARE(
        Sql(database).contacts(),
        QStringList({"Doe, John|old@x|9|", "Roe, Jane||1|", " Doe, John|||",
                     "doe, john|d@x?attach=/etc/passwd||", n48 + "|||" + QByteArray(98, 'a')}));

    QVERIFY(QDir(dir.path()).mkdir("saved"));
    const Run backup = runTool({"backup", "senha.scc", "saved/copy.scc"}, dir.path());
    QCOMPARE(backup.out + backup.err, QString());
    const QString copy = dir.filePath("saved/copy.scc");
    QCOMPARE(entries(dir.filePath("saved")), QStringList{"copy.scc"});
    QCOMPARE(QFileInfo(copy).permissions(), ownerOnly);
    Sql original(database), copied(copy);
    for (const char* sql :
         {"SELECT Number, Name, email, Phone, Address FROM Addresses ORDER BY Number",
          "SELECT Senha, WantPassword FROM Player", "SELECT name, seq FROM sqlite_sequence",
          "SELECT type, name, sql FROM sqlite_schema ORDER BY name", "PRAGMA integrity_check"})
        QCOMPARE(copied.rows(sql), original.rows(sql));

    // The program sees the new contacts and numbers after them.
    QCOMPARE(contacts->RecordCount(), 5);
    contacts->AddNew();
    contacts->Collect(QStringLiteral("Name"), Value(QStringLiteral("Typed, In")));
    QCOMPARE(contacts->Fields(QStringLiteral("Number")).toInt32(), 6);
    contacts->Update();
    QCOMPARE(original.rows("SELECT count(*) FROM Addresses"), QStringList{"6"});
}

QTEST_GUILESS_MAIN(TestQuillboxDb)
#include "tst_quillboxdb.moc"
