#include "ArchiveDump.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <unordered_set>
#include <variant>
#include <vector>

#include "ArchiveLimits.h"
#include "JSONWriter.h"
#include "KeyedArchive.h"
#include "NSException.h"

namespace {

// What one value of the archive is, resolved for printing.
struct DumpValue;
// A key and its value. A named struct, not std::pair: clang over libstdc++ cannot instantiate
// std::pair<std::string, DumpValue> inside the recursive variant below.
struct DumpEntry;
using DumpEntries = std::vector<DumpEntry>;
struct DataSummary {
    uint64_t length;
    std::string prefixHex;  // of at most kDataPrefixBytes
};
struct Reference {
    uint64_t uid;
    const std::string* className;  // kept by the archive
};
struct DumpValue {
    std::variant<std::monostate, bool, plist::Integer, plist::Real, std::string, DataSummary,
                 double /*date*/, Reference, std::vector<DumpValue>, DumpEntries>
        value;
};
struct DumpEntry {
    std::string key;
    DumpValue value;
};

struct DumpObject {
    uint64_t uid;
    const KeyedArchiveClass* cls;  // kept by the archive; shared by every object of the class
    DumpEntries entries;
};

constexpr size_t kDataPrefixBytes = 32;

class Walker {
  public:
    explicit Walker(const NSData& data) : archive_(data), list_(archive_.plist()) {
        // Inline values are never shared in real archives; a crafted list that shares them (a DAG)
        // or loops could make printing explode, so printing visits at most this many values.
        budget_ = 4 * list_.objectCount() + 1024;
    }

    void walk() {
        topEntries_ = entriesOf(archive_.top(), 0);
        while (!pending_.empty()) {
            const uint64_t uid = pending_.front();
            pending_.pop_front();
            const auto entry = archive_.entry(uid);
            const auto& cls = archive_.classOf(entry, uid);
            // Each object's listing repeats its class chain: charged per object, like the memory of
            // its values, so that many objects of a class with a long chain cannot blow up the
            // output.
            uint64_t chain = cls.name.size();
            for (const auto& name : cls.classes) chain += name.size() + 3;
            archive_.charge(ArchiveLimits::kDecodedObjectOverhead + chain);
            objects_.push_back({uid, &cls, entriesOf(entry, 0)});
        }
    }

    const std::string& archiverName() const { return archive_.archiverName(); }
    const DumpEntries& topEntries() const { return topEntries_; }
    const std::vector<DumpObject>& objects() const { return objects_; }

  private:
    DumpEntries entriesOf(const plist::ObjectInfo& dictionary, unsigned depth) {
        DumpEntries entries;
        for (uint64_t i = 0; i < dictionary.count; ++i) {
            const auto key = list_.object(list_.keyRef(dictionary, i));
            std::string name = key.kind == plist::Kind::String ? text(key) : "<non-string key>";
            if (name == "$class") continue;
            entries.push_back({std::string(KeyedArchive::unescapedKey(name)),
                               valueOf(list_.object(list_.valueRef(dictionary, i)), depth + 1)});
        }
        return entries;
    }

    // The UTF-8 of a string object, charged against the archive's memory budget: a crafted list can
    // make one long string appear under many references, and each is printed in full.
    std::string text(const plist::ObjectInfo& string) {
        archive_.charge(ArchiveLimits::kDecodedElementOverhead + 3 * string.count);
        return list_.stringValue(string);
    }

    DumpValue scalar(const plist::ObjectInfo& object) {
        switch (object.kind) {
            case plist::Kind::Boolean:
                return {list_.booleanValue(object)};
            case plist::Kind::Integer:
                return {list_.integerValue(object)};
            case plist::Kind::Real:
                return {list_.realValue(object)};
            case plist::Kind::String:
                return {text(object)};
            case plist::Kind::Date:
                return {list_.dateValue(object)};
            case plist::Kind::Data: {
                const auto bytes = list_.dataValue(object).bytes;
                static const char* digits = "0123456789abcdef";
                std::string hex;
                for (size_t i = 0; i < bytes.size() && i < kDataPrefixBytes; ++i) {
                    hex.push_back(digits[bytes[i] >> 4]);
                    hex.push_back(digits[bytes[i] & 0xF]);
                }
                return {DataSummary{bytes.size(), hex}};
            }
            default:
                return {};
        }
    }

