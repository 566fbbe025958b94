// The main window as a user meets it: the list, adding, showing, updating, deleting, copying,
// sending, every box it shows, the notification icon and every way out. Every change is checked
// in the file as well as in the window.

#include "data/Connection.h"
#include "data/FileWatch.h"
#include "data/MainLoad.h"
#include "data/Recordset.h"
#include "support/MainWindowFixture.h"
#include "windows/ProgramIcon.h"
#include "windows/Twips.h"
#include "windows/main/HelpTexts.h"

#include <QAccessible>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>

#include <cstdio>
#include <future>

using namespace quillbox;
using Box = desktop::MessageBoxService;
using Icon = QSystemTrayIcon;

// The send list's panel: shown and hidden together.
constexpr const char* panelControls[] = {"txtEmailList", "cmdSendList", "cmdClearEmailList",
                                         "cmdAddAll",    "cmdDone",     "Line2"};

class TestMainProgram : public QObject, public test::MainWindowFixture {
    Q_OBJECT

    // The contacts by number as "Name=Phone", then "/" and the protection flag.
    QString stored() const {
        return file_->scalar("SELECT ifnull(group_concat(Name || '=' || Phone), '') || '/' || "
                             "(SELECT WantPassword FROM Player) FROM "
                             "(SELECT * FROM Addresses ORDER BY Number)")
            .toString();
    }
    // Steps separated by '|': "add NAME", "choose NAME", "press BUTTON", "menu ITEM",
    // "type BOX=TEXT", "answer Yes|No" (to the next box), "password TEXT" (typed into the next
    // change-password window, then Enter), "window max|min|normal" (its state).
    void play(const QString& script) {
        for (const QString& step : script.split(u'|', Qt::SkipEmptyParts)) {
            const QString verb = step.section(u' ', 0, 0), arg = step.section(u' ', 1);
            const QByteArray a = arg.section(u'=', 0, 0).toLatin1();
            if (verb == "add")
                add(arg);
            else if (verb == "choose")
                choose(arg);
            else if (verb == "press")
                press(a);
            else if (verb == "menu")
                menu(a);
            else if (verb == "type")
                type(a, arg.section(u'=', 1));
            else if (verb == "answer")
                fakes_->boxes.answerNext(arg == "Yes" ? Box::AnswerYes : Box::AnswerNo);
            else if (verb == "window")
                w->setWindowState(arg == "max"   ? Qt::WindowMaximized
                                  : arg == "min" ? Qt::WindowMinimized : Qt::WindowNoState);
            else if (verb == "password")
                fakes_->dialogs.then([arg](QDialog& d) {
                    auto* box = d.findChild<windows::LineBox*>("txtChangePassword");
                    QCOMPARE(d.focusWidget(), box);
                    QTest::keyClicks(box, arg);
                    QTest::keyClick(box, Qt::Key_Return);
                });
            else
                QFAIL(qPrintable("unknown step " + step));
        }
    }

private slots:
    void init() {
        setUp();
        file_->exec("INSERT INTO Addresses (Name, Phone, email) VALUES ('Ann', '1', 'ann@x'), "
                    "('Bob', '2', NULL)");
    }
    void cleanup() { tearDown(); }

    // Every box the main window shows (prompt, title, style), and what is stored after it.
    void boxes_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("prompt"); // of the last box; empty: none shown
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("stored");
        const QString asLoaded = "Ann=1,Bob=2/0";
        auto row = [&](const char* name, const char* script, const char* prompt, const char* title,
                       int style, const QString& stored) {
            QTest::newRow(name) << script << prompt << title << style << stored;
        };
        for (const windows::HelpText& help : windows::helpTexts())
            row(help.item, qPrintable(QStringLiteral("menu ") + help.item), help.text, help.title,
                Box::StyleInformation, asLoaded);

        // Names compare exactly, with the first and the last record alike.
        row("add", "add Cy", "", "", 0, "Ann=1,Bob=2,Cy=/0");
        row("add without a name", "add ", "You must enter a Name!", "Oops!", Box::StyleExclamation,
            asLoaded);
        row("add the first name again", "add Ann", "This name is already in the Quillbox!",
            "Notice", Box::StyleExclamation, asLoaded);
        row("add the last name again", "add Bob", "This name is already in the Quillbox!", "Notice",
            Box::StyleExclamation, asLoaded);
        row("add in other case", "add ann", "", "", 0, "Ann=1,Bob=2,ann=/0");
        row("add with a trailing blank", "add Ann ", "", "", 0, "Ann=1,Bob=2,Ann =/0");

