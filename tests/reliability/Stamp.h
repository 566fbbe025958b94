#pragma once

// The contents the crash drivers write. Each of a contact's four fields carries the operation
// that wrote it and a checksum of the whole row, followed by filler drawn from the operation,
// so a row whose fields come from two different writes, or were cut short, shows.

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace quillbox::reliability {

struct Row {
    QString name, phone, address, email;
};

namespace detail {

inline constexpr std::array<char, 4> tags{'N', 'P', 'A', 'E'};

inline std::uint64_t mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// Long enough that a row spans pages now and then.
inline QString filler(char tag, std::int64_t op) {
    std::uint64_t state =
        mix(static_cast<std::uint64_t>(op) * 131 + static_cast<unsigned char>(tag));
    const int length = 40 + static_cast<int>(state % 900);
    QString s;
    s.reserve(length);
    for (int i = 0; i < length; ++i) {
        state = mix(state);
        s += QLatin1Char(static_cast<char>('a' + state % 26));
    }
    return s;
}

inline std::uint32_t fnv(const QString& s, std::uint32_t h) {
    for (QChar c : s) {
        h ^= c.unicode();
        h *= 16777619u;
    }
    return h;
}

} // namespace detail

inline std::uint32_t rowHash(std::int64_t op) {
    std::uint32_t h = 2166136261u;
    for (char tag : detail::tags)
        h = detail::fnv(detail::filler(tag, op), h);
    return h ^ static_cast<std::uint32_t>(op);
}

inline QString hashText(std::uint32_t h) {
    return QStringLiteral("%1").arg(h, 8, 16, QLatin1Char('0'));
}

inline Row makeRow(std::int64_t op) {
    const QString head = QStringLiteral("|%1|%2|").arg(op).arg(hashText(rowHash(op)));
    auto field = [&](char tag) { return QLatin1Char(tag) + head + detail::filler(tag, op); };
    return {field('N'), field('P'), field('A'), field('E')};
}

// The operation that wrote the row, when all four fields are exactly what it writes.
inline std::optional<std::int64_t> writerOf(const Row& row) {
    const QStringList parts = row.name.split(QLatin1Char('|'));
    if (parts.size() != 4)
        return std::nullopt;
    bool ok = false;
    const std::int64_t op = parts[1].toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const Row expected = makeRow(op);
    if (row.name != expected.name || row.phone != expected.phone ||
        row.address != expected.address || row.email != expected.email)
        return std::nullopt;
    return op;
}

} // namespace quillbox::reliability
