// Part 2.10: animation infos — defaults, the hundredths rounding, visible duration, equality, hash,
// description, copying and the archive form with its legacy "curve" key.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "ArchiveShapes.h"
#include "NSArray.h"
#include "NSException.h"
#include "NSString.h"
#include "VTAnimationInfo.h"

namespace {

using namespace archive_shapes;

constexpr uint32_t kBits042 = 0x3ED70A3D;  // 0.42f
constexpr uint32_t kBits058 = 0x3F147AE1;  // 0.58f

uint32_t bits(float value) { return std::bit_cast<uint32_t>(value); }
std::vector<uint32_t> pointBits(const VTAnimationCurve& c) {
    return {bits(c.c1x()), bits(c.c1y()), bits(c.c2x()), bits(c.c2y())};
}
const std::vector<uint32_t> kEaseBothPoints = {kBits042, bits(0.0f), kBits058, bits(1.0f)};
const std::vector<uint32_t> kZeroOneOne = {bits(0.0f), bits(0.0f), bits(1.0f), bits(1.0f)};

double storedDuration(double value) {
    auto info = VTAnimationInfo::init();
    info->setDuration(value);
    return info->duration();
}
double storedDelay(double value) {
    auto info = VTAnimationInfo::init();
    info->setDelay(value);
    return info->delay();
}

TEST(Part2_10_AnimationInfo, InitHasTheDefaults) {
    auto info = VTAnimationInfo::init();
    EXPECT_EQ(info->curve(), nullptr);
    EXPECT_EQ(info->duration(), 0.0);
    EXPECT_EQ(info->delay(), 0.0);
    EXPECT_EQ(info->springConstant(), 381.46844315);
    EXPECT_EQ(info->springFriction(), 20.165325);
    EXPECT_EQ(info->className(), "VTAnimationInfo");
}

TEST(Part2_10_AnimationInfo, InitWithCurveDelayDurationRoundsAndKeepsTheCurve) {
    auto curve = VTAnimationCurve::curveWithType(7);
    auto info = VTAnimationInfo::initWithCurve_delay_duration(curve, 0.125, 0.304);
    EXPECT_EQ(info->curve(), curve);  // stored, not copied
    EXPECT_EQ(info->delay(), 0.13);
    EXPECT_EQ(info->duration(), 0.3);
    EXPECT_EQ(info->springConstant(), VTAnimationInfo::kDefaultSpringConstant);
    EXPECT_EQ(info->springFriction(), VTAnimationInfo::kDefaultSpringFriction);
}

// Edge case: 0.304 stores 0.3; 0.125 stores 0.13; 1.005 stores 1.0; −1 stores 0.
TEST(Part2_10_AnimationInfo, SetDurationKeepsWholeHundredths) {
    EXPECT_EQ(storedDuration(0.304), 0.3);
    EXPECT_EQ(storedDuration(0.125), 0.13);  // 12.5 rounds away from zero
    EXPECT_EQ(1.005 * 100, std::nextafter(100.5, 0.0));  // the product is just below 100.5 ...
    EXPECT_EQ(storedDuration(1.005), 1.0);               // ... so it rounds down
    EXPECT_EQ(storedDuration(-1), 0.0);
    EXPECT_EQ(storedDuration(0.3), 0.3);
    EXPECT_EQ(storedDuration(2), 2.0);
}

TEST(Part2_10_AnimationInfo, SetDelayKeepsWholeHundredths) {
    EXPECT_EQ(storedDelay(0.304), 0.3);
    EXPECT_EQ(storedDelay(0.125), 0.13);
    EXPECT_EQ(storedDelay(1.005), 1.0);
    EXPECT_EQ(storedDelay(-1), 0.0);
}

TEST(Part2_10_AnimationInfo, RoundingNeverGivesNegativeZeroOrNaN) {
    // round(−0.4) is −0; the result is never negative, so it is +0. NaN stores 0; +infinity stays.
    EXPECT_FALSE(std::signbit(storedDuration(-0.004)));
    EXPECT_FALSE(std::signbit(storedDelay(-0.0)));
    EXPECT_EQ(bits(static_cast<float>(storedDuration(std::nan("")))), bits(0.0f));
    EXPECT_EQ(storedDelay(std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
    EXPECT_EQ(storedDelay(-std::numeric_limits<double>::infinity()), 0.0);
}

TEST(Part2_10_AnimationInfo, SpringValuesAndCurveAreStoredUnchanged) {
    auto info = VTAnimationInfo::init();
    info->setSpringConstant(-12.3456789);
    info->setSpringFriction(0.001234);
    EXPECT_EQ(info->springConstant(), -12.3456789);
    EXPECT_EQ(info->springFriction(), 0.001234);
    auto curve = VTAnimationCurve::curveWithType(12);
    info->setCurve(curve);
    EXPECT_EQ(info->curve(), curve);
    info->setCurve(nullptr);
    EXPECT_EQ(info->curve(), nullptr);
}

// Edge case: curve type 0 and duration 2 give visibleDuration 0 and estimatedEndTime = delay.
TEST(Part2_10_AnimationInfo, NoAnimationHasNoVisibleDuration) {
    auto info = VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(0), 0.5, 2);
    EXPECT_EQ(info->visibleDuration(), 0.0);
    EXPECT_EQ(info->estimatedEndTime(), 0.5);
    EXPECT_EQ(info->estimatedEndTime(), info->delay());
}

TEST(Part2_10_AnimationInfo, VisibleDurationOfOtherCurves) {
    auto info = VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(3), 0.25, 2);
    EXPECT_EQ(info->visibleDuration(), 2.0);
    EXPECT_EQ(info->estimatedEndTime(), 2.25);
    // Type 8 (from setType: 12) is not 0.
    info->setCurve(VTAnimationCurve::curveWithType(12));
    EXPECT_EQ(info->visibleDuration(), 2.0);
    // −3 is stored as 0.
    info->setCurve(VTAnimationCurve::curveWithType(-3));
    EXPECT_EQ(info->visibleDuration(), 0.0);
    // No curve: 0.
    info->setCurve(nullptr);
    EXPECT_EQ(info->visibleDuration(), 0.0);
    EXPECT_EQ(info->estimatedEndTime(), 0.25);
}

// Edge case: delays 0.00005 apart with equal curves are equal even with different spring values.
TEST(Part2_10_AnimationInfo, NearlyEqualDelaysWithEqualCurvesAreEqual) {
    auto a = VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(4), 0.1, 0.3);
    auto b = VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(5), 0.10005, 0.3);
    b->setSpringConstant(1);
    b->setSpringFriction(2);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_TRUE(b->isEqual(*a));
    EXPECT_EQ(a->hash(), b->hash());
}

