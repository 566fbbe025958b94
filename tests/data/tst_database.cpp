// Opening the file: what is refused and how, the settings every connection runs with, and how a
// connection shares the file with other programs.

#include "support/ScratchDatabase.h"

#include "data/Backup.h"
#include "data/Connection.h"
#include "data/Database.h"
#include "data/Recordset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

using namespace quillbox::data;

namespace {

// The names in the file's folder and the file's bytes, which a refused opening leaves alone.
QByteArray folderState(const ScratchDatabase& file) {
    QFile f(file.path());
    return QDir(file.folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
               .join('/')
               .toUtf8() +
           (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private slots:
    // Each is refused with its own number and a description naming the file (%1), and the
    // folder is left as it was: nothing created, changed or left behind. (What any user meets,
    // a missing file, a folder, another kind of file or a table missing, is tried on the
    // program itself by tests/app/bad_files.sh.)
    void refusesWhatIsNotItsDatabase_data() {
        QTest::addColumn<QString>("sql"); // run on an empty file
        QTest::addColumn<QString>("error");
        const QString addresses = "CREATE TABLE Addresses (Number INTEGER PRIMARY KEY %1, "
                                  "Name TEXT, Phone TEXT, Address TEXT, email TEXT);";
        const QString player = "CREATE TABLE Player (Senha TEXT, WantPassword INTEGER);";
        const QString noKey = "3409: %1: the field 'Number' of the table 'Addresses' is not a "
                              "record number: it must be declared INTEGER PRIMARY KEY AUTOINCREMENT.";
        QTest::newRow("empty file") << "" << "3078: %1: there is no table 'Addresses'.";
        QTest::newRow("no WantPassword")
            << "CREATE TABLE Player (Senha);" + addresses.arg("AUTOINCREMENT")
            << "3265: %1: the table 'Player' has no field 'WantPassword'.";
        QTest::newRow("Number reused after a delete") << player + addresses.arg("") << noKey;
        QTest::newRow("Number in a key of two fields")
            << player + "CREATE TABLE Addresses (Number INTEGER, Name, Phone, Address, "
                        "email /* AUTOINCREMENT */, PRIMARY KEY (Number, Name));"
            << noKey;
    }
    void refusesWhatIsNotItsDatabase() {
        QFETCH(QString, sql);
        QFETCH(QString, error);
        ScratchDatabase file(nullptr);
        file.exec(sql);
        const QByteArray before = folderState(file);
        QCOMPARE(failure([&] { OpenDatabase(file.path()); }), error.arg("'" + file.path() + "'"));
        QCOMPARE(folderState(file), before);
    }

    // A folder in which the program may not make the journal that every change goes through is
    // refused at opening rather than at the first change. Root is not bound by permissions, so
    // it acts as nobody for the opening.
    void unwritableFolderIsRefused() {
        ScratchDatabase file;
        const QString dir = QFileInfo(file.folder()).absoluteFilePath();
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        const bool root = geteuid() == 0;
        if (root) {
            for (const QString& path : {dir, file.path()})
                QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
            QCOMPARE(::seteuid(65534), 0);
        }
        const QString error = failure([&] { OpenDatabase(file.path()); });
        QVERIFY(!root || ::seteuid(0) == 0);
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(error.section(':', 0, 0).toInt(), SQLITE_READONLY_DIRECTORY);
        QVERIFY2(error.contains(QStringLiteral("folder '%1'").arg(dir)), qPrintable(error));
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
        const QString error = failure([&] {
            settings->Edit();
            settings->Collect(QStringLiteral("WantPassword"), 1);
            settings->Update();
        });
        QCOMPARE(error.section(':', 0, 0).toInt(), SQLITE_READONLY_DBMOVED);
        QVERIFY2(error.contains("removed or replaced") && !error.contains("readonly"),
                 qPrintable(error));
    }

    // Read back from the connection itself: every committed change on disk when its call
    // returns (synchronous=FULL), the rollback journal even for a file left in WAL mode, and
    // no trust in what a foreign file's schema asks for.
    void connectionSettings_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expected");
        QTest::newRow("synchronous FULL") << "PRAGMA synchronous" << "2";
        QTest::newRow("rollback journal") << "PRAGMA journal_mode" << "delete";
        QTest::newRow("defensive") << "defensive" << "1";
        QTest::newRow("untrusted schema") << "trusted_schema" << "0";
    }
    void connectionSettings() {
        QFETCH(QString, query);
        QFETCH(QString, expected);
        ScratchDatabase file;
        file.exec("PRAGMA journal_mode=WAL");
        auto db = OpenDatabase(file.path());
        int flag = -1;
        if (!query.startsWith("PRAGMA"))
            sqlite3_db_config(db->handle(), query == "defensive" ? SQLITE_DBCONFIG_DEFENSIVE
                                                                 : SQLITE_DBCONFIG_TRUSTED_SCHEMA,
                              -1, &flag);
        QCOMPARE(flag < 0 ? file.scalar(query, db->handle()).toString() : QString::number(flag),
                 expected);
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
        QCOMPARE(file.scalar("SELECT count(*) FROM Addresses", to.handle()).toInt(), 3000 + steps);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
