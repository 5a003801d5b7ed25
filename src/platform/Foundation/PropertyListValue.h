#pragma once
// A property list held in memory, as the binary writer takes it and the XML reader makes it.
// Reading binary property lists does not build these: BinaryPropertyList reads objects in place.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#pragma GCC visibility push(default)  // exported from libVantler

namespace plist {

enum class Kind : uint8_t {
    Null,
    Boolean,
    Integer,
    Real,
    Date,
    Data,
    String,
    UID,
    Array,
    Set,
    Dictionary
};

// An integer as property lists carry it: signed 64-bit, or unsigned above INT64_MAX (CoreFoundation
// writes those as 16-byte integers).
struct Integer {
    uint64_t bits = 0;
    bool isUnsigned = false;  // true only for values above INT64_MAX

    static Integer fromSigned(int64_t v) { return {static_cast<uint64_t>(v), false}; }
    static Integer fromUnsigned(uint64_t v) { return {v, v > static_cast<uint64_t>(INT64_MAX)}; }
    int64_t signedValue() const { return static_cast<int64_t>(bits); }
    bool operator==(const Integer&) const = default;
};

// A real keeps its width: a 32-bit float is written as a 4-byte real (CoreFoundation's rule for
// float32 numbers) and its value is exactly representable in the double.
struct Real {
    double value = 0;
    bool isFloat32 = false;
};

// Shared, immutable bytes: `owner` keeps `bytes` alive, so large data is never copied into the
// tree.
struct Bytes {
    std::shared_ptr<const void> owner;
    std::span<const uint8_t> bytes;

    static Bytes copyOf(std::span<const uint8_t> source);
};

class Value {
  public:
    Value() = default;  // null
    static Value boolean(bool v);
    static Value integer(Integer v);
    static Value real(Real v);
    static Value date(double secondsSince2001);
    static Value data(Bytes v);
    static Value string(std::string utf8);
    static Value uid(uint64_t v);
    static Value array(std::vector<Value> elements = {});
    static Value set(std::vector<Value> elements = {});
    static Value dictionary(std::vector<std::pair<Value, Value>> entries = {});

    Kind kind() const { return kind_; }
    bool booleanValue() const { return scalar_.boolean; }
    Integer integerValue() const { return scalar_.integer; }
    Real realValue() const { return scalar_.real; }
    double dateValue() const { return scalar_.real.value; }
    uint64_t uidValue() const { return scalar_.integer.bits; }
    // The payload of another kind reads as empty.
    const Bytes& dataValue() const;
    const std::string& stringValue() const;
    // Elements of an array or set.
    const std::vector<Value>& elements() const;
    // Entries of a dictionary, in order.
    const std::vector<std::pair<Value, Value>>& entries() const;

  private:
    Kind kind_ = Kind::Null;
    union Scalar {
        bool boolean;
        Integer integer;
        Real real;
        Scalar() : integer() {}
    } scalar_;
    // Only the payload of the value's kind is held: an archive's writer keeps hundreds of
    // thousands of values at once, most of them numbers.
    std::variant<std::monostate, Bytes, std::string, std::vector<Value>,
                 std::vector<std::pair<Value, Value>>>
        payload_;
};

}  // namespace plist

#pragma GCC visibility pop
