#include "CsvReader.h"

#include "AddressLines.h"
#include "TextFile.h"
#include "errors/UserError.h"
#include "text/Utf8.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <map>
#include <optional>

namespace quillbox::exchange {

namespace {

[[noreturn]] void fail(int line, const QString& why) {
    throw UserError::unreadable(QStringLiteral("line %1: %2").arg(line).arg(why));
}

bool isLineEnd(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

enum class Kind {
    First,
    Last,
    FullName,
    Organisation,
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
    // A web mail program's numbered columns ("E-mail 1 - Value", "Address 1 - Street") may hold
    // several values joined by " ::: ".
    bool joined = false;
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
    static const QStringList organisation = {
        "company",          "companyname",       "organization",    "organisation",
        "organizationname", "organisationname", "organization1name", "org"};
    if (first.contains(h))
        return Column{Kind::First, index, {}};
    if (last.contains(h))
        return Column{Kind::Last, index, {}};
    if (full.contains(h))
        return Column{Kind::FullName, index, {}};
    if (organisation.contains(h))
        return Column{Kind::Organisation, index, {}};

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
        c.joined = h.endsWith(QLatin1String("value"));
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
            return Column{found->second, index, prefix, 1,
                          prefix.startsWith(QLatin1String("address"))};
    }
    return std::nullopt;
}

// A row's field for one kind of column: the first filled one.
struct Slot {
    const QString* value = nullptr;
    bool joined = false;

    QString text() const {
        if (!value)
            return {};
        const qsizetype at = joined ? value->indexOf(QLatin1String(" ::: ")) : -1;
        return at < 0 ? *value : value->left(at);
    }
};

constexpr int addressKinds = static_cast<int>(Kind::Country) + 1;

// What the header row says each column holds; a row is then read field by field, so that its
// cost follows its own length and never the header's.
class Layout {
public:
    explicit Layout(const QStringList& header, int line) {
        bool named = false;
        for (int i = 0; i < header.size(); ++i) {
            const auto column = classify(header[i], i);
            if (!column)
                continue;
            Role role{column->kind, column->rank, -1, column->joined};
            if (column->kind >= Kind::AddressOrStreet) {
                const auto found = std::find(groups_.begin(), groups_.end(), column->group);
                role.group = static_cast<int>(found - groups_.begin());
                if (found == groups_.end())
                    groups_.push_back(column->group);
            }
            named = named || column->kind <= Kind::Organisation;
            roles_.resize(static_cast<size_t>(i) + 1);
            roles_[static_cast<size_t>(i)] = role;
        }
        if (!named)
            fail(line, QStringLiteral("no column of the header row holds a name (e.g. \"Name\", "
                                      "\"Display Name\", \"First Name\", \"Last Name\")"));
        // An "... Address" column is the street where its group has other parts, and the whole
        // address where it has none.
        std::vector<bool> hasParts(groups_.size(), false);
        for (const auto& r : roles_)
            if (r && r->group >= 0 && r->kind != Kind::AddressOrStreet &&
                r->kind != Kind::Formatted)
                hasParts[static_cast<size_t>(r->group)] = true;
        for (auto& r : roles_)
            if (r && r->kind == Kind::AddressOrStreet)
                r->kind = hasParts[static_cast<size_t>(r->group)] ? Kind::Street : Kind::Formatted;
    }