    DumpValue valueOf(const plist::ObjectInfo& object, unsigned depth) {
        if (depth > ArchiveLimits::kMaxNestingDepth)
            NSException::raise(NSInvalidArgumentException,
                               "keyed archive: values nest deeper than " +
                                   std::to_string(ArchiveLimits::kMaxNestingDepth) + " levels");
        if (budget_-- == 0)
            NSException::raise(NSInvalidArgumentException,
                               "keyed archive: values are shared too often to print");
        archive_.charge(ArchiveLimits::kDecodedElementOverhead);
        switch (object.kind) {
            case plist::Kind::UID:
                return reference(list_.uidValue(object));
            case plist::Kind::Array:
            case plist::Kind::Set: {
                std::vector<DumpValue> elements;
                for (uint64_t i = 0; i < object.count; ++i)
                    elements.push_back(
                        valueOf(list_.object(list_.elementRef(object, i)), depth + 1));
                return {std::move(elements)};
            }
            case plist::Kind::Dictionary:
                return {entriesOf(object, depth)};
            default:
                return scalar(object);
        }
    }

    // A reference: none, a value stored in $objects (shown in place), or an object (listed once).
    DumpValue reference(uint64_t uid) {
        if (uid == 0) return {};
        const auto entry = archive_.entry(uid);
        if (archive_.isNullEntry(entry)) return {};
        // As NSKeyedUnarchiver refuses them: only values and object dictionaries can be archived
        // objects.
        if (entry.kind == plist::Kind::Array || entry.kind == plist::Kind::Set ||
            entry.kind == plist::Kind::UID)
            NSException::raise(NSInvalidUnarchiveOperationException,
                               "keyed archive: the $objects entry of UID " + std::to_string(uid) +
                                   " is " +
                                   (entry.kind == plist::Kind::UID   ? "an object reference"
                                    : entry.kind == plist::Kind::Set ? "a set"
                                                                     : "an array") +
                                   ", which no archived object can be");
        if (entry.kind != plist::Kind::Dictionary) return scalar(entry);
        const auto& cls = archive_.classOf(entry, uid);
        if (seen_.insert(uid).second) pending_.push_back(uid);
        // Printed with each reference: charged per reference, as the chain is per object.
        archive_.charge(cls.name.size());
        return {Reference{uid, &cls.name}};
    }

    KeyedArchive archive_;
    const plist::BinaryPropertyList& list_;
    uint64_t budget_;
    DumpEntries topEntries_;
    std::vector<DumpObject> objects_;
    std::unordered_set<uint64_t> seen_;
    std::deque<uint64_t> pending_;
};

std::string integerText(plist::Integer i) {
    return i.isUnsigned ? std::to_string(i.bits) : std::to_string(i.signedValue());
}

std::string realText(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    // Keep a real recognisable as one: 3.0, not 3.
    if (!std::strpbrk(text, ".e")) std::strcat(text, ".0");
    return text;
}

// The two renderings differ only in how each kind of value is spelled.
struct Spelling {
    virtual ~Spelling() = default;
    virtual std::string none() const = 0;
    virtual std::string real(plist::Real r) const = 0;
    virtual std::string data(const DataSummary& d) const = 0;
    virtual std::string date(double seconds) const = 0;
    virtual std::string reference(const Reference& r) const = 0;
    virtual std::string array(const std::vector<std::string>& elements) const = 0;
    virtual std::string dictionary(
        const std::vector<std::pair<std::string, std::string>>& entries) const = 0;
};

std::string render(const DumpEntries& entries, const Spelling& spelling);

std::string render(const DumpValue& v, const Spelling& spelling) {
    struct Visitor {
        const Spelling& spelling;
        std::string operator()(std::monostate) const { return spelling.none(); }
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(plist::Integer i) const { return integerText(i); }
        std::string operator()(plist::Real r) const { return spelling.real(r); }
        std::string operator()(const std::string& s) const { return jsonQuoted(s); }
        std::string operator()(const DataSummary& d) const { return spelling.data(d); }
        std::string operator()(double date) const { return spelling.date(date); }
        std::string operator()(const Reference& r) const { return spelling.reference(r); }
        std::string operator()(const std::vector<DumpValue>& elements) const {
            std::vector<std::string> parts;
            for (const auto& e : elements) parts.push_back(render(e, spelling));
            return spelling.array(parts);
        }
        std::string operator()(const DumpEntries& entries) const {
            return render(entries, spelling);
        }
    };
    return std::visit(Visitor{spelling}, v.value);
}

// Entries are rendered in place: wrapping them in a DumpValue first would copy them whole.
std::string render(const DumpEntries& entries, const Spelling& spelling) {
    std::vector<std::pair<std::string, std::string>> parts;
    for (const auto& [k, e] : entries) parts.emplace_back(k, render(e, spelling));
    return spelling.dictionary(parts);
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? separator : "") + parts[i];
    return out;
}

