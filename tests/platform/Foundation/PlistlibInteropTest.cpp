// Part 2.1: archives written by our NSKeyedArchiver read elsewhere. Each case writes an archive to a
// scratch file and
// - has tests/tools/check_archive.py check it with Python's standard plistlib, a reader that shares no
//   code with ours: Apple's keyed-archive structure, then the values this test expects under paths;
// - reads the file back through our NSKeyedUnarchiver and compares the values (reals bit for bit);
// - parses the bytes here, independently of the production reader, and checks the layout Apple's
//   CoreFoundation writer produces (shared/reference/nskeyedarchiver-format.md §1): "bplist00",
//   minimal offset and reference sizes, top object 0, pre-order, minimal integer and UID widths,
//   the long form for counts from 15 on, ASCII only when the whole string is ASCII.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cstdio>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "BinaryPropertyListWriter.h"
#include "KeyedArchive.h"
#include "NSArray.h"
#include "NSData.h"
#include "NSDate.h"
#include "NSDictionary.h"
#include "NSException.h"
#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "NSNull.h"
#include "NSNumber.h"
#include "NSSet.h"
#include "NSString.h"
#include "NSURL.h"
#include "NSUUID.h"
#include "PropertyListValue.h"
#include "TestSupport.h"

namespace {

// ---- Test-only model classes: a three-level chain under NSObject --------------------------------


class InteropBase : public NSObject {
public:
    TEST_CLASS("InteropBase", NSObject::objcClass())
    void encodeWithCoder(NSCoder& coder) const override { coder.encodeObject_forKey(name, "name"); }
    bool initWithCoder(NSCoder& coder) override {
        name = coder.decodeObjectOfClass_forKey<NSString>("name");
        return true;
    }
    std::shared_ptr<NSString> name;
};

class InteropMiddle : public InteropBase {
public:
    TEST_CLASS("InteropMiddle", InteropBase::objcClass())
    void encodeWithCoder(NSCoder& coder) const override {
        InteropBase::encodeWithCoder(coder);
        coder.encodeInt64_forKey(level, "level");
        coder.encodeDouble_forKey(weight, "weight");
        coder.encodeInt64_forKey(weird, "$weird");  // a user key beginning with "$": stored as "$$weird"
    }
    bool initWithCoder(NSCoder& coder) override {
        InteropBase::initWithCoder(coder);
        level = coder.decodeInt64ForKey("level");
        weight = coder.decodeDoubleForKey("weight");
        weird = coder.decodeInt64ForKey("$weird");
        return true;
    }
    int64_t level = 0;
    double weight = 0;
    int64_t weird = 0;
};

class InteropLeaf : public InteropMiddle {
public:
    TEST_CLASS("InteropLeaf", InteropMiddle::objcClass())
    void encodeWithCoder(NSCoder& coder) const override {
        InteropMiddle::encodeWithCoder(coder);
        coder.encodeObject_forKey(payload, "payload");
        coder.encodeConditionalObject_forKey(owner, "owner");
        coder.encodeBool_forKey(flag, "flag");
        coder.encodeFloat_forKey(ratio, "ratio");
        coder.encodeBytes_length_forKey(blob.data(), blob.size(), "blob");
    }
    bool initWithCoder(NSCoder& coder) override {
        InteropMiddle::initWithCoder(coder);
        payload = coder.decodeObjectForKey("payload");
        hasOwner = coder.containsValueForKey("owner");
        owner = coder.decodeObjectForKey("owner");
        flag = coder.decodeBoolForKey("flag");
        ratio = coder.decodeFloatForKey("ratio");
        size_t length = 0;
        const uint8_t* bytes = coder.decodeBytesForKey_returnedLength("blob", &length);
        blob.assign(bytes, bytes + length);
        return true;
    }
    std::shared_ptr<NSObject> payload;
    bool hasOwner = false;
    std::shared_ptr<NSObject> owner;
    bool flag = false;
    float ratio = 0;
    std::vector<uint8_t> blob;
};

void registerInteropClasses() {
    NSKeyedUnarchiver::registerClass<InteropMiddle>();
    NSKeyedUnarchiver::registerClass<InteropLeaf>();
}

std::shared_ptr<InteropLeaf> makeLeaf(const std::string& name, int64_t level) {
    auto leaf = std::make_shared<InteropLeaf>();
    leaf->name = NSString::stringWithUTF8String(name);
    leaf->level = level;
    leaf->weight = 0.25 * static_cast<double>(level);
    leaf->weird = -level;
    leaf->flag = level % 2 == 1;
    leaf->ratio = 0.5f;
    leaf->blob = {0x00, 0xFF, static_cast<uint8_t>(level)};
    return leaf;
}

// ---- Helpers ------------------------------------------------------------------------------------

template <class T>
std::shared_ptr<T> as(const std::shared_ptr<NSObject>& object) {
    auto typed = std::dynamic_pointer_cast<T>(object);
    if (!typed)
        throw std::runtime_error(std::string("expected an object of class ") + T::objcClass().name + ", found " +
                                 (object ? object->className() : std::string("none")));
    return typed;
}

std::shared_ptr<NSObject> str(std::string_view utf8) { return NSString::stringWithUTF8String(utf8); }
std::shared_ptr<NSObject> num(int64_t value) { return NSNumber::numberWithInteger(value); }

std::shared_ptr<NSData> archive(const std::function<void(NSKeyedArchiver&)>& encode) {
    auto data = NSMutableData::data();
    auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
    encode(*archiver);
    archiver->finishEncoding();
    return data;
}

std::shared_ptr<NSData> archiveRoot(const std::shared_ptr<NSObject>& root) {
    return archive([&](NSKeyedArchiver& archiver) { archiver.encodeObject_forKey(root, NSKeyedArchiveRootObjectKey); });
}

std::vector<uint8_t> bytesOf(const NSData& data) { return {data.bytes(), data.bytes() + data.length()}; }

std::filesystem::path writeArchive(const test::ScratchDirectory& scratch, const std::string& name, const NSData& data) {
    const auto path = scratch.path() / name;
    test::writeFile(path, bytesOf(data));
    return path;
}

// The archive read back from its file (mapped, as documents are read).
std::shared_ptr<NSKeyedUnarchiver> reopen(const std::filesystem::path& path) {
    registerInteropClasses();
    auto data = NSData::dataWithContentsOfFile_options(path.string(), NSDataReadingMappedIfSafe);
    if (!data) throw std::runtime_error("cannot read " + path.string());
    return NSKeyedUnarchiver::initForReadingWithData(data);
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out + "\"";
}

std::filesystem::path checkerScript() { return test::sourceDir() / "tests" / "tools" / "check_archive.py"; }

test::CommandResult runChecker(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {VANTLER_PYTHON, checkerScript().string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return test::run(argv);
}

// Runs the checker on `file` with the expectations `json` (a JSON list) and asserts it passes with
// exactly this summary: the object count, the class names and the number of expectations.
void expectCheckerPasses(const std::filesystem::path& file, const std::string& json, const std::string& classes,
                         size_t expectations) {
    auto expectPath = file;
    expectPath.replace_extension(".checks.json");
    test::writeFile(expectPath, std::vector<uint8_t>(json.begin(), json.end()));
    const auto result = runChecker({file.string(), "--expect", expectPath.string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    const KeyedArchive written(*NSData::dataWithVector(test::readFile(file)));
    EXPECT_EQ(result.standardOutput, "ok " + file.filename().string() + ": " + std::to_string(written.objectCount()) +
                                         " objects; classes " + classes + "; " + std::to_string(expectations) +
                                         " expectations\n");
}

// ---- An independent reader of the bytes, for the layout ------------------------------------------

class ParsedPlist {
public:
    struct Object {
        uint64_t ref = 0;
        uint64_t offset = 0;
        uint8_t marker = 0;
        uint64_t length = 0;   // the count of a string, data, array or dictionary
        bool longForm = false;  // the count follows as an integer object
        uint8_t lengthMarker = 0;
        uint64_t payload = 0;
    };

    explicit ParsedPlist(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
        const size_t size = bytes_.size();
        if (size < 40) throw std::runtime_error("too short");
        const size_t t = size - 32;
        offsetSize = bytes_[t + 6];
        refSize = bytes_[t + 7];
        count = be(t + 8, 8);
        top = be(t + 16, 8);
        tableOffset = be(t + 24, 8);
        if (tableOffset + count * offsetSize != t) throw std::runtime_error("offset table does not end at the trailer");
        for (uint64_t i = 0; i < count; ++i) offsets.push_back(be(tableOffset + i * offsetSize, offsetSize));
    }

    uint64_t be(uint64_t offset, unsigned width) const {
        if (offset + width > bytes_.size()) throw std::runtime_error("read past the end");
        uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i) value = (value << 8) | bytes_[offset + i];
        return value;
    }
    uint8_t byte(uint64_t offset) const { return bytes_.at(offset); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

    Object at(uint64_t ref) const {
        Object o;
        o.ref = ref;
        o.offset = offsets.at(ref);
        o.marker = bytes_.at(o.offset);
        o.payload = o.offset + 1;
        const uint8_t high = o.marker >> 4;
        if (high == 0x4 || high == 0x5 || high == 0x6 || high == 0xA || high == 0xC || high == 0xD) {
            o.length = o.marker & 0x0F;
            if (o.length == 0x0F) {
                o.longForm = true;
                o.lengthMarker = bytes_.at(o.payload);
                if ((o.lengthMarker & 0xF0) != 0x10) throw std::runtime_error("long count is not an integer");
                const unsigned width = 1u << (o.lengthMarker & 0x0F);
                o.length = be(o.payload + 1, width);
                o.payload += 1 + width;
            }
        }
        return o;
    }
    // References of an array (its elements) or dictionary (keys, then values).
    std::vector<uint64_t> refs(const Object& o) const {
        const uint64_t n = (o.marker >> 4) == 0xD ? 2 * o.length : o.length;
        std::vector<uint64_t> out;
        for (uint64_t i = 0; i < n; ++i) out.push_back(be(o.payload + i * refSize, refSize));
        return out;
    }
    std::string ascii(const Object& o) const {
        if ((o.marker >> 4) != 0x5) return {};
        return std::string(bytes_.begin() + static_cast<std::ptrdiff_t>(o.payload),
                           bytes_.begin() + static_cast<std::ptrdiff_t>(o.payload + o.length));
    }
    uint64_t uid(const Object& o) const {
        if ((o.marker >> 4) != 0x8) throw std::runtime_error("not a UID");
        return be(o.payload, (o.marker & 0x0F) + 1u);
    }
    std::optional<uint64_t> lookup(uint64_t dictionaryRef, std::string_view key) const {
        const auto dictionary = at(dictionaryRef);
        if ((dictionary.marker >> 4) != 0xD) throw std::runtime_error("not a dictionary");
        const auto r = refs(dictionary);
        for (uint64_t i = 0; i < dictionary.length; ++i)
            if (ascii(at(r[i])) == key) return r[dictionary.length + i];
        return std::nullopt;
    }
    // The object at a path of the checker's kind ("$top/root/NS.objects/2"), following UIDs.
    Object walk(std::string_view path) const {
        const auto objects = refs(at(*lookup(0, "$objects")));
        uint64_t ref = 0;
        while (!path.empty()) {
            const size_t slash = path.find('/');
            const std::string step(path.substr(0, slash));
            path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
            if ((at(ref).marker >> 4) == 0x8) ref = objects.at(uid(at(ref)));
            const auto o = at(ref);
            if ((o.marker >> 4) == 0xD) {
                const auto value = lookup(ref, step);
                if (!value) throw std::runtime_error("no key " + step);
                ref = *value;
            } else if ((o.marker >> 4) == 0xA) {
                ref = refs(o).at(std::stoul(step));
            } else {
                throw std::runtime_error("cannot step into " + step);
            }
        }
        return at(ref);
    }
    // The object that a UID at `path` refers to.
    Object entryAt(std::string_view path) const {
        const auto objects = refs(at(*lookup(0, "$objects")));
        return at(objects.at(uid(walk(path))));
    }

    unsigned offsetSize = 0, refSize = 0;
    uint64_t count = 0, top = 0, tableOffset = 0;
    std::vector<uint64_t> offsets;

private:
    std::vector<uint8_t> bytes_;
};

unsigned minimalWidth(uint64_t value) {
    return value <= UINT8_MAX ? 1 : value <= UINT16_MAX ? 2 : value <= UINT32_MAX ? 4 : 8;
}

// Apple's writer rules, for every object of the file (format reference §1.2, §1.3, §1.6).
void expectAppleLayout(const NSData& data) {
    const ParsedPlist p(bytesOf(data));
    const auto& bytes = p.bytes();
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "bplist00");
    for (size_t i = bytes.size() - 32; i < bytes.size() - 26; ++i) EXPECT_EQ(bytes[i], 0) << "unused trailer byte " << i;
    EXPECT_EQ(p.offsetSize, minimalWidth(p.tableOffset));
    EXPECT_EQ(p.refSize, minimalWidth(p.count));  // the count, not the largest reference
    EXPECT_EQ(p.top, 0u);
    ASSERT_FALSE(p.offsets.empty());
    EXPECT_EQ(p.offsets[0], 8u);
    for (size_t i = 1; i < p.offsets.size(); ++i) EXPECT_LT(p.offsets[i - 1], p.offsets[i]) << "offset " << i;
    EXPECT_EQ(p.at(0).marker, 0xD4);  // the top-level dictionary of four keys comes first

    for (uint64_t ref = 0; ref < p.count; ++ref) {
        SCOPED_TRACE("object " + std::to_string(ref));
        const auto o = p.at(ref);
        const uint8_t high = o.marker >> 4, low = o.marker & 0x0F;
        if (o.longForm) {
            EXPECT_GE(o.length, 15u);
            EXPECT_EQ(o.lengthMarker, 0x10 | std::countr_zero(minimalWidth(o.length)));
        }
        switch (high) {
            case 0x0: EXPECT_TRUE(o.marker == 0x08 || o.marker == 0x09); break;
            case 0x1: {
                ASSERT_LE(low, 4);
                if (low <= 2) {  // 1, 2, 4 bytes unsigned, each only when the smaller does not do
                    EXPECT_EQ(1u << low, minimalWidth(p.be(o.payload, 1u << low)));
                } else if (low == 3) {  // negative, or from 2^32 to INT64_MAX
                    const auto value = static_cast<int64_t>(p.be(o.payload, 8));
                    EXPECT_TRUE(value < 0 || value > static_cast<int64_t>(UINT32_MAX)) << value;
                } else {  // 16 bytes: above INT64_MAX, high half zero
                    EXPECT_EQ(p.be(o.payload, 8), 0u);
                    EXPECT_GT(p.be(o.payload + 8, 8), static_cast<uint64_t>(INT64_MAX));
                }
                break;
            }
            case 0x2: EXPECT_TRUE(low == 2 || low == 3); break;
            case 0x4: break;
            case 0x5:
                for (uint64_t i = 0; i < o.length; ++i) EXPECT_LT(p.byte(o.payload + i), 0x80);
                break;
            case 0x6: {  // UTF-16 only when some unit is not ASCII
                bool nonASCII = false;
                for (uint64_t i = 0; i < o.length; ++i) nonASCII |= p.be(o.payload + 2 * i, 2) >= 0x80;
                EXPECT_TRUE(nonASCII);
                break;
            }
            case 0x8: {
                const unsigned width = low + 1u;
                EXPECT_EQ(width, minimalWidth(p.uid(o)));
                break;
            }
            case 0xA:
            case 0xD:
                // Pre-order: arrays and dictionaries are never shared, so each comes after its parent.
                for (uint64_t child : p.refs(o)) {
                    if (const uint8_t h = p.at(child).marker >> 4; h == 0xA || h == 0xD) {
                        EXPECT_GT(child, ref);
                    }
                }
                break;
            default: ADD_FAILURE() << "marker " << static_cast<int>(o.marker) << " is never written by Apple";
        }
    }
}

uint64_t doubleBits(double value) { return std::bit_cast<uint64_t>(value); }
uint32_t floatBits(float value) { return std::bit_cast<uint32_t>(value); }
double doubleFromBits(uint64_t bits) { return std::bit_cast<double>(bits); }
float floatFromBits(uint32_t bits) { return std::bit_cast<float>(bits); }


}  // namespace

// ---- The checker itself ---------------------------------------------------------------------------

// The checker's structural rules hold for the Apple-written fixtures (two switched off, for the reasons
// given below), so they are Apple's rules and not just ours.
TEST(Part2_1_PlistlibInterop, CheckerAcceptsEveryAppleFixture) {
    std::vector<std::string> plain, unkeyed, withUnreachable;
    const auto fixtures = test::appleFixtureNames();
    for (const auto& name : fixtures) {
        const auto path = (test::fixturesDir() / name).string();
        // Unkeyed encodes at the top level: $0, $1, … and no root.
        if (name.starts_with("nskeyedarchiver-go-")) unkeyed.push_back(path);
        // This capture holds $objects entries nothing refers to ("bm", "csd", "kdf", "ta" and values).
        else if (name == "libnskeyedarchiver-nsdictionary_setconfig.bplist") withUnreachable.push_back(path);
        else plain.push_back(path);
    }
    unkeyed.push_back("--allow-no-root");
    withUnreachable.push_back("--allow-unreachable");
    std::string output;
    for (const auto& arguments : {plain, unkeyed, withUnreachable}) {
        const auto result = runChecker(arguments);
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        output += result.standardOutput;
    }
    for (const auto& name : fixtures) EXPECT_NE(output.find("ok " + name + ": "), std::string::npos) << name;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), static_cast<std::ptrdiff_t>(fixtures.size()));

