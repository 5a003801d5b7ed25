#include "NSError.h"

std::shared_ptr<NSError> NSError::errorWithDomain_code_userInfo(
    std::string domain, int64_t code, std::shared_ptr<const NSDictionary> userInfo) {
    auto error = std::make_shared<NSError>();
    error->domain_ = std::move(domain);
    error->code_ = code;
    error->userInfo_ = userInfo ? std::move(userInfo) : std::make_shared<NSDictionary>();
    return error;
}

std::optional<std::string> NSError::stringForUserInfoKey(const char* key) const {
    auto value = userInfo_->objectForKey(*NSString::stringWithUTF8String(key));
    auto string = std::dynamic_pointer_cast<NSString>(value);
    if (!string) return std::nullopt;
    return string->UTF8String();
}

std::string NSError::localizedDescription() const {
    if (auto description = stringForUserInfoKey(NSLocalizedDescriptionKey)) return *description;
    std::string text = "The operation couldn\u2019t be completed. (" + domain_ + " error " +
                       std::to_string(code_) + ".)";
    if (auto reason = localizedFailureReason()) text += " " + *reason;
    return text;
}

bool NSError::isEqual(const NSObject& other) const {
    auto* error = dynamic_cast<const NSError*>(&other);
    return error && error->domain_ == domain_ && error->code_ == code_ &&
           error->userInfo_->isEqual(*userInfo_);
}
