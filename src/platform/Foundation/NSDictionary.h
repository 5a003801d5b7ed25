#pragma once
// Keys of any kind mapped to objects, in insertion order. Archived as two parallel arrays of
// references, {NS.keys: [...], NS.objects: [...]}, every key before any value (Apple's form).

#include <memory>
#include <utility>
#include <vector>

#include "NSObject.h"
#include "ObjectKeyedTable.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSDictionary : public NSObject {
  public:
    using Entry = std::pair<std::shared_ptr<NSObject>, std::shared_ptr<NSObject>>;

    NS_CLASS_RECORD("NSDictionary", NSObject::objcClass())

    NSDictionary() = default;
    // A later entry whose key equals an earlier one replaces its value. Keys and values are never
    // none.
    static std::shared_ptr<NSDictionary> dictionaryWithEntries(std::vector<Entry> entries);

    size_t count() const { return entries_.size(); }
    const std::vector<Entry>& entries() const { return entries_; }
    // The value for a key equal to `key`, or none.
    std::shared_ptr<NSObject> objectForKey(const NSObject& key) const;

    bool isEqual(const NSObject& other) const override;
    size_t hash() const override { return entries_.size(); }

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  protected:
    void setObject_forKey(std::shared_ptr<NSObject> object, std::shared_ptr<NSObject> key);

    std::vector<Entry> entries_;
    ObjectKeyedTable index_;
};

class NSMutableDictionary : public NSDictionary {
  public:
    NS_CLASS_RECORD("NSMutableDictionary", NSDictionary::objcClass())

    static std::shared_ptr<NSMutableDictionary> dictionary() {
        return std::make_shared<NSMutableDictionary>();
    }
    using NSDictionary::setObject_forKey;
};

#pragma GCC visibility pop
