// Opening the file: what is refused and how, the settings every connection runs with, and how a
// connection shares the file with other programs.

#include "support/ScratchDatabase.h"

#include "data/Backup.h"
#include "data/Connection.h"
#include "data/Database.h"
#include "data/Recordset.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <thread>
#include <unistd.h>

using namespace quillbox::data;

namespace {

QByteArray folderState(const QString& folder) {
    QByteArray state;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        QFile file(f.filePath());
        state += f.fileName().toUtf8() + (file.open(QIODevice::ReadOnly)
                                              ? QCryptographicHash::hash(file.readAll(),
                                                                         QCryptographicHash::Sha256)
                                              : QByteArray("/"));
    }
    return state;
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private slots:
    // Each is refused with its own number and a description naming the file (%1), and the
    // folder is left as it was: nothing created, changed or left behind.
    void refusesWhatIsNotItsDatabase_data() {
        QTest::addColumn<QByteArray>("bytes"); // "<none>": no file; "<folder>": a folder
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        const QString player = "CREATE TABLE Player (Senha TEXT, WantPassword INTEGER);";
        const QString addresses = "CREATE TABLE Addresses (Number INTEGER PRIMARY KEY %1, "
                                  "Name TEXT, Phone TEXT, Address TEXT%2);";
        const QString noKey = "%1: the field 'Number' of the table 'Addresses' is not a record "
                              "number: it must be declared INTEGER PRIMARY KEY AUTOINCREMENT.";
        QTest::newRow("missing") << QByteArray("<none>") << "" << 3024
                                 << "Could not find file %1.";
        QTest::newRow("folder") << QByteArray("<folder>") << "" << 3044
                                << "%1 is not a database file but a folder or device.";
        QTest::newRow("text file") << QByteArray(4096, 'x') << "" << 26
                                   << "%1: file is not a database";
        QTest::newRow("empty file") << QByteArray() << "" << 3078
                                    << "%1: there is no table 'Addresses'.";
        QTest::newRow("no Player") << QByteArray() << addresses.arg("AUTOINCREMENT", ", email")
                                   << 3078 << "%1: there is no table 'Player'.";
        QTest::newRow("no email") << QByteArray() << player + addresses.arg("AUTOINCREMENT", "")
                                  << 3265 << "%1: the table 'Addresses' has no field 'email'.";
        QTest::newRow("no WantPassword")
            << QByteArray() << "CREATE TABLE Player (Senha);" + addresses.arg("AUTOINCREMENT", ", email")
            << 3265 << "%1: the table 'Player' has no field 'WantPassword'.";
        QTest::newRow("Number reused after a delete")
            << QByteArray() << player + addresses.arg("", ", email") << 3409 << noKey;
        QTest::newRow("Number in a key of two fields")
            << QByteArray()
            << player + "CREATE TABLE Addresses (Number INTEGER, Name, Phone, Address, "
                        "email /* AUTOINCREMENT */, PRIMARY KEY (Number, Name));"
            << 3409 << noKey;
        QTest::newRow("Number a plain field")
            << QByteArray()
            << player + "CREATE TABLE Addresses (Number INTEGER, Name, Phone, Address, email);"
            << 3409 << noKey;
    }
    void refusesWhatIsNotItsDatabase() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, sql);
        QFETCH(int, number);
        QFETCH(QString, description);
        ScratchDatabase file(nullptr);
        if (bytes == "<folder>") {
            QVERIFY(QDir().mkdir(file.path()));
        } else if (bytes != "<none>") {
            QFile f(file.path());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        if (!sql.isEmpty())
            file.exec(sql);
        const QByteArray before = folderState(file.folder());
        try {
            OpenDatabase(file.path());
            QFAIL("opened");
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), number);
            QCOMPARE(e.description(), description.arg("'" + file.path() + "'"));
        }
        QCOMPARE(folderState(file.folder()), before);
    }

    // A file the program may not write, or a folder in which it may not make the journal that
    // every change goes through, is refused at opening rather than at the first change. Root is
    // not bound by permissions, so it acts as nobody for the opening.
    void unwritableIsRefused_data() {
        QTest::addColumn<bool>("folder");
        QTest::newRow("file") << false;
        QTest::newRow("folder") << true;
    }
    void unwritableIsRefused() {
        QFETCH(bool, folder);
        ScratchDatabase file;
        const QString dir = QFileInfo(file.folder()).absoluteFilePath();
        QVERIFY(folder ? QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner)
                       : QFile::setPermissions(file.path(), QFile::ReadOwner));
        const bool root = geteuid() == 0;
        if (root) {
            for (const QString& path : {dir, file.path()})
                QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
            QCOMPARE(::seteuid(65534), 0);
        }
        int number = 0;
        QString description;
        try {
            OpenDatabase(file.path());
        } catch (const EngineError& e) {
            number = e.number();
            description = e.description();
        }
        QVERIFY(!root || ::seteuid(0) == 0);
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(number, folder ? SQLITE_READONLY_DIRECTORY : SQLITE_READONLY);
        QVERIFY2(description.contains(folder ? QStringLiteral("folder '%1'").arg(dir) : file.path()),
                 qPrintable(description));
    }

    // The file renamed away, deleted or replaced under an open connection: a change fails, and
    // says what happened rather than sending the user to the permissions.
    void fileGoneWhileOpen_data() {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("removed") << false;
        QTest::newRow("replaced") << true;
    }
    void fileGoneWhileOpen() {
        QFETCH(bool, replaced);
        ScratchDatabase file;
        auto db = OpenDatabase(file.path());
        auto settings = db->OpenRecordset(QStringLiteral("Player"));
        QVERIFY(QFile::copy(file.path(), file.path() + ".new"));
        QVERIFY(QFile::remove(file.path()));
        if (replaced)
            QVERIFY(QFile::rename(file.path() + ".new", file.path()));
        try {
            settings->Edit();
            settings->Collect(QStringLiteral("WantPassword"), 1);
            settings->Update();
            QFAIL("wrote to a file no longer there");
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), SQLITE_READONLY_DBMOVED);
            QVERIFY2(e.description().contains(QLatin1String("removed or replaced")) &&
                         !e.description().contains(QLatin1String("readonly")),
                     qPrintable(e.description()));
        }
    }

    // Read back from the connection itself: every committed change on disk when its call
    // returns (synchronous=FULL), the rollback journal even for a file left in WAL mode, and
    // no trust in what a foreign file's schema asks for.
    void connectionSettings_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expected");
        QTest::newRow("synchronous FULL") << "PRAGMA synchronous" << "2";
        QTest::newRow("rollback journal") << "PRAGMA journal_mode" << "delete";
        QTest::newRow("memory-mapped reads") << "PRAGMA mmap_size" << "268435456";
        QTest::newRow("defensive") << "defensive" << "1";
        QTest::newRow("untrusted schema") << "trusted_schema" << "0";
    }
    void connectionSettings() {
        QFETCH(QString, query);
        QFETCH(QString, expected);
        ScratchDatabase file;
        file.exec("PRAGMA journal_mode=WAL");
        auto db = OpenDatabase(file.path());
        if (!query.startsWith("PRAGMA")) {
            int flag = -1;
            sqlite3_db_config(db->handle(), query == "defensive" ? SQLITE_DBCONFIG_DEFENSIVE
                                                                 : SQLITE_DBCONFIG_TRUSTED_SCHEMA,
                              -1, &flag);
            QCOMPARE(QString::number(flag), expected);
            return;
        }
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db->handle(), query.toUtf8().constData(), -1, &s, nullptr);
        QCOMPARE(sqlite3_step(s), SQLITE_ROW);
        QCOMPARE(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))),
                 expected);
        sqlite3_finalize(s);
    }

    // An idle connection, even one whose record set stands in the middle of a walk, holds no
    // lock: another program can take the file for writing at once.
    void idleConnectionHoldsNoLock() {
        ScratchDatabase file;
        file.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                  "INSERT INTO Addresses (Name) SELECT 'P' || i FROM n");
        auto db = OpenDatabase(file.path());
        auto contacts = db->OpenRecordset(QStringLiteral("Addresses"));
        for (int i = 0; i < 100; ++i, contacts->MoveNext())
            contacts->Fields(QStringLiteral("Name"));
        sqlite3* other = file.open();
        sqlite3_busy_timeout(other, 0);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE; UPDATE Player SET Senha = 'x'; COMMIT;",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(other);
    }

    // A writer that finds the file busy waits for it instead of failing.
    void busyFileIsWaitedFor() {
        ScratchDatabase file;
        auto db = OpenDatabase(file.path());
        auto settings = db->OpenRecordset(QStringLiteral("Player"));
        sqlite3* other = file.open();
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        std::thread holder([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sqlite3_exec(other, "UPDATE Player SET Senha = 'other'; COMMIT;", nullptr, nullptr,
                         nullptr);
        });
        settings->Edit();
        settings->Collect(QStringLiteral("WantPassword"), 1);
        settings->Update();
        holder.join();
        sqlite3_close(other);
        QCOMPARE(file.scalar("SELECT Senha || WantPassword FROM Player").toString(),
                 QStringLiteral("other1"));
    }

    // Another connection commits after every step of the online copy, which starts it again:
    // the copy still ends, and holds every commit made before it.
    void backupEndsWhileAnotherWrites() {
        ScratchDatabase file;
        file.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                  "INSERT INTO Addresses (Name, Address) SELECT 'P' || i, zeroblob(2000) FROM n");
        const QString copyName = file.path() + QStringLiteral(".copy");
        QFile(copyName).open(QIODevice::WriteOnly);
        Connection from(file.path(), Access::ReadOnly), to(copyName, Access::ReadWrite);
        sqlite3* other = file.open();
        int steps = 0;
        copyDatabase(from, to, [&](int, int) {
            if (++steps > 100)
                throw std::runtime_error("the copy never ends");
            QCOMPARE(sqlite3_exec(other, "INSERT INTO Addresses (Name) VALUES ('W')", nullptr,
                                  nullptr, nullptr),
                     SQLITE_OK);
        });
        sqlite3_close(other);
        sqlite3_stmt* count = nullptr;
        sqlite3_prepare_v2(to.handle(), "SELECT count(*) FROM Addresses", -1, &count, nullptr);
        QCOMPARE(sqlite3_step(count), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(count, 0), 3000 + steps);
        sqlite3_finalize(count);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
