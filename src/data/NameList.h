#pragma once

#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillbox::data {

// Names, each with a 32-bit number, held compactly: the texts side by side in one UTF-16 buffer,
// each entry 12 bytes (where its text lies, and its number). A million contacts' names cost
// their characters and 12 MB, not a string object, its header and an allocation each.
//
// The entries may be reordered, inserted and erased; a text stays where it was written and an
// erased one is dropped from the buffer only when the buffer is copied or the list emptied.
class NameList {
public:
    NameList() = default;
    NameList(const NameList& other);
    NameList& operator=(const NameList& other);
    NameList(NameList&&) noexcept = default;
    NameList& operator=(NameList&&) noexcept = default;
    ~NameList() = default;

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    QStringView name(std::size_t i) const {
        const Entry& e = entries_[i];
        return QStringView(chars_.get() + e.offset, static_cast<qsizetype>(e.length));
    }
    std::int32_t number(std::size_t i) const { return entries_[i].number; }
    void setNumber(std::size_t i, std::int32_t number) {
        entries_[i].number = number;
        inListOrder_ = false;
    }

    // Room for `entries` entries and `chars` UTF-16 units of text in all, made at once.
    void reserve(std::size_t entries, std::size_t chars = 0);
    void append(QStringView name, std::int32_t number);
    // Appends an entry whose text of `length` units the caller writes at once into the buffer
    // returned: the reader decodes straight into the list, with no string in between.
    char16_t* appendRaw(std::size_t length, std::int32_t number);
    // Gives back the last `units` units of the last entry's text, which the caller wrote fewer
    // of than it asked for.
    void shortenLast(std::size_t units);
    void insert(std::size_t at, QStringView name, std::int32_t number);
    void erase(std::size_t first, std::size_t last);
    void clear();
    // The entries in the order `order` gives: the i-th becomes what was at order[i]. Each index
    // once; the texts stay where they are.
    void reorder(const std::vector<std::size_t>& order);

    // Whether the entries are known to stand in the list's order (sortForList leaves them so):
    // whoever shows them need not check. Any change to the entries forgets it.
    bool inListOrder() const { return inListOrder_; }
    void markInListOrder() { inListOrder_ = true; }

private:
    struct Entry {
        std::uint32_t offset;
        std::uint32_t length;
        std::int32_t number;
    };
    struct Free {
        void operator()(char16_t* p) const;
    };

    char16_t* room(std::size_t length);

    std::unique_ptr<char16_t[], Free> chars_;
    std::size_t used_ = 0, capacity_ = 0; // units of chars_
    std::vector<Entry> entries_;
    bool inListOrder_ = false;
};

} // namespace quillbox::data
