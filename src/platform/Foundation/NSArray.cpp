#include "NSArray.h"

#include "NSCoder.h"
#include "NSException.h"

bool objectListsAreEqual(const std::vector<std::shared_ptr<NSObject>>& a,
                         const std::vector<std::shared_ptr<NSObject>>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!a[i]->isEqual(*b[i])) return false;
    return true;
}

const std::shared_ptr<NSObject>& NSArray::objectAtIndex(size_t index) const {
    if (index >= objects_.size())
        NSException::raise(NSRangeException, "index " + std::to_string(index) + " beyond bounds");
    return objects_[index];
}

bool NSArray::isEqual(const NSObject& other) const {
    const auto* array = dynamic_cast<const NSArray*>(&other);
    return array && objectListsAreEqual(objects_, array->objects_);
}

void NSArray::encodeWithCoder(NSCoder& coder) const {
    coder.encodeArrayOfObjects_forKey(objects_, "NS.objects");
}

bool NSArray::initWithCoder(NSCoder& coder) {
    objects_ = coder.decodeArrayOfObjectsForKey("NS.objects");
    return true;
}

void NSMutableArray::addObject(std::shared_ptr<NSObject> object) {
    insertObject_atIndex(std::move(object), objects_.size());
}

void NSMutableArray::insertObject_atIndex(std::shared_ptr<NSObject> object, size_t index) {
    if (!object) NSException::raise(NSInvalidArgumentException, "attempt to insert nil object");
    if (index > objects_.size())
        NSException::raise(NSRangeException, "index " + std::to_string(index) + " beyond bounds");
    objects_.insert(objects_.begin() + static_cast<std::ptrdiff_t>(index), std::move(object));
}

void NSMutableArray::removeObjectAtIndex(size_t index) {
    if (index >= objects_.size())
        NSException::raise(NSRangeException, "index " + std::to_string(index) + " beyond bounds");
    objects_.erase(objects_.begin() + static_cast<std::ptrdiff_t>(index));
}
