// Animation infos: times kept in whole hundredths, visible duration, equality within a tolerance,
// hash, description, copying and the archive form with its legacy "curve" key.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

#include "ArchiveShapes.h"
#include "NSArray.h"
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

// round(t × 100) / 100, halves away from zero, never below +0; both times and both setters.
TEST(VTAnimationInfo, TimesKeepWholeHundredths) {
    const std::pair<double, double> cases[] = {
        {0.304, 0.3}, {0.125, 0.13},  // 12.5 rounds away from zero
        {1.005, 1.0},                 // 1.005 × 100 is just below 100.5
        {-1, 0},      {0.3, 0.3},        {2, 2},      {kInf, kInf},
        {-kInf, 0},   {std::nan(""), 0}, {-0.004, 0}, {-0.0, 0},
    };
    for (const auto& [given, kept] : cases) {
        const auto a = VTAnimationInfo::init();
        a->setDuration(given);
        a->setDelay(given);
        EXPECT_EQ(a->duration(), kept) << given;
        EXPECT_EQ(a->delay(), kept) << given;
        EXPECT_FALSE(std::signbit(a->duration())) << given;
    }
    const auto curve = VTAnimationCurve::curveWithType(7);
    const auto made = VTAnimationInfo::initWithCurve_delay_duration(curve, 0.125, 0.304);
    EXPECT_EQ(made->curve(), curve);  // kept, not copied
    EXPECT_EQ(made->delay(), 0.13);
    EXPECT_EQ(made->duration(), 0.3);
    EXPECT_EQ(made->springConstant(), 381.46844315);
    EXPECT_EQ(made->springFriction(), 20.165325);
}

// "No Animation" and no curve show nothing; every other stored type shows the duration.
TEST(VTAnimationInfo, VisibleDurationAndEndTime) {
    const auto a = info(0, 0.5, 2);
    EXPECT_EQ(a->visibleDuration(), 0.0);
    EXPECT_EQ(a->estimatedEndTime(), 0.5);
    for (const int64_t type : {3, 12}) {
        a->setCurve(VTAnimationCurve::curveWithType(type));
        EXPECT_EQ(a->visibleDuration(), 2.0) << type;
        EXPECT_EQ(a->estimatedEndTime(), 2.5) << type;
    }
    a->setCurve(VTAnimationCurve::curveWithType(-3));  // stored as 0
    EXPECT_EQ(a->visibleDuration(), 0.0);
    a->setCurve(nullptr);
    EXPECT_EQ(a->visibleDuration(), 0.0);
}

// Times equal within 0.0001 and equal curves; spring values take no part.
TEST(VTAnimationInfo, EqualityAndHash) {
    const auto a = info(4, 0.1, 0.3);
    const auto b = info(5, 0.10005, 0.3);  // a "Spring" curve has the "Linear" points
    b->setSpringConstant(1);
    b->setSpringFriction(2);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_TRUE(b->isEqual(*a));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(*info(4, 0.11, 0.3)));
    EXPECT_FALSE(a->isEqual(*info(4, 0.1, 0.31)));
    EXPECT_FALSE(a->isEqual(*info(1, 0.1, 0.3)));
    EXPECT_FALSE(a->isEqual(*NSString::stringWithUTF8String("0.100000s, 0.300000s, Linear")));
    EXPECT_FALSE(a->isEqual(*VTAnimationCurve::curveWithType(4)));
    EXPECT_FALSE(a->isEqual(nullptr));
    // Without curves: equal to each other, not to one with a curve.
    const auto bare = VTAnimationInfo::init(), other = VTAnimationInfo::init();
    EXPECT_TRUE(bare->isEqual(*other));
    other->setCurve(VTAnimationCurve::curveWithType(0));
    EXPECT_FALSE(bare->isEqual(*other));
    EXPECT_FALSE(other->isEqual(*bare));

    // The curve's hash ^ the duration and delay in hundredths, truncated (saturating).
    const auto curve = VTAnimationCurve::curveWithType(3);
    EXPECT_EQ(VTAnimationInfo::initWithCurve_delay_duration(curve, 0.25, 0.5)->hash(),
              curve->hash() ^ 50 ^ 25);
    bare->setDelay(0.25);
    bare->setDuration(kInf);
    EXPECT_EQ(bare->hash(), static_cast<size_t>(INT64_MAX) ^ 25);
}

TEST(VTAnimationInfo, Description) {
    EXPECT_EQ(info(7, 0, 0.3)->description(), "0.000000s, 0.300000s, Default");
    EXPECT_EQ(info(-4, 1.5, 12.345)->description(), "1.500000s, 12.350000s, No Animation");
    EXPECT_EQ(VTAnimationInfo::init()->description(), "0.000000s, 0.000000s, (null)");
}

TEST(VTAnimationInfo, CopyHasItsOwnCurve) {
    const auto original = info(7, 0.2, 0.7);
    original->setSpringConstant(100);
    original->setSpringFriction(7.5);
    const auto copy = original->copy();
    ASSERT_NE(copy->curve(), nullptr);
    EXPECT_NE(copy->curve(), original->curve());
    EXPECT_TRUE(copy->isEqual(*original));
    EXPECT_EQ(copy->springConstant(), 100.0);
    EXPECT_EQ(copy->springFriction(), 7.5);
    copy->curve()->setType(1);
    EXPECT_EQ(original->curve()->type(), 7);
    EXPECT_EQ(VTAnimationInfo::init()->copy()->curve(), nullptr);
}

