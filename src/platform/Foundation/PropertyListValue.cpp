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
    value.payload_ = std::move(v);
    return value;
}

Value Value::string(std::string utf8) {
    Value value;
    value.kind_ = Kind::String;
    value.payload_ = std::move(utf8);
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
    value.payload_ = std::move(elements);
    return value;
}

Value Value::set(std::vector<Value> elements) {
    Value value;
    value.kind_ = Kind::Set;
    value.payload_ = std::move(elements);
    return value;
}

Value Value::dictionary(std::vector<std::pair<Value, Value>> entries) {
    Value value;
    value.kind_ = Kind::Dictionary;
    value.payload_ = std::move(entries);
    return value;
}

namespace {
// What a value of another kind answers for a payload it does not hold.
template <typename Payload>
const Payload& emptyPayload() {
    static const Payload empty{};
    return empty;
}
}  // namespace

const Bytes& Value::dataValue() const {
    const auto* bytes = std::get_if<Bytes>(&payload_);
    return bytes ? *bytes : emptyPayload<Bytes>();
}

const std::string& Value::stringValue() const {
    const auto* text = std::get_if<std::string>(&payload_);
    return text ? *text : emptyPayload<std::string>();
}

const std::vector<Value>& Value::elements() const {
    const auto* elements = std::get_if<std::vector<Value>>(&payload_);
    return elements ? *elements : emptyPayload<std::vector<Value>>();
}

const std::vector<std::pair<Value, Value>>& Value::entries() const {
    const auto* entries = std::get_if<std::vector<std::pair<Value, Value>>>(&payload_);
    return entries ? *entries : emptyPayload<std::vector<std::pair<Value, Value>>>();
}

}  // namespace plist
