// Switching password protection on and off, and setting the password.

#include "windows/main/MainProgram.h"

#include "data/Settings.h"
#include "windows/change_password/Change.h"

namespace quillbox::windows {

namespace {
using Box = desktop::MessageBoxService;
} // namespace

// Loaded on first use, shown modally. Left by OK it is only hidden and kept; closed any other
// way it is discarded, and the next showing loads it afresh.
void MainProgram::showChange() {
    if (!change_) {
        auto change = std::make_unique<Change>(s_);
        change->Form_Load();
        change_ = std::move(change);
    }
    s_.dialogs.run(*change_);
    if (change_->result() != QDialog::Accepted)
        change_.reset();
}

void MainProgram::PasswordProtect_Click() {
    showChange();
    // However the window was left: a new file's password is empty text, so nobody is locked
    // out by switching protection on without setting one.
    data::setProtection(*settings_, true);
    s_.boxes.MsgBox(QStringLiteral("Program is now password protected!"), Box::StyleInformation,
                    QStringLiteral("Password On"));
}

void MainProgram::RemovePassword_Click() {
    data::setProtection(*settings_, false);
    s_.boxes.MsgBox(QStringLiteral("Password protection has been disabled!"),
                    Box::StyleInformation, QStringLiteral("Password Off"));
}

void MainProgram::ChangePassword_Click() { showChange(); }

} // namespace quillbox::windows