    // And its value checks read Apple's archives as our unarchiver does.
    const auto result = runChecker({(test::fixturesDir() / "scf-NSKeyedUnarchiver-ComplexTest.plist").string(),
                                    "--equals", "$top/root/NS.objects/3/NS.uuidbytes",
                                    R"({"$data": "71dc068e342045ff919e3a267d55ec22"})", "--equals",
                                    "$top/root/NS.objects/2/NS.base/NS.base", "null", "--equals",
                                    "$top/root/NS.objects/0/NS.objects/2", "34545"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
}

// Negative controls: each broken archive fails with the reason naming the broken rule.
TEST(Part2_1_PlistlibInterop, CheckerRejectsBrokenArchives) {
    using plist::Value;
    using Entries = std::vector<std::pair<Value, Value>>;
    auto classDictionary = [](const std::string& name, const std::vector<std::string>& chain) {
        std::vector<Value> classes;
        for (const auto& c : chain) classes.push_back(Value::string(c));
        return Value::dictionary({{Value::string("$classname"), Value::string(name)},
                                  {Value::string("$classes"), Value::array(std::move(classes))}});
    };
    // A valid archive, root → Thing {name: "x"}, after `breakIt` broke its top level, $top or $objects.
    auto write = [&](const std::filesystem::path& path,
                     const std::function<void(Entries& archive, Entries& top, std::vector<Value>& objects)>& breakIt) {
        Entries archive = {{Value::string("$version"), Value::integer(plist::Integer::fromSigned(100000))},
                           {Value::string("$archiver"), Value::string("NSKeyedArchiver")}};
        Entries top = {{Value::string("root"), Value::uid(1)}};
        std::vector<Value> objects = {
            Value::string("$null"),
            Value::dictionary({{Value::string("$class"), Value::uid(2)}, {Value::string("name"), Value::string("x")}}),
            classDictionary("Thing", {"Thing", "NSObject"})};
        breakIt(archive, top, objects);
        archive.emplace_back(Value::string("$top"), Value::dictionary(std::move(top)));
        archive.emplace_back(Value::string("$objects"), Value::array(std::move(objects)));
        test::writeFile(path, plist::writeBinaryPropertyList(Value::dictionary(std::move(archive))));
    };
    struct Case {
        const char* reason;
        std::function<void(Entries& archive, Entries& top, std::vector<Value>& objects)> breakIt;
    };
    const std::vector<Case> cases = {
        {"$version is 99999, not the integer 100000",
         [](Entries& a, Entries&, std::vector<Value>&) { a[0].second = Value::integer(plist::Integer::fromSigned(99999)); }},
        {"$archiver is 'NSArchiver', not 'NSKeyedArchiver'",
         [](Entries& a, Entries&, std::vector<Value>&) { a[1].second = Value::string("NSArchiver"); }},
        {"$objects[0] is 'null', not '$null'",
         [](Entries&, Entries&, std::vector<Value>& o) { o[0] = Value::string("null"); }},
        {"$top has no root", [](Entries&, Entries& t, std::vector<Value>&) { t[0].first = Value::string("other"); }},
        {"$top/root: UID 9 lies outside $objects (3 entries)",
         [](Entries&, Entries& t, std::vector<Value>&) { t[0].second = Value::uid(9); }},
        {"$objects[2]: $classes ['Thing', 'NSProxy'] of class Thing does not run from Thing to NSObject",
         [&](Entries&, Entries&, std::vector<Value>& o) { o[2] = classDictionary("Thing", {"Thing", "NSProxy"}); }},
        {"$objects[3]: a second class dictionary for Thing (the first is $objects[2])",
         [&](Entries&, Entries&, std::vector<Value>& o) {
             o.push_back(classDictionary("Thing", {"Thing", "NSObject"}));
             o[1].entries()[0].second = Value::uid(3);
         }},
        {"$objects[1]: object dictionary has no $class UID",
         [](Entries&, Entries&, std::vector<Value>& o) { o[1].entries()[0].first = Value::string("class"); }},
        {"$objects[1]: key '$name' begins with '$' but is neither $class, a generic key nor escaped",
         [](Entries&, Entries&, std::vector<Value>& o) { o[1].entries()[1].first = Value::string("$name"); }},
        {"$objects[1]/name: refers to class dictionary $objects[2] as an object",
         [](Entries&, Entries&, std::vector<Value>& o) { o[1].entries()[1].second = Value::uid(2); }},
        {"$objects entries [3] are not reachable from $top",
         [](Entries&, Entries&, std::vector<Value>& o) { o.push_back(Value::string("orphan")); }},
    };

    test::ScratchDirectory scratch;
    const auto valid = scratch.path() / "valid.bplist";
    write(valid, [](Entries&, Entries&, std::vector<Value>&) {});
    std::vector<std::string> files = {valid.string()};
    for (size_t i = 0; i < cases.size(); ++i) {
        files.push_back((scratch.path() / ("broken" + std::to_string(i) + ".bplist")).string());
        write(files.back(), cases[i].breakIt);
    }
    const auto result = runChecker(files);
    EXPECT_EQ(result.exitStatus, 1);
    // Only the unbroken archive passes.
    EXPECT_EQ(result.standardOutput, "ok valid.bplist: 3 objects; classes Thing; 0 expectations\n");
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string line = "FAIL broken" + std::to_string(i) + ".bplist: " + cases[i].reason + "\n";
        EXPECT_NE(result.standardError.find(line), std::string::npos) << line << result.standardError;
    }
}

// A failing expectation fails the run and says where; 1, 1.0 and true are three different values.
TEST(Part2_1_PlistlibInterop, CheckerReportsFailedExpectations) {
    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "one.bplist", *archiveRoot(NSArray::arrayWithObjects(
                                                              {num(1), NSNumber::numberWithBool(true), str("a")})));
    auto result = runChecker({path.string(), "--equals", "$top/root/NS.objects", R"([1, true, "a"])"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "ok one.bplist: 6 objects; classes NSArray; 1 expectations\n");

    std::vector<std::string> arguments = {path.string()};
    for (const char* wrong : {R"([true, true, "a"])", R"([1.0, true, "a"])", R"([1, 1, "a"])", R"([1, true, "b"])"}) {
        arguments.insert(arguments.end(), {"--equals", "$top/root/NS.objects", wrong});
    }
    arguments.insert(arguments.end(), {"--equals", "$top/root/NS.keys", "[]"});
    result = runChecker(arguments);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError,
              "FAIL one.bplist: $top/root/NS.objects: [1, True, 'a'], expected [True, True, 'a']\n"
              "FAIL one.bplist: $top/root/NS.objects: [1, True, 'a'], expected [1.0, True, 'a']\n"
              "FAIL one.bplist: $top/root/NS.objects: [1, True, 'a'], expected [1, 1, 'a']\n"
              "FAIL one.bplist: $top/root/NS.objects: [1, True, 'a'], expected [1, True, 'b']\n"
              "FAIL one.bplist: $top/root/NS.keys: no key 'NS.keys' after ['$top', 'root']\n");

