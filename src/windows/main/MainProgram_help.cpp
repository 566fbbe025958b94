// The help messages and the About window.

#include "windows/main/MainProgram.h"

#include "windows/about/frmAbout.h"
#include "windows/main/HelpTexts.h"

#include <string_view>

namespace quillbox::windows {

namespace {

constexpr HelpText texts[] = {
    {"Add", "Adding a Person",
     "Fill in corresponding information under the 'Add New' button and click the 'Add New' "
     "button"},
    {"Update", "Updating Information",
     "In the list on the right of the screen, click the person for whose information you wish "
     "to update.  When the information appears under the 'Update' button, change the "
     "appropriate information and hit the 'Update' button."},
    {"Delete", "Deleting a Person",
     "In the list on the right, click the person you wish to delete, then hit the 'Delete' "
     "button."},
    {"PasswordOff", "Removing Password Protection",
     "Go to File > Options > Remove Password Protection"},
    {"PasswordOn", "Enable Password Protection", "Go to File > Options > Password Protect"},
    {"SendEmail", "E-mail Single",
     "In the list on the right of the screen, click the person you wish to e-mail.  When the "
     "information appears in the e-mail box, click the 'send' button"},
    {"SendToSeveral", "E-mail Multiple",
     "Go to 'File > Options > Make E-mail List'.  In the list on the right of the screen, click "
     "the person you wish to e-mail.  When the information appears in the e-mail box, click the "
     "'add' button.  Repeat this process until you've added your list of e-mail addresses.  "
     "Click 'Send' when you are ready to prepare the e-mail message."},
    {"AddEverybody", "Adding Everybody",
     "Go to 'File/Options/Make E-mail List' and click the 'Add Everybody' button at the "
     "bottom."},
    {"HowChange", "Changing Password",
     "Go to File > Options > Change Password and type a new password"},
    {"AOLdefault", "Use AOL",
     "Go to 'AOL Keyword: Preferences' and click 'Association', then click 'OK' to delegate AOL "
     "as your default Internet and E-mail application."},
};

void help(Services& s, std::string_view item) {
    for (const HelpText& h : texts)
        if (item == h.item) {
            s.boxes.MsgBox(QString::fromUtf8(h.text), desktop::MessageBoxService::StyleInformation,
                           QString::fromUtf8(h.title));
            return;
        }
}

} // namespace

std::span<const HelpText> helpTexts() {
    return texts;
}

void MainProgram::Add_Click() {
    help(s_, "Add");
}

void MainProgram::Update_Click() {
    help(s_, "Update");
}

void MainProgram::Delete_Click() {
    help(s_, "Delete");
}

void MainProgram::PasswordOff_Click() {
    help(s_, "PasswordOff");
}

void MainProgram::PasswordOn_Click() {
    help(s_, "PasswordOn");
}

void MainProgram::SendEmail_Click() {
    help(s_, "SendEmail");
}

void MainProgram::SendToSeveral_Click() {
    help(s_, "SendToSeveral");
}

void MainProgram::AddEverybody_Click() {
    help(s_, "AddEverybody");
}

void MainProgram::HowChange_Click() {
    help(s_, "HowChange");
}

void MainProgram::AOLdefault_Click() {
    help(s_, "AOLdefault");
}

void MainProgram::About_Click() {
    // Created for each showing and gone when it closes.
    frmAbout about(s_);
    s_.dialogs.run(about);
}

} // namespace quillbox::windows
