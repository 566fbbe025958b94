// Two writers on one file at the same moment: two processes adding thousands of contacts, and
// two main windows in one process, each with its own connections, working on the same folder.

#include "data/Database.h"
#include "data/Recordset.h"
#include "support/FakeServices.h"
#include "support/ScratchDatabase.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <map>
#include <set>

using namespace quillbox;
using windows::MainProgram;

namespace {

// One main window with its own fakes, driven as a user would.
struct Window {
    test::FakeServices fakes;
    MainProgram w{fakes.services};

    void load() {
        fakes.errors.guard([this] { w.Form_Load(); });
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
    }
    windows::ListBox* list() { return w.findChild<windows::ListBox*>("lstRecords"); }
    QString text(const char* box) {
        if (auto* line = w.findChild<windows::LineBox*>(box))
            return line->Text();
        return w.findChild<windows::MultiLineBox*>(box)->Text();
    }
    void type(const char* box, const QString& t) {
        if (auto* line = w.findChild<windows::LineBox*>(box))
            line->SetText(t);
        else
            w.findChild<windows::MultiLineBox*>(box)->SetText(t);
    }
    void press(const char* button) {
        QTest::mouseClick(w.findChild<QPushButton*>(button), Qt::LeftButton);
    }
    void choose(const QString& name) {
        for (int row = 0; row < list()->ListCount(); ++row) {
            if (list()->List(row) != name)
                continue;
            const QModelIndex index = list()->model()->index(row, 0);
            list()->scrollTo(index);
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                              list()->visualRect(index).center());
            return;
        }
        QFAIL(qPrintable(name + QStringLiteral(" is not listed")));
    }
    QStringList listed() {
        QStringList names;
        for (int i = 0; i < list()->ListCount(); ++i)
            names << list()->List(i);
        return names;
    }
    QString lastPrompt() {
        return fakes.boxes.calls.empty() ? QString() : fakes.boxes.calls.back().prompt;
    }
};

QString binary(const char* name) {
    return qEnvironmentVariable("QUILLBOX_BIN_DIR") + QLatin1Char('/') + QLatin1String(name);
}

} // namespace

