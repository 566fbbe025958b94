// Working with contacts through the main window, as a user does: choose, add, update, delete,
// clear and copy. Every check of a change looks at the file as well as at the window.

#include "support/MainWindowFixture.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QDir>
#include <QPushButton>
#include <QTest>

using namespace quillbox;
using windows::MainProgram;

class TestContacts : public QObject, public test::MainWindowFixture {
    Q_OBJECT


    QString stored(const QString& field, const QString& name) {
        return file_->scalar(QStringLiteral("SELECT %1 FROM Addresses WHERE Name = '%2'")
                                 .arg(field, name))
            .toString();
    }
    int count(const QString& where = QStringLiteral("1")) {
        return file_->scalar(QStringLiteral("SELECT count(*) FROM Addresses WHERE ") + where).toInt();
    }
    QStringList listed() {
        QStringList names;
        for (int i = 0; i < list()->ListCount(); ++i)
            names << list()->List(i);
        return names;
    }
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void aUsersRoad() {
        load();
        add("Smith, Ann", "555-1", "ann@example.com", "1 High St\r\nTown");
        add("Brown, Bob", "555-2");
        add("Clark, Cy");
        QCOMPARE(listed(), QStringList({"Brown, Bob", "Clark, Cy", "Smith, Ann"}));
        QCOMPARE(count(), 3);
        QVERIFY(fakes_->boxes.calls.empty());
        // Only a name: the other fields hold empty text, not Null.
        QCOMPARE(count("Name = 'Clark, Cy' AND Phone = '' AND email = '' AND Address = ''"), 1);
        QCOMPARE(text("txtName"), QString()); // the Add New boxes are emptied

        choose("Smith, Ann");
        QCOMPARE(text("txtUpdateName"), QStringLiteral("Smith, Ann"));
        QCOMPARE(text("txtUpdateEmail"), QStringLiteral("ann@example.com"));
        QCOMPARE(text("txtUpdatePhone"), QStringLiteral("555-1"));
        QCOMPARE(text("txtUpdateAddress"), QStringLiteral("1 High St\r\nTown"));
        QCOMPARE(window_->NoPersonChosen, 0.0f);

        // A new name re-sorts the list; the boxes empty and nothing stays selected.
        type("txtUpdateName", "Adams, Ann");
        type("txtUpdatePhone", "555-9");
        press("cmdUpdate");
        QCOMPARE(listed(), QStringList({"Adams, Ann", "Brown, Bob", "Clark, Cy"}));
        QCOMPARE(stored("Phone", "Adams, Ann"), QStringLiteral("555-9"));
        QCOMPARE(stored("email", "Adams, Ann"), QStringLiteral("ann@example.com"));
        QCOMPARE(text("txtUpdateName"), QString());
        QCOMPARE(list()->ListIndex(), -1);
        choose("Adams, Ann"); // each entry still carries its own contact
        QCOMPARE(text("txtUpdatePhone"), QStringLiteral("555-9"));

        choose("Brown, Bob");
        fakes_->boxes.answerNext(6);
        press("cmdDelete");
        QCOMPARE(lastPrompt(), QStringLiteral("Do you really want to delete the selected entry?"));
        QCOMPARE(fakes_->boxes.calls.back().style, 36);
        QCOMPARE(listed(), QStringList({"Adams, Ann", "Clark, Cy"}));
        QCOMPARE(count("Name = 'Brown, Bob'"), 0);
        QCOMPARE(text("txtUpdatePhone"), QString());
        QCOMPARE(window_->NoPersonChosen, 1.0f);

        add("Brown, Bob"); // the name is free again
        QCOMPARE(count("Name = 'Brown, Bob'"), 1);
        QCOMPARE(list()->ItemData(rowOf("Brown, Bob")),
                 file_->scalar("SELECT Number FROM Addresses WHERE Name = 'Brown, Bob'").toInt());
    }

