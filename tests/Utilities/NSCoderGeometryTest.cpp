#include <gtest/gtest.h>

#include "../VantlerCore/ArchiveShapes.h"
#include "../platform/CoreGraphics/ColourTestSupport.h"
#include "../platform/Foundation/FoundationTestSupport.h"
#include "NSCoder+geometry.h"
#include "NSString.h"
#include "TestSupport.h"

using namespace ColourTestSupport;
using Keys = std::vector<std::string>;
using Components = std::vector<CGFloat>;

namespace {

struct CountingUnarchiver : NSKeyedUnarchiver {
    using NSKeyedUnarchiver::NSKeyedUnarchiver;
    int doublesRead = 0;
    double decodeDoubleForKey(std::string_view key) override {
        ++doublesRead;
        return NSKeyedUnarchiver::decodeDoubleForKey(key);
    }
};

std::shared_ptr<CountingUnarchiver> reader(const std::shared_ptr<NSData>& data) {
    return std::make_shared<CountingUnarchiver>(data);
}
Components componentsOf(const CGColorRef& color) {
    const CGFloat* c = CGColorGetComponents(color);
    return {c, c + CGColorGetNumberOfComponents(color)};
}
CGColorRef colourWithProfile(const std::vector<uint8_t>& profile,
                             std::initializer_list<CGFloat> c) {
    return CGColorCreate(CGColorSpaceCreateWithICCData(NSData::dataWithVector(profile)), c);
}

struct StoredTop : archive_shapes::StoredArchive {
    using StoredArchive::StoredArchive;
    Keys keys() const { return StoredArchive::keys(top()); }
    plist::ObjectInfo entry(const std::string& key) const { return value(top(), key).value(); }
    uint64_t uid(const std::string& key) const { return list().uidValue(entry(key)); }
    std::vector<uint8_t> bytes(const std::string& key) const {
        const auto stored = referencedEntry(top(), key);
        if (!stored) return {};
        const auto bytes = list().dataValue(*stored).bytes;
        return {bytes.begin(), bytes.end()};
    }
    std::string string(const std::string& key) const {
        const auto stored = referencedEntry(top(), key);
        return stored ? list().stringValue(*stored) : "";
    }
};

}  // namespace

// A point is there only when both coordinates are; absent members read as 0.
TEST(CoderGeometry, GroupsWriteTheirSubKeysAsDoublesAndReadBackExactly) {
    const CGPoint point = CGPointMake(0.1, -1e300);
    const CGSize size = CGSizeMake(std::numeric_limits<double>::denorm_min(), -0.0);
    const CGRect rect = CGRectMake(-7.75, 1.0 / 3, 1e-9, 2e9);
    const auto data = test::archive([&](NSCoder& coder) {
        encodeCGPoint_forKey(coder, point, "position");
        encodeCGSize_forKey(coder, size, "size");
        encodeCGRect_forKey(coder, rect, "frame");
        coder.encodeDouble_forKey(4.5, "onlyX.x");
        coder.encodeDouble_forKey(3, "partial.size.height");
    });
    const StoredTop top(*data);
    EXPECT_EQ(top.keys(), (Keys{"position.x", "position.y", "size.width", "size.height",
                                "frame.origin.x", "frame.origin.y", "frame.size.width",
                                "frame.size.height", "onlyX.x", "partial.size.height"}));
    for (const auto& key : top.keys()) EXPECT_EQ(top.entry(key).count, 8u) << key;
    const auto decoder = reader(data);
    EXPECT_EQ(decodeCGPointForKey(*decoder, "position"), point);
    EXPECT_TRUE(std::signbit(decodeCGSizeForKey(*decoder, "size").height));
    EXPECT_EQ(decodeCGSizeForKey(*decoder, "size"), size);
    EXPECT_EQ(decodeCGRectForKey(*decoder, "frame"), rect);
    EXPECT_EQ(decodeCGPointForKey(*decoder, "onlyX"), CGPointMake(4.5, 0));
    EXPECT_EQ(decodeCGRectForKey(*decoder, "partial"), CGRectMake(0, 0, 0, 3));
    EXPECT_TRUE(containsCGPointForKey(*decoder, "frame.origin"));
    EXPECT_FALSE(containsCGPointForKey(*decoder, "onlyX"));
}