    Person person(const QStringList& fields) const {
        // Per kind, the first filled field in column order; e-mail and phone by rank first.
        Slot first, last, full, organisation, email, phone;
        int emailRank = 0, phoneRank = 0;
        std::vector<std::array<Slot, addressKinds>> parts(groups_.size());
        const qsizetype n = std::min<qsizetype>(fields.size(), qsizetype(roles_.size()));
        for (qsizetype i = 0; i < n; ++i) {
            const auto& role = roles_[static_cast<size_t>(i)];
            const QString& value = fields[i];
            if (!role || value.isEmpty())
                continue;
            const auto firstOf = [&value, &role](Slot& slot) {
                if (!slot.value)
                    slot = {&value, role->joined};
            };
            const auto ranked = [&value, &role](Slot& slot, int& rank) {
                if (!slot.value || role->rank < rank) {
                    slot = {&value, role->joined};
                    rank = role->rank;
                }
            };
            switch (role->kind) {
            case Kind::First:
                firstOf(first);
                break;
            case Kind::Last:
                firstOf(last);
                break;
            case Kind::FullName:
                firstOf(full);
                break;
            case Kind::Organisation:
                firstOf(organisation);
                break;
            case Kind::Email:
                ranked(email, emailRank);
                break;
            case Kind::Phone:
                ranked(phone, phoneRank);
                break;
            default:
                firstOf(parts[static_cast<size_t>(role->group)][static_cast<size_t>(role->kind)]);
            }
        }
        Person p;
        const QString firstName = storedLineBreaks(first.text().trimmed());
        const QString lastName = storedLineBreaks(last.text().trimmed());
        if (!firstName.isEmpty() && !lastName.isEmpty())
            p.name = lastName + QLatin1String(", ") + firstName;
        else
            p.name = lastName + firstName;
        if (p.name.isEmpty())
            p.name = storedLineBreaks(full.text());
        if (p.name.isEmpty())
            p.name = storedLineBreaks(organisation.text());
        p.email = storedLineBreaks(email.text());
        p.phone = storedLineBreaks(phone.text());
        for (const auto& group : parts) {
            p.address = address(group);
            if (!p.address.isEmpty())
                break;
        }
        return p;
    }

private:
    struct Role {
        Kind kind;
        int rank;
        int group; // address columns: index into groups_
        bool joined;
    };

    static QString address(const std::array<Slot, addressKinds>& group) {
        const auto part = [&group](Kind kind) { return group[static_cast<size_t>(kind)].text(); };
        if (const QString formatted = part(Kind::Formatted); !formatted.isEmpty())
            return storedLineBreaks(formatted);
        AddressParts parts{part(Kind::PoBox),  part(Kind::Extended), part(Kind::Street),
                           part(Kind::Town),   part(Kind::Region),   part(Kind::Postcode),
                           part(Kind::Country)};
        for (const QString& more : {part(Kind::Street2), part(Kind::Street3)})
            if (!more.isEmpty())
                parts.street += QLatin1Char('\n') + more;
        return addressLines(parts);
    }

