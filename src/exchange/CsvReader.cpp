#include "CsvReader.h"

#include "AddressLines.h"
#include "TextFile.h"
#include "FormatError.h"

#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace quillbox::exchange {

namespace {

[[noreturn]] void fail(int line, const QString& why) {
    throw FormatError(QStringLiteral("line %1: %2").arg(line).arg(why));
}

bool isLineEnd(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Steps over one line end ("\r\n", "\r" or "\n") at `pos`.
void skipLineEnd(const QString& text, qsizetype& pos) {
    if (text[pos] == QLatin1Char('\r') && pos + 1 < text.size() &&
        text[pos + 1] == QLatin1Char('\n'))
        ++pos;
    ++pos;
}

enum class Kind {
    First,
    Last,
    FullName,
    Email,
    Phone,
    // Address parts; AddressOrStreet is an "... Address" column, which is the street where the
    // group has other parts and the whole address where it has none.
    AddressOrStreet,
    Formatted,
    Street,
    Street2,
    Street3,
    Extended,
    PoBox,
    Town,
    Region,
    Postcode,
    Country
};

struct Column {
    Kind kind;
    int index;
    QString group; // address columns: the prefix that groups them
    int rank = 1;  // e-mail and phone columns: lower is tried first
};

QString normalised(const QString& header) {
    QString out;
    for (const QChar c : header)
        if (c.isLetterOrNumber())
            out += c.toLower();
    return out;
}

const std::map<QString, Kind>& addressSuffixes() {
    static const std::map<QString, Kind> map = {
        {QStringLiteral("address"), Kind::AddressOrStreet},
        {QStringLiteral("formatted"), Kind::Formatted},
        {QStringLiteral("formattedaddress"), Kind::Formatted},
        {QStringLiteral("fulladdress"), Kind::Formatted},
        {QStringLiteral("street"), Kind::Street},
        {QStringLiteral("streetaddress"), Kind::Street},
        {QStringLiteral("street1"), Kind::Street},
        {QStringLiteral("address1"), Kind::Street},
        {QStringLiteral("street2"), Kind::Street2},
        {QStringLiteral("address2"), Kind::Street2},
        {QStringLiteral("streetaddress2"), Kind::Street2},
        {QStringLiteral("street3"), Kind::Street3},
        {QStringLiteral("address3"), Kind::Street3},
        {QStringLiteral("streetaddress3"), Kind::Street3},
        {QStringLiteral("extended"), Kind::Extended},
        {QStringLiteral("extendedaddress"), Kind::Extended},
        {QStringLiteral("pobox"), Kind::PoBox},
        {QStringLiteral("postofficebox"), Kind::PoBox},
        {QStringLiteral("addresspobox"), Kind::PoBox},
        {QStringLiteral("city"), Kind::Town},
        {QStringLiteral("town"), Kind::Town},
        {QStringLiteral("locality"), Kind::Town},
        {QStringLiteral("state"), Kind::Region},
        {QStringLiteral("region"), Kind::Region},
        {QStringLiteral("province"), Kind::Region},
        {QStringLiteral("stateprovince"), Kind::Region},
        {QStringLiteral("county"), Kind::Region},
        {QStringLiteral("postalcode"), Kind::Postcode},
        {QStringLiteral("postcode"), Kind::Postcode},
        {QStringLiteral("zip"), Kind::Postcode},
        {QStringLiteral("zipcode"), Kind::Postcode},
        {QStringLiteral("zippostalcode"), Kind::Postcode},
        {QStringLiteral("country"), Kind::Country},
        {QStringLiteral("countryregion"), Kind::Country},
    };
    return map;
}

std::optional<Column> classify(const QString& header, int index) {
    const QString h = normalised(header);
    static const QStringList first = {"firstname", "givenname", "first", "forename"};
    static const QStringList last = {"lastname", "familyname", "surname", "last"};
    static const QStringList full = {"name", "displayname", "fullname", "formattedname",
                                     "contactname"};
    if (first.contains(h))
        return Column{Kind::First, index, {}};
    if (last.contains(h))
        return Column{Kind::Last, index, {}};
    if (full.contains(h))
        return Column{Kind::FullName, index, {}};

    static const QRegularExpression email(QStringLiteral(
        "^(primary|secondary|home|work|business|other|personal)?e?mail(address)?([0-9]+)?"
        "(address|value)?$"));
    static const QRegularExpression phone(QStringLiteral(
        "^(primary|mobile|cell|home|business|work|company|companymain|other|car|main|personal)?"
        "(phone|telephone|tel|mobile|cell|cellular)(number)?([0-9]+)?(value|number)?$"));
    const auto ranked = [&](Kind kind, const QRegularExpressionMatch& m, int numberGroup) {
        Column c{kind, index, {}};
        if (m.captured(1) == QLatin1String("primary"))
            c.rank = 0;
        else if (m.captured(1) == QLatin1String("secondary"))
            c.rank = 2;
        else if (!m.captured(numberGroup).isEmpty())
            c.rank = m.captured(numberGroup).toInt();
        return c;
    };
    if (const auto m = email.match(h); m.hasMatch())
        return ranked(Kind::Email, m, 3);
    if (const auto m = phone.match(h); m.hasMatch())
        return ranked(Kind::Phone, m, 4);

    static const QStringList prefixes = {"",        "home",    "business", "work",    "other",
                                         "company", "mailing", "postal",   "personal"};
    QStringList groups = prefixes;
    for (int n = 1; n <= 9; ++n)
        groups << QStringLiteral("address%1").arg(n);
    for (const QString& prefix : groups) {
        if (!h.startsWith(prefix))
            continue;
        const auto found = addressSuffixes().find(h.mid(prefix.size()));
        if (found != addressSuffixes().end())
            return Column{found->second, index, prefix};
    }
    return std::nullopt;
}

struct AddressGroup {
    QString name;
    std::vector<Column> columns;
};

class Layout {
public:
    explicit Layout(const QStringList& header, int line) {
        for (int i = 0; i < header.size(); ++i) {
            const auto column = classify(header[i], i);
            if (!column)
                continue;
            switch (column->kind) {
            case Kind::First:
                first_.push_back(*column);
                break;
            case Kind::Last:
                last_.push_back(*column);
                break;
            case Kind::FullName:
                full_.push_back(*column);
                break;
            case Kind::Email:
                emails_.push_back(*column);
                break;
            case Kind::Phone:
                phones_.push_back(*column);
                break;
            default:
                group(column->group).columns.push_back(*column);
            }
        }
        if (first_.empty() && last_.empty() && full_.empty())
            fail(line, QStringLiteral("no column of the header row holds a name (e.g. \"Name\", "
                                      "\"Display Name\", \"First Name\", \"Last Name\")"));
        const auto byRank = [](const Column& a, const Column& b) {
            return a.rank != b.rank ? a.rank < b.rank : a.index < b.index;
        };
        std::stable_sort(emails_.begin(), emails_.end(), byRank);
        std::stable_sort(phones_.begin(), phones_.end(), byRank);
        for (AddressGroup& g : groups_) {
            const bool hasParts =
                std::any_of(g.columns.begin(), g.columns.end(), [](const Column& c) {
                    return c.kind != Kind::AddressOrStreet && c.kind != Kind::Formatted;
                });
            for (Column& c : g.columns)
                if (c.kind == Kind::AddressOrStreet)
                    c.kind = hasParts ? Kind::Street : Kind::Formatted;
        }
    }

    Person person(const QStringList& fields) const {
        Person p;
        const QString firstName = firstFilled(fields, first_).trimmed();
        const QString lastName = firstFilled(fields, last_).trimmed();
        if (!firstName.isEmpty() && !lastName.isEmpty())
            p.name = lastName + QLatin1String(", ") + firstName;
        else
            p.name = lastName + firstName;
        if (p.name.isEmpty())
            p.name = storedLineBreaks(firstFilled(fields, full_));
        p.email = storedLineBreaks(firstFilled(fields, emails_));
        p.phone = storedLineBreaks(firstFilled(fields, phones_));
        for (const AddressGroup& g : groups_) {
            p.address = address(fields, g);
            if (!p.address.isEmpty())
                break;
        }
        return p;
    }

private:
    AddressGroup& group(const QString& name) {
        for (AddressGroup& g : groups_)
            if (g.name == name)
                return g;
        groups_.push_back({name, {}});
        return groups_.back();
    }

    static QString firstFilled(const QStringList& fields, const std::vector<Column>& columns) {
        for (const Column& c : columns)
            if (!fields.value(c.index).isEmpty())
                return fields.value(c.index);
        return {};
    }

    static QString address(const QStringList& fields, const AddressGroup& g) {
        AddressParts parts;
        QString formatted, street2, street3;
        for (const Column& c : g.columns) {
            const QString value = fields.value(c.index);
            if (value.isEmpty())
                continue;
            QString* target = nullptr;
            switch (c.kind) {
            case Kind::Formatted:
                target = &formatted;
                break;
            case Kind::Street:
                target = &parts.street;
                break;
            case Kind::Street2:
                target = &street2;
                break;
            case Kind::Street3:
                target = &street3;
                break;
            case Kind::Extended:
                target = &parts.extended;
                break;
            case Kind::PoBox:
                target = &parts.poBox;
                break;
            case Kind::Town:
                target = &parts.town;
                break;
            case Kind::Region:
                target = &parts.region;
                break;
            case Kind::Postcode:
                target = &parts.postcode;
                break;
            case Kind::Country:
                target = &parts.country;
                break;
            default:
                break;
            }
            if (target && target->isEmpty())
                *target = value;
        }
        if (!formatted.isEmpty())
            return storedLineBreaks(formatted);
        for (const QString& more : {street2, street3})
            if (!more.isEmpty())
                parts.street += QLatin1Char('\n') + more;
        return addressLines(parts);
    }

    std::vector<Column> first_, last_, full_, emails_, phones_;
    std::vector<AddressGroup> groups_;
};

} // namespace

QChar detectSeparator(const QString& text) {
    int commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (isLineEnd(c))
            break;
        else if (c == QLatin1Char(','))
            ++commas;
        else if (c == QLatin1Char(';'))
            ++semicolons;
        else if (c == QLatin1Char('\t'))
            ++tabs;
    }
    if (semicolons > commas && semicolons >= tabs)
        return QLatin1Char(';');
    if (tabs > commas && tabs > semicolons)
        return QLatin1Char('\t');
    return QLatin1Char(',');
}

