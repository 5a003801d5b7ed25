#pragma once
// Error values, such as the error a document load reports: a domain, a signed 64-bit code and a
// user-information dictionary of string keys.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "NSDictionary.h"
#include "NSString.h"

#pragma GCC visibility push(default)  // exported from libVantler

// User-information keys, as Foundation spells them.
inline constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* NSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
inline constexpr const char* NSLocalizedRecoverySuggestionErrorKey =
    "NSLocalizedRecoverySuggestion";

class NSError : public NSObject {
  public:
    NS_CLASS_RECORD("NSError", NSObject::objcClass())

    // `userInfo` may be none (an empty dictionary then).
    static std::shared_ptr<NSError> errorWithDomain_code_userInfo(
        std::string domain, int64_t code, std::shared_ptr<const NSDictionary> userInfo);

    const std::string& domain() const { return domain_; }
    int64_t code() const { return code_; }
    const std::shared_ptr<const NSDictionary>& userInfo() const { return userInfo_; }

    // The string under a user-information key, or none when absent or not a string.
    std::optional<std::string> stringForUserInfoKey(const char* key) const;
    std::optional<std::string> localizedFailureReason() const {
        return stringForUserInfoKey(NSLocalizedFailureReasonErrorKey);
    }
    std::optional<std::string> localizedRecoverySuggestion() const {
        return stringForUserInfoKey(NSLocalizedRecoverySuggestionErrorKey);
    }
    // The description entry, else Foundation's fallback "The operation couldn’t be completed.
    // (DOMAIN error CODE.)", followed by the failure reason when there is one.
    std::string localizedDescription() const;

    bool isEqual(const NSObject& other) const override;
    size_t hash() const override { return std::hash<std::string>()(domain_) ^ size_t(code_); }

  private:
    std::string domain_;
    int64_t code_ = 0;
    std::shared_ptr<const NSDictionary> userInfo_;
};

#pragma GCC visibility pop
