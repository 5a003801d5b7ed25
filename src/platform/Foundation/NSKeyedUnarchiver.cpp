#include "NSKeyedUnarchiver.h"

#include <cfloat>
#include <cmath>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "ArchiveLimits.h"
#include "NSArray.h"
#include "NSDate.h"
#include "NSDictionary.h"
#include "NSException.h"
#include "NSNull.h"
#include "NSNumber.h"
#include "NSSet.h"
#include "NSString.h"
#include "NSURL.h"
#include "NSUUID.h"

namespace {

struct ClassRegistry {
    std::shared_mutex mutex;
    std::unordered_map<std::string, NSKeyedUnarchiver::RegisteredClass> factories;

    template <class T>
    void add() {
        factories[T::objcClass().name] = {[] { return std::make_shared<T>(); }, true};
    }
};

ClassRegistry& registry() {
    static ClassRegistry* shared = [] {
        auto* r = new ClassRegistry;
        // Foundation's classes with a keyed form. NSString and NSData are normally stored directly;
        // they are here for a recorded class that falls back to them through "$classhints".
        r->add<NSString>();
        r->add<NSMutableString>();
        r->add<NSData>();
        r->add<NSMutableData>();
        r->add<NSArray>();
        r->add<NSMutableArray>();
        r->add<NSDictionary>();
        r->add<NSMutableDictionary>();
        r->add<NSSet>();
        r->add<NSMutableSet>();
        r->add<NSOrderedSet>();
        r->add<NSMutableOrderedSet>();
        r->add<NSUUID>();
        r->add<NSURL>();
        r->add<NSNull>();
        r->add<NSDate>();
        return r;
    }();
    return *shared;
}

const char* kindName(plist::Kind kind) {
    switch (kind) {
        case plist::Kind::Null:
            return "null";
        case plist::Kind::Boolean:
            return "a boolean";
        case plist::Kind::Integer:
            return "an integer";
        case plist::Kind::Real:
            return "a real";
        case plist::Kind::Date:
            return "a date";
        case plist::Kind::Data:
            return "data";
        case plist::Kind::String:
            return "a string";
        case plist::Kind::UID:
            return "an object reference";
        case plist::Kind::Array:
            return "an array";
        case plist::Kind::Set:
            return "a set";
        case plist::Kind::Dictionary:
            return "a dictionary";
    }
    return "unknown";
}

}  // namespace

void NSKeyedUnarchiver::setClass_forClassName(ClassFactory factory, const std::string& name) {
    auto& r = registry();
    std::unique_lock lock(r.mutex);
    r.factories[name] = {std::move(factory), false};
}

NSKeyedUnarchiver::NSKeyedUnarchiver(const std::shared_ptr<const NSData>& data)
    : data_(data),
      archive_(*data),
      keyNumbers_(archive_.plist(), [this](uint64_t bytes) { archive_.charge(bytes); }) {
    scopes_.push_back(
        {plist::PropertyListDictionary(archive_.plist(), archive_.top(), keyNumbers_)});
}

std::shared_ptr<NSKeyedUnarchiver> NSKeyedUnarchiver::initForReadingWithData(
    const std::shared_ptr<const NSData>& data) {
    if (!data) NSException::raise(NSInvalidArgumentException, "keyed archive: no data");
    return std::make_shared<NSKeyedUnarchiver>(data);
}

std::shared_ptr<NSObject> NSKeyedUnarchiver::unarchiveObjectWithData(
    const std::shared_ptr<const NSData>& data) {
    auto unarchiver = initForReadingWithData(data);
    auto root = unarchiver->decodeObjectForKey(NSKeyedArchiveRootObjectKey);
    unarchiver->finishDecoding();
    return root;
}

void NSKeyedUnarchiver::finishDecoding() {
    finished_ = true;
}

std::optional<plist::ObjectInfo> NSKeyedUnarchiver::valueForKey(std::string_view key,
                                                                const char* selector) {
    if (finished_)
        NSException::raise(
            NSInvalidUnarchiveOperationException,
            std::string("-[NSKeyedUnarchiver ") + selector + "]: called after finishDecoding");
    auto& dictionary = scopes_.back().dictionary;
    // Only keys beginning with "$" are stored escaped; the others are looked up as they are.
    const auto ref = key.starts_with('$') ? dictionary.lookup(KeyedArchive::escapedKey(key))
                                          : dictionary.lookup(key);
    if (!ref) return std::nullopt;
    return archive_.plist().object(*ref);
}

