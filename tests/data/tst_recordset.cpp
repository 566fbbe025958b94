// The record set: position and walks, finding, reading and converting values, and changes that
// reach the file and the other sets at once.

#include "support/ScratchDatabase.h"

#include "data/Database.h"
#include "data/Recordset.h"

#include <QTest>
#include <QThread>

#include <limits>
#include <set>

using namespace quillbox::data;

namespace {

const QString Addresses = QStringLiteral("Addresses");
const QString Player = QStringLiteral("Player");
const QString Name = QStringLiteral("Name");
const QString Number = QStringLiteral("Number");

void addContacts(const ScratchDatabase& file, int count) {
    QString sql = QStringLiteral("BEGIN;");
    for (int i = 1; i <= count; ++i)
        sql += QStringLiteral("INSERT INTO Addresses (Name, Phone, Address, email) "
                              "VALUES ('Person %1', '555-%1', 'Street %1', 'p%1@example.com');")
                   .arg(i);
    file.exec(sql + QStringLiteral("COMMIT;"));
}

std::vector<int> walkForward(Recordset& rs) {
    std::vector<int> numbers;
    rs.MoveFirst();
    while (!rs.Eof()) {
        numbers.push_back(rs.Fields(Number).toInt32());
        rs.MoveNext();
    }
    return numbers;
}

int addContact(Recordset& rs, const QString& name) {
    rs.AddNew();
    const int number = rs.Fields(Number).toInt32();
    rs.Collect(Name, name);
    rs.Collect(QStringLiteral("Phone"), QString());
    rs.Collect(QStringLiteral("Address"), QString());
    rs.Collect(QStringLiteral("email"), QString());
    rs.Update();
    return number;
}

} // namespace

class TestRecordset : public QObject {
    Q_OBJECT

private slots:
    void emptyTableHasNoCurrentRecord() {
        ScratchDatabase file;
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        QCOMPARE(rs->RecordCount(), 0);
        QVERIFY(rs->Eof());
        QVERIFY(rs->Bof());
        // The callers move to either end of a set they have not tested for emptiness.
        rs->MoveFirst();
        QVERIFY(rs->Eof());
        rs->MoveLast();
        QVERIFY(rs->Eof() && rs->Bof());
        rs->MovePrevious();
        QVERIFY(rs->Eof());
        QVERIFY_ENGINE_ERROR(rs->Fields(Name), error::NoCurrentRecord);
        QVERIFY_ENGINE_ERROR(rs->Edit(), error::NoCurrentRecord);
        QVERIFY_ENGINE_ERROR(rs->Delete(), error::NoCurrentRecord);
        QVERIFY_ENGINE_ERROR(rs->MoveNext(), error::NoCurrentRecord);
    }

    // Enough records to cross several blocks, each larger than the last, both ways.
    void walksVisitEveryRecordInOrderBothWays() {
        ScratchDatabase file;
        addContacts(file, 5000);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        QCOMPARE(rs->RecordCount(), 5000);
        QCOMPARE(rs->Fields(Number).toInt32(), 1); // the first record is current on opening

        std::vector<int> expected(5000);
        for (int i = 0; i < 5000; ++i)
            expected[static_cast<std::size_t>(i)] = i + 1;
        QCOMPARE(walkForward(*rs), expected);
        QVERIFY(rs->Eof() && !rs->Bof());
        QVERIFY_ENGINE_ERROR(rs->MoveNext(), error::NoCurrentRecord);

        rs->MovePrevious(); // from past the end: the last record
        QCOMPARE(rs->Fields(Number).toInt32(), 5000);
        std::vector<int> backwards;
        while (!rs->Bof()) {
            backwards.push_back(rs->Fields(Number).toInt32());
            QCOMPARE(rs->Fields(Name).toText(), QStringLiteral("Person %1").arg(backwards.back()));
            rs->MovePrevious();
        }
        QCOMPARE(backwards, std::vector<int>(expected.rbegin(), expected.rend()));
        QVERIFY_ENGINE_ERROR(rs->MovePrevious(), error::NoCurrentRecord);
        rs->MoveNext(); // from before the start: the first record
        QCOMPARE(rs->Fields(Number).toInt32(), 1);
        rs->MoveLast();
        QCOMPARE(rs->Fields(QStringLiteral("email")).toText(),
                 QStringLiteral("p5000@example.com"));
    }

