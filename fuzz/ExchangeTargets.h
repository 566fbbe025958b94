#pragma once

#include <cstddef>
#include <cstdint>

namespace quillbox::fuzz {

// The fuzz targets of the card and table readers. Each returns when its input is read or
// refused with a UserError; anything else (another exception, a crash, a sanitizer report)
// is a fault, and so is a round trip that does not give back what went in (it aborts).

// The bytes as a vCard file.
void readVCardInput(const std::uint8_t* data, std::size_t size);

// The bytes as a CSV file.
void readCsvInput(const std::uint8_t* data, std::size_t size);

// The first byte picks vCard 3.0, vCard 4.0 or CSV; the rest, split at NUL bytes, are a
// contact's name, e-mail, phone and address (UTF-8). The contact and a neighbour are exported
// and imported again: each field must come back as it was, line breaks as CR LF.
void roundTrip(const std::uint8_t* data, std::size_t size);

// The sync's edit of a server's card: the first byte's low four bits pick the fields edited
// (name, e-mail, phone, address), its high four bits those cleared; then the value (UTF-8), a
// NUL and the card. A card returned must read with the edit's texts and the card's others.
void editCardInput(const std::uint8_t* data, std::size_t size);

} // namespace quillbox::fuzz
