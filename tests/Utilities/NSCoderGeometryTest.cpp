// Points, sizes, rectangles and colours in archives: the sub-keys each group writes, in order and
// of which kinds; the shared profile objects and the sRGB naming of an unnamed sRGB profile; and
// reading a colour with its space chosen by name, then profile, then sRGB.
//
// Groups are written into an archive's $top (as a document's top-level keys are) and read back from
// it, so every entry can be looked at where it is stored. The profile cache lives for the whole
// test program, so a test that counts its entries uses profiles no other test writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

#include "../VantlerCore/ArchiveShapes.h"
#include "../platform/CoreGraphics/ColourTestSupport.h"
#include "NSCoder+geometry.h"
#include "NSString.h"
#include "TestSupport.h"

using namespace ColourTestSupport;
using archive_shapes::StoredArchive;
using Keys = std::vector<std::string>;

namespace {

// Records which keys a read asks about: whether it looks at an entry and which values it decodes.
class RecordingUnarchiver : public NSKeyedUnarchiver {
  public:
    using NSKeyedUnarchiver::NSKeyedUnarchiver;
    Keys calls;

    bool containsValueForKey(std::string_view key) override {
        calls.push_back("contains " + std::string(key));
        return NSKeyedUnarchiver::containsValueForKey(key);
    }
    std::shared_ptr<NSObject> decodeObjectForKey(std::string_view key) override {
        calls.push_back("object " + std::string(key));
        return NSKeyedUnarchiver::decodeObjectForKey(key);
    }
    double decodeDoubleForKey(std::string_view key) override {
        calls.push_back("double " + std::string(key));
        return NSKeyedUnarchiver::decodeDoubleForKey(key);
    }
    bool decodedAnyDouble() const {
        return std::ranges::any_of(calls,
                                   [](const auto& call) { return call.starts_with("double "); });
    }
};

// An archive whose $top holds what `encode` writes.
std::shared_ptr<NSMutableData> archiveTop(const std::function<void(NSCoder&)>& encode) {
    auto data = NSMutableData::data();
    NSKeyedArchiver archiver(data);
    encode(archiver);
    archiver.finishEncoding();
    return data;
}

std::vector<uint8_t> bytesOf(const std::shared_ptr<NSData>& data) {
    return {data->span().begin(), data->span().end()};
}
std::shared_ptr<NSData> dataOf(const std::vector<uint8_t>& bytes) {
    return NSData::dataWithBytes_length(bytes.data(), bytes.size());
}
std::vector<CGFloat> componentsOf(const CGColorRef& color) {
    const CGFloat* c = CGColorGetComponents(color);
    return {c, c + CGColorGetNumberOfComponents(color)};
}
CGColorSpaceRef sRGB() {
    return cachedColorSpaceFromName(kCGColorSpaceSRGB);
}
CGColorRef colourWithProfile(const std::vector<uint8_t>& profile,
                             std::initializer_list<CGFloat> c) {
    return CGColorCreate(CGColorSpaceCreateWithICCData(dataOf(profile)), c);
}

// What the stored $top holds under a key of a group.
struct StoredTop : StoredArchive {
    using StoredArchive::StoredArchive;
    Keys keys() const { return StoredArchive::keys(top()); }
    plist::ObjectInfo entry(const std::string& key) const { return value(top(), key).value(); }
    double real(const std::string& key) const { return list().realValue(entry(key)).value; }
    uint64_t uid(const std::string& key) const { return list().uidValue(entry(key)); }
    std::string string(const std::string& key) const {
        return list().stringValue(referencedEntry(top(), key).value());
    }
    std::vector<uint8_t> bytes(const std::string& key) const {
        const auto stored = list().dataValue(referencedEntry(top(), key).value()).bytes;
        return {stored.begin(), stored.end()};
    }
    // How many data objects of $objects hold exactly `bytes`.
    size_t dataObjectsWithBytes(const std::vector<uint8_t>& bytes) const {
        size_t count = 0;
        for (uint64_t uid = 0; uid < keyed().objectCount(); ++uid) {
            const auto object = keyed().entry(uid);
            count += object.kind == plist::Kind::Data &&
                     std::ranges::equal(list().dataValue(object).bytes, bytes);
        }
        return count;
    }
};

}  // namespace

