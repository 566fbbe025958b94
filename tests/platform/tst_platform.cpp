// The one path of an engine failure: a line on standard error, a stop box with the number and
// the description, the end with status 1; the Qt message box the boxes are shown in; and the
// process that holds the password kept out of core files and other processes' reach.

#include "platform/EngineErrorReporter.h"
#include "platform/ProcessPrivacy.h"
#include "platform/QtMessageBoxService.h"
#include "support/FakeServices.h"

#include <QPushButton>
#include <QTemporaryFile>
#include <QtTest>

#include <sys/prctl.h>
#include <unistd.h>

using namespace quillbox;
using Box = platform::MessageBoxService;
using SB = QMessageBox::StandardButton;

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    // Work guarded by the reporter stops at the throw; work without an error runs whole.
    void guardReportsAndEnds_data() {
        QTest::addColumn<int>("number"); // 0: no error
        QTest::addColumn<QString>("description");
        QTest::newRow("no error") << 0 << "";
        QTest::newRow("missing file") << 3024 << "Could not find file 'senha.scc'.";
        QTest::newRow("placeholders") << 26 << "%1 is not a database %2";
        QTest::newRow("non-ASCII") << 3078 << "Tabela não encontrada: “Player”";
    }
    void guardReportsAndEnds() {
        QFETCH(int, number);
        QFETCH(QString, description);
        test::FakeMessageBoxes boxes;
        test::FakeProgramEnd end;
        platform::EngineErrorReporter reporter(boxes, end);
        QTemporaryFile err;
        QVERIFY(err.open());
        const int saved = ::dup(2);
        ::dup2(err.handle(), 2);
        int reached = 0;
        reporter.guard([&] {
            reached = 1;
            if (number)
                throw data::EngineError(number, description);
            reached = 2;
        });
        ::dup2(saved, 2);
        ::close(saved);
        err.seek(0);
        QCOMPARE(reached, number ? 1 : 2);
        const QString n = QString::number(number);
        QCOMPARE(QString::fromUtf8(err.readAll()),
                 number ? "quillbox: error " + n + ": " + description + "\n" : QString());
        QCOMPARE(boxes.calls.size(), std::size_t(number ? 1 : 0));
        QCOMPARE(end.statuses, number ? std::vector<int>{1} : std::vector<int>{});
        if (number) {
            QCOMPARE(boxes.calls[0].prompt, "Error " + n + ": " + description);
            QCOMPARE(boxes.calls[0].style, 16);
            QCOMPARE(boxes.calls[0].title, QStringLiteral("Quillbox"));
        }
    }

    // The low four bits of a style choose the buttons, the next the icon; the text is shown as
    // it is, never as markup.
    void boxOfStyle_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("defaultButton");
        QTest::newRow("16 stop") << 16 << int(QMessageBox::Critical) << int(SB::Ok) << int(SB::Ok);
        QTest::newRow("48 exclamation") << 48 << int(QMessageBox::Warning) << int(SB::Ok) << int(SB::Ok);
        QTest::newRow("64 information") << 64 << int(QMessageBox::Information) << int(SB::Ok) << int(SB::Ok);
        QTest::newRow("36 yes/no") << 36 << int(QMessageBox::Question) << int(SB::Yes | SB::No) << int(SB::Yes);
        QTest::newRow("0 plain") << 0 << int(QMessageBox::NoIcon) << int(SB::Ok) << int(SB::Ok);
        QTest::newRow("17 ok/cancel") << 17 << int(QMessageBox::Critical) << int(SB::Ok | SB::Cancel) << int(SB::Ok);
        QTest::newRow("2 abort/retry/ignore")
            << 2 << int(QMessageBox::NoIcon) << int(SB::Abort | SB::Retry | SB::Ignore) << int(SB::Abort);
        QTest::newRow("35 yes/no/cancel")
            << 35 << int(QMessageBox::Question) << int(SB::Yes | SB::No | SB::Cancel) << int(SB::Yes);
        QTest::newRow("5 retry/cancel") << 5 << int(QMessageBox::NoIcon) << int(SB::Retry | SB::Cancel) << int(SB::Retry);
    }
    void boxOfStyle() {
        QFETCH(int, style);
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(int, defaultButton);
        const QString prompt = "Error 3024: <b>a & b</b>\nsecond line";
        const auto box = platform::QtMessageBoxService::build(prompt, style, "Quillbox", nullptr);
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(int(box->standardButtons()), buttons);
        QCOMPARE(int(box->standardButton(box->defaultButton())), defaultButton);
        QCOMPARE(box->text(), prompt);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->windowTitle(), QStringLiteral("Quillbox"));
    }

    void clickedButtonGivesClassicAnswer() {
        QList<int> answers;
        for (SB b : {SB::Ok, SB::Cancel, SB::Abort, SB::Retry, SB::Ignore, SB::Yes, SB::No})
            answers << platform::QtMessageBoxService::answerFor(b);
        QCOMPARE(answers, QList<int>({1, 2, 3, 4, 5, 6, 7}));
    }

    void memoryIsKeptPrivate() {
        QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1); // else the check below proves nothing
        QVERIFY(platform::keepMemoryPrivate());
        QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
