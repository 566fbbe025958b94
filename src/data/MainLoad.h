#pragma once

#include "FileWatch.h"
#include "NameList.h"

#include <QString>

#include <cstddef>
#include <future>
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
    // Where the file stood before the list was read: a commit made after it is read again.
    FileWatch::Mark before;
};

// The main window's load step over `file`: opens the settings and the contacts and, when there
// are contacts, reads the list from the first and leaves the contacts on the last record.
// EngineError when the file cannot serve. The fuzzer drives this very function.
MainWindowFile loadMainWindow(const QString& file);

// loadMainWindow(file) on a thread of its own, so that the window can be built meanwhile (the
// two are most of start-up and need nothing of each other); where no thread can be had, it runs
// when its result is asked for. get() gives the result or throws the load's EngineError. Nothing
// else may use the file's connections until then.
std::future<MainWindowFile> loadMainWindowMeanwhile(const QString& file);

} // namespace quillbox::data
