// Archives our NSKeyedArchiver writes are read elsewhere. Each one, written to a scratch file,
// - passes tests/tools/check_archive.py, which reads it with Python's plistlib (no code shared with
//   ours): Apple's keyed-archive structure, then the values expected under paths;
// - reads back through our NSKeyedUnarchiver to the same objects, kinds and sharing;
// - has the layout of Apple's CoreFoundation writer, checked by a reader of the bytes written here:
//   minimal offset, reference, integer and UID widths, top object first and pre-order, the long
//   count form from 15 on, ASCII only when the whole string is ASCII.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "FoundationTestSupport.h"
#include "KeyedArchive.h"
#include "NSException.h"
#include "TestSupport.h"

namespace {

using test::num;
using test::RecordedObject;
using test::str;

const test::RecordedClass kBase{{"InteropBase", &NSObject::objcClass()}, "name"};
const test::RecordedClass kMiddle{{"InteropMiddle", &kBase.cls}, "name level:i weight:d $weird:i"};
const test::RecordedClass kLeaf{{"InteropLeaf", &kMiddle.cls},
                                "name level:i weight:d $weird:i payload owner flag:b ratio:f"};

std::shared_ptr<RecordedObject> makeLeaf(const std::string& name, int64_t level,
                                         std::shared_ptr<NSObject> payload = nullptr,
                                         std::shared_ptr<NSObject> owner = nullptr) {
    return std::make_shared<RecordedObject>(
        kLeaf, std::vector<RecordedObject::Field>{
                   {"name", 'o', str(name)},
                   {"level", 'i', num(level)},
                   {"weight", 'd', NSNumber::numberWithDouble(0.25 * level)},
                   {"$weird", 'i', num(-level)},  // stored as "$$weird"
                   {"payload", 'o', payload},
                   {"owner", 'c', owner},
                   {"flag", 'b', NSNumber::numberWithBool(level % 2)},
                   {"ratio", 'f', NSNumber::numberWithFloat(0.5f)}});
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += c == '"' || c == '\\' ? std::string{'\\', static_cast<char>(c)}
               : c < 0x20            ? escaped
                                     : std::string(1, c);
    }
    return out + "\"";
}

std::string hex(std::span<const uint8_t> bytes) {
    std::string out;
    char digits[3];
    for (uint8_t b : bytes) std::snprintf(digits, sizeof digits, "%02x", b), out += digits;
    return out;
}

test::CommandResult runChecker(std::vector<std::string> arguments) {
    arguments.insert(
        arguments.begin(),
        {VANTLER_PYTHON, (test::sourceDir() / "tests/tools/check_archive.py").string()});
    return test::run(arguments);
}

