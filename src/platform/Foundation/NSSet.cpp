#include "NSSet.h"

#include <string>

#include "NSArray.h"
#include "NSCoder.h"
#include "NSException.h"

bool ObjectMembers::add(std::shared_ptr<NSObject> object) {
    if (!object) NSException::raise(NSInvalidArgumentException, "attempt to insert nil");
    if (!index_.insert(object, objects_.size())) return false;
    objects_.push_back(std::move(object));
    return true;
}

void ObjectMembers::clear() {
    objects_.clear();
    index_.clear();
}

std::shared_ptr<NSSet> NSSet::setWithObjects(std::vector<std::shared_ptr<NSObject>> objects) {
    auto set = std::make_shared<NSSet>();
    for (auto& object : objects) set->members_.add(std::move(object));
    return set;
}

bool NSSet::isEqual(const NSObject& other) const {
    const auto* set = dynamic_cast<const NSSet*>(&other);
    if (!set || set->count() != count()) return false;
    for (const auto& object : allObjects())
        if (!set->containsObject(*object)) return false;
    return true;
}

void NSSet::encodeWithCoder(NSCoder& coder) const {
    coder.encodeArrayOfObjects_forKey(members_.objects(), "NS.objects");
}

bool NSSet::initWithCoder(NSCoder& coder) {
    members_.clear();
    for (auto& object : coder.decodeArrayOfObjectsForKey("NS.objects")) members_.add(std::move(object));
    return true;
}

std::shared_ptr<NSOrderedSet> NSOrderedSet::orderedSetWithObjects(std::vector<std::shared_ptr<NSObject>> objects) {
    auto set = std::make_shared<NSOrderedSet>();
    for (auto& object : objects) set->members_.add(std::move(object));
    return set;
}

bool NSOrderedSet::isEqual(const NSObject& other) const {
    const auto* set = dynamic_cast<const NSOrderedSet*>(&other);
    return set && objectListsAreEqual(array(), set->array());
}

namespace {
std::string orderedSetKey(size_t index) { return "NS.object." + std::to_string(index); }
}  // namespace

void NSOrderedSet::encodeWithCoder(NSCoder& coder) const {
    const auto& objects = members_.objects();
    for (size_t i = 0; i < objects.size(); ++i) coder.encodeObject_forKey(objects[i], orderedSetKey(i));
}

bool NSOrderedSet::initWithCoder(NSCoder& coder) {
    members_.clear();
    for (size_t i = 0; coder.containsValueForKey(orderedSetKey(i)); ++i) {
        auto object = coder.decodeObjectForKey(orderedSetKey(i));
        if (!object)
            NSException::raise(NSInvalidUnarchiveOperationException,
                               "ordered set element " + std::to_string(i) + " is nil");
        members_.add(std::move(object));
    }
    return true;
}