    void findFirstByRecordNumber_data() {
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("name");
        QTest::newRow("positive") << QStringLiteral("Number= 2") << true << QStringLiteral("Two");
        QTest::newRow("negative") << QStringLiteral("Number=-5") << true
                                  << QStringLiteral("Minus five");
        QTest::newRow("zero") << QStringLiteral("Number= 0") << false << QString();
        QTest::newRow("no such number") << QStringLiteral("Number= 99") << false << QString();
        QTest::newRow("beyond 64 bits") << QStringLiteral("Number= 99999999999999999999") << false
                                        << QString();
    }
    void findFirstByRecordNumber() {
        QFETCH(QString, criteria);
        QFETCH(bool, found);
        QFETCH(QString, name);
        ScratchDatabase file;
        file.exec(QStringLiteral("INSERT INTO Addresses (Number, Name) VALUES (1, 'One'), "
                                 "(2, 'Two'), (3, 'Three'), (-5, 'Minus five');"));
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        rs->MoveLast();
        if (criteria.size() > 20) {
            QVERIFY_ENGINE_ERROR(rs->FindFirst(criteria), error::Overflow);
            return;
        }
        rs->FindFirst(criteria);
        QCOMPARE(rs->NoMatch(), !found);
        // Without a match the set stays where it stood.
        QCOMPARE(rs->Fields(Name).toText(), found ? name : QStringLiteral("Three"));
        if (found) {
            rs->MoveNext(); // the scan goes on from the record found
            QVERIFY(rs->Eof() || rs->Fields(Number).toInt32() > -5);
        }
    }

    // Finding by a text value: exact (case and blanks count), Null matches nothing, the first
    // in scan order wins, and no text is ever read as SQL.
    void findFirstByText_data() {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<int>("number"); // 0: no match
        QTest::newRow("exact") << "Smith" << 2;
        QTest::newRow("other case") << "smith" << 0;
        QTest::newRow("trailing blank") << "Smith " << 3;
        QTest::newRow("quote") << "O'Brien" << 4;
        QTest::newRow("injection") << "x' OR '1'='1" << 0;
    }
    void findFirstByText() {
        QFETCH(QString, wanted);
        QFETCH(int, number);
        ScratchDatabase file;
        file.exec(QStringLiteral("INSERT INTO Addresses (Number, Name) VALUES (1, NULL), "
                                 "(2, 'Smith'), (3, 'Smith '), (4, 'O''Brien'), (5, 'Smith')"));
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        rs->MoveLast();
        rs->FindFirst(Name, wanted);
        QCOMPARE(rs->NoMatch(), number == 0);
        QCOMPARE(rs->Fields(Number).toInt32(), number ? number : 5);
        rs->FindFirst(Name, Value());
        QVERIFY(rs->NoMatch());
    }

    void findFirstRefusesOtherCriteria_data() {
        QTest::addColumn<QString>("criteria");
        QTest::newRow("no sign place") << QStringLiteral("Number=17");
        QTest::newRow("expression") << QStringLiteral("Number= 1 OR 1=1");
        QTest::newRow("quote") << QStringLiteral("Name= 'x'");
        QTest::newRow("empty") << QString();
    }
    void findFirstRefusesOtherCriteria() {
        QFETCH(QString, criteria);
        ScratchDatabase file;
        addContacts(file, 3);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        QVERIFY_ENGINE_ERROR(rs->FindFirst(criteria), error::BadCriteria);
    }

    // A record removed by another program since the list was filled is not found, and the set
    // does not land on some other contact instead.
    void findFirstMissesRecordDeletedElsewhere() {
        ScratchDatabase file;
        addContacts(file, 3);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        rs->FindFirst(QStringLiteral("Number= 1"));
        file.exec(QStringLiteral("DELETE FROM Addresses WHERE Number = 2"));
        rs->FindFirst(QStringLiteral("Number= 2"));
        QVERIFY(rs->NoMatch());
        QCOMPARE(rs->Fields(Number).toInt32(), 1);
    }

    void valuesAndConversions() {
        ScratchDatabase file;
        file.exec(QStringLiteral(
            "INSERT INTO Addresses (Number, Name, Phone, Address, email) VALUES "
            "(1, NULL, 'x', 'Line 1' || char(13, 10) || 'Line 2', ''),"
            "(2147483648, 'Big', 42, 1.5, X'414243');"));
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        QVERIFY(rs->Fields(Name).isNull());
        QVERIFY_ENGINE_ERROR(rs->Fields(Name).toText(), error::InvalidUseOfNull);
        QCOMPARE(rs->Fields(QStringLiteral("Address")).toText(),
                 QStringLiteral("Line 1\r\nLine 2"));
        QVERIFY(!rs->Fields(QStringLiteral("email")).isNull());
        QCOMPARE(rs->Fields(QStringLiteral("email")).toText(), QString());
        QVERIFY_ENGINE_ERROR(rs->Fields(QStringLiteral("Phone")).toInt32(), error::TypeMismatch);
        QVERIFY_ENGINE_ERROR(rs->Fields(QStringLiteral("Nickname")), error::FieldNotFound);
        rs->MoveNext();
        QCOMPARE(rs->Fields(Number).type(), Value::Type::Integer);
        QVERIFY_ENGINE_ERROR(rs->Fields(Number).toInt32(), error::Overflow);
        QCOMPARE(rs->Fields(QStringLiteral("Phone")).toText(), QStringLiteral("42"));
        QCOMPARE(rs->Fields(QStringLiteral("Address")).toInt32(), 2); // half to even
        QCOMPARE(rs->Fields(QStringLiteral("email")).toText(), QStringLiteral("ABC"));
        QCOMPARE(Value(QStringLiteral(" -17 ")).toInt32(), -17);
        QCOMPARE(Value(std::int64_t{-2147483648LL}).toInt32(), std::numeric_limits<int>::min());
        QVERIFY_ENGINE_ERROR(Value().toDouble(), error::InvalidUseOfNull);
        QCOMPARE(Value(QStringLiteral("1")).toDouble(), 1.0);
    }

