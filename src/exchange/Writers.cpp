#include "Writers.h"

#include "VCardText.h"

namespace quillbox::exchange {

QString escapedText(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case ',':
            out += QLatin1String("\\,");
            break;
        case ';':
            out += QLatin1String("\\;");
            break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            out += QLatin1String("\\n");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        default:
            out += c;
        }
    }
    return out;
}

void appendFolded(QByteArray& out, QByteArrayView bytes) {
    const auto isContinuation = [&](qsizetype i) {
        return (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80;
    };
    qsizetype pos = 0;
    qsizetype room = 75;
    while (bytes.size() - pos > room) {
        qsizetype cut = pos + room;
        while (cut > pos && isContinuation(cut))
            --cut;
        if (cut == pos) // not UTF-8 at all: no character to keep whole
            cut = pos + room;
        out.append(bytes.constData() + pos, cut - pos);
        out.append("\r\n ");
        pos = cut;
        room = 74; // the leading blank is the 75th octet
    }
    out.append(bytes.constData() + pos, bytes.size() - pos);
    out.append("\r\n");
}

void appendFolded(QByteArray& out, const QString& line) {
    appendFolded(out, QByteArrayView(line.toUtf8()));
}

namespace {

// RFC 6868: a parameter value cannot hold a quote or a line break as such.
QString caretEncoded(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('^')) {
            out += QLatin1String("^^");
        } else if (c == QLatin1Char('"')) {
            out += QLatin1String("^'");
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            out += QLatin1String("^n");
        } else {
            out += c;
        }
    }
    return out;
}

bool needsQuotes(const QString& field) {
    if (field.isEmpty())
        return false;
    if (field.front().isSpace() || field.back().isSpace())
        return true;
    for (const QChar c : field)
        if (c == QLatin1Char('"') || c == QLatin1Char(',') || c == QLatin1Char(';') ||
            c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    return false;
}

void appendCsvField(QByteArray& out, const QString& field) {
    if (!needsQuotes(field)) {
        out += field.toUtf8();
        return;
    }
    out += '"';
    out += QString(field).replace(QLatin1Char('"'), QLatin1String("\"\"")).toUtf8();
    out += '"';
}

} // namespace

std::optional<std::pair<QString, QString>> nameParts(const QString& name) {
    const qsizetype at = name.indexOf(QLatin1String(", "));
    if (at < 0 || name.indexOf(QLatin1String(", "), at + 2) >= 0)
        return std::nullopt;
    QString family = name.left(at), given = name.mid(at + 2);
    if (family.isEmpty() || given.isEmpty() || family.trimmed() != family ||
        given.trimmed() != given)
        return std::nullopt;
    return std::make_pair(family, given);
}

void appendVCard(QByteArray& out, const contact::Contact& contact, VCardVersion version) {
    out += "BEGIN:VCARD\r\n";
    out += version == VCardVersion::V40 ? "VERSION:4.0\r\n" : "VERSION:3.0\r\n";
    appendFolded(out, QLatin1String("FN:") + escapedText(contact.name));
    if (const auto parts = nameParts(contact.name))
        appendFolded(out, QLatin1String("N:") + escapedText(parts->first) + QLatin1Char(';') +
                              escapedText(parts->second) + QLatin1String(";;;"));
    else if (version == VCardVersion::V30)
        out += "N:;;;;\r\n";
    if (!contact.email.isEmpty())
        appendFolded(out, QLatin1String("EMAIL:") + escapedText(contact.email));
    if (!contact.phone.isEmpty())
        appendFolded(out, QLatin1String("TEL:") + escapedText(contact.phone));
    if (!contact.address.isEmpty()) {
        const QString street = escapedText(contact.address);
        if (version == VCardVersion::V40) {
            appendFolded(out, QLatin1String("ADR;LABEL=\"") + caretEncoded(contact.address) +
                                  QLatin1String("\":;;") + street + QLatin1String(";;;;"));
        } else {
            appendFolded(out, QLatin1String("ADR:;;") + street + QLatin1String(";;;;"));
            appendFolded(out, QLatin1String("LABEL:") + street);
        }
    }
    out += "END:VCARD\r\n";
}

void appendCsvHeader(QByteArray& out) {
    out += "Name,E-mail Address,Phone,Address\r\n";
}

void appendCsvRow(QByteArray& out, const contact::Contact& contact) {
    appendCsvField(out, contact.name);
    out += ',';
    appendCsvField(out, contact.email);
    out += ',';
    appendCsvField(out, contact.phone);
    out += ',';
    appendCsvField(out, contact.address);
    out += "\r\n";
}

} // namespace quillbox::exchange
