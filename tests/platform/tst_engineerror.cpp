#include "platform/EngineErrorReporter.h"
#include "platform/QtMessageBoxService.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakeProgramEnd.h"

#include <QPushButton>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

using quillbox::data::EngineError;
using quillbox::platform::EngineErrorReporter;
using quillbox::platform::MessageBoxService;
using quillbox::platform::QtMessageBoxService;
using quillbox::test::FakeMessageBoxes;
using quillbox::test::FakeProgramEnd;

namespace {

// Runs f with file descriptor 2 pointing at a temporary file and returns what was written.
template <class F> QByteArray captureStderr(F&& f) {
    QTemporaryFile file;
    if (!file.open())
        qFatal("cannot open a temporary file");
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(file.handle(), 2);
    f();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

} // namespace

class TestEngineError : public QObject {
    Q_OBJECT

private slots:
    void reportShowsStopBoxWritesLineAndEnds_data();
    void reportShowsStopBoxWritesLineAndEnds();
    void guardStopsWorkAtTheThrowAndReports();
    void guardLetsWorkWithoutErrorFinish();

    void boxHasIconAndButtonsOfStyle_data();
    void boxHasIconAndButtonsOfStyle();
    void boxShowsPromptAndTitleVerbatim();
    void clickedButtonGivesClassicAnswer();
};

void TestEngineError::reportShowsStopBoxWritesLineAndEnds_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::newRow("missing file") << 3024 << QStringLiteral("Could not find file 'senha.scc'.");
    QTest::newRow("placeholder in text") << 26 << QStringLiteral("%1 is not a database %2");
    QTest::newRow("non-ASCII") << 3078 << QStringLiteral("Tabela não encontrada: “Player”");
}

void TestEngineError::reportShowsStopBoxWritesLineAndEnds() {
    QFETCH(int, number);
    QFETCH(QString, description);
    FakeMessageBoxes boxes;
    FakeProgramEnd end;
    EngineErrorReporter reporter(boxes, end);

    const QByteArray err =
        captureStderr([&] { reporter.report(EngineError(number, description)); });

    const QString n = QString::number(number);
    QCOMPARE(QString::fromUtf8(err), "quillbox: error " + n + ": " + description + "\n");
    QCOMPARE(boxes.calls.size(), 1u);
    QCOMPARE(boxes.calls[0].prompt, "Error " + n + ": " + description);
    QCOMPARE(boxes.calls[0].style, 16);
    QCOMPARE(boxes.calls[0].title, QStringLiteral("Quillbox"));
    QCOMPARE(end.statuses, std::vector<int>{1});
}

void TestEngineError::guardStopsWorkAtTheThrowAndReports() {
    FakeMessageBoxes boxes;
    FakeProgramEnd end;
    EngineErrorReporter reporter(boxes, end);
    int reached = 0;

    captureStderr([&] {
        reporter.guard([&] {
            reached = 1;
            throw EngineError(3021, QStringLiteral("No current record."));
            reached = 2;
        });
    });

    QCOMPARE(reached, 1);
    QCOMPARE(boxes.calls.size(), 1u);
    QCOMPARE(boxes.calls[0].prompt, QStringLiteral("Error 3021: No current record."));
    QCOMPARE(end.statuses, std::vector<int>{1});
}

void TestEngineError::guardLetsWorkWithoutErrorFinish() {
    FakeMessageBoxes boxes;
    FakeProgramEnd end;
    EngineErrorReporter reporter(boxes, end);
    int reached = 0;

    const QByteArray err = captureStderr([&] {
        reporter.guard([&] {
            reached = 1;
            reached = 2;
        });
    });

    QCOMPARE(reached, 2);
    QVERIFY(err.isEmpty());
    QVERIFY(boxes.calls.empty());
    QVERIFY(end.statuses.empty());
}

void TestEngineError::boxHasIconAndButtonsOfStyle_data() {
    using SB = QMessageBox::StandardButton;
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("defaultButton");
    QTest::newRow("16 stop") << MessageBoxService::StyleStop << int(QMessageBox::Critical)
                             << int(SB::Ok) << int(SB::Ok);
    QTest::newRow("48 exclamation") << MessageBoxService::StyleExclamation
                                    << int(QMessageBox::Warning) << int(SB::Ok) << int(SB::Ok);
    QTest::newRow("64 information") << MessageBoxService::StyleInformation
                                    << int(QMessageBox::Information) << int(SB::Ok) << int(SB::Ok);
    QTest::newRow("36 question yes/no")
        << MessageBoxService::StyleYesNoQuestion << int(QMessageBox::Question)
        << int(SB::Yes | SB::No) << int(SB::Yes);
    QTest::newRow("0 plain") << 0 << int(QMessageBox::NoIcon) << int(SB::Ok) << int(SB::Ok);
    QTest::newRow("17 stop ok/cancel")
        << 17 << int(QMessageBox::Critical) << int(SB::Ok | SB::Cancel) << int(SB::Ok);
    QTest::newRow("35 question yes/no/cancel")
        << 35 << int(QMessageBox::Question) << int(SB::Yes | SB::No | SB::Cancel) << int(SB::Yes);
}

void TestEngineError::boxHasIconAndButtonsOfStyle() {
    QFETCH(int, style);
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(int, defaultButton);

    const auto box =
        QtMessageBoxService::build(QStringLiteral("p"), style, QStringLiteral("t"), nullptr);

    QCOMPARE(int(box->icon()), icon);
    QCOMPARE(int(box->standardButtons()), buttons);
    QVERIFY(box->defaultButton());
    QCOMPARE(int(box->standardButton(box->defaultButton())), defaultButton);
    QVERIFY(!box->isVisible());
}

void TestEngineError::boxShowsPromptAndTitleVerbatim() {
    const QString prompt = QStringLiteral("Error 3024: <b>a & b</b>\nsecond line");
    const auto box = QtMessageBoxService::build(prompt, 16, QStringLiteral("Quillbox"), nullptr);

    QCOMPARE(box->text(), prompt);
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QCOMPARE(box->windowTitle(), QStringLiteral("Quillbox"));
}

void TestEngineError::clickedButtonGivesClassicAnswer() {
    using SB = QMessageBox::StandardButton;
    QCOMPARE(QtMessageBoxService::answerFor(SB::Ok), 1);
    QCOMPARE(QtMessageBoxService::answerFor(SB::Cancel), 2);
    QCOMPARE(QtMessageBoxService::answerFor(SB::Abort), 3);
    QCOMPARE(QtMessageBoxService::answerFor(SB::Retry), 4);
    QCOMPARE(QtMessageBoxService::answerFor(SB::Ignore), 5);
    QCOMPARE(QtMessageBoxService::answerFor(SB::Yes), 6);
    QCOMPARE(QtMessageBoxService::answerFor(SB::No), 7);
}

QTEST_MAIN(TestEngineError)
#include "tst_engineerror.moc"