struct TextSpelling final : Spelling {
    std::string none() const override { return "nil"; }
    std::string real(plist::Real r) const override {
        return realText(r.value) + (r.isFloat32 ? "f" : "");
    }
    std::string data(const DataSummary& d) const override {
        return "<" + std::to_string(d.length) + " bytes" + (d.length ? ": " + d.prefixHex : "") +
               (d.length > kDataPrefixBytes ? "…" : "") + ">";
    }
    std::string date(double seconds) const override { return "date(" + realText(seconds) + ")"; }
    std::string reference(const Reference& r) const override {
        return "@" + std::to_string(r.uid) + " " + *r.className;
    }
    std::string array(const std::vector<std::string>& elements) const override {
        return "[" + joined(elements, ", ") + "]";
    }
    std::string dictionary(
        const std::vector<std::pair<std::string, std::string>>& entries) const override {
        std::vector<std::string> parts;
        for (const auto& [k, v] : entries) parts.push_back(jsonQuoted(k) + ": " + v);
        return "{" + joined(parts, ", ") + "}";
    }
};

struct JSONSpelling final : Spelling {
    std::string none() const override { return "null"; }
    std::string real(plist::Real r) const override {
        return std::isfinite(r.value) ? realText(r.value) : jsonQuoted(realText(r.value));
    }
    std::string data(const DataSummary& d) const override {
        return "{\"$data\": {\"length\": " + std::to_string(d.length) +
               ", \"prefix\": " + jsonQuoted(d.prefixHex) + "}}";
    }
    std::string date(double seconds) const override {
        return "{\"$date\": " + real({seconds, false}) + "}";
    }
    std::string reference(const Reference& r) const override {
        return "{\"$ref\": " + std::to_string(r.uid) + "}";
    }
    std::string array(const std::vector<std::string>& elements) const override {
        return "[" + joined(elements, ", ") + "]";
    }
    std::string dictionary(
        const std::vector<std::pair<std::string, std::string>>& entries) const override {
        std::vector<std::string> parts;
        for (const auto& [k, v] : entries) parts.push_back(jsonQuoted(k) + ": " + v);
        return "{" + joined(parts, ", ") + "}";
    }
};

std::string renderText(const Walker& walker) {
    const TextSpelling spelling;
    std::string out = "archiver: " + walker.archiverName() + "\nversion: 100000\ntop:\n";
    for (const auto& [key, value] : walker.topEntries())
        out += "  " + key + " = " + render(value, spelling) + "\n";
    for (const auto& object : walker.objects()) {
        out += "@" + std::to_string(object.uid) + " " + object.cls->name;
        if (!object.cls->classes.empty()) out += " (" + joined(object.cls->classes, " : ") + ")";
        out += "\n";
        for (const auto& [key, value] : object.entries)
            out += "  " + key + " = " + render(value, spelling) + "\n";
    }
    return out;
}

std::string renderJSON(const Walker& walker) {
    const JSONSpelling spelling;
    std::string out = "{\"archiver\": " + jsonQuoted(walker.archiverName()) +
                      ", \"version\": 100000,\n \"top\": " + render(walker.topEntries(), spelling) +
                      ",\n \"objects\": [";
    const auto& objects = walker.objects();
    for (size_t i = 0; i < objects.size(); ++i) {
        const auto& object = objects[i];
        std::vector<std::string> classes;
        for (const auto& c : object.cls->classes) classes.push_back(jsonQuoted(c));
        out += std::string(i ? ",\n  " : "\n  ") + "{\"uid\": " + std::to_string(object.uid) +
               ", \"class\": " + jsonQuoted(object.cls->name) +
               ", \"classes\": " + spelling.array(classes) +
               ", \"values\": " + render(object.entries, spelling) + "}";
    }
    return out + "]}\n";
}

}  // namespace

std::string dumpKeyedArchive(const std::shared_ptr<const NSData>& data, DumpFormat format) {
    Walker walker(*data);
    walker.walk();
    return format == DumpFormat::JSON ? renderJSON(walker) : renderText(walker);
}