    void addNewHandsOutTheNumberAtOnce() {
        ScratchDatabase file;
        addContacts(file, 2);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        rs->MoveNext(); // stand on the second record
        rs->AddNew();
        const int number = rs->Fields(Number).toInt32();
        QCOMPARE(number, 3);
        QVERIFY(rs->Fields(Name).isNull());
        rs->Collect(Name, QStringLiteral("Carol"));
        QCOMPARE(rs->Fields(Name).toText(), QStringLiteral("Carol"));
        QVERIFY_ENGINE_ERROR(rs->Collect(Number, 7), error::FieldNotUpdatable);
        QCOMPARE(file.scalar(QStringLiteral("SELECT count(*) FROM Addresses")).toInt(), 2);
        rs->Update();
        // Stored and committed: another connection reads it, with Null where nothing was set.
        QCOMPARE(file.scalar(QStringLiteral("SELECT Name FROM Addresses WHERE Number = 3")),
                 QVariant(QStringLiteral("Carol")));
        QVERIFY(file.scalar(QStringLiteral("SELECT Phone FROM Addresses WHERE Number = 3"))
                    .isNull());
        // The current record is the one current before AddNew; the set sees the new one.
        QCOMPARE(rs->Fields(Number).toInt32(), 2);
        rs->MoveNext();
        QCOMPARE(rs->Fields(Name).toText(), QStringLiteral("Carol"));
        rs->MoveNext();
        QVERIFY(rs->Eof());
        // From past the end, AddNew and Update leave the set past the end.
        addContact(*rs, QStringLiteral("Dave"));
        QVERIFY(rs->Eof());
    }

    // Numbers are unique across connections, survive rows added by plain SQL, and are never
    // handed out twice: not after the highest record is deleted, not after an abandoned AddNew.
    void numbersAreNeverHandedOutTwice() {
        ScratchDatabase file;
        auto dbA = OpenDatabase(file.path());
        auto dbB = OpenDatabase(file.path());
        auto a = dbA->OpenRecordset(Addresses);
        auto b = dbB->OpenRecordset(Addresses);
        std::set<int> seen;
        a->AddNew();
        const int pendingA = a->Fields(Number).toInt32();
        b->AddNew();
        const int pendingB = b->Fields(Number).toInt32();
        QVERIFY(pendingA != pendingB);
        a->Collect(Name, QStringLiteral("A"));
        b->Collect(Name, QStringLiteral("B"));
        b->Update();
        a->Update();
        seen = {pendingA, pendingB};

        file.exec(QStringLiteral("INSERT INTO Addresses (Number, Name) VALUES (500, 'Shell')"));
        const int afterShell = addContact(*a, QStringLiteral("C"));
        QVERIFY(afterShell > 500);
        file.exec(QStringLiteral("DELETE FROM Addresses WHERE Number = %1").arg(afterShell));
        a->AddNew(); // abandoned: never stored
        const int abandoned = a->Fields(Number).toInt32();
        a->MoveFirst(); // a move drops the begun record
        const int next = addContact(*b, QStringLiteral("D"));
        QVERIFY(abandoned > afterShell);
        QVERIFY(next > abandoned);
        QCOMPARE(file.scalar(QStringLiteral("SELECT count(*) FROM Addresses")).toInt(), 4);
    }

