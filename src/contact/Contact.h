#pragma once

#include <QString>

#include <array>

namespace quillbox::contact {

// A contact's four texts, as the program stores them: the address's lines joined by "\r\n".
// A Null field of the file reads as empty.
struct Contact {
    QString name, email, phone, address;
    friend bool operator==(const Contact&, const Contact&) = default;
};

// One of a contact's texts: where the struct and the file keep it, how a message to the user
// names it, and the longest text the program's boxes take, in UTF-16 code units (a line break
// of the address is stored as "\r\n" and counts as two).
struct Field {
    QString Contact::*text;
    const char* column; // its field in the file's table of contacts
    const char* label;  // "the e-mail address of ..."
    int limit;
};

namespace field {
inline constexpr Field name{&Contact::name, "Name", "name", 49};
inline constexpr Field email{&Contact::email, "email", "e-mail address", 99};
inline constexpr Field phone{&Contact::phone, "Phone", "phone number", 69};
inline constexpr Field address{&Contact::address, "Address", "address", 99};
} // namespace field

// Every field, in the order the program shows them and messages list them.
inline constexpr std::array<Field, 4> fields{field::name, field::email, field::phone,
                                             field::address};

} // namespace quillbox::contact
