#pragma once
// The null object, archived as {$class} only. All NSNull objects are equal.

#include <memory>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSNull : public NSObject {
  public:
    NS_CLASS_RECORD("NSNull", NSObject::objcClass())

    static std::shared_ptr<NSNull> null() {
        static const auto shared = std::make_shared<NSNull>();
        return shared;
    }
    bool isEqual(const NSObject& other) const override {
        return dynamic_cast<const NSNull*>(&other) != nullptr;
    }
    size_t hash() const override { return 0; }
};

#pragma GCC visibility pop
