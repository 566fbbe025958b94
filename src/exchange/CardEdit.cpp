#include "CardEdit.h"

#include "FormatError.h"
#include "VCardReader.h"
#include "VCardText.h"
#include "Writers.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace quillbox::exchange {

namespace {

// One content line: as written (folds kept) and as read.
struct Line {
    QByteArray raw;
    QString group, name; // name in upper case
    QStringList params;  // "NAME=value" as written, or a bare 2.1 value
    QString value;
    bool removed = false;
    std::optional<QString> replacement; // the whole new line, unfolded
};

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_');
}

void parse(Line& l) {
    const QString text = QString::fromUtf8(l.raw).remove(QLatin1String("\r\n ")).remove(
        QLatin1String("\r\n\t"));
    qsizetype i = 0;
    const auto token = [&] {
        const qsizetype start = i;
        while (i < text.size() && isNameChar(text[i]))
            ++i;
        return text.mid(start, i - start);
    };
    QString name = token();
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        l.group = name;
        ++i;
        name = token();
    }
    l.name = name.toUpper();
    QString param;
    bool quoted = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (!quoted && (c == QLatin1Char(';') || c == QLatin1Char(':'))) {
            if (!param.isEmpty())
                l.params << param;
            param.clear();
            if (c == QLatin1Char(':'))
                break;
            continue;
        }
        param += c;
    }
    l.value = text.mid(i + 1);
}

QString paramName(const QString& param) {
    const qsizetype eq = param.indexOf(QLatin1Char('='));
    return eq < 0 ? QStringLiteral("TYPE") : param.left(eq).trimmed().toUpper();
}

QString paramValue(const QString& param) {
    const qsizetype eq = param.indexOf(QLatin1Char('='));
    return QString(eq < 0 ? param : param.mid(eq + 1)).remove(QLatin1Char('"'));
}

// As the reader ranks: the lowest PREF, TYPE=pref counting as 1, then the first.
int rank(const Line& l) {
    int r = 1000;
    for (const QString& p : l.params) {
        if (paramName(p) == QLatin1String("PREF")) {
            bool ok = false;
            const int n = paramValue(p).trimmed().toInt(&ok);
            r = std::min(r, ok ? n : 1);
        } else if (paramName(p) == QLatin1String("TYPE")) {
            for (const QString& t : paramValue(p).split(QLatin1Char(',')))
                if (t.trimmed().compare(QLatin1String("pref"), Qt::CaseInsensitive) == 0)
                    r = std::min(r, 1);
        }
    }
    return r;
}

QStringList typesBesidesPref(const Line& l) {
    QStringList types;
    for (const QString& p : l.params)
        if (paramName(p) == QLatin1String("TYPE"))
            for (const QString& t : paramValue(p).split(QLatin1Char(',')))
                if (const QString v = t.trimmed().toLower(); !v.isEmpty() && v != "pref")
                    types << v;
    types.sort();
    types.removeDuplicates();
    return types;
}

bool isEmptyAddress(const Line& l) {
    return QString(l.value).remove(QLatin1Char(';')).trimmed().isEmpty();
}

Line* preferred(std::vector<Line>& lines, const QString& name, bool skipEmptyAddresses = false) {
    Line* best = nullptr;
    for (Line& l : lines) {
        if (l.removed || l.name != name || (skipEmptyAddresses && isEmptyAddress(l)))
            continue;
        if (!best || rank(l) < rank(*best))
            best = &l;
    }
    return best;
}

// The line again with a new value; the parameters that described the old value's encoding or
// form go.
QString rewritten(const Line& l, const QString& value) {
    QString out = l.group.isEmpty() ? l.name : l.group + QLatin1Char('.') + l.name;
    for (const QString& p : l.params) {
        const QString n = paramName(p);
        if (n != QLatin1String("ENCODING") && n != QLatin1String("CHARSET") &&
            n != QLatin1String("VALUE") && n != QLatin1String("LABEL") &&
            !(n == QLatin1String("TYPE") && paramValue(p).compare(QLatin1String("QUOTED-PRINTABLE"), Qt::CaseInsensitive) == 0))
            out += QLatin1Char(';') + p;
    }
    return out + QLatin1Char(':') + value;
}

