// Part 3.4: geometry and colour archive encoding (source unit Utilities/NSCoder+geometry): the
// sub-key groups of points, sizes, rectangles and colours, the order and kinds of their entries,
// colorProfileCache, the sRGB-profile-without-name rule and the reading of a colour with its space
// chosen by name, then profile, then sRGB.
//
// Groups are written into an archive's $top (as the document's top-level keys are) and read back
// from it, so every entry can be looked at where it is stored. colorProfileCache lives for the
// whole test program, so a test that counts its entries uses a profile that no other test writes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "../platform/CoreGraphics/ColourTestSupport.h"
#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGImageToData.h"
#include "KeyedArchive.h"
#include "NSCoder+geometry.h"
#include "NSData.h"
#include "NSException.h"
#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "NSString.h"
#include "TestSupport.h"

using namespace ColourTestSupport;

namespace {

// ---- Coders that record what they are asked, to check the order of writes and which keys a read
// looks at.

class RecordingArchiver : public NSKeyedArchiver {
public:
    using NSKeyedArchiver::NSKeyedArchiver;
    std::vector<std::string> calls;

    void encodeObject_forKey(const std::shared_ptr<const NSObject>& object,
                             std::string_view key) override {
        calls.push_back("object " + std::string(key));
        NSKeyedArchiver::encodeObject_forKey(object, key);
    }
    void encodeInt_forKey(int32_t value, std::string_view key) override {
        calls.push_back("int " + std::string(key));
        NSKeyedArchiver::encodeInt_forKey(value, key);
    }
    void encodeDouble_forKey(double value, std::string_view key) override {
        calls.push_back("double " + std::string(key));
        NSKeyedArchiver::encodeDouble_forKey(value, key);
    }
};

class RecordingUnarchiver : public NSKeyedUnarchiver {
public:
    using NSKeyedUnarchiver::NSKeyedUnarchiver;
    std::vector<std::string> calls;

    bool containsValueForKey(std::string_view key) override {
        calls.push_back("contains " + std::string(key));
        return NSKeyedUnarchiver::containsValueForKey(key);
    }
    std::shared_ptr<NSObject> decodeObjectForKey(std::string_view key) override {
        calls.push_back("object " + std::string(key));
        return NSKeyedUnarchiver::decodeObjectForKey(key);
    }
    int32_t decodeIntForKey(std::string_view key) override {
        calls.push_back("int " + std::string(key));
        return NSKeyedUnarchiver::decodeIntForKey(key);
    }
    double decodeDoubleForKey(std::string_view key) override {
        calls.push_back("double " + std::string(key));
        return NSKeyedUnarchiver::decodeDoubleForKey(key);
    }
};

// An archive whose $top holds what `encode` writes; `calls` receives the archiver's record.
template <class Encode>
std::shared_ptr<NSMutableData> archiveTop(Encode encode,
                                          std::vector<std::string>* calls = nullptr) {
    auto data = NSMutableData::data();
    RecordingArchiver archiver(data);
    encode(static_cast<NSCoder&>(archiver));
    archiver.finishEncoding();
    if (calls) *calls = archiver.calls;
    return data;
}

std::shared_ptr<RecordingUnarchiver> reader(const std::shared_ptr<NSMutableData>& data) {
    return std::make_shared<RecordingUnarchiver>(data);
}

// ---- The stored form of $top.

struct Entry {
    plist::Kind kind = plist::Kind::Null;
    uint64_t width = 0;  // byte width of a number
    double real = 0;
    int64_t integer = 0;
    uint64_t uid = 0;
    plist::Kind referencedKind = plist::Kind::Null;  // for a UID: the kind of the $objects entry
    std::string string;                              // for a UID to a string
    std::vector<uint8_t> bytes;                      // for a UID to data
};

class StoredTop {
public:
    explicit StoredTop(const NSData& data) : archive_(data) {}

    // The keys of $top in stored order.
    std::vector<std::string> keys() const {
        std::vector<std::string> result;
        const auto& top = archive_.top();
        for (uint64_t i = 0; i < top.count; ++i)
            result.push_back(list().stringValue(list().object(list().keyRef(top, i))));
        return result;
    }