    // Two connections, two sets: each sees what the other stored, at its next read.
    void setsSeeEachOthersChanges() {
        ScratchDatabase file;
        addContacts(file, 3);
        auto dbA = OpenDatabase(file.path());
        auto dbB = OpenDatabase(file.path());
        auto a = dbA->OpenRecordset(Addresses);
        auto b = dbB->OpenRecordset(Addresses);
        QCOMPARE(b->Fields(Name).toText(), QStringLiteral("Person 1"));

        a->Edit();
        a->Collect(Name, QStringLiteral("Renamed"));
        a->Update();
        QCOMPARE(b->Fields(Name).toText(), QStringLiteral("Renamed"));

        const int added = addContact(*a, QStringLiteral("Added"));
        a->MoveNext();
        a->Delete(); // Person 2
        std::vector<int> expected{1, 3, added};
        QCOMPARE(walkForward(*b), expected);

        // A change by another program is seen at the next Edit at once, and by plain reads
        // once the set's last look at the file is older than its trust window.
        b->MoveFirst();
        QCOMPARE(b->Fields(Name).toText(), QStringLiteral("Renamed"));
        file.exec(QStringLiteral("UPDATE Addresses SET Name = 'Elsewhere', Phone = 'p' "
                                 "WHERE Number = 1"));
        QThread::msleep(Recordset::trustMs + 20);
        QCOMPARE(b->Fields(Name).toText(), QStringLiteral("Elsewhere"));
        file.exec(QStringLiteral("UPDATE Addresses SET Name = 'Again' WHERE Number = 1"));
        b->Edit();
        QCOMPARE(b->Fields(Name).toText(), QStringLiteral("Again"));
        QCOMPARE(b->Fields(QStringLiteral("Phone")).toText(), QStringLiteral("p"));
    }

    // Update writes only the fields set since Edit, so two settings sets writing one field each
    // never undo each other, whichever read the record first.
    void updateWritesOnlyTheFieldsSet() {
        ScratchDatabase file;
        auto dbA = OpenDatabase(file.path());
        auto dbB = OpenDatabase(file.path());
        auto login = dbA->OpenRecordset(Player);
        auto change = dbB->OpenRecordset(Player);
        login->Edit();
        change->Edit();
        change->Collect(QStringLiteral("Senha"), QStringLiteral("secret"));
        change->Update();
        login->Collect(QStringLiteral("WantPassword"), 1);
        login->Update();
        QCOMPARE(file.scalar(QStringLiteral("SELECT Senha FROM Player")).toString(),
                 QStringLiteral("secret"));
        QCOMPARE(file.scalar(QStringLiteral("SELECT WantPassword FROM Player")).toInt(), 1);
        QCOMPARE(login->Fields(QStringLiteral("Senha")).toText(), QStringLiteral("secret"));

        // Edit with nothing set writes nothing; Update or Collect without Edit is an error.
        login->Edit();
        login->Update();
        QVERIFY_ENGINE_ERROR(login->Update(), error::UpdateWithoutEdit);
        QVERIFY_ENGINE_ERROR(login->Collect(QStringLiteral("Senha"), QString()),
                             error::UpdateWithoutEdit);
    }

    void deletedRecordStaysCurrentButUnreadable() {
        ScratchDatabase file;
        addContacts(file, 3);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        rs->MoveNext();
        rs->Delete();
        QCOMPARE(file.scalar(QStringLiteral("SELECT count(*) FROM Addresses")).toInt(), 2);
        QVERIFY(!rs->Eof());
        QVERIFY_ENGINE_ERROR(rs->Fields(Name), error::RecordDeleted);
        QVERIFY_ENGINE_ERROR(rs->Fields(Number), error::RecordDeleted);
        QVERIFY_ENGINE_ERROR(rs->Edit(), error::RecordDeleted);
        QVERIFY_ENGINE_ERROR(rs->Delete(), error::RecordDeleted);
        rs->MoveNext();
        QCOMPARE(rs->Fields(Number).toInt32(), 3);
        rs->MovePrevious();
        QCOMPARE(rs->Fields(Number).toInt32(), 1);

        rs->MoveLast();
        rs->Delete();
        rs->MovePrevious();
        QCOMPARE(rs->Fields(Number).toInt32(), 1);
        rs->Delete();
        rs->MoveNext();
        QVERIFY(rs->Eof());
        QCOMPARE(rs->RecordCount(), 0);
    }

    // A record removed by another program under a set that stands on it: reading and writing
    // it are errors, and nothing is written into another record.
    void recordDeletedElsewhereIsNotWritten() {
        ScratchDatabase file;
        addContacts(file, 2);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(Addresses);
        rs->Edit();
        file.exec(QStringLiteral("DELETE FROM Addresses WHERE Number = 1"));
        rs->Collect(Name, QStringLiteral("Lost"));
        QVERIFY_ENGINE_ERROR(rs->Update(), error::RecordDeleted);
        QCOMPARE(file.scalar(QStringLiteral("SELECT count(*) FROM Addresses WHERE Name = 'Lost'"))
                     .toInt(),
                 0);
        QVERIFY_ENGINE_ERROR(rs->Edit(), error::RecordDeleted);
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
