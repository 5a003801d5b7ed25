#include "ArchiveDump.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <optional>
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
    bool isDictionary = false;  // entries are a dictionary's keys and values, not archive keys
};

bool isKindOf(const KeyedArchiveClass& cls, std::string_view name) {
    return std::ranges::find(cls.classes, name) != cls.classes.end();
}

// An archived date's time (seconds since 2001) shown as the date it is.
void showTimeAsDate(const KeyedArchiveClass& cls, DumpEntries& entries) {
    if (!isKindOf(cls, "NSDate")) return;
    for (auto& [key, value] : entries)
        if (const auto* time = std::get_if<plist::Real>(&value.value); time && key == "NS.time")
            value.value = time->value;
}

// An archived dictionary's keys and values paired up ("key": value), instead of its two parallel
// arrays; none when the class is no dictionary, or the arrays do not pair up or a key is not a
// string.
std::optional<DumpEntries> dictionaryEntries(const KeyedArchiveClass& cls,
                                             const DumpEntries& archived) {
    if (!isKindOf(cls, "NSDictionary")) return std::nullopt;
    const std::vector<DumpValue>*keys = nullptr, *values = nullptr;
    for (const auto& [key, value] : archived) {
        const auto* elements = std::get_if<std::vector<DumpValue>>(&value.value);
        if (key == "NS.keys") keys = elements;
        if (key == "NS.objects") values = elements;
    }
    if (!keys || !values || keys->size() != values->size()) return std::nullopt;
    DumpEntries paired;
    for (size_t i = 0; i < keys->size(); ++i) {
        const auto* key = std::get_if<std::string>(&(*keys)[i].value);
        if (!key) return std::nullopt;
        paired.push_back({*key, (*values)[i]});
    }
    return paired;
}

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
            auto entries = entriesOf(entry, 0);
            showTimeAsDate(cls, entries);
            if (auto paired = dictionaryEntries(cls, entries))
                objects_.push_back({uid, &cls, std::move(*paired), true});
            else
                objects_.push_back({uid, &cls, std::move(entries)});
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

// The shortest text that reads back as the same number (0.231, not 0.23100000000000001); a
// single-precision real as the float it is. A real stays recognisable as one: 3.0, not 3.
std::string realText(plist::Real real) {
    if (std::isnan(real.value)) return "nan";
    if (std::isinf(real.value)) return real.value < 0 ? "-inf" : "inf";
    char text[64];
    const auto end = real.isFloat32
                         ? std::to_chars(text, text + sizeof text, static_cast<float>(real.value))
                         : std::to_chars(text, text + sizeof text, real.value);
    std::string out(text, end.ptr);
    if (out.find_first_of(".e") == std::string::npos) out += ".0";
    return out;
}

// A date (seconds since 2001-01-01 00:00:00 UTC) in ISO 8601, to the millisecond when it has a
// fraction; none for a date outside the years 0001 to 9999, which a crafted archive may hold.
std::optional<std::string> isoDate(double seconds) {
    constexpr double kUnixSecondsAt2001 = 978307200;
    constexpr double kFirstSecond = -62135596800 - kUnixSecondsAt2001;     // 0001-01-01
    constexpr double kPastLastSecond = 253402300800 - kUnixSecondsAt2001;  // 10000-01-01
    if (!(seconds >= kFirstSecond && seconds < kPastLastSecond)) return std::nullopt;
    const double inMilliseconds = std::round(seconds * 1000);
    const double whole = std::floor(inMilliseconds / 1000);
    const auto milliseconds = static_cast<int>(inMilliseconds - whole * 1000);
    const auto time = static_cast<time_t>(whole + kUnixSecondsAt2001);
    tm parts{};
    if (!gmtime_r(&time, &parts)) return std::nullopt;
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    std::string out(text, length);
    if (milliseconds > 0) {
        std::snprintf(text, sizeof text, ".%03d", milliseconds);
        out += text;
    }
    return out + "Z";
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
        return realText(r) + (r.isFloat32 ? "f" : "");
    }
    std::string data(const DataSummary& d) const override {
        return "<" + std::to_string(d.length) + " bytes" + (d.length ? ": " + d.prefixHex : "") +
               (d.length > kDataPrefixBytes ? "…" : "") + ">";
    }
    std::string date(double seconds) const override {
        return isoDate(seconds).value_or("date(" + realText({seconds, false}) + ")");
    }
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
        return std::isfinite(r.value) ? realText(r) : jsonQuoted(realText(r));
    }
    std::string data(const DataSummary& d) const override {
        return "{\"$data\": {\"length\": " + std::to_string(d.length) +
               ", \"prefix\": " + jsonQuoted(d.prefixHex) + "}}";
    }
    std::string date(double seconds) const override {
        const auto iso = isoDate(seconds);
        return "{\"$date\": " + (iso ? jsonQuoted(*iso) : real({seconds, false})) + "}";
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
            out += "  " + (object.isDictionary ? jsonQuoted(key) + ": " : key + " = ") +
                   render(value, spelling) + "\n";
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