TEST(Part2_10_AnimationInfo, DifferentTimingOrCurveIsNotEqual) {
    auto a = VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(3), 0.1, 0.3);
    EXPECT_FALSE(a->isEqual(*VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(3), 0.11, 0.3)));
    EXPECT_FALSE(a->isEqual(*VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(3), 0.1, 0.31)));
    EXPECT_FALSE(a->isEqual(*VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(1), 0.1, 0.3)));
    EXPECT_TRUE(a->isEqual(*a));
}

// Edge case: comparing with a string or with no object gives false.
TEST(Part2_10_AnimationInfo, ComparingWithAStringOrNoObjectIsFalse) {
    auto info = VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(7), 0, 0.3);
    EXPECT_FALSE(info->isEqual(*NSString::stringWithUTF8String("0.000000s, 0.300000s, Default")));
    EXPECT_FALSE(info->isEqual(nullptr));
    EXPECT_FALSE(info->isEqual(*VTAnimationCurve::curveWithType(7)));
}

TEST(Part2_10_AnimationInfo, InfosWithoutCurves) {
    // Not fixed by the Part: two infos without a curve are equal (equality stays reflexive and agrees
    // with the hash); an info without a curve is not equal to one with a curve.
    auto a = VTAnimationInfo::init();
    auto b = VTAnimationInfo::init();
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    b->setCurve(VTAnimationCurve::curveWithType(0));
    EXPECT_FALSE(a->isEqual(*b));
    EXPECT_FALSE(b->isEqual(*a));
}