    result = runChecker({path.string(), "--expect", (scratch.path() / "missing.json").string()});
    EXPECT_EQ(result.exitStatus, 2);
}

// ---- Value kinds ----------------------------------------------------------------------------------

TEST(Part2_1_PlistlibInterop, Strings) {
    const std::vector<std::string> strings = {
        "hello",
        "",
        "M\u00e4ssig, Ma\u00df",                               // Latin-1 text is UTF-16 too
        "\u65e5\u672c\u8a9e\u30c6\u30ad\u30b9\u30c8",           // 日本語テキスト
        "\U0001F389 party \U0001F44D\U0001F3FD",                  // surrogate pairs
        "fourteen chars",                                        // 14: count in the marker
        "fifteen chars!!",                                       // 15: the long form
        "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9",  // 15 units
        std::string(300, 'x'),
        "tab\tnew\nline",
    };
    std::vector<std::shared_ptr<NSObject>> objects;
    for (const auto& s : strings) objects.push_back(str(s));
    // A mutable string is an object holding its text inline.
    objects.push_back(NSMutableString::stringWithString("mutable ü"));
    const auto data = archiveRoot(NSArray::arrayWithObjects(objects));

    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "strings.bplist", *data);
    std::string list = "[";
    for (size_t i = 0; i < strings.size(); ++i) list += (i ? ", " : "") + jsonString(strings[i]);
    list += R"(, {"$class": "NSMutableString", "NS.string": "mutable \u00fc"}])";
    expectCheckerPasses(path,
                        R"([{"path": "$top/root", "class": "NSArray", "classes": ["NSArray", "NSObject"]},
                            {"path": "$top/root/NS.objects/4", "type": "str"},
                            {"path": "$top/root/NS.objects/4", "count": 10},
                            {"path": "$top/root/NS.objects/10", "class": "NSMutableString",
                             "classes": ["NSMutableString", "NSString", "NSObject"]},
                            {"path": "$top/root/NS.objects", "equals": )" + list + "}]",
                        "NSArray NSMutableString", 5);

    auto unarchiver = reopen(path);
    const auto array = as<NSArray>(unarchiver->decodeObjectForKey("root"));
    ASSERT_EQ(array->count(), strings.size() + 1);
    for (size_t i = 0; i < strings.size(); ++i) EXPECT_EQ(as<NSString>(array->objectAtIndex(i))->UTF8String(), strings[i]);
    EXPECT_EQ(array->objectAtIndex(10)->className(), "NSMutableString");
    EXPECT_EQ(as<NSMutableString>(array->objectAtIndex(10))->UTF8String(), "mutable \u00fc");

    expectAppleLayout(*data);
    const ParsedPlist p(bytesOf(*data));
    const std::vector<std::pair<uint8_t, uint64_t>> markers = {
        {0x55, 5}, {0x50, 0}, {0x6B, 11}, {0x67, 7}, {0x6D, 13}, {0x5E, 14}, {0x5F, 15}, {0x6F, 15}, {0x5F, 300}, {0x5C, 12}};
    for (size_t i = 0; i < strings.size(); ++i) {
        SCOPED_TRACE(i);
        const auto o = p.entryAt("$top/root/NS.objects/" + std::to_string(i));
        EXPECT_EQ(o.marker, markers[i].first);
        EXPECT_EQ(o.length, markers[i].second);
    }
    // The surrogate pair of U+1F389, big-endian.
    const auto emoji = p.entryAt("$top/root/NS.objects/4");
    EXPECT_EQ(p.be(emoji.payload, 4), 0xD83CDF89u);
    EXPECT_EQ(p.entryAt("$top/root/NS.objects/6").lengthMarker, 0x10);
    EXPECT_EQ(p.entryAt("$top/root/NS.objects/8").lengthMarker, 0x11);
}

