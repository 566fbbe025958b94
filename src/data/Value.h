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

    // The table and field a value was read from, for the text of a conversion error: without
    // them a user could not tell which field to mend. Record sets set it, from originOf; it
    // takes no part in comparisons.
    struct Origin {
        QString table, field;
    };
    // The one Origin of these names for the life of the process, so that values can point at it
    // and copy nothing but the pointer. The names are the program's own, a handful in all.
    static const Origin* originOf(const QString& table, const QString& field);
    void setOrigin(const Origin* origin) { origin_ = origin; }
    // "the field 'Name' of the table 'Addresses'", or empty text.
    QString origin() const;

    friend bool operator==(const Value& a, const Value& b) { return a.v_ == b.v_; }

private:
    Storage v_;
    const Origin* origin_ = nullptr;
};

} // namespace quillbox::data
