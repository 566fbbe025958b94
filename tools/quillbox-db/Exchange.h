#pragma once

#include "exchange/Person.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

class QIODevice;

namespace quillbox::tools {

using exchange::Person;
using exchange::ProgressReport;

enum class FileFormat { VCard, Csv };

// What a file's name says it holds: ".vcf" and ".vcard" are vCards; ".csv", ".tsv", ".tab" and
// ".txt" tables. UserError for any other name.
FileFormat formatFromName(const QString& fileName);

// The people of a file's contents, read as `format`.
std::vector<Person> readPeople(const QByteArray& contents, FileFormat format,
                               const ProgressReport& progress = {});

struct ImportReport {
    std::int64_t taken = 0;
    QStringList cut;     // one line per text cut to fit
    QStringList skipped; // one line per person left out
    QStringList warnings; // one line per stored contact a user should look at
};

using Interrupted = std::function<bool()>;

// Adds the people to the database file as new contacts, in one transaction: all of them that
// qualify, or, on any failure, none. Texts longer than the program keeps are cut to fit. A
// person without a name, or whose name (after cutting) is stored already or came earlier in
// `people`, is skipped; names are equal only when they are the same characters in the same
// order. The file's own AUTOINCREMENT numbers the new contacts. Waits up to the data layer's
// busy timeout for another program writing the file.
ImportReport storePeople(const QString& databaseFile, const std::vector<Person>& people,
                         const Interrupted& interrupted = {}, const ProgressReport& progress = {});

// Every contact of the file in the order of the program's list: names compared as the list
// compares them (the user's collation, English in the C locale, case ignored), equal names by
// record number. A Null field reads as empty.
std::vector<Person> contactsInListOrder(const QString& databaseFile);

enum class ExportFormat { VCard30, VCard40, Csv };

// Writes the contacts to `out` in the format; UserError when the device fails.
void writeContacts(const std::vector<Person>& contacts, ExportFormat format, QIODevice& out,
                   const Interrupted& interrupted = {});

// Writes the contacts into a new file `target`, owner-only, made beside it and moved into
// place whole; an existing file or folder of that name is never touched.
void writeContactsToNewFile(const std::vector<Person>& contacts, ExportFormat format,
                            const QString& target, const Interrupted& interrupted = {});

} // namespace quillbox::tools