TEST(Part2_1_PlistlibInterop, Data) {
    std::vector<uint8_t> big(100 * 1024);
    uint32_t state = 12345;
    for (auto& b : big) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    auto mutableData = NSMutableData::data();
    mutableData->appendBytes_length("abc", 3);
    const std::vector<uint8_t> inlineBytes = {0x00, 0x01, 0xFE, 0x7F, 0xFF};
    const auto data = archive([&](NSKeyedArchiver& archiver) {
        archiver.encodeObject_forKey(NSArray::arrayWithObjects({NSData::dataWithBytes_length(nullptr, 0),
                                                                NSData::dataWithVector(big), mutableData}),
                                     "root");
        archiver.encodeBytes_length_forKey(inlineBytes.data(), inlineBytes.size(), "inline");
        archiver.encodeBytes_length_forKey(nullptr, 0, "empty");
    });

    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "data.bplist", *data);
    test::writeFile(scratch.path() / "big.bin", big);
    expectCheckerPasses(path, R"([
        {"path": "$top/root/NS.objects/0", "equals": {"$data": ""}},
        {"path": "$top/root/NS.objects/1", "bytes_file": "big.bin"},
        {"path": "$top/root/NS.objects/1", "count": 102400},
        {"path": "$top/root/NS.objects/2", "class": "NSMutableData", "classes": ["NSMutableData", "NSData", "NSObject"]},
        {"path": "$top/root/NS.objects/2", "equals": {"$class": "NSMutableData", "NS.data": {"$data": "616263"}}},
        {"path": "$top/inline", "equals": {"$data": "0001fe7fff"}},
        {"path": "$top/empty", "equals": {"$data": ""}}])",
                        "NSArray NSMutableData", 7);

    auto unarchiver = reopen(path);
    const auto array = as<NSArray>(unarchiver->decodeObjectForKey("root"));
    ASSERT_EQ(array->count(), 3u);
    EXPECT_EQ(array->objectAtIndex(0)->className(), "NSData");
    EXPECT_EQ(as<NSData>(array->objectAtIndex(0))->length(), 0u);
    EXPECT_EQ(bytesOf(*as<NSData>(array->objectAtIndex(1))), big);
    EXPECT_EQ(array->objectAtIndex(2)->className(), "NSMutableData");
    EXPECT_EQ(bytesOf(*as<NSData>(array->objectAtIndex(2))), (std::vector<uint8_t>{'a', 'b', 'c'}));
    size_t length = 99;
    const uint8_t* bytes = unarchiver->decodeBytesForKey_returnedLength("inline", &length);
    ASSERT_EQ(length, inlineBytes.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + length), inlineBytes);
    EXPECT_TRUE(unarchiver->containsValueForKey("empty"));
    unarchiver->decodeBytesForKey_returnedLength("empty", &length);
    EXPECT_EQ(length, 0u);

    expectAppleLayout(*data);
    const ParsedPlist p(bytesOf(*data));
    EXPECT_EQ(p.offsetSize, 4u);  // the offset table lies beyond 65535
    const auto large = p.entryAt("$top/root/NS.objects/1");
    EXPECT_EQ(large.marker, 0x4F);
    EXPECT_EQ(large.lengthMarker, 0x12);  // 102400 needs a 4-byte count
    EXPECT_EQ(large.length, 102400u);
    EXPECT_EQ(p.entryAt("$top/root/NS.objects/0").marker, 0x40);
    EXPECT_EQ(p.walk("$top/inline").marker, 0x45);  // inline in $top, not a UID
    EXPECT_EQ(p.walk("$top/empty").marker, 0x40);
}

