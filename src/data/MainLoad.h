#pragma once

#include "NameList.h"

#include <QString>

#include <cstddef>
#include <memory>

namespace quillbox::data {

class Database;
class Recordset;

// The Name and Number of every record from the current one to the end, in the list's order
// (listOrder, equal names in the order of the records): a Null name or a number beyond 32 bits
// is an EngineError, which stops the load. The record set ends past the last record.
NameList readListFrom(Recordset& contacts);

// What the main window's load step holds on to: the settings and the contacts, each through a
// connection of its own, and the list it read.
struct MainWindowFile {
    std::shared_ptr<Database> settingsDb;
    std::unique_ptr<Recordset> settings;
    std::shared_ptr<Database> contactsDb;
    std::unique_ptr<Recordset> contacts;
    NameList list;
};

// The main window's load step over `file`: opens the settings and the contacts and, when there
// are contacts, reads the list from the first and leaves the contacts on the last record.
// EngineError when the file cannot serve. The fuzzer drives this very function.
MainWindowFile loadMainWindow(const QString& file);

} // namespace quillbox::data
