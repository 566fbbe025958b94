#include "VCardLines.h"

#include "TextFile.h"
#include "text/Utf8.h"

#include <QStringDecoder>

#include <algorithm>

namespace quillbox::exchange::vcard {

void fail(int line, const QString& why) {
    throw UserError::unreadable(QStringLiteral("line %1: %2").arg(line).arg(why));
}

const Param* Property::param(const char* wanted) const {
    for (const Param& p : params)
        if (p.name == wanted)
            return &p;
    return nullptr;
}

QByteArray Property::paramValue(const char* wanted) const {
    const Param* p = param(wanted);
    return p ? p->value.trimmed().toUpper() : QByteArray();
}

QList<QByteArray> Property::types() const {
    QList<QByteArray> out;
    for (const Param& p : params)
        if (p.name == "TYPE")
            for (const QByteArray& t : p.value.split(','))
                if (const QByteArray v = t.trimmed().toLower(); !v.isEmpty())
                    out << v;
    return out;
}

namespace {

bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// Whether a property's header (what comes before its value's ':') says its value is
// quoted-printable; a header that does not parse says nothing, and fails when its line is read.
bool saysQuotedPrintable(const QByteArray& header) {
    try {
        return parseProperty(header + ':', 0).paramValue("ENCODING") == "QUOTED-PRINTABLE";
    } catch (const UserError&) {
        return false;
    }
}

bool isUtf8Name(const QByteArray& upper) {
    return upper.isEmpty() || upper == "UTF-8" || upper == "UTF8";
}

QList<QByteArray> typesBesidesPref(const Property& p) {
    QList<QByteArray> types = p.types();
    types.removeAll("pref");
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    return types;
}

} // namespace

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
        const qsizetype start = i;
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
                    const qsizetype from = i;
                    while (i < n && text[i] != ';' && text[i] != ':' && text[i] != ',')
                        ++i;
                    value += text.mid(from, i - from);
                }
                if (i < n && text[i] == ',') {
                    value += ',';
                    ++i;
                    continue;
                }
                break;
            }
            p.params.push_back({paramName, value, text.mid(start, i - start)});
        } else if (!paramName.isEmpty()) {
            // vCard 2.1 names a parameter's value alone: an encoding, or else a type.
            p.params.push_back(
                {isTransferEncoding(paramName) ? QByteArray("ENCODING") : QByteArray("TYPE"),
                 paramName, text.mid(start, i - start)});
        } else if (i < n && text[i] != ';' && text[i] != ':') {
            fail(line, QStringLiteral("a parameter's name holds a character names cannot"));
        }
    }
    if (i >= n || text[i] != ':')
        fail(line, QStringLiteral("there is no ':' between the property's name and its value"));
    p.value = text.mid(i + 1);
    return p;
}

void SoftBreaks::after(const Property& p) {
    if (p.name == "BEGIN" || p.name == "END") {
        inCard_ = p.name == "BEGIN";
        v21_ = false;
    } else if (p.name == "VERSION") {
        v21_ = p.value.trimmed() == "2.1";
    }
}

bool ContentLines::physical(QByteArray& line, int& number) {
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
    number = ++physicalNumber_;
    if (progress_ && (number & 0xfff) == 0)
        progress_(pos_, text_.size());
    return true;
}

bool ContentLines::softBreak() {
    const QByteArray& text = current_.text;
    if (!text.endsWith('='))
        return false;
    for (; !quotedPrintable_ && scanned_ < text.size(); ++scanned_) {
        if (text[scanned_] == '"')
            quoted_ = !quoted_;
        else if (text[scanned_] == ':' && !quoted_)
            quotedPrintable_ = saysQuotedPrintable(text.left(scanned_));
    }
    return quotedPrintable_.value_or(false);
}

void ContentLines::start(const QByteArray& line, int number) {
    current_ = {line, number, keepRaw_ ? line : QByteArray(), false};
    blanks_.clear();
    scanned_ = 0;
    quoted_ = false;
    quotedPrintable_.reset();
}

bool ContentLines::next(ContentLine& out, const SoftBreaks& softBreaks) {
    QByteArray line;
    int number = 0;
    const auto keep = [&] {
        if (keepRaw_)
            current_.raw += blanks_ + "\r\n" + line;
        blanks_.clear();
    };
    for (;;) {
        if (ahead_) {
            std::tie(line, number) = *ahead_;
            ahead_.reset();
        } else if (!physical(line, number)) {
            break;
        }
        const bool started = current_.number > 0;
        // In vCard 2.1, a quoted-printable value whose line ends in '=' goes on on the next
        // line, whatever that holds; END:VCARD is kept from being swallowed by a stray last '='.
        if (started && softBreaks.on() && softBreak() && line.trimmed().toUpper() != "END:VCARD") {
            current_.text.chop(1);
            current_.text += line;
            keep();
            continue;
        }
        if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            if (!started)
                fail(number, QStringLiteral("a continued line follows no line"));
            current_.text.append(line.constData() + 1, line.size() - 1);
            keep();
            continue;
        }
        if (line.trimmed().isEmpty()) {
            if (started && keepRaw_)
                blanks_ += "\r\n" + line;
            continue;
        }
        if (started) {
            ahead_.emplace(line, number);
            break;
        }
        start(line, number);
    }
    if (current_.number == 0)
        return false;
    out = std::move(current_);
    out.softBreaks = softBreaks.on();
    current_ = {};
    return true;
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

bool Charsets::known(const QByteArray& upper) {
    if (isUtf8Name(upper))
        return true;
    const auto it = known_.constFind(upper);
    if (it != known_.cend())
        return *it;
    const bool ok = QStringDecoder(upper.constData()).isValid();
    known_.insert(upper, ok);
    return ok;
}

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
        return text::fromUtf8(bytes);
    }
    QStringDecoder decoder(charset.constData());
    const QString text = decoder(bytes);
    if (decoder.hasError())
        fail(p.line, QStringLiteral("the text is not valid %1")
                         .arg(QString::fromUtf8(p.param("CHARSET")->value)));
    return text;
}

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

QString textValue(const Property& p, Version version) {
    return storedLineBreaks(unescape(decodeText(p), version));
}

std::optional<Version> versionOf(const QByteArray& value) {
    const QByteArray v = value.trimmed();
    if (v == "2.1")
        return Version::V21;
    if (v == "3.0")
        return Version::V30;
    if (v == "4.0")
        return Version::V40;
    return std::nullopt;
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

std::array<QString, 7> addressParts(const Property& adr, Version version) {
    std::array<QString, 7> parts;
    const QStringList components = splitUnescaped(decodeText(adr), QLatin1Char(';'));
    for (int i = 0; i < 7 && i < components.size(); ++i)
        parts[static_cast<size_t>(i)] = storedLineBreaks(unescape(components[i], version));
    return parts;
}

bool labelGoesWith(const Property& adr, const Property& label) {
    if (!adr.group.isEmpty())
        return adr.group.compare(label.group, Qt::CaseInsensitive) == 0;
    return label.group.isEmpty() && typesBesidesPref(adr) == typesBesidesPref(label);
}

} // namespace quillbox::exchange::vcard