// The checker run on `data` with the expectations `json` (a JSON list) passes.
void expectCheckerPasses(const NSData& data, const std::string& json) {
    test::ScratchDirectory scratch;
    test::writeFile(scratch.path() / "archive.bplist",
                    {data.bytes(), data.bytes() + data.length()});
    test::writeFile(scratch.path() / "checks.json", {json.begin(), json.end()});
    const auto result = runChecker({(scratch.path() / "archive.bplist").string(), "--expect",
                                    (scratch.path() / "checks.json").string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_TRUE(result.standardOutput.starts_with("ok archive.bplist: ")) << result.standardOutput;
}

// A reader of the bytes of a binary property list that shares nothing with the production reader.
struct ParsedPlist {
    struct Object {
        uint64_t offset, payload, length = 0;
        uint8_t marker, lengthMarker = 0;  // lengthMarker: the integer marker of a long count
    };
    explicit ParsedPlist(const NSData& data) : bytes(data.bytes(), data.bytes() + data.length()) {
        const size_t t = bytes.size() - 32;
        offsetSize = bytes.at(t + 6), refSize = bytes.at(t + 7);
        count = be(t + 8, 8), top = be(t + 16, 8), tableOffset = be(t + 24, 8);
        for (uint64_t i = 0; i < count; ++i)
            offsets.push_back(be(tableOffset + i * offsetSize, offsetSize));
    }
    uint64_t be(uint64_t offset, unsigned width) const {
        uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i) value = (value << 8) | bytes.at(offset + i);
        return value;
    }
    Object at(uint64_t ref) const {
        Object o{offsets.at(ref), offsets.at(ref) + 1, 0, bytes.at(offsets.at(ref))};
        if (const uint8_t high = o.marker >> 4;
            high == 0x4 || high == 0x5 || high == 0x6 || high == 0xA || high == 0xD) {
            o.length = o.marker & 0x0F;
            if (o.length == 0x0F) {
                o.lengthMarker = bytes.at(o.payload);
                o.length = be(o.payload + 1, 1u << (o.lengthMarker & 0x0F));
                o.payload += 1 + (1u << (o.lengthMarker & 0x0F));
            }
        }
        return o;
    }
    std::vector<uint64_t> refs(const Object& o) const {  // elements, or keys then values
        std::vector<uint64_t> out;
        for (uint64_t i = 0; i < ((o.marker >> 4) == 0xD ? 2 : 1) * o.length; ++i)
            out.push_back(be(o.payload + i * refSize, refSize));
        return out;
    }
    std::string ascii(const Object& o) const {
        return {bytes.begin() + o.payload, bytes.begin() + o.payload + o.length};
    }
    // The object at a path such as "$top/root/NS.objects/2", following the UIDs met on the way.
    Object walk(std::string_view path) const {
        const auto objects = refs(at(step(0, "$objects")));
        uint64_t ref = 0;
        for (size_t start = 0; start <= path.size();) {
            const size_t slash = std::min(path.find('/', start), path.size());
            if ((at(ref).marker >> 4) == 0x8)
                ref = objects.at(be(at(ref).payload, (at(ref).marker & 0x0F) + 1u));
            ref = step(ref, std::string(path.substr(start, slash - start)));
            start = slash + 1;
        }
        if ((at(ref).marker >> 4) == 0x8)
            ref = objects.at(be(at(ref).payload, (at(ref).marker & 0x0F) + 1u));
        return at(ref);
    }
    uint64_t step(uint64_t ref, const std::string& name) const {
        const auto o = at(ref);
        const auto r = refs(o);
        if ((o.marker >> 4) == 0xA) return r.at(std::stoul(name));
        for (uint64_t i = 0; i < o.length; ++i)
            if (ascii(at(r[i])) == name) return r[o.length + i];
        throw std::runtime_error("no key " + name);
    }

    std::vector<uint8_t> bytes;
    unsigned offsetSize, refSize;
    uint64_t count, top, tableOffset;
    std::vector<uint64_t> offsets;
};

unsigned minimalWidth(uint64_t value) {
    return value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : value <= 0xFFFFFFFF ? 4 : 8;
}

// Apple's writer rules, for every object of the file.
void expectAppleLayout(const NSData& data) {
    const ParsedPlist p(data);
    ASSERT_EQ(std::string(p.bytes.begin(), p.bytes.begin() + 8), "bplist00");
    EXPECT_EQ(p.be(p.bytes.size() - 32, 6), 0u);  // the unused trailer bytes
    EXPECT_EQ(p.offsetSize, minimalWidth(p.tableOffset));
    EXPECT_EQ(p.refSize, minimalWidth(p.count));  // the count, not the largest reference
    EXPECT_EQ(p.top, 0u);
    EXPECT_EQ(p.offsets.at(0), 8u);
    EXPECT_TRUE(std::is_sorted(p.offsets.begin(), p.offsets.end()));
    EXPECT_EQ(p.at(0).marker, 0xD4);  // the top-level dictionary of four keys comes first
    for (uint64_t ref = 0; ref < p.count; ++ref) {
        SCOPED_TRACE("object " + std::to_string(ref));
        const auto o = p.at(ref);
        const uint8_t high = o.marker >> 4, low = o.marker & 0x0F;
        if (o.lengthMarker) {
            EXPECT_GE(o.length, 15u);
            EXPECT_EQ(o.lengthMarker, 0x10 | std::countr_zero(minimalWidth(o.length)));
        }
        if (high == 0x1 &&
            low <= 2) {  // 1, 2, 4 bytes unsigned, each only when the smaller do not do
            EXPECT_EQ(1u << low, minimalWidth(p.be(o.payload, 1u << low)));
        } else if (high == 0x1 && low == 3) {  // negative, or from 2^32 to INT64_MAX
            const auto value = static_cast<int64_t>(p.be(o.payload, 8));
            EXPECT_TRUE(value < 0 || value > int64_t{0xFFFFFFFF}) << value;
        } else if (high == 0x1) {  // 16 bytes: above INT64_MAX, high half zero
            EXPECT_EQ(o.marker, 0x14);
            EXPECT_EQ(p.be(o.payload, 8), 0u);
            EXPECT_GT(p.be(o.payload + 8, 8), uint64_t{INT64_MAX});
        } else if (high == 0x5) {
            for (uint8_t c : p.ascii(o)) EXPECT_LT(c, 0x80);
        } else if (high == 0x6) {  // UTF-16 only when some unit is not ASCII
            bool nonASCII = false;
            for (uint64_t i = 0; i < o.length; ++i) nonASCII |= p.be(o.payload + 2 * i, 2) >= 0x80;
            EXPECT_TRUE(nonASCII);
        } else if (high == 0x8) {
            EXPECT_EQ(low + 1u, minimalWidth(p.be(o.payload, low + 1u)));
        } else if (high == 0xA || high == 0xD) {  // pre-order: collections are never shared
            for (uint64_t child : p.refs(o)) {
                if (const uint8_t h = p.at(child).marker >> 4; h == 0xA || h == 0xD) {
                    EXPECT_GT(child, ref);
                }
            }
        } else {
            EXPECT_TRUE(o.marker == 0x08 || o.marker == 0x09 || o.marker == 0x22 ||
                        o.marker == 0x23 || high == 0x4)
                << "marker " << int{o.marker} << " is never written by Apple";
        }
    }
}

struct InteropCase {
    const char* name;
    std::shared_ptr<NSObject> root;
    std::string checks;  // the checker's expectations, a JSON list
    std::vector<std::pair<const char*, uint8_t>> markers;  // the marker of the entry at each path
    std::string decoded = "";  // describe() of the root read back, when not the root's own
};

std::vector<InteropCase> interopCases() {
    const std::vector<std::string> strings = {"hello",
                                              "",
                                              "M\u00e4ssig, Ma\u00df" /* Latin-1 is UTF-16 too */,
                                              "\u65e5\u672c\u8a9e",
                                              "\U0001F389 party" /* a surrogate pair */,
                                              "fourteen chars",
                                              "fifteen chars!!",
                                              std::string(300, 'x'),
                                              "tab\tnew\nline"};
    std::vector<std::shared_ptr<NSObject>> stringObjects;
    std::string stringList;
    for (const auto& s : strings) {
        stringObjects.push_back(str(s));
        stringList += (stringList.empty() ? "" : ", ") + jsonString(s);
    }
    stringObjects.push_back(NSMutableString::stringWithString("mutable \u00fc"));

    std::vector<uint8_t> big(100 * 1024);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + i / 256);
    auto mutableData = NSMutableData::data();
    mutableData->appendBytes_length("abc", 3);

    const uint64_t aboveInt64 =
        (uint64_t{1} << 63) + 44;  // the value of an Apple-written 16-byte integer

    std::vector<std::shared_ptr<NSObject>> fifteen, many;
    for (int64_t i = 0; i < 15; ++i) fifteen.push_back(num(100 + i));
    for (int i = 0; i < 300; ++i) many.push_back(str("s" + std::to_string(i)));
    auto nested = NSMutableDictionary::dictionary();
    nested->setObject_forKey(str("one"), num(1));
    nested->setObject_forKey(NSArray::arrayWithObjects({num(2), NSArray::arrayWithObjects({}),
                                                        std::make_shared<NSDictionary>()}),
                             num(-7));
    nested->setObject_forKey(
        NSDictionary::dictionaryWithEntries({{num(3000000000), NSMutableArray::array()}}),
        str("deep"));
    nested->setObject_forKey(NSArray::arrayWithObjects(fifteen), str("fifteen"));
    auto mutableOrdered = NSMutableOrderedSet::orderedSet();
    for (int64_t v : {3, 1, 2}) mutableOrdered->addObject(num(v));

    const auto shared =
        std::make_shared<NSMutableArray>(std::vector<std::shared_ptr<NSObject>>{str("x")});
    const auto text = str("shared string");
    const auto later = str("stored after"), earlier = str("stored before");
    const auto middle = std::make_shared<RecordedObject>(
        kMiddle,
        std::vector<RecordedObject::Field>{{"name", 'o', str("middle")},
                                           {"level", 'i', num(10)},
                                           {"weight", 'd', NSNumber::numberWithDouble(-1.5)},
                                           {"$weird", 'i', num(99)}});

    return {
        {"strings",
         NSArray::arrayWithObjects(stringObjects),
         R"([{"path": "$top/root/NS.objects", "equals": [)" + stringList +
             R"(, {"$class": "NSMutableString", "NS.string": "mutable \u00fc"}]},
             {"path": "$top/root/NS.objects/9", "classes": ["NSMutableString", "NSString", "NSObject"], "class": "NSMutableString"}])",
         {{"$top/root/NS.objects/0", 0x55},
          {"$top/root/NS.objects/1", 0x50},
          {"$top/root/NS.objects/2", 0x6B},
          {"$top/root/NS.objects/3", 0x63},
          {"$top/root/NS.objects/4", 0x68},
          {"$top/root/NS.objects/5", 0x5E},
          {"$top/root/NS.objects/6", 0x5F},
          {"$top/root/NS.objects/7", 0x5F},
          {"$top/root/NS.objects/8", 0x5C}}},
        {"data",
         NSArray::arrayWithObjects(
             {NSData::dataWithBytes_length(nullptr, 0), NSData::dataWithVector(big), mutableData}),
         R"([{"path": "$top/root/NS.objects", "equals": [{"$data": ""}, {"$data": ")" + hex(big) +
             R"("}, {"$class": "NSMutableData", "NS.data": {"$data": "616263"}}]}])",
         {{"$top/root/NS.objects/0", 0x40}, {"$top/root/NS.objects/1", 0x4F}}},
        {"numbers",
         NSArray::arrayWithObjects(
             {NSNumber::numberWithUnsignedLongLong(UINT64_MAX),
              NSNumber::numberWithUnsignedLongLong(aboveInt64), num(-2), num(5),
              NSNumber::numberWithBool(true), NSNumber::numberWithBool(false), num(1),
              NSNumber::numberWithFloat(0.1f), NSNumber::numberWithDouble(0.1)}),
         R"([{"path": "$top/root/NS.objects", "equals": [18446744073709551615, 9223372036854775852, -2, 5, true, false, 1,
                                                          0.10000000149011612, 0.1]},
             {"path": "$top/root/NS.objects/7", "real32_bits": "3dcccccd"}])",
         {{"$top/root/NS.objects/0", 0x14},
          {"$top/root/NS.objects/1", 0x14},
          {"$top/root/NS.objects/2", 0x13},
          {"$top/root/NS.objects/3", 0x10},
          {"$top/root/NS.objects/4", 0x09},
          {"$top/root/NS.objects/5", 0x08},
          {"$top/root/NS.objects/7", 0x22},
          {"$top/root/NS.objects/8", 0x23}}},
        {"collections with boxed integer keys",
         nested,
         R"([{"path": "$top/root", "class": "NSMutableDictionary", "classes": ["NSMutableDictionary", "NSDictionary", "NSObject"]},
             {"path": "$top/root", "equals": {"$class": "NSMutableDictionary", "NS.keys": [1, -7, "deep", "fifteen"],
               "NS.objects": ["one", {"$class": "NSArray", "NS.objects": [2, {"$class": "NSArray", "NS.objects": []},
                                                          {"$class": "NSDictionary", "NS.keys": [], "NS.objects": []}]},
                 {"$class": "NSDictionary", "NS.keys": [3000000000], "NS.objects": [{"$class": "NSMutableArray", "NS.objects": []}]},
                 {"$class": "NSArray", "NS.objects": [100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114]}]}}])",
         {{"$top/root/NS.keys/0", 0x10}}},
        {"ordered sets",
         NSArray::arrayWithObjects(
             {NSOrderedSet::orderedSetWithObjects({str("b"), str("a"), str("c")}), mutableOrdered,
              NSOrderedSet::orderedSetWithObjects({})}),
         R"([{"path": "$top/root/NS.objects/0", "equals": {"$class": "NSOrderedSet", "NS.object.0": "b", "NS.object.1": "a", "NS.object.2": "c"}},
             {"path": "$top/root/NS.objects/1", "equals": {"$class": "NSMutableOrderedSet", "NS.object.0": 3, "NS.object.1": 1, "NS.object.2": 2}},
             {"path": "$top/root/NS.objects/2", "keys": ["$class"]}])",
         {}},
        {"UUID, URLs, null and date",
         NSArray::arrayWithObjects(
             {NSUUID::initWithUUIDString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"),
              NSURL::URLWithString("https://example.com/a%20b?q=1"),
              NSURL::URLWithString_relativeToURL("docs/file.vantler",
                                                 NSURL::URLWithString("file:///Users/me/")),
              NSNull::null(), NSDate::dateWithTimeIntervalSinceReferenceDate(680457815.615284)}),
         R"([{"path": "$top/root/NS.objects/0", "equals": {"$class": "NSUUID", "NS.uuidbytes": {"$data": "e621e1f8c36c495a93fc0c247a3e6e5f"}}},
             {"path": "$top/root/NS.objects/1/NS.base", "uid": 0},
             {"path": "$top/root/NS.objects/2", "equals": {"$class": "NSURL", "NS.base": {"$class": "NSURL", "NS.base": null,
               "NS.relative": "file:///Users/me/"}, "NS.relative": "docs/file.vantler"}},
             {"path": "$top/root/NS.objects/3", "keys": ["$class"]},
             {"path": "$top/root/NS.objects/4/NS.time", "real64_bits": "41c4477b2bcec1a0"}])",
         {{"$top/root/NS.objects/0/NS.uuidbytes", 0x4F}, {"$top/root/NS.objects/4/NS.time", 0x23}}},
        // One object stored twice is one UID; equal but distinct objects stay two, as Apple keeps
        // them.
        {"sharing",
         NSArray::arrayWithObjects(
             {shared, shared, text, str("shared string"), text, makeLeaf("leaf", 1, shared)}),
         R"([{"path": "$top/root/NS.objects/0", "same_as": "$top/root/NS.objects/1"},
             {"path": "$top/root/NS.objects/0", "same_as": "$top/root/NS.objects/5/payload"},
             {"path": "$top/root/NS.objects/2", "same_as": "$top/root/NS.objects/4"},
             {"path": "$top/root/NS.objects/2", "differs_from": "$top/root/NS.objects/3"}])",
         {}},
        // A conditional object resolves when something stores it, before or after; otherwise it is
        // a reference to a "$null" entry.
        {"conditional objects",
         NSArray::arrayWithObjects({makeLeaf("forward", 1, nullptr, later), later, earlier,
                                    makeLeaf("backward", 2, nullptr, earlier),
                                    makeLeaf("dangling", 3, nullptr, str("never stored"))}),
         R"([{"path": "$top/root/NS.objects/0/owner", "same_as": "$top/root/NS.objects/1"},
             {"path": "$top/root/NS.objects/3/owner", "same_as": "$top/root/NS.objects/2"},
             {"path": "$top/root/NS.objects/4/owner", "entry": "$null"}])",
         {},
         R"(NSArray[InteropLeaf{name: "forward", level: 1, weight: 0.25d, $weird: -1, payload: nil, owner: #1="stored after", )"
         R"(flag: true, ratio: 0.5f}, #1, #2="stored before", InteropLeaf{name: "backward", level: 2, weight: 0.5d, )"
         R"($weird: -2, payload: nil, owner: #2, flag: false, ratio: 0.5f}, InteropLeaf{name: "dangling", level: 3, )"
         R"(weight: 0.75d, $weird: -3, payload: nil, owner: nil, flag: true, ratio: 0.5f}])"},
        // $classes names every level down to NSObject, one class dictionary per class.
        {"class chains",
         NSArray::arrayWithObjects(
             {makeLeaf("leaf \u2603", 3, middle), makeLeaf("other", 4), middle}),
         R"([{"path": "$top/root/NS.objects/0", "class": "InteropLeaf", "classes": ["InteropLeaf", "InteropMiddle", "InteropBase", "NSObject"]},
             {"path": "$top/root/NS.objects/2", "class": "InteropMiddle", "classes": ["InteropMiddle", "InteropBase", "NSObject"]},
             {"path": "$top/root/NS.objects/0", "keys": ["$class", "name", "level", "weight", "$$weird", "payload", "owner", "flag", "ratio"]},
             {"path": "$top/root/NS.objects/1", "equals": {"$class": "InteropLeaf", "name": "other", "level": 4, "weight": 1.0,
               "$$weird": -4, "payload": null, "owner": null, "flag": false, "ratio": 0.5}}])",
         {{"$top/root/NS.objects/0/ratio", 0x22}}},
        // More than 255 objects: two-byte references, and two-byte UIDs from 256 on.
        {"many objects",
         NSArray::arrayWithObjects(many),
         R"([{"path": "$top/root/NS.objects/299", "equals": "s299"}, {"path": "$top/root/NS.objects/299", "uid": 301}])",
         {}},
    };
}

}  // namespace

