// Archives our NSKeyedArchiver writes are read elsewhere: each one, written to a scratch file,
// passes tests/tools/check_archive.py, which reads it with Python's plistlib (no code shared with
// ours): Apple's keyed-archive structure, then the values expected under paths. Each also reads
// back through our NSKeyedUnarchiver to the same objects, kinds and sharing.

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <string>
#include <vector>

#include "FoundationTestSupport.h"
#include "TestSupport.h"

namespace {

using test::num;
using test::RecordedObject;
using test::str;

const test::RecordedClass kBase{{"InteropBase", &NSObject::objcClass()}, "name"};
const test::RecordedClass kMiddle{{"InteropMiddle", &kBase.cls}, "name level:i weight:d $weird:i"};
const test::RecordedClass kLeaf{{"InteropLeaf", &kMiddle.cls},
                                "name level:i weight:d $weird:i payload owner flag:b ratio:f"};

// clang-format off
std::shared_ptr<RecordedObject> makeLeaf(const std::string& name, int64_t level, std::shared_ptr<NSObject> payload = nullptr, std::shared_ptr<NSObject> owner = nullptr) {
    return std::make_shared<RecordedObject>(kLeaf, std::vector<RecordedObject::Field>{
        {"name", 'o', str(name)}, {"level", 'i', num(level)}, {"weight", 'd', NSNumber::numberWithDouble(0.25 * level)},
        {"$weird", 'i', num(-level)} /* stored as "$$weird" */, {"payload", 'o', payload}, {"owner", 'c', owner},
        {"flag", 'b', NSNumber::numberWithBool(level % 2)}, {"ratio", 'f', NSNumber::numberWithFloat(0.5f)}});
}
// clang-format on

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

// The checker run on `data` with the expectations `json` (a JSON list) passes.
void expectCheckerPasses(const NSData& data, const std::string& json) {
    test::ScratchDirectory scratch;
    test::writeFile(scratch.path() / "archive.bplist",
                    {data.bytes(), data.bytes() + data.length()});
    test::writeFile(scratch.path() / "checks.json", {json.begin(), json.end()});
    const auto result =
        test::run({VANTLER_PYTHON, (test::sourceDir() / "tests/tools/check_archive.py").string(),
                   (scratch.path() / "archive.bplist").string(), "--expect",
                   (scratch.path() / "checks.json").string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_TRUE(result.standardOutput.starts_with("ok archive.bplist: ")) << result.standardOutput;
}

struct InteropCase {
    const char* name;
    std::shared_ptr<NSObject> root;
    std::string checks;        // the checker's expectations, a JSON list
    std::string decoded = "";  // describe() of the root read back, when not the root's own
};

std::vector<InteropCase> interopCases() {
    // Latin-1 is UTF-16 too; the party popper is a surrogate pair; 15 characters take the long
    // count form.
    // clang-format off
    const std::vector<std::string> strings = {"hello", "", "M\u00e4ssig, Ma\u00df", "\u65e5\u672c\u8a9e", "\U0001F389 party", "fifteen chars!!", std::string(300, 'x'), "tab\tnew\nline"};
    std::vector<std::shared_ptr<NSObject>> stringObjects;
    std::string stringList;
    for (const auto& s : strings) stringObjects.push_back(str(s)), stringList += (stringList.empty() ? "" : ", ") + jsonString(s);
    stringObjects.push_back(NSMutableString::stringWithString("mutable \u00fc"));
    std::vector<uint8_t> big(100 * 1024);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + i / 256);
    auto mutableData = NSMutableData::data();
    mutableData->appendBytes_length("abc", 3);
    std::vector<std::shared_ptr<NSObject>> fifteen, many;
    for (int64_t i = 0; i < 15; ++i) fifteen.push_back(num(100 + i));
    for (int i = 0; i < 300; ++i) many.push_back(str("s" + std::to_string(i)));
    auto nested = NSMutableDictionary::dictionary();
    nested->setObject_forKey(str("one"), num(1));
    nested->setObject_forKey(NSArray::arrayWithObjects({num(2), NSArray::arrayWithObjects({}), std::make_shared<NSDictionary>()}), num(-7));
    nested->setObject_forKey(NSDictionary::dictionaryWithEntries({{num(3000000000), NSMutableArray::array()}}), str("deep"));
    nested->setObject_forKey(NSArray::arrayWithObjects(fifteen), str("fifteen"));
    auto mutableOrdered = NSMutableOrderedSet::orderedSet();
    for (int64_t v : {3, 1, 2}) mutableOrdered->addObject(num(v));
    const auto shared = std::make_shared<NSMutableArray>(std::vector<std::shared_ptr<NSObject>>{str("x")});
    const auto text = str("shared string"), later = str("stored after"), earlier = str("stored before");
    const auto middle = std::make_shared<RecordedObject>(kMiddle, std::vector<RecordedObject::Field>{{"name", 'o', str("middle")}, {"level", 'i', num(10)}, {"weight", 'd', NSNumber::numberWithDouble(-1.5)}, {"$weird", 'i', num(99)}});
    // clang-format on
    // 9223372036854775852 is above INT64_MAX: Apple writes it in 16 bytes.
    return {
        // clang-format off
        {"strings", NSArray::arrayWithObjects(stringObjects), R"([{"path": "$top/root/NS.objects", "equals": [)" + stringList + R"(, {"$class": "NSMutableString", "NS.string": "mutable \u00fc"}]}, {"path": "$top/root/NS.objects/8", "classes": ["NSMutableString", "NSString", "NSObject"], "class": "NSMutableString"}])"},
        {"data", NSArray::arrayWithObjects({NSData::dataWithBytes_length(nullptr, 0), NSData::dataWithVector(big), mutableData}), R"([{"path": "$top/root/NS.objects", "equals": [{"$data": ""}, {"$data": ")" + hex(big) + R"("}, {"$class": "NSMutableData", "NS.data": {"$data": "616263"}}]}])"},
        {"numbers", NSArray::arrayWithObjects({NSNumber::numberWithUnsignedLongLong(UINT64_MAX), NSNumber::numberWithUnsignedLongLong((uint64_t{1} << 63) + 44), num(-2), num(5), NSNumber::numberWithBool(true), NSNumber::numberWithBool(false), num(1), NSNumber::numberWithFloat(0.1f), NSNumber::numberWithDouble(0.1)}), R"([{"path": "$top/root/NS.objects", "equals": [18446744073709551615, 9223372036854775852, -2, 5, true, false, 1, 0.10000000149011612, 0.1]}, {"path": "$top/root/NS.objects/7", "real32_bits": "3dcccccd"}])"},
        {"collections with boxed integer keys", nested, R"([{"path": "$top/root", "class": "NSMutableDictionary", "classes": ["NSMutableDictionary", "NSDictionary", "NSObject"]}, {"path": "$top/root", "equals": {"$class": "NSMutableDictionary", "NS.keys": [1, -7, "deep", "fifteen"], "NS.objects": ["one", {"$class": "NSArray", "NS.objects": [2, {"$class": "NSArray", "NS.objects": []}, {"$class": "NSDictionary", "NS.keys": [], "NS.objects": []}]}, {"$class": "NSDictionary", "NS.keys": [3000000000], "NS.objects": [{"$class": "NSMutableArray", "NS.objects": []}]}, {"$class": "NSArray", "NS.objects": [100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114]}]}}])"},
        {"ordered sets", NSArray::arrayWithObjects({NSOrderedSet::orderedSetWithObjects({str("b"), str("a"), str("c")}), mutableOrdered, NSOrderedSet::orderedSetWithObjects({})}), R"([{"path": "$top/root/NS.objects/0", "equals": {"$class": "NSOrderedSet", "NS.object.0": "b", "NS.object.1": "a", "NS.object.2": "c"}}, {"path": "$top/root/NS.objects/1", "equals": {"$class": "NSMutableOrderedSet", "NS.object.0": 3, "NS.object.1": 1, "NS.object.2": 2}}, {"path": "$top/root/NS.objects/2", "keys": ["$class"]}])"},
        {"UUID, URLs, null and date", NSArray::arrayWithObjects({NSUUID::initWithUUIDString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), NSURL::URLWithString("https://example.com/a%20b?q=1"), NSURL::URLWithString_relativeToURL("docs/file.vantler", NSURL::URLWithString("file:///Users/me/")), NSNull::null(), NSDate::dateWithTimeIntervalSinceReferenceDate(680457815.615284)}), R"([{"path": "$top/root/NS.objects/0", "equals": {"$class": "NSUUID", "NS.uuidbytes": {"$data": "e621e1f8c36c495a93fc0c247a3e6e5f"}}}, {"path": "$top/root/NS.objects/1/NS.base", "uid": 0}, {"path": "$top/root/NS.objects/2", "equals": {"$class": "NSURL", "NS.base": {"$class": "NSURL", "NS.base": null, "NS.relative": "file:///Users/me/"}, "NS.relative": "docs/file.vantler"}}, {"path": "$top/root/NS.objects/3", "keys": ["$class"]}, {"path": "$top/root/NS.objects/4/NS.time", "real64_bits": "41c4477b2bcec1a0"}])"},
        // One object stored twice is one UID; equal but distinct objects stay two, as Apple keeps
        // them.
        {"sharing", NSArray::arrayWithObjects({shared, shared, text, str("shared string"), text, makeLeaf("leaf", 1, shared)}), R"([{"path": "$top/root/NS.objects/0", "same_as": "$top/root/NS.objects/1"}, {"path": "$top/root/NS.objects/0", "same_as": "$top/root/NS.objects/5/payload"}, {"path": "$top/root/NS.objects/2", "same_as": "$top/root/NS.objects/4"}, {"path": "$top/root/NS.objects/2", "differs_from": "$top/root/NS.objects/3"}])"},
        // A conditional object resolves when something stores it, before or after; otherwise it is
        // a reference to "$null".
        {"conditional objects", NSArray::arrayWithObjects({makeLeaf("forward", 1, nullptr, later), later, earlier, makeLeaf("backward", 2, nullptr, earlier), makeLeaf("dangling", 3, nullptr, str("never stored"))}), R"([{"path": "$top/root/NS.objects/0/owner", "same_as": "$top/root/NS.objects/1"}, {"path": "$top/root/NS.objects/3/owner", "same_as": "$top/root/NS.objects/2"}, {"path": "$top/root/NS.objects/4/owner", "entry": "$null"}])", R"(NSArray[InteropLeaf{name: "forward", level: 1, weight: 0.25d, $weird: -1, payload: nil, owner: #1="stored after", flag: true, ratio: 0.5f}, #1, #2="stored before", )" R"(InteropLeaf{name: "backward", level: 2, weight: 0.5d, $weird: -2, payload: nil, owner: #2, flag: false, ratio: 0.5f}, InteropLeaf{name: "dangling", level: 3, weight: 0.75d, $weird: -3, payload: nil, owner: nil, flag: true, ratio: 0.5f}])"},
        {"class chains", NSArray::arrayWithObjects({makeLeaf("leaf \u2603", 3, middle), makeLeaf("other", 4), middle}), R"([{"path": "$top/root/NS.objects/0", "class": "InteropLeaf", "classes": ["InteropLeaf", "InteropMiddle", "InteropBase", "NSObject"]}, {"path": "$top/root/NS.objects/2", "class": "InteropMiddle", "classes": ["InteropMiddle", "InteropBase", "NSObject"]}, {"path": "$top/root/NS.objects/0", "keys": ["$class", "name", "level", "weight", "$$weird", "payload", "owner", "flag", "ratio"]}, {"path": "$top/root/NS.objects/1", "equals": {"$class": "InteropLeaf", "name": "other", "level": 4, "weight": 1.0, "$$weird": -4, "payload": null, "owner": null, "flag": false, "ratio": 0.5}}])"},
        // More than 255 objects: two-byte references, and two-byte UIDs from 256 on.
        {"many objects", NSArray::arrayWithObjects(many), R"([{"path": "$top/root/NS.objects/299", "equals": "s299"}, {"path": "$top/root/NS.objects/299", "uid": 301}])"},
        // clang-format on
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
    }
}

// Values stored inline in an object (here $top) keep their bits; doubles carry packed colours in
// their low bits, many of them subnormal, so every bit counts.
TEST(PlistlibInterop, InlineScalarsKeepTheirBits) {
    // clang-format off
    const struct { const char* key; int64_t value; int width; } integers[] = {  // width 32: encodeInt, 64: encodeInt64, 0: encodeInteger
        {"zero", 0, 32}, {"u8.max", 255, 0}, {"u16.min", 256, 0}, {"u32.max", 4294967295, 64}, {"big", 4294967296, 64},
        {"minus1", -1, 32}, {"int32.min", INT32_MIN, 32}, {"int64.min", INT64_MIN, 64}, {"int64.max", INT64_MAX, 0}};
    const std::pair<const char*, uint32_t> floats[] = {{"f.pi", 0x40490FDB}, {"f.negzero", 0x80000000}, {"f.subnormal", 0x00000001}, {"f.nan", 0x7FC12345}};
    const std::pair<const char*, uint64_t> doubles[] = {{"d.tenth", 0x3FB999999999999A}, {"d.negzero", 0x8000000000000000}, {"d.colour", 0x00000000FF8000FF}, {"d.nan", 0x7FF8000000000123}, {"d.neginf", 0xFFF0000000000000}};
    // clang-format on
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
        archiver.encodeBytes_length_forKey(bytes.data(), bytes.size(), "bytes");
        archiver.encodeBytes_length_forKey(nullptr, 0, "empty");
        archiver.encodeObject_forKey(str("root"), "root");  // the checker asks for a root
    });
    char bits[128];
    std::string json =
        R"([{"path": "$top/yes", "equals": true}, {"path": "$top/bytes", "equals": {"$data": "0001fe7fff"}}, {"path": "$top/empty", "equals": {"$data": ""}})";
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

    auto decoder = NSKeyedUnarchiver::initForReadingWithData(data);
    for (const auto& i : integers) EXPECT_EQ(decoder->decodeInt64ForKey(i.key), i.value) << i.key;
    for (const auto& [key, value] : floats)
        EXPECT_EQ(std::bit_cast<uint32_t>(decoder->decodeFloatForKey(key)), value) << key;
    for (const auto& [key, value] : doubles)
        EXPECT_EQ(std::bit_cast<uint64_t>(decoder->decodeDoubleForKey(key)), value) << key;
    EXPECT_TRUE(decoder->decodeBoolForKey("yes"));
    size_t length = 0;
    const uint8_t* read = decoder->decodeBytesForKey_returnedLength("bytes", &length);
    EXPECT_EQ(std::vector<uint8_t>(read, read + length), bytes);
}