    Entry entry(const std::string& key) const {
        Entry result;
        const auto ref = list().lookup(archive_.top(), key);
        if (!ref) return result;
        const auto info = list().object(*ref);
        result.kind = info.kind;
        result.width = info.count;
        if (info.kind == plist::Kind::Real) result.real = list().realValue(info).value;
        if (info.kind == plist::Kind::Integer)
            result.integer = list().integerValue(info).signedValue();
        if (info.kind == plist::Kind::UID) {
            result.uid = list().uidValue(info);
            const auto referenced = archive_.entry(result.uid);
            result.referencedKind = referenced.kind;
            if (referenced.kind == plist::Kind::String)
                result.string = list().stringValue(referenced);
            if (referenced.kind == plist::Kind::Data) {
                const auto bytes = list().dataValue(referenced).bytes;
                result.bytes.assign(bytes.begin(), bytes.end());
            }
        }
        return result;
    }

    // How many data objects of $objects hold exactly `bytes`.
    size_t dataObjectsWithBytes(std::span<const uint8_t> bytes) const {
        size_t count = 0;
        for (uint64_t uid = 0; uid < archive_.objectCount(); ++uid) {
            const auto object = archive_.entry(uid);
            if (object.kind != plist::Kind::Data) continue;
            const auto stored = list().dataValue(object).bytes;
            if (std::ranges::equal(stored, bytes)) ++count;
        }
        return count;
    }

  private:
    const plist::BinaryPropertyList& list() const { return archive_.plist(); }
    KeyedArchive archive_;
};

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

// A colour written under `key` and read back from the same archive.
CGColorRef roundTripColor(const CGColorRef& color,
                          std::shared_ptr<RecordingUnarchiver>* decoder = nullptr) {
    const auto data =
        archiveTop([&](NSCoder& coder) { encodeCGColor_forKey(coder, color, "color"); });
    auto unarchiver = reader(data);
    auto result = newCGColorForKey(*unarchiver, "color");
    if (decoder) *decoder = unarchiver;
    return result;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::ranges::find(list, item) != list.end();
}

}  // namespace

// ---- Points, sizes, rectangles

// Edge case: a point under "position" produces exactly position.x and position.y, both doubles.
TEST(Part3_4_CoderGeometry, PointWritesExactlyXThenYAsDoubles) {
    std::vector<std::string> calls;
    const auto data = archiveTop(
        [](NSCoder& coder) { encodeCGPoint_forKey(coder, CGPointMake(12.5, -3.25), "position"); },
        &calls);
    EXPECT_EQ(calls, (std::vector<std::string>{"double position.x", "double position.y"}));

    const StoredTop top(*data);
    EXPECT_EQ(top.keys(), (std::vector<std::string>{"position.x", "position.y"}));
    for (const char* key : {"position.x", "position.y"}) {
        const Entry entry = top.entry(key);
        EXPECT_EQ(entry.kind, plist::Kind::Real) << key;
        EXPECT_EQ(entry.width, 8u) << key;  // a 64-bit IEEE double
    }
    EXPECT_EQ(top.entry("position.x").real, 12.5);
    EXPECT_EQ(top.entry("position.y").real, -3.25);
}

TEST(Part3_4_CoderGeometry, SizeWritesExactlyWidthThenHeightAsDoubles) {
    std::vector<std::string> calls;
    const auto data = archiveTop(
        [](NSCoder& coder) { encodeCGSize_forKey(coder, CGSizeMake(375, 667.5), "size"); }, &calls);
    EXPECT_EQ(calls, (std::vector<std::string>{"double size.width", "double size.height"}));

    const StoredTop top(*data);
    EXPECT_EQ(top.keys(), (std::vector<std::string>{"size.width", "size.height"}));
    EXPECT_EQ(top.entry("size.width").kind, plist::Kind::Real);
    EXPECT_EQ(top.entry("size.width").width, 8u);
    EXPECT_EQ(top.entry("size.width").real, 375.0);
    EXPECT_EQ(top.entry("size.height").kind, plist::Kind::Real);
    EXPECT_EQ(top.entry("size.height").width, 8u);
    EXPECT_EQ(top.entry("size.height").real, 667.5);
}

// Edge case: a rectangle under K produces exactly K.origin.x, K.origin.y, K.size.width and
// K.size.height.
TEST(Part3_4_CoderGeometry, RectWritesExactlyTheOriginThenTheSizeGroup) {
    std::vector<std::string> calls;
    const auto data = archiveTop(
        [](NSCoder& coder) { encodeCGRect_forKey(coder, CGRectMake(1, 2, 3, 4), "frame"); },
        &calls);
    const std::vector<std::string> keys = {"frame.origin.x", "frame.origin.y", "frame.size.width",
                                           "frame.size.height"};
    EXPECT_EQ(calls,
              (std::vector<std::string>{"double frame.origin.x", "double frame.origin.y",
                                        "double frame.size.width", "double frame.size.height"}));
    const StoredTop top(*data);
    EXPECT_EQ(top.keys(), keys);
    for (size_t i = 0; i < keys.size(); ++i) {
        const Entry entry = top.entry(keys[i]);
        EXPECT_EQ(entry.kind, plist::Kind::Real) << keys[i];
        EXPECT_EQ(entry.width, 8u) << keys[i];
        EXPECT_EQ(entry.real, double(i + 1)) << keys[i];
    }
}