        // Nothing is written unless a person is chosen and shown as chosen.
        row("update", "choose Bob|type txtUpdatePhone=9|press cmdUpdate", "", "", 0,
            "Ann=1,Bob=9/0");
        row("update to a name listed", "choose Ann|type txtUpdateName=Bob|press cmdUpdate", "", "",
            0, "Bob=1,Bob=2/0");
        row("update a blank", "choose Ann|press cmdClear|type txtUpdatePhone= |press cmdUpdate", "",
            "", 0, "= ,Bob=2/0");
        row("update with empty boxes", "choose Ann|press cmdClear|press cmdUpdate",
            "Please choose a person!", "Oops!", Box::StyleExclamation, asLoaded);
        const char* chooseToUpdate = "You must choose a person to update!";
        row("update, never chosen", "type txtUpdatePhone=x|press cmdUpdate", chooseToUpdate,
            "Oops!", Box::StyleStop, asLoaded);
        row("update after an add", "choose Ann|add Cy|type txtUpdatePhone=x|press cmdUpdate",
            chooseToUpdate, "Oops!", Box::StyleStop, "Ann=1,Bob=2,Cy=/0");
        row("update after a delete",
            "choose Bob|answer Yes|press cmdDelete|type txtUpdatePhone=x|press cmdUpdate",
            chooseToUpdate, "Oops!", Box::StyleStop, "Ann=1/0");
        row("update after an update",
            "choose Ann|press cmdUpdate|type txtUpdatePhone=x|press cmdUpdate", chooseToUpdate,
            "Oops!", Box::StyleStop, asLoaded);
        // "Add Everybody" opens a record set of its own; the update still goes to the chosen.
        row("update after Add Everybody",
            "choose Ann|menu EmailList|press cmdAddAll|type txtUpdatePhone=x|press cmdUpdate", "",
            "", 0, "Ann=x,Bob=2/0");

        const char* deleteWho = "Delete Who?";
        const char* really = "Do you really want to delete the selected entry?";
        // The opener takes the request as one argument, under 128 KiB with its closing NUL.
        const QString tooLong = QString("ab, ").repeated(32768).left(32 * 4096 - 7);
        const char* tooLongToSend = "The send list is too long to send in one e-mail!";
        row("send list too long",
            qPrintable("menu EmailList|type txtEmailList=" + tooLong + "|press cmdSendList"),
            tooLongToSend, "Oops!", Box::StyleExclamation, asLoaded);
        row("send too long", qPrintable("type txtUpdateEmail=" + tooLong + "|press cmdSend"),
            tooLongToSend, "Oops!", Box::StyleExclamation, asLoaded);

        row("delete", "choose Ann|answer Yes|press cmdDelete", really, "Delete Entry?",
            Box::StyleYesNoQuestion, "Bob=2/0");
        row("delete, answered No", "choose Ann|press cmdDelete", really, "Delete Entry?",
            Box::StyleYesNoQuestion, asLoaded);
        row("delete, never chosen", "add Cy|press cmdDelete", "You must click a person to delete!",
            deleteWho, Box::StyleStop, "Ann=1,Bob=2,Cy=/0");
        const char* clickToDelete = "Please click a person to delete!";
        row("delete after a delete", "choose Bob|answer Yes|press cmdDelete|press cmdDelete",
            clickToDelete, deleteWho, Box::StyleStop, "Ann=1/0");
        row("delete after an add", "choose Ann|add Cy|press cmdDelete", clickToDelete, deleteWho,
            Box::StyleStop, "Ann=1,Bob=2,Cy=/0");
        row("delete after an update", "choose Ann|press cmdUpdate|press cmdDelete", clickToDelete,
            deleteWho, Box::StyleStop, asLoaded);