class TestConcurrency : public QObject {
    Q_OBJECT

private slots:
    // Both start adding at the same moment, released by one line on their standard input once
    // both have the file open. A busy file is waited for, never an error.
    void twoProcessesAddAtOnce() {
        constexpr int each = 2000;
        ScratchDatabase file;
        QProcess writers[2];
        const QString tags[2] = {QStringLiteral("A"), QStringLiteral("B")};
        for (int k = 0; k < 2; ++k) {
            writers[k].start(binary("concurrentwriter"),
                             {file.path(), tags[k], QString::number(each)});
            QVERIFY(writers[k].waitForStarted(10000));
        }
        for (QProcess& p : writers) {
            while (!p.canReadLine() && p.waitForReadyRead(20000)) {
            }
            QCOMPARE(p.readLine().trimmed(), QByteArray("ready"));
        }
        QElapsedTimer clock;
        clock.start();
        for (QProcess& p : writers)
            p.write("go\n");
        for (QProcess& p : writers)
            p.waitForBytesWritten(10000);

        std::map<std::int64_t, QString> handedOut; // number -> name it was handed out for
        int errors = 0;
        for (int k = 0; k < 2; ++k) {
            QVERIFY(writers[k].waitForFinished(240000));
            const QString err = QString::fromUtf8(writers[k].readAllStandardError());
            const QStringList lines = QString::fromUtf8(writers[k].readAllStandardOutput())
                                          .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            for (const QString& line : lines) {
                if (line.startsWith(QLatin1String("error"))) {
                    ++errors;
                    qWarning("writer %s: %s", qPrintable(tags[k]), qPrintable(line));
                    continue;
                }
                const QStringList w = line.split(QLatin1Char(' '));
                const bool fresh =
                    handedOut.emplace(w[1].toLongLong(), tags[k] + QLatin1Char(' ') + w[0]).second;
                QVERIFY2(fresh, qPrintable(QStringLiteral("number %1 handed out twice").arg(w[1])));
            }
            QCOMPARE(writers[k].exitStatus(), QProcess::NormalExit);
            QVERIFY2(writers[k].exitCode() == 0, qPrintable(err));
        }
        const qint64 ms = clock.elapsed();
        QCOMPARE(errors, 0);
        QCOMPARE(handedOut.size(), std::size_t{2 * each});

        std::map<std::int64_t, QString> stored;
        sqlite3* db = file.open();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT Number, Name FROM Addresses", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            stored[sqlite3_column_int64(st, 0)] =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
        sqlite3_finalize(st);
        sqlite3_close(db);
        QCOMPARE(stored.size(), std::size_t{2 * each});
        QVERIFY(stored == handedOut); // each contact under the number handed out for it
        QCOMPARE(file.scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        // How often the numbers pass from one writer to the other: the two really wrote at the
        // same time, not one after the other.
        int turns = 0;
        for (auto it = stored.begin(); std::next(it) != stored.end(); ++it)
            turns += it->second.front() != std::next(it)->second.front();
        qInfo("%zu contacts stored by two writers at once in %lld ms, %d errors, the writer "
              "changing %d times",
              stored.size(), ms, errors, turns);
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
    // in another's name.
    void twoWindowsOnOneFolder_data() {
        QTest::addColumn<bool>("bChoosesFirst");
        QTest::addColumn<QString>("aDoes");
        QTest::addColumn<QString>("bDoes");
        QTest::addColumn<QString>("bShowsPhone"); // after B's choice
        QTest::addColumn<QStringList>("bLists");  // at the end
        QTest::addColumn<QString>("bPrompt");     // B's last box
        QTest::addColumn<QString>("stored");      // Name=Phone, by number

        const QStringList withoutBob{"Ann", "Cy"};
        const QString updateRefused = QStringLiteral("You must choose a person to update!");
        QTest::newRow("chosen after the other deleted it")
            << false << "delete"
            << "update"
            << "" << withoutBob << updateRefused << "Ann=1,Cy=3";
        QTest::newRow("chosen before the other deleted it")
            << true << "delete"
            << "update"
            << "2" << withoutBob << updateRefused << "Ann=1,Cy=3";
        QTest::newRow("deleted by both")
            << true << "delete"
            << "delete"
            << "2" << withoutBob << "Do you really want to delete the selected entry?"
            << "Ann=1,Cy=3";
        QTest::newRow("updated by the other, then shown")
            << false << "update"
            << "show"
            << "20" << QStringList{"Ann", "Bob", "Cy"} << ""
            << "Ann=1,Bob=20,Cy=3";
        QTest::newRow("updated by the other, then updated")
            << true << "update"
            << "update"
            << "2" << QStringList{"Ann", "Bob", "Cy"} << ""
            << "Ann=1,Bob=x,Cy=3";
        QTest::newRow("added by the other")
            << false << "add"
            << "add"
            << "" << QStringList{"Ann", "Bob", "Cy"} << "This name is already in the Quillbox!"
            << "Ann=1,Bob=2,Cy=3,Dan=4";
    }
    void twoWindowsOnOneFolder() {
        QFETCH(bool, bChoosesFirst);
        QFETCH(QString, aDoes);
        QFETCH(QString, bDoes);
        QFETCH(QString, bShowsPhone);
        QFETCH(QStringList, bLists);
        QFETCH(QString, bPrompt);
        QFETCH(QString, stored);

        ScratchDatabase file;
        file.exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', '1'), ('Bob', '2'), "
                  "('Cy', '3')");
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(file.folder()));
        auto a = std::make_unique<Window>();
        auto b = std::make_unique<Window>();
        a->load();
        b->load();

        // Choosing a contact that is gone shows nobody and drops its entry there and then.
        const QStringList everybody{"Ann", "Bob", "Cy"};
        const QStringList onChoice = !bChoosesFirst && aDoes == "delete" ? bLists : everybody;
        const auto bChooses = [&] {
            if (aDoes != "add")
                b->choose("Bob");
        };
        if (bChoosesFirst) {
            bChooses();
            QCOMPARE(b->listed(), onChoice);
        }
        if (aDoes == "delete") {
            a->choose("Bob");
            a->fakes.boxes.answerNext(platform::MessageBoxService::AnswerYes);
            a->press("cmdDelete");
        } else if (aDoes == "update") {
            a->choose("Bob");
            a->type("txtUpdatePhone", "20");
            a->press("cmdUpdate");
        } else {
            a->type("txtName", "Dan");
            a->type("txtPhone", "4");
            a->press("cmdNew");
        }
        QCOMPARE(a->fakes.end.statuses.size(), std::size_t{0});
        if (!bChoosesFirst) {
            bChooses();
            QCOMPARE(b->listed(), onChoice);
        }
        QCOMPARE(b->text("txtUpdatePhone"), bShowsPhone);
        if (bShowsPhone.isEmpty())
            QCOMPARE(b->text("txtUpdateName"), QString()); // nobody is shown

        if (bDoes == "update") {
            b->type("txtUpdateName", "Bob");
            b->type("txtUpdatePhone", "x");
            b->press("cmdUpdate");
        } else if (bDoes == "delete") {
            b->fakes.boxes.answerNext(platform::MessageBoxService::AnswerYes);
            b->press("cmdDelete");
        } else if (bDoes == "add") {
            b->type("txtName", "Dan");
            b->type("txtPhone", "5");
            b->press("cmdNew");
        }
        QCOMPARE(b->listed(), bLists);
        QCOMPARE(b->lastPrompt(), bPrompt);
        QCOMPARE(b->fakes.end.statuses.size(), std::size_t{0});
        QCOMPARE(file.scalar("SELECT group_concat(Name || '=' || Phone) FROM "
                             "(SELECT * FROM Addresses ORDER BY Number)")
                     .toString(),
                 stored);

        b.reset();
        a.reset();
        QDir::setCurrent(previous);
    }
};

QTEST_MAIN(TestConcurrency)
#include "tst_concurrency.moc"
