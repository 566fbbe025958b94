// Password protection over several starts of the program: switching it on and off, setting
// the password in the change-password window, and what the next start asks for.

#include "support/FakeServices.h"
#include "support/ScratchDatabase.h"
#include "windows/common/TextBox.h"
#include "windows/login/frmLogin.h"
#include "windows/main/MainProgram.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QTest>

using namespace quillbox;

namespace {

// One run of the program, from the login window's load step on.
struct Run {
    test::FakeServices fakes;
    windows::frmLogin login{fakes.services};

    Run() { fakes.errors.guard([this] { login.Form_Load(); }); }
    bool asks() const { return login.isVisible(); }
    windows::MainProgram* main() const { return login.mainProgram(); }
    void menu(const char* item) { main()->findChild<QAction*>(item)->trigger(); }
    void logIn(const QString& password) {
        login.findChild<windows::LineBox*>("txtPassword")->SetText(password);
        QTest::mouseClick(login.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    }
    QStringList prompts() const {
        QStringList p;
        for (const auto& c : fakes.boxes.calls)
            p << c.prompt;
        return p;
    }
};

// What the user does in the change-password window.
test::FakeDialogs::Script typeAndPressOK(const QString& password) {
    return [password](QDialog& d) {
        auto* box = d.findChild<windows::LineBox*>("txtChangePassword");
        QCOMPARE(box->Text(), QString()); // every showing starts empty
        QCOMPARE(d.focusWidget(), box);
        box->setFocus();
        QTest::keyClicks(box, password);
        QTest::keyClick(box, Qt::Key_Return); // Enter presses OK
    };
}

} // namespace

class TestPassword : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchDatabase> file_;

    QString stored() { return file_->scalar("SELECT Senha FROM Player").toString(); }

private slots:
    void init() {
        file_ = std::make_unique<ScratchDatabase>();
        QVERIFY(QDir::setCurrent(file_->folder()));
    }
    void cleanup() {
        QDir::setCurrent(QDir::tempPath());
        file_.reset();
    }

    void protectRestartRemoveRestart() {
        {
            Run run;
            QVERIFY(!run.asks());
            run.fakes.dialogs.then(typeAndPressOK(QStringLiteral("Open Sesame")));
            run.menu("PasswordProtect");
            QCOMPARE(run.prompts(), QStringList({"New password successfully stored!",
                                                 "Program is now password protected!"}));
            QCOMPARE(run.fakes.boxes.calls[1].title, QStringLiteral("Password On"));
            // The file holds a verifier of the password, never the password.
            QVERIFY(stored().startsWith(QLatin1String("$argon2id$")));
            QVERIFY(!stored().contains(QLatin1String("Open Sesame")));
        }
        {
            Run run;
            QVERIFY(run.asks());
            run.logIn(QStringLiteral("open sesame"));
            QCOMPARE(run.prompts(), QStringList({"Access Denied!"}));
            run.logIn(QStringLiteral("Open Sesame"));
            QVERIFY(run.main() && run.main()->isVisible());
            run.menu("RemovePassword");
            QCOMPARE(run.prompts().back(), QStringLiteral("Password protection has been disabled!"));
        }
        {
            Run run;
            QVERIFY(!run.asks());
            // The password stays stored for a later "Password Protect".
            QVERIFY(stored().startsWith(QLatin1String("$argon2id$")));
        }
    }

    // Closed without OK: nothing stored, and protection goes on all the same, with the empty
    // password a new file has, so nobody is locked out.
    void protectWithoutSettingAPassword() {
        {
            Run run;
            run.menu("PasswordProtect"); // the fake closes the window by its close box
            QCOMPARE(run.prompts(), QStringList({"Program is now password protected!"}));
            QCOMPARE(stored(), QString());
        }
        Run run;
        QVERIFY(run.asks());
        run.logIn(QString());
        QVERIFY(run.main());
    }

    void changeWhileOffLeavesProtectionOff() {
        {
            Run run;
            run.fakes.dialogs.then(typeAndPressOK(QStringLiteral("x")));
            run.menu("ChangePassword");
            QCOMPARE(run.prompts(), QStringList({"New password successfully stored!"}));
        }
        QCOMPARE(file_->scalar("SELECT WantPassword FROM Player").toInt(), 0);
        Run run;
        QVERIFY(!run.asks());
    }

    void passwords_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("opens"); // what the next start accepts; empty: refused
        QTest::newRow("empty is refused") << "" << "";
        QTest::newRow("blanks are a password") << "   " << "   ";
        QTest::newRow("40 characters") << QString(40, QLatin1Char('p')) << QString(40, QLatin1Char('p'));
        QTest::newRow("a 41st is not taken") << QString(41, QLatin1Char('q'))
                                             << QString(40, QLatin1Char('q'));
    }
    void passwords() {
        QFETCH(QString, typed);
        QFETCH(QString, opens);
        {
            Run run;
            run.fakes.dialogs.then(typeAndPressOK(typed));
            run.menu("PasswordProtect");
            if (opens.isEmpty()) {
                QCOMPARE(run.prompts(), QStringList({"You must have a password!",
                                                     "Program is now password protected!"}));
                QCOMPARE(run.fakes.boxes.calls[0].title, QStringLiteral("Good Grief!"));
                QCOMPARE(stored(), QString());
                return;
            }
        }
        Run run;
        run.logIn(opens);
        QVERIFY(run.main());
    }

    // After a stored password the window is only hidden and shown again as it was left, with
    // an empty box; closed otherwise it is loaded afresh the next time.
    void theWindowComesBackEmpty() {
        Run run;
        run.fakes.dialogs.then(typeAndPressOK(QStringLiteral("one")));
        run.fakes.dialogs.then(typeAndPressOK(QStringLiteral("two")));
        run.menu("ChangePassword");
        run.menu("ChangePassword");
        run.menu("ChangePassword"); // closed by its close box: nothing stored
        QCOMPARE(run.fakes.dialogs.shown, std::vector<QString>(3, QStringLiteral("Change")));
        run.fakes.dialogs.then(typeAndPressOK(QStringLiteral("three")));
        run.menu("PasswordProtect");
        Run next;
        next.logIn(QStringLiteral("two"));
        QVERIFY(!next.main());
        next.logIn(QStringLiteral("three"));
        QVERIFY(next.main());
    }

    // "WantPassword" written through the main window's set never undoes a "Senha" written
    // through the change-password window's set, whichever read the record first.
    void flagAndPasswordDoNotUndoEachOther() {
        Run run;
        run.menu("RemovePassword");
        run.fakes.dialogs.then(typeAndPressOK(QStringLiteral("kept")));
        run.menu("PasswordProtect");
        run.menu("RemovePassword");
        run.menu("PasswordProtect");
        QCOMPARE(file_->scalar("SELECT WantPassword FROM Player").toInt(), 1);
        Run next;
        next.logIn(QStringLiteral("kept"));
        QVERIFY(next.main());
    }

    void escDoesNotCloseTheWindow() {
        Run run;
        run.fakes.dialogs.then([](QDialog& d) {
            QTest::keyClick(&d, Qt::Key_Escape);
            QVERIFY(d.isVisible());
        });
        run.menu("ChangePassword");
    }
};

QTEST_MAIN(TestPassword)
#include "tst_Change.moc"