TEST(PlistlibInterop, EveryKindOfObjectIsReadAlike) {
    test::registerRecordedClass(kMiddle);
    test::registerRecordedClass(kLeaf);
    for (const auto& c : interopCases()) {
        SCOPED_TRACE(c.name);
        const auto data = test::archiveRoot(c.root);
        expectCheckerPasses(*data, c.checks);
        const auto decoded = NSKeyedUnarchiver::unarchiveObjectWithData(data);
        EXPECT_EQ(test::describe(decoded), c.decoded.empty() ? test::describe(c.root) : c.decoded);
        expectAppleLayout(*data);
        const ParsedPlist p(*data);
        for (const auto& [path, marker] : c.markers) EXPECT_EQ(p.walk(path).marker, marker) << path;
    }
}

// Values stored inline in an object (here $top) keep their width and their bits.
TEST(PlistlibInterop, InlineScalarsKeepTheirWidthsAndBits) {
    const struct {
        const char* key;
        int64_t value;
        uint8_t marker;
        int width;  // 32: encodeInt, 64: encodeInt64, 0: encodeInteger
    } integers[] = {{"zero", 0, 0x10, 32},
                    {"u8.max", 255, 0x10, 0},
                    {"u16.min", 256, 0x11, 0},
                    {"u16.max", 65535, 0x11, 0},
                    {"u32.min", 65536, 0x12, 0},
                    {"u32.max", 4294967295, 0x12, 64},
                    {"big", 4294967296, 0x13, 64},
                    {"minus1", -1, 0x13, 32},
                    {"int32.min", INT32_MIN, 0x13, 32},
                    {"int32.max", INT32_MAX, 0x12, 32},
                    {"int64.min", INT64_MIN, 0x13, 64},
                    {"int64.max", INT64_MAX, 0x13, 0}};
    const std::pair<const char*, uint32_t> floats[] = {{"f.pi", 0x40490FDB},
                                                       {"f.negzero", 0x80000000},
                                                       {"f.subnormal", 0x00000001},
                                                       {"f.inf", 0x7F800000},
                                                       {"f.nan", 0x7FC12345}};
    // Doubles carry packed colours in their low bits, many of them subnormal, so every bit counts.
    const std::pair<const char*, uint64_t> doubles[] = {
        {"d.tenth", 0x3FB999999999999A},  {"d.negzero", 0x8000000000000000},
        {"d.colour", 0x00000000FF8000FF}, {"d.maxsubnormal", 0x000FFFFFFFFFFFFF},
        {"d.nan", 0x7FF8000000000123},    {"d.neginf", 0xFFF0000000000000}};
    const std::vector<uint8_t> bytes = {0x00, 0x01, 0xFE, 0x7F, 0xFF};
    const auto data = test::archive([&](NSKeyedArchiver& archiver) {
        for (const auto& i : integers) {
            if (i.width == 32)
                archiver.encodeInt_forKey(static_cast<int32_t>(i.value), i.key);
            else if (i.width == 64)
                archiver.encodeInt64_forKey(i.value, i.key);
            else
                archiver.encodeInteger_forKey(i.value, i.key);
        }
        for (const auto& [key, bits] : floats)
            archiver.encodeFloat_forKey(std::bit_cast<float>(bits), key);
        for (const auto& [key, bits] : doubles)
            archiver.encodeDouble_forKey(std::bit_cast<double>(bits), key);
        archiver.encodeBool_forKey(true, "yes");
        archiver.encodeBool_forKey(false, "no");
        archiver.encodeBytes_length_forKey(bytes.data(), bytes.size(), "bytes");
        archiver.encodeBytes_length_forKey(nullptr, 0, "empty");
        archiver.encodeObject_forKey(str("root"), "root");
    });

    char bits[128];
    std::string json =
        R"([{"path": "$top/yes", "equals": true}, {"path": "$top/no", "equals": false},
                          {"path": "$top/bytes", "equals": {"$data": "0001fe7fff"}}, {"path": "$top/empty", "equals": {"$data": ""}})";
    for (const auto& i : integers)
        json += R"(, {"path": ["$top", ")" + std::string(i.key) + R"("], "equals": )" +
                std::to_string(i.value) + "}";
    for (const auto& [key, value] : floats)
        std::snprintf(bits, sizeof bits, R"(, {"path": ["$top", "%s"], "real32_bits": "%08x"})",
                      key, value),
            json += bits;
    for (const auto& [key, value] : doubles)
        std::snprintf(bits, sizeof bits, R"(, {"path": ["$top", "%s"], "real64_bits": "%016llx"})",
                      key, static_cast<unsigned long long>(value)),
            json += bits;
    expectCheckerPasses(*data, json + "]");
    expectAppleLayout(*data);

    const ParsedPlist p(*data);
    auto decoder = NSKeyedUnarchiver::initForReadingWithData(data);
    for (const auto& i : integers) {
        SCOPED_TRACE(i.key);
        EXPECT_EQ(p.walk(std::string("$top/") + i.key).marker, i.marker);
        EXPECT_EQ(decoder->decodeInt64ForKey(i.key), i.value);
        if (i.value == static_cast<int32_t>(i.value)) {
            EXPECT_EQ(decoder->decodeIntForKey(i.key), i.value);
        } else {
            EXPECT_EQ(test::failureOf([&] { decoder->decodeIntForKey(i.key); }).name,
                      NSRangeException);
        }
    }
    for (const auto& [key, value] : floats) {
        EXPECT_EQ(p.walk(std::string("$top/") + key).marker, 0x22) << key;
        EXPECT_EQ(std::bit_cast<uint32_t>(decoder->decodeFloatForKey(key)), value) << key;
        // Widened: the same value as a double.
        EXPECT_EQ(std::bit_cast<uint64_t>(decoder->decodeDoubleForKey(key)),
                  std::bit_cast<uint64_t>(static_cast<double>(std::bit_cast<float>(value))))
            << key;
    }
    for (const auto& [key, value] : doubles) {
        EXPECT_EQ(p.walk(std::string("$top/") + key).marker, 0x23) << key;
        EXPECT_EQ(std::bit_cast<uint64_t>(decoder->decodeDoubleForKey(key)), value) << key;
    }
    EXPECT_EQ(p.walk("$top/yes").marker, 0x09);
    EXPECT_EQ(p.walk("$top/no").marker, 0x08);
    EXPECT_TRUE(decoder->decodeBoolForKey("yes"));
    EXPECT_FALSE(decoder->decodeBoolForKey("no"));
    EXPECT_EQ(p.walk("$top/bytes").marker, 0x45);
    EXPECT_EQ(p.walk("$top/empty").marker, 0x40);
    size_t length = 0;
    const uint8_t* read = decoder->decodeBytesForKey_returnedLength("bytes", &length);
    EXPECT_EQ(std::vector<uint8_t>(read, read + length), bytes);
}

