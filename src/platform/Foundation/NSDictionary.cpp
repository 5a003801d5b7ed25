#include "NSDictionary.h"

#include "NSCoder.h"
#include "NSException.h"

std::shared_ptr<NSDictionary> NSDictionary::dictionaryWithEntries(std::vector<Entry> entries) {
    auto dictionary = std::make_shared<NSDictionary>();
    for (auto& [key, value] : entries)
        dictionary->setObject_forKey(std::move(value), std::move(key));
    return dictionary;
}

void NSDictionary::setObject_forKey(std::shared_ptr<NSObject> object,
                                    std::shared_ptr<NSObject> key) {
    if (!object || !key)
        NSException::raise(NSInvalidArgumentException, "attempt to insert nil key or value");
    if (const size_t* position = index_.find(*key)) {
        entries_[*position].second = std::move(object);
        return;
    }
    index_.insert(key, entries_.size());
    entries_.emplace_back(std::move(key), std::move(object));
}

std::shared_ptr<NSObject> NSDictionary::objectForKey(const NSObject& key) const {
    const size_t* position = index_.find(key);
    return position ? entries_[*position].second : nullptr;
}

bool NSDictionary::isEqual(const NSObject& other) const {
    const auto* dictionary = dynamic_cast<const NSDictionary*>(&other);
    if (!dictionary || dictionary->count() != count()) return false;
    for (const auto& [key, value] : entries_) {
        auto otherValue = dictionary->objectForKey(*key);
        if (!otherValue || !otherValue->isEqual(*value)) return false;
    }
    return true;
}

void NSDictionary::encodeWithCoder(NSCoder& coder) const {
    std::vector<std::shared_ptr<NSObject>> keys, values;
    keys.reserve(entries_.size());
    values.reserve(entries_.size());
    for (const auto& [key, value] : entries_) {
        keys.push_back(key);
        values.push_back(value);
    }
    coder.encodeArrayOfObjects_forKey(keys, "NS.keys");
    coder.encodeArrayOfObjects_forKey(values, "NS.objects");
}

bool NSDictionary::initWithCoder(NSCoder& coder) {
    auto keys = coder.decodeArrayOfObjectsForKey("NS.keys");
    auto values = coder.decodeArrayOfObjectsForKey("NS.objects");
    if (keys.size() != values.size())
        NSException::raise(NSInvalidUnarchiveOperationException,
                           "keyed archive: NSDictionary has " + std::to_string(keys.size()) +
                               " keys (NS.keys) but " + std::to_string(values.size()) +
                               " values (NS.objects)");
    entries_.reserve(keys.size());
    index_.reserve(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        setObject_forKey(std::move(values[i]), std::move(keys[i]));
    return true;
}
