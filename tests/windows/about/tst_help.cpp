// The help messages and the About window.

#include "support/MainWindowFixture.h"
#include "windows/main/MainProgram.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace quillbox;

class TestHelp : public QObject, public test::MainWindowFixture {
    Q_OBJECT

private slots:
    void init() {
        setUp();
        load();
    }
    void cleanup() { tearDown(); }

    void messages_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("Add") << "Add" << "Adding a Person"
            << "Fill in corresponding information under the 'Add New' button and click the 'Add "
               "New' button";
        QTest::newRow("Update") << "Update" << "Updating Information"
            << "In the list on the right of the screen, click the person for whose information "
               "you wish to update.  When the information appears under the 'Update' button, "
               "change the appropriate information and hit the 'Update' button.";
        QTest::newRow("Delete") << "Delete" << "Deleting a Person"
            << "In the list on the right, click the person you wish to delete, then hit the "
               "'Delete' button.";
        QTest::newRow("PasswordOff") << "PasswordOff" << "Removing Password Protection"
            << "Go to File > Options > Remove Password Protection";
        QTest::newRow("PasswordOn") << "PasswordOn" << "Enable Password Protection"
            << "Go to File > Options > Password Protect";
        QTest::newRow("SendEmail") << "SendEmail" << "E-mail Single"
            << "In the list on the right of the screen, click the person you wish to e-mail.  "
               "When the information appears in the e-mail box, click the 'send' button";
        QTest::newRow("SendToSeveral") << "SendToSeveral" << "E-mail Multiple"
            << "Go to 'File > Options > Make E-mail List'.  In the list on the right of the "
               "screen, click the person you wish to e-mail.  When the information appears in "
               "the e-mail box, click the 'add' button.  Repeat this process until you've added "
               "your list of e-mail addresses.  Click 'Send' when you are ready to prepare the "
               "e-mail message.";
        QTest::newRow("AddEverybody") << "AddEverybody" << "Adding Everybody"
            << "Go to 'File/Options/Make E-mail List' and click the 'Add Everybody' button at "
               "the bottom.";
        QTest::newRow("HowChange") << "HowChange" << "Changing Password"
            << "Go to File > Options > Change Password and type a new password";
        QTest::newRow("AOLdefault") << "AOLdefault" << "Use AOL"
            << "Go to 'AOL Keyword: Preferences' and click 'Association', then click 'OK' to "
               "delegate AOL as your default Internet and E-mail application.";
    }
    void messages() {
        QFETCH(QString, item);
        QFETCH(QString, title);
        QFETCH(QString, text);
        menu(item.toLatin1().constData());
        QCOMPARE(fakes_->boxes.calls.size(), std::size_t{1});
        QCOMPARE(fakes_->boxes.calls[0].title, title);
        QCOMPARE(fakes_->boxes.calls[0].prompt, text);
        QCOMPARE(fakes_->boxes.calls[0].style, 64);
    }

    void aboutWindow() {
        for (int time = 0; time < 2; ++time) {
            fakes_->dialogs.then([](QDialog& d) {
                QCOMPARE(d.windowTitle(), QStringLiteral("About Quillbox"));
                QCOMPARE(d.size(), QSize(190, 144));
                auto* ok = d.findChild<QPushButton*>("cmdOK3");
                QCOMPARE(d.focusWidget(), ok);
                QVERIFY(!ok->isDefault());
                QCOMPARE(ok->geometry(), QRect(64, 112, 65, 25));
                QCOMPARE(d.findChild<QLabel*>("Label1")->geometry(), QRect(16, 8, 169, 89));
                QTest::keyClick(&d, Qt::Key_Escape); // Esc does not close it
                QVERIFY(d.isVisible());
                QTest::keyClick(ok, Qt::Key_Return); // Enter presses the focused OK
                QVERIFY(!d.isVisible());
            });
            menu("About");
        }
        QCOMPARE(fakes_->dialogs.shown, std::vector<QString>(2, QStringLiteral("frmAbout")));
        QVERIFY(fakes_->boxes.calls.empty());
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
