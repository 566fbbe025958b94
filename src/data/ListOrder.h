#pragma once

#include "NameList.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace quillbox::data {

// The locale whose collation orders the list: the user's, or English where that is the C locale
// (whose collator compares raw UTF-16 units and would put "Åsa" after "Zoe").
QLocale listCollation();

// How the program's list compares names: in listCollation(), case ignored.
QCollator listCollator();

// Compares names exactly as listCollator().compare does, only faster. Most pairs of names part
// at a letter whose base letter differs, with plain letters before and after it. Where the
// locale's rules give each printable ASCII character a place of its own (no pair of letters
// sorting as one), the collator's order of base letters is read once into a table: ASCII, and the
// Latin letters with accents that sort as their base letter does (not ß, Ł or Œ). Such pairs are
// told apart by the table; every other pair goes to the collator. Not to be shared between
// threads: a copy has a collator of its own.
class ListComparer {
public:
    explicit ListComparer(const QLocale& collation = listCollation());
    ListComparer(const ListComparer& other);
    ListComparer& operator=(const ListComparer&) = delete;

    int compare(QStringView a, QStringView b) const;
    bool operator()(QStringView a, QStringView b) const { return compare(a, b) < 0; }

    // The names that begin with `prefix` as the list reads them, case and accents aside wherever
    // the collation sorts a letter with its base letter ("zu" begins "Zúñiga"; "oz" begins
    // "Özdemir", though not in Swedish, which sorts Ö after Z), are one run of the list: those
    // from `prefix` on and before prefixEnd(prefix).
    static QString prefixEnd(QStringView prefix);

    // The table's places of a name's first characters, made once per name for a sort, so that
    // most comparisons in it are one of two numbers.
    struct Key {
        // 7 bits a character, the first highest, eight to a word; 0 past the ranked ones.
        std::array<std::uint64_t, 2> ranks{};
        std::uint32_t at = 0;          // the name's index, for the sort
        std::uint16_t plainAfter = 0;  // bit i: the character after the i-th is ranked, or none
        std::uint8_t length = 0;       // how many leading characters are ranked, at most 16
    };
    Key key(QStringView s, std::uint32_t at) const;

    // compare(a, b) where the keys of a and b tell it, else 0.
    static int byKeys(const Key& ka, const Key& kb) {
        const std::size_t w = ka.ranks[0] != kb.ranks[0] ? 0 : 1;
        if (ka.ranks[w] == kb.ranks[w])
            return 0;
        // The first character whose places differ. Both ranked, with ranked text before them
        // and a ranked character or none after, it decides as the scan in compare() would.
        const int i = static_cast<int>(w) * 8 +
                      (55 - (63 - std::countl_zero(ka.ranks[w] ^ kb.ranks[w]))) / 7;
        if (i < ka.length && i < kb.length && (((ka.plainAfter & kb.plainAfter) >> i) & 1))
            return ka.ranks[w] < kb.ranks[w] ? -1 : 1;
        return 0;
    }

private:
    static constexpr char16_t tableEnd = 0x180; // past Latin Extended-A
    std::uint8_t rank(char16_t c) const { return c < tableEnd ? rank_[c] : 0; }
    // A character after a decisive one leaves it alone: none, ASCII, or a ranked letter (a mark
    // would change it).
    bool plainAt(QStringView s, qsizetype i) const {
        return i >= s.size() || s[i].unicode() < 0x80 || rank(s[i].unicode());
    }

    QCollator collator_;
    // The place of each character's base letter in the collator's order, 0 for a character the
    // table does not hold; all 0 where the table may not be used. Characters of one place and
    // one accent (differing in case at most) share an accent number.
    std::array<std::uint8_t, tableEnd> rank_{};
    std::array<std::uint8_t, tableEnd> accent_{};
};

// The order in which the list shows `count` names, `nameAt(i)` the i-th: the indices from first
// to last, as listCollator().compare has them; equal names in the order of their places
// `placeAt(i)` where given (no two alike), else in the order given. The list, export and the
// benchmarks all use it. Cheapest for names that come nearly in order; a long list is sorted on
// two threads.
std::vector<std::size_t> listOrder(std::size_t count,
                                   const std::function<QStringView(std::size_t)>& nameAt,
                                   const std::function<std::int64_t(std::size_t)>& placeAt = {});
// Puts `list` in the order listOrder gives its names, equal ones in the order of their numbers,
// with no copy of them made, and marks it so (NameList::inListOrder): for the list's own read,
// where the number is the record number.
void sortForList(NameList& list);

} // namespace quillbox::data
