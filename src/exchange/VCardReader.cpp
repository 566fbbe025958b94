#include "VCardReader.h"

#include "AddressLines.h"
#include "FormatError.h"
#include "TextFile.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>

namespace quillbox::exchange {

namespace {

[[noreturn]] void fail(int line, const QString& why) {
    throw FormatError(QStringLiteral("line %1: %2").arg(line).arg(why));
}

enum class Version { V21, V30, V40 };

struct Param {
    QByteArray name; // upper case
    QByteArray value;
};

struct Property {
    QByteArray group;
    QByteArray name; // upper case
    std::vector<Param> params;
    QByteArray value;
    int line = 0;

    const Param* param(const char* wanted) const {
        for (const Param& p : params)
            if (p.name == wanted)
                return &p;
        return nullptr;
    }

    QByteArray paramValue(const char* wanted) const {
        const Param* p = param(wanted);
        return p ? p->value.trimmed().toUpper() : QByteArray();
    }

    QList<QByteArray> types() const {
        QList<QByteArray> out;
        for (const Param& p : params)
            if (p.name == "TYPE")
                for (const QByteArray& t : p.value.split(','))
                    if (const QByteArray v = t.trimmed().toLower(); !v.isEmpty())
                        out << v;
        return out;
    }
};

bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

bool isTransferEncoding(const QByteArray& upper) {
    return upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "B" || upper == "8BIT" ||
           upper == "7BIT";
}

Property parseProperty(const QByteArray& text, int line) {
    Property p;
    p.line = line;
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto token = [&] {
        const qsizetype start = i;
        while (i < n && isNameChar(text[i]))
            ++i;
        return text.mid(start, i - start);
    };
    QByteArray name = token();
    if (i < n && text[i] == '.') {
        p.group = name;
        ++i;
        name = token();
    }
    if (name.isEmpty())
        fail(line, QStringLiteral("this is not a vCard property line"));
    p.name = name.toUpper();

    while (i < n && text[i] == ';') {
        ++i;
        const QByteArray paramName = token().toUpper();
        if (i < n && text[i] == '=') {
            ++i;
            QByteArray value;
            for (;;) {
                if (i < n && text[i] == '"') {
                    const qsizetype close = text.indexOf('"', i + 1);
                    if (close < 0)
                        fail(line, QStringLiteral("a quoted parameter value is not closed"));
                    value += text.mid(i + 1, close - i - 1);
                    i = close + 1;
                } else {
                    const qsizetype start = i;
                    while (i < n && text[i] != ';' && text[i] != ':' && text[i] != ',')
                        ++i;
                    value += text.mid(start, i - start);
                }
                if (i < n && text[i] == ',') {
                    value += ',';
                    ++i;
                    continue;
                }
                break;
            }
            p.params.push_back({paramName, value});
        } else if (!paramName.isEmpty()) {
            // vCard 2.1 names a parameter's value alone: an encoding, or else a type.
            p.params.push_back(
                {isTransferEncoding(paramName) ? QByteArray("ENCODING") : QByteArray("TYPE"),
                 paramName});
        } else if (i < n && text[i] != ';' && text[i] != ':') {
            fail(line, QStringLiteral("a parameter's name holds a character names cannot"));
        }
    }
    if (i >= n || text[i] != ':')
        fail(line, QStringLiteral("there is no ':' between the property's name and its value"));
    p.value = text.mid(i + 1);
    return p;
}

// Whether a property's header (what comes before its value's ':') says its value is
// quoted-printable; a header that does not parse says nothing, and fails when its line is read.
bool saysQuotedPrintable(const QByteArray& header) {
    try {
        return parseProperty(header + ':', 0).paramValue("ENCODING") == "QUOTED-PRINTABLE";
    } catch (const FormatError&) {
        return false;
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decodeQuotedPrintable(const QByteArray& value, int line) {
    QByteArray out;
    out.reserve(value.size());
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (value[i] != '=') {
            out += value[i];
            continue;
        }
        if (i + 1 == n)
            break; // a soft line break with nothing after it
        const int high = i + 2 < n ? hexDigit(value[i + 1]) : -1;
        const int low = i + 2 < n ? hexDigit(value[i + 2]) : -1;
        if (high < 0 || low < 0)
            fail(line, QStringLiteral("'%1' is not a quoted-printable sequence ('=' and two "
                                      "hexadecimal digits)")
                           .arg(QString::fromLatin1(value.mid(i, 3))));
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

bool isUtf8Name(const QByteArray& upper) {
    return upper.isEmpty() || upper == "UTF-8" || upper == "UTF8";
}

// Character sets are looked up once each: a file names the same few on every line.
class Charsets {
public:
    bool known(const QByteArray& upper) {
        if (isUtf8Name(upper))
            return true;
        const auto it = known_.constFind(upper);
        if (it != known_.cend())
            return *it;
        const bool ok = QStringDecoder(upper.constData()).isValid();
        known_.insert(upper, ok);
        return ok;
    }

private:
    QHash<QByteArray, bool> known_;
};

// Checks what can be checked of a property the import may not read: its encodings.
void checkEncodings(const Property& p, Charsets& charsets) {
    const QByteArray encoding = p.paramValue("ENCODING");
    if (!encoding.isEmpty() && !isTransferEncoding(encoding))
        fail(p.line, QStringLiteral("the encoding '%1' is not one of vCard's")
                         .arg(QString::fromUtf8(encoding)));
    const QByteArray charset = p.paramValue("CHARSET");
    if (!charsets.known(charset))
        fail(p.line, QStringLiteral("the character set '%1' is unknown")
                         .arg(QString::fromUtf8(p.param("CHARSET")->value)));
    if (encoding == "QUOTED-PRINTABLE")
        decodeQuotedPrintable(p.value, p.line);
}

QString decodeText(const Property& p) {
    const QByteArray encoding = p.paramValue("ENCODING");
    QByteArray bytes;
    if (encoding == "QUOTED-PRINTABLE") {
        bytes = decodeQuotedPrintable(p.value, p.line);
    } else if (encoding == "BASE64" || encoding == "B") {
        const auto decoded = QByteArray::fromBase64Encoding(
            QByteArray(p.value).replace(' ', QByteArray()).replace('\t', QByteArray()),
            QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            fail(p.line, QStringLiteral("the value is not valid base64"));
        bytes = *decoded;
    } else {
        bytes = p.value;
    }
    const QByteArray charset = p.paramValue("CHARSET");
    if (isUtf8Name(charset)) {
        if (const qsizetype bad = firstInvalidUtf8(bytes.constData(), bytes.size()); bad >= 0)
            fail(p.line, QStringLiteral("the text is not valid UTF-8 (byte %1 of the value); "
                                        "a vCard in another character set must say so with "
                                        "CHARSET=")
                             .arg(bad + 1));
        return textFromUtf8(bytes);
    }
    QStringDecoder decoder(charset.constData());
    const QString text = decoder(bytes);
    if (decoder.hasError())
        fail(p.line, QStringLiteral("the text is not valid %1")
                         .arg(QString::fromUtf8(p.param("CHARSET")->value)));
    return text;
}

// Splits at `separator` where no backslash escapes it; the pieces keep their escapes.
QStringList splitUnescaped(const QString& text, QChar separator) {
    QStringList out;
    QString piece;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            piece += c;
            piece += text[++i];
        } else if (c == separator) {
            out << piece;
            piece.clear();
        } else {
            piece += c;
        }
    }
    out << piece;
    return out;
}

QString unescape(const QString& text, Version version) {
    if (!text.contains(QLatin1Char('\\')))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[i + 1];
        if (version == Version::V21) {
            // 2.1 escapes only the semicolon; any other backslash is itself.
            if (next == QLatin1Char(';'))
                ++i;
            out += next == QLatin1Char(';') ? next : c;
            continue;
        }
        ++i;
        // An unknown escape stands for the character, as some writers escape ':' too.
        out +=
            next == QLatin1Char('n') || next == QLatin1Char('N') ? QChar(QLatin1Char('\n')) : next;
    }
    return out;
}

// A text property's value.
QString textValue(const Property& p, Version version) {
    return storedLineBreaks(unescape(decodeText(p), version));
}

// A parameter value of vCard 4.0: RFC 6868's circumflex escapes, and the "\n" the examples of
// RFC 6350 use for a line break.
QString parameterText(const QByteArray& value) {
    const QString raw = textFromUtf8(value);
    QString out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        const QChar next = i + 1 < raw.size() ? raw[i + 1] : QChar();
        if (c == QLatin1Char('^') && next == QLatin1Char('n')) {
            out += QLatin1Char('\n');
            ++i;
        } else if (c == QLatin1Char('^') && (next == QLatin1Char('^'))) {
            out += QLatin1Char('^');
            ++i;
        } else if (c == QLatin1Char('^') && next == QLatin1Char('\'')) {
            out += QLatin1Char('"');
            ++i;
        } else if (c == QLatin1Char('\\') &&
                   (next == QLatin1Char('n') || next == QLatin1Char('N'))) {
            out += QLatin1Char('\n');
            ++i;
        } else {
            out += c;
        }
    }
    return storedLineBreaks(out);
}

int rank(const Property& p) {
    int r = 1000;
    if (const Param* pref = p.param("PREF")) {
        bool ok = false;
        const int n = pref->value.trimmed().toInt(&ok);
        r = ok ? n : 1;
    }
    if (p.types().contains("pref"))
        r = std::min(r, 1);
    return r;
}

template <typename T, typename PropertyOf>
const T* preferred(const std::vector<T>& candidates, PropertyOf property) {
    const T* best = nullptr;
    int bestRank = 0;
    for (const T& c : candidates) {
        const int r = rank(property(c));
        if (!best || r < bestRank) {
            best = &c;
            bestRank = r;
        }
    }
    return best;
}

const Property* preferred(const std::vector<const Property*>& candidates) {
    const auto found =
        preferred(candidates, [](const Property* p) -> const Property& { return *p; });
    return found ? *found : nullptr;
}

QList<QByteArray> typesBesidesPref(const Property& p) {
    QList<QByteArray> types = p.types();
    types.removeAll("pref");
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    return types;
}

QString telephone(const Property& p, Version version) {
    if (p.paramValue("VALUE") != "URI")
        return textValue(p, version);
    QString uri = decodeText(p).trimmed();
    if (uri.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        uri.remove(0, 4);
    const QStringList parts = uri.split(QLatin1Char(';'));
    QString number = parts.front();
    for (const QString& part : parts.mid(1))
        if (part.startsWith(QLatin1String("ext="), Qt::CaseInsensitive))
            number += QLatin1String(" ext. ") + part.mid(4);
    return number;
}

QString namePart(const QString& component, Version version) {
    QStringList values;
    const QStringList pieces = version == Version::V21
                                   ? QStringList{component}
                                   : splitUnescaped(component, QLatin1Char(','));
    for (const QString& piece : pieces)
        if (const QString v = storedLineBreaks(unescape(piece, version)).trimmed(); !v.isEmpty())
            values << v;
    return values.join(QLatin1Char(' '));
}

struct Card {
    int line = 0;
    bool v21 = false; // VERSION:2.1 came
    std::vector<Property> used; // VERSION and what a person is made of, in file order
};

struct Address {
    const Property* property;
    std::array<QString, 7> parts; // unescaped, line breaks as stored
};

Person makePerson(const Card& card) {
    // Without a VERSION, as 3.0.
    Version version = Version::V30;
    const auto versionProperty = std::find_if(
        card.used.begin(), card.used.end(), [](const Property& p) { return p.name == "VERSION"; });
    if (versionProperty != card.used.end()) {
        const QByteArray v = versionProperty->value.trimmed();
        if (v == "2.1")
            version = Version::V21;
        else if (v == "4.0")
            version = Version::V40;
        else if (v != "3.0")
            fail(versionProperty->line,
                 QStringLiteral("vCard version '%1' is not one this tool reads (2.1, 3.0, 4.0)")
                     .arg(QString::fromUtf8(v)));
    }

    std::vector<const Property*> n, fn, emails, phones, labels;
    std::vector<Address> addresses;
    for (const Property& p : card.used) {
        if (p.name == "N")
            n.push_back(&p);
        else if (p.name == "FN")
            fn.push_back(&p);
        else if (p.name == "EMAIL")
            emails.push_back(&p);
        else if (p.name == "TEL")
            phones.push_back(&p);
        else if (p.name == "LABEL")
            labels.push_back(&p);
        else if (p.name == "ADR") {
            Address a{&p, {}};
            const QStringList components = splitUnescaped(decodeText(p), QLatin1Char(';'));
            bool empty = true;
            for (int i = 0; i < 7 && i < components.size(); ++i) {
                a.parts[static_cast<size_t>(i)] =
                    storedLineBreaks(unescape(components[i], version));
                empty = empty && a.parts[static_cast<size_t>(i)].isEmpty();
            }
            if (!empty)
                addresses.push_back(std::move(a));
        }
    }

    Person person;
    person.where = QStringLiteral("card at line %1").arg(card.line);
    if (!n.empty()) {
        const QStringList components = splitUnescaped(decodeText(*n.front()), QLatin1Char(';'));
        const QString family = namePart(components.value(0), version);
        const QString given = namePart(components.value(1), version);
        if (!family.isEmpty() && !given.isEmpty())
            person.name = family + QLatin1String(", ") + given;
        else
            person.name = family + given;
    }
    if (person.name.isEmpty())
        if (const Property* p = preferred(fn))
            person.name = textValue(*p, version);
    if (const Property* p = preferred(emails))
        person.email = textValue(*p, version);
    if (const Property* p = preferred(phones))
        person.phone = telephone(*p, version);

    const Address* address =
        preferred(addresses, [](const Address& a) -> const Property& { return *a.property; });
    if (address) {
        const auto& parts = address->parts;
        const bool streetOnly = std::all_of(parts.begin(), parts.end(), [&](const QString& part) {
            return &part == &parts[2] || part.isEmpty();
        });
        if (streetOnly) {
            person.address = parts[2];
        } else {
            const Property& adr = *address->property;
            QString label;
            if (const Param* inside = adr.param("LABEL"))
                label = parameterText(inside->value);
            // The address's types once, not once for every LABEL.
            const QList<QByteArray> adrTypes = typesBesidesPref(adr);
            for (const Property* l : labels) {
                if (!label.isEmpty())
                    break;
                const bool sameGroup =
                    !adr.group.isEmpty() && adr.group.compare(l->group, Qt::CaseInsensitive) == 0;
                const bool sameTypes = adr.group.isEmpty() && l->group.isEmpty() &&
                                       adrTypes == typesBesidesPref(*l);
                if (sameGroup || sameTypes)
                    label = textValue(*l, version);
            }
            person.address = !label.isEmpty()
                                 ? label
                                 : addressLines({parts[0], parts[1], parts[2], parts[3], parts[4],
                                                 parts[5], parts[6]});
        }
    } else if (const Property* l = preferred(labels)) {
        person.address = textValue(*l, version);
    }
    return person;
}

bool isUsed(const QByteArray& name) {
    return name == "VERSION" || name == "N" || name == "FN" || name == "EMAIL" || name == "TEL" ||
           name == "ADR" || name == "LABEL";
}

// A line end is "\n", "\r\n" or "\r"; carriage returns in a row before a "\n", which some
// writers double, end one line.
class PhysicalLines {
public:
    explicit PhysicalLines(const QByteArray& text) : text_(text) {}

    bool next(QByteArray& line, int& number) {
        if (pos_ >= text_.size())
            return false;
        const qsizetype start = pos_;
        qsizetype end = start;
        while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n')
            ++end;
        line = text_.mid(start, end - start);
        pos_ = end;
        while (pos_ < text_.size() && text_[pos_] == '\r')
            ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '\n' && (pos_ == end || text_[pos_ - 1] == '\r'))
            ++pos_;
        number = ++line_;
        return true;
    }

    qsizetype position() const { return pos_; }

private:
    const QByteArray& text_;
    qsizetype pos_ = 0;
    int line_ = 0;
};

// One property's line, put together from its physical lines. Whether its header says
// quoted-printable is found once, the header scanned as its pieces come and never again from
// the start, so that no input costs more than a pass over it.
class LogicalLine {
public:
    bool started() const { return number_ > 0; }
    const QByteArray& text() const { return text_; }
    int number() const { return number_; }