// Each coordinate is a 64-bit double under "K.x", "K.width", "K.origin.x" …, in member order; the
// values read back exactly.
TEST(CoderGeometry, GroupsWriteTheirSubKeysAsDoublesAndReadBackExactly) {
    const CGPoint point = CGPointMake(0.1, -1e300);
    const CGSize size = CGSizeMake(std::numeric_limits<double>::denorm_min(), -0.0);
    const CGRect rect = CGRectMake(-7.75, 1.0 / 3, 1e-9, 2e9);
    const auto data = archiveTop([&](NSCoder& coder) {
        encodeCGPoint_forKey(coder, point, "position");
        encodeCGSize_forKey(coder, size, "size");
        encodeCGRect_forKey(coder, rect, "frame");
    });
    const StoredTop top(*data);
    EXPECT_EQ(top.keys(),
              (Keys{"position.x", "position.y", "size.width", "size.height", "frame.origin.x",
                    "frame.origin.y", "frame.size.width", "frame.size.height"}));
    for (const auto& key : top.keys()) {
        EXPECT_EQ(top.entry(key).kind, plist::Kind::Real) << key;
        EXPECT_EQ(top.entry(key).count, 8u) << key;
    }
    EXPECT_EQ(top.real("frame.size.height"), 2e9);

    auto decoder = std::make_shared<RecordingUnarchiver>(data);
    EXPECT_EQ(decodeCGPointForKey(*decoder, "position"), point);
    const CGSize readSize = decodeCGSizeForKey(*decoder, "size");
    EXPECT_EQ(readSize, size);
    EXPECT_TRUE(std::signbit(readSize.height));
    EXPECT_EQ(decodeCGRectForKey(*decoder, "frame"), rect);
    EXPECT_TRUE(containsCGPointForKey(*decoder, "frame.origin"));
}

// A point is there only when both coordinates are (and y is asked only when x is); absent members
// read as 0.
TEST(CoderGeometry, PartialAndAbsentGroups) {
    const auto data = archiveTop([](NSCoder& coder) {
        coder.encodeDouble_forKey(4.5, "onlyX.x");
        coder.encodeDouble_forKey(-2.5, "onlyY.y");
        coder.encodeDouble_forKey(3, "partial.size.height");
    });
    auto decoder = std::make_shared<RecordingUnarchiver>(data);
    EXPECT_FALSE(containsCGPointForKey(*decoder, "onlyY"));
    EXPECT_EQ(decoder->calls, Keys{"contains onlyY.x"});
    decoder->calls.clear();
    EXPECT_FALSE(containsCGPointForKey(*decoder, "onlyX"));
    EXPECT_EQ(decoder->calls, (Keys{"contains onlyX.x", "contains onlyX.y"}));
    EXPECT_FALSE(containsCGPointForKey(*decoder, "missing"));
    EXPECT_EQ(decodeCGPointForKey(*decoder, "onlyX"), CGPointMake(4.5, 0));
    EXPECT_EQ(decodeCGPointForKey(*decoder, "onlyY"), CGPointMake(0, -2.5));
    EXPECT_EQ(decodeCGSizeForKey(*decoder, "none"), CGSizeZero);
    EXPECT_EQ(decodeCGRectForKey(*decoder, "partial"), CGRectMake(0, 0, 0, 3));
}

// ---- Writing colours

