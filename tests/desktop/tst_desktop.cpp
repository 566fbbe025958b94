// The one path of an engine failure: a line on standard error, a stop box with the number and
// the description, the end with status 1; the Qt message box the boxes are shown in; and the
// process that holds the password kept out of core files and other processes' reach; and the
// kind of tray the icon lands in.

#include "desktop/EngineErrorReporter.h"
#include "desktop/QtMessageBoxService.h"
#include "desktop/QtTrayIcon.h"
#include "os/ProcessPrivacy.h"
#include "support/FakeServices.h"

#include <QDBusConnection>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QThread>
#include <QTemporaryFile>
#include <QtTest>

#include <sys/prctl.h>
#include <unistd.h>

using namespace quillbox;
using Box = desktop::MessageBoxService;
using SB = QMessageBox::StandardButton;

class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered MEMBER host)

public:
    bool host = false;
};

class TestDesktop : public QObject {
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
        desktop::EngineErrorReporter reporter(boxes, end);
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
            QCOMPARE(boxes.calls[0].style, Box::StyleStop);
            QCOMPARE(boxes.calls[0].title, QStringLiteral("Quillbox"));
        }
    }

    // Each style the program shows: its icon, its buttons (the default first) and the answer
    // each gives; the text is shown as it is, never as markup.
    void boxOfStyle_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QList<int>>("buttons");
        QTest::addColumn<QList<int>>("answers");
        const QList<int> ok{SB::Ok}, answeredOk{Box::AnswerOk};
        QTest::newRow("stop") << Box::StyleStop << int(QMessageBox::Critical) << ok << answeredOk;
        QTest::newRow("exclamation")
            << Box::StyleExclamation << int(QMessageBox::Warning) << ok << answeredOk;
        QTest::newRow("information")
            << Box::StyleInformation << int(QMessageBox::Information) << ok << answeredOk;
        QTest::newRow("yes/no question")
            << Box::StyleYesNoQuestion << int(QMessageBox::Question) << QList<int>{SB::Yes, SB::No}
            << QList<int>{Box::AnswerYes, Box::AnswerNo};
    }
    void boxOfStyle() {
        QFETCH(int, style);
        QFETCH(int, icon);
        QFETCH(QList<int>, buttons);
        QFETCH(QList<int>, answers);
        const QString prompt = "Error 3024: <b>a & b</b>\nsecond line";
        const auto box = desktop::QtMessageBoxService::build(prompt, style, "Quillbox", nullptr);
        QCOMPARE(int(box->icon()), icon);
        QMessageBox::StandardButtons shown;
        QList<int> given;
        for (int b : buttons) {
            shown |= SB(b);
            given << desktop::QtMessageBoxService::answerFor(b);
        }
        QCOMPARE(box->standardButtons(), shown);
        QCOMPARE(int(box->standardButton(box->defaultButton())), buttons.front());
        QCOMPARE(given, answers);
        QCOMPARE(box->text(), prompt);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->windowTitle(), QStringLiteral("Quillbox"));
    }

    // A StatusNotifierItem host where a watcher on the session bus (here a private one) says a
    // host is registered; the XEmbed tray where there is no watcher, or no host.
    void trayKindFollowsTheWatcher() {
        using Tray = desktop::QtTrayIcon;
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        QVERIFY2(daemon.waitForReadyRead(10000), "needs dbus-daemon (Debian package dbus-daemon)");
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        auto app = QDBusConnection::connectToBus(address, "app");
        auto host = QDBusConnection::connectToBus(address, "host");
        QCOMPARE(Tray::kindOn(app), Tray::Kind::XEmbed);
        QThread thread; // answers while this one waits for the answer
        FakeWatcher watcher;
        watcher.moveToThread(&thread);
        thread.start();
        const auto stop = qScopeGuard([&] { // a failed check leaves no thread or bus behind
            thread.quit();
            thread.wait();
            daemon.kill();
            daemon.waitForFinished();
        });
        QVERIFY(host.registerObject("/StatusNotifierWatcher", &watcher,
                                    QDBusConnection::ExportAllProperties));
        QVERIFY(host.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
        QCOMPARE(Tray::kindOn(app), Tray::Kind::XEmbed);
        watcher.host = true;
        QCOMPARE(Tray::kindOn(app), Tray::Kind::StatusNotifier);
    }

    // However short the prompt, the box leaves its title bar room for the title and the window
    // manager's buttons.
    void boxHasRoomForItsTitle() {
        const QString title = "Try Again";
        const auto box = desktop::QtMessageBoxService::build("x", Box::StyleStop, title, nullptr);
        box->show();
        QFont bold = QApplication::font("QMdiSubWindowTitleBar");
        bold.setBold(true);
        QVERIFY(box->width() >= QFontMetrics(bold).horizontalAdvance(title) + 120);
    }

    void memoryIsKeptPrivate() {
        QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1); // else the check below proves nothing
        QVERIFY(os::keepMemoryPrivate());
        QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
