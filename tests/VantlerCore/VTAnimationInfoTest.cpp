#include <gtest/gtest.h>

#include <cmath>

#include "ArchiveShapes.h"
#include "NSString.h"
#include "TestSupport.h"
#include "VTAnimationInfo.h"

using namespace archive_shapes;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::shared_ptr<VTAnimationInfo> info(int64_t curveType, double delay, double duration) {
    return VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(curveType),
                                                         delay, duration);
}

std::shared_ptr<VTAnimationInfo> decodeInfo(std::function<void(NSCoder&)> encode) {
    return decodeShaped<VTAnimationInfo>("VTAnimationInfo", std::move(encode));
}

}  // namespace

// round(t × 100) / 100, halves away from zero, never below +0; "No Animation" and no curve show
// no duration.
TEST(VTAnimationInfo, TimesKeepWholeHundredths) {
    const std::pair<double, double> cases[] = {
        {0.125, 0.13}, {1.005, 1.0}, {-1, 0}, {kInf, kInf}, {std::nan(""), 0}, {-0.004, 0},
    };
    for (const auto& [given, kept] : cases) {
        const auto a = VTAnimationInfo::init();
        a->setDuration(given);
        a->setDelay(given);
        EXPECT_EQ(a->duration(), kept) << given;
        EXPECT_EQ(a->delay(), kept) << given;
        EXPECT_FALSE(std::signbit(a->duration())) << given;
    }
    EXPECT_EQ(info(7, 0.125, 0.304)->description(), "0.130000s, 0.300000s, Default");
    const auto a = info(0, 0.5, 2);
    EXPECT_EQ(a->estimatedEndTime(), 0.5);
    a->setCurve(VTAnimationCurve::curveWithType(12));
    EXPECT_EQ(a->estimatedEndTime(), 2.5);
    a->setCurve(nullptr);
    EXPECT_EQ(a->visibleDuration(), 0.0);
    EXPECT_EQ(a->description(), "0.500000s, 2.000000s, (null)");
}

// Times equal within 0.0001 and equal curves; spring values take no part.
TEST(VTAnimationInfo, EqualityHashAndCopy) {
    const auto a = info(4, 0.1, 0.3);
    const auto b = info(5, 0.10005, 0.3);  // a "Spring" curve has the "Linear" points
    b->setSpringConstant(1);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(*info(4, 0.11, 0.3)));
    EXPECT_FALSE(a->isEqual(*info(4, 0.1, 0.31)));
    EXPECT_FALSE(a->isEqual(*info(1, 0.1, 0.3)));
    EXPECT_FALSE(a->isEqual(*VTAnimationCurve::curveWithType(4)));
    const auto bare = VTAnimationInfo::init();
    EXPECT_TRUE(bare->isEqual(*VTAnimationInfo::init()));
    EXPECT_FALSE(info(0, 0, 0)->isEqual(*bare));
    // The curve's hash ^ the duration and delay in hundredths, truncated (saturating).
    EXPECT_EQ(info(3, 0.25, 0.5)->hash(), VTAnimationCurve::curveWithType(3)->hash() ^ 50 ^ 25);
    bare->setDelay(0.25);
    bare->setDuration(kInf);
    EXPECT_EQ(bare->hash(), static_cast<size_t>(INT64_MAX) ^ 25);
    b->setSpringFriction(7.5);
    const auto copy = b->copy();
    EXPECT_NE(copy->curve(), b->curve());
    EXPECT_TRUE(copy->isEqual(*b));
    EXPECT_EQ(copy->springFriction(), 7.5);
    EXPECT_EQ(VTAnimationInfo::init()->copy()->curve(), nullptr);
}

TEST(VTAnimationInfo, ArchiveWritesEveryKeyAsADoubleAndRoundTrips) {
    const auto original = VTAnimationInfo::initWithCurve_delay_duration(
        VTAnimationCurve::initWithControlPoints(0.3f, -0.5f, 0.7f, 1.5f), 1.25, 0.35);
    original->setSpringConstant(123.456789);
    original->setSpringFriction(-0.1);
    const auto data = archive(original);
    const StoredArchive stored(*data);
    EXPECT_EQ(stored.keys(stored.root()),
              (std::vector<std::string>{"customCurve", "duration", "delay", "springConstant",
                                        "springFriction"}));
    for (const char* key : {"duration", "delay", "springConstant", "springFriction"})
        EXPECT_FALSE(stored.list().realValue(*stored.value(stored.root(), key)).isFloat32) << key;
    const auto decoded = unarchive<VTAnimationInfo>(data);
    EXPECT_TRUE(decoded->isEqual(*original));
    EXPECT_EQ(decoded->springConstant(), 123.456789);
    EXPECT_EQ(decoded->springFriction(), -0.1);
    // Times go through the setters; spring values are kept as stored.
    const auto raw = decodeInfo([](NSCoder& c) {
        c.encodeDouble_forKey(0.304, "duration");
        c.encodeDouble_forKey(-1, "delay");
        c.encodeDouble_forKey(-5, "springConstant");
    });
    EXPECT_EQ(raw->duration(), 0.3);
    EXPECT_EQ(raw->delay(), 0.0);
    EXPECT_EQ(raw->springConstant(), -5.0);
    EXPECT_EQ(raw->springFriction(), 20.165325);
    EXPECT_NE(test::failureOf([] {
                  decodeInfo([](NSCoder& c) {
                      c.encodeObject_forKey(NSString::stringWithUTF8String("x"), "customCurve");
                  });
              }),
              test::kNoFailure);
}

// "customCurve" wins whenever present (even as none); else the legacy "curve" type goes through
// setType:; with neither the curve is "Ease Both".
TEST(VTAnimationInfo, DecodingChoosesTheCurve) {
    const auto custom = VTAnimationCurve::curveWithType(4);
    const struct {
        std::function<void(NSCoder&)> encode;
        int64_t type;
    } cases[] = {
        // clang-format off
        {[](NSCoder& c) { c.encodeInt64_forKey(12, "curve"); }, 8},
        {[&](NSCoder& c) { c.encodeObject_forKey(custom, "customCurve"); c.encodeInt64_forKey(5, "curve"); }, 4},
        {[](NSCoder& c) { c.encodeObject_forKey(nullptr, "customCurve"); c.encodeInt64_forKey(5, "curve"); }, 3},
        {[](NSCoder&) {}, 3},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const auto curve = decodeInfo(c.encode)->curve();
        EXPECT_TRUE(curve->isEqual(*VTAnimationCurve::curveWithType(c.type)));
        EXPECT_EQ(curve->type(), c.type);
    }
    EXPECT_EQ(decodeInfo(cases[3].encode)->springConstant(), 381.46844315);  // absent: the default
}
