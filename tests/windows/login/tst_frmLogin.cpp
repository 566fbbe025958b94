// Start-up and the password over several starts of the program: the protection flag decides
// between the login window and the main window, the login window lets in exactly the stored
// password, and the change-password window stores a verifier that the next start asks for.

#include "data/MainLoad.h"
#include "data/Schema.h"
#include "security/Password.h"
#include "support/MainWindowFixture.h"
#include "windows/DeferredIcons.h"
#include "windows/ProgramIcon.h"
#include "windows/login/frmLogin.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QStyleFactory>
#include <QToolButton>

using namespace quillbox;

namespace {

// One start of the program, from the login window's load step on.
struct Run {
    test::FakeServices fakes;
    windows::frmLogin login;
    test::WindowDriver main;

    // `early`: the main window's file as read while the program started.
    explicit Run(std::future<data::MainWindowFile> early = {})
        : login(fakes.services, std::move(early)) {
        fakes.errors.guard([this] { login.Form_Load(); });
        main.w = login.mainProgram();
    }
    bool asks() const { return login.isVisible(); }
    windows::LineBox* box() { return login.findChild<windows::LineBox*>("txtPassword"); }
    bool logIn(const QString& password) {
        box()->SetText(password);
        QTest::mouseClick(login.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        main.w = login.mainProgram();
        return main.w && main.w->isVisible() && !asks();
    }
    // The user's part in the next change-password window: it opens empty, with the focus in
    // its box; the password is typed and Enter pressed.
    void nextPassword(const QString& password) {
        fakes.dialogs.then([password](QDialog& d) {
            auto* box = d.findChild<windows::LineBox*>("txtChangePassword");
            QCOMPARE(box->Text(), QString());
            QCOMPARE(d.focusWidget(), box);
            const auto* label = d.findChild<QLabel*>("Label1"); // not run under by the box
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= box->x() - label->x());
            QTest::keyClicks(box, password);
            QTest::keyClick(box, Qt::Key_Return);
        });
    }
};

} // namespace

class TestLogin : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchDatabase> file_;

    void setSettings(const QString& senha, const QString& flag) {
        file_->exec(QStringLiteral("UPDATE Player SET Senha = %1, WantPassword = %2").arg(senha, flag));
    }
    QString stored() { return file_->scalar("SELECT Senha FROM Player").toString(); }