// Profile (when the space has one), name (when it has one, or its profile is sRGB's), the count
// as a 32-bit integer, then each component as a double; a null colour writes nothing.
TEST(CoderGeometry, ColourGroupsWriteProfileNameCountAndComponents) {
    const auto otherProfile = makeRGBProfile("Coder test: profile only", kDisplayP3Primaries, 0);
    const CGColorRef extended = CGColorCreateCopyByMatchingToColorSpace(
        cachedColorSpaceFromName(kCGColorSpaceExtendedSRGB), kCGRenderingIntentDefault,
        CGColorCreate(cachedColorSpaceFromName(kCGColorSpaceDisplayP3), {1, 0, 0, 1}), nullptr);
    const struct {
        const char* key;
        CGColorRef color;
        std::optional<std::vector<uint8_t>> profile;
        const char* name;
    } cases[] = {
        {"srgb", CGColorCreateSRGB(0.25, 0.5, 0.75, 0.8), bytesOf(sRGBICCProfile()),
         "kCGColorSpaceSRGB"},
        // An unnamed space with the sRGB profile is written as sRGB.
        {"unnamed",
         CGColorCreate(CGColorSpaceCreateWithICCData(sRGBICCProfile()), {0.2, 0.4, 0.6, 1}),
         bytesOf(sRGBICCProfile()), "kCGColorSpaceSRGB"},
        {"profileOnly", colourWithProfile(otherProfile, {0.9, 0.1, 0.05, 0.75}), otherProfile,
         nullptr},
        {"device", CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.3, 0.6, 0.9, 1}), std::nullopt,
         "kCGColorSpaceDeviceRGB"},
        {"grey", CGColorCreate(CGColorSpaceCreateDeviceGray(), {0.25, 0.5}), std::nullopt,
         "kCGColorSpaceDeviceGray"},
        // The extended space reports its non-extended counterpart's profile; components stay
        // outside 0 … 1.
        {"extended", extended, bytesOf(sRGBICCProfile()), "kCGColorSpaceExtendedSRGB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const std::string k = c.key;
        const auto data =
            archiveTop([&](NSCoder& coder) { encodeCGColor_forKey(coder, c.color, k); });
        const StoredTop top(*data);
        const auto components = componentsOf(c.color);
        Keys expected;
        if (c.profile) expected.push_back(k + ".profile");
        if (c.name) expected.push_back(k + ".space_name");
        expected.push_back(k + ".count");
        for (size_t i = 0; i < components.size(); ++i)
            expected.push_back(k + "." + std::to_string(i));
        EXPECT_EQ(top.keys(), expected);
        if (c.profile) {
            EXPECT_EQ(top.bytes(k + ".profile"), *c.profile);
        }
        if (c.name) {
            EXPECT_EQ(top.string(k + ".space_name"), c.name);
        }
        EXPECT_EQ(top.entry(k + ".count").kind, plist::Kind::Integer);
        EXPECT_EQ(top.list().integerValue(top.entry(k + ".count")).signedValue(),
                  int64_t(components.size()));
        for (size_t i = 0; i < components.size(); ++i) {
            EXPECT_EQ(top.entry(k + "." + std::to_string(i)).count, 8u);
            EXPECT_EQ(top.real(k + "." + std::to_string(i)), components[i]);
        }
        // Read back: the same components in the shared space of its name (which then decides
        // alone), or else of its profile.
        auto decoder = std::make_shared<RecordingUnarchiver>(data);
        const CGColorRef read = newCGColorForKey(*decoder, k);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(CGColorGetColorSpace(read),
                  c.name ? cachedColorSpaceFromName(c.name)
                         : cachedColorSpaceFromICCData(dataOf(*c.profile)));
        EXPECT_EQ(componentsOf(read), components);
        if (c.name) {
            EXPECT_TRUE(std::ranges::find(decoder->calls, "object " + k + ".profile") ==
                        decoder->calls.end());
        }
    }
    EXPECT_LT(componentsOf(extended)[1], -0.2);
    EXPECT_TRUE(
        StoredTop(*archiveTop([](NSCoder& coder) { encodeCGColor_forKey(coder, nullptr, "c"); }))
            .keys()
            .empty());
}

// Colours with equal profile bytes, in distinct spaces from distinct data objects, store one
// profile object; the cache that shares them holds each distinct profile once, in order, even when
// many threads write a new one at once.
TEST(CoderGeometry, EqualProfilesAreStoredOnce) {
    const auto first = makeRGBProfile("Coder test: first", kP22Primaries, 2.2);
    const auto second = makeRGBProfile("Coder test: second", kDisplayP3Primaries, 2.0);
    const StoredTop top(*archiveTop([&](NSCoder& coder) {
        encodeCGColor_forKey(coder, colourWithProfile(first, {0.1, 0.2, 0.3, 1}), "a");
        encodeCGColor_forKey(coder, colourWithProfile(first, {0.4, 0.5, 0.6, 1}), "b");
        encodeCGColor_forKey(coder, CGColorCreateSRGB(1, 0, 0, 1), "red");
        encodeCGColor_forKey(coder, CGColorCreateSRGB(0, 0, 1, 0.5), "blue");
    }));
    EXPECT_EQ(top.dataObjectsWithBytes(first), 1u);
    EXPECT_EQ(top.uid("a.profile"), top.uid("b.profile"));
    EXPECT_EQ(top.dataObjectsWithBytes(bytesOf(sRGBICCProfile())), 1u);
    EXPECT_EQ(top.uid("red.profile"), top.uid("blue.profile"));

    // The cache only grows, by distinct profiles appended in order.
    const size_t before = colorProfileCacheEntries().size();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i)
                archiveTop([&](NSCoder& c) {
                    encodeCGColor_forKey(c, colourWithProfile(second, {0, 0, 0, 1}), "c");
                });
        });
    for (auto& thread : threads) thread.join();
    archiveTop([&](NSCoder& c) {
        encodeCGColor_forKey(c, colourWithProfile(first, {0, 0, 0, 1}), "c");
    });
    const auto entries = colorProfileCacheEntries();
    ASSERT_EQ(entries.size(), before + 1);
    EXPECT_TRUE(std::ranges::equal(entries.back()->span(), second));
    EXPECT_EQ(std::ranges::count_if(
                  entries, [&](const auto& e) { return std::ranges::equal(e->span(), first); }),
              1);
}

