#include "ExchangeTargets.h"

#include "errors/UserError.h"
#include "exchange/CardEdit.h"
#include "exchange/CsvReader.h"
#include "exchange/VCardReader.h"
#include "exchange/Writers.h"
#include "text/Utf8.h"

#include <QList>

#include <cstdio>
#include <cstdlib>

namespace quillbox::fuzz {

using namespace quillbox::exchange;
using quillbox::UserError;

namespace {

QByteArray bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

[[noreturn]] void fault(const QString& what) {
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::abort();
}

} // namespace

void readVCardInput(const std::uint8_t* data, std::size_t size) {
    try {
        readVCards(bytes(data, size));
    } catch (const UserError&) {
    }
}

void readCsvInput(const std::uint8_t* data, std::size_t size) {
    try {
        readCsv(bytes(data, size));
    } catch (const UserError&) {
    }
}

void roundTrip(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return;
    const int format = data[0] % 3;
    const QList<QByteArray> fields = bytes(data + 1, size - 1).split('\0');
    Person contact{{text::fromUtf8(fields.value(0)), text::fromUtf8(fields.value(1)),
                    text::fromUtf8(fields.value(2)), text::fromUtf8(fields.value(3))},
                   {}};
    if (contact.name.isEmpty())
        contact.name = QStringLiteral("x"); // the import leaves out a contact without a name
    const Person neighbour{{QStringLiteral("Next, One"), QStringLiteral("n@x"), {}, {}}, {}};

    QByteArray file;
    std::vector<Person> read;
    try {
        if (format == 2) {
            appendCsvHeader(file);
            appendCsvRow(file, contact);
            appendCsvRow(file, neighbour);
            read = readCsv(file);
        } else {
            const VCardVersion version = format == 0 ? VCardVersion::V30 : VCardVersion::V40;
            appendVCard(file, contact, version);
            appendVCard(file, neighbour, version);
            read = readVCards(file);
        }
    } catch (const UserError& e) {
        fault(QStringLiteral("the import refused the export: %1\n%2")
                  .arg(e.message(), QString::fromUtf8(file)));
    }
    const auto same = [](const Person& a, const Person& b) {
        return a.name == storedLineBreaks(b.name) && a.email == storedLineBreaks(b.email) &&
               a.phone == storedLineBreaks(b.phone) && a.address == storedLineBreaks(b.address);
    };
    if (read.size() != 2 || !same(read[0], contact) || !same(read[1], neighbour))
        fault(QStringLiteral("the import did not give back what was exported:\n%1")
                  .arg(QString::fromUtf8(file)));
}

void editCardInput(const std::uint8_t* data, std::size_t size) {
    const qsizetype nul = bytes(data, size).indexOf('\0');
    if (nul < 1)
        return;
    const QString value = text::fromUtf8(bytes(data + 1, std::size_t(nul - 1)));
    const QByteArray card = bytes(data + nul + 1, size - std::size_t(nul) - 1);
    try {
        Person want = readCard(card);
        CardEdit edit;
        std::optional<QString>* edited[] = {&edit.name, &edit.email, &edit.phone, &edit.address};
        QString* wanted[] = {&want.name, &want.email, &want.phone, &want.address};
        for (int i = 0; i < 4; ++i)
            if (data[0] & (1 << i))
                *edited[i] = *wanted[i] = data[0] & (16 << i) ? QString() : value;
        const QByteArray result = editCard(card, edit);
        QString why = QStringLiteral("does not show the intended texts");
        try {
            const Person got = readCard(result);
            if (got.name == want.name && got.email == want.email && got.phone == want.phone &&
                got.address == want.address)
                return;
        } catch (const UserError& e) {
            why = e.message();
        }
        fault(QStringLiteral("the edited card %1:\n%2").arg(why, QString::fromUtf8(result)));
    } catch (const UserError&) {
    }
}

} // namespace quillbox::fuzz
