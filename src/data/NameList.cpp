#include "NameList.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>

namespace quillbox::data {

void NameList::Free::operator()(char16_t* p) const {
    std::free(p);
}

NameList::NameList(const NameList& other) {
    *this = other;
}

NameList& NameList::operator=(const NameList& other) {
    if (this == &other)
        return *this;
    clear();
    std::size_t chars = 0;
    for (const Entry& e : other.entries_)
        chars += e.length;
    reserve(other.size(), chars);
    for (std::size_t i = 0; i < other.size(); ++i)
        append(other.name(i), other.number(i));
    return *this;
}

void NameList::reserve(std::size_t entries, std::size_t chars) {
    entries_.reserve(entries);
    if (chars <= capacity_)
        return;
    // realloc: a large buffer grows by remapping its pages, never held twice while it moves.
    auto* grown = static_cast<char16_t*>(std::realloc(chars_.get(), chars * sizeof(char16_t)));
    if (!grown)
        throw std::bad_alloc();
    (void)chars_.release();
    chars_.reset(grown);
    capacity_ = chars;
}

char16_t* NameList::room(std::size_t length) {
    // Offsets are 32 bits: 8 GB of text, beyond what the file's values can fill in memory.
    if (length > std::numeric_limits<std::uint32_t>::max() - used_)
        throw std::bad_alloc();
    if (used_ + length > capacity_)
        reserve(entries_.capacity(),
                std::max<std::size_t>(used_ + length, capacity_ + capacity_ / 2 + 256));
    char16_t* at = chars_.get() + used_;
    used_ += length;
    return at;
}

void NameList::append(QStringView name, std::int32_t number) {
    const auto length = static_cast<std::size_t>(name.size());
    // copy_n, not memcpy: an empty name may have no buffer at all, and memcpy from null is
    // undefined even for no bytes.
    std::copy_n(name.utf16(), length, appendRaw(length, number));
}

char16_t* NameList::appendRaw(std::size_t length, std::int32_t number) {
    inListOrder_ = false;
    char16_t* at = room(length);
    entries_.push_back({static_cast<std::uint32_t>(at - chars_.get()),
                        static_cast<std::uint32_t>(length), number});
    return at;
}

void NameList::shortenLast(std::size_t units) {
    inListOrder_ = false;
    entries_.back().length -= static_cast<std::uint32_t>(units);
    used_ -= units;
}

void NameList::insert(std::size_t at, QStringView name, std::int32_t number) {
    inListOrder_ = false;
    const auto length = static_cast<std::size_t>(name.size());
    char16_t* text = room(length);
    std::copy_n(name.utf16(), length, text);
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at),
                    {static_cast<std::uint32_t>(text - chars_.get()),
                     static_cast<std::uint32_t>(length), number});
}

void NameList::erase(std::size_t first, std::size_t last) {
    inListOrder_ = false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(first),
                   entries_.begin() + static_cast<std::ptrdiff_t>(last));
    if (entries_.empty())
        clear();
}

void NameList::clear() {
    inListOrder_ = false;
    entries_ = {};
    chars_.reset();
    used_ = capacity_ = 0;
}

void NameList::reorder(const std::vector<std::size_t>& order) {
    inListOrder_ = false;
    std::vector<Entry> reordered;
    reordered.reserve(order.size());
    for (const std::size_t from : order)
        reordered.push_back(entries_[from]);
    entries_ = std::move(reordered);
}

} // namespace quillbox::data
