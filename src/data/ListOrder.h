#pragma once

#include <QCollator>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <array>
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
// at a printable ASCII character with plain ASCII before and after it; where the locale's rules
// give every such character a place of its own (no pair of letters sorting as one), the
// collator's order of them is read once into a table, and such pairs are told apart by it. Every
// other pair goes to the collator. Not to be shared between threads: a copy has a collator of its
// own.
class ListComparer {
public:
    explicit ListComparer(const QLocale& collation = listCollation());
    ListComparer(const ListComparer& other);
    ListComparer& operator=(const ListComparer&) = delete;

    int compare(QStringView a, QStringView b) const;
    bool operator()(QStringView a, QStringView b) const { return compare(a, b) < 0; }

    // The table's places of a name's first characters, made once per name for a sort, so that
    // most comparisons in it are one of two numbers.
    struct Key {
        // 7 bits a character, the first highest, eight to a word; 0 past the ranked ones.
        std::array<std::uint64_t, 2> ranks{};
        std::uint32_t at = 0;          // the name's index, for the sort
        std::uint16_t plainAfter = 0;  // bit i: the character after the i-th is ASCII, or none
        std::uint8_t length = 0;       // how many leading characters are ranked, at most 16
    };
    Key key(QStringView s, std::uint32_t at) const;
    // compare(a, b) where the keys of a and b tell it, else 0.
    static int byKeys(const Key& ka, const Key& kb);

private:
    std::uint8_t rank(char16_t c) const { return c < rank_.size() ? rank_[c] : 0; }

    QCollator collator_;
    // The place of each printable ASCII character in the collator's order, case ignored; all 0
    // where the table may not be used.
    std::array<std::uint8_t, 128> rank_{};
};

// The order in which the list shows `count` names, `nameAt(i)` the i-th: the indices from first
// to last, equal names in the order given; the order of a stable sort by listCollator().compare.
// The list, export and the benchmarks all use it. A long list is sorted on two threads.
std::vector<std::size_t> listOrder(std::size_t count,
                                   const std::function<QStringView(std::size_t)>& nameAt);

} // namespace quillbox::data
