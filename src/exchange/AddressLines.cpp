#include "AddressLines.h"

#include "Person.h"

#include <QStringList>

namespace quillbox::exchange {

namespace {

void appendLines(QStringList& lines, const QString& part) {
    for (const QString& line : storedLineBreaks(part).split(QLatin1String("\r\n"))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
}

} // namespace

QString addressLines(const AddressParts& parts) {
    QStringList lines;
    appendLines(lines, parts.extended);
    appendLines(lines, parts.street);
    appendLines(lines, parts.poBox);
    const QString postcode = parts.postcode.simplified(), town = parts.town.simplified();
    appendLines(lines, postcode.isEmpty() || town.isEmpty() ? postcode + town
                                                            : postcode + QLatin1Char(' ') + town);
    if (parts.region.simplified().compare(town, Qt::CaseInsensitive) != 0)
        appendLines(lines, parts.region);
    appendLines(lines, parts.country);
    return lines.join(QLatin1String("\r\n"));
}

} // namespace quillbox::exchange
