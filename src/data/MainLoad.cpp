#include "MainLoad.h"

#include "Database.h"
#include "Recordset.h"
#include "Schema.h"

namespace quillbox::data {

std::vector<ListedContact> readListFrom(Recordset& contacts) {
    std::vector<ListedContact> list;
    contacts.ReadToEnd(schema::Name, schema::Number, [&list](QString name, std::int32_t number) {
        list.push_back({std::move(name), number});
    });
    return list;
}

MainWindowFile loadMainWindow(const QString& file) {
    MainWindowFile f;
    f.settingsDb = OpenDatabase(file);
    f.settings = f.settingsDb->OpenRecordset(schema::Player, dbOpenDynaset);
    f.contactsDb = OpenDatabase(file);
    f.contacts = f.contactsDb->OpenRecordset(schema::Addresses, dbOpenDynaset);
    if (f.contacts->RecordCount() == 0)
        return f;
    if (!f.contacts->Eof())
        f.contacts->MoveFirst();
    f.list = readListFrom(*f.contacts);
    f.contacts->MoveLast();
    return f;
}

} // namespace quillbox::data
