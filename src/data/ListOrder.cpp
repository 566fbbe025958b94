#include "ListOrder.h"

#include <algorithm>
#include <numeric>
#include <span>
#include <system_error>
#include <thread>

namespace quillbox::data {

namespace {

constexpr char16_t firstPrintable = 0x20, lastPrintable = 0x7e;

// Languages whose collation, in every release of the rules so far, sorts each printable ASCII
// character on its own (no contractions such as Czech "ch" or Danish "aa"), and whose order the
// order test checks. Others always ask the collator.
bool asciiStandsAlone(QLocale::Language language) {
    switch (language) {
    case QLocale::English:
    case QLocale::German:
    case QLocale::French:
    case QLocale::Russian:
    case QLocale::Japanese:
        return true;
    default:
        return false;
    }
}

// Below this many names a second thread costs more than it saves.
constexpr std::size_t worthAThread = 2'000;

// Runs `f` on a thread of its own and `g` on this one; both on this one when no thread can be had.
template <typename F, typename G> void inParallel(const F& f, const G& g) {
    std::thread other;
    try {
        other = std::thread([&f] { f(); });
    } catch (const std::system_error&) {
        f();
    }
    g();
    if (other.joinable())
        other.join();
}

} // namespace

QLocale listCollation() {
    const QLocale locale = QLocale().collation();
    return locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates)
                                           : locale;
}