TEST(Part3_4_CoderGeometry, PointSizeAndRectRoundTripExactly) {
    const CGPoint point = CGPointMake(0.1, -1e300);
    const CGSize size = CGSizeMake(std::numeric_limits<double>::denorm_min(), -0.0);
    const CGRect rect = CGRectMake(-7.75, 1.0 / 3, 1e-9, 2e9);
    const auto data = archiveTop([&](NSCoder& coder) {
        encodeCGPoint_forKey(coder, point, "p");
        encodeCGSize_forKey(coder, size, "s");
        encodeCGRect_forKey(coder, rect, "r");
    });
    auto decoder = reader(data);
    EXPECT_TRUE(containsCGPointForKey(*decoder, "p"));
    EXPECT_EQ(decodeCGPointForKey(*decoder, "p"), point);
    const CGSize readSize = decodeCGSizeForKey(*decoder, "s");
    EXPECT_EQ(readSize, size);
    EXPECT_TRUE(std::signbit(readSize.height));  // -0.0 stays -0.0
    EXPECT_EQ(decodeCGRectForKey(*decoder, "r"), rect);
    EXPECT_TRUE(containsCGPointForKey(*decoder, "r.origin"));
}

// Edge case: containsCGPointForKey is false when only one of K.x and K.y exists;
// decodeCGPointForKey then returns the present value and 0.0 for the other.
TEST(Part3_4_CoderGeometry, OnePresentCoordinateIsNotAPointButStillReads) {
    const auto data = archiveTop([](NSCoder& coder) {
        coder.encodeDouble_forKey(4.5, "onlyX.x");
        coder.encodeDouble_forKey(-2.5, "onlyY.y");
    });
    auto decoder = reader(data);
    EXPECT_FALSE(containsCGPointForKey(*decoder, "onlyX"));
    EXPECT_FALSE(containsCGPointForKey(*decoder, "onlyY"));
    EXPECT_FALSE(containsCGPointForKey(*decoder, "missing"));
    EXPECT_EQ(decodeCGPointForKey(*decoder, "onlyX"), CGPointMake(4.5, 0.0));
    EXPECT_EQ(decodeCGPointForKey(*decoder, "onlyY"), CGPointMake(0.0, -2.5));
}

// K.y is asked only when K.x is present.
TEST(Part3_4_CoderGeometry, ContainsCGPointAsksForYOnlyWhenXIsPresent) {
    const auto data = archiveTop([](NSCoder& coder) { coder.encodeDouble_forKey(1, "onlyX.x"); });
    auto decoder = reader(data);
    EXPECT_FALSE(containsCGPointForKey(*decoder, "onlyY"));
    EXPECT_EQ(decoder->calls, (std::vector<std::string>{"contains onlyY.x"}));
    decoder->calls.clear();
    EXPECT_FALSE(containsCGPointForKey(*decoder, "onlyX"));
    EXPECT_EQ(decoder->calls, (std::vector<std::string>{"contains onlyX.x", "contains onlyX.y"}));
}

// Absent point, size and rectangle entries read as zeros.
TEST(Part3_4_CoderGeometry, AbsentGeometryReadsAsZeros) {
    const auto data =
        archiveTop([](NSCoder& coder) { coder.encodeDouble_forKey(3, "partial.size.height"); });
    auto decoder = reader(data);
    EXPECT_EQ(decodeCGPointForKey(*decoder, "none"), CGPointZero);
    EXPECT_EQ(decodeCGSizeForKey(*decoder, "none"), CGSizeZero);
    EXPECT_EQ(decodeCGRectForKey(*decoder, "none"), CGRectZero);
    EXPECT_EQ(decodeCGRectForKey(*decoder, "partial"), CGRectMake(0, 0, 0, 3));
}

// ---- Writing colours

