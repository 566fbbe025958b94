// The help messages and the About window.

#include "windows/main/MainProgram.h"

#include "windows/about/frmAbout.h"

namespace quillbox::windows {

namespace {

void help(Services& s, const char* title, const char* text) {
    s.boxes.MsgBox(QString::fromUtf8(text), platform::MessageBoxService::StyleInformation,
                   QString::fromUtf8(title));
}

} // namespace

void MainProgram::Add_Click() {
    help(s_, "Adding a Person",
         "Fill in corresponding information under the 'Add New' button and click the 'Add New' "
         "button");
}

void MainProgram::Update_Click() {
    help(s_, "Updating Information",
         "In the list on the right of the screen, click the person for whose information you "
         "wish to update.  When the information appears under the 'Update' button, change the "
         "appropriate information and hit the 'Update' button.");
}

void MainProgram::Delete_Click() {
    help(s_, "Deleting a Person",
         "In the list on the right, click the person you wish to delete, then hit the 'Delete' "
         "button.");
}

void MainProgram::PasswordOff_Click() {
    help(s_, "Removing Password Protection", "Go to File > Options > Remove Password Protection");
}

void MainProgram::PasswordOn_Click() {
    help(s_, "Enable Password Protection", "Go to File > Options > Password Protect");
}

void MainProgram::SendEmail_Click() {
    help(s_, "E-mail Single",
         "In the list on the right of the screen, click the person you wish to e-mail.  When the "
         "information appears in the e-mail box, click the 'send' button");
}

void MainProgram::SendToSeveral_Click() {
    help(s_, "E-mail Multiple",
         "Go to 'File > Options > Make E-mail List'.  In the list on the right of the screen, "
         "click the person you wish to e-mail.  When the information appears in the e-mail box, "
         "click the 'add' button.  Repeat this process until you've added your list of e-mail "
         "addresses.  Click 'Send' when you are ready to prepare the e-mail message.");
}

void MainProgram::AddEverybody_Click() {
    help(s_, "Adding Everybody",
         "Go to 'File/Options/Make E-mail List' and click the 'Add Everybody' button at the "
         "bottom.");
}

void MainProgram::HowChange_Click() {
    help(s_, "Changing Password", "Go to File > Options > Change Password and type a new password");
}

void MainProgram::AOLdefault_Click() {
    help(s_, "Use AOL",
         "Go to 'AOL Keyword: Preferences' and click 'Association', then click 'OK' to delegate "
         "AOL as your default Internet and E-mail application.");
}

void MainProgram::About_Click() {
    // Created for each showing and gone when it closes.
    frmAbout about(s_);
    s_.dialogs.run(about);
}

} // namespace quillbox::windows
