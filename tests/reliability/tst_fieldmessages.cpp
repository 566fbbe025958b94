// A value read from a record set that cannot be converted says which field of which table holds
// it, so that the user knows what to mend in a file filled by other means.

#include "data/Database.h"
#include "data/Recordset.h"
#include "support/ScratchDatabase.h"

#include <QTest>

using namespace quillbox::data;

class TestFieldMessages : public QObject {
    Q_OBJECT

private slots:
    void conversionErrorsNameTheField_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("editing"); // read from the open record of Edit
        QTest::addColumn<QString>("as");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");

        const QString contact = QStringLiteral("INSERT INTO Addresses (Number, Name, Phone) "
                                               "VALUES (%1, %2, %3)");
        QTest::newRow("Null name as text")
            << contact.arg("1", "NULL", "''") << "Addresses"
            << "Name" << false << "text" << 94
            << "Invalid use of Null: the field 'Name' of the table 'Addresses' holds no value "
               "(Null).";
        QTest::newRow("Null while editing")
            << contact.arg("1", "'Ann'", "NULL") << "Addresses"
            << "Phone" << true << "text" << 94
            << "Invalid use of Null: the field 'Phone' of the table 'Addresses' holds no value "
               "(Null).";
        QTest::newRow("record number beyond 32 bits")
            << contact.arg("8589934592", "'Ann'", "''") << "Addresses"
            << "Number" << false << "int32" << 3349
            << "Overflow: the field 'Number' of the table 'Addresses' holds 8589934592, which "
               "does not fit in 32 bits.";
        QTest::newRow("real beyond 32 bits")
            << contact.arg("1", "'Ann'", "3e9") << "Addresses"
            << "Phone" << false << "int32" << 3349
            << "Overflow: the field 'Phone' of the table 'Addresses' holds 3000000000, which "
               "does not fit in 32 bits.";
        QTest::newRow("text as a number")
            << "UPDATE Player SET WantPassword = 'yes'"
            << "Player"
            << "WantPassword" << false << "double" << 3464
            << "Type mismatch: the field 'WantPassword' of the table 'Player' holds \"yes\", "
               "which is not a number.";
        QTest::newRow("text with placeholders")
            << "UPDATE Player SET WantPassword = '%1 %2'"
            << "Player"
            << "WantPassword" << false << "int32" << 3464
            << "Type mismatch: the field 'WantPassword' of the table 'Player' holds \"%1 %2\", "
               "which is not a number.";
    }
    void conversionErrorsNameTheField() {
        QFETCH(QString, setup);
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(bool, editing);
        QFETCH(QString, as);
        QFETCH(int, number);
        QFETCH(QString, description);
        ScratchDatabase file;
        file.exec(setup);
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(table);
        if (editing)
            rs->Edit();
        const Value v = rs->Fields(field);
        try {
            if (as == "text")
                v.toText();
            else if (as == "int32")
                v.toInt32();
            else
                v.toDouble();
            QFAIL("no error");
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), number);
            QCOMPARE(e.description(), description);
        }
    }

    // The origin is for messages only: values still compare by what they hold, and one made by
    // the program itself keeps the plain message.
    void originTakesNoPartInComparisons() {
        ScratchDatabase file;
        file.exec("INSERT INTO Addresses (Name, Phone) VALUES ('Ann', NULL)");
        auto db = OpenDatabase(file.path());
        auto rs = db->OpenRecordset(QStringLiteral("Addresses"));
        QCOMPARE(rs->Fields(QStringLiteral("Name")), Value("Ann"));
        QCOMPARE(rs->Fields(QStringLiteral("Phone")), Value());
        QVERIFY(!(rs->Fields(QStringLiteral("Name")) == rs->Fields(QStringLiteral("Phone"))));
        try {
            Value().toText();
            QFAIL("no error");
        } catch (const EngineError& e) {
            QCOMPARE(e.description(), QStringLiteral("Invalid use of Null."));
        }
    }
};

QTEST_GUILESS_MAIN(TestFieldMessages)
#include "tst_fieldmessages.moc"
