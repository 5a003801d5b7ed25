#include "KeyedArchive.h"

#include "ArchiveLimits.h"
#include "NSException.h"
#include "PropertyListSerialization.h"

namespace {

[[noreturn]] void fail(const std::string& reason) {
    NSException::raise(NSInvalidArgumentException, "keyed archive: " + reason);
}

}  // namespace

std::vector<std::string> KeyedArchive::stringArray(const plist::ObjectInfo& array,
                                                   const char* what) {
    if (array.kind != plist::Kind::Array) fail(std::string(what) + " is not an array");
    std::vector<std::string> strings;
    for (uint64_t i = 0; i < array.count; ++i) {
        const auto element = plist_->object(plist_->elementRef(array, i));
        if (element.kind != plist::Kind::String)
            fail(std::string(what) + " holds something other than a string");
        charge(ArchiveLimits::kDecodedElementOverhead + element.count);
        strings.push_back(plist_->stringValue(element));
    }
    return strings;
}

void KeyedArchive::charge(uint64_t bytes) {
    charged_ += bytes;  // cannot wrap: each charge is bounded by the file's size
    if (charged_ > ArchiveLimits::kMaxDecodedBytes)
        NSException::raise(NSInvalidUnarchiveOperationException,
                           "keyed archive: decoding it would take more than 512 MiB of memory");
}

KeyedArchive::KeyedArchive(const NSData& data) : plist_(plist::openPropertyList(data)) {
    const auto root = plist_->object(plist_->topObject());
    if (root.kind != plist::Kind::Dictionary) fail("the property list is not a dictionary");

    auto member = [&](std::string_view key, plist::Kind kind, const char* what) {
        const auto ref = plist_->lookup(root, key);
        if (!ref) fail("no " + std::string(key) + " entry");
        const auto value = plist_->object(*ref);
        if (value.kind != kind) fail(std::string(key) + " is not " + what);
        return value;
    };
    const auto version = member("$version", plist::Kind::Integer, "an integer");
    if (const auto value = plist_->integerValue(version);
        value.bits != kVersion || value.isUnsigned)
        fail("$version is " +
             (value.isUnsigned ? std::to_string(value.bits) : std::to_string(value.signedValue())) +
             ", not 100000");
    // Foundation writes its own class name; a subclass of the archiver may write another.
    archiverName_ = plist_->stringValue(member("$archiver", plist::Kind::String, "a string"));
    top_ = member("$top", plist::Kind::Dictionary, "a dictionary");
    objects_ = member("$objects", plist::Kind::Array, "an array");
}

plist::ObjectInfo KeyedArchive::entry(uint64_t uid) const {
    if (uid >= objects_.count)
        fail("UID " + std::to_string(uid) + " lies outside $objects (" +
             std::to_string(objects_.count) + " entries)");
    return plist_->object(plist_->elementRef(objects_, uid));
}

bool KeyedArchive::isNullEntry(const plist::ObjectInfo& entry) const {
    return plist_->stringEquals(entry, kNullEntry);
}

const KeyedArchiveClass& KeyedArchive::classOf(const plist::ObjectInfo& objectEntry,
                                               std::optional<uint64_t> objectUID) {
    // Only a dictionary of many keys is costly to scan again; the others are not remembered.
    if (objectEntry.count <= ArchiveLimits::kNumberedKeyLimit)
        return classNamedBy(plist_->lookup(objectEntry, "$class"), objectEntry, objectUID);
    auto it = classValueRefs_.find(objectEntry.ref);
    if (it == classValueRefs_.end())
        it = classValueRefs_.emplace(objectEntry.ref, plist_->lookup(objectEntry, "$class")).first;
    return classNamedBy(it->second, objectEntry, objectUID);
}

const KeyedArchiveClass& KeyedArchive::classNamedBy(std::optional<uint64_t> classValueRef,
                                                    const plist::ObjectInfo& objectEntry,
                                                    std::optional<uint64_t> objectUID) {
    // Reasons name the entry by its UID, which is what a reader of $objects sees.
    auto object = [&] {
        return objectUID ? "the object of UID " + std::to_string(*objectUID)
                         : "property list object " + std::to_string(objectEntry.ref);
    };
    if (!classValueRef) fail(object() + " has no $class");
    const auto reference = plist_->object(*classValueRef);
    if (reference.kind != plist::Kind::UID) fail("$class of " + object() + " is not a UID");
    const uint64_t uid = plist_->uidValue(reference);
    if (auto it = classes_.find(uid); it != classes_.end()) return it->second;

    const auto dictionary = entry(uid);
    if (dictionary.kind != plist::Kind::Dictionary)
        fail("class UID " + std::to_string(uid) + " is not a dictionary");
    KeyedArchiveClass cls;
    const auto name = plist_->lookup(dictionary, "$classname");
    if (!name) fail("class UID " + std::to_string(uid) + " has no $classname");
    const auto nameObject = plist_->object(*name);
    if (nameObject.kind != plist::Kind::String)
        fail("$classname of class UID " + std::to_string(uid) + " is not a string");
    charge(ArchiveLimits::kDecodedObjectOverhead + nameObject.count);
    cls.name = plist_->stringValue(nameObject);
    if (const auto classes = plist_->lookup(dictionary, "$classes"))
        cls.classes = stringArray(plist_->object(*classes), "$classes");
    if (const auto hints = plist_->lookup(dictionary, "$classhints"))
        cls.hints = stringArray(plist_->object(*hints), "$classhints");
    return classes_.emplace(uid, std::move(cls)).first->second;
}

std::string KeyedArchive::escapedKey(std::string_view key) {
    if (key.starts_with('$')) return "$" + std::string(key);
    return std::string(key);
}

std::string_view KeyedArchive::unescapedKey(std::string_view storedKey) {
    if (storedKey.starts_with("$$")) storedKey.remove_prefix(1);
    return storedKey;
}
