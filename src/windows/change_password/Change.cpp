#include "windows/change_password/Change.h"

#include "data/Database.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/Settings.h"
#include "windows/Controls.h"
#include "windows/FitText.h"
#include "security/Password.h"
#include "windows/Placement.h"
#include "windows/ProgramIcon.h"
#include "windows/Twips.h"
#include "windows/common/TextBox.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace quillbox::windows {

Change::Change(Services& services)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      s_(services) {
    setObjectName(QStringLiteral("Change"));
    setWindowTitle(QStringLiteral("Change Password"));
    setWindowIcon(programWindowIcon());
    setFixedSize(px(3540), px(1335));

    const Control controls[] = {
        {&Label1, "Label1", "New Password:", 240, 240, 1215, 255, -1},
        {&txtChangePassword, "txtChangePassword", "", 1440, 120, 1815, 375, 0, nullptr,
         data::schema::limits::password},
        {&cmdOK1, "cmdOK1", "OK", 1320, 720, 855, 375, 1, nullptr, 0, true, true},
    };
    makeControls(this, controls);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter); // level with the box
    Label1->setBuddy(txtChangePassword); // names the box for screen readers
    txtChangePassword->SetPasswordChar(QLatin1Char('*'));
    fitFont(this); // the box starts where "New Password:" ends
    txtChangePassword->setFocus();
    connect(cmdOK1, &QPushButton::clicked, this, guarded(this, &Change::cmdOK1_Click));
    centreOnScreen(this);
}

Change::~Change() = default;

void Change::Form_Load() {
    db_ = data::OpenDatabase(data::schema::FileName);
    settings_ = db_->OpenRecordset(data::schema::Player, data::dbOpenDynaset);
}

void Change::cmdOK1_Click() {
    const QString password = txtChangePassword->Text();
    if (password.isEmpty()) {
        s_.boxes.MsgBox(QStringLiteral("You must have a password!"),
                        desktop::MessageBoxService::StyleStop, QStringLiteral("Good Grief!"));
        return;
    }
    // The file keeps a verifier of the password, never the password itself.
    data::storeVerifier(*settings_, security::makePasswordVerifier(password));
    s_.boxes.MsgBox(QStringLiteral("New password successfully stored!"),
                    desktop::MessageBoxService::StyleInformation,
                    QStringLiteral("Password Changed"));
    accept(); // hidden, not discarded
    txtChangePassword->SetText(QString());
}

void Change::keyPressEvent(QKeyEvent* e) {
    // There is no Cancel button, so Esc closes nothing.
    if (e->key() == Qt::Key_Escape)
        e->ignore();
    else
        QDialog::keyPressEvent(e);
}

} // namespace quillbox::windows