void NSKeyedUnarchiver::raiseWrongKind(std::string_view key, const char* selector,
                                       const char* found) const {
    NSException::raise(NSInvalidUnarchiveOperationException,
                       std::string("-[NSKeyedUnarchiver ") + selector + "]: value for key (" +
                           std::string(key) + ") is " + found);
}

bool NSKeyedUnarchiver::containsValueForKey(std::string_view key) {
    return valueForKey(key, "containsValueForKey:").has_value();
}

std::shared_ptr<NSObject> NSKeyedUnarchiver::decodeObjectForKey(std::string_view key) {
    const auto value = valueForKey(key, "decodeObjectForKey:");
    if (!value) return nullptr;
    if (value->kind != plist::Kind::UID)
        raiseWrongKind(key, "decodeObjectForKey:", kindName(value->kind));
    return decodeObjectWithUID(archive_.plist().uidValue(*value));
}

NSKeyedUnarchiver::Slot& NSKeyedUnarchiver::slot(uint64_t uid) {
    // Callers pass UIDs inside $objects only.
    if (decoded_.empty())
        decoded_.resize((archive_.objectCount() + kSlotsPerPage - 1) / kSlotsPerPage);
    auto& page = decoded_[uid / kSlotsPerPage];
    if (!page) page = std::make_unique<Slot[]>(kSlotsPerPage);
    return page[uid % kSlotsPerPage];
}

std::shared_ptr<NSObject> NSKeyedUnarchiver::decodeObjectWithUID(uint64_t uid) {
    if (uid == 0) return nullptr;  // the reference Foundation writes for none
    if (uid < archive_.objectCount()) {
        const Slot& known = slot(uid);
        // A Foundation value (an array, a URL) referred to from inside itself: holding itself, it
        // would never be freed, and comparing or printing it would not end.
        if (known.state == Slot::ValueBeingDecoded)
            NSException::raise(NSInvalidUnarchiveOperationException,
                               "keyed archive: UID " + std::to_string(uid) + " (" +
                                   known.object->className() +
                                   ") is referred to from inside itself; a collection or URL "
                                   "cannot contain itself");
        if (known.state == Slot::Decoded) return known.object;
    }
    const auto entry = archive_.entry(uid);  // raises for a UID outside $objects
    archive_.charge(ArchiveLimits::kDecodedObjectOverhead);
    if (entry.kind == plist::Kind::Dictionary) return decodeClassEntry(uid, entry);
    auto object = archive_.isNullEntry(entry) ? nullptr : decodeValueEntry(uid, entry);
    Slot& known = slot(uid);
    known.object = object;
    known.state = Slot::Decoded;
    return object;
}

std::shared_ptr<NSObject> NSKeyedUnarchiver::decodeValueEntry(uint64_t uid,
                                                              const plist::ObjectInfo& entry) {
    const auto& list = archive_.plist();
    switch (entry.kind) {
        case plist::Kind::String:
            archive_.charge(entry.count * 3);
            return std::make_shared<NSString>(list.stringValue(entry));
        case plist::Kind::Boolean:
            return NSNumber::numberWithBool(list.booleanValue(entry));
        case plist::Kind::Integer: {
            const auto value = list.integerValue(entry);
            return value.isUnsigned ? NSNumber::numberWithUnsignedLongLong(value.bits)
                                    : NSNumber::numberWithInteger(value.signedValue());
        }
        case plist::Kind::Real: {
            const auto value = list.realValue(entry);
            return value.isFloat32 ? NSNumber::numberWithFloat(static_cast<float>(value.value))
                                   : NSNumber::numberWithDouble(value.value);
        }
        case plist::Kind::Data: {
            // Shares the archive's bytes (a mapped file stays mapped while the data object lives).
            auto bytes = list.dataValue(entry);
            return std::make_shared<NSData>(std::move(bytes.owner), bytes.bytes);
        }
        case plist::Kind::Date:  // GNUstep's form of a date; Apple archives NSDate as an object
            return NSDate::dateWithTimeIntervalSinceReferenceDate(list.dateValue(entry));
        case plist::Kind::Null:
            return nullptr;
        default:
            NSException::raise(NSInvalidUnarchiveOperationException,
                               "keyed archive: the $objects entry of UID " + std::to_string(uid) +
                                   " is " + kindName(entry.kind) +
                                   ", which no archived object can be");
    }
}