TEST(Part2_10_AnimationInfo, HashIsCurveHashXorHundredths) {
    auto curve = VTAnimationCurve::curveWithType(3);
    auto info = VTAnimationInfo::initWithCurve_delay_duration(curve, 0.25, 0.5);
    EXPECT_EQ(info->hash(), curve->hash() ^ size_t{50} ^ size_t{25});
    auto bare = VTAnimationInfo::init();
    bare->setDuration(0.5);
    bare->setDelay(0.25);
    EXPECT_EQ(bare->hash(), size_t{50} ^ size_t{25});
    // Infinite duration: the truncation saturates instead of being undefined.
    bare->setDuration(std::numeric_limits<double>::infinity());
    EXPECT_EQ(bare->hash(), static_cast<size_t>(INT64_MAX) ^ size_t{25});
    // Spring values take no part.
    auto sprung = info->copy();
    sprung->setSpringConstant(1);
    EXPECT_EQ(sprung->hash(), info->hash());
}

TEST(Part2_10_AnimationInfo, Description) {
    auto info = VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(7), 0, 0.3);
    EXPECT_EQ(info->description(), "0.000000s, 0.300000s, Default");
    auto other = VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(-4), 1.5, 12.345);
    EXPECT_EQ(other->description(), "1.500000s, 12.350000s, No Animation");
    EXPECT_EQ(VTAnimationInfo::init()->description(), "0.000000s, 0.000000s, (null)");
}

TEST(Part2_10_AnimationInfo, CopyHasItsOwnCurve) {
    auto curve = VTAnimationCurve::initWithControlPoints(0.1f, 0.2f, 0.3f, 0.4f);
    auto info = VTAnimationInfo::initWithCurve_delay_duration(curve, 0.2, 0.7);
    info->setSpringConstant(100);
    info->setSpringFriction(7.5);
    auto copy = info->copy();
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), info.get());
    ASSERT_TRUE(copy->curve());
    EXPECT_NE(copy->curve(), curve);
    EXPECT_EQ(copy->curve()->type(), 6);
    EXPECT_EQ(pointBits(*copy->curve()), pointBits(*curve));
    EXPECT_EQ(copy->delay(), 0.2);
    EXPECT_EQ(copy->duration(), 0.7);
    EXPECT_EQ(copy->springConstant(), 100.0);
    EXPECT_EQ(copy->springFriction(), 7.5);
    EXPECT_TRUE(copy->isEqual(*info));
    copy->curve()->setType(1);
    EXPECT_EQ(curve->type(), 6);
    EXPECT_EQ(VTAnimationInfo::init()->copy()->curve(), nullptr);
}

TEST(Part2_10_AnimationInfo, ArchiveWritesTheKeysInOrderAsDoubles) {
    auto info = VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(2), 0.25, 0.5);
    auto data = archive(info);
    StoredArchive stored(*data);
    auto root = stored.root();
    EXPECT_EQ(stored.className(root), "VTAnimationInfo");
    EXPECT_EQ(stored.keys(root),
              (std::vector<std::string>{"customCurve", "duration", "delay", "springConstant", "springFriction"}));
    EXPECT_FALSE(stored.value(root, "curve"));
    const std::vector<std::pair<const char*, double>> expected = {
        {"duration", 0.5}, {"delay", 0.25}, {"springConstant", 381.46844315}, {"springFriction", 20.165325}};
    for (const auto& [key, number] : expected) {
        auto value = stored.value(root, key);
        ASSERT_TRUE(value) << key;
        ASSERT_EQ(value->kind, plist::Kind::Real) << key;
        EXPECT_EQ(value->count, 8u) << key;
        const auto real = stored.list().realValue(*value);
        EXPECT_FALSE(real.isFloat32) << key;
        EXPECT_EQ(real.value, number) << key;
    }
    auto curve = stored.referencedEntry(root, "customCurve");
    ASSERT_TRUE(curve);
    EXPECT_EQ(stored.className(*curve), "VTAnimationCurve");
    auto c2x = stored.value(*curve, "c2x");
    ASSERT_TRUE(c2x);
    EXPECT_EQ(c2x->count, 4u);
    EXPECT_EQ(bits(static_cast<float>(stored.list().realValue(*c2x).value)), kBits058);
}

TEST(Part2_10_AnimationInfo, DefaultValuesAreWrittenToo) {
    // Encoding writes every key always, defaults included, and a none curve as a reference to $null.
    auto data = archive(VTAnimationInfo::init());
    StoredArchive stored(*data);
    auto root = stored.root();
    EXPECT_EQ(stored.keys(root),
              (std::vector<std::string>{"customCurve", "duration", "delay", "springConstant", "springFriction"}));
    auto curve = stored.referencedEntry(root, "customCurve");
    ASSERT_TRUE(curve);
    EXPECT_TRUE(stored.isNull(*curve));
}

