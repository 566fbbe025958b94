// The load step, the contact list, and showing, adding, updating, deleting, clearing and
// copying contacts.

#include "windows/main/MainProgram.h"

#include "data/Database.h"
#include "data/MainLoad.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "windows/ProgramIcon.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"

namespace quillbox::windows {

namespace {

using namespace data::schema;

using Box = desktop::MessageBoxService;

// "Number=" and the number with its first character kept for the sign: a blank, or "-".
QString numberCriterion(qint32 number) {
    return Number + QLatin1Char('=') +
           (number < 0 ? QString::number(number) : QLatin1Char(' ') + QString::number(number));
}

// A field as a box shows it: a Null, which only a file filled by other means holds, is empty.
QString boxText(const data::Value& v) {
    return v.isNull() ? QString() : v.toText();
}

} // namespace

void MainProgram::Form_Load() {
    Form_Load(std::async(std::launch::deferred, data::loadMainWindow, data::schema::FileName));
}

void MainProgram::Form_Load(std::future<data::MainWindowFile> pending) {
    // The icon comes first: it is there even when the database work below fails.
    s_.tray.add(programIcon(), desktop::TrayTip,
                [this](int message) { s_.errors.guard([&] { Form_MouseMove(message); }); });
    ListClicks = 1;
    data::MainWindowFile file = pending.get();
    settingsDb_ = std::move(file.settingsDb);
    settings_ = std::move(file.settings);
    contactsDb_ = std::move(file.contactsDb);
    contacts_ = std::move(file.contacts);
    // The file was read while the window was built: a commit made since is read once the fill
    // is done.
    startWatching(file.before);
    // One entry per contact: text "Name", item data "Number". The list sorts, so an entry's
    // position says nothing; the record number in the item data is the only link to the
    // contact. The load step hands the entries over in the list's order, the same list as
    // adding them one by one.
    if (!file.list.empty())
        lstRecords->Fill(std::move(file.list));
}

// Makes the selected entry's contact the current record. False when no entry is selected or the
// contact is gone from the file: a contact the user cannot see as chosen is never touched.
bool MainProgram::findSelectedContact() {
    const int index = lstRecords->ListIndex();
    if (index < 0)
        return false;
    contacts_->FindFirst(numberCriterion(lstRecords->ItemData(index)));
    if (contacts_->NoMatch()) {
        forgetStaleEntry(index);
        return false;
    }
    return true;
}

// The entry's contact was removed by another program or copy since the list was filled: the
// entry goes, its details leave the Update boxes (never to be shown or stored as another
// contact's), and nobody counts as chosen.
void MainProgram::forgetStaleEntry(int index) {
    txtUpdateName->SetText(QString());
    txtUpdateEmail->SetText(QString());
    txtUpdatePhone->SetText(QString());
    txtUpdateAddress->SetText(QString());
    lstRecords->RemoveItem(index);
    NoPersonChosen = 1;
}

void MainProgram::lstRecords_Click() {
    ListClicks += 1;
    const int index = lstRecords->ListIndex();
    if (index < 0)
        return;
    contacts_->FindFirst(numberCriterion(lstRecords->ItemData(index)));
    if (contacts_->NoMatch()) {
        forgetStaleEntry(index);
        return;
    }
    showContact(readShown(*contacts_, lstRecords->ItemData(index)));
    NoPersonChosen = 0;
}

MainProgram::Shown MainProgram::readShown(data::Recordset& contacts, qint32 number) {
    return {number, boxText(contacts.Fields(Name)), boxText(contacts.Fields(Email)),
            boxText(contacts.Fields(Phone)), boxText(contacts.Fields(Address))};
}

void MainProgram::showContact(Shown contact) {
    txtUpdateName->SetText(contact.name);
    txtUpdateEmail->SetText(contact.email);
    txtUpdatePhone->SetText(contact.phone);
    txtUpdateAddress->SetText(contact.address);
    shown_ = std::move(contact);
}

bool MainProgram::boxesHold(const Shown& contact) const {
    return txtUpdateName->Text() == contact.name && txtUpdateEmail->Text() == contact.email &&
           txtUpdatePhone->Text() == contact.phone && txtUpdateAddress->Text() == contact.address;
}

void MainProgram::cmdNew_Click() {
    const QString name = txtName->Text();
    if (name.isEmpty()) {
        s_.boxes.MsgBox(QStringLiteral("You must enter a Name!"), Box::StyleExclamation,
                        QStringLiteral("Oops!"));
        return;
    }
    // The first record holding exactly this name, found through the file's index rather than a
    // walk; on a match the set stands on it, as a walk would leave it.
    contacts_->FindFirst(Name, name);
    if (!contacts_->NoMatch()) {
        s_.boxes.MsgBox(QStringLiteral("This name is already in the Quillbox!"),
                        Box::StyleExclamation, QStringLiteral("Notice"));
        return;
    }
    // Without a match a walk ends past the last record.
    contacts_->MoveLast();
    if (!contacts_->Eof())
        contacts_->MoveNext();

    contacts_->AddNew();
    contacts_->Collect(Name, name);
    lstRecords->AddItem(contacts_->Fields(Name).toText());
    lstRecords->SetItemData(lstRecords->NewIndex(), contacts_->Fields(Number).toInt32());
    contacts_->Collect(Address, txtAddress->Text());
    contacts_->Collect(Email, txtEmail->Text());
    contacts_->Collect(Phone, txtPhone->Text());
    NoPersonChosen = 1;
    contacts_->Update();
    txtName->SetText(QString());
    txtAddress->SetText(QString());
    txtPhone->SetText(QString());
    txtEmail->SetText(QString());
}

void MainProgram::cmdUpdate_Click() {
    if (txtUpdateName->Text().isEmpty() && txtUpdateEmail->Text().isEmpty() &&
        txtUpdatePhone->Text().isEmpty() && txtUpdateAddress->Text().isEmpty()) {
        s_.boxes.MsgBox(QStringLiteral("Please choose a person!"), Box::StyleExclamation,
                        QStringLiteral("Oops!"));
        return;
    }
    if (NoPersonChosen == 1 || !findSelectedContact()) {
        s_.boxes.MsgBox(QStringLiteral("You must choose a person to update!"), Box::StyleStop,
                        QStringLiteral("Oops!"));
        return;
    }
    // The chosen entry: findSelectedContact has just found its contact.
    const int index = lstRecords->ListIndex();
    const qint32 number = lstRecords->ItemData(index);
    contacts_->Edit();
    contacts_->Collect(Phone, txtUpdatePhone->Text());
    contacts_->Collect(Email, txtUpdateEmail->Text());
    contacts_->Collect(Name, txtUpdateName->Text());
    contacts_->Collect(Address, txtUpdateAddress->Text());
    contacts_->Update();
    txtUpdateName->SetText(QString());
    txtUpdateEmail->SetText(QString());
    txtUpdatePhone->SetText(QString());
    txtUpdateAddress->SetText(QString());
    // Only this contact's entry moves, to where its stored name sorts among the others in
    // record order: the list a full read would give, without reading every name again. Nothing
    // stays selected.
    const QString name = contacts_->Fields(Name).toText();
    lstRecords->RemoveItem(index);
    lstRecords->AddItem(name, number);
    contacts_->MoveLast();
}

void MainProgram::cmdDelete_Click() {
    if (ListClicks == 1) {
        s_.boxes.MsgBox(QStringLiteral("You must click a person to delete!"), Box::StyleStop,
                        QStringLiteral("Delete Who?"));
        return;
    }
    if (NoPersonChosen == 1 || lstRecords->ListIndex() < 0) {
        s_.boxes.MsgBox(QStringLiteral("Please click a person to delete!"), Box::StyleStop,
                        QStringLiteral("Delete Who?"));
        return;
    }
    if (s_.boxes.MsgBox(QStringLiteral("Do you really want to delete the selected entry?"),
                        Box::StyleYesNoQuestion, QStringLiteral("Delete Entry?")) == Box::AnswerNo)
        return;
    // Only the selected entry's contact is deleted. One already gone from the file needs no
    // deleting; its entry goes all the same.
    const int index = lstRecords->ListIndex();
    if (findSelectedContact()) {
        contacts_->Delete();
        lstRecords->RemoveItem(index);
    }
    txtUpdateName->SetText(QString());
    txtUpdateEmail->SetText(QString());
    txtUpdateAddress->SetText(QString());
    txtUpdatePhone->SetText(QString());
    NoPersonChosen = 1;
}

void MainProgram::cmdClear1_Click() {
    txtEmail->SetText(QString());
    txtAddress->SetText(QString());
    txtPhone->SetText(QString());
    txtName->SetText(QString());
    contacts_->MoveLast();
}

void MainProgram::cmdClear_Click() {
    txtUpdateName->SetText(QString());
    txtUpdateEmail->SetText(QString());
    txtUpdatePhone->SetText(QString());
    txtUpdateAddress->SetText(QString());
    contacts_->MoveLast();
}

void MainProgram::copyBox(QWidget* box, const QString& text) {
    box->setFocus();
    s_.clipboard.setText(text);
}

void MainProgram::cmdCopyEmail_Click() {
    txtUpdateEmail->selectAll();
    copyBox(txtUpdateEmail, txtUpdateEmail->Text());
}

void MainProgram::cmdCopyPhone_Click() {
    txtUpdatePhone->selectAll();
    copyBox(txtUpdatePhone, txtUpdatePhone->Text());
}

void MainProgram::cmdCopyAddress_Click() {
    txtUpdateAddress->selectAll();
    // Stored with "\r\n"; the clipboard takes "\n" and gives each platform its own form.
    copyBox(txtUpdateAddress,
            txtUpdateAddress->Text().replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

} // namespace quillbox::windows
