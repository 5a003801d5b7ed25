#pragma once
// Unordered collections of distinct objects (by isEqual). NSSet is archived as {NS.objects: [...]};
// NSOrderedSet keeps its order and is archived with one key per element, NS.object.0, NS.object.1, …
// (Apple's forms). Members are never none.

#include <memory>
#include <vector>

#include "NSObject.h"
#include "ObjectKeyedTable.h"

// The members of a set, in the order they were added, with lookup by value.
class ObjectMembers {
public:
    // Adds `object` unless an equal one is there; returns whether it was added. Raises on none.
    bool add(std::shared_ptr<NSObject> object);
    bool contains(const NSObject& object) const { return index_.find(object) != nullptr; }
    const std::vector<std::shared_ptr<NSObject>>& objects() const { return objects_; }
    void clear();

private:
    std::vector<std::shared_ptr<NSObject>> objects_;
    ObjectKeyedTable index_;
};

class NSSet : public NSObject {
public:
    static const NSClass& objcClass() {
        static const NSClass cls{"NSSet", &NSObject::objcClass()};
        return cls;
    }
    const NSClass& classForKeyedArchiver() const override { return objcClass(); }

    static std::shared_ptr<NSSet> setWithObjects(std::vector<std::shared_ptr<NSObject>> objects);

    size_t count() const { return members_.objects().size(); }
    bool containsObject(const NSObject& object) const { return members_.contains(object); }
    const std::vector<std::shared_ptr<NSObject>>& allObjects() const { return members_.objects(); }

    bool isEqual(const NSObject& other) const override;
    size_t hash() const override { return count(); }

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

protected:
    ObjectMembers members_;
};

class NSMutableSet : public NSSet {
public:
    static const NSClass& objcClass() {
        static const NSClass cls{"NSMutableSet", &NSSet::objcClass()};
        return cls;
    }
    const NSClass& classForKeyedArchiver() const override { return objcClass(); }

    static std::shared_ptr<NSMutableSet> set() { return std::make_shared<NSMutableSet>(); }
    void addObject(std::shared_ptr<NSObject> object) { members_.add(std::move(object)); }
};

class NSOrderedSet : public NSObject {
public:
    static const NSClass& objcClass() {
        static const NSClass cls{"NSOrderedSet", &NSObject::objcClass()};
        return cls;
    }
    const NSClass& classForKeyedArchiver() const override { return objcClass(); }

    static std::shared_ptr<NSOrderedSet> orderedSetWithObjects(std::vector<std::shared_ptr<NSObject>> objects);

    size_t count() const { return members_.objects().size(); }
    bool containsObject(const NSObject& object) const { return members_.contains(object); }
    const std::vector<std::shared_ptr<NSObject>>& array() const { return members_.objects(); }

    bool isEqual(const NSObject& other) const override;
    size_t hash() const override { return count(); }

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

protected:
    ObjectMembers members_;
};

class NSMutableOrderedSet : public NSOrderedSet {
public:
    static const NSClass& objcClass() {
        static const NSClass cls{"NSMutableOrderedSet", &NSOrderedSet::objcClass()};
        return cls;
    }
    const NSClass& classForKeyedArchiver() const override { return objcClass(); }

    static std::shared_ptr<NSMutableOrderedSet> orderedSet() { return std::make_shared<NSMutableOrderedSet>(); }
    void addObject(std::shared_ptr<NSObject> object) { members_.add(std::move(object)); }
};
