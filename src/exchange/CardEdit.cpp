#include "CardEdit.h"

#include "TextFile.h"
#include "VCardLines.h"
#include "VCardReader.h"
#include "VCardText.h"
#include "Writers.h"
#include "errors/UserError.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace quillbox::exchange {

namespace {

using namespace vcard;

struct Line {
    ContentLine content;
    Property property;
    bool removed = false;
    std::optional<QByteArray> replacement; // the whole new line as written, without its end
};

// A text in the card's version's escapes. 2.1 escapes only ';' and writes a line break as it
// is, for quoted-printable to carry.
QString escaped(const QString& text, Version version) {
    if (version != Version::V21)
        return escapedText(text);
    return QString(text).replace(QLatin1Char(';'), QLatin1String("\\;"));
}

bool printable(char c) {
    return c >= 0x20 && c < 0x7f;
}

// A content line of `head` (its name and parameters) and `value`. In 2.1, a value that is not
// printable ASCII is UTF-8 in quoted-printable, broken with soft line breaks where they join
// lines; ':' is encoded too, so that no piece can look like END:VCARD. Otherwise the line is
// folded.
QByteArray written(QByteArray head, const QString& value, Version version, bool softBreaks) {
    const QByteArray bytes = value.toUtf8();
    if (version != Version::V21 || std::all_of(bytes.begin(), bytes.end(), printable)) {
        QByteArray out;
        appendFolded(out, QByteArrayView(head + ':' + bytes));
        out.chop(2);
        return out;
    }
    if (std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; }))
        head += ";CHARSET=UTF-8";
    head += ";ENCODING=QUOTED-PRINTABLE:";
    qsizetype width = head.size();
    for (const char c : bytes) {
        const QByteArray piece = printable(c) && c != ' ' && c != '=' && c != ':'
                                     ? QByteArray(1, c)
                                     : '=' + QByteArray(1, c).toHex().toUpper();
        if (softBreaks && width + piece.size() > 75) {
            head += "=\r\n";
            width = 0;
        }
        head += piece;
        width += piece.size();
    }
    return head;
}

// Parameters that told the old value's form go with it.
bool describesValue(const Param& p, const Property& line) {
    return p.name == "ENCODING" || p.name == "CHARSET" || p.name == "VALUE" ||
           (p.name == "LABEL" && line.name == "ADR") ||
           isTransferEncoding(p.value.trimmed().toUpper());
}

class Editor {
public:
    explicit Editor(const QByteArray& text) {
        SoftBreaks softBreaks;
        ContentLines lines(text, true);
        ContentLine content;
        while (lines.next(content, softBreaks)) {
            Property p = parseProperty(content.text, content.number);
            softBreaks.after(p);
            if (p.name == "VERSION" && !version_)
                version_ = versionOf(p.value);
            lines_.push_back({std::move(content), std::move(p), false, {}});
        }
    }

    void setName(const QString& name) {
        set("FN", escaped(name, cardVersion()), true);
        auto parts = nameParts(name);
        // 2.1 takes a backslash before ';' as an escape even where it is the part's last
        // character: such parts would not come apart as written, and FN says it alone.
        if (parts && cardVersion() == Version::V21 &&
            (parts->first.contains(QLatin1Char('\\')) || parts->second.contains(QLatin1Char('\\'))))
            parts.reset();
        const QString n = parts ? escaped(parts->first, cardVersion()) + QLatin1Char(';') +
                                      escaped(parts->second, cardVersion()) + QLatin1String(";;;")
                                : QStringLiteral(";;;;");
        // The reader takes the first N, preferred or not.
        if (const std::vector<qsizetype> ns = named("N"); !ns.empty())
            replace(ns.front(), n);
        else if (parts)
            added_.push_back({"N", n});
    }

    // The preferred line of `name` takes the value; an empty one removes every line of it, so
    // that no other shows instead.
    void set(const char* name, const QString& value, bool keepEmpty = false) {
        const std::vector<qsizetype> lines = named(name);
        if (value.isEmpty() && !keepEmpty) {
            for (const qsizetype i : lines)
                lines_[size_t(i)].removed = true;
        } else if (!lines.empty()) {
            replace(lines[size_t(preferredOf(lines))], value);
        } else if (!value.isEmpty()) {
            added_.push_back({name, value});
        }
    }

    void setAddress(const QString& address) {
        if (address.isEmpty()) {
            set("ADR", {});
            set("LABEL", {});
            return;
        }
        // The ADR the reader takes: the preferred of those with any part, else the first.
        const std::vector<qsizetype> adrs = named("ADR");
        std::vector<qsizetype> full;
        for (const qsizetype i : adrs) {
            const auto parts = addressParts(lines_[size_t(i)].property, cardVersion());
            if (std::any_of(parts.begin(), parts.end(),
                            [](const QString& p) { return !p.isEmpty(); }))
                full.push_back(i);
        }
        const qsizetype target = !full.empty()   ? full[size_t(preferredOf(full))]
                                 : !adrs.empty() ? adrs.front()
                                                 : -1;
        // A LABEL told the old address: the one that goes with the ADR, and the one the reader
        // showed when no ADR had a part.
        const std::vector<qsizetype> labels = named("LABEL");
        const qsizetype shown =
            full.empty() && !labels.empty() ? labels[size_t(preferredOf(labels))] : -1;
        for (const qsizetype i : labels)
            if (i == shown || (target >= 0 && labelGoesWith(lines_[size_t(target)].property,
                                                            lines_[size_t(i)].property)))
                lines_[size_t(i)].removed = true;
        // In 2.1 the parts after the street are left out, so that a backslash ending it is
        // not taken for an escape of the next ';'.
        const QString value = QLatin1String(";;") + escaped(address, cardVersion()) +
                              (cardVersion() == Version::V21 ? QString() : QStringLiteral(";;;;"));
        if (target >= 0)
            replace(target, value);
        else
            added_.push_back({"ADR", value});
    }

