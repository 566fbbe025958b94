#include "Value.h"

#include "EngineError.h"

#include <cmath>
#include <limits>

namespace quillbox::data {

namespace {

[[noreturn]] void nullError() {
    throw EngineError(error::InvalidUseOfNull, QStringLiteral("Invalid use of Null."));
}

[[noreturn]] void mismatch(const QString& text) {
    throw EngineError(error::TypeMismatch,
                      QStringLiteral("Type mismatch: \"%1\" is not a number.").arg(text));
}

std::int32_t narrow(double d) {
    const double r = std::nearbyint(d); // the default rounding mode: half to even
    if (!(r >= std::numeric_limits<std::int32_t>::min() &&
          r <= std::numeric_limits<std::int32_t>::max()))
        throw EngineError(error::Overflow,
                          QStringLiteral("Overflow: %1 does not fit in 32 bits.").arg(d));
    return static_cast<std::int32_t>(r);
}

} // namespace

QString Value::toText() const {
    switch (type()) {
    case Type::Null:
        nullError();
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
        nullError();
    case Type::Integer: {
        const auto i = std::get<std::int64_t>(v_);
        if (i < std::numeric_limits<std::int32_t>::min() ||
            i > std::numeric_limits<std::int32_t>::max())
            throw EngineError(error::Overflow,
                              QStringLiteral("Overflow: %1 does not fit in 32 bits.").arg(i));
        return static_cast<std::int32_t>(i);
    }
    case Type::Real:
        return narrow(std::get<double>(v_));
    case Type::Text:
        break;
    }
    const QString& text = std::get<QString>(v_);
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        mismatch(text);
    return narrow(d);
}

double Value::toDouble() const {
    switch (type()) {
    case Type::Null:
        nullError();
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
        mismatch(text);
    return d;
}

} // namespace quillbox::data
