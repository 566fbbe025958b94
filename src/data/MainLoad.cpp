#include "MainLoad.h"

#include "Database.h"
#include "ListOrder.h"
#include "Recordset.h"
#include "Schema.h"

namespace quillbox::data {

std::vector<ListedContact> readListFrom(Recordset& contacts) {
    // Read in the order of the name index, which is nearly the list's, so that the sort has
    // little to do; equal names go back to the order of the records.
    std::vector<ListedContact> read;
    std::vector<std::int64_t> rowids;
    contacts.ReadToEnd(
        schema::Name, schema::Number,
        [&](QString name, std::int32_t number, std::int64_t rowid) {
            read.push_back({std::move(name), number});
            rowids.push_back(rowid);
        },
        true);
    const std::vector<std::size_t> order = listOrder(
        read.size(), [&read](std::size_t i) -> const QString& { return read[i].name; },
        [&rowids](std::size_t i) { return rowids[i]; });
    std::vector<ListedContact> list;
    list.reserve(read.size());
    for (const std::size_t i : order)
        list.push_back(std::move(read[i]));
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
