// Points, sizes, rectangles and colours in archives: the sub-keys each group writes, in order and
// of which kinds; the shared profile objects; and reading a colour with its space chosen by name,
// then profile, then sRGB. Groups are written into an archive's $top and read back from it, so
// every entry can be looked at where it is stored.

#include <gtest/gtest.h>

#include "../VantlerCore/ArchiveShapes.h"
#include "../platform/CoreGraphics/ColourTestSupport.h"
#include "NSCoder+geometry.h"
#include "NSString.h"
#include "TestSupport.h"

using namespace ColourTestSupport;
using Keys = std::vector<std::string>;
using Components = std::vector<CGFloat>;

namespace {

// Records which keys a read asks about.
class RecordingUnarchiver : public NSKeyedUnarchiver {
  public:
    using NSKeyedUnarchiver::NSKeyedUnarchiver;
    Keys calls;
    bool containsValueForKey(std::string_view key) override {
        calls.push_back("contains " + std::string(key));
        return NSKeyedUnarchiver::containsValueForKey(key);
    }
    double decodeDoubleForKey(std::string_view key) override {
        calls.push_back("double " + std::string(key));
        return NSKeyedUnarchiver::decodeDoubleForKey(key);
    }
};

// An archive whose $top holds what `encode` writes, and a reader of it.
std::shared_ptr<NSMutableData> archiveTop(const std::function<void(NSCoder&)>& encode) {
    auto data = NSMutableData::data();
    NSKeyedArchiver archiver(data);
    encode(archiver);
    archiver.finishEncoding();
    return data;
}
std::shared_ptr<RecordingUnarchiver> reader(const std::function<void(NSCoder&)>& encode) {
    return std::make_shared<RecordingUnarchiver>(archiveTop(encode));
}

std::vector<uint8_t> bytesOf(const std::shared_ptr<NSData>& data) {
    return {data->span().begin(), data->span().end()};
}
std::shared_ptr<NSData> dataOf(const std::vector<uint8_t>& bytes) {
    return NSData::dataWithBytes_length(bytes.data(), bytes.size());
}
Components componentsOf(const CGColorRef& color) {
    const CGFloat* c = CGColorGetComponents(color);
    return {c, c + CGColorGetNumberOfComponents(color)};
}
CGColorRef colourWithProfile(const std::vector<uint8_t>& profile,
                             std::initializer_list<CGFloat> c) {
    return CGColorCreate(CGColorSpaceCreateWithICCData(dataOf(profile)), c);
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

// Each coordinate is a 64-bit double under "K.x", "K.width", "K.origin.x" …, in member order; the
// values read back exactly. A point is there only when both coordinates are (y asked only when x
// is); absent members read as 0.
TEST(CoderGeometry, GroupsWriteTheirSubKeysAsDoublesAndReadBackExactly) {
    const CGPoint point = CGPointMake(0.1, -1e300);
    const CGSize size = CGSizeMake(std::numeric_limits<double>::denorm_min(), -0.0);
    const CGRect rect = CGRectMake(-7.75, 1.0 / 3, 1e-9, 2e9);
    const auto data = archiveTop([&](NSCoder& coder) {
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
    const auto decoder = std::make_shared<RecordingUnarchiver>(data);
    EXPECT_EQ(decodeCGPointForKey(*decoder, "position"), point);
    EXPECT_TRUE(std::signbit(decodeCGSizeForKey(*decoder, "size").height));
    EXPECT_EQ(decodeCGSizeForKey(*decoder, "size"), size);
    EXPECT_EQ(decodeCGRectForKey(*decoder, "frame"), rect);
    EXPECT_EQ(decodeCGPointForKey(*decoder, "onlyX"), CGPointMake(4.5, 0));
    EXPECT_EQ(decodeCGRectForKey(*decoder, "partial"), CGRectMake(0, 0, 0, 3));
    EXPECT_TRUE(containsCGPointForKey(*decoder, "frame.origin"));
    decoder->calls.clear();
    EXPECT_FALSE(containsCGPointForKey(*decoder, "onlyX"));
    EXPECT_FALSE(containsCGPointForKey(*decoder, "missing"));
    EXPECT_EQ(decoder->calls, (Keys{"contains onlyX.x", "contains onlyX.y", "contains missing.x"}));
}

// Profile (when the space has one), name (when it has one, or its profile is sRGB's), the count
// as a 32-bit integer, then each component as a double; a null colour writes nothing. Read back:
// the same components in the space of its name, or else of its profile.
TEST(CoderGeometry, ColourGroupsWriteProfileNameCountAndComponents) {
    const auto otherProfile = makeRGBProfile("Coder test: profile only", kDisplayP3Primaries, 0);
    const auto srgb = bytesOf(sRGBICCProfile());
    const CGColorRef extended = CGColorCreateCopyByMatchingToColorSpace(
        cachedColorSpaceFromName(kCGColorSpaceExtendedSRGB), kCGRenderingIntentDefault,
        CGColorCreate(cachedColorSpaceFromName(kCGColorSpaceDisplayP3), {1, 0, 0, 1}), nullptr);
    const struct {
        CGColorRef color;
        std::vector<uint8_t> profile;
        std::string name;
    } cases[] = {
        // clang-format off
        {CGColorCreateSRGB(0.25, 0.5, 0.75, 0.8), srgb, "kCGColorSpaceSRGB"},
        {CGColorCreate(CGColorSpaceCreateWithICCData(sRGBICCProfile()), {0.2, 0.4, 0.6, 1}), srgb, "kCGColorSpaceSRGB"},
        {colourWithProfile(otherProfile, {0.9, 0.1, 0.05, 0.75}), otherProfile, ""},
        {CGColorCreate(CGColorSpaceCreateDeviceGray(), {0.25, 0.5}), {}, "kCGColorSpaceDeviceGray"},
        {extended, srgb, "kCGColorSpaceExtendedSRGB"},  // components outside 0 … 1 kept
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto data =
            archiveTop([&](NSCoder& coder) { encodeCGColor_forKey(coder, c.color, "k"); });
        const StoredTop top(*data);
        const auto components = componentsOf(c.color);
        Keys expected;
        if (!c.profile.empty()) expected.push_back("k.profile");
        if (!c.name.empty()) expected.push_back("k.space_name");
        expected.push_back("k.count");
        for (size_t i = 0; i < components.size(); ++i) expected.push_back("k." + std::to_string(i));
        EXPECT_EQ(top.keys(), expected);
        EXPECT_EQ(top.bytes("k.profile"), c.profile);
        EXPECT_EQ(top.string("k.space_name"), c.name);
        EXPECT_EQ(top.entry("k.count").kind, plist::Kind::Integer);
        EXPECT_EQ(top.entry("k.1").count, 8u);
        const auto decoder = std::make_shared<RecordingUnarchiver>(data);
        const CGColorRef read = newCGColorForKey(*decoder, "k");
        EXPECT_EQ(CGColorGetColorSpace(read), !c.name.empty()
                                                  ? cachedColorSpaceFromName(c.name.c_str())
                                                  : cachedColorSpaceFromICCData(dataOf(c.profile)));
        EXPECT_EQ(componentsOf(read), components);
    }
    EXPECT_LT(componentsOf(extended)[1], -0.2);
    EXPECT_TRUE(
        StoredTop(*archiveTop([](NSCoder& coder) { encodeCGColor_forKey(coder, nullptr, "c"); }))
            .keys()
            .empty());
}

// Equal profile bytes in distinct spaces store one profile object; the cache that shares them holds
// each distinct profile once, in order, even when many threads write a new one at once.
TEST(CoderGeometry, EqualProfilesAreStoredOnce) {
    const auto first = makeRGBProfile("Coder test: first", kP22Primaries, 2.2);
    const auto second = makeRGBProfile("Coder test: second", kDisplayP3Primaries, 2.0);
    const StoredTop top(*archiveTop([&](NSCoder& coder) {
        encodeCGColor_forKey(coder, colourWithProfile(first, {0.1, 0.2, 0.3, 1}), "a");
        encodeCGColor_forKey(coder, colourWithProfile(first, {0.4, 0.5, 0.6, 1}), "b");
    }));
    EXPECT_EQ(top.uid("a.profile"), top.uid("b.profile"));
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
    const auto entries = colorProfileCacheEntries();
    ASSERT_EQ(entries.size(), before + 1);
    EXPECT_TRUE(std::ranges::equal(entries.back()->span(), second));
}

// The space is the one named, else the one of the profile, else sRGB; the count must be its
// components plus alpha, else nothing is made and no component is read; absent components read as
// 0, and components are held to the space's range.
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
        {"NoSuchName", true, 4, {}, cachedColorSpaceFromICCData(dataOf(profile)), {0, 0, 0, 0}},
        {nullptr, false, 4, {0.75}, sRGB, {0.75, 0, 0, 0}},
        {kCGColorSpaceSRGB, false, 4, {1.5, -0.5, 0.5, 2}, sRGB, {1, 0, 0.5, 1}},
        {kCGColorSpaceSRGB, false, 0, {1, 1, 1, 1}, nullptr, {}},
        {kCGColorSpaceSRGB, false, -4, {1, 1, 1, 1}, nullptr, {}},
        {kCGColorSpaceSRGB, false, std::nullopt, {1, 1, 1, 1}, nullptr, {}},
        {kCGColorSpaceSRGB, false, 3, {1, 1, 1}, nullptr, {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.name ? c.name : "no name") << " count " << c.count.value_or(-99));
        const auto decoder = reader([&](NSCoder& coder) {
            if (c.name)
                coder.encodeObject_forKey(NSString::stringWithUTF8String(c.name), "c.space_name");
            if (c.withProfile) coder.encodeObject_forKey(dataOf(profile), "c.profile");
            if (c.count) coder.encodeInt_forKey(*c.count, "c.count");
            for (size_t i = 0; i < c.stored.size(); ++i)
                coder.encodeDouble_forKey(c.stored[i], "c." + std::to_string(i));
        });
        const CGColorRef color = newCGColorForKey(*decoder, "c");
        EXPECT_EQ(color ? CGColorGetColorSpace(color) : nullptr, c.space);
        EXPECT_EQ(color ? componentsOf(color) : Components{}, c.read);
        EXPECT_TRUE(color || std::ranges::none_of(decoder->calls, [](const auto& call) {
                        return call.starts_with("double ");
                    }));
    }
    EXPECT_FALSE(cachedColorSpaceMapContainsName("kCGColorSpaceNoSuchSpace"));
    // The keyed coder raises on a value of the wrong kind, and reading a colour lets it through.
    const auto wrongKind = reader([](NSCoder& coder) {
        coder.encodeObject_forKey(dataOf({1, 2, 3}), "c.space_name");
        coder.encodeInt_forKey(4, "c.count");
    });
    EXPECT_EQ(test::failureOf([&] { newCGColorForKey(*wrongKind, "c"); }).name,
              "NSInvalidUnarchiveOperationException");
}
