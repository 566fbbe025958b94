// Runs the built quillbox-db as a user would and checks the files it leaves (or does not).

#include "data/Database.h"
#include "data/Recordset.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <algorithm>

using namespace quillbox::data;

namespace {

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out, err;
};

Run runTool(const QStringList& arguments, const QString& workingDirectory) {
    QProcess p;
    p.setWorkingDirectory(workingDirectory);
    p.start(QStringLiteral(QUILLBOX_DB), arguments);
    Run r;
    if (!p.waitForFinished(240'000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.status = p.exitStatus();
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray bytes(const QString& fileName) {
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Contact {
    int number = 0;
    QString name, phone, address, email;
};

QList<Contact> readContacts(const QString& fileName) {
    QList<Contact> out;
    auto db = OpenDatabase(fileName);
    auto rs = db->OpenRecordset(QStringLiteral("Addresses"), dbOpenDynaset);
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        out.append({rs->Fields(QStringLiteral("Number")).toInt32(),
                    rs->Fields(QStringLiteral("Name")).toText(),
                    rs->Fields(QStringLiteral("Phone")).toText(),
                    rs->Fields(QStringLiteral("Address")).toText(),
                    rs->Fields(QStringLiteral("email")).toText()});
    return out;
}

QStringList names(const QList<Contact>& contacts) {
    QStringList out;
    for (const Contact& c : contacts)
        out << c.name;
    return out;
}

// The one integer a query yields, read past the data layer.
qint64 queryInt(const QString& fileName, const char* sql) {
    sqlite3* db = nullptr;
    qint64 value = -1;
    if (sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            value = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return value;
}

void expectRefusal(const Run& r) {
    QCOMPARE(r.status, QProcess::NormalExit);
    QVERIFY2(r.exitCode != 0, qPrintable(r.err));
    QVERIFY2(r.err.startsWith(QLatin1String("quillbox-db: ")), qPrintable(r.err));
    QVERIFY(r.err.size() > 20);
}

} // namespace

class TestQuillboxDb : public QObject {
    Q_OBJECT

private slots:
    void newFileOpensWithSettingsRecord();
    void contacts_data();
    void contacts();
    void seedDecidesContacts();
    void refusesToOverwrite_data();
    void refusesToOverwrite();
    void failsWithoutLeavingFiles_data();
    void failsWithoutLeavingFiles();
    void interruptedRunLeavesNothing();
    void rejectsBadArguments_data();
    void rejectsBadArguments();
    void help_data();
    void help();
};

void TestQuillboxDb::newFileOpensWithSettingsRecord() {
    QTemporaryDir dir;
    const Run r = runTool({QStringLiteral("create"), QStringLiteral("senha.scc")}, dir.path());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QString());
    // Neither the temporary file nor a journal is left beside it.
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("senha.scc")});

    const QString file = dir.filePath(QStringLiteral("senha.scc"));
    const QByteArray header = bytes(file).left(20);
    QVERIFY(header.startsWith(QByteArrayLiteral("SQLite format 3\0")));
    QCOMPARE(int(header[18]), 1); // rollback journal, not WAL
    QCOMPARE(int(header[19]), 1);

    auto db = OpenDatabase(file);
    auto player = db->OpenRecordset(QStringLiteral("Player"), dbOpenDynaset);
    QCOMPARE(player->RecordCount(), 1);
    const Value password = player->Fields(QStringLiteral("Senha"));
    QCOMPARE(password.type(), Value::Type::Text); // empty text, not Null
    QCOMPARE(password.toText(), QString());
    const Value wanted = player->Fields(QStringLiteral("WantPassword"));
    QCOMPARE(wanted.type(), Value::Type::Integer);
    QCOMPARE(wanted.toInt32(), 0);

    auto addresses = db->OpenRecordset(QStringLiteral("Addresses"), dbOpenDynaset);
    QVERIFY(addresses->Bof() && addresses->Eof());
}

void TestQuillboxDb::contacts_data() {
    QTest::addColumn<int>("count");
    QTest::newRow("one") << 1;
    QTest::newRow("some") << 250;
    // Far past the point where plain "Last, First" names start to repeat.
    QTest::newRow("many") << 100'000;
}

void TestQuillboxDb::contacts() {
    QFETCH(int, count);
    QTemporaryDir dir;
    const Run r = runTool({QStringLiteral("create"), QStringLiteral("senha.scc"),
                           QStringLiteral("--contacts"), QString::number(count)},
                          dir.path());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QString file = dir.filePath(QStringLiteral("senha.scc"));

    const QList<Contact> contacts = readContacts(file);
    QCOMPARE(contacts.size(), count);
    QCOMPARE(queryInt(file, "SELECT seq FROM sqlite_sequence WHERE name = 'Addresses'"), count);

    static const QRegularExpression nameForm(QStringLiteral("^[^,]+, [^,]+$"));
    static const QRegularExpression emailForm(
        QStringLiteral("^[a-z0-9]+([._][a-z0-9]+)*@([a-z0-9-]+\\.)+[a-z]+$"));
    static const QRegularExpression phoneForm(QStringLiteral("^\\+?[0-9(][0-9 ()./+-]*[0-9]$"));
    QSet<QString> seen, domains;
    QSet<int> lineCounts;
    bool nonAscii = false;
    for (int i = 0; i < contacts.size(); ++i) {
        const Contact& c = contacts[i];
        QCOMPARE(c.number, i + 1);
        QVERIFY2(nameForm.match(c.name).hasMatch(), qPrintable(c.name));
        QVERIFY2(c.name.size() <= 49, qPrintable(c.name));
        QVERIFY2(!seen.contains(c.name), qPrintable(c.name));
        seen.insert(c.name);
        nonAscii = nonAscii || std::any_of(c.name.begin(), c.name.end(),
                                           [](QChar ch) { return ch.unicode() > 0x7f; });

        QVERIFY2(emailForm.match(c.email).hasMatch(), qPrintable(c.email));
        QVERIFY2(c.email.size() <= 99, qPrintable(c.email));
        domains.insert(c.email.section(QLatin1Char('@'), 1));

        QVERIFY2(phoneForm.match(c.phone).hasMatch(), qPrintable(c.phone));
        QVERIFY2(c.phone.size() <= 69, qPrintable(c.phone));

        QVERIFY2(c.address.size() <= 99, qPrintable(c.address));
        const QStringList lines = c.address.split(QStringLiteral("\r\n"));
        QVERIFY2(lines.size() == 2 || lines.size() == 3, qPrintable(c.address));
        for (const QString& line : lines)
            QVERIFY2(!line.isEmpty() && !line.contains(QLatin1Char('\r')) &&
                         !line.contains(QLatin1Char('\n')),
                     qPrintable(c.address));
        lineCounts.insert(int(lines.size()));
    }
    if (count >= 1000) {
        QVERIFY(nonAscii);
        QVERIFY(domains.size() >= 4);
        QCOMPARE(lineCounts, (QSet<int>{2, 3}));
    }
}

void TestQuillboxDb::seedDecidesContacts() {
    QTemporaryDir dir;
    const auto make = [&](const QString& name, const QStringList& seed) {
        const Run r = runTool(QStringList{QStringLiteral("create"), name,
                                          QStringLiteral("--contacts"), QStringLiteral("300")} +
                                  seed,
                              dir.path());
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    };
    make(QStringLiteral("a.scc"), {QStringLiteral("--seed"), QStringLiteral("7")});
    make(QStringLiteral("b.scc"), {QStringLiteral("--seed"), QStringLiteral("7")});
    make(QStringLiteral("c.scc"), {QStringLiteral("--seed"), QStringLiteral("8")});
    make(QStringLiteral("d.scc"), {});
    make(QStringLiteral("e.scc"), {QStringLiteral("--seed"), QStringLiteral("1")});

    // The same seed gives the same file, byte for byte; the default seed is 1.
    QCOMPARE(bytes(dir.filePath(QStringLiteral("a.scc"))),
             bytes(dir.filePath(QStringLiteral("b.scc"))));
    QCOMPARE(bytes(dir.filePath(QStringLiteral("d.scc"))),
             bytes(dir.filePath(QStringLiteral("e.scc"))));

    const QStringList a = names(readContacts(dir.filePath(QStringLiteral("a.scc"))));
    const QStringList c = names(readContacts(dir.filePath(QStringLiteral("c.scc"))));
    QCOMPARE(c.size(), a.size());
    int same = 0;
    for (int i = 0; i < a.size(); ++i)
        same += a[i] == c[i];
    QVERIFY2(same < 3, qPrintable(QString::number(same)));
}

void TestQuillboxDb::refusesToOverwrite_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("file") << "file";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("database") << "database";
    QTest::newRow("folder") << "folder";
#ifdef Q_OS_UNIX
    QTest::newRow("dangling link") << "link";
#endif
}