// The reference size follows the object count, not the largest reference (as CoreFoundation sizes
// it): 255 objects take one byte, 256 objects two.
TEST(PlistlibInterop, ReferenceSizeFollowsTheObjectCount) {
    std::map<uint64_t, unsigned> refSizeByCount;
    for (int n = 240; n < 260; ++n) {
        const auto data = test::archive([&](NSKeyedArchiver& archiver) {
            for (int i = 0; i < n; ++i) archiver.encodeBool_forKey(true, "k" + std::to_string(i));
        });
        const ParsedPlist p(*data);
        refSizeByCount[p.count] = p.refSize;
    }
    ASSERT_TRUE(refSizeByCount.contains(255) && refSizeByCount.contains(256));
    EXPECT_EQ(refSizeByCount[255], 1u);
    EXPECT_EQ(refSizeByCount[256], 2u);
}

// The checker's structural rules hold for the archives Apple wrote: they are Apple's, not just
// ours.
TEST(PlistlibInterop, CheckerAcceptsAppleArchives) {
    std::vector<std::string> plain = {"--allow-no-root"}, withUnreachable = {"--allow-unreachable"};
    for (const auto& name : test::appleFixtureNames()) {
        // This capture holds $objects entries that nothing refers to.
        auto& list =
            name == "libnskeyedarchiver-nsdictionary_setconfig.bplist" ? withUnreachable : plain;
        list.push_back((test::fixturesDir() / name).string());
    }
    for (const auto& arguments : {plain, withUnreachable}) {
        const auto result = runChecker(arguments);
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    }
}