TEST(VTAnimationInfo, ArchiveWritesEveryKeyInOrderAndRoundTrips) {
    for (const auto& written : {info(2, 0.25, 0.5), VTAnimationInfo::init()}) {
        const StoredArchive stored(*archive(written));
        const auto root = stored.root();
        EXPECT_EQ(stored.keys(root),
                  (std::vector<std::string>{"customCurve", "duration", "delay", "springConstant",
                                            "springFriction"}));
        for (const char* key : {"duration", "delay", "springConstant", "springFriction"}) {
            const auto real = stored.list().realValue(*stored.value(root, key));
            EXPECT_FALSE(real.isFloat32) << key;
        }
        const auto curve = stored.referencedEntry(root, "customCurve");
        EXPECT_EQ(stored.isNull(*curve), written->curve() == nullptr);
    }
    const auto original = VTAnimationInfo::initWithCurve_delay_duration(
        VTAnimationCurve::initWithControlPoints(0.3f, -0.5f, 0.7f, 1.5f), 1.25, 0.35);
    original->setSpringConstant(123.456789);
    original->setSpringFriction(-0.1);
    const auto decoded = roundTrip<VTAnimationInfo>(original);
    EXPECT_TRUE(decoded->isEqual(*original));
    EXPECT_EQ(decoded->curve()->type(), 6);
    EXPECT_EQ(decoded->springConstant(), 123.456789);
    EXPECT_EQ(decoded->springFriction(), -0.1);
    // One curve stored by two infos is one curve after decoding.
    const auto curve = VTAnimationCurve::curveWithType(1);
    const auto both = roundTrip<NSArray>(NSArray::arrayWithObjects(
        {VTAnimationInfo::initWithCurve_delay_duration(curve, 0, 0.3),
         VTAnimationInfo::initWithCurve_delay_duration(curve, 0.1, 0.4)}));
    ASSERT_EQ(both->objects().size(), 2u);
    EXPECT_EQ(std::dynamic_pointer_cast<VTAnimationInfo>(both->objects()[0])->curve(),
              std::dynamic_pointer_cast<VTAnimationInfo>(both->objects()[1])->curve());
}

// "customCurve" wins whenever present (even as none); else the legacy "curve" type goes through
// setType:; with neither the curve is "Ease Both". Absent spring values keep their defaults.
TEST(VTAnimationInfo, DecodingChoosesTheCurve) {
    const struct {
        const char* name;
        std::function<void(NSCoder&)> encode;
        int64_t type;
    } cases[] = {
        {"legacy 5", [](NSCoder& c) { c.encodeInt64_forKey(5, "curve"); }, 5},
        {"legacy 12", [](NSCoder& c) { c.encodeInt64_forKey(12, "curve"); }, 8},
        {"custom over legacy",
         [](NSCoder& c) {
             c.encodeObject_forKey(VTAnimationCurve::curveWithType(4), "customCurve");
             c.encodeInt64_forKey(5, "curve");
         },
         4},
        {"none over legacy",
         [](NSCoder& c) {
             c.encodeObject_forKey(nullptr, "customCurve");
             c.encodeInt64_forKey(5, "curve");
         },
         3},
        {"neither", [](NSCoder& c) { c.encodeDouble_forKey(10, "springConstant"); }, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = decodeInfo(c.encode);
        ASSERT_NE(decoded->curve(), nullptr);
        EXPECT_EQ(decoded->curve()->type(), c.type);
        EXPECT_TRUE(decoded->curve()->isEqual(*VTAnimationCurve::curveWithType(c.type)));
        EXPECT_EQ(decoded->duration(), 0.0);
        EXPECT_EQ(decoded->springFriction(), 20.165325);
    }
    EXPECT_EQ(decodeInfo(cases[4].encode)->springConstant(), 10.0);
    EXPECT_EQ(decodeInfo(cases[0].encode)->springConstant(), 381.46844315);
}

// Times go through the setters; spring values and a nested curve's values are kept as stored.
TEST(VTAnimationInfo, DecodedValues) {
    const auto decoded = decodeInfo([](NSCoder& c) {
        c.encodeObject_forKey(shaped("VTAnimationCurve",
                                     [](NSCoder& cc) {
                                         cc.encodeFloat_forKey(-0.5f, "c1x");
                                         cc.encodeInt64_forKey(-7, "type");
                                     }),
                              "customCurve");
        c.encodeDouble_forKey(0.304, "duration");
        c.encodeDouble_forKey(-1, "delay");
        c.encodeDouble_forKey(-5, "springConstant");
        c.encodeDouble_forKey(1e300, "springFriction");
    });
    EXPECT_EQ(decoded->duration(), 0.3);
    EXPECT_EQ(decoded->delay(), 0.0);
    EXPECT_EQ(decoded->springConstant(), -5.0);
    EXPECT_EQ(decoded->springFriction(), 1e300);
    EXPECT_EQ(decoded->curve()->type(), -7);
    EXPECT_EQ(decoded->curve()->c1x(), -0.5f);
    EXPECT_EQ(decoded->visibleDuration(), 0.3);
    // A "customCurve" of another class is malformed data.
    EXPECT_NE(test::failureOf([] {
                  decodeInfo([](NSCoder& c) {
                      c.encodeObject_forKey(NSString::stringWithUTF8String("Ease In"),
                                            "customCurve");
                  });
              }),
              test::kNoFailure);
}

TEST(VTAnimationInfo, ClassRegistrationIsIdempotentAcrossThreads) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([] { VTRegisterArchivableClasses(); });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(roundTrip<VTAnimationInfo>(info(7, 0, 0.3))->description(),
              "0.000000s, 0.300000s, Default");
}