// The entries of an sRGB colour under "backgroundColor": profile, space_name, count 4 (a 32-bit
// integer written as an integer), then the four components as doubles, in that order.
TEST(Part3_4_CoderGeometry, SRGBColourWritesTheDocumentedEntriesInOrder) {
    const CGColorRef color = CGColorCreateSRGB(0.25, 0.5, 0.75, 0.8);
    std::vector<std::string> calls;
    const auto data = archiveTop(
        [&](NSCoder& coder) { encodeCGColor_forKey(coder, color, "backgroundColor"); }, &calls);
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "object backgroundColor.profile", "object backgroundColor.space_name",
                         "int backgroundColor.count", "double backgroundColor.0",
                         "double backgroundColor.1", "double backgroundColor.2",
                         "double backgroundColor.3"}));

    const StoredTop top(*data);
    EXPECT_EQ(top.keys(), (std::vector<std::string>{
                              "backgroundColor.profile", "backgroundColor.space_name",
                              "backgroundColor.count", "backgroundColor.0", "backgroundColor.1",
                              "backgroundColor.2", "backgroundColor.3"}));

    const Entry profile = top.entry("backgroundColor.profile");
    EXPECT_EQ(profile.kind, plist::Kind::UID);
    EXPECT_EQ(profile.referencedKind, plist::Kind::Data);
    EXPECT_EQ(profile.bytes, bytesOf(sRGBICCProfile()));

    const Entry name = top.entry("backgroundColor.space_name");
    EXPECT_EQ(name.kind, plist::Kind::UID);
    EXPECT_EQ(name.referencedKind, plist::Kind::String);
    EXPECT_EQ(name.string, "kCGColorSpaceSRGB");

    const Entry count = top.entry("backgroundColor.count");
    EXPECT_EQ(count.kind, plist::Kind::Integer);
    EXPECT_EQ(count.integer, 4);

    const std::vector<double> expected = {0.25, 0.5, 0.75, 0.8};
    for (size_t i = 0; i < 4; ++i) {
        const Entry component = top.entry("backgroundColor." + std::to_string(i));
        EXPECT_EQ(component.kind, plist::Kind::Real) << i;
        EXPECT_EQ(component.width, 8u) << i;
        EXPECT_EQ(component.real, expected[i]) << i;
    }
}

// A null colour writes nothing, and reading the key gives null.
TEST(Part3_4_CoderGeometry, NullColourWritesNothing) {
    std::vector<std::string> calls;
    const auto data = archiveTop(
        [](NSCoder& coder) { encodeCGColor_forKey(coder, nullptr, "shadowColor"); }, &calls);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(StoredTop(*data).keys().empty());
    auto decoder = reader(data);
    EXPECT_EQ(newCGColorForKey(*decoder, "shadowColor"), nullptr);
}

// Edge case: two colours with the same profile, written into one archive, store one profile object.
TEST(Part3_4_CoderGeometry, TwoColoursWithTheSameProfileStoreOneProfileObject) {
    const auto data = archiveTop([](NSCoder& coder) {
        encodeCGColor_forKey(coder, CGColorCreateSRGB(1, 0, 0, 1), "backgroundColor");
        encodeCGColor_forKey(coder, CGColorCreateSRGB(0, 0, 1, 0.5), "borderColor");
    });
    const StoredTop top(*data);
    const Entry first = top.entry("backgroundColor.profile");
    const Entry second = top.entry("borderColor.profile");
    ASSERT_EQ(first.kind, plist::Kind::UID);
    ASSERT_EQ(second.kind, plist::Kind::UID);
    EXPECT_EQ(first.uid, second.uid);
    EXPECT_EQ(top.dataObjectsWithBytes(bytesOf(sRGBICCProfile())), 1u);
}

// The same with spaces that share only the profile's bytes: two distinct colour-space objects made
// from two distinct data objects, and the same colour written twice.
TEST(Part3_4_CoderGeometry, AProfileWrittenTwiceIsStoredOnce) {
    const auto bytes = makeRGBProfile("Part 3.4 written twice", kP22Primaries, 2.2);
    const CGColorSpaceRef space1 = CGColorSpaceCreateWithICCData(dataOf(bytes));
    const CGColorSpaceRef space2 = CGColorSpaceCreateWithICCData(dataOf(bytes));
    ASSERT_NE(space1, nullptr);
    ASSERT_NE(space1, space2);
    const CGColorRef a = CGColorCreate(space1, {0.1, 0.2, 0.3, 1});
    const CGColorRef b = CGColorCreate(space2, {0.4, 0.5, 0.6, 1});
    const auto data = archiveTop([&](NSCoder& coder) {
        encodeCGColor_forKey(coder, a, "a");
        encodeCGColor_forKey(coder, b, "b");
        encodeCGColor_forKey(coder, a, "c");
    });
    const StoredTop top(*data);
    EXPECT_EQ(top.dataObjectsWithBytes(bytes), 1u);
    const uint64_t uid = top.entry("a.profile").uid;
    EXPECT_NE(uid, 0u);
    EXPECT_EQ(top.entry("a.profile").referencedKind, plist::Kind::Data);
    EXPECT_EQ(top.entry("b.profile").uid, uid);
    EXPECT_EQ(top.entry("c.profile").uid, uid);
}

