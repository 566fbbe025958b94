#include "Value.h"

#include "EngineError.h"

#include <cmath>
#include <limits>
#include <mutex>
#include <set>
#include <tuple>

namespace quillbox::data {

namespace {

[[noreturn]] void nullError(const QString& origin) {
    throw EngineError(
        error::InvalidUseOfNull,
        origin.isEmpty()
            ? QStringLiteral("Invalid use of Null.")
            : QStringLiteral("Invalid use of Null: %1 holds no value (Null).").arg(origin));
}

[[noreturn]] void mismatch(const QString& origin, const QString& text) {
    throw EngineError(error::TypeMismatch,
                      origin.isEmpty()
                          ? QStringLiteral("Type mismatch: \"%1\" is not a number.").arg(text)
                          : QStringLiteral("Type mismatch: %1 holds \"%2\", which is not a number.")
                                .arg(origin, text));
}

[[noreturn]] void overflow(const QString& origin, const QString& number) {
    throw EngineError(error::Overflow,
                      origin.isEmpty()
                          ? QStringLiteral("Overflow: %1 does not fit in 32 bits.").arg(number)
                          : QStringLiteral("Overflow: %1 holds %2, which does not fit in 32 bits.")
                                .arg(origin, number));
}

std::int32_t narrow(double d, const Value& from) {
    const double r = std::nearbyint(d); // the default rounding mode: half to even
    if (!(r >= std::numeric_limits<std::int32_t>::min() &&
          r <= std::numeric_limits<std::int32_t>::max()))
        overflow(from.origin(), QString::number(d, 'g', 17));
    return static_cast<std::int32_t>(r);
}

} // namespace

const Value::Origin* Value::originOf(const QString& table, const QString& field) {
    struct Less {
        bool operator()(const Origin& a, const Origin& b) const {
            return std::tie(a.table, a.field) < std::tie(b.table, b.field);
        }
    };
    static std::mutex lock;
    static auto* origins = new std::set<Origin, Less>; // never freed: values point into it
    const std::lock_guard<std::mutex> hold(lock);
    return &*origins->insert({table, field}).first;
}

QString Value::origin() const {
    if (!origin_)
        return {};
    return QStringLiteral("the field '%1' of the table '%2'").arg(origin_->field, origin_->table);
}

QString Value::toText() const {
    switch (type()) {
    case Type::Null:
        nullError(origin());
    case Type::Integer:
        return QString::number(std::get<std::int64_t>(v_));
    case Type::Real:
        return QString::number(std::get<double>(v_), 'g', 17);
    case Type::Text:
        break;
    }
    return std::get<QString>(v_);
}

std::int32_t Value::toInt32() const {
    switch (type()) {
    case Type::Null:
        nullError(origin());
    case Type::Integer: {
        const auto i = std::get<std::int64_t>(v_);
        if (i < std::numeric_limits<std::int32_t>::min() ||
            i > std::numeric_limits<std::int32_t>::max())
            overflow(origin(), QString::number(i));
        return static_cast<std::int32_t>(i);
    }
    case Type::Real:
        return narrow(std::get<double>(v_), *this);
    case Type::Text:
        break;
    }
    const QString& text = std::get<QString>(v_);
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        mismatch(origin(), text);
    return narrow(d, *this);
}

double Value::toDouble() const {
    switch (type()) {
    case Type::Null:
        nullError(origin());
    case Type::Integer:
        return static_cast<double>(std::get<std::int64_t>(v_));
    case Type::Real:
        return std::get<double>(v_);
    case Type::Text:
        break;
    }
    const QString& text = std::get<QString>(v_);
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok)
        mismatch(origin(), text);
    return d;
}

} // namespace quillbox::data
