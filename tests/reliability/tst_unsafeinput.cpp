// Texts that break programs which splice them into SQL, format strings or shell lines go
// through the main window unchanged: shown, updated, deleted, put on the send list and handed
// to the mail program byte for byte, with the table and every other contact untouched. And the
// file quillbox-db makes is its owner's alone, whatever the umask.

#include "support/MainWindowFixture.h"

#include <QProcess>

#include <sys/stat.h>

using namespace quillbox;

namespace {

// Every stored contact's fields as bytes, by number.
QByteArrayList storedBytes(const ScratchDatabase& file) {
    QByteArrayList fields;
    for (const QString& hex :
         file.scalar("SELECT group_concat(hex(Name) || ' ' || hex(Phone) || ' ' || hex(Address) "
                     "|| ' ' || hex(email), ' ') FROM (SELECT * FROM Addresses ORDER BY Number)")
             .toString()
             .split(u' '))
        fields << QByteArray::fromHex(hex.toLatin1());
    return fields;
}

// Each field its own text, so that two fields trading places would show.
QStringList fieldsOf(const QString& text) { return {text, "P" + text, "A" + text, "E" + text}; }

QByteArrayList bytesOf(const QList<QStringList>& contacts) {
    QByteArrayList fields;
    for (const QStringList& c : contacts)
        for (const QString& f : c)
            fields << f.toUtf8();
    return fields;
}

} // namespace

class TestUnsafeInput : public QObject, public test::MainWindowFixture {
    Q_OBJECT

    void fill(const char* const boxes[], const QStringList& c) {
        for (int i = 0; i < 4; ++i)
            type(boxes[i], c[i]);
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void textsGoThroughUnchanged_data() {
        QTest::addColumn<QString>("unsafe");
        QTest::newRow("quotes") << R"(O'Brien "Bob" '' "")";
        QTest::newRow("placeholders") << "100% %1 %2 %n %s %% %L1";
        QTest::newRow("statement") << "'); DROP TABLE Addresses;--";
        QTest::newRow("condition") << R"(" OR 1=1; DELETE FROM Addresses WHERE "a"="a)";
        QTest::newRow("shell") << "$(touch pwned) `id` | & > /tmp/x ; \\";
        QTest::newRow("control characters") << QStringLiteral("a\x01\x07\x1b[31m\x7f\tb");
        QTest::newRow("NUL") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
        QTest::newRow("line breaks") << QStringLiteral("a\r\nb\r\n");
        QTest::newRow("right-to-left marks")
            << QStringLiteral(u"\u202Egnp.exe\u202C \u200F\u200E \u2067x\u2069 \u0085");
        QTest::newRow("emoji") << QStringLiteral(u"😀 👍🏽 👨‍👩‍👧 🏳️‍🌈");
        QTest::newRow("10,000 characters") << QString(1000, u'x').replace(u'x', QStringLiteral(u"ab'c%1;\"é😀"))
                                                  .left(9999) + u'z';
    }
    void textsGoThroughUnchanged() {
        QFETCH(QString, unsafe);
        const QStringList stored = fieldsOf(unsafe);
        const QStringList other{"Zed", "555", "1 High St\r\nTown", "zed@example.com"};
        const QStringList added = fieldsOf(unsafe + "+"), changed = fieldsOf("~" + unsafe);
        for (const QStringList& c : {stored, other}) { // as bytes, NUL and all
            QStringList values;
            for (const QByteArray& b : bytesOf({c}))
                values << "CAST(X'" + b.toHex() + "' AS TEXT)";
            file_->exec("INSERT INTO Addresses (Name, Phone, Address, email) VALUES (" +
                        values.join(u',') + ")");
        }
        load();
        const char* const updateBoxes[] = {"txtUpdateName", "txtUpdatePhone", "txtUpdateAddress",
                                           "txtUpdateEmail"};

        choose(unsafe);
        QCOMPARE(QStringList({text(updateBoxes[0]), text(updateBoxes[1]), text(updateBoxes[2]),
                              text(updateBoxes[3])}),
                 stored);
        press("cmdSend");
        press("cmdAddToList");
        QCOMPARE(text("txtEmailList"), stored[3]);
        press("cmdClearEmailList");
        press("cmdAddAll");
        press("cmdSendList");
        QCOMPARE(fakes_->mail.requests,
                 std::vector<QString>({"mailto:" + stored[3], "mailto:" + stored[3] + ", " + other[3]}));
        choose(unsafe);
        press("cmdUpdate"); // written back as shown: the same bytes
        QCOMPARE(storedBytes(*file_), bytesOf({stored, other}));

        const char* const addBoxes[] = {"txtName", "txtPhone", "txtAddress", "txtEmail"};
        fill(addBoxes, added);
        press("cmdNew");
        choose(unsafe);
        fill(updateBoxes, changed);
        press("cmdUpdate");
        QCOMPARE(storedBytes(*file_), bytesOf({changed, other, added}));
        choose(changed[0]);
        fakes_->boxes.answerNext(desktop::MessageBoxService::AnswerYes);
        press("cmdDelete");
        QCOMPARE(storedBytes(*file_), bytesOf({other, added}));
        QVERIFY(rowOf(changed[0]) < 0 && rowOf(added[0]) >= 0);
        QCOMPARE(fakes_->boxes.calls.size(), std::size_t{1}); // the delete's question
        QCOMPARE(file_->scalar("SELECT group_concat(name) FROM (SELECT name FROM sqlite_schema "
                               "ORDER BY name)").toString(),
                 QStringLiteral("Addresses,AddressesByName,Player,sqlite_sequence"));
    }

    void newFileIsTheOwnersAlone() {
        const QString path = file_->folder() + "/new.scc";
        const mode_t before = ::umask(0);
        const int status = QProcess::execute(qEnvironmentVariable("QUILLBOX_BIN_DIR") + "/quillbox-db",
                                             {"create", path, "--contacts", "3"});
        ::umask(before);
        QCOMPARE(status, 0);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t{0600});
    }
};

QTEST_MAIN(TestUnsafeInput)
#include "tst_unsafeinput.moc"