QCollator listCollator() {
    QCollator collator(listCollation());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

ListComparer::ListComparer(const QLocale& collation) : collator_(collation) {
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    if (!asciiStandsAlone(collation.language()))
        return;
    const auto cmp = [this](QStringView x, QStringView y) { return collator_.compare(x, y); };
    std::vector<char16_t> chars;
    for (char16_t c = firstPrintable; c < tableEnd; ++c)
        if (c <= lastPrintable || (c >= 0xc0 && QChar::isLetter(c)))
            chars.push_back(c);
    std::stable_sort(chars.begin(), chars.end(), [&](char16_t x, char16_t y) {
        return cmp(QStringView(&x, 1), QStringView(&y, 1)) < 0;
    });
    // Read from the collator rather than trusted. With `base` the first character of a place
    // and `lowest` the first of all, c sorts as `base` with an accent at most exactly when it
    // sorts from `base` on but before `base` followed by `lowest`: a second letter in it (ß as
    // "ss") or a place of its own (Ł) would put it after. ASCII characters that do not sort so
    // open a place of their own; other characters stay out of the table.
    const char16_t lowest = chars.front();
    const char16_t aThenLowest[2] = {u'a', lowest};
    if (cmp(u"a", QStringView(aThenLowest, 2)) >= 0)
        return; // the lowest character is ignored: the test below would tell nothing
    std::array<std::uint8_t, tableEnd> rank{}, accent{};
    char16_t base = 0, previous = 0;
    std::uint8_t place = 0, accents = 0;
    for (const char16_t c : chars) {
        const char16_t baseThenLowest[2] = {base, lowest};
        if (place && cmp(QStringView(&c, 1), QStringView(baseThenLowest, 2)) < 0) {
            const bool sameAccent = rank[previous] == place &&
                                    cmp(QStringView(&previous, 1), QStringView(&c, 1)) == 0;
            accent[c] = sameAccent ? accent[previous] : ++accents;
        } else if (c <= lastPrintable) {
            if (place == 127)
                return; // more places than a key holds
            base = c;
            accent[c] = ++accents;
            ++place;
        } else {
            continue;
        }
        rank[c] = place;
        previous = c;
    }
    // Every printable ASCII character must have a place, or the table is not for this locale.
    for (char16_t c = firstPrintable; c <= lastPrintable; ++c)
        if (!rank[c])
            return;
    rank_ = rank;
    accent_ = accent;
}

ListComparer::ListComparer(const ListComparer& other)
    : collator_(other.collator_.locale()), rank_(other.rank_), accent_(other.accent_) {
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
}

int ListComparer::compare(QStringView a, QStringView b) const {
    // The collator's own rule, before it looks at the texts: empty text comes first, even before
    // a name of characters it ignores.
    if (a.isEmpty())
        return b.isEmpty() ? 0 : -1;
    if (b.isEmpty())
        return 1;
    if (rank_[firstPrintable]) {
        const qsizetype n = std::min(a.size(), b.size());
        bool allRanked = true, accentsDiffer = false;
        qsizetype i = 0;
        for (; i < n; ++i) {
            const char16_t x = a[i].unicode(), y = b[i].unicode();
            if (x == y) {
                allRanked = allRanked && rank(x);
                continue;
            }
            const std::uint8_t rx = rank(x), ry = rank(y);
            if (!rx || !ry)
                break;
            if (rx == ry) {
                // The base letters decide before any accent does, wherever it stands.
                accentsDiffer = accentsDiffer || accent_[x] != accent_[y];
                continue;
            }
            // The same text before, ending in a plain character: nothing in it reaches here.
            if ((i == 0 || plainAt(a, i - 1)) && plainAt(a, i + 1) && plainAt(b, i + 1))
                return rx < ry ? -1 : 1;
            break;
        }
        if (i == n && allRanked) {
            // The same base letters up to the end of the shorter one.
            if (a.size() == b.size()) {
                if (!accentsDiffer)
                    return 0;
            } else if (rank((a.size() > n ? a : b)[n].unicode())) {
                return a.size() < b.size() ? -1 : 1;
            }
        }
    }
    return collator_.compare(a, b);
}

QString ListComparer::prefixEnd(QStringView prefix) {
    // The collation gives U+FFFF a primary weight above every character's, for just such ranges.
    return prefix.toString() + QChar(0xFFFF);
}

ListComparer::Key ListComparer::key(QStringView s, std::uint32_t at) const {
    Key k;
    k.at = at;
    if (!rank_[firstPrintable])
        return k;
    const qsizetype n = std::min<qsizetype>(s.size(), 16);
    for (qsizetype i = 0; i < n; ++i) {
        const std::uint8_t r = rank(s[i].unicode());
        if (!r)
            break;
        k.ranks[static_cast<std::size_t>(i / 8)] |= std::uint64_t{r} << (49 - 7 * (i % 8));
        if (plainAt(s, i + 1))
            k.plainAfter |= static_cast<std::uint16_t>(1u << i);
        k.length = static_cast<std::uint8_t>(i + 1);
    }
    return k;
}

namespace {

using Key = ListComparer::Key;

// Merges the sorted `a` and `b` into `out`. The merged order is fixed (no two keys are level), so
// in parallel one thread takes the first half from the front while the other takes the rest
// from the back, and the two meet exactly.
template <typename Less>
void merge(std::span<const Key> a, std::span<const Key> b, std::span<Key> out, const Less& front,
           const Less& back, bool parallel) {
    const std::size_t na = a.size(), nb = b.size(), n = na + nb, half = n / 2;
    const auto fromFront = [&] {
        std::size_t i = 0, j = 0;
        for (std::size_t k = 0; k < half; ++k)
            out[k] = j == nb || (i < na && !front(b[j], a[i])) ? a[i++] : b[j++];
    };
    const auto fromBack = [&] {
        std::size_t i = na, j = nb;
        for (std::size_t k = n; k-- > half;)
            out[k] = j == 0 || (i > 0 && back(b[j - 1], a[i - 1])) ? a[--i] : b[--j];
    };
    if (parallel) {
        inParallel(fromFront, fromBack);
    } else {
        fromFront();
        fromBack();
    }
}

// listOrder over `nameAt(i)` and `placeAt(i)`, both cheap to call.
template <typename NameAt, typename PlaceAt>
std::vector<std::size_t> orderBy(std::size_t count, const NameAt& nameAt, const PlaceAt& placeAt) {
    // Level names in the order of their places: no two keys are level.
    const auto lessBy = [&nameAt, &placeAt](const ListComparer& c) {
        return [&nameAt, &placeAt, &c](const Key& x, const Key& y) {
            int r = ListComparer::byKeys(x, y);
            if (!r)
                r = c.compare(nameAt(x.at), nameAt(y.at));
            return r ? r < 0 : placeAt(x.at) < placeAt(y.at);
        };
    };
    const ListComparer one, other(one);
    const auto less = lessBy(one), otherLess = lessBy(other);
    const bool parallel = count >= worthAThread && std::thread::hardware_concurrency() >= 2;
    const auto both = [parallel](const auto& f, const auto& g) {
        if (parallel) {
            inParallel(f, g);
        } else {
            f();
            g();
        }
    };

    std::vector<Key> keys(count);
    const auto makeKeys = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            keys[i] = one.key(nameAt(i), static_cast<std::uint32_t>(i));
    };
    both([&] { makeKeys(0, count / 2); }, [&] { makeKeys(count / 2, count); });

    // Names that come nearly in order (read from an index on them) are mostly taken as they
    // come: the run in order is kept, moved up to the front of the keys, and the rest sorted
    // apart and merged in. Names in no order cost a comparison each more.
    std::vector<Key> aside;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (kept == 0 || !less(keys[i], keys[kept - 1]))
            keys[kept++] = keys[i];
        else
            aside.push_back(keys[i]);
    }
    const auto half = static_cast<std::ptrdiff_t>(aside.size() / 2);
    both([&] { std::sort(aside.begin(), aside.begin() + half, otherLess); },
         [&] { std::sort(aside.begin() + half, aside.end(), less); });
    std::vector<Key> sorted(aside.size());
    std::span<const Key> all(aside);
    merge(all.first(aside.size() / 2), all.subspan(aside.size() / 2), std::span<Key>(sorted),
          otherLess, less, parallel);
    aside = {};
    // From the back, so that no key written lands on a kept one still to be read: the keys
    // hold the two runs without a third array.
    for (std::size_t i = kept, j = sorted.size(), k = count; j > 0;) {
        --k;
        keys[k] = i > 0 && less(sorted[j - 1], keys[i - 1]) ? keys[--i] : sorted[--j];
    }

    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = keys[i].at;
    return order;
}

} // namespace

std::vector<std::size_t> listOrder(std::size_t count,
                                   const std::function<QStringView(std::size_t)>& nameAt,
                                   const std::function<std::int64_t(std::size_t)>& placeAt) {
    std::vector<QStringView> names(count);
    std::vector<std::int64_t> places(placeAt ? count : 0);
    for (std::size_t i = 0; i < count; ++i) {
        names[i] = nameAt(i);
        if (placeAt)
            places[i] = placeAt(i);
    }
    return orderBy(
        count, [&names](std::size_t i) { return names[i]; },
        [&places](std::size_t i) {
            return places.empty() ? static_cast<std::int64_t>(i) : places[i];
        });
}

void sortForList(NameList& list) {
    list.reorder(orderBy(
        list.size(), [&list](std::size_t i) { return list.name(i); },
        [&list](std::size_t i) { return list.number(i); }));
    list.markInListOrder();
}

} // namespace quillbox::data
