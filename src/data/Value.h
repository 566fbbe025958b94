#pragma once

#include <QString>

#include <cstdint>
#include <variant>

namespace quillbox::data {

// One field's value as the record set hands it out: Null, a whole number, a real number or
// text. SQLite types each value, not each column, so a file filled by other means can hold any
// of them in any field; the conversions say what each caller may rely on.
class Value {
public:
    enum class Type { Null, Integer, Real, Text };

    Value() = default;
    Value(int v) : v_(std::int64_t{v}) {}
    Value(std::int64_t v) : v_(v) {}
    Value(double v) : v_(v) {}
    Value(QString v) : v_(std::move(v)) {}
    Value(const char* v) : v_(QString::fromUtf8(v)) {}

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isNull() const { return type() == Type::Null; }

    // The value as text; a number is written in decimal. Null is error 94.
    QString toText() const;
    // The value as a 32-bit signed integer: Null is error 94, text that is not a whole number
    // error 3464, a value beyond 32 bits error 3349. A real is rounded half to even.
    std::int32_t toInt32() const;
    // The value as a number for comparisons: Null is error 94, text that is not a number 3464.
    double toDouble() const;

    using Storage = std::variant<std::monostate, std::int64_t, double, QString>;
    const Storage& storage() const { return v_; }

    friend bool operator==(const Value&, const Value&) = default;

private:
    Storage v_;
};

} // namespace quillbox::data
