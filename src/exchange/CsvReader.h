#pragma once

#include "Person.h"

#include <QByteArray>

#include <vector>

namespace quillbox::exchange {

// The people of a table of contacts with a header row, as mail programs and spreadsheets
// export it: UTF-8 with or without a byte-order mark (or UTF-16 with one); comma, semicolon or
// tab between fields, whichever the header row holds most of (or Excel's "sep=" line says); RFC
// 4180 quoting, quoted fields holding separators, doubled quotes and line breaks, blanks before
// an opening and after a closing quote passed over. Rows with nothing in them are passed over;
// a row of more than maxCsvFields fields is a fault. The columns are known by their header
// (letters and digits only, case ignored, so that "E-mail 1 - Value" and "email1value" are one):
//   name     "Last Name, First Name" when the row has both, the one when it has one (trimmed
//            of blanks), otherwise the first full-name column ("Name", "Display Name", ...)
//            exactly as written, otherwise the organisation ("Company", "Organization Name")
//   e-mail   "Primary Email" first, then the unnumbered and number-1 columns, then 2, 3, ...;
//            the first with something in it
//   phone    the same, over the phone columns ("Phone", "Mobile Phone", "Phone 1 - Value", ...)
//   address  the first group of address columns ("Home ...", "Business ...", "Address 1 - ...",
//            or none) with something in it: its formatted address ("Address 1 - Formatted",
//            or an "... Address" column in a group without parts) exactly as written, or else
//            its parts on lines (see addressLines)
// A numbered column of a web mail program ("E-mail 1 - Value", "Address 1 - Formatted") may hold
// several values joined by " ::: ": the first is taken. Line breaks come as "\r\n". Each row
// costs time in proportion to its length, whatever the header holds.
// A file the reader cannot take (quotes out of place, text that is not UTF-8, no header that
// names a person, a row too wide) is a UserError naming the line.
std::vector<Person> readCsv(const QByteArray& file, const ProgressReport& progress = {});

inline constexpr int maxCsvFields = 10000;

} // namespace quillbox::exchange
