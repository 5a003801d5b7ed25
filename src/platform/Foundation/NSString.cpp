#include "NSString.h"

#include "NSCoder.h"

size_t NSString::length() const {
    size_t units = 0;
    for (unsigned char c : value_) {
        if ((c & 0xC0) == 0x80) continue;  // continuation byte
        units += c >= 0xF0 ? 2 : 1;        // four-byte sequences are surrogate pairs
    }
    return units;
}

bool NSString::isEqual(const NSObject& other) const {
    const auto* string = dynamic_cast<const NSString*>(&other);
    return string && string->value_ == value_;
}

void NSString::encodeWithCoder(NSCoder& coder) const {
    coder.encodeString_forKey(value_, "NS.string");
}

bool NSString::initWithCoder(NSCoder& coder) {
    value_ = coder.decodeStringForKey("NS.string").value_or(std::string());
    return true;
}