const NSKeyedUnarchiver::RegisteredClass& NSKeyedUnarchiver::factoryFor(
    const KeyedArchiveClass& cls, uint64_t uid) {
    // Resolved once per class of the archive, not once per object.
    if (auto it = factories_.find(&cls); it != factories_.end()) return it->second;
    auto& r = registry();
    std::shared_lock lock(r.mutex);
    // The recorded class, then its fallbacks ($classhints), as Foundation resolves them.
    if (auto it = r.factories.find(cls.name); it != r.factories.end())
        return factories_[&cls] = it->second;
    for (const auto& hint : cls.hints)
        if (auto it = r.factories.find(hint); it != r.factories.end())
            return factories_[&cls] = it->second;
    NSException::raise(NSInvalidUnarchiveOperationException,
                       "-[NSKeyedUnarchiver decodeObjectForKey:]: cannot decode object of class (" +
                           cls.name + ") for UID " + std::to_string(uid) +
                           "; the class is not known to this program");
}

std::shared_ptr<NSObject> NSKeyedUnarchiver::decodeClassEntry(uint64_t uid,
                                                              const plist::ObjectInfo& entry) {
    if (scopes_.size() > ArchiveLimits::kMaxNestingDepth)
        NSException::raise(NSInvalidUnarchiveOperationException,
                           "keyed archive: objects nest deeper than " +
                               std::to_string(ArchiveLimits::kMaxNestingDepth) + " levels");
    // An object of many keys is read through an index of them (PropertyListDictionary), built anew
    // for each decode and about an object's overhead per key. A crafted list can give one such
    // dictionary many UIDs (no writer shares dictionaries), so each index is charged, which bounds
    // the time too.
    if (entry.count > ArchiveLimits::kNumberedKeyLimit)
        archive_.charge(entry.count * ArchiveLimits::kDecodedObjectOverhead);
    scopes_.push_back({plist::PropertyListDictionary(archive_.plist(), entry, keyNumbers_)});
    Slot* known = nullptr;
    struct PopScope {
        NSKeyedUnarchiver& coder;
        Slot*& known;
        ~PopScope() {
            coder.scopes_.pop_back();
            if (known) known->state = Slot::Decoded;
        }
    } pop{*this, known};

    const auto& cls = archive_.classNamedBy(scopes_.back().dictionary.lookup("$class"), entry, uid);
    const auto& registered = factoryFor(cls, uid);
    auto object = registered.factory();
    // Registered before initWithCoder runs: references back to it get this same instance.
    known = &slot(uid);
    known->object = object;
    known->state = registered.isFoundationValue ? Slot::ValueBeingDecoded : Slot::Decoded;
    if (!object->initWithCoder(*this)) {
        known->object = nullptr;
        return nullptr;
    }
    return object;
}

bool NSKeyedUnarchiver::decodeBoolForKey(std::string_view key) {
    const auto value = valueForKey(key, "decodeBoolForKey:");
    if (!value) return false;
    if (value->kind == plist::Kind::Boolean) return archive_.plist().booleanValue(*value);
    // An integer reads as true when nonzero (a boolean is a number in Foundation).
    if (value->kind == plist::Kind::Integer) return archive_.plist().integerValue(*value).bits != 0;
    raiseWrongKind(key, "decodeBoolForKey:", kindName(value->kind));
}

plist::Integer NSKeyedUnarchiver::integerForKey(std::string_view key, const char* selector) {
    const auto value = valueForKey(key, selector);
    if (!value) return {};
    if (value->kind == plist::Kind::Integer) return archive_.plist().integerValue(*value);
    if (value->kind == plist::Kind::Boolean)
        return plist::Integer::fromSigned(archive_.plist().booleanValue(*value) ? 1 : 0);
    // Apple's rule: decoding a real with an integer call is a type mismatch, not a conversion.
    raiseWrongKind(key, selector, kindName(value->kind));
}

int64_t NSKeyedUnarchiver::decodeInt64ForKey(std::string_view key) {
    const auto value = integerForKey(key, "decodeInt64ForKey:");
    if (value.isUnsigned)
        NSException::raise(NSRangeException, "-[NSKeyedUnarchiver decodeInt64ForKey:]: value (" +
                                                 std::to_string(value.bits) + ") for key (" +
                                                 std::string(key) +
                                                 ") too large to fit in 64-bit integer");
    return value.signedValue();
}

int64_t NSKeyedUnarchiver::decodeIntegerForKey(std::string_view key) {
    const auto value = integerForKey(key, "decodeIntegerForKey:");
    if (value.isUnsigned)
        NSException::raise(NSRangeException, "-[NSKeyedUnarchiver decodeIntegerForKey:]: value (" +
                                                 std::to_string(value.bits) + ") for key (" +
                                                 std::string(key) +
                                                 ") too large to fit in NSInteger");
    return value.signedValue();
}