    void addingComparesNamesExactly_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("empty") << "" << "You must enter a Name!";
        QTest::newRow("same") << "Smith" << "This name is already in the Quillbox!";
        QTest::newRow("other case") << "smith" << "";
        QTest::newRow("trailing blank") << "Smith " << "";
        QTest::newRow("leading blank") << " Smith" << "";
        QTest::newRow("one blank") << " " << "";
        QTest::newRow("same as the first") << "Aaron" << "This name is already in the Quillbox!";
    }
    void addingComparesNamesExactly() {
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        file_->exec("INSERT INTO Addresses (Name) VALUES ('Aaron'), ('Smith')");
        load();
        add(name, "555");
        if (refusal.isEmpty()) {
            QVERIFY(fakes_->boxes.calls.empty());
            QCOMPARE(count(QStringLiteral("Name = '%1' AND Phone = '555'").arg(name)), 1);
            QCOMPARE(rowOf(name) >= 0, true);
            QCOMPARE(text("txtPhone"), QString());
        } else {
            QCOMPARE(lastPrompt(), refusal);
            QCOMPARE(fakes_->boxes.calls.back().style, 48);
            QCOMPARE(fakes_->boxes.calls.back().title,
                     QString(name.isEmpty() ? "Oops!" : "Notice"));
            QCOMPARE(count(), 2);
            QCOMPARE(text("txtPhone"), QStringLiteral("555")); // the boxes keep their text
        }
    }

    void updateRefusals_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("all boxes empty") << "choose" << "" << "Please choose a person!";
        QTest::newRow("empty right after an add") << "add" << "" << "Please choose a person!";
        QTest::newRow("after an add") << "add" << "x" << "You must choose a person to update!";
        QTest::newRow("after a delete") << "delete" << "x" << "You must choose a person to update!";
        QTest::newRow("never chosen") << "" << "x" << "You must choose a person to update!";
        QTest::newRow("after a stored update") << "update" << "x"
                                               << "You must choose a person to update!";
        QTest::newRow("a blank is text") << "choose" << " " << "";
    }
    // Nothing is written unless a person is chosen and shown as chosen; the one written is the
    // selected entry's.
    void updateRefusals() {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        file_->exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', '1'), ('Bob', '2')");
        load();
        if (before == "choose") {
            choose("Ann");
            type("txtUpdateName", "");
            type("txtUpdateEmail", "");
            type("txtUpdatePhone", "");
            type("txtUpdateAddress", "");
        } else if (before == "add") {
            choose("Ann");
            add("Cy", "3");
        } else if (before == "delete") {
            choose("Bob");
            fakes_->boxes.answerNext(6);
            press("cmdDelete");
        } else if (before == "update") {
            choose("Ann");
            press("cmdUpdate");
        }
        fakes_->boxes.calls.clear();
        for (const char* box : {"txtUpdateName", "txtUpdateEmail", "txtUpdateAddress"})
            type(box, "");
        type("txtUpdatePhone", typed);
        press("cmdUpdate");
        if (refusal.isEmpty()) {
            QVERIFY(fakes_->boxes.calls.empty());
            QCOMPARE(count("Phone = ' ' AND Name = ''"), 1); // the emptied name is stored too
        } else {
            QCOMPARE(lastPrompt(), refusal);
            QCOMPARE(fakes_->boxes.calls.back().title, QStringLiteral("Oops!"));
            QCOMPARE(fakes_->boxes.calls.back().style, typed.isEmpty() ? 48 : 16);
            QCOMPARE(count("Phone = 'x'"), 0);
        }
    }

    void deleteRefusals_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("right after loading") << "" << "You must click a person to delete!";
        QTest::newRow("after adds, never chosen") << "add" << "You must click a person to delete!";
        QTest::newRow("after a delete") << "delete" << "Please click a person to delete!";
        QTest::newRow("after an add") << "choose,add" << "Please click a person to delete!";
        QTest::newRow("after a stored update") << "choose,update"
                                               << "Please click a person to delete!";
    }
    void deleteRefusals() {
        QFETCH(QString, before);
        QFETCH(QString, refusal);
        file_->exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', '1'), ('Bob', '2')");
        load();
        if (before.contains("choose"))
            choose("Ann");
        if (before.contains("add"))
            add("Cy");
        if (before == "delete") {
            choose("Bob");
            fakes_->boxes.answerNext(6);
            press("cmdDelete");
        }
        if (before.contains("update")) {
            type("txtUpdatePhone", "9");
            press("cmdUpdate");
        }
        const int stored = count();
        fakes_->boxes.calls.clear();
        press("cmdDelete");
        QCOMPARE(fakes_->boxes.calls.size(), std::size_t{1});
        QCOMPARE(lastPrompt(), refusal);
        QCOMPARE(fakes_->boxes.calls.back().title, QStringLiteral("Delete Who?"));
        QCOMPARE(count(), stored);
    }

    void answeringNoDeletesNothing() {
        file_->exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', '1')");
        load();
        choose("Ann");
        fakes_->boxes.answerNext(7);
        press("cmdDelete");
        QCOMPARE(count(), 1);
        QCOMPARE(list()->ListIndex(), 0);
        QCOMPARE(text("txtUpdatePhone"), QStringLiteral("1"));
    }

    // Two people with one name each keep their own details through show, update and delete,
    // and an update never lands anywhere but on the selected entry's contact, whatever moved
    // the record set meanwhile.
    void theSelectedEntryIsTheOnlyOneTouched() {
        file_->exec("INSERT INTO Addresses (Name, Phone) VALUES ('Smith', 'first'), "
                    "('Smith', 'second'), ('Zed', 'last')");
        load();
        choose("Smith", 1);
        QCOMPARE(text("txtUpdatePhone"), QStringLiteral("second"));
        choose("Smith", 0);
        QCOMPARE(text("txtUpdatePhone"), QStringLiteral("first"));

        press("cmdClear"); // moves the record set to "Zed"
        type("txtUpdateName", "Smith");
        type("txtUpdatePhone", "after clear");
        press("cmdUpdate");
        QCOMPARE(count("Name = 'Zed' AND Phone = 'last'"), 1);
        QCOMPARE(count("Phone = 'after clear'"), 1);
        QCOMPARE(count("Phone = 'second'"), 1);

        choose("Smith", 1);
        const QString chosenPhone = text("txtUpdatePhone");
        add("Zed"); // refused: the record set now stands on "Zed"
        QCOMPARE(lastPrompt(), QStringLiteral("This name is already in the Quillbox!"));
        // Choosing again is needed after an add, but not after a refused one.
        type("txtUpdatePhone", "after refusal");
        press("cmdUpdate");
        QCOMPARE(count("Name = 'Zed' AND Phone = 'last'"), 1);
        QCOMPARE(count(QStringLiteral("Phone = '%1'").arg(chosenPhone)), 0);

        choose("Smith", 0);
        const QString deletedPhone = text("txtUpdatePhone");
        fakes_->boxes.answerNext(6);
        press("cmdDelete");
        QCOMPARE(count(QStringLiteral("Phone = '%1'").arg(deletedPhone)), 0);
        QCOMPARE(count(), 2);
        QCOMPARE(listed(), QStringList({"Smith", "Zed"}));
    }

    // A contact removed by another program since the list was filled: choosing it shows nobody,
    // drops its entry, and lets nothing be written or deleted in its name.
    void contactRemovedElsewhere() {
        file_->exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', '1'), ('Bob', '2')");
        load();
        choose("Ann");
        file_->exec("DELETE FROM Addresses WHERE Name = 'Bob'");
        choose("Bob");
        QCOMPARE(text("txtUpdateName"), QString());
        QCOMPARE(text("txtUpdatePhone"), QString());
        QCOMPARE(listed(), QStringList({"Ann"}));
        QCOMPARE(window_->NoPersonChosen, 1.0f);
        type("txtUpdatePhone", "x");
        press("cmdUpdate");
        QCOMPARE(lastPrompt(), QStringLiteral("You must choose a person to update!"));
        QCOMPARE(count("Phone = 'x'"), 0);

        // Chosen before it went: Update refuses, Delete just drops the entry.
        choose("Ann");
        file_->exec("DELETE FROM Addresses WHERE Name = 'Ann'");
        type("txtUpdatePhone", "y");
        press("cmdUpdate");
        QCOMPARE(lastPrompt(), QStringLiteral("You must choose a person to update!"));
        QCOMPARE(count(), 0);
        QVERIFY(listed().isEmpty());
    }

    void nullFieldsShowAsEmptyBoxes() {
        file_->exec("INSERT INTO Addresses (Name, Phone, email, Address) VALUES "
                    "('Ann', NULL, NULL, NULL)");
        load();
        type("txtUpdatePhone", "left over");
        choose("Ann");
        QCOMPARE(text("txtUpdatePhone"), QString());
        QCOMPARE(text("txtUpdateEmail"), QString());
        QCOMPARE(text("txtUpdateAddress"), QString());
    }

    // Typed on three lines, stored with two-character line breaks, shown on three lines and
    // copied with the line breaks the clipboard takes.
    void addressRoundTrip() {
        load();
        type("txtName", "Ann");
        auto* address = window_->findChild<windows::MultiLineBox*>("txtAddress");
        address->setFocus();
        QTest::keyClicks(address, "1 High St");
        QTest::keyClick(address, Qt::Key_Return);
        QTest::keyClicks(address, "Flat 2");
        QTest::keyClick(address, Qt::Key_Return);
        QTest::keyClicks(address, "Town");
        press("cmdNew");
        QCOMPARE(stored("Address", "Ann"), QStringLiteral("1 High St\r\nFlat 2\r\nTown"));
        choose("Ann");
        auto* shown = window_->findChild<windows::MultiLineBox*>("txtUpdateAddress");
        QCOMPARE(shown->document()->blockCount(), 3);
        press("cmdCopyAddress");
        QCOMPARE(fakes_->clipboard.texts.back(), QStringLiteral("1 High St\nFlat 2\nTown"));
        QCOMPARE(window_->focusWidget(), shown);
        QCOMPARE(shown->textCursor().selectedText().size(), shown->toPlainText().size());
    }

    void copyTakesWhatTheBoxShows() {
        file_->exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', '1')");
        load();
        choose("Ann");
        type("txtUpdatePhone", "555 edited");
        press("cmdCopyPhone");
        QCOMPARE(fakes_->clipboard.texts.back(), QStringLiteral("555 edited"));
        auto* phone = window_->findChild<windows::LineBox*>("txtUpdatePhone");
        QCOMPARE(window_->focusWidget(), phone);
        QCOMPARE(phone->selectedText(), QStringLiteral("555 edited"));
        press("cmdCopyEmail"); // an empty box empties the clipboard
        QCOMPARE(fakes_->clipboard.texts.back(), QString());
    }

    void clearFieldsEmptiesOneGroup_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("addGroup");
        QTest::addColumn<bool>("emptyTable");
        QTest::newRow("Add New group") << "cmdClear1" << true << false;
        QTest::newRow("Update group") << "cmdClear" << false << false;
        QTest::newRow("Add New group, empty table") << "cmdClear1" << true << true;
        QTest::newRow("Update group, empty table") << "cmdClear" << false << true;
    }
    void clearFieldsEmptiesOneGroup() {
        QFETCH(QString, button);
        QFETCH(bool, addGroup);
        QFETCH(bool, emptyTable);
        if (!emptyTable)
            file_->exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', '1')");
        load();
        if (!emptyTable)
            choose("Ann");
        for (const char* box : {"txtName", "txtEmail", "txtPhone", "txtAddress", "txtUpdateName",
                                "txtUpdateEmail", "txtUpdatePhone", "txtUpdateAddress"})
            type(box, "text");
        for (int twice = 0; twice < 2; ++twice)
            press(button.toLatin1().constData());
        QVERIFY(fakes_->end.statuses.empty()); // no error, also with no record to move to
        for (const char* box : {"txtName", "txtEmail", "txtPhone", "txtAddress"})
            QCOMPARE(text(box), addGroup ? QString() : QStringLiteral("text"));
        for (const char* box : {"txtUpdateName", "txtUpdateEmail", "txtUpdatePhone",
                                "txtUpdateAddress"})
            QCOMPARE(text(box), addGroup ? QStringLiteral("text") : QString());
        QCOMPARE(list()->ListIndex(), emptyTable ? -1 : 0); // the selection stays
    }
};

QTEST_MAIN(TestContacts)
#include "tst_MainProgram_contacts.moc"
