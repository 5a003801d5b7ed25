#pragma once
// What the Foundation tests share: archiving through a callback, a test-only archivable object of
// any class name, and describe(), a compact text form of an object graph that keeps kinds and
// sharing.

#include <charconv>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "NSArray.h"
#include "NSData.h"
#include "NSDate.h"
#include "NSDictionary.h"
#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "NSNull.h"
#include "NSNumber.h"
#include "NSSet.h"
#include "NSString.h"
#include "NSURL.h"
#include "NSUUID.h"

namespace test {

inline std::shared_ptr<NSData> archive(const std::function<void(NSKeyedArchiver&)>& encode) {
    auto data = NSMutableData::data();
    auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
    encode(*archiver);
    archiver->finishEncoding();
    return data;
}

inline std::shared_ptr<NSData> archiveRoot(const std::shared_ptr<NSObject>& root) {
    return archive([&](NSKeyedArchiver& archiver) {
        archiver.encodeObject_forKey(root, NSKeyedArchiveRootObjectKey);
    });
}

inline std::shared_ptr<NSObject> str(std::string_view utf8) {
    return NSString::stringWithUTF8String(utf8);
}
inline std::shared_ptr<NSObject> num(int64_t value) {
    return NSNumber::numberWithInteger(value);
}

// A class of RecordedObject: its record, and the keys it reads, each "name" (an object), "name:c"
// (a conditional object), "name:i", "name:b", "name:f" or "name:d" (an inline integer, boolean,
// float or double), separated by spaces.
struct RecordedClass {
    NSClass cls;
    const char* keys;
};

// An object of a class the program does not have, as a test sees it: the fields it read or will
// write, in order. A scalar field holds an NSNumber of its kind; a field read as absent is left
// out.
class RecordedObject : public NSObject {
  public:
    struct Field {
        std::string key;
        char kind;  // 'o' object, 'c' conditional object, 'i', 'b', 'f', 'd' inline scalars
        std::shared_ptr<NSObject> value;
    };

    explicit RecordedObject(const RecordedClass& recorded, std::vector<Field> fields = {})
        : recorded_(recorded), fields(std::move(fields)) {}
    const NSClass& classForKeyedArchiver() const override { return recorded_.cls; }

    void encodeWithCoder(NSCoder& coder) const override {
        for (const auto& [key, kind, value] : fields) {
            const auto number = std::dynamic_pointer_cast<const NSNumber>(value);
            // clang-format off
            switch (kind) {
                case 'c': coder.encodeConditionalObject_forKey(value, key); break;
                case 'i': coder.encodeInt64_forKey(number->integerValue(), key); break;
                case 'b': coder.encodeBool_forKey(number->boolValue(), key); break;
                case 'f': coder.encodeFloat_forKey(number->floatValue(), key); break;
                case 'd': coder.encodeDouble_forKey(number->doubleValue(), key); break;
                default: coder.encodeObject_forKey(value, key);
            }
            // clang-format on
        }
    }
    bool initWithCoder(NSCoder& coder) override {
        std::istringstream keys(recorded_.keys);
        for (std::string entry; keys >> entry;) {
            const auto colon = entry.find(':');
            const std::string key = entry.substr(0, colon);
            const char kind = colon == std::string::npos ? 'o' : entry[colon + 1];
            if (!coder.containsValueForKey(key)) continue;
            std::shared_ptr<NSObject> value;
            // clang-format off
            switch (kind) {
                case 'i': value = NSNumber::numberWithInteger(coder.decodeInt64ForKey(key)); break;
                case 'b': value = NSNumber::numberWithBool(coder.decodeBoolForKey(key)); break;
                case 'f': value = NSNumber::numberWithFloat(coder.decodeFloatForKey(key)); break;
                case 'd': value = NSNumber::numberWithDouble(coder.decodeDoubleForKey(key)); break;
                default: value = coder.decodeObjectForKey(key);
            }
            // clang-format on
            fields.push_back({key, kind, std::move(value)});
        }
        return true;
    }

  private:
    const RecordedClass& recorded_;

  public:
    std::vector<Field> fields;
};

inline void registerRecordedClass(const RecordedClass& recorded) {
    NSKeyedUnarchiver::setClass_forClassName(
        [&recorded] { return std::make_shared<RecordedObject>(recorded); }, recorded.cls.name);
}

// describe(): "text", 42, 7u (unsigned), true, 0.5f, 0.5d, null (NSNull), nil (none), <00ff>
// (data), NSArray[…], NSDictionary{key: value, …}, NSSet(…), NSURL("rel" base …), NSDate(…),
// NSUUID(…), Class{key: value, …} for a RecordedObject; a subclass is named in front
// (NSMutableString"a"). An object met more than once is printed as #n=… the first time and #n
// after, so that sharing, and its absence, is part of the text.
class Describer {
  public:
    std::string operator()(const std::vector<std::shared_ptr<NSObject>>& roots) {
        for (const auto& root : roots) count(root.get());
        std::string out;
        for (const auto& root : roots) out += (out.empty() ? "" : ", ") + describe(root.get());
        return out;
    }