// Profile (when the space has one), name (when it has one, or its profile is sRGB's), the count,
// then each component as a double; read back in the space of its name, or else of its profile.
TEST(CoderGeometry, ColourGroupsWriteProfileNameCountAndComponents) {
    const auto otherProfile = makeRGBProfile("Coder test: profile only", kDisplayP3Primaries, 0);
    const std::vector<uint8_t> srgb(sRGBICCProfile()->span().begin(),
                                    sRGBICCProfile()->span().end());
    const CGColorRef extended = CGColorCreateCopyByMatchingToColorSpace(
        cachedColorSpaceFromName(kCGColorSpaceExtendedSRGB), kCGRenderingIntentDefault,
        CGColorCreate(cachedColorSpaceFromName(kCGColorSpaceDisplayP3), {1, 0, 0, 1}), nullptr);
    const struct {
        CGColorRef color;
        std::vector<uint8_t> profile;
        std::string name, keys;
    } cases[] = {
        // clang-format off
        {CGColorCreateSRGB(0.25, 0.5, 0.75, 0.8), srgb, "kCGColorSpaceSRGB", "profile space_name count 0 1 2 3 "},
        {CGColorCreate(CGColorSpaceCreateWithICCData(sRGBICCProfile()), {0.2, 0.4, 0.6, 1}), srgb, "kCGColorSpaceSRGB", "profile space_name count 0 1 2 3 "},
        {colourWithProfile(otherProfile, {0.9, 0.1, 0.05, 0.75}), otherProfile, "", "profile count 0 1 2 3 "},
        {CGColorCreate(CGColorSpaceCreateDeviceGray(), {0.25, 0.5}), {}, "kCGColorSpaceDeviceGray", "space_name count 0 1 "},
        {extended, srgb, "kCGColorSpaceExtendedSRGB", "profile space_name count 0 1 2 3 "},  // components outside 0 … 1 kept
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto data =
            test::archive([&](NSCoder& coder) { encodeCGColor_forKey(coder, c.color, "k"); });
        const StoredTop top(*data);
        std::string keys;
        for (const auto& key : top.keys()) keys += key.substr(2) + " ";
        EXPECT_EQ(keys, c.keys);
        EXPECT_EQ(top.bytes("k.profile"), c.profile);
        EXPECT_EQ(top.string("k.space_name"), c.name);
        EXPECT_EQ(top.entry("k.count").kind, plist::Kind::Integer);
        EXPECT_EQ(top.entry("k.1").count, 8u);
        const CGColorRef read = newCGColorForKey(*reader(data), "k");
        EXPECT_EQ(CGColorGetColorSpace(read),
                  !c.name.empty() ? cachedColorSpaceFromName(c.name.c_str())
                                  : cachedColorSpaceFromICCData(NSData::dataWithVector(c.profile)));
        EXPECT_EQ(componentsOf(read), componentsOf(c.color));
    }
    EXPECT_LT(componentsOf(extended)[1], -0.2);
    EXPECT_TRUE(
        StoredTop(*test::archive([](NSCoder& coder) { encodeCGColor_forKey(coder, nullptr, "c"); }))
            .keys()
            .empty());
}

// Equal profile bytes in distinct spaces store one profile object, even from many threads at once.
TEST(CoderGeometry, EqualProfilesAreStoredOnce) {
    const auto first = makeRGBProfile("Coder test: first", kP22Primaries, 2.2);
    const auto second = makeRGBProfile("Coder test: second", kDisplayP3Primaries, 2.0);
    const StoredTop top(*test::archive([&](NSCoder& coder) {
        encodeCGColor_forKey(coder, colourWithProfile(first, {0.1, 0.2, 0.3, 1}), "a");
        encodeCGColor_forKey(coder, colourWithProfile(first, {0.4, 0.5, 0.6, 1}), "b");
    }));
    EXPECT_EQ(top.uid("a.profile"), top.uid("b.profile"));
    const size_t before = colorProfileCacheEntries().size();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            test::archive([&](NSCoder& c) {
                encodeCGColor_forKey(c, colourWithProfile(second, {0, 0, 0, 1}), "c");
            });
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(colorProfileCacheEntries().size(), before + 1);
}

// The space is the one named, else the one of the profile, else sRGB; a count other than its
// components plus alpha makes nothing and reads no component; components are held to the range.
TEST(CoderGeometry, ReadingAColourGroup) {
    const auto profile = makeRGBProfile("Coder test: fall-through", kDisplayP3Primaries, 2.2);
    const CGColorSpaceRef sRGB = cachedColorSpaceFromName(kCGColorSpaceSRGB);
    const struct {
        const char* name;
        bool withProfile;
        std::optional<int32_t> count;
        Components stored;
        CGColorSpaceRef space;  // none: no colour
        Components read;
    } cases[] = {
        // clang-format off
        {"kCGColorSpaceNoSuchSpace", false, 4, {0.5, 0.25, 0.125, 1}, sRGB, {0.5, 0.25, 0.125, 1}},
        {"kCGColorSpaceNoSuchSpace", false, 2, {0.5, 1}, nullptr, {}},
        {"NoSuchName", true, 4, {}, cachedColorSpaceFromICCData(NSData::dataWithVector(profile)), {0, 0, 0, 0}},
        {nullptr, false, 4, {0.75}, sRGB, {0.75, 0, 0, 0}},
        {kCGColorSpaceSRGB, false, 4, {1.5, -0.5, 0.5, 2}, sRGB, {1, 0, 0.5, 1}},
        {kCGColorSpaceSRGB, false, std::nullopt, {1, 1, 1, 1}, nullptr, {}},
        {kCGColorSpaceSRGB, false, 3, {1, 1, 1}, nullptr, {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.name ? c.name : "-") << " " << c.count.value_or(-1));
        const auto decoder = reader(test::archive([&](NSCoder& coder) {
            if (c.name)
                coder.encodeObject_forKey(NSString::stringWithUTF8String(c.name), "c.space_name");
            if (c.withProfile)
                coder.encodeObject_forKey(NSData::dataWithVector(profile), "c.profile");
            if (c.count) coder.encodeInt_forKey(*c.count, "c.count");
            for (size_t i = 0; i < c.stored.size(); ++i)
                coder.encodeDouble_forKey(c.stored[i], "c." + std::to_string(i));
        }));
        const CGColorRef color = newCGColorForKey(*decoder, "c");
        EXPECT_EQ(color ? CGColorGetColorSpace(color) : nullptr, c.space);
        EXPECT_EQ(color ? componentsOf(color) : Components{}, c.read);
        EXPECT_TRUE(color || decoder->doublesRead == 0);
    }
    // The keyed coder raises on a value of the wrong kind, and reading a colour lets it through.
    const auto wrongKind = reader(test::archive([](NSCoder& coder) {
        coder.encodeObject_forKey(NSData::dataWithVector({1, 2, 3}), "c.space_name");
        coder.encodeInt_forKey(4, "c.count");
    }));
    EXPECT_EQ(test::failureOf([&] { newCGColorForKey(*wrongKind, "c"); }).name,
              "NSInvalidUnarchiveOperationException");
}
