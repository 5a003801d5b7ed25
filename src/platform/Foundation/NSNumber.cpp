#include "NSNumber.h"

#include <cmath>
#include <functional>

std::shared_ptr<NSNumber> NSNumber::numberWithBool(bool value) {
    auto number = std::make_shared<NSNumber>();
    number->type_ = Type::Bool;
    number->bits_ = value ? 1 : 0;
    return number;
}

std::shared_ptr<NSNumber> NSNumber::numberWithInteger(int64_t value) {
    auto number = std::make_shared<NSNumber>();
    number->type_ = Type::Integer;
    number->bits_ = static_cast<uint64_t>(value);
    return number;
}

std::shared_ptr<NSNumber> NSNumber::numberWithUnsignedLongLong(uint64_t value) {
    auto number = std::make_shared<NSNumber>();
    number->type_ =
        value > static_cast<uint64_t>(INT64_MAX) ? Type::UnsignedInteger : Type::Integer;
    number->bits_ = value;
    return number;
}

std::shared_ptr<NSNumber> NSNumber::numberWithFloat(float value) {
    auto number = std::make_shared<NSNumber>();
    number->type_ = Type::Float;
    number->real_ = value;
    return number;
}

std::shared_ptr<NSNumber> NSNumber::numberWithDouble(double value) {
    auto number = std::make_shared<NSNumber>();
    number->type_ = Type::Double;
    number->real_ = value;
    return number;
}

bool NSNumber::boolValue() const {
    return isReal() ? real_ != 0 : bits_ != 0;
}

int64_t NSNumber::integerValue() const {
    if (!isReal()) return static_cast<int64_t>(bits_);
    if (std::isnan(real_)) return 0;
    if (real_ >= 9223372036854775807.0) return INT64_MAX;
    if (real_ <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(real_);
}

uint64_t NSNumber::unsignedLongLongValue() const {
    if (!isReal()) return bits_;
    return static_cast<uint64_t>(integerValue());
}

double NSNumber::doubleValue() const {
    switch (type_) {
        case Type::Float:
        case Type::Double:
            return real_;
        case Type::UnsignedInteger:
            return static_cast<double>(bits_);
        default:
            return static_cast<double>(static_cast<int64_t>(bits_));
    }
}

bool NSNumber::isEqual(const NSObject& other) const {
    const auto* number = dynamic_cast<const NSNumber*>(&other);
    if (!number) return false;
    if (!isReal() && !number->isReal())
        return bits_ == number->bits_ &&
               (type_ == Type::UnsignedInteger) == (number->type_ == Type::UnsignedInteger);
    return doubleValue() == number->doubleValue();
}

size_t NSNumber::hash() const {
    // Equal numbers hash alike across kinds: integral reals hash as their integer.
    const double d = doubleValue();
    if (!isReal() || (std::trunc(d) == d && std::fabs(d) < 9.2e18))
        return std::hash<int64_t>()(isReal() ? static_cast<int64_t>(d)
                                             : static_cast<int64_t>(bits_));
    return std::hash<double>()(d);
}