        // Protection goes on however the change-password window was left.
        row("protect", "menu PasswordProtect", "Program is now password protected!", "Password On",
            Box::StyleInformation, "Ann=1,Bob=2/1");
        row("protect, then remove", "menu PasswordProtect|menu RemovePassword",
            "Password protection has been disabled!", "Password Off", Box::StyleInformation,
            asLoaded);
        row("change the password", "password x|menu ChangePassword",
            "New password successfully stored!", "Password Changed", Box::StyleInformation,
            asLoaded);
        row("change to an empty password", "password |menu ChangePassword",
            "You must have a password!", "Good Grief!", Box::StyleStop, asLoaded);
    }
    void boxes() {
        QFETCH(QString, script);
        QFETCH(QString, prompt);
        QFETCH(QString, title);
        QFETCH(int, style);
        QFETCH(QString, stored);
        load();
        play(script);
        QCOMPARE(lastPrompt(), prompt);
        if (!prompt.isEmpty()) {
            QCOMPARE(fakes_->boxes.calls.back().title, title);
            QCOMPARE(fakes_->boxes.calls.back().style, style);
        }
        QCOMPARE(this->stored(), stored);
        QVERIFY(fakes_->end.statuses.empty());
        QVERIFY(fakes_->mail.requests.empty());
        // The list is what a fresh read of the file gives, though only changed entries moved.
        const QString asLoaded = listedAsLoaded();
        QVERIFY2(asLoaded != "unlike a fresh load" && asLoaded != "shorter than the file",
                 qPrintable(asLoaded));
    }

    void aUsersRoad() {
        load();
        QCOMPARE(listed(), QStringList({"Ann", "Bob"}));
        type("txtName", "Smith, Al");
        type("txtPhone", "555");
        type("txtEmail", "al@x");
        auto* address = w->findChild<windows::MultiLineBox*>("txtAddress");
        address->setFocus();
        QTest::keyClicks(address, "1 High St");
        QTest::keyClick(address, Qt::Key_Return);
        QTest::keyClicks(address, "Town");
        press("cmdNew");
        QCOMPARE(listed(), QStringList({"Ann", "Bob", "Smith, Al"}));
        for (const char* box : {"txtName", "txtPhone", "txtEmail", "txtAddress"})
            QCOMPARE(text(box), QString());
        QCOMPARE(file_->scalar("SELECT Address FROM Addresses WHERE Number = 3").toString(),
                 QStringLiteral("1 High St\r\nTown"));
        QCOMPARE(list()->ItemData(rowOf("Smith, Al")), 3);
        QCOMPARE(w->NoPersonChosen, 1.0f);

        choose("Smith, Al");
        QCOMPARE(w->NoPersonChosen, 0.0f);
        QCOMPARE(text("txtUpdateName") + text("txtUpdateEmail") + text("txtUpdatePhone") +
                     text("txtUpdateAddress"),
                 QStringLiteral("Smith, Alal@x5551 High St\r\nTown"));
        press("cmdCopyAddress"); // the clipboard takes "\n"; each copied box is left selected
        QCOMPARE(w->findChild<windows::MultiLineBox*>("txtUpdateAddress")->textCursor().selectedText(),
                 QStringLiteral("1 High St\u2029Town"));
        press("cmdCopyEmail");
        QCOMPARE(w->findChild<windows::LineBox*>("txtUpdateEmail")->selectedText(),
                 QStringLiteral("al@x"));
        type("txtUpdatePhone", "555 edited");
        press("cmdCopyPhone");
        QCOMPARE(fakes_->clipboard.texts,
                 std::vector<QString>({"1 High St\nTown", "al@x", "555 edited"}));
        auto* phone = w->findChild<windows::LineBox*>("txtUpdatePhone");
        QCOMPARE(w->focusWidget(), phone);
        QCOMPARE(phone->selectedText(), QStringLiteral("555 edited"));

        // A new name re-sorts the list; the boxes empty and nothing stays selected.
        type("txtUpdateName", "Adams, Al");
        press("cmdUpdate");
        QCOMPARE(listed(), QStringList({"Adams, Al", "Ann", "Bob"}));
        QCOMPARE(list()->ListIndex(), -1);
        QCOMPARE(text("txtUpdateName"), QString());
        choose("Ann"); // each entry still carries its own contact
        QCOMPARE(text("txtUpdatePhone"), QStringLiteral("1"));
        choose("Bob"); // a Null shows as an empty box
        QCOMPARE(text("txtUpdateEmail"), QString());
        QCOMPARE(stored(), QStringLiteral("Ann=1,Bob=2,Adams, Al=555 edited/0"));

        // Each "Clear Fields" empties its own group; the selection stays.
        const char* boxes[] = {"txtName", "txtEmail", "txtPhone", "txtAddress", "txtUpdateName",
                               "txtUpdateEmail", "txtUpdatePhone", "txtUpdateAddress"};
        QString left;
        for (const char* button : {"cmdClear1", "cmdClear"}) {
            for (const char* box : boxes)
                type(box, "x");
            press(button);
            for (const char* box : boxes)
                left += text(box).isEmpty() ? u'.' : u'x';
        }
        QCOMPARE(left, QStringLiteral("....xxxxxxxx...."));
        QCOMPARE(list()->ListIndex(), rowOf("Bob"));

        choose("Bob");
        for (const char* box :
             {"txtUpdateName", "txtUpdateEmail", "txtUpdatePhone", "txtUpdateAddress"})
            type(box, "typed");
        fakes_->boxes.answerNext(Box::AnswerYes);
        press("cmdDelete"); // the shown person's details go with it, and what was typed over them
        QCOMPARE(listed(), QStringList({"Adams, Al", "Ann"}));
        QCOMPARE(text("txtUpdateName") + text("txtUpdateEmail") + text("txtUpdatePhone") +
                     text("txtUpdateAddress"),
                 QString());

    }

    // The names listed, the chosen one in brackets; checked against a fresh load of the file.
    QString listedAsLoaded() {
        const data::NameList fresh = data::loadMainWindow(file_->path()).list;
        QStringList names;
        for (int i = 0; i < list()->ListCount(); ++i) {
            const auto at = static_cast<std::size_t>(i);
            if (at >= fresh.size() || fresh.name(at) != list()->List(i) ||
                fresh.number(at) != list()->ItemData(i))
                return "unlike a fresh load";
            names << (i == list()->ListIndex() ? "[" + list()->List(i) + "]" : list()->List(i));
        }
        return int(fresh.size()) == list()->ListCount() ? names.join(u',') : "shorter than the file";
    }

    // Another program commits while the window is open, each row's statements in one
    // transaction: one read follows, the chosen contact stays chosen and what was typed stays
    // typed; the window's own writes before it read nothing.
    void followsTheFile_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("boxes"); // the Update boxes, name to address
        QTest::addColumn<QString>("prompt");
        const QString deleted = "\"Bob\" was deleted from the Quillbox by another program. What "
                                "was typed for this person is left in the boxes.";
        QTest::newRow("add, rename, remove")
            << "choose Bob" << "INSERT INTO Addresses (Name) VALUES ('Cy'); UPDATE Addresses "
               "SET Name = 'Al' WHERE Name = 'Bob'; DELETE FROM Addresses WHERE Name = 'Ann'"
            << "[Al],Cy" << "Al,,2," << "";
        QTest::newRow("chosen, changed") << "choose Bob" << "UPDATE Addresses SET Phone = '9'"
                                         << "Ann,[Bob]" << "Bob,,9," << "";
        QTest::newRow("chosen, edited, changed")
            << "choose Bob|type txtUpdatePhone=typed" << "UPDATE Addresses SET Phone = '9'"
            << "Ann,[Bob]" << "Bob,,typed," << "";
        QTest::newRow("chosen, edited, removed")
            << "choose Bob|type txtUpdatePhone=typed" << "DELETE FROM Addresses WHERE Number = 2"
            << "Ann" << "Bob,,typed," << deleted;
        QTest::newRow("a thousand at once")
            << "" << "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
                     "INSERT INTO Addresses (Name) SELECT 'Zz' FROM n; DELETE FROM Addresses "
                     "WHERE Name = 'Zz' AND Number > 4"
            << "Ann,Bob,Zz,Zz" << ",,," << "";
        QTest::newRow("own writes first")
            << "add Cy|choose Cy|type txtUpdatePhone=5|press cmdUpdate|choose Ann|answer Yes|"
               "press cmdDelete|menu PasswordProtect|menu RemovePassword"
            << "UPDATE Addresses SET Phone = '9'" << "Bob,Cy" << ",,," << "";
    }
    void followsTheFile() {
        QFETCH(QString, script);
        QFETCH(QString, sql);
        QFETCH(QString, listed);
        QFETCH(QString, boxes);
        QFETCH(QString, prompt);
        load();
        QSignalSpy refreshes(w, &windows::MainProgram::listRefreshed);
        QSignalSpy noticed(w->findChild<data::FileWatch*>(), &data::FileWatch::noticed);
        play(script);
        if (script.contains("press")) // its own commits are noticed, and read nothing
            QTRY_VERIFY(noticed.count() > 0);
        QCOMPARE(refreshes.count(), 0);
        w->findChild<QWidget*>("txtName")->setFocus();
        const size_t shownBefore = fakes_->boxes.calls.size();
        file_->exec("BEGIN; " + sql + "; COMMIT");
        QTRY_COMPARE(refreshes.count(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(refreshes.count(), 1);
        QCOMPARE(listedAsLoaded(), listed);
        QCOMPARE(QStringList({text("txtUpdateName"), text("txtUpdateEmail"), text("txtUpdatePhone"),
                              text("txtUpdateAddress")}).join(u','),
                 boxes);
        QCOMPARE(fakes_->boxes.calls.size() - shownBefore, size_t(!prompt.isEmpty()));
        QVERIFY(prompt.isEmpty() || lastPrompt() == prompt);
        QCOMPARE(w->focusWidget(), w->findChild<QWidget*>("txtName"));
    }

    // The file is read while the window is built: another program's commit between that read
    // and the window's watch of the file reaches the list all the same.
    void aCommitWhileTheWindowIsBuiltIsRead() {
        std::promise<data::MainWindowFile> read;
        read.set_value(data::loadMainWindow(file_->path()));
        file_->exec("INSERT INTO Addresses (Name) VALUES ('Cy')");
        window_ = std::make_unique<windows::MainProgram>(fakes_->services);
        w = window_.get();
        fakes_->errors.guard([this, &read] { window_->Form_Load(read.get_future()); });
        QCOMPARE(listed(), QStringList({"Ann", "Bob"}));
        QTRY_COMPARE(listed(), QStringList({"Ann", "Bob", "Cy"}));
        QVERIFY(fakes_->boxes.calls.empty());
    }

    // A writer that holds the file keeps the refresh waiting, without a word to the user; it
    // comes once the lock is gone, though the lock's end changes nothing in the file.
    void aLockedFileDelaysTheRefresh() {
        load();
        QSignalSpy refreshes(w, &windows::MainProgram::listRefreshed);
        QSignalSpy noticed(w->findChild<data::FileWatch*>(), &data::FileWatch::noticed);
        static int waits = 0; // a wait would hold the window up, however short
        data::setWaitHook([](int) { return ++waits > 0; });
        sqlite3* other = file_->open();
        file_->exec("INSERT INTO Addresses (Name) VALUES ('Cy')");
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        QTRY_VERIFY(noticed.count() > 0);
        QCoreApplication::processEvents();
        QCOMPARE(listed(), QStringList({"Ann", "Bob"}));
        QCOMPARE(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);
        QTRY_COMPARE(listed(), QStringList({"Ann", "Bob", "Cy"}));
        QCOMPARE(refreshes.count(), 1);
        QVERIFY(fakes_->boxes.calls.empty());
        data::setWaitHook(nullptr);
        QCOMPARE(waits, 0);
    }

    // A backup put back while the window is open is followed, and written to from then on:
    // renamed over the file, or copied over it in place, when a file half written is waited
    // through without a word.
    void aReplacedFileIsFollowed_data() {
        QTest::addColumn<bool>("renamed");
        QTest::newRow("renamed over") << true;
        QTest::newRow("copied over") << false;
    }
    void aReplacedFileIsFollowed() {
        QFETCH(bool, renamed);
        load();
        choose("Bob");
        QSignalSpy noticed(w->findChild<data::FileWatch*>(), &data::FileWatch::noticed);
        const QString backup = file_->folder() + "/backup.scc";
        file_->exec("VACUUM INTO '" + backup + "'");
        sqlite3* copy = nullptr;
        sqlite3_open(qPrintable(backup), &copy);
        sqlite3_exec(copy, "INSERT INTO Addresses (Name, Phone) VALUES ('Restored', '')", {}, {}, {});
        sqlite3_close(copy);
        QFile from(backup), over(file_->path());
        QVERIFY(from.open(QIODevice::ReadOnly) && over.open(QIODevice::ReadWrite));
        const QByteArray bytes = from.readAll();
        if (renamed) {
            QCOMPARE(std::rename(qPrintable(backup), qPrintable(file_->path())), 0);
        } else {
            over.resize(0);
            over.write(bytes.left(bytes.size() / 2));
            over.flush();
            QTRY_VERIFY(noticed.count() > 0);
            QCoreApplication::processEvents();
            over.write(bytes.mid(bytes.size() / 2));
            over.flush();
        }
        QTRY_COMPARE(listedAsLoaded(), QStringLiteral("Ann,[Bob],Restored"));
        add("Cy");
        choose("Bob");
        type("txtUpdatePhone", "7");
        press("cmdUpdate");
        QCOMPARE(stored(), QStringLiteral("Ann=1,Bob=7,Restored=,Cy=/0"));
        QVERIFY(fakes_->boxes.calls.empty() && fakes_->end.statuses.empty());
    }

    void loadListsEveryContactSorted() {
        file_->exec("DELETE FROM Addresses; INSERT INTO Addresses (Number, Name) VALUES "
                    "(1, 'Smith'), (2, 'Brown'), (3, 'Clark'), (4, 'brown'), (5, 'Brown'), "
                    "(6, 'Åsa'), (7, '')");
        load();
        QCOMPARE(listed(), QStringList({"", "Åsa", "Brown", "brown", "Brown", "Clark", "Smith"}));
        std::vector<int> numbers;
        for (int i = 0; i < list()->ListCount(); ++i)
            numbers.push_back(list()->ItemData(i));
        QCOMPARE(numbers, std::vector<int>({7, 6, 2, 4, 5, 3, 1}));
        QCOMPARE(list()->ListIndex(), -1);
        QCOMPARE(w->ListClicks, 1.0f);
    }

    // Two people with one name keep their own details, and an update lands on the selected
    // entry's contact alone, whatever moved the record set meanwhile.
    void theSelectedEntryIsTheOnlyOneTouched() {
        file_->exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', '3')");
        load();
        choose("Ann", 1);
        QCOMPARE(text("txtUpdatePhone"), QStringLiteral("3"));
        press("cmdClear"); // moves the record set to the last record
        type("txtUpdateName", "Ann");
        type("txtUpdatePhone", "after clear");
        press("cmdUpdate");
        choose("Ann", 0);
        add("Bob"); // refused: the record set now stands on Bob
        type("txtUpdatePhone", "after refusal");
        press("cmdUpdate");
        QCOMPARE(stored(), QStringLiteral("Ann=after refusal,Bob=2,Ann=after clear/0"));
    }

    // The requests handed to the mail program, exactly: one address, or the send list, whose
    // addresses are joined by ", " with empty ones and repeats kept (none before the first).
    void mail_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("one address") << "choose Ann|press cmdSend|press cmdSend"
                                     << QStringList{"mailto:ann@x", "mailto:ann@x"};
        QTest::newRow("as typed") << "type txtUpdateEmail= a@x; <b> |press cmdSend"
                                  << QStringList{"mailto: a@x; <b> "};
        QTest::newRow("send list")
            << "type txtUpdateEmail=|press cmdAddToList|type txtUpdateEmail=a@x|press cmdAddToList|"
               "press cmdAddToList|type txtUpdateEmail=|press cmdAddToList|press cmdSendList"
            << QStringList{"mailto:a@x, a@x, "};
        QTest::newRow("everybody, after typed text")
            << "menu EmailList|type txtEmailList=typed|press cmdAddAll|press cmdAddAll|"
               "press cmdSendList"
            << QStringList{"mailto:typed, ann@x, , ann@x, "};
        QTest::newRow("cleared") << "choose Ann|press cmdAddToList|press cmdClearEmailList|"
                                    "press cmdSendList"
                                 << QStringList{"mailto:"};
        QTest::newRow("emptied by Make E-mail List")
            << "choose Ann|press cmdAddToList|menu EmailList|press cmdSendList"
            << QStringList{"mailto:"};
        const QString longest = QString("ab, ").repeated(32768).left(32 * 4096 - 8);
        QTest::newRow("longest send list")
            << "menu EmailList|type txtEmailList=" + longest + "|press cmdSendList"
            << QStringList{"mailto:" + longest};
        QTest::newRow("emptied by Done")
            << "choose Ann|press cmdAddToList|press cmdDone|press cmdAddToList|press cmdSendList"
            << QStringList{"mailto:ann@x"};
    }
    void mail() {
        QFETCH(QString, script);
        QFETCH(QStringList, requests);
        load();
        play(script);
        QCOMPARE(QStringList(fakes_->mail.requests.begin(), fakes_->mail.requests.end()), requests);
        QVERIFY(fakes_->boxes.calls.empty());
    }

    // The e-mail panel comes with the window grown to show it whole, and goes with it shrunk; a
    // maximized or minimized window takes the panel's last height once restored.
    void panel_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("height"); // twips
        QTest::newRow("opened") << "press cmdAddToList" << true << 6435;
        QTest::newRow("done") << "press cmdAddToList|press cmdDone" << false << 5490;
        QTest::newRow("maximized, opened, restored")
            << "window max|menu EmailList|window normal" << true << 6435;
        QTest::newRow("maximized, done, restored")
            << "press cmdAddToList|window max|press cmdDone|window normal" << false << 5490;
        QTest::newRow("minimized, opened, restored")
            << "window min|press cmdAddToList|window normal" << true << 6435;
    }
    void panel() {
        QFETCH(QString, script);
        QFETCH(bool, open);
        QFETCH(int, height);
        load();
        play(script);
        for (const char* name : panelControls)
            QCOMPARE(w->findChild<QWidget*>(name)->isVisibleTo(w), open);
        QTRY_COMPARE(w->frameGeometry().height(), windows::px(height));
        const int panelBottom = w->findChild<QWidget*>("txtEmailList")->geometry().bottom();
        QCOMPARE(w->centralWidget()->height() > panelBottom, open);
        w->resize(w->width(), w->height() + 40); // then a height the user gives stays
        QCoreApplication::processEvents();
        QCOMPARE(w->frameGeometry().height(), windows::px(height) + 40);
    }

    void startState() {
        load();
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillbox"));
        QCOMPARE(w->focusWidget(), w->findChild<QWidget*>("txtName"));
        QString limits;
        for (const char* box : {"txtName", "txtEmail", "txtPhone", "txtUpdateName",
                                "txtUpdateEmail", "txtUpdatePhone"})
            limits += QString::number(w->findChild<windows::LineBox*>(box)->MaxLength()) + u' ';
        for (const char* box : {"txtAddress", "txtUpdateAddress", "txtEmailList"})
            limits += QString::number(w->findChild<windows::MultiLineBox*>(box)->MaxLength()) + u' ';
        QCOMPARE(limits, QStringLiteral("49 99 69 49 99 69 99 99 0 "));
        // The send list's panel is closed until asked for.
        for (const char* name : panelControls)
            QVERIFY2(!w->findChild<QWidget*>(name)->isVisibleTo(w), name);
        // The icon is registered first, and drawn for each size rather than blown up: the tray
        // picks among all of them, the window hands the display those of its screen.
        QCOMPARE(fakes_->tray.added, 1);
        QCOMPARE(fakes_->tray.tip, QStringLiteral("Quillbox, Version 3.1"));
        QCOMPARE(fakes_->tray.iconSizes,
                 QList<QSize>({{16, 16}, {32, 32}, {48, 48}, {64, 64}, {96, 96}, {128, 128}}));
        QCOMPARE(w->windowIcon().availableSizes(), QList<QSize>({{16, 16}, {32, 32}, {48, 48}}));
        // Every control a person acts on has a name for screen readers, and no caption is cut.
        for (QWidget* c : w->findChildren<QWidget*>()) {
            const auto* button = qobject_cast<QPushButton*>(c);
            const auto* label = qobject_cast<QLabel*>(c);
            if (button || qobject_cast<QLineEdit*>(c) || qobject_cast<QAbstractScrollArea*>(c))
                QVERIFY2(!QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name).isEmpty(),
                         qPrintable(c->objectName()));
            if ((button || label) && !(label && label->wordWrap()))
                QVERIFY2(c->fontMetrics().horizontalAdvance(button ? button->text() : label->text()) <=
                             c->width(),
                         qPrintable(c->objectName()));
            // No control hides the border of another (labels draw no border).
            for (QWidget* d :
                 w->centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (c != d && c->parent() == d->parent() && !label && !qobject_cast<QLabel*>(d))
                    QVERIFY2(!c->geometry().intersects(d->geometry()),
                             qPrintable(c->objectName() + " over " + d->objectName()));
        }
        // A caption that fits at the window's own size is not shrunk for one that does not.
        QCOMPARE(w->findChild<QLabel*>("Label1")->font(), w->centralWidget()->font());
    }

    // A new About window for each showing: Esc does not close it, Enter presses its OK.
    void aboutWindow() {
        load();
        for (int time = 0; time < 2; ++time) {
            fakes_->dialogs.then([](QDialog& d) {
                QCOMPARE(d.windowTitle(), QStringLiteral("About Quillbox"));
                // The name and version beside the icon, whole in the fixed size.
                const auto* text = d.findChild<QLabel*>("Label1");
                const auto* icon = d.findChild<QLabel*>("imgIcon");
                QCOMPARE(text->text().section(u'\n', 0, 0), "Quillbox, Version 3.1");
                QCOMPARE(icon->pixmap().toImage(), windows::programIcon().pixmap(32).toImage());
                QVERIFY(d.size() == QSize(190, 144) && d.rect().contains(icon->geometry()) &&
                        !icon->geometry().intersects(text->contentsRect().translated(text->pos())));
                QVERIFY(text->heightForWidth(text->width()) <= text->height());
                auto* ok = d.findChild<QPushButton*>("cmdOK3");
                QVERIFY(d.focusWidget() == ok && !ok->isDefault());
                QTest::keyClick(&d, Qt::Key_Escape);
                QVERIFY(d.isVisible());
                QTest::keyClick(ok, Qt::Key_Return);
                QVERIFY(!d.isVisible());
            });
            menu("About");
        }
        QCOMPARE(fakes_->dialogs.shown, std::vector<QString>(2, "frmAbout"));
    }

    // Each activation on each kind of tray: the XEmbed tray's double-click and the single click on
    // a StatusNotifierItem (SNI, no double-click) show the hidden window, or a minimized one
    // restored; the right button pops up the File menu. While the menu is up, the icon's events
    // are taken but not acted on. With no notification area, Hide minimizes instead.
    void trayIcon_data() {
        using Tray = desktop::QtTrayIcon::Kind;
        const auto XEmbed = Tray::XEmbed, Sni = Tray::StatusNotifier;
        QTest::addColumn<Tray>("kind");
        QTest::addColumn<QString>("hide");
        QTest::addColumn<Icon::ActivationReason>("activation");
        QTest::addColumn<QString>("outcome"); // "shows", "menu" or nothing
        QTest::newRow("XEmbed, single click") << XEmbed << "Hide" << Icon::Trigger << "";
        QTest::newRow("XEmbed, double-click") << XEmbed << "Hide" << Icon::DoubleClick << "shows";
        QTest::newRow("XEmbed, context") << XEmbed << "Hide" << Icon::Context << "menu";
        QTest::newRow("XEmbed, middle click") << XEmbed << "Hide" << Icon::MiddleClick << "";
        QTest::newRow("SNI, single click") << Sni << "Hide" << Icon::Trigger << "shows";
        QTest::newRow("SNI, double-click") << Sni << "Hide" << Icon::DoubleClick << "shows";
        QTest::newRow("SNI, context") << Sni << "Hide" << Icon::Context << "menu";
        QTest::newRow("SNI, middle click") << Sni << "Hide" << Icon::MiddleClick << "";
        QTest::newRow("minimized, SNI") << Sni << "minimize" << Icon::Trigger << "shows";
        QTest::newRow("no notification area") << XEmbed << "no area" << Icon::Unknown << "";
    }
    void trayIcon() {
        QFETCH(desktop::QtTrayIcon::Kind, kind);
        QFETCH(QString, hide);
        QFETCH(Icon::ActivationReason, activation);
        QFETCH(QString, outcome);
        fakes_->tray.hasArea = hide != "no area";
        fakes_->tray.kind = kind;
        load();
        if (hide == "minimize")
            w->showMinimized();
        else
            menu("Hide");
        QCOMPARE(w->isVisible(), hide != "Hide");
        QCOMPARE(w->isMinimized(), hide != "Hide");
        fakes_->tray.whilePoppedUp = [this](QMenu&) { fakes_->tray.activate(Icon::DoubleClick); };
        fakes_->tray.activate(activation);
        QCOMPARE(w->isVisible() && !w->isMinimized(), outcome == "shows");
        QCOMPARE(fakes_->tray.popUps, std::vector<QString>(outcome == "menu", "File"));
        fakes_->tray.whilePoppedUp = nullptr;
        fakes_->tray.activate(Icon::DoubleClick); // once the menu is closed, events count again
        QVERIFY(w->isVisible() && !w->isMinimized());
    }

    void everyWayOutRemovesTheIconAndEnds_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Exit button") << 0;
        QTest::newRow("File > Exit") << 1;
        QTest::newRow("close box") << 2;
        QTest::newRow("Exit from the tray's menu") << 3;
    }
    void everyWayOutRemovesTheIconAndEnds() {
        QFETCH(int, how);
        load();
        if (how == 0)
            press("Command1");
        else if (how == 1)
            menu("Exit");
        else if (how == 2)
            w->close();
        fakes_->tray.whilePoppedUp = [](QMenu& m) { m.findChild<QAction*>("Exit")->trigger(); };
        if (how == 3)
            fakes_->tray.activate(Icon::Context);
        QCOMPARE(fakes_->tray.removed, 1);
        QCOMPARE(fakes_->end.statuses, std::vector<int>{0});
    }
};

QTEST_MAIN(TestMainProgram)
#include "tst_MainProgram.moc"
