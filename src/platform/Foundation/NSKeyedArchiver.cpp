#include "NSKeyedArchiver.h"

#include <string>

#include "ArchiveLimits.h"
#include "BinaryPropertyListWriter.h"
#include "KeyedArchive.h"
#include "NSData.h"
#include "NSException.h"
#include "NSLog.h"
#include "NSNumber.h"
#include "NSString.h"
#include "QuickTextHash.h"

NSKeyedArchiver::NSKeyedArchiver(std::shared_ptr<NSMutableData> data) : data_(std::move(data)) {
    objects_.push_back(plist::Value::string(std::string(KeyedArchive::kNullEntry)));
    scopes_.emplace_back();
}

std::shared_ptr<NSKeyedArchiver> NSKeyedArchiver::initForWritingWithMutableData(
    std::shared_ptr<NSMutableData> data) {
    if (!data)
        NSException::raise(NSInvalidArgumentException,
                           "-[NSKeyedArchiver initForWritingWithMutableData:]: nil data");
    return std::make_shared<NSKeyedArchiver>(std::move(data));
}

std::shared_ptr<NSData> NSKeyedArchiver::archivedDataWithRootObject(
    const std::shared_ptr<const NSObject>& root) {
    auto data = NSMutableData::data();
    NSKeyedArchiver archiver(data);
    archiver.encodeObject_forKey(root, NSKeyedArchiveRootObjectKey);
    archiver.finishEncoding();
    return data;
}

void NSKeyedArchiver::requireOpen(const char* selector) const {
    if (finished_)
        NSException::raise(
            NSInvalidArgumentException,
            std::string("-[NSKeyedArchiver ") + selector + "]: called after finishEncoding");
}

void NSKeyedArchiver::setValue(std::string_view key, plist::Value value) {
    Scope& scope = scopes_.back();
    std::string stored = KeyedArchive::escapedKey(key);
    const uint64_t hash = quickTextHash(stored) % (64 * scope.keyHashBits.size());
    uint64_t& bits = scope.keyHashBits[hash / 64];
    const uint64_t bit = uint64_t{1} << (hash % 64);
    if (bits & bit) {
        for (auto& entry : scope.entries) {
            if (entry.first.stringValue() != stored) continue;
            // Foundation logs this and keeps the last value.
            NSLog("*** NSKeyedArchiver warning: replacing existing value for key '" +
                  std::string(key) + "'; probable duplication of encoding keys in class hierarchy");
            entry.second = std::move(value);
            return;
        }
    }
    bits |= bit;
    scope.entries.emplace_back(plist::Value::string(std::move(stored)), std::move(value));
}

uint64_t NSKeyedArchiver::referenceTo(const std::shared_ptr<const NSObject>& object) {
    if (!object) return 0;  // none is a reference to "$null"
    auto [it, isNew] = references_.try_emplace(object.get(), Reference{objects_.size(), false});
    Reference& reference = it->second;
    if (reference.encoded) return reference.uid;
    if (isNew) {
        objects_.emplace_back();
        retained_.push_back(object);
    }  // else a conditional reference reserved the slot: it is filled in place
    reference.encoded = true;
    const uint64_t uid = reference.uid;  // `reference` may move while fields are encoded
    encodeInto(uid, *object);
    return uid;
}

void NSKeyedArchiver::encodeInto(uint64_t uid, const NSObject& object) {
    // Plain strings, numbers and data are stored as themselves (their exact classes only: the
    // mutable variants are objects with a class).
    const NSClass& cls = object.classForKeyedArchiver();
    if (&cls == &NSString::objcClass()) {
        objects_[uid] = plist::Value::string(static_cast<const NSString&>(object).UTF8String());
        return;
    }
    if (&cls == &NSData::objcClass()) {
        const auto& data = static_cast<const NSData&>(object);
        objects_[uid] = plist::Value::data({data.shared_from_this(), data.span()});
        return;
    }
    if (&cls == &NSNumber::objcClass()) {
        const auto& number = static_cast<const NSNumber&>(object);
        switch (number.type()) {
            case NSNumber::Type::Bool:
                objects_[uid] = plist::Value::boolean(number.boolValue());
                break;
            case NSNumber::Type::Integer:
                objects_[uid] =
                    plist::Value::integer(plist::Integer::fromSigned(number.integerValue()));
                break;
            case NSNumber::Type::UnsignedInteger:
                objects_[uid] = plist::Value::integer(
                    plist::Integer::fromUnsigned(number.unsignedLongLongValue()));
                break;
            case NSNumber::Type::Float:
                objects_[uid] = plist::Value::real({number.doubleValue(), true});
                break;
            case NSNumber::Type::Double:
                objects_[uid] = plist::Value::real({number.doubleValue(), false});
                break;
        }
        return;
    }

    if (scopes_.size() > ArchiveLimits::kMaxNestingDepth)
        NSException::raise(NSInvalidArgumentException,
                           "-[NSKeyedArchiver encodeObject:forKey:]: objects nest deeper than " +
                               std::to_string(ArchiveLimits::kMaxNestingDepth) + " levels");
    // Objects of one class write about as many keys each time; reserving that many (and one for
    // "$class") saves growing the entries while they are written.
    size_t& entryCount = entryCounts_[&cls];
    scopes_.emplace_back().entries.reserve(entryCount + 1);
    try {
        object.encodeWithCoder(*this);
    } catch (...) {
        scopes_.pop_back();
        throw;
    }
    Scope scope = std::move(scopes_.back());
    scopes_.pop_back();
    entryCount = scope.entries.size();
    // The class dictionary comes after the object's fields, as Foundation orders them.
    scope.entries.emplace_back(plist::Value::string("$class"),
                               plist::Value::uid(classReference(cls)));
    objects_[uid] = plist::Value::dictionary(std::move(scope.entries));
}