void TestQuillboxDb::refusesToOverwrite() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("senha.scc"));
    if (kind == QLatin1String("file") || kind == QLatin1String("empty")) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (kind == QLatin1String("file"))
            f.write("someone's contacts, not to be lost\n");
    } else if (kind == QLatin1String("database")) {
        QCOMPARE(runTool({QStringLiteral("create"), target, QStringLiteral("--contacts"),
                          QStringLiteral("5")},
                         dir.path())
                     .exitCode,
                 0);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("senha.scc/inside")));
    } else {
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere.scc")), target));
    }
    const QByteArray before = bytes(target);
    const QStringList entriesBefore = entries(dir.path());

    const Run r = runTool({QStringLiteral("create"), QStringLiteral("senha.scc"),
                           QStringLiteral("--contacts"), QStringLiteral("10")},
                          dir.path());
    expectRefusal(r);
    QVERIFY2(r.err.contains(QLatin1String("senha.scc")), qPrintable(r.err));

    QCOMPARE(entries(dir.path()), entriesBefore);
    QCOMPARE(bytes(target), before);
    if (kind == QLatin1String("folder"))
        QCOMPARE(entries(target), QStringList{QStringLiteral("inside")});
    if (kind == QLatin1String("link")) {
        QVERIFY(QFileInfo(target).isSymLink());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("nowhere.scc"))));
    }
}