// colorProfileCache: one entry per distinct profile, appended in order, found by bytes; the entry
// is the data object that every later write uses.
TEST(Part3_4_CoderGeometry, ColorProfileCacheHoldsEachDistinctProfileOnceInOrder) {
    const auto first = makeRGBProfile("Part 3.4 cache first", kDisplayP3Primaries, 1.8);
    const auto second = makeRGBProfile("Part 3.4 cache second", kDisplayP3Primaries, 2.0);
    const size_t before = colorProfileCacheEntries().size();

    auto write = [](const std::vector<uint8_t>& bytes) {
        archiveTop([&](NSCoder& coder) {
            encodeCGColor_forKey(
                coder,
                CGColorCreate(CGColorSpaceCreateWithICCData(dataOf(bytes)), {0.5, 0.5, 0.5, 1}),
                "c");
        });
    };
    write(first);
    write(second);
    write(first);
    write(second);

    const auto entries = colorProfileCacheEntries();
    ASSERT_EQ(entries.size(), before + 2);
    EXPECT_TRUE(std::ranges::equal(entries[before]->span(), first));
    EXPECT_TRUE(std::ranges::equal(entries[before + 1]->span(), second));
    // Earlier entries are kept as they were: the list only grows.
    const auto again = colorProfileCacheEntries();
    for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(again[i], entries[i]);
}

// Requests on several threads writing the same new profile at once still add one entry.
TEST(Part3_4_CoderGeometry, ConcurrentWritersAddAProfileOnce) {
    const auto bytes = makeRGBProfile("Part 3.4 concurrent", kSRGBPrimaries, 2.4);
    const size_t before = colorProfileCacheEntries().size();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&bytes] {
            for (int i = 0; i < 20; ++i) {
                const CGColorRef color =
                    CGColorCreate(CGColorSpaceCreateWithICCData(dataOf(bytes)), {0.1, 0.2, 0.3, 1});
                archiveTop([&](NSCoder& coder) { encodeCGColor_forKey(coder, color, "c"); });
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const auto entries = colorProfileCacheEntries();
    ASSERT_EQ(entries.size(), before + 1);
    EXPECT_TRUE(std::ranges::equal(entries.back()->span(), bytes));
}

// A space without a name whose profile is the sRGB profile is written under the name
// kCGColorSpaceSRGB, and so reads back in the identical shared sRGB space.
TEST(Part3_4_CoderGeometry, UnnamedSpaceWithTheSRGBProfileIsWrittenAsSRGB) {
    const CGColorSpaceRef unnamed = CGColorSpaceCreateWithICCData(sRGBICCProfile());
    ASSERT_NE(unnamed, nullptr);
    ASSERT_EQ(CGColorSpaceCopyName(unnamed), nullptr);
    ASSERT_NE(unnamed, sRGB());
    const CGColorRef color = CGColorCreate(unnamed, {0.2, 0.4, 0.6, 1});
    const auto data = archiveTop([&](NSCoder& coder) { encodeCGColor_forKey(coder, color, "c"); });
    const StoredTop top(*data);
    EXPECT_EQ(top.entry("c.space_name").string, "kCGColorSpaceSRGB");
    EXPECT_EQ(top.entry("c.profile").bytes, bytesOf(sRGBICCProfile()));

    auto decoder = reader(data);
    const CGColorRef read = newCGColorForKey(*decoder, "c");
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(read), sRGB());
    EXPECT_EQ(componentsOf(read), (std::vector<CGFloat>{0.2, 0.4, 0.6, 1}));
}

