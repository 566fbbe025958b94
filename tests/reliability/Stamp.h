#pragma once

// The contacts the reliability writers store. Each of the four fields carries the operation
// that wrote it and filler drawn from that operation, long enough that a row spans pages now
// and then; a row whose fields come from two writes, or were cut short, shows.

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace quillbox::reliability {

struct Row {
    QString name, phone, address, email;
};

inline QString field(char tag, std::int64_t op) {
    std::uint64_t x = static_cast<std::uint64_t>(op) * 131 + static_cast<unsigned char>(tag);
    const auto next = [&x] {
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull + 0x9e3779b97f4a7c15ull;
        return x ^ (x >> 31);
    };
    QString s = QStringLiteral("%1|%2|").arg(QLatin1Char(tag)).arg(op);
    for (int i = 40 + static_cast<int>(next() % 900); i > 0; --i)
        s += QLatin1Char(static_cast<char>('a' + next() % 26));
    return s;
}

inline Row makeRow(std::int64_t op) {
    return {field('N', op), field('P', op), field('A', op), field('E', op)};
}

// The operation that wrote the row, when all four fields are exactly what it writes.
inline std::optional<std::int64_t> writerOf(const Row& row) {
    bool ok = false;
    const std::int64_t op = row.name.section(QLatin1Char('|'), 1, 1).toLongLong(&ok);
    const Row expected = makeRow(op);
    if (!ok || row.name != expected.name || row.phone != expected.phone ||
        row.address != expected.address || row.email != expected.email)
        return std::nullopt;
    return op;
}

} // namespace quillbox::reliability
