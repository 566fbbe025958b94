#include "windows/main/MainProgram.h"

#include "contact/Contact.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "windows/Controls.h"
#include "windows/FitText.h"
#include "windows/Placement.h"
#include "windows/ProgramIcon.h"
#include "windows/Twips.h"
#include "windows/common/ListBox.h"
#include "windows/change_password/Change.h"
#include "windows/common/TextBox.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

#include <utility>

namespace quillbox::windows {

namespace {

namespace field = contact::field;

// A horizontal or vertical rule from (x1, y1) to (x2, y2), drawn a few pixels wide around it.
QRect ruleRect(int x1, int y1, int x2, int y2) {
    if (x1 == x2)
        return {px(x1) - 1, px(y1), 3, px(y2) - px(y1)};
    return {px(x1), px(y1) - 1, px(x2) - px(x1), 3};
}

} // namespace

MainProgram::MainProgram(Services& services) : QMainWindow(nullptr), s_(services) {
    setObjectName(QStringLiteral("MainProgram"));
    setWindowTitle(QStringLiteral("Quillbox"));
    setWindowIcon(programWindowIcon());
    buildControls();
    buildMenus();
    resize(px(8040), px(4680) + menuBar()->sizeHint().height());
    txtName->setFocus();
}

MainProgram::~MainProgram() = default;

void MainProgram::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    const Control controls[] = {
        // Add New column.
        {&cmdNew, "cmdNew", "Add New", 720, 120, 975, 375, 10, "Adds a new entry to the Quillbox."},
        {&Label1, "Label1", "Last Name, First Name", 120, 600, 1695, 255, 15},
        {&txtName, "txtName", "", 120, 840, 2415, 375, 0, nullptr, field::name.limit},
        {&Label3, "Label3", "E-mail Address", 120, 1320, 1335, 255, 17},
        {&txtEmail, "txtEmail", "", 120, 1560, 2415, 375, 1, nullptr, field::email.limit},
        {&Label5, "Label5", "Phone Number", 120, 2040, 1575, 255, 19},
        {&txtPhone, "txtPhone", "", 120, 2280, 2415, 375, 2, nullptr, field::phone.limit},
        {&Label7, "Label7", "Address", 120, 2760, 1095, 255, 21},
        {&txtAddress, "txtAddress", "", 120, 3000, 2415, 1095, 3, nullptr, field::address.limit},
        {&cmdClear1, "cmdClear1", "Clear Fields", 720, 4200, 1212, 372, 14,
         "Empties the Add New boxes."},
        // Update column.
        {&cmdUpdate, "cmdUpdate", "Update", 3720, 120, 975, 375, 8,
         "Updates an existing Quillbox entry."},
        {&Label2, "Label2", "Last Name, First Name", 2760, 600, 1695, 255, 16},
        {&txtUpdateName, "txtUpdateName", "", 2760, 840, 3015, 375, 4, nullptr, field::name.limit},
        {&Label4, "Label4", "E-mail Address", 2760, 1320, 1095, 255, 18},
        {&cmdCopyEmail, "cmdCopyEmail", "copy", 3960, 1320, 495, 255, 33,
         "Copies the selected E-mail Address to the clipboard."},
        {&cmdSend, "cmdSend", "send", 4560, 1320, 495, 255, 24,
         "Opens the default e-mail application and inserts the selected e-mail into the "
         "\"To:\" line."},
        {&cmdAddToList, "cmdAddToList", "add", 5160, 1320, 495, 255, 30,
         "Adds the selected e-mail address to a send list."},
        {&txtUpdateEmail, "txtUpdateEmail", "", 2760, 1560, 3015, 375, 5, nullptr,
         field::email.limit},
        {&Label6, "Label6", "Phone Number", 2760, 2040, 1455, 255, 20},
        {&cmdCopyPhone, "cmdCopyPhone", "copy", 3960, 2040, 495, 255, 25,
         "Copies the selected Phone Number to the clipboard."},
        {&txtUpdatePhone, "txtUpdatePhone", "", 2760, 2280, 3015, 375, 6, nullptr,
         field::phone.limit},
        {&Label8, "Label8", "Address", 2760, 2760, 1215, 255, 22},
        {&cmdCopyAddress, "cmdCopyAddress", "copy", 3960, 2760, 495, 255, 26,
         "Copies the selected Address to the clipboard."},
        {&txtUpdateAddress, "txtUpdateAddress", "", 2760, 3000, 3015, 1095, 7, nullptr,
         field::address.limit},
        {&cmdClear, "cmdClear", "Clear Fields", 3600, 4200, 1332, 372, 9,
         "Empties the Update boxes."},
        // Contact list column.
        {&Label9, "Label9", "Click on an entry below to view or edit contact information.", 6120,
         120, 1575, 615, 23},
        {&lstRecords, "lstRecords", "", 5880, 840, 2055, 3180, 11},
        {&cmdDelete, "cmdDelete", "Delete", 5880, 4200, 1092, 375, 12,
         "Deletes the selected Quillbox entry."},
        {&Command1, "Command1", "Exit", 7080, 4200, 852, 375, 13, "Exits the program."},
        // E-mail panel.
        {&txtEmailList, "txtEmailList", "", 120, 4920, 3135, 735, 27, nullptr, 0, false},
        {&cmdSendList, "cmdSendList", "Send", 3720, 5160, 735, 375, 28, nullptr, 0, false},
        {&cmdClearEmailList, "cmdClearEmailList", "Clear", 4680, 5160, 735, 375, 31, nullptr, 0,
         false},
        {&cmdAddAll, "cmdAddAll", "Add Everybody", 5640, 5160, 1335, 375, 32, nullptr, 0, false},
        {&cmdDone, "cmdDone", "Done", 7200, 5160, 735, 375, 29, nullptr, 0, false},
        // Other controls.
        {&imgIcon, "imgIcon", "", 2760, 0, 615, 495, 34, nullptr, 0, false},
    };

