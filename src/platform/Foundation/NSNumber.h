#pragma once
// A boxed number that keeps its kind and its bits: a boolean, a signed 64-bit integer, an unsigned
// integer above INT64_MAX, a 32-bit or a 64-bit real. Stored directly in an archive's $objects.

#include <cstdint>
#include <memory>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSNumber : public NSObject {
  public:
    enum class Type { Bool, Integer, UnsignedInteger, Float, Double };

    NS_CLASS_RECORD("NSNumber", NSObject::objcClass())

    static std::shared_ptr<NSNumber> numberWithBool(bool value);
    static std::shared_ptr<NSNumber> numberWithInteger(int64_t value);
    // Values up to INT64_MAX are integers; larger ones keep their unsigned kind.
    static std::shared_ptr<NSNumber> numberWithUnsignedLongLong(uint64_t value);
    static std::shared_ptr<NSNumber> numberWithFloat(float value);
    static std::shared_ptr<NSNumber> numberWithDouble(double value);

    Type type() const { return type_; }
    bool isReal() const { return type_ == Type::Float || type_ == Type::Double; }
    bool boolValue() const;
    int64_t integerValue() const;  // reals truncate toward zero, as Foundation converts them
    uint64_t unsignedLongLongValue() const;
    float floatValue() const { return static_cast<float>(doubleValue()); }
    double doubleValue() const;

    // Foundation compares numbers by value across kinds: @1 isEqual: @1.0.
    bool isEqual(const NSObject& other) const override;
    size_t hash() const override;

  private:
    Type type_ = Type::Integer;
    uint64_t bits_ = 0;  // the integer's two's complement, or the bool
    double real_ = 0;    // a float is kept widened, which is exact
};

#pragma GCC visibility pop