private slots:
    void init() {
        file_ = std::make_unique<ScratchDatabase>();
        QVERIFY(QDir::setCurrent(file_->folder()));
    }
    void cleanup() {
        const auto widgets = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(widgets.begin(), widgets.end(), [](QWidget* w) { return w->isVisible(); }));
        QDir::setCurrent(QDir::tempPath());
        file_.reset();
    }

    // The flag asks for the password when it is above 0; the password is compared exactly.
    void login_data() {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("stored"); // as SQL
        QTest::addColumn<QString>("typed");  // empty: nothing typed, and the flag decides
        QTest::addColumn<bool>("opens");
        const QString verifier = "'" + security::makePasswordVerifier("Pässwörd 1") + "'";
        QTest::newRow("flag 1") << "1" << "''" << "" << false;
        QTest::newRow("flag a half") << "0.5" << "''" << "" << false;
        QTest::newRow("flag 0") << "0" << "''" << "" << true;
        QTest::newRow("flag -1") << "-1" << "''" << "" << true;
        QTest::newRow("flag Null") << "NULL" << "''" << "" << true;
        QTest::newRow("same") << "1" << "'Secret'" << "Secret" << true;
        QTest::newRow("other case") << "1" << "'Secret'" << "secret" << false;
        QTest::newRow("trailing blank") << "1" << "'Secret'" << "Secret " << false;
        QTest::newRow("Null refuses even empty") << "1" << "NULL" << "" << false;
        QTest::newRow("verifier, same") << "1" << verifier << "Pässwörd 1" << true;
        QTest::newRow("verifier, other case") << "1" << verifier << "pässwörd 1" << false;
    }
    void login() {
        QFETCH(QString, flag);
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, opens);
        setSettings(stored, flag);
        const QString before = this->stored();
        Run run;
        if (run.asks()) {
            QCOMPARE(run.login.focusWidget(), run.box());
            if (!typed.isEmpty() || stored == "NULL")
                QCOMPARE(run.logIn(typed), opens);
        }
        QCOMPARE(run.main.w && run.main.w->isVisible(), opens);
        // Let in, plain text gives way to a verifier of it, a verifier stays, and the box is
        // emptied; refused, nothing changes.
        if (opens && !typed.isEmpty()) {
            QVERIFY(security::passwordAccepts(data::Value(this->stored()), typed));
            QCOMPARE(this->stored() == before, before.startsWith("$argon2id$"));
            QVERIFY(security::isPasswordVerifier(data::Value(this->stored())));
            QCOMPARE(run.box()->Text(), QString());
        } else {
            QCOMPARE(this->stored(), before);
        }
        if (!opens && !run.fakes.boxes.calls.empty()) {
            QCOMPARE(run.fakes.boxes.calls.size(), std::size_t{1});
            QCOMPARE(run.fakes.boxes.calls[0].prompt, QStringLiteral("Access Denied!"));
            QCOMPARE(run.fakes.boxes.calls[0].title, QStringLiteral("Try Again"));
            QCOMPARE(run.fakes.boxes.calls[0].style, desktop::MessageBoxService::StyleStop);
            QCOMPARE(run.box()->Text(), typed); // the typed text stays
        }
        QVERIFY(run.fakes.end.statuses.empty());
    }

    // The file read while the program started is the main window's when the program goes
    // straight on (a commit made since comes with the window's watch); after a password it is
    // read afresh, and what was added meanwhile is there at once.
    void earlyFile_data() {
        QTest::addColumn<bool>("asks");
        QTest::newRow("straight on") << false;
        QTest::newRow("after a password") << true;
    }
    void earlyFile() {
        QFETCH(bool, asks);
        setSettings("'pw'", asks ? "1" : "0");
        auto early = data::loadMainWindowMeanwhile(data::schema::FileName);
        early.wait();
        file_->exec("INSERT INTO Addresses (Name) VALUES ('Added Meanwhile')");
        Run run(std::move(early));
        QVERIFY(!asks || run.logIn("pw"));
        const auto listed = [&run] {
            const windows::ListBox* list = run.main.list();
            for (int i = 0; i < list->ListCount(); ++i)
                if (list->List(i) == QLatin1String("Added Meanwhile"))
                    return true;
            return false;
        };
        QCOMPARE(listed(), asks);
        QTRY_VERIFY(listed());
    }

    // Tries without end; the stored password is read at every press, so one changed meanwhile
    // is the one that counts. Typed, it shows as stars, and Enter presses OK.
    void triesAgainUntilRight() {
        setSettings("'one'", "1");
        Run run;
        QTest::keyClicks(run.box(), "two");
        QTest::keyClick(run.box(), Qt::Key_O, Qt::AltModifier); // a chord types nothing
        QCOMPARE(run.box()->displayText(), QStringLiteral("***"));
        QTest::keyClick(run.box(), Qt::Key_Return);
        QTest::keyClick(run.box(), Qt::Key_Return);
        QCOMPARE(run.fakes.boxes.calls.size(), std::size_t{2});
        run.box()->SetText(QString());
        QTest::keyClicks(run.box(), QString(45, u't')); // the box takes 40
        QCOMPARE(run.box()->Text(), QString(40, u't'));
        run.box()->SetText("two");
        setSettings("'two'", "1");
        QTest::qWait(100); // another program's change is seen once the set's trust has run out
        QTest::keyClick(run.box(), Qt::Key_Return);
        QVERIFY(run.login.mainProgram() && !run.asks());
    }

    // Message boxes without a parent window show it. A window hands the display only the sizes
    // a frame, a taskbar and a switcher use on this screen, each as drawn, not scaled.
    void applicationIcon() {
        Run run;
        QCOMPARE(QApplication::windowIcon().cacheKey(), windows::programWindowIcon().cacheKey());
        const QIcon icon = windows::programWindowIcon();
        QCOMPARE(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
        for (const QSize& size : icon.availableSizes())
            QCOMPARE(icon.pixmap(size).toImage(), windows::programIcon().pixmap(size).toImage());
        QCOMPARE(windows::programIcon().availableSizes().size(), 6);
    }

    void windowIconSizes_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("1") << 1.0 << QList<int>{16, 32, 48};
        QTest::newRow("below 1") << 0.5 << QList<int>{16, 32, 48};
        QTest::newRow("1.25: never blown up") << 1.25 << QList<int>{32, 48, 64};
        QTest::newRow("2") << 2.0 << QList<int>{32, 64, 96};
        QTest::newRow("3") << 3.0 << QList<int>{48, 96, 128};
        QTest::newRow("4: the largest drawn, once") << 4.0 << QList<int>{64, 128};
    }
    void windowIconSizes() {
        QFETCH(qreal, ratio);
        QFETCH(QList<int>, sizes);
        QCOMPARE(windows::windowIconSizes(ratio), sizes);
    }

    // The program's style is the desktop's, except that a standard icon is made when it is first
    // drawn: a menu bar made at start-up reads no image, and what it draws later is the same.
    void standardIconsAreMadeWhenFirstDrawn() {
        int made = 0;
        std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
        const QIcon direct = fusion->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
        QToolButton button;
        button.setIcon(QIcon(new windows::DeferredIconEngine([&] {
            ++made;
            return direct;
        })));
        button.resize(40, 40);
        QCOMPARE(made, 0);
        const QIcon copy = button.icon();
        QCOMPARE(copy.pixmap(16).toImage(), direct.pixmap(16).toImage());
        QCOMPARE(button.icon().availableSizes(), direct.availableSizes());
        button.grab();
        QCOMPARE(made, 1); // made once, for every copy

        auto* style = new windows::DeferredIconStyle; // over the desktop's own
        const QIcon overflow = style->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
        const QIcon base =
            style->baseStyle()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
        QCOMPARE(overflow.pixmap(16, 2.0).toImage(), base.pixmap(16, 2.0).toImage());
        QVERIFY(!overflow.isNull());
        const QIcon late = style->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
        delete style;
        QVERIFY(late.isNull()); // made after its style is gone: nothing, and no crash
    }

    void cancelEndsTheProgram_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("close box") << 2;
    }
    void cancelEndsTheProgram() {
        QFETCH(int, how);
        setSettings("'abc'", "1");
        Run run;
        if (how == 0)
            QTest::mouseClick(run.login.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(run.box(), Qt::Key_Escape);
        else
            run.login.close();
        QCOMPARE(run.fakes.end.statuses, std::vector<int>{0});
        QVERIFY(!run.login.mainProgram());
    }

    // A load step that fails ends the program through the engine-error path, and no main
    // window is shown. The main window's own load step registers the icon before it fails.
    void failedLoadEndsTheProgram_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("iconsAdded");
        QTest::newRow("no file") << "" << 3024 << 0;
        QTest::newRow("no settings record") << "DELETE FROM Player" << 3021 << 0;
        QTest::newRow("a Null name") << "INSERT INTO Addresses (Name) VALUES ('Ann'), (NULL)" << 94 << 1;
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
        Run run;
        QCOMPARE(run.fakes.boxes.calls.size(), std::size_t{1});
        QVERIFY(run.fakes.boxes.calls[0].prompt.startsWith(QStringLiteral("Error %1: ").arg(number)));
        QCOMPARE(run.fakes.end.statuses, std::vector<int>{1});
        QCOMPARE(run.fakes.tray.added, iconsAdded);
        QCOMPARE(QFile::exists(file_->path()), !sql.isEmpty());
    }

    // Protection goes on with the password set in the change-password window (a verifier is
    // stored, never the text), or, closed without one, with the new file's empty password, so
    // nobody is locked out. The box takes 40 characters, blanks included. The next start asks
    // for exactly that password; removed, protection stays off and the verifier is kept.
    void passwords_data() {
        QTest::addColumn<QString>("typed"); // empty: the window is closed by its close box
        QTest::addColumn<QString>("opens");
        QTest::newRow("a password") << "Open Sesame" << "Open Sesame";
        QTest::newRow("none set") << "" << "";
        QTest::newRow("blanks") << "   " << "   ";
        QTest::newRow("a 41st character is not taken") << QString(41, u'q') << QString(40, u'q');
    }
    void passwords() {
        QFETCH(QString, typed);
        QFETCH(QString, opens);
        {
            Run run;
            QVERIFY(!run.asks());
            if (!typed.isEmpty())
                run.nextPassword(typed);
            run.main.menu("PasswordProtect");
            QCOMPARE(stored().startsWith("$argon2id$"), !typed.isEmpty());
            QVERIFY(typed.isEmpty() || !stored().contains(typed));
        }
        {
            Run run;
            QVERIFY(run.asks());
            QVERIFY(!run.logIn(opens + "x"));
            QVERIFY(run.logIn(opens));
            run.main.menu("RemovePassword");
        }
        Run run;
        QVERIFY(!run.asks());
        QVERIFY(stored().startsWith("$argon2id$")); // kept, even the empty one let in
    }

    // After a stored password the window is only hidden, and comes back empty; closed
    // otherwise it is discarded, with nothing stored. Esc does not close it. The flag and the
    // password, written through two connections, never undo each other.
    void changePasswordWindow() {
        {
            Run run;
            run.nextPassword("one");
            run.nextPassword("two");
            run.fakes.dialogs.then([](QDialog& d) {
                QTest::keyClick(&d, Qt::Key_Escape);
                QVERIFY(d.isVisible());
            });
            for (int i = 0; i < 3; ++i)
                run.main.menu("ChangePassword");
            QCOMPARE(run.fakes.dialogs.shown, std::vector<QString>(3, "Change"));
            run.main.menu("RemovePassword");
            run.main.menu("PasswordProtect");
        }
        Run run;
        QVERIFY(!run.logIn("one"));
        QVERIFY(run.logIn("two"));
    }
};

QTEST_MAIN(TestLogin)
#include "tst_frmLogin.moc"
