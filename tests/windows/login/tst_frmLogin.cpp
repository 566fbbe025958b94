// Start-up: the protection flag decides between the login window and the main window, and the
// login window lets in exactly the stored password.

#include "data/Database.h"
#include "data/Recordset.h"
#include "security/Password.h"
#include "support/FakeServices.h"
#include "support/ScratchDatabase.h"
#include "windows/common/TextBox.h"
#include "windows/login/frmLogin.h"
#include "windows/main/MainProgram.h"

#include <QApplication>
#include <algorithm>
#include <QFile>
#include <QDir>
#include <QPushButton>
#include <QTest>

using namespace quillbox;
using windows::frmLogin;

class TestLogin : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchDatabase> file_;
    std::unique_ptr<test::FakeServices> fakes_;
    std::unique_ptr<frmLogin> login_;

    void setSettings(const QString& senha, const QString& flag) {
        file_->exec(QStringLiteral("UPDATE Player SET Senha = %1, WantPassword = %2")
                        .arg(senha, flag));
    }
    windows::LineBox* passwordBox() { return login_->findChild<windows::LineBox*>("txtPassword"); }
    void pressOK() { QTest::mouseClick(login_->findChild<QPushButton*>("cmdOK"), Qt::LeftButton); }

private slots:
    void init() {
        file_ = std::make_unique<ScratchDatabase>();
        QVERIFY(QDir::setCurrent(file_->folder()));
        fakes_ = std::make_unique<test::FakeServices>();
        login_ = std::make_unique<frmLogin>(fakes_->services);
    }
    void cleanup() {
        login_.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().begin(),
                             QApplication::topLevelWidgets().end(),
                             [](QWidget* w) { return w->isVisible(); }));
        fakes_.reset();
        QDir::setCurrent(QDir::tempPath());
        file_.reset();
    }

    void protectionFlag_data() {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<bool>("asks");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("2") << "2" << true;
        QTest::newRow("a half") << "0.5" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("-1") << "-1" << false;
        QTest::newRow("Null") << "NULL" << false;
    }
    void protectionFlag() {
        QFETCH(QString, flag);
        QFETCH(bool, asks);
        setSettings(QStringLiteral("''"), flag);
        login_->Form_Load();
        QCOMPARE(login_->isVisible(), asks);
        QCOMPARE(login_->mainProgram() != nullptr, !asks);
        if (!asks)
            QVERIFY(login_->mainProgram()->isVisible());
        else
            QCOMPARE(login_->focusWidget(), passwordBox());
        QVERIFY(fakes_->boxes.calls.empty());
    }

    void password_data() {
        QTest::addColumn<QString>("stored"); // as SQL
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("same") << "'Secret'" << "Secret" << true;
        QTest::newRow("other case") << "'Secret'" << "secret" << false;
        QTest::newRow("leading blank") << "'Secret'" << " Secret" << false;
        QTest::newRow("trailing blank") << "'Secret'" << "Secret " << false;
        QTest::newRow("empty accepts empty") << "''" << "" << true;
        QTest::newRow("empty refuses a blank") << "''" << " " << false;
        QTest::newRow("Null refuses empty") << "NULL" << "" << false;
        QTest::newRow("Null refuses 'NULL'") << "NULL" << "NULL" << false;
        const QString verifier =
            QStringLiteral("'%1'").arg(security::makePasswordVerifier(QStringLiteral("Pässwörd 1")));
        QTest::newRow("verifier, same") << verifier << "Pässwörd 1" << true;
        QTest::newRow("verifier, other case") << verifier << "pässwörd 1" << false;
        QTest::newRow("verifier, trailing blank") << verifier << "Pässwörd 1 " << false;
    }
    void password() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        setSettings(stored, QStringLiteral("1"));
        const QVariant before = file_->scalar(QStringLiteral("SELECT Senha FROM Player"));
        login_->Form_Load();
        passwordBox()->SetText(typed);
        pressOK();
        QCOMPARE(login_->isVisible(), !accepted);
        QCOMPARE(login_->mainProgram() != nullptr, accepted);
        const QVariant after = file_->scalar(QStringLiteral("SELECT Senha FROM Player"));
        if (accepted) {
            QVERIFY(fakes_->boxes.calls.empty());
            QVERIFY(login_->mainProgram()->isVisible());
            QCOMPARE(passwordBox()->Text(), QString()); // not kept for the run
            // Plain text gives way to a verifier of it; a verifier stays as it was.
            QVERIFY(security::isPasswordVerifier(data::Value(after.toString())));
            QVERIFY(security::passwordAccepts(data::Value(after.toString()), typed));
            QCOMPARE(after == before, security::isPasswordVerifier(data::Value(before.toString())));
            QCOMPARE(file_->scalar(QStringLiteral("SELECT WantPassword FROM Player")).toInt(), 1);
        } else {
            QCOMPARE(after, before);
            QCOMPARE(fakes_->boxes.calls.size(), std::size_t{1});
            QCOMPARE(fakes_->boxes.calls[0].prompt, QStringLiteral("Access Denied!"));
            QCOMPARE(fakes_->boxes.calls[0].title, QStringLiteral("Try Again"));
            QCOMPARE(fakes_->boxes.calls[0].style, 16);
            QCOMPARE(passwordBox()->Text(), typed); // the typed text stays
        }
        QVERIFY(fakes_->end.statuses.empty());
    }

    // Any number of wrong tries, each refused alike; the stored password is read at every
    // press, so one changed meanwhile (through another connection) is the one that counts.
    void triesAgainUntilRight() {
        setSettings(QStringLiteral("'one'"), QStringLiteral("1"));
        login_->Form_Load();
        QTest::keyClicks(passwordBox(), QStringLiteral("two"));
        pressOK();
        pressOK();
        QCOMPARE(fakes_->boxes.calls.size(), std::size_t{2});
        {
            auto db = data::OpenDatabase(QStringLiteral("senha.scc"));
            auto settings = db->OpenRecordset(QStringLiteral("Player"));
            settings->Edit();
            settings->Collect(QStringLiteral("Senha"), QStringLiteral("two"));
            settings->Update();
        }
        pressOK();
        QCOMPARE(fakes_->boxes.calls.size(), std::size_t{2});
        QVERIFY(login_->mainProgram() && login_->mainProgram()->isVisible());
        QVERIFY(!login_->isVisible());
    }

    void keyboard() {
        setSettings(QStringLiteral("'abc'"), QStringLiteral("1"));
        login_->Form_Load();
        QTest::keyClicks(passwordBox(), QStringLiteral("abc"));
        QCOMPARE(passwordBox()->displayText(), QStringLiteral("***"));
        QTest::keyClick(passwordBox(), Qt::Key_Return); // Enter presses OK
        QVERIFY(login_->mainProgram() && login_->mainProgram()->isVisible());
    }

    void cancelEndsTheProgram_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("close box") << 2;
    }
    void cancelEndsTheProgram() {
        QFETCH(int, how);
        setSettings(QStringLiteral("'abc'"), QStringLiteral("1"));
        login_->Form_Load();
        if (how == 0)
            QTest::mouseClick(login_->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(passwordBox(), Qt::Key_Escape);
        else
            login_->close();
        QCOMPARE(fakes_->end.statuses, std::vector<int>{0});
        QVERIFY(login_->mainProgram() == nullptr);
    }

    // A load step that fails ends the program through the engine-error path, and no main
    // window is shown. The main window's own load step registers the icon before it fails.
    void failedLoadEndsTheProgram_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("iconsAdded");
        QTest::newRow("no file") << QString() << 3024 << 0;
        QTest::newRow("no settings record") << "DELETE FROM Player" << 3021 << 0;
        QTest::newRow("a Null name")
            << "INSERT INTO Addresses (Name) VALUES ('Ann'), (NULL)" << 94 << 1;
        QTest::newRow("a number beyond 32 bits")
            << "INSERT INTO Addresses (Number, Name) VALUES (4294967296, 'Big')" << 3349 << 1;
    }
    void failedLoadEndsTheProgram() {
        QFETCH(QString, sql);
        QFETCH(int, number);
        QFETCH(int, iconsAdded);
        if (sql.isEmpty())
            QVERIFY(QFile::remove(file_->path()));
        else
            file_->exec(sql);
        fakes_->errors.guard([this] { login_->Form_Load(); });
        QCOMPARE(fakes_->boxes.calls.size(), std::size_t{1});
        QVERIFY2(fakes_->boxes.calls[0].prompt.startsWith(QStringLiteral("Error %1: ").arg(number)),
                 qPrintable(fakes_->boxes.calls[0].prompt));
        QCOMPARE(fakes_->end.statuses, std::vector<int>{1});
        QVERIFY(login_->mainProgram() == nullptr);
        QCOMPARE(fakes_->tray.added, iconsAdded);
        QCOMPARE(fakes_->tray.removed, 0);
        if (sql.isEmpty())
            QVERIFY(!QFile::exists(file_->path()));
    }
};

QTEST_MAIN(TestLogin)
#include "tst_frmLogin.moc"