TEST(Part2_1_PlistlibInterop, Integers) {
    struct Inline {
        const char* key;
        int64_t value;
        uint8_t marker;
        int width;  // 32: encodeInt, 64: encodeInt64, 0: encodeInteger
    };
    const std::vector<Inline> inlined = {
        {"zero", 0, 0x10, 32},          {"u8.max", 255, 0x10, 0},          {"u16.min", 256, 0x11, 0},
        {"u16.max", 65535, 0x11, 0},    {"u32.min", 65536, 0x12, 0},       {"u32.max", 4294967295, 0x12, 64},
        {"big", 4294967296, 0x13, 64},  {"minus1", -1, 0x13, 32},           {"int32.min", INT32_MIN, 0x13, 32},
        {"int32.max", INT32_MAX, 0x12, 32}, {"int64.min", INT64_MIN, 0x13, 64}, {"int64.max", INT64_MAX, 0x13, 0},
    };
    const uint64_t aboveInt64 = (1ull << 63) + 44;  // the value of CPython's Apple-written 16-byte integer
    const auto data = archive([&](NSKeyedArchiver& archiver) {
        for (const auto& i : inlined) {
            if (i.width == 32) archiver.encodeInt_forKey(static_cast<int32_t>(i.value), i.key);
            else if (i.width == 64) archiver.encodeInt64_forKey(i.value, i.key);
            else archiver.encodeInteger_forKey(i.value, i.key);
        }
        archiver.encodeObject_forKey(
            NSArray::arrayWithObjects({NSNumber::numberWithUnsignedLongLong(UINT64_MAX),
                                       NSNumber::numberWithUnsignedLongLong(aboveInt64),
                                       NSNumber::numberWithUnsignedLongLong(1ull << 63), num(-2),
                                       NSNumber::numberWithUnsignedLongLong(5)}),
            "root");
    });

    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "integers.bplist", *data);
    std::string json = R"([{"path": "$top/root/NS.objects", "equals": [18446744073709551615, 9223372036854775852,
                           9223372036854775808, -2, 5]})";
    for (const auto& i : inlined)
        json += R"(, {"path": ["$top", ")" + std::string(i.key) + R"("], "equals": )" + std::to_string(i.value) + "}";
    json += "]";
    expectCheckerPasses(path, json, "NSArray", 1 + inlined.size());

    auto unarchiver = reopen(path);
    for (const auto& i : inlined) {
        SCOPED_TRACE(i.key);
        EXPECT_EQ(unarchiver->decodeInt64ForKey(i.key), i.value);
        EXPECT_EQ(unarchiver->decodeIntegerForKey(i.key), i.value);
        if (i.value >= INT32_MIN && i.value <= INT32_MAX) {
            EXPECT_EQ(unarchiver->decodeIntForKey(i.key), i.value);
        } else {
            try {
                unarchiver->decodeIntForKey(i.key);
                ADD_FAILURE() << "no exception";
            } catch (const NSException& e) {
                EXPECT_EQ(e.name(), NSRangeException);
            }
        }
    }
    const auto array = as<NSArray>(unarchiver->decodeObjectForKey("root"));
    ASSERT_EQ(array->count(), 5u);
    const std::vector<std::pair<NSNumber::Type, uint64_t>> boxed = {
        {NSNumber::Type::UnsignedInteger, UINT64_MAX}, {NSNumber::Type::UnsignedInteger, aboveInt64},
        {NSNumber::Type::UnsignedInteger, 1ull << 63}, {NSNumber::Type::Integer, static_cast<uint64_t>(-2)},
        {NSNumber::Type::Integer, 5}};
    for (size_t i = 0; i < boxed.size(); ++i) {
        const auto number = as<NSNumber>(array->objectAtIndex(i));
        EXPECT_EQ(number->type(), boxed[i].first) << i;
        EXPECT_EQ(number->unsignedLongLongValue(), boxed[i].second) << i;
    }

    expectAppleLayout(*data);
    const ParsedPlist p(bytesOf(*data));
    for (const auto& i : inlined) EXPECT_EQ(p.walk(std::string("$top/") + i.key).marker, i.marker) << i.key;
    const std::vector<uint8_t> boxedMarkers = {0x14, 0x14, 0x14, 0x13, 0x10};
    for (size_t i = 0; i < boxedMarkers.size(); ++i)
        EXPECT_EQ(p.entryAt("$top/root/NS.objects/" + std::to_string(i)).marker, boxedMarkers[i]) << i;
    const auto sixteen = p.entryAt("$top/root/NS.objects/1");
    EXPECT_EQ(p.be(sixteen.payload, 8), 0u);
    EXPECT_EQ(p.be(sixteen.payload + 8, 8), aboveInt64);
}

TEST(Part2_1_PlistlibInterop, RealsAreBitExact) {
    const std::vector<std::pair<const char*, uint32_t>> floats = {
        {"f.pi", 0x40490FDB},      {"f.tenth", 0x3DCCCCCD},   {"f.negzero", 0x80000000}, {"f.subnormal", 0x00000001},
        {"f.max", 0x7F7FFFFF},     {"f.inf", 0x7F800000},     {"f.nan", 0x7FC12345}};
    const std::vector<std::pair<const char*, uint64_t>> doubles = {
        {"d.pi", 0x400921FB54442D18},          {"d.tenth", 0x3FB999999999999A},
        {"d.negzero", 0x8000000000000000},     {"d.subnormal", 0x0000000000000001},
        {"d.maxsubnormal", 0x000FFFFFFFFFFFFF}, {"d.nan", 0x7FF8000000000123},
        {"d.neginf", 0xFFF0000000000000},      {"d.zero", 0}};
    const auto data = archive([&](NSKeyedArchiver& archiver) {
        for (const auto& [key, bits] : floats) archiver.encodeFloat_forKey(floatFromBits(bits), key);
        for (const auto& [key, bits] : doubles) archiver.encodeDouble_forKey(doubleFromBits(bits), key);
        archiver.encodeObject_forKey(NSArray::arrayWithObjects({NSNumber::numberWithFloat(0.1f),
                                                                NSNumber::numberWithDouble(0.1),
                                                                NSNumber::numberWithDouble(doubleFromBits(0x7FF8000000000123))}),
                                     "root");
    });

    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "reals.bplist", *data);
    char hexBits[32];
    std::string json = R"([{"path": "$top/f.tenth", "equals": 0.10000000149011612},
                           {"path": "$top/root/NS.objects/0", "real32_bits": "3dcccccd"},
                           {"path": "$top/root/NS.objects/1", "equals": 0.1},
                           {"path": "$top/root/NS.objects/2", "real64_bits": "7ff8000000000123"})";
    for (const auto& [key, bits] : floats) {
        std::snprintf(hexBits, sizeof hexBits, "%08x", bits);
        json += R"(, {"path": ["$top", ")" + std::string(key) + R"("], "real32_bits": ")" + hexBits + "\"}";
    }
    for (const auto& [key, bits] : doubles) {
        std::snprintf(hexBits, sizeof hexBits, "%016llx", static_cast<unsigned long long>(bits));
        json += R"(, {"path": ["$top", ")" + std::string(key) + R"("], "real64_bits": ")" + hexBits + "\"}";
    }
    json += "]";
    expectCheckerPasses(path, json, "NSArray", 4 + floats.size() + doubles.size());

    auto unarchiver = reopen(path);
    for (const auto& [key, bits] : floats) {
        EXPECT_EQ(floatBits(unarchiver->decodeFloatForKey(key)), bits) << key;
        // The float widened: the same value as a double.
        EXPECT_EQ(doubleBits(unarchiver->decodeDoubleForKey(key)), doubleBits(static_cast<double>(floatFromBits(bits)))) << key;
    }
    for (const auto& [key, bits] : doubles) EXPECT_EQ(doubleBits(unarchiver->decodeDoubleForKey(key)), bits) << key;
    const auto array = as<NSArray>(unarchiver->decodeObjectForKey("root"));
    const auto f = as<NSNumber>(array->objectAtIndex(0));
    EXPECT_EQ(f->type(), NSNumber::Type::Float);
    EXPECT_EQ(floatBits(f->floatValue()), floatBits(0.1f));
    EXPECT_EQ(as<NSNumber>(array->objectAtIndex(1))->type(), NSNumber::Type::Double);
    EXPECT_EQ(doubleBits(as<NSNumber>(array->objectAtIndex(1))->doubleValue()), doubleBits(0.1));
    EXPECT_EQ(doubleBits(as<NSNumber>(array->objectAtIndex(2))->doubleValue()), 0x7FF8000000000123u);

    expectAppleLayout(*data);
    const ParsedPlist p(bytesOf(*data));
    for (const auto& [key, bits] : floats) {
        const auto o = p.walk(std::string("$top/") + key);
        EXPECT_EQ(o.marker, 0x22) << key;  // encodeFloat: a 4-byte real
        EXPECT_EQ(p.be(o.payload, 4), bits) << key;
    }
    for (const auto& [key, bits] : doubles) {
        const auto o = p.walk(std::string("$top/") + key);
        EXPECT_EQ(o.marker, 0x23) << key;
        EXPECT_EQ(p.be(o.payload, 8), bits) << key;
    }
    EXPECT_EQ(p.entryAt("$top/root/NS.objects/0").marker, 0x22);
    EXPECT_EQ(p.entryAt("$top/root/NS.objects/1").marker, 0x23);
}