    void start(const QByteArray& line, int number) {
        text_ = line;
        number_ = number;
        scanned_ = 0;
        quoted_ = false;
        quotedPrintable_.reset();
    }
    void unfold(const QByteArray& line) { text_.append(line.constData() + 1, line.size() - 1); }

    // Whether the line ends in a quoted-printable soft line break.
    bool softBreak() {
        if (!text_.endsWith('='))
            return false;
        for (; !quotedPrintable_ && scanned_ < text_.size(); ++scanned_) {
            if (text_[scanned_] == '"')
                quoted_ = !quoted_;
            else if (text_[scanned_] == ':' && !quoted_)
                quotedPrintable_ = saysQuotedPrintable(text_.left(scanned_));
        }
        return quotedPrintable_.value_or(false);
    }
    void joinSoftBreak(const QByteArray& line) {
        text_.chop(1);
        text_ += line;
    }

private:
    QByteArray text_;
    int number_ = 0;
    qsizetype scanned_ = 0; // of the header, while its ':' has not come
    bool quoted_ = false;
    std::optional<bool> quotedPrintable_;
};

} // namespace

std::vector<Person> readVCards(const QByteArray& file, const ProgressReport& progress) {
    const QByteArray text = textBytes(file);
    if (text.trimmed().isEmpty())
        throw FormatError(QStringLiteral("the file is empty: there are no cards in it"));

    std::vector<Person> people;
    Charsets charsets;
    std::optional<Card> card;

    const auto take = [&](const QByteArray& content, int line) {
        Property p = parseProperty(content, line);
        if (p.name == "BEGIN") {
            const QByteArray what = p.value.trimmed().toUpper();
            if (what != "VCARD")
                fail(line, QStringLiteral("'%1' is not a vCard").arg(QString::fromUtf8(content)));
            if (card)
                fail(card->line, QStringLiteral("the card that begins here has no END:VCARD"));
            card.emplace();
            card->line = line;
            return;
        }
        if (!card)
            fail(line, QStringLiteral("this line is outside any card (BEGIN:VCARD ... "
                                      "END:VCARD)"));
        if (p.name == "END") {
            if (p.value.trimmed().toUpper() != "VCARD")
                fail(line,
                     QStringLiteral("'%1' does not end a vCard").arg(QString::fromUtf8(content)));
            people.push_back(makePerson(*card));
            card.reset();
            return;
        }
        checkEncodings(p, charsets);
        if (p.name == "VERSION")
            card->v21 = p.value.trimmed() == "2.1";
        if (isUsed(p.name))
            card->used.push_back(std::move(p));
    };

    PhysicalLines lines(text);
    QByteArray line;
    LogicalLine current;
    int number = 0;
    while (lines.next(line, number)) {
        if (progress && (number & 0xfff) == 0)
            progress(lines.position(), text.size());
        // In vCard 2.1, a quoted-printable value whose line ends in '=' goes on on the next
        // line, whatever that holds; END:VCARD is kept from being swallowed by a stray last '='.
        if (card && card->v21 && current.softBreak() && line.trimmed().toUpper() != "END:VCARD") {
            current.joinSoftBreak(line);
            continue;
        }
        if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            if (!current.started())
                fail(number, QStringLiteral("a continued line follows no line"));
            current.unfold(line);
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        if (current.started())
            take(current.text(), current.number());
        current.start(line, number);
    }
    if (current.started())
        take(current.text(), current.number());
    if (card)
        fail(card->line, QStringLiteral("the card that begins here has no END:VCARD"));
    if (people.empty())
        throw FormatError(QStringLiteral("there are no cards in the file"));
    return people;
}

} // namespace quillbox::exchange