class Editor {
public:
    explicit Editor(const QByteArray& card) {
        // Unfolded into content lines; a line starting with a blank continues the one before.
        const QList<QByteArray> physical = QByteArray(card).replace("\r\n", "\n").split('\n');
        for (const QByteArray& p : physical) {
            if ((p.startsWith(' ') || p.startsWith('\t')) && !lines_.empty()) {
                lines_.back().raw += "\r\n" + p;
                continue;
            }
            if (p.trimmed().isEmpty())
                continue;
            lines_.push_back({});
            lines_.back().raw = p;
        }
        for (Line& l : lines_)
            parse(l);
    }

    void set(const QString& name, const QString& value, bool skipEmpty = false) {
        if (Line* l = preferred(lines_, name, skipEmpty)) {
            if (value.isEmpty())
                l->removed = true;
            else
                l->replacement = rewritten(*l, value);
        } else if (!value.isEmpty()) {
            added_ << name + QLatin1Char(':') + value;
        }
    }

    void setName(const QString& name) {
        set(QStringLiteral("FN"), escapedText(name));
        const auto parts = nameParts(name);
        const QString n = parts ? escapedText(parts->first) + QLatin1Char(';') +
                                      escapedText(parts->second) + QLatin1String(";;;")
                                : QStringLiteral(";;;;");
        if (Line* l = preferred(lines_, QStringLiteral("N")))
            l->replacement = rewritten(*l, n);
        else if (parts)
            added_ << QLatin1String("N:") + n;
    }

    void setAddress(const QString& address) {
        Line* adr = preferred(lines_, QStringLiteral("ADR"), true);
        if (!adr)
            adr = preferred(lines_, QStringLiteral("ADR"));
        // A LABEL told the old address: the one of the same group or types goes with the ADR;
        // without an ADR, the one the reader took.
        for (Line& l : lines_) {
            if (l.removed || l.name != QLatin1String("LABEL"))
                continue;
            const bool goesWith =
                adr ? (!adr->group.isEmpty()
                           ? adr->group.compare(l.group, Qt::CaseInsensitive) == 0
                           : l.group.isEmpty() && typesBesidesPref(*adr) == typesBesidesPref(l))
                    : &l == preferred(lines_, QStringLiteral("LABEL"));
            if (goesWith)
                l.removed = true;
        }
        set(QStringLiteral("ADR"),
            address.isEmpty() ? QString()
                              : QLatin1String(";;") + escapedText(address) + QLatin1String(";;;;"),
            true);
    }

    QByteArray text() const {
        QByteArray out;
        for (const Line& l : lines_) {
            if (l.removed)
                continue;
            if (l.name == QLatin1String("END"))
                for (const QString& a : added_)
                    appendFolded(out, a);
            if (l.replacement)
                appendFolded(out, *l.replacement);
            else
                out += l.raw + "\r\n";
        }
        return out;
    }

private:
    std::vector<Line> lines_;
    QStringList added_;
};

} // namespace

Person readCard(const QByteArray& card) {
    const std::vector<Person> people = readVCards(card);
    if (people.size() != 1)
        throw FormatError(QStringLiteral("%1 cards where one was expected").arg(people.size()));
    return people.front();
}

QByteArray editCard(const QByteArray& card, const CardEdit& edit) {
    Editor e(card);
    if (edit.name)
        e.setName(*edit.name);
    if (edit.email)
        e.set(QStringLiteral("EMAIL"), escapedText(*edit.email));
    if (edit.phone)
        e.set(QStringLiteral("TEL"), escapedText(*edit.phone));
    if (edit.address)
        e.setAddress(*edit.address);
    return e.text();
}

QByteArray newCard(const Person& contact, const QString& uid) {
    QByteArray card;
    appendVCard(card, contact, VCardVersion::V30);
    QByteArray uidLine;
    appendFolded(uidLine, QLatin1String("UID:") + escapedText(uid));
    card.insert(card.lastIndexOf("END:VCARD"), uidLine);
    return card;
}

} // namespace quillbox::exchange