TEST(Part2_1_PlistlibInterop, Booleans) {
    const auto data = archive([](NSKeyedArchiver& archiver) {
        archiver.encodeBool_forKey(true, "yes");
        archiver.encodeBool_forKey(false, "no");
        archiver.encodeObject_forKey(NSArray::arrayWithObjects({NSNumber::numberWithBool(true), NSNumber::numberWithBool(false),
                                                                num(1), num(0)}),
                                     "root");
    });
    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "booleans.bplist", *data);
    expectCheckerPasses(path, R"([
        {"path": "$top/yes", "equals": true},
        {"path": "$top/no", "equals": false},
        {"path": "$top/root/NS.objects", "equals": [true, false, 1, 0]}])",
                        "NSArray", 3);

    auto unarchiver = reopen(path);
    EXPECT_TRUE(unarchiver->decodeBoolForKey("yes"));
    EXPECT_FALSE(unarchiver->decodeBoolForKey("no"));
    EXPECT_TRUE(unarchiver->containsValueForKey("no"));
    EXPECT_FALSE(unarchiver->containsValueForKey("maybe"));
    EXPECT_FALSE(unarchiver->decodeBoolForKey("maybe"));
    const auto array = as<NSArray>(unarchiver->decodeObjectForKey("root"));
    EXPECT_EQ(as<NSNumber>(array->objectAtIndex(0))->type(), NSNumber::Type::Bool);
    EXPECT_TRUE(as<NSNumber>(array->objectAtIndex(0))->boolValue());
    EXPECT_EQ(as<NSNumber>(array->objectAtIndex(1))->type(), NSNumber::Type::Bool);
    EXPECT_FALSE(as<NSNumber>(array->objectAtIndex(1))->boolValue());
    EXPECT_EQ(as<NSNumber>(array->objectAtIndex(2))->type(), NSNumber::Type::Integer);

    expectAppleLayout(*data);
    const ParsedPlist p(bytesOf(*data));
    EXPECT_EQ(p.walk("$top/yes").marker, 0x09);
    EXPECT_EQ(p.walk("$top/no").marker, 0x08);
    EXPECT_EQ(p.entryAt("$top/root/NS.objects/0").marker, 0x09);
    EXPECT_EQ(p.entryAt("$top/root/NS.objects/2").marker, 0x10);
}

TEST(Part2_1_PlistlibInterop, NestedCollectionsWithBoxedIntegerKeys) {
    std::vector<std::shared_ptr<NSObject>> fifteen, fourteen;
    for (int64_t i = 0; i < 15; ++i) fifteen.push_back(num(100 + i));
    for (int64_t i = 0; i < 14; ++i) fourteen.push_back(num(i));
    auto deep = std::make_shared<NSMutableArray>(std::vector<std::shared_ptr<NSObject>>{
        str("deep"), NSDictionary::dictionaryWithEntries({{num(0), NSNumber::numberWithBool(true)}})});
    auto root = NSMutableDictionary::dictionary();
    root->setObject_forKey(str("one"), num(1));
    root->setObject_forKey(NSArray::arrayWithObjects({num(2), NSArray::arrayWithObjects({}), std::make_shared<NSDictionary>()}),
                           num(-7));
    root->setObject_forKey(NSDictionary::dictionaryWithEntries({{num(3000000000), deep}}), str("nested"));
    root->setObject_forKey(NSArray::arrayWithObjects(fifteen), str("fifteen"));
    root->setObject_forKey(NSArray::arrayWithObjects(fourteen), str("fourteen"));
    const auto data = archiveRoot(root);

    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "nested.bplist", *data);
    expectCheckerPasses(path, R"([
        {"path": "$top/root", "class": "NSMutableDictionary", "classes": ["NSMutableDictionary", "NSDictionary", "NSObject"]},
        {"path": "$top/root/NS.keys/0", "type": "int"},
        {"path": "$top/root", "equals": {"$class": "NSMutableDictionary",
            "NS.keys": [1, -7, "nested", "fifteen", "fourteen"],
            "NS.objects": ["one",
                {"$class": "NSArray", "NS.objects": [2, {"$class": "NSArray", "NS.objects": []},
                                                     {"$class": "NSDictionary", "NS.keys": [], "NS.objects": []}]},
                {"$class": "NSDictionary", "NS.keys": [3000000000], "NS.objects": [
                    {"$class": "NSMutableArray", "NS.objects": ["deep",
                        {"$class": "NSDictionary", "NS.keys": [0], "NS.objects": [true]}]}]},
                {"$class": "NSArray", "NS.objects": [100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114]},
                {"$class": "NSArray", "NS.objects": [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13]}]}}])",
                        "NSArray NSDictionary NSMutableArray NSMutableDictionary", 3);

    auto unarchiver = reopen(path);
    const auto decoded = as<NSMutableDictionary>(unarchiver->decodeObjectForKey("root"));
    EXPECT_EQ(decoded->className(), "NSMutableDictionary");
    EXPECT_TRUE(decoded->isEqual(*root));
    ASSERT_EQ(decoded->count(), 5u);
    EXPECT_EQ(as<NSNumber>(decoded->entries()[1].first)->integerValue(), -7);
    const auto nested = as<NSDictionary>(decoded->objectForKey(NSString("nested")));
    EXPECT_EQ(nested->className(), "NSDictionary");
    const auto decodedDeep = as<NSMutableArray>(nested->objectForKey(*num(3000000000)));
    EXPECT_EQ(decodedDeep->className(), "NSMutableArray");
    EXPECT_TRUE(decodedDeep->isEqual(*deep));

    expectAppleLayout(*data);
    const ParsedPlist p(bytesOf(*data));
    const auto keys = p.walk("$top/root/NS.keys");
    EXPECT_EQ(keys.marker, 0xA5);
    const auto long15 = p.walk("$top/root/NS.objects/3/NS.objects");
    EXPECT_EQ(long15.marker, 0xAF);  // 15 elements: the long form
    EXPECT_EQ(long15.lengthMarker, 0x10);
    EXPECT_EQ(long15.length, 15u);
    EXPECT_EQ(p.walk("$top/root/NS.objects/4/NS.objects").marker, 0xAE);  // 14 fit in the marker
}

TEST(Part2_1_PlistlibInterop, OrderedSets) {
    auto mutableSet = NSMutableOrderedSet::orderedSet();
    for (int64_t v : {3, 1, 2}) mutableSet->addObject(num(v));
    const auto data = archiveRoot(NSArray::arrayWithObjects(
        {NSOrderedSet::orderedSetWithObjects({str("b"), str("a"), str("c")}), mutableSet, NSOrderedSet::orderedSetWithObjects({})}));

    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "orderedsets.bplist", *data);
    expectCheckerPasses(path, R"([
        {"path": "$top/root/NS.objects/0", "keys": ["$class", "NS.object.0", "NS.object.1", "NS.object.2"]},
        {"path": "$top/root/NS.objects/0", "equals": {"$class": "NSOrderedSet", "NS.object.0": "b", "NS.object.1": "a", "NS.object.2": "c"}},
        {"path": "$top/root/NS.objects/1", "class": "NSMutableOrderedSet", "classes": ["NSMutableOrderedSet", "NSOrderedSet", "NSObject"]},
        {"path": "$top/root/NS.objects/1", "equals": {"$class": "NSMutableOrderedSet", "NS.object.0": 3, "NS.object.1": 1, "NS.object.2": 2}},
        {"path": "$top/root/NS.objects/2", "keys": ["$class"]},
        {"path": "$top/root/NS.objects/0/NS.objects", "absent": true}])",
                        "NSArray NSMutableOrderedSet NSOrderedSet", 6);

    auto unarchiver = reopen(path);
    const auto array = as<NSArray>(unarchiver->decodeObjectForKey("root"));
    const auto first = as<NSOrderedSet>(array->objectAtIndex(0));
    ASSERT_EQ(first->count(), 3u);
    EXPECT_EQ(as<NSString>(first->array()[0])->UTF8String(), "b");
    EXPECT_EQ(as<NSString>(first->array()[1])->UTF8String(), "a");
    EXPECT_EQ(as<NSString>(first->array()[2])->UTF8String(), "c");
    EXPECT_EQ(array->objectAtIndex(1)->className(), "NSMutableOrderedSet");
    EXPECT_TRUE(array->objectAtIndex(1)->isEqual(*mutableSet));
    EXPECT_EQ(as<NSOrderedSet>(array->objectAtIndex(2))->count(), 0u);
    expectAppleLayout(*data);
}

