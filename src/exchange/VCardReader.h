#pragma once

#include "Person.h"

#include <QByteArray>

#include <vector>

namespace quillbox::exchange {

// The people of a vCard file (versions 2.1, 3.0 and 4.0, any number of cards), in file order,
// each in the form the program stores (see Contact.h). A card gives:
//   name     "Family, Given" from N when it has both parts, the one part when it has one (the
//            parts trimmed of blanks, several values of a part joined by a blank), otherwise
//            FN exactly as written; empty when there is neither
//   e-mail   the preferred EMAIL, else the first
//   phone    the preferred TEL, else the first (a tel: URI as its number, " ext. " and the
//            extension)
//   address  the preferred ADR, else the first, else the preferred or first LABEL. An ADR with
//            nothing but the street is that street exactly as written; a fuller one is the
//            LABEL that goes with it (same group, LABEL parameter, or the same types), or else
//            its parts on lines (see addressLines)
// "Preferred" is the lowest PREF=n, with TYPE=pref (and 2.1's bare PREF) counting as 1.
// Line breaks come as "\r\n".
//
// A file that breaks the format anywhere, in properties the import does not use too (a card
// without END:VCARD, a bad quoted-printable sequence, an unknown character set or encoding, a
// line outside any card), is a UserError naming the line; so is text that is not valid in its
// character set (UTF-8 unless CHARSET says otherwise) where the import reads it.
std::vector<Person> readVCards(const QByteArray& file, const ProgressReport& progress = {});

} // namespace quillbox::exchange