// A space with neither name nor the sRGB profile writes a profile and no name, and reads back
// through the profile cache.
TEST(Part3_4_CoderGeometry, UnnamedSpaceWritesNoNameAndReadsBackThroughItsProfile) {
    const auto bytes = makeRGBProfile("Part 3.4 profile only", kDisplayP3Primaries, 0);
    const CGColorSpaceRef cached = cachedColorSpaceFromICCData(dataOf(bytes));
    ASSERT_NE(cached, nullptr);
    const CGColorRef color = CGColorCreate(cached, {0.9, 0.1, 0.05, 0.75});
    std::shared_ptr<RecordingUnarchiver> decoder;
    const auto data = archiveTop([&](NSCoder& coder) { encodeCGColor_forKey(coder, color, "c"); });
    const StoredTop top(*data);
    EXPECT_EQ(top.keys(),
              (std::vector<std::string>{"c.profile", "c.count", "c.0", "c.1", "c.2", "c.3"}));
    EXPECT_EQ(top.entry("c.profile").bytes, bytes);

    const CGColorRef read = roundTripColor(color, &decoder);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(read), cached);
    EXPECT_TRUE(CGColorEqualToColor(read, color));
    EXPECT_TRUE(contains(decoder->calls, "contains color.space_name"));
    EXPECT_FALSE(contains(decoder->calls, "object color.space_name"));  // absent: not decoded
    EXPECT_TRUE(contains(decoder->calls, "object color.profile"));
}

// ---- Reading colours

// Edge case: an sRGB colour written and read back gives an equal colour in the same colour space,
// found through the name; it is the identical cached space object.
TEST(Part3_4_CoderGeometry, SRGBColourRoundTripsThroughTheNameIntoTheIdenticalCachedSpace) {
    const CGColorRef color = CGColorCreateSRGB(0.1, 0.2, 0.3, 0.4);
    std::shared_ptr<RecordingUnarchiver> decoder;
    const CGColorRef read = roundTripColor(color, &decoder);
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(CGColorEqualToColor(read, color));
    EXPECT_EQ(CGColorGetColorSpace(read), CGColorGetColorSpace(color));
    EXPECT_EQ(CGColorGetColorSpace(read), sRGB());
    EXPECT_NE(read, color);  // a new colour
    // The name decided: the profile was not even looked at.
    EXPECT_TRUE(contains(decoder->calls, "object color.space_name"));
    EXPECT_FALSE(contains(decoder->calls, "contains color.profile"));
    EXPECT_FALSE(contains(decoder->calls, "object color.profile"));
}

// Edge case: a colour whose space has a name but no profile data writes no K.profile and is still
// read back through the name (the device spaces).
TEST(Part3_4_CoderGeometry, NamedSpaceWithoutProfileWritesNoProfileAndReadsBackByName) {
    const CGColorRef rgb = CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.3, 0.6, 0.9, 1});
    const CGColorRef grey = CGColorCreate(CGColorSpaceCreateDeviceGray(), {0.25, 0.5});
    const auto data = archiveTop([&](NSCoder& coder) {
        encodeCGColor_forKey(coder, rgb, "rgb");
        encodeCGColor_forKey(coder, grey, "grey");
    });
    const StoredTop top(*data);
    EXPECT_EQ(top.keys(), (std::vector<std::string>{"rgb.space_name", "rgb.count", "rgb.0", "rgb.1",
                                                    "rgb.2", "rgb.3", "grey.space_name",
                                                    "grey.count", "grey.0", "grey.1"}));
    EXPECT_EQ(top.entry("rgb.space_name").string, "kCGColorSpaceDeviceRGB");
    EXPECT_EQ(top.entry("grey.space_name").string, "kCGColorSpaceDeviceGray");
    EXPECT_EQ(top.entry("grey.count").integer, 2);

    auto decoder = reader(data);
    const CGColorRef readRGB = newCGColorForKey(*decoder, "rgb");
    const CGColorRef readGrey = newCGColorForKey(*decoder, "grey");
    ASSERT_NE(readRGB, nullptr);
    ASSERT_NE(readGrey, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(readRGB), CGColorSpaceCreateDeviceRGB());
    EXPECT_EQ(CGColorGetColorSpace(readGrey), CGColorSpaceCreateDeviceGray());
    EXPECT_TRUE(CGColorEqualToColor(readRGB, rgb));
    EXPECT_TRUE(CGColorEqualToColor(readGrey, grey));
}