  private:
    template <class F>
    void forEachChild(const NSObject* object, F&& f) {
        if (const auto* array = dynamic_cast<const NSArray*>(object)) {
            for (const auto& o : array->objects()) f(o.get());
        } else if (const auto* dictionary = dynamic_cast<const NSDictionary*>(object)) {
            for (const auto& [key, value] : dictionary->entries()) f(key.get()), f(value.get());
        } else if (const auto* set = dynamic_cast<const NSSet*>(object)) {
            for (const auto& o : set->allObjects()) f(o.get());
        } else if (const auto* ordered = dynamic_cast<const NSOrderedSet*>(object)) {
            for (const auto& o : ordered->array()) f(o.get());
        } else if (const auto* url = dynamic_cast<const NSURL*>(object)) {
            if (url->baseURL()) f(url->baseURL().get());
        } else if (const auto* recorded = dynamic_cast<const RecordedObject*>(object)) {
            for (const auto& field : recorded->fields) f(field.value.get());
        }
    }
    void count(const NSObject* object) {
        if (!object || ++seen_[object] > 1) return;
        forEachChild(object, [this](const NSObject* child) { count(child); });
    }
    static std::string real(double value) {
        char buffer[64];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
    }
    static std::string prefix(const NSObject& object, const char* plain) {
        return object.className() == plain ? "" : object.className();
    }
    std::string describe(const NSObject* object) {
        if (!object) return "nil";
        std::string label;
        if (seen_[object] > 1) {
            auto [it, added] = labels_.try_emplace(object, labels_.size() + 1);
            label = "#" + std::to_string(it->second);
            if (!added) return label;
            label += "=";
        }
        return label + body(*object);
    }
    std::string children(const NSObject& object, const char* open, const char* close) {
        std::string out = object.className() + open;
        bool first = true, isKey = true;
        const bool pairs = dynamic_cast<const NSDictionary*>(&object) != nullptr;
        forEachChild(&object, [&](const NSObject* child) {
            if (!first) out += pairs && !isKey ? ": " : ", ";
            first = false;
            out += describe(child);
            isKey = !isKey;
        });
        return out + close;
    }
    std::string body(const NSObject& object) {
        if (dynamic_cast<const NSNull*>(&object)) return "null";
        if (const auto* s = dynamic_cast<const NSString*>(&object))
            return prefix(object, "NSString") + "\"" + s->UTF8String() + "\"";
        if (const auto* n = dynamic_cast<const NSNumber*>(&object)) {
            // clang-format off
            switch (n->type()) {
                case NSNumber::Type::Bool: return n->boolValue() ? "true" : "false";
                case NSNumber::Type::Integer: return std::to_string(n->integerValue());
                case NSNumber::Type::UnsignedInteger: return std::to_string(n->unsignedLongLongValue()) + "u";
                case NSNumber::Type::Float: return real(n->floatValue()) + "f";
                case NSNumber::Type::Double: return real(n->doubleValue()) + "d";
            }
            // clang-format on
        }
        if (const auto* d = dynamic_cast<const NSData*>(&object)) {
            static const char* digits = "0123456789abcdef";
            std::string hex;
            for (uint8_t b : d->span()) hex += {digits[b >> 4], digits[b & 15]};
            return prefix(object, "NSData") + "<" + hex + ">";
        }
        if (const auto* date = dynamic_cast<const NSDate*>(&object))
            return "NSDate(" + real(date->timeIntervalSinceReferenceDate()) + ")";
        if (const auto* uuid = dynamic_cast<const NSUUID*>(&object))
            return "NSUUID(" + uuid->UUIDString() + ")";
        if (const auto* url = dynamic_cast<const NSURL*>(&object))
            return "NSURL(\"" + url->relativeString() + "\"" +
                   (url->baseURL() ? " base " + describe(url->baseURL().get()) : "") + ")";
        if (dynamic_cast<const NSArray*>(&object)) return children(object, "[", "]");
        if (dynamic_cast<const NSSet*>(&object) || dynamic_cast<const NSOrderedSet*>(&object))
            return children(object, "(", ")");
        if (dynamic_cast<const NSDictionary*>(&object)) return children(object, "{", "}");
        if (const auto* recorded = dynamic_cast<const RecordedObject*>(&object)) {
            std::string out = object.className() + "{";
            for (const auto& field : recorded->fields)
                out += (out.back() == '{' ? "" : ", ") + field.key + ": " +
                       describe(field.value.get());
            return out + "}";
        }
        return object.className() + "{?}";
    }

    std::map<const NSObject*, int> seen_;
    std::map<const NSObject*, size_t> labels_;
};

inline std::string describe(const std::vector<std::shared_ptr<NSObject>>& roots) {
    return Describer()(roots);
}
inline std::string describe(const std::shared_ptr<NSObject>& root) {
    return describe(std::vector{root});
}

}  // namespace test
