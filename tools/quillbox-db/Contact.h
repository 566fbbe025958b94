#pragma once

#include <QString>

#include <functional>

namespace quillbox::tools {

// The longest texts the program keeps, in UTF-16 code units; a line break of the address is
// stored as "\r\n" and counts as two.
namespace limits {
inline constexpr int name = 49;
inline constexpr int phone = 69;
inline constexpr int address = 99;
inline constexpr int email = 99;
} // namespace limits

// One person read from a file to import, in the form the program stores a contact: the name
// chosen by the import's rules, the address as lines joined by "\r\n". Empty texts are empty,
// never Null.
struct Person {
    QString where; // e.g. "card at line 12", "row 3 (line 4)"
    QString name, email, phone, address;
};

// Told now and then how far a long piece of work has come: `done` of `total`.
using ProgressReport = std::function<void(qint64 done, qint64 total)>;

// Cuts `text` to at most `limit` code units, never between the halves of a surrogate pair nor
// between the "\r" and "\n" of a line break. True when anything was cut.
bool cutToLimit(QString& text, int limit);

// Every line break, "\r\n", "\r" or "\n", as the "\r\n" the program stores.
QString storedLineBreaks(const QString& text);

} // namespace quillbox::tools