// An extended-range colour keeps its components outside 0…1: Display P3 red matched to extended
// sRGB is about (1.093, −0.227, −0.150); its group carries the sRGB profile (the extended space
// reports its non-extended counterpart's) and the extended name, which reading prefers.
TEST(Part3_4_CoderGeometry, ExtendedSRGBColourRoundTripsUnclamped) {
    const CGColorSpaceRef extended = cachedColorSpaceFromName(kCGColorSpaceExtendedSRGB);
    const CGColorRef p3Red =
        CGColorCreate(cachedColorSpaceFromName(kCGColorSpaceDisplayP3), {1, 0, 0, 1});
    const CGColorRef color = CGColorCreateCopyByMatchingToColorSpace(
        extended, kCGRenderingIntentDefault, p3Red, nullptr);
    ASSERT_NE(color, nullptr);
    const auto c = componentsOf(color);
    EXPECT_NEAR(c[0], 1.093, 1e-3);
    EXPECT_NEAR(c[1], -0.227, 1e-3);
    EXPECT_NEAR(c[2], -0.150, 1e-3);

    const auto data = archiveTop([&](NSCoder& coder) { encodeCGColor_forKey(coder, color, "c"); });
    const StoredTop top(*data);
    EXPECT_EQ(top.entry("c.space_name").string, "kCGColorSpaceExtendedSRGB");
    EXPECT_EQ(top.entry("c.profile").bytes, bytesOf(sRGBICCProfile()));
    EXPECT_EQ(top.entry("c.1").real, c[1]);

    auto decoder = reader(data);
    const CGColorRef read = newCGColorForKey(*decoder, "c");
    EXPECT_EQ(CGColorGetColorSpace(read), extended);
    EXPECT_TRUE(CGColorEqualToColor(read, color));
}

// Edge case: a group whose K.space_name is a name the platform does not know, with no K.profile, is
// read in sRGB: count 4 gives an sRGB colour, count 2 (a grey colour) gives null.
TEST(Part3_4_CoderGeometry, UnknownSpaceNameWithoutProfileReadsAsSRGB) {
    const auto data = archiveTop([](NSCoder& coder) {
        for (const char* key : {"four", "two"}) {
            const std::string k = key;
            coder.encodeObject_forKey(NSString::stringWithUTF8String("kCGColorSpaceNoSuchSpace"),
                                      k + ".space_name");
        }
        coder.encodeInt_forKey(4, "four.count");
        coder.encodeDouble_forKey(0.5, "four.0");
        coder.encodeDouble_forKey(0.25, "four.1");
        coder.encodeDouble_forKey(0.125, "four.2");
        coder.encodeDouble_forKey(1, "four.3");
        coder.encodeInt_forKey(2, "two.count");
        coder.encodeDouble_forKey(0.5, "two.0");
        coder.encodeDouble_forKey(1, "two.1");
    });
    auto decoder = reader(data);
    const CGColorRef four = newCGColorForKey(*decoder, "four");
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(four), sRGB());
    EXPECT_EQ(componentsOf(four), (std::vector<CGFloat>{0.5, 0.25, 0.125, 1}));
    EXPECT_TRUE(CGColorEqualToColor(four, CGColorCreateSRGB(0.5, 0.25, 0.125, 1)));
    EXPECT_EQ(newCGColorForKey(*decoder, "two"), nullptr);
    EXPECT_FALSE(cachedColorSpaceMapContainsName("kCGColorSpaceNoSuchSpace"));
}

// An unknown name falls through to the profile when there is one; a group with neither name nor
// profile reads in sRGB.
TEST(Part3_4_CoderGeometry, UnknownSpaceNameFallsThroughToTheProfileThenToSRGB) {
    const auto bytes = makeRGBProfile("Part 3.4 fall-through", kDisplayP3Primaries, 2.2);
    const auto data = archiveTop([&](NSCoder& coder) {
        coder.encodeObject_forKey(NSString::stringWithUTF8String("NoSuchName"), "p.space_name");
        coder.encodeObject_forKey(dataOf(bytes), "p.profile");
        coder.encodeInt_forKey(4, "p.count");
        coder.encodeInt_forKey(4, "bare.count");
        coder.encodeDouble_forKey(0.75, "bare.0");
    });
    auto decoder = reader(data);
    const CGColorRef viaProfile = newCGColorForKey(*decoder, "p");
    ASSERT_NE(viaProfile, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(viaProfile), cachedColorSpaceFromICCData(dataOf(bytes)));
    EXPECT_EQ(componentsOf(viaProfile), (std::vector<CGFloat>{0, 0, 0, 0}));

    const CGColorRef bare = newCGColorForKey(*decoder, "bare");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(bare), sRGB());
    EXPECT_EQ(componentsOf(bare), (std::vector<CGFloat>{0.75, 0, 0, 0}));
}