    makeControls(client, controls);

    Label9->setWordWrap(true);
    fitFont(client);
    txtAddress->setScrollBars(false);
    txtUpdateAddress->setScrollBars(false);
    txtEmailList->setScrollBars(true);
    txtEmailList->SetLongLinesInPieces(true); // Add Everybody may put megabytes there
    imgIcon->setPixmap(programIcon().pixmap(32, 32));
    imgIcon->setFocusPolicy(Qt::NoFocus);
    lstRecords->SetBlankText(QStringLiteral("(no name)"));

    // Screen readers name a box after its buddy label; the small buttons' captions do not say
    // what they act on. Their tooltips serve as descriptions.
    for (auto [label, box] : {std::pair<QLabel*, QWidget*>{Label1, txtName},
                              {Label3, txtEmail},
                              {Label5, txtPhone},
                              {Label7, txtAddress},
                              {Label2, txtUpdateName},
                              {Label4, txtUpdateEmail},
                              {Label6, txtUpdatePhone},
                              {Label8, txtUpdateAddress}})
        label->setBuddy(box);
    cmdCopyEmail->setAccessibleName(QStringLiteral("Copy e-mail address"));
    cmdSend->setAccessibleName(QStringLiteral("Send e-mail"));
    cmdAddToList->setAccessibleName(QStringLiteral("Add e-mail address to send list"));
    cmdCopyPhone->setAccessibleName(QStringLiteral("Copy phone number"));
    cmdCopyAddress->setAccessibleName(QStringLiteral("Copy address"));
    lstRecords->setAccessibleName(QStringLiteral("Contacts"));
    lstRecords->setAccessibleDescription(Label9->text());
    txtEmailList->setAccessibleName(QStringLiteral("Send list"));
    imgIcon->setAccessibleName(QStringLiteral("Quillbox"));

    Line1 = new QFrame(client);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::VLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(ruleRect(2640, 0, 2640, 4560));
    Line2 = new QFrame(client);
    Line2->setObjectName(QStringLiteral("Line2"));
    Line2->setFrameShape(QFrame::HLine);
    Line2->setFrameShadow(QFrame::Sunken);
    Line2->setGeometry(ruleRect(120, 4800, 7920, 4800));
    Line2->hide();
}

