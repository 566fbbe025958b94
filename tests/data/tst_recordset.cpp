// The record set: position and walks, finding, values and their conversions, record numbers,
// changes that reach the file and the other sets at once, and the errors of misuse.

#include "support/ScratchDatabase.h"

#include "data/Database.h"
#include "data/Recordset.h"

#include <QTest>
#include <QThread>

#include <limits>
#include <numeric>

using namespace quillbox::data;

namespace {

const QString Addresses = QStringLiteral("Addresses");
const QString Name = QStringLiteral("Name");
const QString Number = QStringLiteral("Number");

void addContacts(const ScratchDatabase& file, int count) {
    file.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                             "WHERE i < %1) INSERT INTO Addresses (Name, Phone, Address, email) "
                             "SELECT 'Person ' || i, '555-' || i, 'Street ' || i, 'p' || i || "
                             "'@x' FROM n")
                  .arg(count));
}

std::vector<int> walkForward(Recordset& rs) {
    std::vector<int> numbers;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        numbers.push_back(rs.Fields(Number).toInt32());
    return numbers;
}

int addContact(Recordset& rs, const QString& name) {
    rs.AddNew();
    const int number = rs.Fields(Number).toInt32();
    rs.Collect(Name, name);
    rs.Update();
    return number;
}

const QString noCurrent = QStringLiteral("3021: No current record in the table 'Addresses'.");
const QString deleted = QStringLiteral("3167: The record is deleted: it is no longer in the file.");

} // namespace

class TestRecordset : public QObject {
    Q_OBJECT

private slots:
    // An empty set has no current record; the callers move to either end of a set they have
    // not tested for emptiness. Then enough records to cross several blocks, each larger than
    // the last, both ways.
    void walksVisitEveryRecordInOrderBothWays() {
        ScratchDatabase file;
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        rs->MoveFirst();
        rs->MoveLast();
        rs->MovePrevious();
        QVERIFY(rs->RecordCount() == 0 && rs->Eof() && rs->Bof());
        QCOMPARE(failure([&] { rs->Edit(); }), noCurrent);
        addContacts(file, 5000);
        rs = db->OpenRecordset(Addresses);
        QCOMPARE(rs->RecordCount(), 5000);
        QCOMPARE(rs->Fields(Number).toInt32(), 1); // the first record is current on opening
        std::vector<int> expected(5000);
        std::iota(expected.begin(), expected.end(), 1);
        QCOMPARE(walkForward(*rs), expected);
        QVERIFY(rs->Eof() && !rs->Bof());
        rs->MovePrevious(); // from past the end: the last record
        std::vector<int> backwards;
        for (; !rs->Bof(); rs->MovePrevious()) {
            backwards.push_back(rs->Fields(Number).toInt32());
            QCOMPARE(rs->Fields(Name).toText(), QStringLiteral("Person %1").arg(backwards.back()));
        }
        QCOMPARE(backwards, std::vector<int>(expected.rbegin(), expected.rend()));
        QCOMPARE(failure([&] { rs->MovePrevious(); }), noCurrent);
        rs->MoveNext(); // from before the start: the first record
        QCOMPARE(rs->Fields(Number).toInt32(), 1);
        rs->MoveLast();
        QCOMPARE(rs->Fields(QStringLiteral("email")).toText(), QStringLiteral("p5000@x"));
    }

