#include "PropertyListValue.h"

namespace plist {

Bytes Bytes::copyOf(std::span<const uint8_t> source) {
    auto owner = std::make_shared<const std::vector<uint8_t>>(source.begin(), source.end());
    std::span<const uint8_t> view(owner->data(), owner->size());
    return {std::move(owner), view};
}

Value Value::boolean(bool v) {
    Value value;
    value.kind_ = Kind::Boolean;
    value.scalar_.boolean = v;
    return value;
}

Value Value::integer(Integer v) {
    Value value;
    value.kind_ = Kind::Integer;
    value.scalar_.integer = v;
    return value;
}

Value Value::real(Real v) {
    Value value;
    value.kind_ = Kind::Real;
    value.scalar_.real = v;
    return value;
}

Value Value::date(double secondsSince2001) {
    Value value;
    value.kind_ = Kind::Date;
    value.scalar_.real = {secondsSince2001, false};
    return value;
}

Value Value::data(Bytes v) {
    Value value;
    value.kind_ = Kind::Data;
    value.data_ = std::move(v);
    return value;
}

Value Value::string(std::string utf8) {
    Value value;
    value.kind_ = Kind::String;
    value.string_ = std::move(utf8);
    return value;
}

Value Value::uid(uint64_t v) {
    Value value;
    value.kind_ = Kind::UID;
    value.scalar_.integer = {v, false};
    return value;
}

Value Value::array(std::vector<Value> elements) {
    Value value;
    value.kind_ = Kind::Array;
    value.elements_ = std::move(elements);
    return value;
}

Value Value::set(std::vector<Value> elements) {
    Value value;
    value.kind_ = Kind::Set;
    value.elements_ = std::move(elements);
    return value;
}

Value Value::dictionary(std::vector<std::pair<Value, Value>> entries) {
    Value value;
    value.kind_ = Kind::Dictionary;
    value.entries_ = std::move(entries);
    return value;
}

}  // namespace plist
