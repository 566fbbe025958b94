#include "windows/login/frmLogin.h"

#include "data/Database.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/Settings.h"
#include "security/Password.h"
#include "windows/Controls.h"
#include "windows/FitText.h"
#include "windows/Placement.h"
#include "windows/ProgramIcon.h"
#include "windows/Twips.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

namespace quillbox::windows {

frmLogin::frmLogin(Services& services, std::future<data::MainWindowFile> early)
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      s_(services), early_(std::move(early)) {
    // Qt::Tool keeps the window off the taskbar; the fixed size and the missing minimise and
    // maximise buttons make it a plain dialog.
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("Authentication"));
    // Made first at every start: message boxes without a parent window take this icon too.
    QApplication::setWindowIcon(programWindowIcon());
}

// Made only when the password is asked for: with protection off the window is never seen, and
// start-up does not pay for laying it out.
void frmLogin::buildControls() {
    setWindowIcon(programWindowIcon());
    setFixedSize(px(3525), px(1290));
    const Control controls[] = {
        {&lblLabels, "lblLabels", "&Password:", 120, 240, 840, 270, -1},
        {&txtPassword, "txtPassword", "", 1050, 120, 2325, 345, 0, nullptr,
         data::schema::limits::password},
        {&cmdOK, "cmdOK", "OK", 360, 720, 1140, 390, 1, nullptr, 0, true, true},
        {&cmdCancel, "cmdCancel", "Cancel", 1920, 720, 1140, 390, 2},
    };
    makeControls(this, controls);
    lblLabels->setAlignment(Qt::AlignLeft | Qt::AlignVCenter); // level with the box
    lblLabels->setBuddy(txtPassword);                            // Alt+P
    txtPassword->SetPasswordChar(QLatin1Char('*'));
    fitFont(this); // "Password:" outgrows its label in some fonts
    connect(cmdOK, &QPushButton::clicked, this, guarded(this, &frmLogin::cmdOK_Click));
    connect(cmdCancel, &QPushButton::clicked, this, guarded(this, &frmLogin::cmdCancel_Click));
}

frmLogin::~frmLogin() = default;

void frmLogin::Form_Load() {
    db_ = data::OpenDatabase(data::schema::FileName);
    settings_ = db_->OpenRecordset(data::schema::Player, data::dbOpenDynaset);
    if (data::protectionOn(*settings_)) {
        buildControls();
        centreOnScreen(this);
        txtPassword->setFocus();
        show();
    } else {
        hide();
        showMainProgram(std::move(early_));
    }
}

void frmLogin::cmdOK_Click() {
    // Read anew at every press: the password may have been changed since the last one.
    const data::Value stored = settings_->Fields(data::schema::Senha);
    const QString typed = txtPassword->Text();
    if (security::passwordAccepts(stored, typed)) {
        // A password kept as plain text (set by hand, or by an older file) is replaced by a
        // verifier as soon as it has been shown to be the right one.
        if (!security::isPasswordVerifier(stored))
            data::storeVerifier(*settings_, security::makePasswordVerifier(typed));
        // Not kept for the rest of the run in a box nobody looks at again.
        txtPassword->SetText(QString());
        hide();
        early_ = {}; // read before the password was typed: long done, and perhaps out of date
        showMainProgram({});
    } else {
        s_.boxes.MsgBox(QStringLiteral("Access Denied!"), desktop::MessageBoxService::StyleStop,
                        QStringLiteral("Try Again"));
    }
}

void frmLogin::cmdCancel_Click() {
    hide();
    s_.end.end(0);
}

void frmLogin::reject() { s_.errors.guard([this] { cmdCancel_Click(); }); }

void frmLogin::closeEvent(QCloseEvent* e) {
    // The login window is the only one at this point: closing it ends the program.
    e->ignore();
    s_.end.end(0);
}

void frmLogin::showMainProgram(std::future<data::MainWindowFile> file) {
    if (!main_) {
        if (!file.valid())
            file = data::loadMainWindowMeanwhile(data::schema::FileName);
        auto main = std::make_unique<MainProgram>(s_);
        main->Form_Load(std::move(file));
        main_ = std::move(main);
    }
    main_->show();
}

} // namespace quillbox::windows
