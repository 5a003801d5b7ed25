#include "NSSet.h"

#include <string>

#include "NSArray.h"
#include "NSCoder.h"
#include "NSException.h"

void DistinctObjectCollection::addMember(std::shared_ptr<NSObject> object) {
    if (!object) NSException::raise(NSInvalidArgumentException, "attempt to insert nil");
    if (!index_.insert(object, objects_.size())) return;
    objects_.push_back(std::move(object));
}

void DistinctObjectCollection::setMembers(std::vector<std::shared_ptr<NSObject>> objects) {
    objects_.clear();
    index_.clear();
    for (auto& object : objects) addMember(std::move(object));
}

bool NSSet::isEqual(const NSObject& other) const {
    const auto* set = dynamic_cast<const NSSet*>(&other);
    if (!set || set->count() != count()) return false;
    for (const auto& object : allObjects())
        if (!set->containsObject(*object)) return false;
    return true;
}

void NSSet::encodeWithCoder(NSCoder& coder) const {
    coder.encodeArrayOfObjects_forKey(members(), "NS.objects");
}

bool NSSet::initWithCoder(NSCoder& coder) {
    setMembers(coder.decodeArrayOfObjectsForKey("NS.objects"));
    return true;
}

bool NSOrderedSet::isEqual(const NSObject& other) const {
    const auto* set = dynamic_cast<const NSOrderedSet*>(&other);
    return set && objectListsAreEqual(array(), set->array());
}

namespace {
std::string orderedSetKey(size_t index) {
    return "NS.object." + std::to_string(index);
}
}  // namespace

void NSOrderedSet::encodeWithCoder(NSCoder& coder) const {
    const auto& objects = members();
    for (size_t i = 0; i < objects.size(); ++i)
        coder.encodeObject_forKey(objects[i], orderedSetKey(i));
}

bool NSOrderedSet::initWithCoder(NSCoder& coder) {
    std::vector<std::shared_ptr<NSObject>> objects;
    for (size_t i = 0; coder.containsValueForKey(orderedSetKey(i)); ++i) {
        auto object = coder.decodeObjectForKey(orderedSetKey(i));
        if (!object)
            NSException::raise(NSInvalidUnarchiveOperationException,
                               "ordered set element " + std::to_string(i) + " is nil");
        objects.push_back(std::move(object));
    }
    setMembers(std::move(objects));
    return true;
}
