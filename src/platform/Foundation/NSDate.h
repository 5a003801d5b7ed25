#pragma once
// A point in time, as seconds since 2001-01-01 00:00:00 UTC; archived as {NS.time: <real>}
// (Apple's form; an archive never stores a plist date for it).

#include <memory>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSDate : public NSObject {
  public:
    NS_CLASS_RECORD("NSDate", NSObject::objcClass())

    static std::shared_ptr<NSDate> dateWithTimeIntervalSinceReferenceDate(double seconds) {
        auto date = std::make_shared<NSDate>();
        date->seconds_ = seconds;
        return date;
    }
    double timeIntervalSinceReferenceDate() const { return seconds_; }

    bool isEqual(const NSObject& other) const override {
        const auto* date = dynamic_cast<const NSDate*>(&other);
        return date && date->seconds_ == seconds_;
    }
    size_t hash() const override { return std::hash<double>()(seconds_); }

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  private:
    double seconds_ = 0;
};

#pragma GCC visibility pop