    // The card's lines, and in `expected` each content line as it must come apart again.
    QByteArray text(std::vector<QByteArray>& expected) const {
        QByteArray out;
        const auto put = [&](const QByteArray& line) {
            out += line + "\r\n";
            expected.push_back(line);
        };
        std::optional<QByteArray> held; // a line whose last '=' would join what comes next
        for (const Line& l : lines_) {
            if (l.removed)
                continue;
            if (l.property.name == "END") {
                for (const auto& [name, value] : added_)
                    put(written(name, value, cardVersion(), l.content.softBreaks));
                if (held)
                    put(*held);
                held.reset();
            } else if (held) {
                put(*held);
                held.reset();
            }
            const QByteArray line = l.replacement ? *l.replacement : l.content.raw;
            if (!l.replacement && l.content.softBreaks && l.content.text.endsWith('=') &&
                l.property.paramValue("ENCODING") == "QUOTED-PRINTABLE")
                held = line;
            else
                put(line);
        }
        if (held)
            put(*held);
        return out;
    }

    Version cardVersion() const { return version_.value_or(Version::V30); }

private:
    std::vector<qsizetype> named(const char* name) const {
        std::vector<qsizetype> out;
        for (size_t i = 0; i < lines_.size(); ++i)
            if (!lines_[i].removed && lines_[i].property.name == name)
                out.push_back(qsizetype(i));
        return out;
    }

    qsizetype preferredOf(const std::vector<qsizetype>& lines) const {
        return preferred(
            lines, [&](qsizetype i) -> const Property& { return lines_[size_t(i)].property; });
    }

    void replace(qsizetype index, const QString& value) {
        Line& l = lines_[size_t(index)];
        QByteArray head =
            l.property.group.isEmpty() ? l.property.name : l.property.group + '.' + l.property.name;
        for (const Param& p : l.property.params)
            if (!describesValue(p, l.property))
                head += ';' + p.raw;
        l.replacement = written(head, value, cardVersion(), l.content.softBreaks);
    }

    std::vector<Line> lines_;
    std::optional<Version> version_; // of the first VERSION; 3.0 without one, as the reader
    std::vector<std::pair<QByteArray, QString>> added_; // before END:VCARD
};

// Whether `edited` reads as `want` and comes apart into exactly the `expected` lines.
void check(const QByteArray& edited, const std::vector<QByteArray>& expected, const Person& want) {
    Person got;
    try {
        got = readCard(edited);
    } catch (const UserError& e) {
        throw e.within(QStringLiteral("the edited card would not read"));
    }
    for (const contact::Field& field : contact::fields)
        if (got.*field.text != want.*field.text)
            throw UserError::unreadable(
                QStringLiteral("the edited card would not show the %1 as intended")
                    .arg(QLatin1String(field.label)));
    SoftBreaks softBreaks;
    ContentLines lines(edited, true);
    ContentLine line;
    size_t i = 0;
    for (; lines.next(line, softBreaks); ++i) {
        if (i == expected.size() || line.raw != expected[i])
            throw UserError::unreadable(
                QStringLiteral("line %1 of the edited card would not stand as "
                               "written")
                    .arg(line.number));
        softBreaks.after(parseProperty(line.text, line.number));
    }
    if (i != expected.size())
        throw UserError::unreadable(QStringLiteral("the edited card would lose lines at its end"));
}

} // namespace

Person readCard(const QByteArray& card) {
    const std::vector<Person> people = readVCards(card);
    if (people.size() != 1)
        throw UserError::unreadable(
            QStringLiteral("%1 cards where one was expected").arg(people.size()));
    return people.front();
}

QByteArray editCard(const QByteArray& card, const CardEdit& edit) {
    Person want;
    try {
        want = readCard(card);
    } catch (const UserError& e) {
        throw e.within(QStringLiteral("the card to edit does not read"));
    }
    Editor e(textBytes(card));
    if (edit.name) {
        e.setName(*edit.name);
        want.name = *edit.name;
    }
    if (edit.email) {
        e.set("EMAIL", escaped(*edit.email, e.cardVersion()));
        want.email = *edit.email;
    }
    if (edit.phone) {
        e.set("TEL", escaped(*edit.phone, e.cardVersion()));
        want.phone = *edit.phone;
    }
    if (edit.address) {
        e.setAddress(*edit.address);
        want.address = *edit.address;
    }
    std::vector<QByteArray> expected;
    const QByteArray edited = e.text(expected);
    check(edited, expected, want);
    return edited;
}

QByteArray newCard(const contact::Contact& contact, const QString& uid) {
    QByteArray card;
    appendVCard(card, contact, VCardVersion::V30);
    QByteArray uidLine;
    appendFolded(uidLine, QLatin1String("UID:") + escapedText(uid));
    card.insert(card.lastIndexOf("END:VCARD"), uidLine);
    return card;
}

} // namespace quillbox::exchange
