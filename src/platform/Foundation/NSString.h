#pragma once
// Text, held as UTF-8. A plain NSString is stored directly in an archive's $objects;
// NSMutableString is archived as {NS.string: <inline string>} (Apple's form).

#include <memory>
#include <string>
#include <string_view>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSString : public NSObject {
  public:
    NS_CLASS_RECORD("NSString", NSObject::objcClass())

    NSString() = default;
    explicit NSString(std::string utf8) : value_(std::move(utf8)) {}
    static std::shared_ptr<NSString> stringWithUTF8String(std::string_view utf8) {
        return std::make_shared<NSString>(std::string(utf8));
    }

    const std::string& UTF8String() const { return value_; }
    size_t length() const;  // in UTF-16 code units, as Foundation counts

    bool isEqual(const NSObject& other) const override;
    size_t hash() const override { return std::hash<std::string>()(value_); }

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  protected:
    std::string value_;
};

class NSMutableString : public NSString {
  public:
    NS_CLASS_RECORD("NSMutableString", NSString::objcClass())

    using NSString::NSString;
    static std::shared_ptr<NSMutableString> stringWithString(std::string_view utf8) {
        return std::make_shared<NSMutableString>(std::string(utf8));
    }
    void setString(std::string_view utf8) { value_ = utf8; }
    void appendString(std::string_view utf8) { value_ += utf8; }
};

#pragma GCC visibility pop