TEST(Part2_1_PlistlibInterop, UUIDURLDateAndNull) {
    const auto uuid = NSUUID::initWithUUIDString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    const auto plain = NSURL::URLWithString("https://example.com/a%20b?q=1");
    const auto relative = NSURL::URLWithString_relativeToURL("docs/file.vantler", NSURL::URLWithString("file:///Users/me/"));
    const auto date = NSDate::dateWithTimeIntervalSinceReferenceDate(680457815.615284);
    const auto data = archiveRoot(NSArray::arrayWithObjects({uuid, plain, relative, NSNull::null(), date}));

    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "values.bplist", *data);
    expectCheckerPasses(path, R"([
        {"path": "$top/root/NS.objects/0", "class": "NSUUID", "classes": ["NSUUID", "NSObject"]},
        {"path": "$top/root/NS.objects/0", "keys": ["$class", "NS.uuidbytes"]},
        {"path": "$top/root/NS.objects/0/NS.uuidbytes", "equals": {"$data": "e621e1f8c36c495a93fc0c247a3e6e5f"}},
        {"path": "$top/root/NS.objects/1/NS.base", "uid": 0},
        {"path": "$top/root/NS.objects/1/NS.relative", "entry": "https://example.com/a%20b?q=1"},
        {"path": "$top/root/NS.objects/2", "equals": {"$class": "NSURL",
            "NS.base": {"$class": "NSURL", "NS.base": null, "NS.relative": "file:///Users/me/"},
            "NS.relative": "docs/file.vantler"}},
        {"path": "$top/root/NS.objects/3", "class": "NSNull", "classes": ["NSNull", "NSObject"]},
        {"path": "$top/root/NS.objects/3", "keys": ["$class"]},
        {"path": "$top/root/NS.objects/4", "equals": {"$class": "NSDate", "NS.time": 680457815.615284}},
        {"path": "$top/root/NS.objects/4/NS.time", "real64_bits": "41c4477b2bcec1a0"}])",
                        "NSArray NSDate NSNull NSURL NSUUID", 10);

    auto unarchiver = reopen(path);
    const auto array = as<NSArray>(unarchiver->decodeObjectForKey("root"));
    ASSERT_EQ(array->count(), 5u);
    EXPECT_TRUE(array->objectAtIndex(0)->isEqual(*uuid));
    EXPECT_EQ(as<NSUUID>(array->objectAtIndex(0))->UUIDString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    const auto decodedPlain = as<NSURL>(array->objectAtIndex(1));
    EXPECT_EQ(decodedPlain->relativeString(), "https://example.com/a%20b?q=1");
    EXPECT_EQ(decodedPlain->baseURL(), nullptr);
    const auto decodedRelative = as<NSURL>(array->objectAtIndex(2));
    EXPECT_EQ(decodedRelative->absoluteString(), "file:///Users/me/docs/file.vantler");
    EXPECT_EQ(decodedRelative->path(), "/Users/me/docs/file.vantler");
    EXPECT_EQ(array->objectAtIndex(3)->className(), "NSNull");
    EXPECT_EQ(as<NSDate>(array->objectAtIndex(4))->timeIntervalSinceReferenceDate(), 680457815.615284);

    expectAppleLayout(*data);
    const ParsedPlist p(bytesOf(*data));
    const auto bytes = p.walk("$top/root/NS.objects/0/NS.uuidbytes");
    EXPECT_EQ(bytes.marker, 0x4F);  // 16 inline bytes: the long form
    EXPECT_EQ(bytes.length, 16u);
    EXPECT_EQ(p.walk("$top/root/NS.objects/4/NS.time").marker, 0x23);  // a real, never a plist date (0x33)
}

// Identity: one object stored twice is one UID and decodes as one instance; equal but distinct
// objects stay distinct, as Apple's archiver keeps them.
TEST(Part2_1_PlistlibInterop, SharedObjectIsOneUID) {
    const auto shared = std::make_shared<NSMutableArray>(std::vector<std::shared_ptr<NSObject>>{str("x")});
    const auto text = str("shared string");
    const auto twin = str("shared string");
    auto first = makeLeaf("first", 1), second = makeLeaf("second", 2);
    first->payload = shared;
    second->payload = shared;
    const auto data = archiveRoot(NSArray::arrayWithObjects({shared, shared, text, twin, text, first, second}));

    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "shared.bplist", *data);
    expectCheckerPasses(path, R"([
        {"path": "$top/root/NS.objects/0", "same_as": "$top/root/NS.objects/1"},
        {"path": "$top/root/NS.objects/0", "same_as": "$top/root/NS.objects/5/payload"},
        {"path": "$top/root/NS.objects/6/payload", "same_as": "$top/root/NS.objects/1"},
        {"path": "$top/root/NS.objects/2", "same_as": "$top/root/NS.objects/4"},
        {"path": "$top/root/NS.objects/2", "differs_from": "$top/root/NS.objects/3"},
        {"path": "$top/root/NS.objects/3", "equals": "shared string"}])",
                        "InteropLeaf NSArray NSMutableArray", 6);

    auto unarchiver = reopen(path);
    const auto& a = as<NSArray>(unarchiver->decodeObjectForKey("root"))->objects();
    ASSERT_EQ(a.size(), 7u);
    EXPECT_EQ(a[0].get(), a[1].get());
    EXPECT_EQ(a[0].get(), as<InteropLeaf>(a[5])->payload.get());
    EXPECT_EQ(a[0].get(), as<InteropLeaf>(a[6])->payload.get());
    EXPECT_EQ(a[2].get(), a[4].get());
    EXPECT_NE(a[2].get(), a[3].get());
    EXPECT_TRUE(a[2]->isEqual(*a[3]));
    expectAppleLayout(*data);
}

// A conditional object resolves to the object when something stores it, before or after; one that
// nothing stores is a reference to a "$null" entry and decodes as none.
TEST(Part2_1_PlistlibInterop, ConditionalObjects) {
    const auto later = str("stored after the conditional reference");
    const auto earlier = str("stored before the conditional reference");
    const auto never = str("never stored");
    auto forward = makeLeaf("forward", 1), backward = makeLeaf("backward", 2), dangling = makeLeaf("dangling", 3);
    forward->owner = later;
    backward->owner = earlier;
    dangling->owner = never;
    const auto data = archiveRoot(NSArray::arrayWithObjects({forward, later, earlier, backward, dangling}));

    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "conditional.bplist", *data);
    expectCheckerPasses(path, R"([
        {"path": "$top/root/NS.objects/0/owner", "same_as": "$top/root/NS.objects/1"},
        {"path": "$top/root/NS.objects/1", "equals": "stored after the conditional reference"},
        {"path": "$top/root/NS.objects/3/owner", "same_as": "$top/root/NS.objects/2"},
        {"path": "$top/root/NS.objects/4/owner", "entry": "$null"},
        {"path": "$top/root/NS.objects/4/owner", "equals": null}])",
                        "InteropLeaf NSArray", 5);

    auto unarchiver = reopen(path);
    const auto& a = as<NSArray>(unarchiver->decodeObjectForKey("root"))->objects();
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(as<InteropLeaf>(a[0])->owner.get(), a[1].get());
    EXPECT_EQ(as<NSString>(a[1])->UTF8String(), "stored after the conditional reference");
    EXPECT_EQ(as<InteropLeaf>(a[3])->owner.get(), a[2].get());
    const auto d = as<InteropLeaf>(a[4]);
    EXPECT_TRUE(d->hasOwner);
    EXPECT_EQ(d->owner, nullptr);
    EXPECT_EQ(d->name->UTF8String(), "dangling");

    expectAppleLayout(*data);
    const ParsedPlist p(bytesOf(*data));
    const auto slot = p.entryAt("$top/root/NS.objects/4/owner");
    EXPECT_EQ(p.ascii(slot), "$null");
}

