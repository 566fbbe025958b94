// The load step and the contact list.

#include "windows/main/MainProgram.h"

#include "data/Database.h"
#include "data/Recordset.h"
#include "windows/ProgramIcon.h"
#include "windows/common/ListBox.h"

namespace quillbox::windows {

namespace {
const QString Name = QStringLiteral("Name");
const QString Number = QStringLiteral("Number");
} // namespace

void MainProgram::Form_Load() {
    // The icon comes first: it is there even when the database work below fails.
    s_.tray.add(programIcon(), tray::TrayTip,
                [this](int message) { s_.errors.guard([&] { Form_MouseMove(message); }); });
    ListClicks = 1;
    settingsDb_ = data::OpenDatabase(QStringLiteral("senha.scc"));
    settings_ = settingsDb_->OpenRecordset(QStringLiteral("Player"), data::dbOpenDynaset);
    contactsDb_ = data::OpenDatabase(QStringLiteral("senha.scc"));
    contacts_ = contactsDb_->OpenRecordset(QStringLiteral("Addresses"), data::dbOpenDynaset);
    if (contacts_->RecordCount() == 0)
        return;
    if (!contacts_->Eof())
        contacts_->MoveFirst();
    fillList();
    contacts_->MoveLast();
}

// One entry per contact from the current record to the end: text "Name", item data "Number".
// The list sorts, so an entry's position says nothing; the record number in the item data is
// the only link to the contact. The entries are sorted once, in bulk, which gives the same list
// as adding them one by one.
void MainProgram::fillList() {
    std::vector<ListBox::Entry> entries;
    while (!contacts_->Eof()) {
        QString name = contacts_->Fields(Name).toText();
        entries.push_back({std::move(name), contacts_->Fields(Number).toInt32()});
        contacts_->MoveNext();
    }
    lstRecords->Fill(std::move(entries));
}

} // namespace quillbox::windows