int32_t NSKeyedUnarchiver::decodeIntForKey(std::string_view key) {
    const auto value = integerForKey(key, "decodeIntForKey:");
    if (value.isUnsigned || value.signedValue() < INT32_MIN || value.signedValue() > INT32_MAX) {
        const std::string text =
            value.isUnsigned ? std::to_string(value.bits) : std::to_string(value.signedValue());
        NSException::raise(NSRangeException, "-[NSKeyedUnarchiver decodeIntForKey:]: value (" +
                                                 text + ") for key (" + std::string(key) +
                                                 ") too large to fit in 32-bit integer");
    }
    return static_cast<int32_t>(value.signedValue());
}

double NSKeyedUnarchiver::decodeDoubleForKey(std::string_view key) {
    const auto value = valueForKey(key, "decodeDoubleForKey:");
    if (!value) return 0.0;
    // Apple's rule: decoding an integer with a real call is a type mismatch.
    if (value->kind != plist::Kind::Real)
        raiseWrongKind(key, "decodeDoubleForKey:", kindName(value->kind));
    return archive_.plist().realValue(*value).value;
}

float NSKeyedUnarchiver::decodeFloatForKey(std::string_view key) {
    const auto value = valueForKey(key, "decodeFloatForKey:");
    if (!value) return 0.0f;
    if (value->kind != plist::Kind::Real)
        raiseWrongKind(key, "decodeFloatForKey:", kindName(value->kind));
    const double real = archive_.plist().realValue(*value).value;
    // A finite double beyond the float range does not fit; infinities and NaN carry over.
    if (std::isfinite(real) && std::fabs(real) > FLT_MAX)
        NSException::raise(NSRangeException, "-[NSKeyedUnarchiver decodeFloatForKey:]: value (" +
                                                 std::to_string(real) + ") for key (" +
                                                 std::string(key) + ") too large to fit in float");
    return static_cast<float>(real);
}

const uint8_t* NSKeyedUnarchiver::decodeBytesForKey_returnedLength(std::string_view key,
                                                                   size_t* length) {
    const auto value = valueForKey(key, "decodeBytesForKey:returnedLength:");
    if (length) *length = 0;
    if (!value) return nullptr;
    if (value->kind != plist::Kind::Data)
        raiseWrongKind(key, "decodeBytesForKey:returnedLength:", kindName(value->kind));
    // The bytes are the archive's own, which this decoder keeps alive. Callers copy them (NSData
    // and NSMutableData keep a copy), so they are charged: a crafted list can give one dictionary
    // holding long data many UIDs, and each decode would copy the data again.
    const auto bytes = archive_.plist().dataValue(*value).bytes;
    archive_.charge(bytes.size());
    if (length) *length = bytes.size();
    return bytes.data();
}

std::vector<std::shared_ptr<NSObject>> NSKeyedUnarchiver::decodeArrayOfObjectsForKey(
    std::string_view key) {
    const auto value = valueForKey(key, "_decodeArrayOfObjectsForKey:");
    if (!value) return {};
    if (value->kind != plist::Kind::Array)
        raiseWrongKind(key, "_decodeArrayOfObjectsForKey:", kindName(value->kind));
    const auto& list = archive_.plist();
    archive_.charge(value->count * ArchiveLimits::kDecodedElementOverhead);
    std::vector<std::shared_ptr<NSObject>> objects;
    objects.reserve(value->count);
    for (uint64_t i = 0; i < value->count; ++i) {
        const auto element = list.object(list.elementRef(*value, i));
        if (element.kind != plist::Kind::UID)
            raiseWrongKind(key, "_decodeArrayOfObjectsForKey:",
                           "an array holding something other than references");
        auto object = decodeObjectWithUID(list.uidValue(element));
        if (!object)
            NSException::raise(NSInvalidUnarchiveOperationException,
                               "keyed archive: element " + std::to_string(i) + " of " +
                                   std::string(key) + " is nil");
        objects.push_back(std::move(object));
    }
    return objects;
}

std::optional<std::string> NSKeyedUnarchiver::decodeStringForKey(std::string_view key) {
    const auto value = valueForKey(key, "_decodePropertyListForKey:");
    if (!value) return std::nullopt;
    if (value->kind != plist::Kind::String)
        raiseWrongKind(key, "_decodePropertyListForKey:", kindName(value->kind));
    archive_.charge(value->count * 3);
    return archive_.plist().stringValue(*value);
}
