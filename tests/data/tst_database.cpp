// Opening the file: what counts as a usable database, what is refused and how, and how a
// connection shares the file with other programs.

#include "support/ScratchDatabase.h"

#include "data/Database.h"
#include "data/Recordset.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

#include <thread>
#include <unistd.h>

using namespace quillbox::data;

namespace {

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private slots:
    void opensTheSuppliedFile() {
        ScratchDatabase file;
        auto db = OpenDatabase(file.path());
        auto settings = db->OpenRecordset(QStringLiteral("Player"), dbOpenDynaset);
        QCOMPARE(settings->Fields(QStringLiteral("WantPassword")).toInt32(), 0);
        QCOMPARE(settings->Fields(QStringLiteral("Senha")).toText(), QString());
        QVERIFY(!settings->Fields(QStringLiteral("Senha")).isNull());
    }

    void missingFileIsAnErrorAndIsNotCreated() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("senha.scc"));
        QVERIFY_ENGINE_ERROR(OpenDatabase(path), error::FileNotFound);
        QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }

    void folderIsNotADatabase() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("senha.scc"));
        QVERIFY(QDir().mkdir(path));
        QVERIFY_ENGINE_ERROR(OpenDatabase(path), error::NotAFile);
    }

    // Files that are there but are not the program's database: each is refused with its own
    // error, and none is changed by the attempt.
    void foreignFilesAreRefusedUnchanged_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("expected");
        QByteArray noise(8192, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = static_cast<char>((i * 7919 + 13) % 251);
        QTest::newRow("random bytes") << noise << QString() << int(SQLITE_NOTADB);
        QTest::newRow("text file") << QByteArray("Name;Phone\nSmith;555\n") << QString()
                                   << int(SQLITE_NOTADB);
        QTest::newRow("empty file") << QByteArray() << QString() << error::TableNotFound;
        const QString player = QStringLiteral(
            "CREATE TABLE Player (Senha TEXT, WantPassword INTEGER);"
            "INSERT INTO Player VALUES ('', 0);");
        QTest::newRow("no Addresses")
            << QByteArray() << player << error::TableNotFound;
        QTest::newRow("no Player")
            << QByteArray()
            << QStringLiteral("CREATE TABLE Addresses (Number INTEGER PRIMARY KEY AUTOINCREMENT, "
                              "Name TEXT, Phone TEXT, Address TEXT, email TEXT);")
            << error::TableNotFound;
        QTest::newRow("no email field")
            << QByteArray()
            << player + QStringLiteral("CREATE TABLE Addresses (Number INTEGER PRIMARY KEY "
                                       "AUTOINCREMENT, Name TEXT, Phone TEXT, Address TEXT);")
            << error::FieldNotFound;
        QTest::newRow("no WantPassword field")
            << QByteArray()
            << QStringLiteral("CREATE TABLE Player (Senha TEXT);"
                              "CREATE TABLE Addresses (Number INTEGER PRIMARY KEY AUTOINCREMENT, "
                              "Name TEXT, Phone TEXT, Address TEXT, email TEXT);")
            << error::FieldNotFound;
        QTest::newRow("Number a plain field")
            << QByteArray()
            << player + QStringLiteral("CREATE TABLE Addresses (Number INTEGER, Name TEXT, "
                                       "Phone TEXT, Address TEXT, email TEXT);")
            << error::BadFieldDefinition;
        QTest::newRow("Number reused after delete")
            << QByteArray()
            << player + QStringLiteral("CREATE TABLE Addresses (Number INTEGER PRIMARY KEY, "
                                       "Name TEXT, Phone TEXT, Address TEXT, email TEXT);")
            << error::BadFieldDefinition;
    }
    void foreignFilesAreRefusedUnchanged() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, sql);
        QFETCH(int, expected);
        ScratchDatabase file(nullptr);
        {
            QFile f(file.path());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(contents);
        }
        if (!sql.isEmpty())
            file.exec(sql);
        const QByteArray before = fileHash(file.path());
        QVERIFY_ENGINE_ERROR(OpenDatabase(file.path()), expected);
        QCOMPARE(fileHash(file.path()), before);
        QVERIFY(!QFile::exists(file.path() + QStringLiteral("-journal")));
    }

    void errorNamesTheFile() {
        ScratchDatabase file(nullptr);
        file.exec(QStringLiteral("CREATE TABLE Player (Senha TEXT, WantPassword INTEGER);"));
        try {
            OpenDatabase(file.path());
            QFAIL("opened a file without the contacts table");
        } catch (const EngineError& e) {
            QVERIFY2(e.description().contains(file.path()), qPrintable(e.description()));
            QVERIFY2(e.description().contains(QLatin1String("Addresses")),
                     qPrintable(e.description()));
        }
    }

    void readOnlyFileIsRefused() {
        if (geteuid() == 0)
            QSKIP("root may write any file, so there is no read-only file to meet");
        ScratchDatabase file;
        QVERIFY(QFile::setPermissions(file.path(), QFile::ReadOwner));
        QVERIFY_ENGINE_ERROR(OpenDatabase(file.path()), int(SQLITE_READONLY));
    }

    void walModeIsLeftForTheRollbackJournal() {
        ScratchDatabase file;
        file.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        QCOMPARE(file.scalar(QStringLiteral("PRAGMA journal_mode")).toString(),
                 QStringLiteral("wal"));
        auto db = OpenDatabase(file.path());
        QCOMPARE(file.scalar(QStringLiteral("PRAGMA journal_mode")).toString(),
                 QStringLiteral("delete"));
    }

    // An idle connection, even one whose record set stands in the middle of a walk, holds no
    // lock: another program can take the file for writing at once, without waiting.
    void idleConnectionHoldsNoLock() {
        ScratchDatabase file;
        QString rows;
        for (int i = 0; i < 300; ++i)
            rows += QStringLiteral("INSERT INTO Addresses (Name) VALUES ('P%1');").arg(i);
        file.exec(rows);
        auto db = OpenDatabase(file.path());
        auto contacts = db->OpenRecordset(QStringLiteral("Addresses"));
        for (int i = 0; i < 100; ++i) {
            contacts->Fields(QStringLiteral("Name"));
            contacts->MoveNext();
        }
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
        QCOMPARE(file.scalar(QStringLiteral("SELECT WantPassword FROM Player")).toInt(), 1);
        QCOMPARE(file.scalar(QStringLiteral("SELECT Senha FROM Player")).toString(),
                 QStringLiteral("other"));
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
