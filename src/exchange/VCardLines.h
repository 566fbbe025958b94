#pragma once

#include "Person.h"
#include "errors/UserError.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <utility>
#include <vector>

// The one grammar of vCard's lines, which the reader (readVCards) and the card edit (editCard)
// are both built on: so that what the edit writes and keeps is read as it meant.
namespace quillbox::exchange::vcard {

enum class Version { V21, V30, V40 };

// A UserError "line N: why".
[[noreturn]] void fail(int line, const QString& why);

struct Param {
    QByteArray name;  // upper case; a bare 2.1 value is named ENCODING or TYPE
    QByteArray value; // quotes taken off
    QByteArray raw;   // as written, without the ';' before it
};

struct Property {
    QByteArray group;
    QByteArray name; // upper case
    std::vector<Param> params;
    QByteArray value; // as written, still encoded and escaped
    int line = 0;

    const Param* param(const char* wanted) const;    // the first of that name
    QByteArray paramValue(const char* wanted) const; // trimmed, upper case
    QList<QByteArray> types() const;                 // lower case, every TYPE value
};

// One content line's text (unfolded, soft line breaks joined) as a property; UserError
// naming `line` when it is not one.
Property parseProperty(const QByteArray& text, int line);

bool isTransferEncoding(const QByteArray& upper);

// One content line of a file: its text put together, and where it came from.
struct ContentLine {
    QByteArray text;
    int number = 0; // of its first physical line
    // Its physical lines exactly as written (only their ends become "\r\n"), blank lines inside
    // it included; kept only when ContentLines is asked to.
    QByteArray raw;
    bool softBreaks = false; // whether soft line breaks were in effect where it stood
};

// Whether quoted-printable soft line breaks (a '=' ending a line of a value whose ENCODING says
// quoted-printable) join the next physical line: only inside a card that has said
// VERSION:2.1. Fed every content line in order.
class SoftBreaks {
public:
    bool on() const { return inCard_ && v21_; }
    void after(const Property& p);

private:
    bool inCard_ = false, v21_ = false;
};

// The content lines of a file's text (see textBytes). A line end is "\n", "\r\n" or "\r";
// carriage returns in a row before a "\n", which some writers double, end one line. A line
// starting with a blank or a tab continues the one before (the blank goes); a blank line
// between content lines is passed over. No input costs more than a pass over it. `text` is
// read where it lies, so it must outlive the ContentLines.
class ContentLines {
public:
    ContentLines(const QByteArray& text, bool keepRaw, const ProgressReport& progress = {})
        : text_(text), keepRaw_(keepRaw), progress_(progress) {}

    // The next content line, soft line breaks joining where `softBreaks` says; false at the
    // end. A continued line that follows no line is a UserError.
    bool next(ContentLine& out, const SoftBreaks& softBreaks);

private:
    bool physical(QByteArray& line, int& number);
    bool softBreak(); // whether the line so far ends in a quoted-printable soft line break
    void start(const QByteArray& line, int number);

    const QByteArray& text_;
    bool keepRaw_;
    ProgressReport progress_;
    qsizetype pos_ = 0;
    int physicalNumber_ = 0;
    std::optional<std::pair<QByteArray, int>> ahead_; // a line read that starts the next one
    // The content line being put together. Whether its header says quoted-printable is found
    // once, the header scanned as its pieces come and never again from the start.
    ContentLine current_;
    QByteArray blanks_;     // blank lines passed over since, kept in raw if the line goes on
    qsizetype scanned_ = 0; // of the header, while its ':' has not come
    bool quoted_ = false;
    std::optional<bool> quotedPrintable_;
};

int hexDigit(char c);
QByteArray decodeQuotedPrintable(const QByteArray& value, int line);

// Character sets are looked up once each: a file names the same few on every line.
class Charsets {
public:
    bool known(const QByteArray& upper);

private:
    QHash<QByteArray, bool> known_;
};

// Checks what can be checked of a property the import may not read: its encodings.
void checkEncodings(const Property& p, Charsets& charsets);

// The value's text: its transfer encoding undone, in its character set (UTF-8 unless CHARSET
// says otherwise); still escaped. Text not valid in its character set is a UserError.
QString decodeText(const Property& p);

// Splits at `separator` where no backslash escapes it; the pieces keep their escapes.
QStringList splitUnescaped(const QString& text, QChar separator);

// A text's escapes undone: 2.1 escapes only ';'; 3.0 and 4.0 escape any character, "\n" a
// line break.
QString unescape(const QString& text, Version version);

// A text property's value, line breaks as stored.
QString textValue(const Property& p, Version version);

// A card's version from its VERSION's value; nothing for one the reader does not know.
std::optional<Version> versionOf(const QByteArray& value);

// A line's rank among lines of its name: the lowest PREF=n, with TYPE=pref (and 2.1's bare
// PREF) counting as 1; lower is preferred, and of equal ranks the first.
int rank(const Property& p);

// The preferred of `candidates`, or -1 when there are none.
template <typename T, typename PropertyOf>
qsizetype preferred(const std::vector<T>& candidates, PropertyOf property) {
    qsizetype best = -1;
    int bestRank = 0;
    for (qsizetype i = 0; i < qsizetype(candidates.size()); ++i) {
        const int r = rank(property(candidates[size_t(i)]));
        if (best < 0 || r < bestRank) {
            best = i;
            bestRank = r;
        }
    }
    return best;
}

// An ADR's seven parts, unescaped, line breaks as stored; all empty for an ADR the reader
// passes over.
std::array<QString, 7> addressParts(const Property& adr, Version version);

// Whether `label` tells the address of `adr`: the same group, or neither grouped and the same
// types besides pref.
bool labelGoesWith(const Property& adr, const Property& label);

} // namespace quillbox::exchange::vcard
