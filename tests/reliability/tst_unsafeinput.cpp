// Texts that break programs which splice them into SQL, format strings or shell lines go
// through the main window unchanged: shown, updated, deleted, put on the send list and handed
// to the mail program byte for byte, with the table and every other contact untouched. Also the
// file quillbox-db writes is its owner's alone.

#include "support/FakeServices.h"
#include "support/MainWindowFixture.h"
#include "support/ScratchDatabase.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace quillbox;
using windows::MainProgram;

namespace {

struct Contact {
    QString name, phone, address, email;
};

// Each field its own text, so that two fields trading places would show.
Contact contactOf(const QString& text) {
    return {text, QStringLiteral("P") + text, QStringLiteral("A") + text,
            QStringLiteral("E") + text};
}

// Stored as another program would, with bound parameters.
void store(const ScratchDatabase& file, const Contact& c) {
    sqlite3* db = file.open();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Addresses (Name, Phone, Address, email) VALUES (?, ?, ?, ?)",
                       -1, &st, nullptr);
    const QByteArray fields[] = {c.name.toUtf8(), c.phone.toUtf8(), c.address.toUtf8(),
                                 c.email.toUtf8()};
    for (int i = 0; i < 4; ++i)
        sqlite3_bind_text(st, i + 1, fields[i].constData(), static_cast<int>(fields[i].size()),
                          SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_DONE);
}

// Every stored contact, fields as bytes, by number.
QList<QByteArrayList> storedBytes(const ScratchDatabase& file) {
    QList<QByteArrayList> rows;
    sqlite3* db = file.open();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT Name, Phone, Address, email FROM Addresses ORDER BY Number", -1,
                       &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        QByteArrayList row;
        for (int i = 0; i < 4; ++i)
            row << QByteArray(static_cast<const char*>(sqlite3_column_blob(st, i)),
                              sqlite3_column_bytes(st, i));
        rows << row;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

QByteArrayList bytesOf(const Contact& c) {
    return {c.name.toUtf8(), c.phone.toUtf8(), c.address.toUtf8(), c.email.toUtf8()};
}

} // namespace

class TestUnsafeInput : public QObject, public test::MainWindowFixture {
    Q_OBJECT

private slots:
    void cleanup() {
        window_.reset();
        fakes_.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    void textsGoThroughUnchanged_data() {
        QTest::addColumn<QString>("unsafeText");
        QTest::newRow("quotes") << R"(O'Brien "Bob" '' "")";
        QTest::newRow("percent signs") << "100% %1 %2 %n %s %% %L1";
        QTest::newRow("semicolons") << "a;b; ;;";
        QTest::newRow("statement") << "'); DROP TABLE Addresses;--";
        QTest::newRow("condition") << R"(" OR 1=1; DELETE FROM Addresses WHERE "a"="a)";
        QTest::newRow("shell") << "$(touch pwned) `id` | & > /tmp/x ; \\";
        QTest::newRow("control characters") << QStringLiteral("a\x01\x02\x07\x1b[31m\x7f\tb");
        QTest::newRow("NUL") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
        QTest::newRow("line breaks") << QStringLiteral("a\r\nb\r\n");
        // U+2028 and U+2029 are left out: the address box shows them as the line breaks they
        // are, and so stores them as "\r\n".
        QTest::newRow("next line") << QStringLiteral(u"a\u0085b\u000Bc\u000Cd");
        QTest::newRow("right-to-left marks")
            << QStringLiteral(u"\u202Egnp.exe\u202C \u200F\u200E \u2067x\u2069 \u061C");
        QTest::newRow("emoji") << QStringLiteral(
            u"😀 👍🏽 👨‍👩‍👧 🏳️‍🌈");
        QString longText;
        while (longText.size() < 10000)
            longText += QStringLiteral(u"ab'c%1;\"é😀");
        longText.truncate(10000);
        if (longText.back().isHighSurrogate())
            longText.back() = QLatin1Char('z');
        QTest::newRow("10,000 characters") << longText;
    }
    void textsGoThroughUnchanged() {
        QFETCH(QString, unsafeText);
        ScratchDatabase file;
        const Contact unsafe = contactOf(unsafeText);
        const Contact other{"Zed", "555", "1 High St\r\nTown", "zed@example.com"};
        store(file, unsafe);
        store(file, other);
        QVERIFY(QDir::setCurrent(file.folder()));
        fakes_ = std::make_unique<test::FakeServices>();
        window_ = std::make_unique<MainProgram>(fakes_->services);
        fakes_->errors.guard([this] { window_->Form_Load(); });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));

