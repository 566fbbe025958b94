// The main window as it stands after loading: its controls and menus, the contact list, the
// notification icon, hiding, and every way out.

#include "support/MainWindowFixture.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <cmath>

using namespace quillbox;
using windows::MainProgram;

namespace {

int px(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

} // namespace

class TestMainProgram : public QObject, public test::MainWindowFixture {
    Q_OBJECT


private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<int>("max");
        QTest::addColumn<bool>("shown");
        auto row = [](const char* name, const char* kind, const char* text, int l, int t, int w,
                      int h, const char* tip = "", int max = 0, bool shown = true) {
            QTest::newRow(name) << name << kind << QString::fromUtf8(text) << QRect(l, t, w, h)
                                << QString::fromUtf8(tip) << max << shown;
        };
        row("cmdNew", "button", "Add New", 720, 120, 975, 375, "Adds a new entry to the Quillbox.");
        row("Label1", "label", "Last Name, First Name", 120, 600, 1695, 255);
        row("txtName", "line", "", 120, 840, 2415, 375, "", 49);
        row("Label3", "label", "E-mail Address", 120, 1320, 1335, 255);
        row("txtEmail", "line", "", 120, 1560, 2415, 375, "", 99);
        row("Label5", "label", "Phone Number", 120, 2040, 1575, 255);
        row("txtPhone", "line", "", 120, 2280, 2415, 375, "", 69);
        row("Label7", "label", "Address", 120, 2760, 1095, 255);
        row("txtAddress", "multi", "", 120, 3000, 2415, 1095, "", 99);
        row("cmdClear1", "button", "Clear Fields", 720, 4200, 1212, 372, "Empties the Add New boxes.");
        row("cmdUpdate", "button", "Update", 3720, 120, 975, 375,
            "Updates an existing Quillbox entry.");
        row("Label2", "label", "Last Name, First Name", 2760, 600, 1695, 255);
        row("txtUpdateName", "line", "", 2760, 840, 3015, 375, "", 49);
        row("Label4", "label", "E-mail Address", 2760, 1320, 1095, 255);
        row("cmdCopyEmail", "button", "copy", 3960, 1320, 495, 255,
            "Copies the selected E-mail Address to the clipboard.");
        row("cmdSend", "button", "send", 4560, 1320, 495, 255,
            "Opens the default e-mail application and inserts the selected e-mail into the "
            "\"To:\" line.");
        row("cmdAddToList", "button", "add", 5160, 1320, 495, 255,
            "Adds the selected e-mail address to a send list.");
        row("txtUpdateEmail", "line", "", 2760, 1560, 3015, 375, "", 99);
        row("Label6", "label", "Phone Number", 2760, 2040, 1455, 255);
        row("cmdCopyPhone", "button", "copy", 3960, 2040, 495, 255,
            "Copies the selected Phone Number to the clipboard.");
        row("txtUpdatePhone", "line", "", 2760, 2280, 3015, 375, "", 69);
        row("Label8", "label", "Address", 2760, 2760, 1215, 255);
        row("cmdCopyAddress", "button", "copy", 3960, 2760, 495, 255,
            "Copies the selected Address to the clipboard.");
        row("txtUpdateAddress", "multi", "", 2760, 3000, 3015, 1095, "", 99);
        row("cmdClear", "button", "Clear Fields", 3600, 4200, 1332, 372, "Empties the Update boxes.");
        row("Label9", "label", "Click on an entry below to view or edit contact information.",
            6120, 120, 1575, 615);
        row("lstRecords", "list", "", 5880, 840, 2055, 3180);
        row("cmdDelete", "button", "Delete", 5880, 4200, 1092, 375,
            "Deletes the selected Quillbox entry.");
        row("Command1", "button", "Exit", 7080, 4200, 852, 375, "Exits the program.");
        row("txtEmailList", "multi", "", 120, 4920, 3135, 735, "", 0, false);
        row("cmdSendList", "button", "Send", 3720, 5160, 735, 375, "", 0, false);
        row("cmdClearEmailList", "button", "Clear", 4680, 5160, 735, 375, "", 0, false);
        row("cmdAddAll", "button", "Add Everybody", 5640, 5160, 1335, 375, "", 0, false);
        row("cmdDone", "button", "Done", 7200, 5160, 735, 375, "", 0, false);
        row("imgIcon", "picture", "", 2760, 0, 615, 495, "", 0, false);
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QRect, twips);
        QFETCH(QString, tip);
        QFETCH(int, max);
        QFETCH(bool, shown);
        load();
        auto* w = window_->findChild<QWidget*>(name);
        QVERIFY(w);
        QCOMPARE(w->geometry(), QRect(px(twips.x()), px(twips.y()), px(twips.width()),
                                      px(twips.height())));
        QCOMPARE(w->toolTip(), tip);
        QCOMPARE(w->isVisibleTo(window_.get()), shown);
        if (kind == "button") {
            auto* b = qobject_cast<QPushButton*>(w);
            QVERIFY(b);
            QCOMPARE(b->text(), text);
            QVERIFY(!b->autoDefault() && !b->isDefault());
            QVERIFY(b->fontMetrics().horizontalAdvance(text) <= b->width()); // not cut
        } else if (kind == "label") {
            QCOMPARE(qobject_cast<QLabel*>(w)->text(), text);
            if (name != "Label9") // the one that wraps
                QVERIFY(w->fontMetrics().horizontalAdvance(text) <= w->width()); // not cut
        } else if (kind == "line") {
            auto* box = qobject_cast<windows::LineBox*>(w);
            QVERIFY(box);
            QCOMPARE(box->Text(), QString());
            QCOMPARE(box->maxLength(), max);
        } else if (kind == "multi") {
            QVERIFY(qobject_cast<windows::MultiLineBox*>(w));
            // The limit counts a line break as two; the box is filled past it to check.
            auto* box = qobject_cast<windows::MultiLineBox*>(w);
            QCOMPARE(box->Text(), QString());
            if (max > 0) {
                box->setFocus();
                QTest::keyClicks(box, QString(max + 5, QLatin1Char('x')));
                QCOMPARE(box->Text().size(), max);
            }
        } else if (kind == "list") {
            QVERIFY(qobject_cast<windows::ListBox*>(w));
        } else if (kind == "picture") {
            QVERIFY(!qobject_cast<QLabel*>(w)->pixmap().isNull());
        }
    }

    void windowProperties() {
        load();
        QCOMPARE(window_->windowTitle(), QStringLiteral("Quillbox"));
        QCOMPARE(window_->centralWidget()->size(), QSize(536, 312));
        QVERIFY(!window_->windowIcon().isNull());
        QCOMPARE(window_->focusWidget(), window_->findChild<QWidget*>("txtName"));
        // Controls stay where they are when the window grows.
        const QRect before = list()->geometry();
        window_->resize(900, 700);
        QCOMPARE(list()->geometry(), before);
        // Both rules are there; the lower one only with the e-mail panel.
        QVERIFY(window_->findChild<QFrame*>("Line1")->isVisible());
        QVERIFY(!window_->findChild<QFrame*>("Line2")->isVisibleTo(window_.get()));
    }

    void menus() {
        load();
        QStringList tree;
        std::function<void(QMenu*, const QString&)> walk = [&](QMenu* menu, const QString& path) {
            for (QAction* a : menu->actions()) {
                QVERIFY(a->isVisible() && a->isEnabled() && !a->isCheckable());
                QVERIFY(!a->isSeparator());
                QVERIFY(a->shortcut().isEmpty());
                const QString name = a->menu() ? a->menu()->objectName() : a->objectName();
                tree << path + name + QLatin1Char('=') + a->text();
                if (a->menu())
                    walk(a->menu(), path + name + QLatin1Char('/'));
            }
        };
        for (QAction* a : window_->menuBar()->actions()) {
            tree << a->menu()->objectName() + QLatin1Char('=') + a->text();
            walk(a->menu(), a->menu()->objectName() + QLatin1Char('/'));
        }
        const QStringList expected = {
            "File=File",
            "File/Hide=Hide",
            "File/Options=Options",
            "File/Options/RemovePassword=Remove Password Protection",
            "File/Options/PasswordProtect=Password Protect",
            "File/Options/ChangePassword=Change Password",
            "File/Options/EmailList=Make E-mail List",
            "File/Exit=Exit",
            "Help=Help",
            "Help/HowTo=How to...",
            "Help/HowTo/Add=Add a Person",
            "Help/HowTo/Update=Update a Person's Information",
            "Help/HowTo/Delete=Delete a Person",
            "Help/HowTo/PasswordOff=Remove Password Protection",
            "Help/HowTo/PasswordOn=Password Protect",
            "Help/HowTo/SendEmail=Send an E-mail to One Address",
            "Help/HowTo/SendToSeveral=Send an E-mail to Multiple Addresses",
            "Help/HowTo/AddEverybody=Add All E-mail Addresses",
            "Help/HowTo/HowChange=Change Password",
            "Help/HowTo/AOLdefault=Make AOL your Default E-mail Application",
            "Help/About=About Quillbox",
        };
        QCOMPARE(tree, expected);
    }

    // Tab walks the visible controls in the window's order; the multi-line boxes pass it on
    // instead of taking a tab character.
    void tabOrder() {
        load();
        QApplication::setActiveWindow(window_.get());
        const QStringList expected = {
            "txtName", "txtEmail", "txtPhone", "txtAddress", "txtUpdateName", "txtUpdateEmail",
            "txtUpdatePhone", "txtUpdateAddress", "cmdUpdate", "cmdClear", "cmdNew", "lstRecords",
            "cmdDelete", "Command1", "cmdClear1", "cmdSend", "cmdCopyPhone", "cmdCopyAddress",
            "cmdAddToList", "cmdCopyEmail", "txtName"};
        QStringList seen{QApplication::focusWidget()->objectName()};
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(seen, expected);
    }

    void listShowsEveryContactSorted() {
        file_->exec(QStringLiteral(
            "INSERT INTO Addresses (Name, Phone) VALUES ('Smith', '1'), ('Brown', '2'), "
            "('Clark', '3'), ('brown', '4'), ('Brown', '5'), ('Åsa', '6'), ('', '7');"));
        load();
        QCOMPARE(window_->ListClicks, 1.0f);
        QCOMPARE(window_->NoPersonChosen, 0.0f);
        QStringList names;
        std::vector<int> numbers;
        for (int i = 0; i < list()->ListCount(); ++i) {
            names << list()->List(i);
            numbers.push_back(list()->ItemData(i));
        }
        // Equal names keep their own numbers, in the order they were stored.
        QCOMPARE(names, QStringList({"", "Åsa", "Brown", "brown", "Brown", "Clark", "Smith"}));
        QCOMPARE(numbers, std::vector<int>({7, 6, 2, 4, 5, 3, 1}));
        QCOMPARE(list()->ListIndex(), -1);
    }

    void emptyTableGivesEmptyList() {
        load();
        QCOMPARE(list()->ListCount(), 0);
        QCOMPARE(window_->ListClicks, 1.0f);
    }

    void trayIconIsRegisteredFirst() {
        load();
        QCOMPARE(fakes_->tray.added, 1);
        QCOMPARE(fakes_->tray.tip, QStringLiteral("Quillbox, Version 3.1"));
        QVERIFY(fakes_->tray.hadIcon);
    }

    void trayEvents_data() {
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("showsWindow");
        QTest::addColumn<bool>("popsUpFile");
        QTest::newRow("double-click") << 515 << true << false;
        QTest::newRow("right button up") << 517 << false << true;
        QTest::newRow("pointer moves") << 512 << false << false;
        QTest::newRow("left button down") << 513 << false << false;
        QTest::newRow("left button up") << 514 << false << false;
        QTest::newRow("right button down") << 516 << false << false;
    }
    void trayEvents() {
        QFETCH(int, message);
        QFETCH(bool, showsWindow);
        QFETCH(bool, popsUpFile);
        load();
        window_->findChild<QAction*>("Hide")->trigger();
        QVERIFY(window_->isHidden());
        fakes_->tray.send(message);
        QCOMPARE(window_->isVisible(), showsWindow);
        QCOMPARE(fakes_->tray.popUps, popsUpFile ? std::vector<QString>{"File"}
                                                 : std::vector<QString>{});
        fakes_->tray.send(message); // a second time changes nothing more
        QCOMPARE(window_->isVisible(), showsWindow);
    }

    // While the File menu is up, the tray's further events are taken but not acted on.
    void trayGuardsAgainstReentry() {
        load();
        window_->findChild<QAction*>("Hide")->trigger();
        fakes_->tray.whilePoppedUp = [this](QMenu&) {
            fakes_->tray.send(515);
            fakes_->tray.send(517);
        };
        fakes_->tray.send(517);
        QCOMPARE(fakes_->tray.popUps.size(), std::size_t{1});
        QVERIFY(window_->isHidden());
        fakes_->tray.whilePoppedUp = nullptr;
        fakes_->tray.send(515); // and once the menu is closed, events count again
        QVERIFY(window_->isVisible());
    }

    void hideWithoutNotificationAreaMinimizes() {
        fakes_->tray.hasArea = false;
        load();
        window_->findChild<QAction*>("Hide")->trigger();
        QVERIFY(window_->isVisible());
        QVERIFY(window_->isMinimized());
    }

    void everyWayOutRemovesTheIconAndEnds_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Exit button") << 0;
        QTest::newRow("File > Exit") << 1;
        QTest::newRow("close box") << 2;
        QTest::newRow("Exit from the tray's File menu") << 3;
    }
    void everyWayOutRemovesTheIconAndEnds() {
        QFETCH(int, how);
        load();
        if (how == 0)
            QTest::mouseClick(window_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        else if (how == 1)
            window_->findChild<QAction*>("Exit")->trigger();
        else if (how == 2)
            window_->close();
        else {
            fakes_->tray.whilePoppedUp = [this](QMenu& m) {
                m.findChild<QAction*>("Exit")->trigger();
            };
            fakes_->tray.send(517);
        }
        QCOMPARE(fakes_->tray.removed, 1);
        QCOMPARE(fakes_->end.statuses, std::vector<int>{0});
    }
};

QTEST_MAIN(TestMainProgram)
#include "tst_MainProgram.moc"
