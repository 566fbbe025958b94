// Sending to one address and to the send list: the exact request text, the list's format, and
// the e-mail panel's coming and going.

#include "support/MainWindowFixture.h"
#include "windows/Twips.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QAction>
#include <QDir>
#include <QFrame>
#include <QPushButton>
#include <QTest>

using namespace quillbox;
using windows::MainProgram;

class TestMail : public QObject, public test::MainWindowFixture {
    Q_OBJECT


    windows::MultiLineBox* sendList() {
        return window_->findChild<windows::MultiLineBox*>("txtEmailList");
    }
    void showEmail(const QString& email) {
        window_->findChild<windows::LineBox*>("txtUpdateEmail")->SetText(email);
    }
    bool panelShown() {
        const char* panel[] = {"txtEmailList", "cmdSendList", "cmdClearEmailList",
                               "cmdAddAll",    "cmdDone",     "Line2"};
        int shown = 0;
        for (const char* name : panel)
            shown += window_->findChild<QWidget*>(name)->isVisibleTo(window_.get());
        if (shown != 0 && shown != 6)
            qWarning("the panel is half shown");
        return shown == 6;
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void sendToOneAddress_data() {
        QTest::addColumn<QString>("box");
        QTest::newRow("an address") << "ann@example.com";
        QTest::newRow("blanks kept") << "  ann@example.com ";
        QTest::newRow("empty") << "";
        QTest::newRow("not an address") << "Ann & Bob; <x>";
    }
    void sendToOneAddress() {
        QFETCH(QString, box);
        load();
        showEmail(box);
        press("cmdSend");
        press("cmdSend"); // twice: two requests
        QCOMPARE(fakes_->mail.requests,
                 std::vector<QString>(2, QStringLiteral("mailto:") + box));
        QVERIFY(fakes_->boxes.calls.empty());
    }

    // The list is the addresses in the order added, joined by ", ", with nothing before the
    // first or after the last; empty addresses and repeats are added like any other.
    void sendListFormat_data() {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QString>("list");
        QTest::newRow("three") << QStringList{"a@x", "b@x", "c@x"} << "a@x, b@x, c@x";
        QTest::newRow("repeat") << QStringList{"a@x", "a@x"} << "a@x, a@x";
        QTest::newRow("empty first") << QStringList{"", "a@x"} << "a@x";
        QTest::newRow("empty between") << QStringList{"a@x", "", "b@x"} << "a@x, , b@x";
        QTest::newRow("empty last") << QStringList{"a@x", ""} << "a@x, ";
        QTest::newRow("only empty") << QStringList{"", ""} << "";
    }
    void sendListFormat() {
        QFETCH(QStringList, added);
        QFETCH(QString, list);
        load();
        menu("EmailList");
        for (const QString& email : added) {
            showEmail(email);
            press("cmdAddToList");
        }
        QCOMPARE(sendList()->Text(), list);
        press("cmdSendList");
        QCOMPARE(fakes_->mail.requests.back(), QStringLiteral("mailto:") + list);
    }

    // Text the user typed into the list stays, and everything appends after it; "Add
    // Everybody" takes each contact's address in the file's order, Null as empty text.
    void addEverybody() {
        file_->exec("INSERT INTO Addresses (Name, email) VALUES ('Zed', NULL), ('Ann', 'ann@x'), "
                    "('Bob', ''), ('Cy', 'cy@x')");
        load();
        menu("EmailList");
        press("cmdAddAll");
        QCOMPARE(sendList()->Text(), QStringLiteral("ann@x, , cy@x"));
        press("cmdAddAll"); // twice: everybody again
        QCOMPARE(sendList()->Text(), QStringLiteral("ann@x, , cy@x, , ann@x, , cy@x"));
        sendList()->SetText(QStringLiteral("typed by hand"));
        showEmail(QStringLiteral("me@x"));
        press("cmdAddToList");
        press("cmdAddAll");
        QCOMPARE(sendList()->Text(), QStringLiteral("typed by hand, me@x, , ann@x, , cy@x"));
        press("cmdSendList");
        QCOMPARE(fakes_->mail.requests.back(),
                 QStringLiteral("mailto:typed by hand, me@x, , ann@x, , cy@x"));
        press("cmdClearEmailList");
        press("cmdSendList");
        QCOMPARE(fakes_->mail.requests.back(), QStringLiteral("mailto:"));
    }

    void addEverybodyOnAnEmptyTable() {
        load();
        menu("EmailList");
        sendList()->SetText(QStringLiteral("kept"));
        press("cmdAddAll");
        QCOMPARE(sendList()->Text(), QStringLiteral("kept"));
        QVERIFY(fakes_->end.statuses.empty());
    }

    // "Add Everybody" opens a new record set; the chosen entry's contact is still the one an
    // update writes into.
    void updateAfterAddEverybodyGoesToTheChosenContact() {
        file_->exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', '1'), ('Bob', '2')");
        load();
        choose(0); // Ann
        menu("EmailList");
        press("cmdAddAll");
        window_->findChild<windows::LineBox*>("txtUpdatePhone")->SetText(QStringLiteral("new"));
        press("cmdUpdate");
        QCOMPARE(file_->scalar("SELECT Phone FROM Addresses WHERE Name = 'Ann'").toString(),
                 QStringLiteral("new"));
        QCOMPARE(file_->scalar("SELECT Phone FROM Addresses WHERE Name = 'Bob'").toString(),
                 QStringLiteral("2"));
    }

    void panelOpensAndCloses() {
        load();
        QVERIFY(!panelShown());
        const int closedHeight = window_->frameGeometry().height();
        showEmail(QStringLiteral("a@x"));
        press("cmdAddToList"); // "add" opens the panel too
        QVERIFY(panelShown());
        QVERIFY(window_->frameGeometry().height() >= windows::px(6435));
        // The whole panel is inside the window.
        QVERIFY(window_->centralWidget()->height() >= sendList()->geometry().bottom() + 1);
        QCOMPARE(sendList()->Text(), QStringLiteral("a@x"));
        menu("EmailList"); // again while open: emptied, still open
        QVERIFY(panelShown());
        QCOMPARE(sendList()->Text(), QString());
        showEmail(QStringLiteral("b@x"));
        press("cmdAddToList");
        press("cmdDone");
        QVERIFY(!panelShown());
        QVERIFY(window_->findChild<QPushButton*>("cmdAddToList")->isVisible());
        QCOMPARE(window_->frameGeometry().height(), windows::px(5490));
        QVERIFY(closedHeight > 0);
        showEmail(QStringLiteral("c@x"));
        press("cmdAddToList"); // a new list after Done
        QCOMPARE(sendList()->Text(), QStringLiteral("c@x"));
    }

    void maximizedWindowKeepsItsSize() {
        load();
        window_->showMaximized();
        QTest::qWait(0);
        const QSize size = window_->size();
        menu("EmailList");
        QVERIFY(panelShown());
        QCOMPARE(window_->size(), size);
        press("cmdDone");
        QVERIFY(!panelShown());
        QCOMPARE(window_->size(), size);
    }

    // From the tray's menu while the window is hidden: the panel opens without showing it.
    void panelOpensWhileHidden() {
        load();
        window_->findChild<QAction*>("Hide")->trigger();
        menu("EmailList");
        QVERIFY(window_->isHidden());
        QVERIFY(panelShown());
    }
};

QTEST_MAIN(TestMail)
#include "tst_MainProgram_mail.moc"