    std::vector<std::optional<Role>> roles_; // by column
    QStringList groups_;                     // address groups, in the order the header names them
};

// The separator, from the header row: the first line with anything but separators on it.
QChar detectSeparator(QStringView text) {
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isLineEnd(c))
            from = i + 1;
        else if (c != QLatin1Char(',') && c != QLatin1Char(';') && c != QLatin1Char('\t'))
            break;
    }
    int commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (const QChar c : text.sliced(from)) {
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

// Reads the records of a CSV text one by one.
class CsvRecords {
public:
    CsvRecords(QStringView text, QChar separator, int firstLine)
        : text_(text), separator_(separator), line_(firstLine) {}

    qsizetype position() const { return pos_; }

    // The next record and the line it starts on; false at the end of the text.
    bool next(QStringList& fields, int& line) {
        if (pos_ >= text_.size())
            return false;
        fields.clear();
        line = line_;
        for (;;) {
            if (fields.size() == maxCsvFields)
                fail(line, QStringLiteral("the row has more than %1 fields; a table of contacts "
                                          "has far fewer columns")
                               .arg(maxCsvFields));
            fields << field();
            if (pos_ < text_.size() && text_[pos_] == separator_) {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size()) {
                skipLineEnd();
                ++line_;
            }
            return true;
        }
    }

private:
    bool isBlank(qsizetype at) const {
        return at < text_.size() && text_[at] != separator_ &&
               (text_[at] == QLatin1Char(' ') || text_[at] == QLatin1Char('\t'));
    }

    void skipLineEnd() {
        if (text_[pos_] == QLatin1Char('\r') && pos_ + 1 < text_.size() &&
            text_[pos_ + 1] == QLatin1Char('\n'))
            ++pos_;
        ++pos_;
    }

    QString field() {
        const qsizetype n = text_.size();
        // Blanks before an opening quote belong to no field: `a, "b, c"` is two fields.
        qsizetype quote = pos_;
        while (isBlank(quote))
            ++quote;
        if (quote == n || text_[quote] != QLatin1Char('"')) {
            const qsizetype from = pos_;
            while (pos_ < n && text_[pos_] != separator_ && !isLineEnd(text_[pos_]))
                ++pos_;
            return text_.sliced(from, pos_ - from).toString();
        }
        const int opened = line_;
        pos_ = quote + 1;
        QString field;
        for (;;) {
            if (pos_ >= n)
                fail(opened, QStringLiteral("a quoted field that begins here is not closed"));
            const QChar c = text_[pos_];
            if (c == QLatin1Char('"')) {
                if (pos_ + 1 < n && text_[pos_ + 1] == QLatin1Char('"')) {
                    field += c;
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                break;
            }
            if (isLineEnd(c)) {
                const qsizetype from = pos_;
                skipLineEnd();
                field += text_.sliced(from, pos_ - from);
                ++line_;
                continue;
            }
            field += c;
            ++pos_;
        }
        while (isBlank(pos_))
            ++pos_;
        if (pos_ < n && text_[pos_] != separator_ && !isLineEnd(text_[pos_]))
            fail(line_, QStringLiteral("a quoted field goes on after its closing quote (a "
                                       "quote inside a quoted field must be doubled)"));
        return field;
    }

    QStringView text_;
    QChar separator_;
    qsizetype pos_ = 0;
    int line_;
};

} // namespace

std::vector<Person> readCsv(const QByteArray& file, const ProgressReport& progress) {
    const QByteArray bytes = textBytes(file);
    if (const qsizetype bad = firstInvalidUtf8(bytes.constData(), bytes.size()); bad >= 0)
        fail(lineAt(bytes, bad), QStringLiteral("the text is not UTF-8; save the table as "
                                                "UTF-8 (\"CSV UTF-8\") and import that"));
    const QString text = text::fromUtf8(bytes);
    if (text.trimmed().isEmpty())
        throw UserError::unreadable(
            QStringLiteral("the file is empty: it has not even a header row"));

    // Excel may name the separator on a line of its own before the header.
    static const QRegularExpression excelSeparator(QStringLiteral("^sep=(.)(\\r\\n|\\n|\\r)"));
    QChar separator;
    int firstLine = 1;
    qsizetype from = 0;
    if (const auto m = excelSeparator.match(text); m.hasMatch()) {
        separator = m.captured(1).front();
        from = m.capturedLength();
        firstLine = 2;
    } else {
        separator = detectSeparator(text);
    }
    CsvRecords records(QStringView(text).sliced(from), separator, firstLine);
    const auto empty = [](const QStringList& fields) {
        return std::all_of(fields.begin(), fields.end(),
                           [](const QString& f) { return f.isEmpty(); });
    };
    QStringList fields;
    int line = 0;
    while (records.next(fields, line) && empty(fields)) {
    }
    if (empty(fields))
        throw UserError::unreadable(
            QStringLiteral("the file has no header row, only empty fields"));
    const Layout layout(fields, line);
    std::vector<Person> people;
    int row = 0;
    while (records.next(fields, line)) {
        ++row;
        if (progress && (row & 0xfff) == 0)
            progress(from + records.position(), text.size());
        if (empty(fields))
            continue;
        Person p = layout.person(fields);
        p.where = QStringLiteral("row %1 (line %2)").arg(row).arg(line);
        people.push_back(std::move(p));
    }
    return people;
}

} // namespace quillbox::exchange
