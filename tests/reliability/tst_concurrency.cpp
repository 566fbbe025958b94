// Two writers on one file at the same moment: two processes adding contacts, a writer stuck in
// its transaction, and two main windows in one process working on the same folder.

#include "data/Database.h"
#include "data/Recordset.h"
#include "support/MainWindowFixture.h"

#include <QElapsedTimer>
#include <QProcess>

#include <map>

using namespace quillbox;

class TestConcurrency : public QObject {
    Q_OBJECT

private slots:
    // Both start adding at the same moment, released by one line on their standard input once
    // both have the file open. A busy file is waited for, never an error, and each contact is
    // stored under the number handed out for it.
    void twoProcessesAddAtOnce() {
        constexpr int each = 1000;
        ScratchDatabase file;
        QProcess writers[2];
        for (int k = 0; k < 2; ++k) {
            writers[k].start(qEnvironmentVariable("QUILLBOX_BIN_DIR") + "/crashdriver",
                             {"adds", file.path(), QString(QChar(u'A' + k)), QString::number(each)});
            QVERIFY(writers[k].waitForStarted(10000));
        }
        for (QProcess& p : writers) {
            while (!p.canReadLine() && p.waitForReadyRead(20000)) {
            }
            QCOMPARE(p.readLine().trimmed(), QByteArray("ready"));
        }
        for (QProcess& p : writers)
            p.write("go\n");
        std::map<std::int64_t, QString> handedOut;
        for (int k = 0; k < 2; ++k) {
            QVERIFY(writers[k].waitForFinished(240000));
            const QString out = QString::fromUtf8(writers[k].readAllStandardOutput());
            QVERIFY2(writers[k].exitCode() == 0, qPrintable(out.right(500)));
            for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
                const QString name = QChar(u'A' + k) + (u' ' + line.section(u' ', 0, 0));
                QVERIFY2(handedOut.emplace(line.section(u' ', 1).toLongLong(), name).second,
                         qPrintable("handed out twice: " + line));
            }
        }
        QCOMPARE(handedOut.size(), std::size_t{2 * each});
        QStringList handed;
        for (const auto& [number, name] : handedOut)
            handed << QString::number(number) + u'=' + name;
        QCOMPARE(file.scalar("SELECT group_concat(Number || '=' || Name) FROM "
                             "(SELECT * FROM Addresses ORDER BY Number)").toString(),
                 handed.join(u','));
        QCOMPARE(file.scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    }

    // Waiting has an end: a writer stuck in its transaction is given up on once the file has
    // stayed unchanged for the time limit.
    void stuckWriterIsGivenUpOn() {
        ScratchDatabase file;
        auto db = data::OpenDatabase(file.path());
        auto settings = db->OpenRecordset(QStringLiteral("Player"));
        sqlite3* other = file.open();
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        QElapsedTimer clock;
        clock.start();
        int number = 0;
        try {
            settings->Edit();
            settings->Collect(QStringLiteral("WantPassword"), 1);
            settings->Update();
        } catch (const data::EngineError& e) {
            number = e.number();
        }
        const qint64 waited = clock.elapsed();
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QCOMPARE(number & 0xff, SQLITE_BUSY);
        QVERIFY2(waited >= data::Database::busyTimeoutMs &&
                     waited < data::Database::busyTimeoutMs + 5000,
                 qPrintable(QString::number(waited)));
    }

