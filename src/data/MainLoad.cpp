#include "MainLoad.h"

#include "Database.h"
#include "ListOrder.h"
#include "Recordset.h"
#include "Schema.h"

#include <utility>

namespace quillbox::data {

std::vector<ListedContact> readListFrom(Recordset& contacts, std::size_t expected) {
    // Read in the order of the name index, which is nearly the list's, so that the sort has
    // little to do; equal names go back to the order of the records.
    std::vector<ListedContact> list;
    std::vector<std::int64_t> rowids;
    list.reserve(expected);
    rowids.reserve(expected);
    contacts.ReadToEnd(
        schema::Name, schema::Number,
        [&](QString name, std::int32_t number, std::int64_t rowid) {
            list.push_back({std::move(name), number});
            rowids.push_back(rowid);
        },
        true);
    std::vector<std::size_t> order = listOrder(
        list.size(), [&list](std::size_t i) -> const QString& { return list[i].name; },
        [&rowids](std::size_t i) { return rowids[i]; });
    rowids = {};
    // Put in order where it stands, one cycle of the permutation at a time: a second list would
    // double the memory at its peak.
    const std::size_t done = order.size();
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (order[start] == done)
            continue;
        ListedContact first = std::move(list[start]);
        for (std::size_t at = start;;) {
            const std::size_t from = std::exchange(order[at], done);
            if (from == start) {
                list[at] = std::move(first);
                break;
            }
            list[at] = std::move(list[from]);
            at = from;
        }
    }
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