// Edge case: K.count equal to 0, or negative, yields null; so does an absent count.
TEST(Part3_4_CoderGeometry, ZeroNegativeOrAbsentCountYieldsNull) {
    const auto data = archiveTop([](NSCoder& coder) {
        for (const std::string key : {"zero", "negative", "absent"}) {
            coder.encodeObject_forKey(NSString::stringWithUTF8String(kCGColorSpaceSRGB),
                                      key + ".space_name");
            for (int i = 0; i < 4; ++i) coder.encodeDouble_forKey(1, key + "." + std::to_string(i));
        }
        coder.encodeInt_forKey(0, "zero.count");
        coder.encodeInt_forKey(-4, "negative.count");
    });
    auto decoder = reader(data);
    EXPECT_EQ(newCGColorForKey(*decoder, "zero"), nullptr);
    EXPECT_EQ(newCGColorForKey(*decoder, "negative"), nullptr);
    EXPECT_EQ(newCGColorForKey(*decoder, "absent"), nullptr);
    EXPECT_EQ(newCGColorForKey(*decoder, "nothing"), nullptr);
    // No component was read for any of them.
    for (const auto& call : decoder->calls) EXPECT_NE(call.rfind("double ", 0), 0u) << call;
}

// A count that differs from the chosen space's components + 1 gives null without reading any
// component (a component of the wrong kind would raise if it were read).
TEST(Part3_4_CoderGeometry, CountMismatchYieldsNullWithoutReadingComponents) {
    const auto data = archiveTop([](NSCoder& coder) {
        coder.encodeObject_forKey(NSString::stringWithUTF8String(kCGColorSpaceSRGB),
                                  "c.space_name");
        coder.encodeInt_forKey(3, "c.count");
        coder.encodeObject_forKey(NSString::stringWithUTF8String("not a number"), "c.0");
    });
    auto decoder = reader(data);
    EXPECT_EQ(test::failureOf([&] { EXPECT_EQ(newCGColorForKey(*decoder, "c"), nullptr); }),
              test::kNoFailure);
    for (const auto& call : decoder->calls) EXPECT_NE(call.rfind("double ", 0), 0u) << call;
}

// Edge case: a colour group missing some of its K.i entries is still made, with 0.0 for each
// missing component.
TEST(Part3_4_CoderGeometry, MissingComponentsReadAsZero) {
    const auto data = archiveTop([](NSCoder& coder) {
        coder.encodeObject_forKey(NSString::stringWithUTF8String(kCGColorSpaceSRGB),
                                  "c.space_name");
        coder.encodeInt_forKey(4, "c.count");
        coder.encodeDouble_forKey(0.5, "c.0");
        coder.encodeDouble_forKey(0.75, "c.3");
    });
    auto decoder = reader(data);
    const CGColorRef color = newCGColorForKey(*decoder, "c");
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(color), sRGB());
    EXPECT_EQ(componentsOf(color), (std::vector<CGFloat>{0.5, 0, 0, 0.75}));
}

// Components are made with CGColorCreate, which holds them to the space's range.
TEST(Part3_4_CoderGeometry, ReadComponentsAreClampedToTheSpace) {
    const auto data = archiveTop([](NSCoder& coder) {
        coder.encodeObject_forKey(NSString::stringWithUTF8String(kCGColorSpaceSRGB),
                                  "c.space_name");
        coder.encodeInt_forKey(4, "c.count");
        coder.encodeDouble_forKey(1.5, "c.0");
        coder.encodeDouble_forKey(-0.5, "c.1");
        coder.encodeDouble_forKey(0.5, "c.2");
        coder.encodeDouble_forKey(2, "c.3");
    });
    auto decoder = reader(data);
    EXPECT_EQ(componentsOf(newCGColorForKey(*decoder, "c")), (std::vector<CGFloat>{1, 0, 0.5, 1}));
}

// The keyed coder raises on a value of the wrong kind, and reading a colour lets it through: a
// K.space_name that is not a string is malformed data, as Part 2.1 treats it.
TEST(Part3_4_CoderGeometry, SpaceNameOfTheWrongKindRaises) {
    const auto data = archiveTop([](NSCoder& coder) {
        coder.encodeObject_forKey(dataOf({1, 2, 3}), "c.space_name");
        coder.encodeInt_forKey(4, "c.count");
    });
    auto decoder = reader(data);
    EXPECT_EQ(test::failureOf([&] { newCGColorForKey(*decoder, "c"); }).name,
              "NSInvalidUnarchiveOperationException");
}