uint64_t NSKeyedArchiver::classReference(const NSClass& cls) {
    if (auto it = classUIDs_.find(&cls); it != classUIDs_.end()) return it->second;
    std::vector<plist::Value> chain;
    for (const NSClass* c = &cls; c; c = c->superclass)
        chain.push_back(plist::Value::string(c->name));
    const uint64_t uid = objects_.size();
    std::vector<std::pair<plist::Value, plist::Value>> entries;
    entries.emplace_back(plist::Value::string("$classname"), plist::Value::string(cls.name));
    entries.emplace_back(plist::Value::string("$classes"), plist::Value::array(std::move(chain)));
    objects_.push_back(plist::Value::dictionary(std::move(entries)));
    classUIDs_.emplace(&cls, uid);
    return uid;
}

void NSKeyedArchiver::encodeObject_forKey(const std::shared_ptr<const NSObject>& object,
                                          std::string_view key) {
    requireOpen("encodeObject:forKey:");
    setValue(key, plist::Value::uid(referenceTo(object)));
}

void NSKeyedArchiver::encodeConditionalObject_forKey(const std::shared_ptr<const NSObject>& object,
                                                     std::string_view key) {
    requireOpen("encodeConditionalObject:forKey:");
    uint64_t uid = 0;
    if (object) {
        auto [it, isNew] = references_.try_emplace(object.get(), Reference{objects_.size(), false});
        if (isNew) {
            // Reserve a slot holding "$null" until something encodes the object unconditionally.
            objects_.push_back(plist::Value::string(std::string(KeyedArchive::kNullEntry)));
            retained_.push_back(object);
        }
        uid = it->second.uid;
    }
    setValue(key, plist::Value::uid(uid));
}

void NSKeyedArchiver::encodeBool_forKey(bool value, std::string_view key) {
    requireOpen("encodeBool:forKey:");
    setValue(key, plist::Value::boolean(value));
}

void NSKeyedArchiver::encodeInteger_forKey(int64_t value, std::string_view key) {
    requireOpen("encodeInteger:forKey:");
    setValue(key, plist::Value::integer(plist::Integer::fromSigned(value)));
}

void NSKeyedArchiver::encodeInt64_forKey(int64_t value, std::string_view key) {
    requireOpen("encodeInt64:forKey:");
    setValue(key, plist::Value::integer(plist::Integer::fromSigned(value)));
}

void NSKeyedArchiver::encodeInt_forKey(int32_t value, std::string_view key) {
    requireOpen("encodeInt:forKey:");
    setValue(key, plist::Value::integer(plist::Integer::fromSigned(value)));
}

void NSKeyedArchiver::encodeFloat_forKey(float value, std::string_view key) {
    requireOpen("encodeFloat:forKey:");
    setValue(key, plist::Value::real({value, true}));
}

void NSKeyedArchiver::encodeDouble_forKey(double value, std::string_view key) {
    requireOpen("encodeDouble:forKey:");
    setValue(key, plist::Value::real({value, false}));
}

void NSKeyedArchiver::encodeBytes_length_forKey(const uint8_t* bytes, size_t length,
                                                std::string_view key) {
    requireOpen("encodeBytes:length:forKey:");
    setValue(key, plist::Value::data(plist::Bytes::copyOf({bytes, length})));
}

void NSKeyedArchiver::encodeArrayOfObjects_forKey(
    const std::vector<std::shared_ptr<NSObject>>& objects, std::string_view key) {
    requireOpen("_encodeArrayOfObjects:forKey:");
    std::vector<plist::Value> references;
    references.reserve(objects.size());
    for (const auto& object : objects) references.push_back(plist::Value::uid(referenceTo(object)));
    setValue(key, plist::Value::array(std::move(references)));
}

void NSKeyedArchiver::encodeString_forKey(std::string_view value, std::string_view key) {
    requireOpen("_encodePropertyList:forKey:");
    setValue(key, plist::Value::string(std::string(value)));
}

void NSKeyedArchiver::finishEncoding() {
    requireOpen("finishEncoding");
    finished_ = true;
    std::vector<std::pair<plist::Value, plist::Value>> top = std::move(scopes_.front().entries);
    std::vector<std::pair<plist::Value, plist::Value>> root;
    root.emplace_back(plist::Value::string("$version"),
                      plist::Value::integer(plist::Integer::fromSigned(KeyedArchive::kVersion)));
    root.emplace_back(plist::Value::string("$archiver"),
                      plist::Value::string(std::string(KeyedArchive::kArchiverName)));
    root.emplace_back(plist::Value::string("$top"), plist::Value::dictionary(std::move(top)));
    root.emplace_back(plist::Value::string("$objects"), plist::Value::array(std::move(objects_)));
    data_->setData(plist::writeBinaryPropertyList(plist::Value::dictionary(std::move(root))));
}