// A model class with a superclass chain: $classes names every level down to NSObject, one class
// dictionary per class however many instances, user keys beginning with "$" escaped.
TEST(Part2_1_PlistlibInterop, ModelClassChain) {
    auto middle = std::make_shared<InteropMiddle>();
    middle->name = NSString::stringWithUTF8String("middle");
    middle->level = 10;
    middle->weight = -1.5;
    middle->weird = 99;
    auto leaf = makeLeaf("leaf \u2603", 3);
    leaf->payload = middle;
    const auto data = archiveRoot(NSArray::arrayWithObjects({leaf, makeLeaf("other", 4), middle}));

    test::ScratchDirectory scratch;
    const auto path = writeArchive(scratch, "model.bplist", *data);
    expectCheckerPasses(path, R"([
        {"path": "$top/root/NS.objects/0", "class": "InteropLeaf", "classes": ["InteropLeaf", "InteropMiddle", "InteropBase", "NSObject"]},
        {"path": "$top/root/NS.objects/2", "class": "InteropMiddle", "classes": ["InteropMiddle", "InteropBase", "NSObject"]},
        {"path": "$top/root/NS.objects/0/payload", "same_as": "$top/root/NS.objects/2"},
        {"path": "$top/root/NS.objects/0", "keys": ["$class", "name", "level", "weight", "$$weird", "payload", "owner", "flag", "ratio", "blob"]},
        {"path": "$top/root/NS.objects/0/owner", "uid": 0},
        {"path": "$top/root/NS.objects/1", "equals": {"$class": "InteropLeaf", "name": "other", "level": 4, "weight": 1.0,
            "$$weird": -4, "payload": null, "owner": null, "flag": false, "ratio": 0.5, "blob": {"$data": "00ff04"}}},
        {"path": "$top/root/NS.objects/2", "equals": {"$class": "InteropMiddle", "name": "middle", "level": 10, "weight": -1.5, "$$weird": 99}},
        {"path": "$top/root/NS.objects/0/name", "equals": "leaf \u2603"}])",
                        "InteropLeaf InteropMiddle NSArray", 8);

    auto unarchiver = reopen(path);
    const auto& a = as<NSArray>(unarchiver->decodeObjectForKey("root"))->objects();
    ASSERT_EQ(a.size(), 3u);
    const auto decoded = as<InteropLeaf>(a[0]);
    EXPECT_EQ(decoded->className(), "InteropLeaf");
    EXPECT_EQ(decoded->name->UTF8String(), "leaf \u2603");
    EXPECT_EQ(decoded->level, 3);
    EXPECT_EQ(decoded->weight, 0.75);
    EXPECT_EQ(decoded->weird, -3);
    EXPECT_TRUE(decoded->flag);
    EXPECT_EQ(decoded->ratio, 0.5f);
    EXPECT_EQ(decoded->blob, (std::vector<uint8_t>{0x00, 0xFF, 0x03}));
    EXPECT_EQ(decoded->payload.get(), a[2].get());
    EXPECT_TRUE(decoded->hasOwner);
    EXPECT_EQ(decoded->owner, nullptr);
    const auto decodedMiddle = as<InteropMiddle>(a[2]);
    EXPECT_EQ(decodedMiddle->className(), "InteropMiddle");
    EXPECT_EQ(std::dynamic_pointer_cast<InteropLeaf>(a[2]), nullptr);
    EXPECT_EQ(decodedMiddle->weird, 99);
    EXPECT_EQ(decodedMiddle->weight, -1.5);

    expectAppleLayout(*data);
    const ParsedPlist p(bytesOf(*data));
    EXPECT_EQ(p.walk("$top/root/NS.objects/0/ratio").marker, 0x22);  // encodeFloat inside an object
}

// The layout around the objects: trailer fields, object order, widths growing with the archive.
TEST(Part2_1_PlistlibInterop, BinaryLayoutFollowsApple) {
    // A small archive: one-byte offsets and references.
    const auto small = archiveRoot(str("hi"));
    expectAppleLayout(*small);
    const ParsedPlist s(bytesOf(*small));
    const auto& b = s.bytes();
    EXPECT_EQ(std::vector<uint8_t>(b.end() - 32, b.end() - 24), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(s.be(b.size() - 24, 8), s.count);
    EXPECT_EQ(s.be(b.size() - 16, 8), 0u);  // the top object
    EXPECT_EQ(s.be(b.size() - 8, 8), s.tableOffset);
    EXPECT_EQ(b.size(), s.tableOffset + s.count * s.offsetSize + 32);
    // Pre-order: the top dictionary, its four keys, then its values in order.
    const auto top = s.refs(s.at(0));
    ASSERT_EQ(top.size(), 8u);
    EXPECT_EQ(std::vector<uint64_t>(top.begin(), top.begin() + 4), (std::vector<uint64_t>{1, 2, 3, 4}));
    EXPECT_EQ(top[4], 5u);
    EXPECT_TRUE(std::is_sorted(top.begin() + 4, top.end()));
    const auto version = s.walk("$version");
    EXPECT_EQ(version.marker, 0x12);  // 100000 as a 4-byte integer, as Apple writes it
    EXPECT_EQ(s.be(version.payload, 4), 100000u);
    const auto archiver = s.walk("$archiver");
    EXPECT_EQ(archiver.marker, 0x5F);  // "NSKeyedArchiver" has 15 characters
    EXPECT_EQ(s.ascii(archiver), "NSKeyedArchiver");
    EXPECT_EQ(s.ascii(s.walk("$objects/0")), "$null");
    EXPECT_EQ(s.walk("$top/root").marker, 0x80);
    EXPECT_EQ(s.uid(s.walk("$top/root")), 1u);

    // More than 255 objects: two-byte references and UIDs from 256 on.
    std::vector<std::shared_ptr<NSObject>> many;
    for (int i = 0; i < 300; ++i) many.push_back(str("s" + std::to_string(i)));
    const auto large = archiveRoot(NSArray::arrayWithObjects(many));
    expectAppleLayout(*large);
    const ParsedPlist l(bytesOf(*large));
    EXPECT_EQ(l.refSize, 2u);
    EXPECT_EQ(l.offsetSize, 2u);
    EXPECT_EQ(l.walk("$top/root/NS.objects/0").marker, 0x80);
    EXPECT_EQ(l.walk("$top/root/NS.objects/299").marker, 0x81);
    EXPECT_EQ(l.uid(l.walk("$top/root/NS.objects/299")), 301u);
    EXPECT_EQ(l.walk("$objects").marker, 0xAF);
    EXPECT_EQ(l.walk("$objects").lengthMarker, 0x11);  // 303 entries: a two-byte count

    // The reference size follows the object count, not the largest reference (Apple's
    // _byteCount(numObjects)): 255 objects take one byte, 256 objects two.
    std::map<uint64_t, unsigned> refSizeByCount;
    for (int n = 100; n < 140 && !(refSizeByCount.contains(255) && refSizeByCount.contains(256)); ++n) {
        for (bool extra : {false, true}) {
            const auto sized = archive([&](NSKeyedArchiver& archiver) {
                std::vector<std::shared_ptr<NSObject>> strings;
                for (int i = 0; i < n; ++i) strings.push_back(str("s" + std::to_string(i)));
                archiver.encodeObject_forKey(NSArray::arrayWithObjects(strings), "root");
                // One object more: the key (the value is written once, shared with $version's).
                if (extra) archiver.encodeInteger_forKey(100000, "extra");
            });
            const ParsedPlist q(bytesOf(*sized));
            refSizeByCount[q.count] = q.refSize;
        }
    }
    ASSERT_TRUE(refSizeByCount.contains(255) && refSizeByCount.contains(256));
    EXPECT_EQ(refSizeByCount[255], 1u);
    EXPECT_EQ(refSizeByCount[256], 2u);

    test::ScratchDirectory scratch;
    expectCheckerPasses(writeArchive(scratch, "small.bplist", *small), R"([{"path": "$top/root", "equals": "hi"}])", "-", 1);
    expectCheckerPasses(writeArchive(scratch, "large.bplist", *large),
                        R"([{"path": "$top/root/NS.objects/299", "equals": "s299"}, {"path": "$top/root/NS.objects/299", "uid": 301}])",
                        "NSArray", 2);
}