// ---- Reading colours

// The space is the one named, else the one of the profile, else sRGB; the count must be its
// components plus alpha, else nothing is made and no component is read; absent components read as
// 0, and components are held to the space's range.
TEST(CoderGeometry, ReadingAColourGroup) {
    const auto profile = makeRGBProfile("Coder test: fall-through", kDisplayP3Primaries, 2.2);
    struct Group {
        const char* name = nullptr;
        bool withProfile = false;
        std::optional<int32_t> count;
        std::vector<std::pair<int, double>> components;
    };
    const struct {
        const char* what;
        Group group;
        CGColorSpaceRef space;  // none: no colour
        std::vector<CGFloat> components;
    } cases[] = {
        {"unknown name",
         {"kCGColorSpaceNoSuchSpace", false, 4, {{0, 0.5}, {1, 0.25}, {2, 0.125}, {3, 1}}},
         sRGB(),
         {0.5, 0.25, 0.125, 1}},
        {"unknown name, grey count",
         {"kCGColorSpaceNoSuchSpace", false, 2, {{0, 0.5}, {1, 1}}},
         nullptr,
         {}},
        {"unknown name and a profile",
         {"NoSuchName", true, 4, {}},
         cachedColorSpaceFromICCData(dataOf(profile)),
         {0, 0, 0, 0}},
        {"neither name nor profile", {nullptr, false, 4, {{0, 0.75}}}, sRGB(), {0.75, 0, 0, 0}},
        {"missing components",
         {kCGColorSpaceSRGB, false, 4, {{0, 0.5}, {3, 0.75}}},
         sRGB(),
         {0.5, 0, 0, 0.75}},
        {"out of range",
         {kCGColorSpaceSRGB, false, 4, {{0, 1.5}, {1, -0.5}, {2, 0.5}, {3, 2}}},
         sRGB(),
         {1, 0, 0.5, 1}},
        {"count 0", {kCGColorSpaceSRGB, false, 0, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}}, nullptr, {}},
        {"count -4", {kCGColorSpaceSRGB, false, -4, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}}, nullptr, {}},
        {"no count",
         {kCGColorSpaceSRGB, false, std::nullopt, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}},
         nullptr,
         {}},
        {"count 3", {kCGColorSpaceSRGB, false, 3, {{0, 1}, {1, 1}, {2, 1}}}, nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto decoder = std::make_shared<RecordingUnarchiver>(archiveTop([&](NSCoder& coder) {
            if (c.group.name)
                coder.encodeObject_forKey(NSString::stringWithUTF8String(c.group.name),
                                          "c.space_name");
            if (c.group.withProfile) coder.encodeObject_forKey(dataOf(profile), "c.profile");
            if (c.group.count) coder.encodeInt_forKey(*c.group.count, "c.count");
            for (const auto& [i, value] : c.group.components)
                coder.encodeDouble_forKey(value, "c." + std::to_string(i));
        }));
        const CGColorRef color = newCGColorForKey(*decoder, "c");
        if (!c.space) {
            EXPECT_EQ(color, nullptr);
            EXPECT_FALSE(decoder->decodedAnyDouble());
            continue;
        }
        ASSERT_NE(color, nullptr);
        EXPECT_EQ(CGColorGetColorSpace(color), c.space);
        EXPECT_EQ(componentsOf(color), c.components);
    }
    EXPECT_FALSE(cachedColorSpaceMapContainsName("kCGColorSpaceNoSuchSpace"));
}

// The keyed coder raises on a value of the wrong kind, and reading a colour lets it through.
TEST(CoderGeometry, ASpaceNameOfTheWrongKindRaises) {
    auto decoder = std::make_shared<RecordingUnarchiver>(archiveTop([](NSCoder& coder) {
        coder.encodeObject_forKey(dataOf({1, 2, 3}), "c.space_name");
        coder.encodeInt_forKey(4, "c.count");
    }));
    EXPECT_EQ(test::failureOf([&] { newCGColorForKey(*decoder, "c"); }).name,
              "NSInvalidUnarchiveOperationException");
}
