#pragma once
// An ordered list of objects, archived as {NS.objects: [references]} (Apple's form).
// Elements are never none.

#include <memory>
#include <vector>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSArray : public NSObject {
  public:
    NS_CLASS_RECORD("NSArray", NSObject::objcClass())

    NSArray() = default;
    explicit NSArray(std::vector<std::shared_ptr<NSObject>> objects)
        : objects_(std::move(objects)) {}
    static std::shared_ptr<NSArray> arrayWithObjects(
        std::vector<std::shared_ptr<NSObject>> objects) {
        return std::make_shared<NSArray>(std::move(objects));
    }

    size_t count() const { return objects_.size(); }
    // Raises NSRangeException past the end.
    const std::shared_ptr<NSObject>& objectAtIndex(size_t index) const;
    const std::vector<std::shared_ptr<NSObject>>& objects() const { return objects_; }

    bool isEqual(const NSObject& other) const override;
    size_t hash() const override { return objects_.size(); }

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  protected:
    std::vector<std::shared_ptr<NSObject>> objects_;
};

class NSMutableArray : public NSArray {
  public:
    NS_CLASS_RECORD("NSMutableArray", NSArray::objcClass())

    using NSArray::NSArray;
    static std::shared_ptr<NSMutableArray> array() { return std::make_shared<NSMutableArray>(); }

    // None is refused with NSInvalidArgumentException, as Foundation refuses it.
    void addObject(std::shared_ptr<NSObject> object);
    void insertObject_atIndex(std::shared_ptr<NSObject> object, size_t index);
    void removeObjectAtIndex(size_t index);
};

// Element-wise isEqual of two object lists; shared by the collection classes.
bool objectListsAreEqual(const std::vector<std::shared_ptr<NSObject>>& a,
                         const std::vector<std::shared_ptr<NSObject>>& b);

#pragma GCC visibility pop
