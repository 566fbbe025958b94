#include "MainLoad.h"

#include "Database.h"
#include "ListOrder.h"
#include "Recordset.h"
#include "Schema.h"


namespace quillbox::data {

NameList readListFrom(Recordset& contacts, std::size_t expected) {
    // Read in the order of the name index, which is nearly the list's, so that the sort has
    // little to do. The number is the record number (the file is refused otherwise), so equal
    // names go back to the order of the records by it.
    NameList list;
    list.reserve(expected, expected * 16);
    contacts.ReadToEnd(schema::Name, schema::Number, list, true);
    list.reorder(listOrder(list));
    return list;
}

MainWindowFile loadMainWindow(const QString& file) {
    MainWindowFile f;
    f.settingsDb = OpenDatabase(file);
    f.settings = f.settingsDb->OpenRecordset(schema::Player, dbOpenDynaset);
    f.contactsDb = OpenDatabase(file);
    f.contacts = f.contactsDb->OpenRecordset(schema::Addresses, dbOpenDynaset);
    const int count = f.contacts->RecordCount();
    if (count == 0)
        return f;
    if (!f.contacts->Eof())
        f.contacts->MoveFirst();
    f.list = readListFrom(*f.contacts, static_cast<std::size_t>(count));
    f.contacts->MoveLast();
    return f;
}

} // namespace quillbox::data