std::vector<CsvRecord> parseCsv(const QString& text, QChar separator,
                                const ProgressReport& progress) {
    std::vector<CsvRecord> records;
    const qsizetype n = text.size();
    qsizetype pos = 0;
    int line = 1;
    while (pos < n) {
        CsvRecord record;
        record.line = line;
        for (;;) {
            QString field;
            if (pos < n && text[pos] == QLatin1Char('"')) {
                const int opened = line;
                ++pos;
                for (;;) {
                    if (pos >= n)
                        fail(opened,
                             QStringLiteral("a quoted field that begins here is not closed"));
                    const QChar c = text[pos];
                    if (c == QLatin1Char('"')) {
                        if (pos + 1 < n && text[pos + 1] == QLatin1Char('"')) {
                            field += c;
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    if (isLineEnd(c)) {
                        const qsizetype from = pos;
                        skipLineEnd(text, pos);
                        field += QStringView(text).mid(from, pos - from);
                        ++line;
                        continue;
                    }
                    field += c;
                    ++pos;
                }
                if (pos < n && text[pos] != separator && !isLineEnd(text[pos]))
                    fail(line, QStringLiteral("a quoted field goes on after its closing quote (a "
                                              "quote inside a quoted field must be doubled)"));
            } else {
                const qsizetype from = pos;
                while (pos < n && text[pos] != separator && !isLineEnd(text[pos]))
                    ++pos;
                field = text.mid(from, pos - from);
            }
            record.fields << field;
            if (pos < n && text[pos] == separator) {
                ++pos;
                continue;
            }
            if (pos < n) {
                skipLineEnd(text, pos);
                ++line;
            }
            break;
        }
        records.push_back(std::move(record));
        if (progress && (records.size() & 0xfff) == 0)
            progress(pos, n);
    }
    return records;
}

std::vector<Person> readCsv(const QByteArray& file, const ProgressReport& progress) {
    const QByteArray bytes = textBytes(file);
    if (const qsizetype bad = firstInvalidUtf8(bytes.constData(), bytes.size()); bad >= 0)
        fail(lineAt(bytes, bad), QStringLiteral("the text is not UTF-8; save the table as "
                                                "UTF-8 (\"CSV UTF-8\") and import that"));
    const QString text = QString::fromUtf8(bytes);
    if (text.trimmed().isEmpty())
        throw FormatError(QStringLiteral("the file is empty: it has not even a header row"));

    // Excel may name the separator on a line of its own before the header.
    static const QRegularExpression excelSeparator(QStringLiteral("^sep=(.)(\\r\\n|\\n|\\r)"));
    QChar separator;
    int linesBefore = 0;
    qsizetype from = 0;
    if (const auto m = excelSeparator.match(text); m.hasMatch()) {
        separator = m.captured(1).front();
        from = m.capturedLength();
        linesBefore = 1;
    } else {
        separator = detectSeparator(text);
    }
    std::vector<CsvRecord> records = parseCsv(text.sliced(from), separator, progress);
    const auto empty = [](const CsvRecord& r) {
        return std::all_of(r.fields.begin(), r.fields.end(),
                           [](const QString& f) { return f.isEmpty(); });
    };
    const auto header = std::find_if_not(records.begin(), records.end(), empty);
    if (header == records.end())
        throw FormatError(QStringLiteral("the file has no header row, only empty fields"));
    for (CsvRecord& r : records)
        r.line += linesBefore;
    const Layout layout(header->fields, header->line);
    std::vector<Person> people;
    people.reserve(records.size());
    int row = 0;
    for (auto r = header + 1; r != records.end(); ++r) {
        ++row;
        if (empty(*r))
            continue;
        Person p = layout.person(r->fields);
        p.where = QStringLiteral("row %1 (line %2)").arg(row).arg(r->line);
        people.push_back(std::move(p));
    }
    return people;
}

} // namespace quillbox::exchange
