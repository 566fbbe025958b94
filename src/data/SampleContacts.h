#pragma once

#include "Schema.h"

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::data {

// One generated contact, its texts in UTF-8, in the form the program stores them.
struct SampleContact {
    std::string name;    // "Last, First", with at times a middle initial or a second given name
    std::string phone;   // one number, at times two joined by " / "
    std::string address; // two or three lines joined by "\r\n"
    std::string email;   // lowercase ASCII, derived from the name
};

// Makes realistic contacts, the same sequence for the same seed on every platform and
// standard library: indices come from the raw engine output, never from a distribution.
// Names are unique among the contacts of one generator.
class SampleContacts {
public:
    // The longest texts the program keeps.
    static constexpr int maxName = contact::field::name.limit;
    static constexpr int maxPhone = contact::field::phone.limit;
    static constexpr int maxAddress = contact::field::address.limit;
    static constexpr int maxEmail = contact::field::email.limit;

    // Well under the number of distinct names, so that finding a free one stays quick.
    static constexpr std::int64_t maxContacts = 10'000'000;

    explicit SampleContacts(std::uint64_t seed);

    // Fills `out` with the next contact; reusing one SampleContact spares allocations. Past
    // maxContacts this throws std::length_error.
    void next(SampleContact& out);

private:
    std::uint64_t pick(std::uint64_t n) { return rng_() % n; }
    void appendPattern(std::string& out, std::string_view pattern);
    void makeName(SampleContact& out, std::size_t& first, std::size_t& last, std::size_t& variant);
    void makeEmail(SampleContact& out, std::size_t first, std::size_t last, std::size_t variant);
    void makePhoneAndAddress(SampleContact& out);

    std::mt19937_64 rng_;
    std::vector<bool> taken_; // by name key: (last * firsts + first) * variants + variant
    std::int64_t made_ = 0;
};

} // namespace quillbox::data
