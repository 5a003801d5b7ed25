#pragma once
// Collections of distinct objects (by isEqual). NSSet is unordered and archived as
// {NS.objects: [...]}; NSOrderedSet keeps its order and is archived with one key per element,
// NS.object.0, NS.object.1, … (Apple's forms). Members are never none.

#include <memory>
#include <vector>

#include "NSObject.h"
#include "ObjectKeyedTable.h"

#pragma GCC visibility push(default)  // exported from libVantler

// What a set and an ordered set share: their members, in the order they were added, with lookup by
// value. It has no class record of its own, so an archive never names it.
class DistinctObjectCollection : public NSObject {
  public:
    size_t count() const { return objects_.size(); }
    bool containsObject(const NSObject& object) const { return index_.find(object) != nullptr; }
    size_t hash() const override { return count(); }

  protected:
    const std::vector<std::shared_ptr<NSObject>>& members() const { return objects_; }
    // Adds `object` unless an equal one is there. Raises on none.
    void addMember(std::shared_ptr<NSObject> object);
    // The members become `objects` with repeats dropped, as a factory or a decoder fills them.
    void setMembers(std::vector<std::shared_ptr<NSObject>> objects);

    template <class Collection>
    static std::shared_ptr<Collection> withMembers(std::vector<std::shared_ptr<NSObject>> objects) {
        auto collection = std::make_shared<Collection>();
        collection->setMembers(std::move(objects));
        return collection;
    }

  private:
    std::vector<std::shared_ptr<NSObject>> objects_;
    ObjectKeyedTable index_;
};

class NSSet : public DistinctObjectCollection {
  public:
    NS_CLASS_RECORD("NSSet", NSObject::objcClass())

    static std::shared_ptr<NSSet> setWithObjects(std::vector<std::shared_ptr<NSObject>> objects) {
        return withMembers<NSSet>(std::move(objects));
    }

    const std::vector<std::shared_ptr<NSObject>>& allObjects() const { return members(); }

    bool isEqual(const NSObject& other) const override;

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;
};

class NSMutableSet : public NSSet {
  public:
    NS_CLASS_RECORD("NSMutableSet", NSSet::objcClass())

    static std::shared_ptr<NSMutableSet> set() { return std::make_shared<NSMutableSet>(); }
    void addObject(std::shared_ptr<NSObject> object) { addMember(std::move(object)); }
};

class NSOrderedSet : public DistinctObjectCollection {
  public:
    NS_CLASS_RECORD("NSOrderedSet", NSObject::objcClass())

    static std::shared_ptr<NSOrderedSet> orderedSetWithObjects(
        std::vector<std::shared_ptr<NSObject>> objects) {
        return withMembers<NSOrderedSet>(std::move(objects));
    }

    const std::vector<std::shared_ptr<NSObject>>& array() const { return members(); }

    bool isEqual(const NSObject& other) const override;

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;
};

class NSMutableOrderedSet : public NSOrderedSet {
  public:
    NS_CLASS_RECORD("NSMutableOrderedSet", NSOrderedSet::objcClass())

    static std::shared_ptr<NSMutableOrderedSet> orderedSet() {
        return std::make_shared<NSMutableOrderedSet>();
    }
    void addObject(std::shared_ptr<NSObject> object) { addMember(std::move(object)); }
};

#pragma GCC visibility pop
