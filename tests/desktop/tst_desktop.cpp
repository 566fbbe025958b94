// The one path of an engine failure: a line on standard error, a stop box with the number and
// the description, the end with status 1; the Qt message box the boxes are shown in; and the
// kind of tray the icon lands in.

#include "desktop/EngineErrorReporter.h"
#include "desktop/QtMessageBoxService.h"
#include "desktop/QtTrayIcon.h"
#include "support/FakeServices.h"

#include <QAbstractButton>
#include <QDBusConnection>
#include <QProcess>
#include <QMessageBox>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

using namespace quillbox;
using Box = desktop::MessageBoxService;

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

    // Each style the program shows, answered as a person would: by Enter, which takes the
    // default, or by a click on a button the box offers. The prompt is shown as it is, never as
    // markup, and however short, it leaves the title bar room for the title and the window
    // manager's buttons.
    void boxAnswers_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("offers"); // the buttons' texts, in order of the alphabet
        QTest::addColumn<QString>("click");  // "" presses Enter
        QTest::addColumn<int>("answer");
        const int question = QMessageBox::Question;
        QTest::newRow("stop") << Box::StyleStop << int(QMessageBox::Critical) << "OK" << ""
                              << Box::AnswerOk;
        QTest::newRow("exclamation") << Box::StyleExclamation << int(QMessageBox::Warning) << "OK"
                                     << "OK" << Box::AnswerOk;
        QTest::newRow("information") << Box::StyleInformation << int(QMessageBox::Information)
                                     << "OK" << "" << Box::AnswerOk;
        for (const QString click : {"", "Yes", "No"})
            QTest::addRow("question, '%s'", qPrintable(click))
                << Box::StyleYesNoQuestion << question << "No Yes" << click
                << (click == "No" ? Box::AnswerNo : Box::AnswerYes);
    }
    void boxAnswers() {
        QFETCH(int, style);
        QFETCH(int, icon);
        QFETCH(QString, offers);
        QFETCH(QString, click);
        QFETCH(int, answer);
        const QString prompt = "<b>a & b</b>", title = "Try Again";
        QStringList seen; // the box as shown, each button's text last
        QTimer::singleShot(0, [&] { // runs in the box's own event loop, once the box is up
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            QFont bold = QApplication::font("QMdiSubWindowTitleBar");
            bold.setBold(true);
            const bool roomy = box->width() >= QFontMetrics(bold).horizontalAdvance(title) + 120;
            seen << QString::number(box->icon()) << box->text() << box->windowTitle()
                 << QString::number(box->textFormat() == Qt::PlainText && roomy);
            QAbstractButton* chosen = nullptr;
            for (QAbstractButton* b : box->buttons()) {
                seen << b->text().remove(u'&');
                chosen = seen.back() == click ? b : chosen;
            }
            if (chosen)
                chosen->click();
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
        desktop::QtMessageBoxService boxes;
        QCOMPARE(boxes.MsgBox(prompt, style, title), answer);
        QStringList buttons = seen.mid(4);
        buttons.sort();
        QCOMPARE(seen.mid(0, 4), QStringList({QString::number(icon), prompt, title, "1"}));
        QCOMPARE(buttons.join(u' '), offers);
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
        // The same question asked on a thread of its own, the bus reached there.
        QCOMPARE(Tray::kindMeanwhile([&] { return app; }).get(), Tray::Kind::StatusNotifier);
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