    // By record number ("Number= 2", "Number=-5") or by an exact value. Without a match the set
    // stays where it stood (on "Last"); no text is ever read as SQL.
    void findFirst_data() {
        QTest::addColumn<QString>("field"); // empty: `wanted` is a criterion
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("found");
        QTest::newRow("number") << "" << "Number= 2" << "Two";
        QTest::newRow("negative number") << "" << "Number=-5" << "Minus five";
        QTest::newRow("no such number") << "" << "Number= 99" << "Last";
        QTest::newRow("number deleted elsewhere") << "" << "Number= 3" << "Last";
        QTest::newRow("name") << "Name" << "Smith" << "Smith";
        QTest::newRow("name in other case") << "Name" << "smith" << "Last";
        QTest::newRow("trailing blank counts") << "Name" << "Smith " << "Smith ";
        QTest::newRow("quote") << "Name" << "O'Brien" << "O'Brien";
        QTest::newRow("injection") << "Name" << "x' OR '1'='1" << "Last";
        QTest::newRow("Null matches nothing") << "Phone" << "<null>" << "Last";
    }
    void findFirst() {
        QFETCH(QString, field);
        QFETCH(QString, wanted);
        QFETCH(QString, found);
        ScratchDatabase file;
        file.exec("INSERT INTO Addresses (Number, Name, Phone) VALUES (-5, 'Minus five', 'x'), "
                  "(2, 'Two', 'x'), (3, 'Three', 'x'), (4, 'Smith', 'x'), (5, 'Smith ', 'x'), "
                  "(6, 'O''Brien', 'x'), (7, 'Smith', 'x'), (8, 'Last', NULL)");
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        rs->MoveLast();
        file.exec("DELETE FROM Addresses WHERE Number = 3");
        if (field.isEmpty())
            rs->FindFirst(wanted);
        else
            rs->FindFirst(field, wanted == "<null>" ? Value() : Value(wanted));
        QCOMPARE(rs->NoMatch(), found == "Last");
        QCOMPARE(rs->Fields(Name).toText(), found);
        if (found == "Smith") // the first in scan order
            QCOMPARE(rs->Fields(Number).toInt32(), 4);
    }

    // What a field holds, read as text or a number; every failure names the field, unless the
    // value has no origin, so that the user knows what to mend in a file filled by other means.
    void conversions_data() {
        QTest::addColumn<QString>("stored"); // SQL, into WantPassword or, for "Number", Number
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("as");
        QTest::addColumn<bool>("named");
        QTest::addColumn<QString>("expected"); // the value as text, or "number: description"
        const QString of = "the field 'WantPassword' of the table 'Player'";
        const QString number = "3349: Overflow: the field 'Number' of the table 'Addresses' holds ";
        auto row = [](const char* name, const char* stored, const char* as, const QString& expected,
                      const char* field = "WantPassword", bool named = true) {
            QTest::newRow(name) << stored << field << as << named << expected;
        };
        row("Null as text", "NULL", "text", "94: Invalid use of Null: " + of + " holds no value (Null).");
        row("Null, no origin", "NULL", "text", "94: Invalid use of Null.", "WantPassword", false);
        row("Null while editing", "NULL", "edit", "94: Invalid use of Null: " + of + " holds no value (Null).");
        row("empty text", "''", "text", "");
        row("line breaks", "'a' || char(13, 10) || 'b'", "text", "a\r\nb");
        row("bytes", "X'414243'", "text", "ABC");
        row("cut short after a byte-order mark", "CAST(X'EFBBBF41F0' AS TEXT)", "text",
            QStringLiteral("\uFEFFA\uFFFD"));
        row("real as text", "1.5", "text", "1.5");
        row("text as a number", "' -17 '", "int32", "-17");
        row("half rounds down to even", "2.5", "int32", "2");
        row("half rounds up to even", "3.5", "int32", "4");
        row("negative half to even", "-2.5", "int32", "-2");
        row("real at the top", "2147483647.4", "int32", "2147483647");
        row("real at the bottom", "-2147483648.5", "int32", "-2147483648");
        row("real rounding past the top", "2147483647.5", "int32",
            "3349: Overflow: " + of + " holds 2147483647.5, which does not fit in 32 bits.");
        row("beyond 32 bits, no origin", "3e9", "int32",
            "3349: Overflow: 3000000000 does not fit in 32 bits.", "WantPassword", false);
        row("largest record number", "2147483647", "int32", "2147483647", "Number");
        row("smallest record number", "-2147483648", "int32", "-2147483648", "Number");
        row("record number past the top", "2147483648", "int32",
            number + "2147483648, which does not fit in 32 bits.", "Number");
        row("record number past the bottom", "-2147483649", "int32",
            number + "-2147483649, which does not fit in 32 bits.", "Number");
        row("not a number", "'yes'", "double",
            "3464: Type mismatch: " + of + " holds \"yes\", which is not a number.");
        row("placeholders", "'%1 %2'", "int32",
            "3464: Type mismatch: " + of + " holds \"%1 %2\", which is not a number.");
        row("infinity", "'inf'", "int32", "3464: Type mismatch: " + of + " holds \"inf\", which is not a number.");
        row("not a number, no origin", "'yes'", "int32",
            "3464: Type mismatch: \"yes\" is not a number.", "WantPassword", false);
    }
    void conversions() {
        QFETCH(QString, stored);
        QFETCH(QString, field);
        QFETCH(QString, as);
        QFETCH(bool, named);
        QFETCH(QString, expected);
        ScratchDatabase file;
        file.exec(field == Number
                      ? "INSERT INTO Addresses (Number, Name) VALUES (" + stored + ", 'x')"
                      : "UPDATE Player SET WantPassword = " + stored);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(field == Number ? Addresses : QStringLiteral("Player"));
        if (as == "edit")
            rs->Edit();
        Value v = rs->Fields(field);
        if (!named)
            v.setOrigin(nullptr);
        QString got;
        const QString error = failure([&] {
            got = as == "int32"    ? QString::number(v.toInt32())
                  : as == "double" ? QString::number(v.toDouble())
                                   : v.toText();
        });
        QCOMPARE(error == "no error" ? got : error, expected);
    }

