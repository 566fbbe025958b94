#include "VCardReader.h"

#include "AddressLines.h"
#include "TextFile.h"
#include "VCardLines.h"
#include "errors/UserError.h"
#include "text/Utf8.h"

#include <QStringList>

#include <algorithm>
#include <optional>

namespace quillbox::exchange {

using namespace vcard;

namespace {

// A parameter value of vCard 4.0: RFC 6868's circumflex escapes, and the "\n" the examples of
// RFC 6350 use for a line break.
QString parameterText(const QByteArray& value) {
    const QString raw = text::fromUtf8(value);
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

const Property* preferred(const std::vector<const Property*>& candidates) {
    const qsizetype i =
        vcard::preferred(candidates, [](const Property* p) -> const Property& { return *p; });
    return i < 0 ? nullptr : candidates[size_t(i)];
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
    std::vector<Property> used; // VERSION and what a person is made of, in file order
};

struct Address {
    const Property* property;
    std::array<QString, 7> parts;
};

// The card's version; without a VERSION, as 3.0.
Version versionOfCard(const Card& card) {
    const auto versionProperty = std::find_if(
        card.used.begin(), card.used.end(), [](const Property& p) { return p.name == "VERSION"; });
    if (versionProperty == card.used.end())
        return Version::V30;
    const std::optional<Version> v = versionOf(versionProperty->value);
    if (!v)
        fail(versionProperty->line,
             QStringLiteral("vCard version '%1' is not one this tool reads (2.1, 3.0, 4.0)")
                 .arg(QString::fromUtf8(versionProperty->value.trimmed())));
    return *v;
}

// A card's properties by what they give a person, in file order.
struct Sorted {
    std::vector<const Property*> n, fn, emails, phones, labels;
    std::vector<Address> addresses; // those with any part
};

Sorted sortProperties(const Card& card, Version version) {
    Sorted s;
    for (const Property& p : card.used) {
        if (p.name == "N")
            s.n.push_back(&p);
        else if (p.name == "FN")
            s.fn.push_back(&p);
        else if (p.name == "EMAIL")
            s.emails.push_back(&p);
        else if (p.name == "TEL")
            s.phones.push_back(&p);
        else if (p.name == "LABEL")
            s.labels.push_back(&p);
        else if (p.name == "ADR") {
            Address a{&p, addressParts(p, version)};
            if (std::any_of(a.parts.begin(), a.parts.end(),
                            [](const QString& part) { return !part.isEmpty(); }))
                s.addresses.push_back(std::move(a));
        }
    }
    return s;
}

// "Family, Given" from the first N, else the preferred FN.
QString nameOf(const Sorted& s, Version version) {
    QString name;
    if (!s.n.empty()) {
        const QStringList components = splitUnescaped(decodeText(*s.n.front()), QLatin1Char(';'));
        const QString family = namePart(components.value(0), version);
        const QString given = namePart(components.value(1), version);
        if (!family.isEmpty() && !given.isEmpty())
            name = family + QLatin1String(", ") + given;
        else
            name = family + given;
    }
    if (name.isEmpty())
        if (const Property* p = preferred(s.fn))
            name = textValue(*p, version);
    return name;
}

// The preferred address: its street alone where that is all it has, else its label (in the
// ADR or a LABEL that goes with it) or its parts as lines; without an ADR, the preferred LABEL.
QString addressOf(const Sorted& s, Version version) {
    const qsizetype address = vcard::preferred(
        s.addresses, [](const Address& a) -> const Property& { return *a.property; });
    if (address < 0) {
        const Property* l = preferred(s.labels);
        return l ? textValue(*l, version) : QString();
    }
    const auto& parts = s.addresses[size_t(address)].parts;
    const bool streetOnly = std::all_of(parts.begin(), parts.end(), [&](const QString& part) {
        return &part == &parts[2] || part.isEmpty();
    });
    if (streetOnly)
        return parts[2];
    const Property& adr = *s.addresses[size_t(address)].property;
    QString label;
    if (const Param* inside = adr.param("LABEL"))
        label = parameterText(inside->value);
    for (const Property* l : s.labels) {
        if (!label.isEmpty())
            break;
        if (labelGoesWith(adr, *l))
            label = textValue(*l, version);
    }
    if (!label.isEmpty())
        return label;
    return addressLines({parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]});
}

Person makePerson(const Card& card) {
    const Version version = versionOfCard(card);
    const Sorted s = sortProperties(card, version);
    Person person;
    person.where = QStringLiteral("card at line %1").arg(card.line);
    person.name = nameOf(s, version);
    if (const Property* p = preferred(s.emails))
        person.email = textValue(*p, version);
    if (const Property* p = preferred(s.phones))
        person.phone = telephone(*p, version);
    person.address = addressOf(s, version);
    return person;
}

bool isUsed(const QByteArray& name) {
    return name == "VERSION" || name == "N" || name == "FN" || name == "EMAIL" || name == "TEL" ||
           name == "ADR" || name == "LABEL";
}

} // namespace

std::vector<Person> readVCards(const QByteArray& file, const ProgressReport& progress) {
    const QByteArray text = textBytes(file);
    if (text.trimmed().isEmpty())
        throw UserError::unreadable(QStringLiteral("the file is empty: there are no cards in it"));

    std::vector<Person> people;
    Charsets charsets;
    std::optional<Card> card;
    SoftBreaks softBreaks;
    ContentLines lines(text, false, progress);
    ContentLine line;
    while (lines.next(line, softBreaks)) {
        Property p = parseProperty(line.text, line.number);
        if (p.name == "BEGIN") {
            const QByteArray what = p.value.trimmed().toUpper();
            if (what != "VCARD")
                fail(line.number,
                     QStringLiteral("'%1' is not a vCard").arg(QString::fromUtf8(line.text)));
            if (card)
                fail(card->line, QStringLiteral("the card that begins here has no END:VCARD"));
            card.emplace();
            card->line = line.number;
        } else if (!card) {
            fail(line.number, QStringLiteral("this line is outside any card (BEGIN:VCARD ... "
                                             "END:VCARD)"));
        } else if (p.name == "END") {
            if (p.value.trimmed().toUpper() != "VCARD")
                fail(line.number,
                     QStringLiteral("'%1' does not end a vCard").arg(QString::fromUtf8(line.text)));
            people.push_back(makePerson(*card));
            card.reset();
        } else {
            checkEncodings(p, charsets);
        }
        softBreaks.after(p);
        if (card && isUsed(p.name))
            card->used.push_back(std::move(p));
    }
    if (card)
        fail(card->line, QStringLiteral("the card that begins here has no END:VCARD"));
    if (people.empty())
        throw UserError::unreadable(QStringLiteral("there are no cards in the file"));
    return people;
}

} // namespace quillbox::exchange