TEST(Part2_10_AnimationInfo, RoundTrip) {
    auto curve = VTAnimationCurve::initWithControlPoints(0.3f, -0.5f, 0.7f, 1.5f);
    auto info = VTAnimationInfo::initWithCurve_delay_duration(curve, 1.25, 0.35);
    info->setSpringConstant(123.456789);
    info->setSpringFriction(-0.1);
    auto decoded = roundTrip<VTAnimationInfo>(info);
    ASSERT_TRUE(decoded);
    ASSERT_TRUE(decoded->curve());
    EXPECT_EQ(decoded->curve()->type(), 6);
    EXPECT_EQ(pointBits(*decoded->curve()), pointBits(*curve));
    EXPECT_EQ(decoded->delay(), 1.25);
    EXPECT_EQ(decoded->duration(), 0.35);
    EXPECT_EQ(decoded->springConstant(), 123.456789);
    EXPECT_EQ(decoded->springFriction(), -0.1);
    EXPECT_TRUE(decoded->isEqual(*info));
    EXPECT_EQ(decoded->hash(), info->hash());
}

TEST(Part2_10_AnimationInfo, SharedCurveDecodesToOneInstance) {
    // Keyed-archive identity (Part 2.1): one curve stored by two infos is one curve after decoding.
    auto curve = VTAnimationCurve::curveWithType(1);
    auto a = VTAnimationInfo::initWithCurve_delay_duration(curve, 0, 0.3);
    auto b = VTAnimationInfo::initWithCurve_delay_duration(curve, 0.1, 0.4);
    auto decoded = roundTrip<NSArray>(NSArray::arrayWithObjects({a, b}));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->objects().size(), 2u);
    auto decodedA = std::dynamic_pointer_cast<VTAnimationInfo>(decoded->objects()[0]);
    auto decodedB = std::dynamic_pointer_cast<VTAnimationInfo>(decoded->objects()[1]);
    ASSERT_TRUE(decodedA && decodedB);
    ASSERT_TRUE(decodedA->curve());
    EXPECT_EQ(decodedA->curve(), decodedB->curve());
    EXPECT_EQ(decodedA->curve()->type(), 1);
}

// Edge case: an archive holding only "curve" = 5 gives a "Spring" curve with (0, 0), (1, 1); the
// absent spring keys keep their defaults and the absent times read as 0.
TEST(Part2_10_AnimationInfo, LegacyCurveKeyOnly) {
    auto info = unarchive<VTAnimationInfo>(archive(shaped(infoShape(), [](NSCoder& c) {
        c.encodeInt64_forKey(5, "curve");
    })));
    ASSERT_TRUE(info);
    ASSERT_TRUE(info->curve());
    EXPECT_EQ(info->curve()->type(), 5);
    EXPECT_EQ(info->curve()->description(), "Spring");
    EXPECT_EQ(pointBits(*info->curve()), kZeroOneOne);
    EXPECT_EQ(info->duration(), 0.0);
    EXPECT_EQ(info->delay(), 0.0);
    EXPECT_EQ(info->springConstant(), 381.46844315);
    EXPECT_EQ(info->springFriction(), 20.165325);
}

TEST(Part2_10_AnimationInfo, LegacyCurveKeyGoesThroughSetType) {
    auto info = unarchive<VTAnimationInfo>(archive(shaped(infoShape(), [](NSCoder& c) {
        c.encodeInt64_forKey(12, "curve");
        c.encodeDouble_forKey(0.5, "duration");
    })));
    ASSERT_TRUE(info && info->curve());
    EXPECT_EQ(info->curve()->type(), 8);
    EXPECT_EQ(pointBits(*info->curve()), (std::vector<uint32_t>{kBits042, 0, bits(1.0f), bits(1.0f)}));
    EXPECT_EQ(info->duration(), 0.5);
}

TEST(Part2_10_AnimationInfo, CustomCurveWinsOverLegacyCurve) {
    auto info = unarchive<VTAnimationInfo>(archive(shaped(infoShape(), [](NSCoder& c) {
        c.encodeObject_forKey(VTAnimationCurve::curveWithType(4), "customCurve");
        c.encodeInt64_forKey(5, "curve");
    })));
    ASSERT_TRUE(info && info->curve());
    EXPECT_EQ(info->curve()->type(), 4);
}

