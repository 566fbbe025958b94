#include "MainLoad.h"

#include "Database.h"
#include "ListOrder.h"
#include "Recordset.h"
#include "Schema.h"

#include <system_error>

namespace quillbox::data {

NameList readListFrom(Recordset& contacts) {
    // Read in the order of the name index, which is nearly the list's, so that the sort has
    // little to do. The number is the record number (the file is refused otherwise), so equal
    // names go back to the order of the records by it.
    NameList list;
    contacts.ReadToEnd(schema::Name, schema::Number, list, true);
    sortForList(list);
    return list;
}

MainWindowFile loadMainWindow(const QString& file) {
    MainWindowFile f;
    f.settingsDb = OpenDatabase(file);
    f.settings = f.settingsDb->OpenRecordset(schema::Player, dbOpenDynaset);
    f.contactsDb = OpenDatabase(file);
    f.contacts = f.contactsDb->OpenRecordset(schema::Addresses, dbOpenDynaset);
    f.before = FileWatch::markOf(*f.contactsDb);
    // Opening makes the first record current when there is one: what a count of the records
    // would tell here, without a walk over the whole table that a count is (a million
    // contacts' pages read, and held in memory through the file's map).
    if (f.contacts->Eof())
        return f;
    f.contacts->MoveFirst();
    f.list = readListFrom(*f.contacts);
    f.contacts->MoveLast();
    return f;
}

std::future<MainWindowFile> loadMainWindowMeanwhile(const QString& file) {
    try {
        return std::async(std::launch::async, loadMainWindow, file);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, loadMainWindow, file);
    }
}

} // namespace quillbox::data