    // Window A changes the file under window B's list; B must never show or write one contact
    // in another's name, and a contact gone from the file drops out of B's list when chosen.
    void twoWindowsOnOneFolder_data() {
        QTest::addColumn<bool>("bChoosesFirst");
        QTest::addColumn<QString>("aDoes");
        QTest::addColumn<QString>("bDoes");
        QTest::addColumn<QString>("bShows");  // B's update boxes after its choice
        QTest::addColumn<QString>("bLists");  // at the end
        QTest::addColumn<QString>("bPrompt"); // B's last box
        QTest::addColumn<QString>("stored");  // Name=Phone, by number
        const QString refused = "You must choose a person to update!";
        QTest::newRow("chosen after the other deleted it")
            << false << "delete" << "update" << "" << "Ann,Cy" << refused << "Ann=1,Cy=3";
        QTest::newRow("chosen before the other deleted it")
            << true << "delete" << "update" << "Bob2" << "Ann,Cy" << refused << "Ann=1,Cy=3";
        QTest::newRow("deleted by both")
            << true << "delete" << "delete" << "Bob2" << "Ann,Cy"
            << "Do you really want to delete the selected entry?" << "Ann=1,Cy=3";
        QTest::newRow("updated by the other, then shown")
            << false << "update" << "" << "Bob20" << "Ann,Bob,Cy" << "" << "Ann=1,Bob=20,Cy=3";
        QTest::newRow("updated by the other, then updated")
            << true << "update" << "update" << "Bob2" << "Ann,Bob,Cy" << "" << "Ann=1,Bob=x,Cy=3";
        QTest::newRow("added by the other")
            << false << "add" << "add" << "" << "Ann,Bob,Cy"
            << "This name is already in the Quillbox!" << "Ann=1,Bob=2,Cy=3,Dan=4";
    }
    void twoWindowsOnOneFolder() {
        QFETCH(bool, bChoosesFirst);
        QFETCH(QString, aDoes);
        QFETCH(QString, bDoes);
        QFETCH(QString, bShows);
        QFETCH(QString, bLists);
        QFETCH(QString, bPrompt);
        QFETCH(QString, stored);
        ScratchDatabase file;
        file.exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', '1'), ('Bob', '2'), "
                  "('Cy', '3')");
        QVERIFY(QDir::setCurrent(file.folder()));
        test::FakeServices fakesA, fakesB;
        windows::MainProgram windowA(fakesA.services), windowB(fakesB.services);
        test::WindowDriver a, b;
        a.w = &windowA;
        b.w = &windowB;
        windowA.Form_Load();
        windowB.Form_Load();
        windowA.show();
        windowB.show();
        QVERIFY(QTest::qWaitForWindowExposed(&windowA) && QTest::qWaitForWindowExposed(&windowB));
        const auto bChooses = [&] {
            if (aDoes != "add")
                b.choose("Bob");
        };
        if (bChoosesFirst)
            bChooses();
        if (aDoes == "add") {
            a.add("Dan", "4");
        } else {
            a.choose("Bob");
            fakesA.boxes.answerNext(desktop::MessageBoxService::AnswerYes);
            a.type("txtUpdatePhone", "20");
            a.press(aDoes == "delete" ? "cmdDelete" : "cmdUpdate");
        }
        if (!bChoosesFirst)
            bChooses();
        QCOMPARE(b.text("txtUpdateName") + b.text("txtUpdatePhone"), bShows);
        fakesB.boxes.answerNext(desktop::MessageBoxService::AnswerYes);
        if (bDoes == "update") {
            b.type("txtUpdateName", "Bob");
            b.type("txtUpdatePhone", "x");
            b.press("cmdUpdate");
        } else if (bDoes == "delete") {
            b.press("cmdDelete");
        } else if (bDoes == "add") {
            b.add("Dan", "5");
        }
        QCOMPARE(b.listed().join(u','), bLists);
        QCOMPARE(fakesB.boxes.calls.empty() ? QString() : fakesB.boxes.calls.back().prompt, bPrompt);
        QVERIFY(fakesA.end.statuses.empty() && fakesB.end.statuses.empty());
        QCOMPARE(file.scalar("SELECT group_concat(Name || '=' || Phone) FROM "
                             "(SELECT * FROM Addresses ORDER BY Number)")
                     .toString(),
                 stored);
        QDir::setCurrent(QDir::tempPath());
    }
};

QTEST_MAIN(TestConcurrency)
#include "tst_concurrency.moc"