// Failure handling: a document without any curve key yields "Ease Both".
TEST(Part2_10_AnimationInfo, AbsentCurveKeysGiveEaseBoth) {
    auto info = unarchive<VTAnimationInfo>(archive(shaped(infoShape(), [](NSCoder& c) {
        c.encodeDouble_forKey(0.5, "duration");
        c.encodeDouble_forKey(0.25, "delay");
        c.encodeDouble_forKey(10, "springConstant");
    })));
    ASSERT_TRUE(info && info->curve());
    EXPECT_EQ(info->curve()->type(), 3);
    EXPECT_EQ(info->curve()->description(), "Ease Both");
    EXPECT_EQ(pointBits(*info->curve()), kEaseBothPoints);
    EXPECT_EQ(info->duration(), 0.5);
    EXPECT_EQ(info->delay(), 0.25);
    EXPECT_EQ(info->springConstant(), 10.0);
    EXPECT_EQ(info->springFriction(), 20.165325);  // absent: the default
}

TEST(Part2_10_AnimationInfo, DecodedNoneCustomCurveGivesEaseBoth) {
    auto decoded = roundTrip<VTAnimationInfo>(VTAnimationInfo::init());
    ASSERT_TRUE(decoded && decoded->curve());
    EXPECT_EQ(decoded->curve()->type(), 3);
    EXPECT_EQ(pointBits(*decoded->curve()), kEaseBothPoints);
    // "customCurve" is present (as none), so the legacy "curve" key is not consulted.
    auto withLegacy = unarchive<VTAnimationInfo>(archive(shaped(infoShape(), [](NSCoder& c) {
        c.encodeObject_forKey(nullptr, "customCurve");
        c.encodeInt64_forKey(5, "curve");
    })));
    ASSERT_TRUE(withLegacy && withLegacy->curve());
    EXPECT_EQ(withLegacy->curve()->type(), 3);
}

TEST(Part2_10_AnimationInfo, DecodedTimesGoThroughTheSetters) {
    auto info = unarchive<VTAnimationInfo>(archive(shaped(infoShape(), [](NSCoder& c) {
        c.encodeObject_forKey(VTAnimationCurve::curveWithType(7), "customCurve");
        c.encodeDouble_forKey(0.304, "duration");
        c.encodeDouble_forKey(-1, "delay");
        c.encodeDouble_forKey(-5, "springConstant");
        c.encodeDouble_forKey(1e300, "springFriction");
    })));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->duration(), 0.3);
    EXPECT_EQ(info->delay(), 0.0);
    EXPECT_EQ(info->springConstant(), -5.0);  // stored unchanged
    EXPECT_EQ(info->springFriction(), 1e300);
}

TEST(Part2_10_AnimationInfo, DecodedCurveValuesAreNotClamped) {
    auto info = unarchive<VTAnimationInfo>(archive(shaped(infoShape(), [](NSCoder& c) {
        c.encodeObject_forKey(shaped(curveShape(), [](NSCoder& cc) {
                                  cc.encodeFloat_forKey(-0.5f, "c1x");
                                  cc.encodeFloat_forKey(2.0f, "c2x");
                                  cc.encodeInt64_forKey(-7, "type");
                              }),
                              "customCurve");
    })));
    ASSERT_TRUE(info && info->curve());
    EXPECT_EQ(info->curve()->type(), -7);
    EXPECT_EQ(info->curve()->c1x(), -0.5f);
    EXPECT_EQ(info->curve()->c2x(), 2.0f);
    EXPECT_EQ(info->visibleDuration(), 0.0);  // type −7 is not 0, but the duration is absent
}

TEST(Part2_10_AnimationInfo, CustomCurveOfAnotherClassRaises) {
    auto data = archive(shaped(infoShape(), [](NSCoder& c) {
        c.encodeObject_forKey(NSString::stringWithUTF8String("Ease In"), "customCurve");
    }));
    VTRegisterArchivableClasses();
    EXPECT_THROW(NSKeyedUnarchiver::unarchiveObjectWithData(data), NSException);
}

TEST(Part2_10_AnimationInfo, RegistrationIsIdempotentAndThreadSafe) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([] { VTRegisterArchivableClasses(); });
    for (auto& thread : threads) thread.join();
    VTRegisterArchivableClasses();
    auto decoded = roundTrip<VTAnimationInfo>(
        VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(7), 0, 0.3));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->description(), "0.000000s, 0.300000s, Default");
}

}  // namespace
