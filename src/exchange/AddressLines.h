#pragma once

#include <QString>

namespace quillbox::exchange {

// A postal address in parts, as vCard's ADR and the address columns of exported tables give
// it. Any part may hold several lines.
struct AddressParts {
    QString poBox, extended, street, town, region, postcode, country;
};

// The address as the program's address box shows it, lines joined by "\r\n":
//   the extended address (suite, flat, building, company)
//   the street
//   the post-office box
//   "postcode town"
//   the region, unless it only repeats the town
//   the country
// Each line is trimmed of blanks; empty lines are left out.
QString addressLines(const AddressParts& parts);

} // namespace quillbox::exchange
