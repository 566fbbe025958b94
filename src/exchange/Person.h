#pragma once

#include "contact/Contact.h"

#include <QString>

#include <functional>

namespace quillbox::exchange {

// One person read from a file to import, as the contact the program would store: the name
// chosen by the import's rules, the address as lines joined by "\r\n". Empty texts are empty,
// never Null.
struct Person : contact::Contact {
    QString where; // e.g. "card at line 12", "row 3 (line 4)"
};

// Told now and then how far a long piece of work has come: `done` of `total`.
using ProgressReport = std::function<void(qint64 done, qint64 total)>;

// Cuts `text` to at most `limit` code units, never between the halves of a surrogate pair nor
// between the "\r" and "\n" of a line break. True when anything was cut.
bool cutToLimit(QString& text, int limit);

// Every line break, "\r\n", "\r" or "\n", as the "\r\n" the program stores.
QString storedLineBreaks(const QString& text);

} // namespace quillbox::exchange