    // Text is read as it is stored: a leading U+FEFF is a character of the name, not a
    // byte-order mark, in a record set, in the list's walk and after an Update of the record.
    void leadingFeffKept_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("before a name") << QStringLiteral("\uFEFFAnna");
        QTest::newRow("alone") << QStringLiteral("\uFEFF");
        QTest::newRow("twice") << QStringLiteral("\uFEFF\uFEFFAnna");
        QTest::newRow("after plain letters") << QStringLiteral("Zo\uFEFF\u00EB");
    }
    void leadingFeffKept() {
        QFETCH(QString, name);
        ScratchDatabase file;
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        addContact(*rs, name);
        rs->MoveFirst();
        QCOMPARE(rs->Fields(Name).toText(), name);
        rs->Edit();
        rs->Collect(QStringLiteral("Phone"), QStringLiteral("1"));
        rs->Update();
        QCOMPARE(file.scalar("SELECT hex(Name) FROM Addresses").toByteArray(),
                 name.toUtf8().toHex().toUpper());
        NameList listed;
        rs->MoveFirst();
        rs->ReadToEnd(Name, Number, listed);
        QCOMPARE(listed.size(), size_t{1});
        QCOMPARE(listed.name(0).toString(), name);
    }

    // A new record's number is taken in the file at AddNew: past both the highest stored and the
    // highest ever handed out, and never beyond 32 bits.
    void addNewTakesTheNextNumber_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<qint64>("number"); // 0: none left
        QTest::newRow("new file") << "" << qint64(1);
        QTest::newRow("after the highest was deleted")
            << "INSERT INTO Addresses (Number) VALUES (5); DELETE FROM Addresses" << qint64(6);
        QTest::newRow("counter behind the records")
            << "INSERT INTO Addresses (Number) VALUES (10); UPDATE sqlite_sequence SET seq = 3"
            << qint64(11);
        QTest::newRow("no counter")
            << "INSERT INTO Addresses (Number) VALUES (7); DELETE FROM sqlite_sequence"
            << qint64(8);
        QTest::newRow("one number left")
            << "INSERT INTO Addresses (Number) VALUES (2147483646); DELETE FROM Addresses"
            << qint64(2147483647);
        QTest::newRow("none left") << "INSERT INTO Addresses (Number) VALUES (2147483647)"
                                   << qint64(0);
    }
    void addNewTakesTheNextNumber() {
        QFETCH(QString, sql);
        QFETCH(qint64, number);
        ScratchDatabase file;
        if (!sql.isEmpty())
            file.exec(sql);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        const QString usedUp =
            "3349: Overflow: the table 'Addresses' has used up its record numbers.";
        if (number == 0) {
            QCOMPARE(failure([&] { rs->AddNew(); }), usedUp);
            return;
        }
        QCOMPARE(addContact(*rs, "New"), number);
        QCOMPARE(file.scalar("SELECT Number FROM Addresses WHERE Name = 'New'").toLongLong(),
                 number);
        if (number == std::numeric_limits<std::int32_t>::max())
            QCOMPARE(failure([&] { rs->AddNew(); }), usedUp);
        else
            QCOMPARE(addContact(*rs, "Next"), number + 1);
    }

    // The number is there at AddNew, and taken in the file at once: two connections never get
    // one number, and one begun and abandoned is never handed out again. Update stores the new
    // record, with Null where nothing was set; the set stays where it stood, and sees it.
    void addNewAndUpdate() {
        ScratchDatabase file;
        addContacts(file, 2);
        auto dbA = OpenDatabase(file.path()), dbB = OpenDatabase(file.path());
        auto a = dbA->OpenRecordset(Addresses), b = dbB->OpenRecordset(Addresses);
        a->MoveNext();
        a->AddNew();
        b->AddNew();
        QCOMPARE(a->Fields(Number).toInt32(), 3);
        QCOMPARE(b->Fields(Number).toInt32(), 4);
        QVERIFY(a->Fields(Name).isNull());
        a->Collect(Name, QStringLiteral("Carol"));
        QCOMPARE(a->Fields(Name).toText(), QStringLiteral("Carol"));
        b->MoveFirst(); // abandoned
        QCOMPARE(file.scalar("SELECT count(*) FROM Addresses").toInt(), 2);
        a->Update();
        QCOMPARE(file.scalar("SELECT Name || ifnull(Phone, '-') FROM Addresses WHERE Number = 3"),
                 QVariant(QStringLiteral("Carol-")));
        QCOMPARE(a->Fields(Number).toInt32(), 2);
        a->MoveNext();
        QCOMPARE(a->Fields(Name).toText(), QStringLiteral("Carol"));
        a->MoveNext();
        QCOMPARE(addContact(*a, QStringLiteral("Dave")), 5);
        QVERIFY(a->Eof()); // from past the end, it stays past the end
    }

    // Two connections: each sees what the other stored at its next read; a change by another
    // program is seen at once by Edit, and by plain reads once the trust window has passed.
    // Update writes only the fields set since Edit, so two sets writing one field each never
    // undo each other, whichever read the record first; with nothing set it writes nothing.
    void setsSeeEachOthersChanges() {
        ScratchDatabase file;
        addContacts(file, 3);
        auto dbA = OpenDatabase(file.path());
        auto dbB = OpenDatabase(file.path());
        auto a = dbA->OpenRecordset(Addresses);
        auto b = dbB->OpenRecordset(Addresses);
        QCOMPARE(b->Fields(Name).toText(), QStringLiteral("Person 1"));
        a->Edit();
        b->Edit();
        b->Collect(QStringLiteral("Phone"), QStringLiteral("B"));
        b->Update();
        a->Collect(Name, QStringLiteral("Renamed"));
        a->Update();
        a->Edit();
        a->Update();
        QCOMPARE(file.scalar("SELECT Name || Phone FROM Addresses WHERE Number = 1"),
                 QVariant(QStringLiteral("RenamedB")));
        const int added = addContact(*a, QStringLiteral("Added"));
        a->MoveNext();
        a->Delete(); // Person 2
        QCOMPARE(walkForward(*b), std::vector<int>({1, 3, added}));

        b->MoveFirst();
        QCOMPARE(b->Fields(Name).toText(), QStringLiteral("Renamed"));
        file.exec("UPDATE Addresses SET Name = 'Elsewhere', Phone = 'p' WHERE Number = 1");
        QThread::msleep(Recordset::trustMs + 20);
        QCOMPARE(b->Fields(Name).toText(), QStringLiteral("Elsewhere"));
        file.exec("UPDATE Addresses SET Name = 'Again' WHERE Number = 1");
        b->Edit();
        QCOMPARE(b->Fields(Name).toText(), QStringLiteral("Again"));
        QCOMPARE(b->Fields(QStringLiteral("Phone")).toText(), QStringLiteral("p"));
    }

    // A deleted record stays current and unreadable until the next move; one deleted by another
    // program is neither read nor written.
    void deletedRecords() {
        ScratchDatabase file;
        addContacts(file, 3);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        rs->MoveNext();
        rs->Delete();
        QVERIFY(!rs->Eof());
        QCOMPARE(failure([&] { rs->Fields(Number); }), deleted);
        QCOMPARE(failure([&] { rs->Edit(); }), deleted);
        QCOMPARE(failure([&] { rs->Delete(); }), deleted);
        rs->MoveNext();
        QCOMPARE(rs->Fields(Number).toInt32(), 3);
        rs->MovePrevious();
        QCOMPARE(rs->Fields(Number).toInt32(), 1);
        rs->Edit();
        file.exec("DELETE FROM Addresses WHERE Number = 1");
        rs->Collect(Name, QStringLiteral("Lost"));
        QCOMPARE(failure([&] { rs->Update(); }), deleted);
        QCOMPARE(failure([&] { rs->Fields(Name); }), deleted);
        rs->MoveLast();
        rs->Delete();
        rs->MoveNext();
        QVERIFY(rs->Eof());
        QCOMPARE(file.scalar("SELECT count(*) FROM Addresses").toInt(), 0);
    }

    void misuse_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("error");
        QTest::newRow("Collect without Edit") << "collect" << "3020: A field was set without AddNew or Edit.";
        QTest::newRow("Update without Edit") << "update" << "3020: Update without AddNew or Edit.";
        QTest::newRow("Update of type 2") << "update 2" << "3020: Update of type 2 is not supported.";
        QTest::newRow("writing the number")
            << "collect number" << "3164: The field 'Number' cannot be updated: the file assigns it.";
        QTest::newRow("no such field")
            << "field Nickname" << "3265: Item not found in this collection: the table "
                                   "'Addresses' has no field 'Nickname'.";
        QTest::newRow("a field in other case") << "field NAME" << "no error";
        QTest::newRow("a table in other case") << "open addresses" << "no error";
        QTest::newRow("deleted elsewhere") << "delete elsewhere" << deleted;
        QTest::newRow("criterion without a sign place")
            << "find Number=17" << "3077: The criterion \"Number=17\" is not of the form \"Field= 17\".";
        QTest::newRow("criterion with an expression")
            << "find Number= 1 OR 1=1"
            << "3077: The criterion \"Number= 1 OR 1=1\" is not of the form \"Field= 17\".";
        QTest::newRow("number beyond 64 bits")
            << "find Number= 99999999999999999999"
            << "3349: Overflow: 99999999999999999999 is beyond any record number.";
        QTest::newRow("past the end") << "next" << noCurrent;
        QTest::newRow("snapshot") << "open 4" << "3409: Record sets of type 4 are not supported.";
        QTest::newRow("no such table") << "open Nope" << "3078: The database file has no table 'Nope'.";
    }
    void misuse() {
        QFETCH(QString, action);
        QFETCH(QString, error);
        ScratchDatabase file;
        addContacts(file, 1);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        const QString arg = action.section(' ', 1);
        QCOMPARE(failure([&] {
                     if (action == "collect")
                         rs->Collect(Name, QString());
                     else if (action.startsWith("update"))
                         (action == "update" ? rs->Update() : (rs->Edit(), rs->Update(2)));
                     else if (action == "collect number")
                         (rs->Edit(), rs->Collect(Number, 7));
                     else if (action.startsWith("field"))
                         rs->Fields(arg);
                     else if (action.startsWith("find"))
                         rs->FindFirst(arg);
                     else if (action == "next")
                         (rs->MoveNext(), rs->MoveNext());
                     else if (action == "delete elsewhere")
                         (file.exec("DELETE FROM Addresses"), rs->Delete());
                     else if (arg == "4")
                         db->OpenRecordset(Addresses, 4);
                     else
                         db->OpenRecordset(arg);
                 }),
                 error);
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