void TestQuillboxDb::failsWithoutLeavingFiles_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("missing folder") << "missing/senha.scc";
    QTest::newRow("folder is a file") << "plain.txt/senha.scc";
    QTest::newRow("no file name") << "newfolder/";
}

void TestQuillboxDb::failsWithoutLeavingFiles() {
    QFETCH(QString, target);
    QTemporaryDir dir;
    {
        QFile plain(dir.filePath(QStringLiteral("plain.txt")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
    }
    const Run r = runTool(
        {QStringLiteral("create"), target, QStringLiteral("--contacts"), QStringLiteral("10")},
        dir.path());
    expectRefusal(r);
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("plain.txt")});
    QCOMPARE(bytes(dir.filePath(QStringLiteral("plain.txt"))), QByteArray());
}

void TestQuillboxDb::interruptedRunLeavesNothing() {
#ifndef Q_OS_UNIX
    QSKIP("stopping a process with a signal is a Unix matter");
#else
    QTemporaryDir dir;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(QUILLBOX_DB),
            {QStringLiteral("create"), QStringLiteral("senha.scc"), QStringLiteral("--contacts"),
             QStringLiteral("10000000")});
    QVERIFY(p.waitForStarted());
    // Stop it while it writes the temporary file.
    QTRY_VERIFY_WITH_TIMEOUT(!entries(dir.path()).isEmpty(), 20'000);
    QTest::qWait(200);
    QCOMPARE(p.state(), QProcess::Running);
    p.terminate();
    QVERIFY(p.waitForFinished(60'000));

    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY(p.exitCode() != 0);
    QVERIFY(
        QString::fromLocal8Bit(p.readAllStandardError()).contains(QLatin1String("interrupted")));
    QCOMPARE(entries(dir.path()), QStringList());
#endif
}

void TestQuillboxDb::rejectsBadArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    const QString create = QStringLiteral("create"), file = QStringLiteral("senha.scc");
    const QString contacts = QStringLiteral("--contacts"), seed = QStringLiteral("--seed");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{QStringLiteral("make"), file};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--colour")};
    QTest::newRow("option before command") << QStringList{contacts, "5", create, file};
    QTest::newRow("no file") << QStringList{create};
    QTest::newRow("empty file name") << QStringList{create, QString()};
    QTest::newRow("two files") << QStringList{create, file, QStringLiteral("other.scc")};
    QTest::newRow("unknown create option") << QStringList{create, file, QStringLiteral("--force")};
    QTest::newRow("count without value") << QStringList{create, file, contacts};
    QTest::newRow("empty count") << QStringList{create, file, contacts, QString()};
    QTest::newRow("negative count") << QStringList{create, file, contacts, "-1"};
    QTest::newRow("count not a number") << QStringList{create, file, contacts, "many"};
    QTest::newRow("fractional count") << QStringList{create, file, contacts, "2.5"};
    QTest::newRow("count with unit") << QStringList{create, file, contacts, "10k"};
    QTest::newRow("count too large") << QStringList{create, file, contacts, "99999999999"};
    QTest::newRow("negative seed") << QStringList{create, file, seed, "-4"};
    QTest::newRow("seed not a number") << QStringList{create, file, seed, "0x"};
    QTest::newRow("seed beyond 64 bits") << QStringList{create, file, seed, "18446744073709551616"};
}

void TestQuillboxDb::rejectsBadArguments() {
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    const Run r = runTool(arguments, dir.path());
    expectRefusal(r);
    QCOMPARE(r.out, QString());
    QCOMPARE(entries(dir.path()), QStringList());
}

void TestQuillboxDb::help_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("tool") << QStringList{QStringLiteral("--help")} << "create FILE";
    QTest::newRow("tool, short") << QStringList{QStringLiteral("-h")} << "create FILE";
    QTest::newRow("create") << QStringList{QStringLiteral("create"), QStringLiteral("--help")}
                            << "--contacts <N>";
    QTest::newRow("create, with a file")
        << QStringList{QStringLiteral("create"), QStringLiteral("senha.scc"), QStringLiteral("-h")}
        << "--seed <S>";
}

void TestQuillboxDb::help() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    QTemporaryDir dir;
    const Run r = runTool(arguments, dir.path());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QString());
    QVERIFY2(r.out.startsWith(QLatin1String("Usage: quillbox-db")), qPrintable(r.out));
    QVERIFY2(r.out.contains(mentions), qPrintable(r.out));
    QCOMPARE(entries(dir.path()), QStringList()); // help creates nothing
}

QTEST_GUILESS_MAIN(TestQuillboxDb)
#include "tst_quillboxdb.moc"