void MainProgram::buildMenus() {
    // No item has an access key: the captions carry no "&".
    auto menu = [this](QMenu*& slot, const char* name, const char* caption, QWidget* parent) {
        slot = new QMenu(QString::fromUtf8(caption), parent);
        slot->setObjectName(QString::fromLatin1(name));
        if (auto* bar = qobject_cast<QMenuBar*>(parent))
            bar->addMenu(slot);
        else
            static_cast<QMenu*>(parent)->addMenu(slot);
    };
    auto item = [](QAction*& slot, const char* name, const char* caption, QMenu* parent) {
        slot = parent->addAction(QString::fromUtf8(caption));
        slot->setObjectName(QString::fromLatin1(name));
    };
    menu(File, "File", "File", menuBar());
    item(Hide, "Hide", "Hide", File);
    menu(Options, "Options", "Options", File);
    item(RemovePassword, "RemovePassword", "Remove Password Protection", Options);
    item(PasswordProtect, "PasswordProtect", "Password Protect", Options);
    item(ChangePassword, "ChangePassword", "Change Password", Options);
    item(EmailList, "EmailList", "Make E-mail List", Options);
    item(Exit, "Exit", "Exit", File);
    menu(Help, "Help", "Help", menuBar());
    menu(HowTo, "HowTo", "How to...", Help);
    item(Add, "Add", "Add a Person", HowTo);
    item(Update, "Update", "Update a Person's Information", HowTo);
    item(Delete, "Delete", "Delete a Person", HowTo);
    item(PasswordOff, "PasswordOff", "Remove Password Protection", HowTo);
    item(PasswordOn, "PasswordOn", "Password Protect", HowTo);
    item(SendEmail, "SendEmail", "Send an E-mail to One Address", HowTo);
    item(SendToSeveral, "SendToSeveral", "Send an E-mail to Multiple Addresses", HowTo);
    item(AddEverybody, "AddEverybody", "Add All E-mail Addresses", HowTo);
    item(HowChange, "HowChange", "Change Password", HowTo);
    item(AOLdefault, "AOLdefault", "Make AOL your Default E-mail Application", HowTo);
    item(About, "About", "About Quillbox", Help);

    connect(lstRecords, &ListBox::Click, this, guarded(this, &MainProgram::lstRecords_Click));
    connectHandler(cmdNew, &MainProgram::cmdNew_Click);
    connectHandler(cmdUpdate, &MainProgram::cmdUpdate_Click);
    connectHandler(cmdDelete, &MainProgram::cmdDelete_Click);
    connectHandler(cmdClear1, &MainProgram::cmdClear1_Click);
    connectHandler(cmdClear, &MainProgram::cmdClear_Click);
    connectHandler(cmdCopyEmail, &MainProgram::cmdCopyEmail_Click);
    connectHandler(cmdCopyPhone, &MainProgram::cmdCopyPhone_Click);
    connectHandler(cmdCopyAddress, &MainProgram::cmdCopyAddress_Click);
    connectHandler(cmdSend, &MainProgram::cmdSend_Click);
    connectHandler(cmdAddToList, &MainProgram::cmdAddToList_Click);
    connectHandler(cmdAddAll, &MainProgram::cmdAddAll_Click);
    connectHandler(cmdClearEmailList, &MainProgram::cmdClearEmailList_Click);
    connectHandler(cmdSendList, &MainProgram::cmdSendList_Click);
    connectHandler(cmdDone, &MainProgram::cmdDone_Click);
    connectHandler(EmailList, &MainProgram::EmailList_Click);
    connectHandler(PasswordProtect, &MainProgram::PasswordProtect_Click);
    connectHandler(RemovePassword, &MainProgram::RemovePassword_Click);
    connectHandler(ChangePassword, &MainProgram::ChangePassword_Click);
    connectHandler(Add, &MainProgram::Add_Click);
    connectHandler(Update, &MainProgram::Update_Click);
    connectHandler(Delete, &MainProgram::Delete_Click);
    connectHandler(PasswordOff, &MainProgram::PasswordOff_Click);
    connectHandler(PasswordOn, &MainProgram::PasswordOn_Click);
    connectHandler(SendEmail, &MainProgram::SendEmail_Click);
    connectHandler(SendToSeveral, &MainProgram::SendToSeveral_Click);
    connectHandler(AddEverybody, &MainProgram::AddEverybody_Click);
    connectHandler(HowChange, &MainProgram::HowChange_Click);
    connectHandler(AOLdefault, &MainProgram::AOLdefault_Click);
    connectHandler(About, &MainProgram::About_Click);
    connectHandler(Hide, &MainProgram::Hide_Click);
    connectHandler(Exit, &MainProgram::Exit_Click);
    connectHandler(Command1, &MainProgram::Command1_Click);
}

void MainProgram::connectHandler(QPushButton* button, void (MainProgram::*handler)()) {
    connect(button, &QPushButton::clicked, this, guarded(this, handler));
}

void MainProgram::connectHandler(QAction* item, void (MainProgram::*handler)()) {
    connect(item, &QAction::triggered, this, guarded(this, handler));
}

void MainProgram::showEvent(QShowEvent* e) {
    if (!shownBefore_) {
        shownBefore_ = true;
        centreOnScreen(this);
    }
    QMainWindow::showEvent(e);
}

} // namespace quillbox::windows