        // Shown.
        choose(unsafe.name);
        QCOMPARE(text("txtUpdateName"), unsafe.name);
        QCOMPARE(text("txtUpdatePhone"), unsafe.phone);
        QCOMPARE(text("txtUpdateAddress"), unsafe.address);
        QCOMPARE(text("txtUpdateEmail"), unsafe.email);

        // Handed to the mail program, alone and on the send list.
        press("cmdSend");
        press("cmdAddToList");
        QCOMPARE(text("txtEmailList"), unsafe.email);
        press("cmdClearEmailList");
        press("cmdAddAll");
        press("cmdSendList");
        const std::vector<QString> requests{QStringLiteral("mailto:") + unsafe.email,
                                            QStringLiteral("mailto:") + unsafe.email +
                                                QStringLiteral(", ") + other.email};
        QCOMPARE(fakes_->mail.requests, requests);

        // Written back as shown: the same bytes.
        choose(unsafe.name);
        press("cmdUpdate");
        QCOMPARE(storedBytes(file), QList<QByteArrayList>({bytesOf(unsafe), bytesOf(other)}));

        // Typed in as a new contact, and as a change to one.
        const Contact added = contactOf(unsafeText + QStringLiteral("+"));
        type("txtName", added.name);
        type("txtPhone", added.phone);
        type("txtAddress", added.address);
        type("txtEmail", added.email);
        press("cmdNew");
        const Contact changed = contactOf(QStringLiteral("~") + unsafeText);
        choose(unsafe.name);
        type("txtUpdateName", changed.name);
        type("txtUpdatePhone", changed.phone);
        type("txtUpdateAddress", changed.address);
        type("txtUpdateEmail", changed.email);
        press("cmdUpdate");
        QCOMPARE(storedBytes(file),
                 QList<QByteArrayList>({bytesOf(changed), bytesOf(other), bytesOf(added)}));

        // Deleted: that contact alone.
        choose(changed.name);
        fakes_->boxes.answerNext(platform::MessageBoxService::AnswerYes);
        press("cmdDelete");
        QCOMPARE(storedBytes(file), QList<QByteArrayList>({bytesOf(other), bytesOf(added)}));
        QCOMPARE(rowOf(changed.name), -1);
        QVERIFY(rowOf(added.name) >= 0);

        QCOMPARE(fakes_->end.statuses.size(), std::size_t{0});
        QCOMPARE(fakes_->boxes.calls.size(), std::size_t{1}); // the delete's question
        QCOMPARE(file.scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        QCOMPARE(file.scalar("SELECT group_concat(name) FROM "
                             "(SELECT name FROM sqlite_schema ORDER BY name)")
                     .toString(),
                 QStringLiteral("Addresses,AddressesByName,Player,sqlite_sequence"));
    }

    // Contacts are private: whatever the umask, the new file is readable and writable by its
    // owner only.
    void newFileIsTheOwnersAlone_data() {
        QTest::addColumn<int>("mask");
        QTest::newRow("umask 000") << 0;
        QTest::newRow("umask 022") << 022;
    }
    void newFileIsTheOwnersAlone() {
        QFETCH(int, mask);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("senha.scc"));
        const mode_t before = ::umask(static_cast<mode_t>(mask));
        const int status = QProcess::execute(
            qEnvironmentVariable("QUILLBOX_BIN_DIR") + QStringLiteral("/quillbox-db"),
            {QStringLiteral("create"), path, QStringLiteral("--contacts"), QStringLiteral("3")});
        ::umask(before);
        QCOMPARE(status, 0);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t{0600});
    }
};

QTEST_MAIN(TestUnsafeInput)
#include "tst_unsafeinput.moc"
