// Part 2.10: animation curves — the curve-type table, setType:, control-point edits, equality, hash,
// copying and the archive form.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "ArchiveShapes.h"
#include "NSLog.h"
#include "NSString.h"
#include "TestSupport.h"
#include "VTAnimationCurve.h"

namespace {

using namespace archive_shapes;

constexpr uint32_t kBits042 = 0x3ED70A3D;  // 0.42f
constexpr uint32_t kBits058 = 0x3F147AE1;  // 0.58f
constexpr uint32_t kBits01 = 0x3DCCCCCD;   // 0.1f

uint32_t bits(float value) { return std::bit_cast<uint32_t>(value); }
uint32_t bits(double widened) { return std::bit_cast<uint32_t>(static_cast<float>(widened)); }

// The four floats of a curve as bit patterns, in archive order.
std::vector<uint32_t> pointBits(const VTControlPoints& p) { return {bits(p.c1x), bits(p.c1y), bits(p.c2x), bits(p.c2y)}; }
std::vector<uint32_t> pointBits(const VTAnimationCurve& curve) { return pointBits(curve.controlPoints()); }

const std::vector<uint32_t> kZeroOneOne = {bits(0.0f), bits(0.0f), bits(1.0f), bits(1.0f)};
const std::vector<uint32_t> kEaseInPoints = {kBits042, bits(0.0f), bits(1.0f), bits(1.0f)};

// Captures NSLog lines while alive.
class LogCapture {
public:
    LogCapture() {
        previous_ = NSLogSetSink([this](const std::string& line) { lines.push_back(line); });
    }
    ~LogCapture() { NSLogSetSink(previous_); }
    std::vector<std::string> lines;

private:
    NSLogSink previous_;
};

// A subclass, for "an instance of the receiver's class (or a subclass)".
class TestCurveSubclass : public VTAnimationCurve {
public:
    TEST_CLASS("TestCurveSubclass", VTAnimationCurve::objcClass())
};

TEST(Part2_10_AnimationCurve, NamesOfEveryType) {
    EXPECT_EQ(stringForAnimationType(0), "No Animation");
    EXPECT_EQ(stringForAnimationType(1), "Ease In");
    EXPECT_EQ(stringForAnimationType(2), "Ease Out");
    EXPECT_EQ(stringForAnimationType(3), "Ease Both");
    EXPECT_EQ(stringForAnimationType(4), "Linear");
    EXPECT_EQ(stringForAnimationType(5), "Spring");
    EXPECT_EQ(stringForAnimationType(6), "Custom");
    EXPECT_EQ(stringForAnimationType(7), "Default");
    EXPECT_EQ(stringForAnimationType(8), "unknown animation type");
    EXPECT_EQ(stringForAnimationType(-1), "unknown animation type");
    EXPECT_EQ(stringForAnimationType(std::numeric_limits<int64_t>::min()), "unknown animation type");
    EXPECT_EQ(stringForAnimationType(std::numeric_limits<int64_t>::max()), "unknown animation type");
}

TEST(Part2_10_AnimationCurve, ControlPointTableHasTheExactFloats) {
    EXPECT_EQ(pointBits(controlPointsForAnimationType(0)), kZeroOneOne);
    EXPECT_EQ(pointBits(controlPointsForAnimationType(1)), kEaseInPoints);
    EXPECT_EQ(pointBits(controlPointsForAnimationType(2)),
              (std::vector<uint32_t>{bits(0.0f), bits(0.0f), kBits058, bits(1.0f)}));
    EXPECT_EQ(pointBits(controlPointsForAnimationType(3)),
              (std::vector<uint32_t>{kBits042, bits(0.0f), kBits058, bits(1.0f)}));
    EXPECT_EQ(pointBits(controlPointsForAnimationType(4)), kZeroOneOne);
    EXPECT_EQ(pointBits(controlPointsForAnimationType(5)), kZeroOneOne);
    EXPECT_EQ(pointBits(controlPointsForAnimationType(6)), kZeroOneOne);
    EXPECT_EQ(pointBits(controlPointsForAnimationType(7)),
              (std::vector<uint32_t>{bits(0.25f), kBits01, bits(0.25f), bits(1.0f)}));
    EXPECT_EQ(pointBits(controlPointsForAnimationType(8)), kEaseInPoints);
    EXPECT_EQ(pointBits(controlPointsForAnimationType(-3)), kEaseInPoints);
    EXPECT_EQ(pointBits(controlPointsForAnimationType(std::numeric_limits<int64_t>::min())), kEaseInPoints);
}

TEST(Part2_10_AnimationCurve, BareInitialiserIsTypeZeroWithZeroPoints) {
    auto curve = VTAnimationCurve::init();
    EXPECT_EQ(curve->type(), 0);
    EXPECT_EQ(pointBits(*curve), (std::vector<uint32_t>{0, 0, 0, 0}));
    EXPECT_EQ(curve->className(), "VTAnimationCurve");
}

// Edge case: curveWithType: 2 gives (0, 0), (0.58, 1) and "Ease Out"; index 3 gives (1, 1), index 4 (0, 0).
TEST(Part2_10_AnimationCurve, CurveWithTypeTwoIsEaseOut) {
    auto curve = VTAnimationCurve::curveWithType(2);
    EXPECT_EQ(curve->type(), 2);
    EXPECT_EQ(curve->description(), "Ease Out");
    EXPECT_EQ(curve->displayName(), "Ease Out");
    const auto p1 = curve->controlPointAtIndex(1);
    EXPECT_EQ(p1.x, 0.0);
    EXPECT_EQ(p1.y, 0.0);
    const auto p2 = curve->controlPointAtIndex(2);
    EXPECT_EQ(bits(p2.x), kBits058);
    EXPECT_EQ(p2.x, static_cast<double>(0.58f));  // widened exactly
    EXPECT_EQ(p2.y, 1.0);
    EXPECT_EQ(curve->controlPointAtIndex(3), (CGPoint{1, 1}));
    EXPECT_EQ(curve->controlPointAtIndex(4), (CGPoint{0, 0}));
    EXPECT_EQ(curve->controlPointAtIndex(0), (CGPoint{0, 0}));
    EXPECT_EQ(curve->controlPointAtIndex(-1), (CGPoint{0, 0}));
    EXPECT_EQ(curve->controlPointAtIndex(std::numeric_limits<int64_t>::min()), (CGPoint{0, 0}));
}

TEST(Part2_10_AnimationCurve, CurveWithTypeInstallsEveryRow) {
    for (int64_t type = 0; type <= 7; ++type) {
        auto curve = VTAnimationCurve::curveWithType(type);
        EXPECT_EQ(curve->type(), type);
        EXPECT_EQ(pointBits(*curve), pointBits(controlPointsForAnimationType(type))) << type;
        EXPECT_EQ(curve->description(), stringForAnimationType(type));
    }
}

// Edge case: setType: 12 stores 8 with the points (0.42, 0), (1, 1).
TEST(Part2_10_AnimationCurve, SetTypeAboveRangeStoresEightWithLastRowPoints) {
    auto curve = VTAnimationCurve::curveWithType(3);
    curve->setType(12);
    EXPECT_EQ(curve->type(), 8);
    EXPECT_EQ(pointBits(*curve), kEaseInPoints);
    EXPECT_EQ(curve->description(), "unknown animation type");
    curve->setType(8);
    EXPECT_EQ(curve->type(), 8);
    EXPECT_EQ(pointBits(*curve), kEaseInPoints);
    curve->setType(std::numeric_limits<int64_t>::max());
    EXPECT_EQ(curve->type(), 8);
}

// Edge case: setType: −3 stores 0 with the points (0.42, 0), (1, 1) — not the points of row 0.
TEST(Part2_10_AnimationCurve, SetTypeNegativeStoresZeroWithLastRowPoints) {
    auto curve = VTAnimationCurve::curveWithType(7);
    curve->setType(-3);
    EXPECT_EQ(curve->type(), 0);
    EXPECT_EQ(pointBits(*curve), kEaseInPoints);
    EXPECT_EQ(curve->description(), "No Animation");
    curve->setType(std::numeric_limits<int64_t>::min());
    EXPECT_EQ(curve->type(), 0);
    EXPECT_EQ(pointBits(*curve), kEaseInPoints);
}

// Edge case: (−0.5, 2) at index 1 stores c1x 0, c1y 2 and makes the type 6.
TEST(Part2_10_AnimationCurve, SetControlPointAtIndexOneRaisesXToZero) {
    auto curve = VTAnimationCurve::curveWithType(1);
    curve->setControlPoint_atIndex({-0.5, 2}, 1);
    EXPECT_EQ(bits(curve->c1x()), bits(0.0f));
    EXPECT_EQ(curve->c1y(), 2.0f);
    EXPECT_EQ(curve->type(), 6);
    EXPECT_EQ(curve->description(), "Custom");
    EXPECT_EQ(curve->controlPointAtIndex(1), (CGPoint{0, 2}));
    // The other point is untouched.
    EXPECT_EQ(curve->c2x(), 1.0f);
    EXPECT_EQ(curve->c2y(), 1.0f);
}

// Edge case: (1.5, −1) at index 2 stores c2x 1 and c2y −1.
TEST(Part2_10_AnimationCurve, SetControlPointAtIndexTwoLowersXToOne) {
    auto curve = VTAnimationCurve::curveWithType(3);
    curve->setControlPoint_atIndex({1.5, -1}, 2);
    EXPECT_EQ(curve->c2x(), 1.0f);
    EXPECT_EQ(curve->c2y(), -1.0f);
    EXPECT_EQ(curve->type(), 6);
    EXPECT_EQ(bits(curve->c1x()), kBits042);
    EXPECT_EQ(curve->c1y(), 0.0f);
}

TEST(Part2_10_AnimationCurve, OnlyTheStatedBoundsApply) {
    auto curve = VTAnimationCurve::curveWithType(4);
    curve->setControlPoint_atIndex({3, -7}, 1);   // c1x may exceed 1, y is free
    curve->setControlPoint_atIndex({-2, 9}, 2);   // c2x may be negative, y is free
    EXPECT_EQ(curve->c1x(), 3.0f);
    EXPECT_EQ(curve->c1y(), -7.0f);
    EXPECT_EQ(curve->c2x(), -2.0f);
    EXPECT_EQ(curve->c2y(), 9.0f);
    EXPECT_EQ(curve->type(), 6);
}

TEST(Part2_10_AnimationCurve, CoordinatesAreNarrowedToFloat) {
    auto curve = VTAnimationCurve::curveWithType(4);
    curve->setControlPoint_atIndex({0.1, 0.3}, 1);
    EXPECT_EQ(bits(curve->c1x()), kBits01);
    EXPECT_EQ(curve->controlPointAtIndex(1).x, static_cast<double>(0.1f));
    EXPECT_EQ(curve->controlPointAtIndex(1).y, static_cast<double>(0.3f));
    // Beyond the float range: overflow to infinity (then the bounds apply to x).
    curve->setControlPoint_atIndex({1e300, -1e300}, 1);
    EXPECT_EQ(curve->c1x(), std::numeric_limits<float>::infinity());
    EXPECT_EQ(curve->c1y(), -std::numeric_limits<float>::infinity());
    curve->setControlPoint_atIndex({-1e300, 1e300}, 2);
    EXPECT_EQ(curve->c2x(), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(curve->c2y(), std::numeric_limits<float>::infinity());
    curve->setControlPoint_atIndex({1e300, 0}, 2);
    EXPECT_EQ(curve->c2x(), 1.0f);
}

TEST(Part2_10_AnimationCurve, NaNCoordinates) {
    // A NaN x takes the bound; a NaN y is stored, and counts as a change even when it was NaN before.
    auto curve = VTAnimationCurve::curveWithType(1);
    curve->setControlPoint_atIndex({std::nan(""), 0}, 1);
    EXPECT_EQ(bits(curve->c1x()), bits(0.0f));
    EXPECT_EQ(curve->type(), 6);

    auto other = VTAnimationCurve::curveWithType(2);
    other->setControlPoint_atIndex({std::nan(""), 1}, 2);
    EXPECT_EQ(other->c2x(), 1.0f);

    auto withNaN = VTAnimationCurve::curveWithType(4);
    withNaN->setControlPoint_atIndex({0, std::nan("")}, 1);
    EXPECT_TRUE(std::isnan(withNaN->c1y()));
    EXPECT_EQ(withNaN->type(), 6);
    withNaN->setType(4);
    withNaN->setControlPoint_atIndex({0, std::nan("")}, 1);  // before: (0, 0)
    EXPECT_EQ(withNaN->type(), 6);
    withNaN->setControlPoint_atIndex({0, std::nan("")}, 1);  // NaN before and after: still a difference
    EXPECT_EQ(withNaN->type(), 6);
}

// Edge case: setting the point of an "Ease In" curve at index 1 to (0.42, 0) as doubles, or index 2 to
// (1, 1), leaves the type at 1.
TEST(Part2_10_AnimationCurve, SettingTheSamePointKeepsTheType) {
    auto curve = VTAnimationCurve::curveWithType(1);
    curve->setControlPoint_atIndex({0.42, 0}, 1);
    EXPECT_EQ(curve->type(), 1);
    EXPECT_EQ(bits(curve->c1x()), kBits042);
    curve->setControlPoint_atIndex({1, 1}, 2);
    EXPECT_EQ(curve->type(), 1);
    EXPECT_EQ(pointBits(*curve), kEaseInPoints);
    // A raise to the bound that lands on the stored value is no change either.
    auto linear = VTAnimationCurve::curveWithType(4);
    linear->setControlPoint_atIndex({-5, 0}, 1);
    linear->setControlPoint_atIndex({5, 1}, 2);
    EXPECT_EQ(linear->type(), 4);
    // -0 equals 0 as a double: no change.
    linear->setControlPoint_atIndex({0, -0.0}, 1);
    EXPECT_EQ(linear->type(), 4);
}

// Edge case: index 0 or 3 logs "index error" (and changes nothing).
TEST(Part2_10_AnimationCurve, InvalidIndexLogsIndexErrorAndChangesNothing) {
    auto curve = VTAnimationCurve::curveWithType(3);
    LogCapture log;
    curve->setControlPoint_atIndex({0.5, 0.5}, 0);
    curve->setControlPoint_atIndex({0.5, 0.5}, 3);
    curve->setControlPoint_atIndex({0.5, 0.5}, -1);
    curve->setControlPoint_atIndex({0.5, 0.5}, 4);
    EXPECT_EQ(log.lines, (std::vector<std::string>(4, "index error")));
    EXPECT_EQ(curve->type(), 3);
    EXPECT_EQ(pointBits(*curve), pointBits(controlPointsForAnimationType(3)));
}

TEST(Part2_10_AnimationCurve, ValidIndexLogsNothing) {
    auto curve = VTAnimationCurve::curveWithType(3);
    LogCapture log;
    curve->setControlPoint_atIndex({0.5, 0.5}, 1);
    curve->setControlPoint_atIndex({0.5, 0.5}, 2);
    EXPECT_TRUE(log.lines.empty());
}

TEST(Part2_10_AnimationCurve, InitWithControlPointsIsCustom) {
    auto curve = VTAnimationCurve::initWithControlPoints(0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(curve->type(), 6);
    EXPECT_EQ(pointBits(*curve), (std::vector<uint32_t>{kBits01, bits(0.2f), bits(0.3f), bits(0.4f)}));
    // Even points equal to the bare initialiser's keep type 6.
    EXPECT_EQ(VTAnimationCurve::initWithControlPoints(0, 0, 0, 0)->type(), 6);
    // Through setControlPoint:atIndex:, so its bounds apply.
    auto bounded = VTAnimationCurve::initWithControlPoints(-1, 0.5f, 2, 0.5f);
    EXPECT_EQ(pointBits(*bounded), (std::vector<uint32_t>{bits(0.0f), bits(0.5f), bits(1.0f), bits(0.5f)}));
    EXPECT_EQ(bounded->type(), 6);
}

// Edge case: a "Linear" and a "Spring" curve are equal (same points, different types).
TEST(Part2_10_AnimationCurve, LinearAndSpringAreEqual) {
    auto linear = VTAnimationCurve::curveWithType(4);
    auto spring = VTAnimationCurve::curveWithType(5);
    EXPECT_TRUE(linear->isEqual(*spring));
    EXPECT_TRUE(spring->isEqual(*linear));
    EXPECT_EQ(linear->hash(), spring->hash());
    EXPECT_FALSE(linear->isEqual(*VTAnimationCurve::curveWithType(3)));
    EXPECT_TRUE(linear->isEqual(*linear));
}

TEST(Part2_10_AnimationCurve, EqualityNeedsACurve) {
    auto curve = VTAnimationCurve::curveWithType(4);
    EXPECT_FALSE(curve->isEqual(*NSString::stringWithUTF8String("Linear")));
    EXPECT_FALSE(curve->isEqual(nullptr));
    EXPECT_TRUE(curve->isEqual(static_cast<const NSObject*>(VTAnimationCurve::curveWithType(0).get())));
}

TEST(Part2_10_AnimationCurve, EqualityAcceptsSubclassesOfTheReceiversClass) {
    auto base = VTAnimationCurve::curveWithType(4);
    auto derived = std::make_shared<TestCurveSubclass>();
    derived->setType(4);
    EXPECT_TRUE(base->isEqual(*derived));
    EXPECT_FALSE(derived->isEqual(*base));  // the base curve is not an instance of the subclass
}

TEST(Part2_10_AnimationCurve, EqualityComparesFloatsExactly) {
    auto a = VTAnimationCurve::curveWithType(4);
    auto b = VTAnimationCurve::curveWithType(4);
    b->setControlPoint_atIndex({0, 1e-7}, 1);
    EXPECT_FALSE(a->isEqual(*b));
    // 0 and −0 are equal floats and hash alike.
    b->setControlPoint_atIndex({0, -0.0}, 1);
    EXPECT_EQ(bits(b->c1y()), bits(-0.0f));
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    // A NaN point is equal to nothing, itself included.
    b->setControlPoint_atIndex({0, std::nan("")}, 1);
    EXPECT_FALSE(b->isEqual(*b));
}

TEST(Part2_10_AnimationCurve, HashAgreesWithEqualityAcrossTypes) {
    // Types 0, 4, 5 and 6 share their points; a custom curve with the same points is equal too.
    auto custom = VTAnimationCurve::initWithControlPoints(0, 0, 1, 1);
    for (int64_t type : {0, 4, 5, 6}) {
        auto curve = VTAnimationCurve::curveWithType(type);
        EXPECT_TRUE(curve->isEqual(*custom)) << type;
        EXPECT_EQ(curve->hash(), custom->hash()) << type;
    }
    EXPECT_EQ(VTAnimationCurve::curveWithType(12)->hash(), VTAnimationCurve::curveWithType(1)->hash());
}

TEST(Part2_10_AnimationCurve, CopyIsANewCurveWithTheSameTypeAndPoints) {
    auto curve = VTAnimationCurve::initWithControlPoints(0.1f, 0.2f, 0.3f, 0.4f);
    curve->setControlPoint_atIndex({0.42, -0.5}, 1);
    auto copy = curve->copy();
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), curve.get());
    EXPECT_EQ(copy->type(), curve->type());
    EXPECT_EQ(pointBits(*copy), pointBits(*curve));
    EXPECT_TRUE(copy->isEqual(*curve));
    copy->setType(2);
    EXPECT_EQ(curve->type(), 6);
    EXPECT_EQ(bits(curve->c1x()), kBits042);
    // A type outside the table is copied as it is.
    auto unknown = VTAnimationCurve::curveWithType(12);
    EXPECT_EQ(unknown->copy()->type(), 8);
}

TEST(Part2_10_AnimationCurve, ArchiveWritesFourFloatsAndAnInteger) {
    auto curve = VTAnimationCurve::curveWithType(7);
    auto data = archive(curve);
    StoredArchive stored(*data);
    auto root = stored.root();
    EXPECT_EQ(stored.className(root), "VTAnimationCurve");
    EXPECT_EQ(stored.keys(root), (std::vector<std::string>{"c1x", "c1y", "c2x", "c2y", "type"}));
    const std::vector<std::pair<const char*, uint32_t>> expected = {
        {"c1x", bits(0.25f)}, {"c1y", kBits01}, {"c2x", bits(0.25f)}, {"c2y", bits(1.0f)}};
    for (const auto& [key, pattern] : expected) {
        auto value = stored.value(root, key);
        ASSERT_TRUE(value) << key;
        ASSERT_EQ(value->kind, plist::Kind::Real) << key;
        EXPECT_EQ(value->count, 4u) << key;
        const auto real = stored.list().realValue(*value);
        EXPECT_TRUE(real.isFloat32) << key;
        EXPECT_EQ(bits(static_cast<float>(real.value)), pattern) << key;
    }
    auto type = stored.value(root, "type");
    ASSERT_TRUE(type);
    ASSERT_EQ(type->kind, plist::Kind::Integer);
    EXPECT_EQ(stored.list().integerValue(*type).signedValue(), 7);
}

TEST(Part2_10_AnimationCurve, RoundTripKeepsTypeAndPoints) {
    for (int64_t type = 0; type <= 8; ++type) {
        auto curve = VTAnimationCurve::curveWithType(type);
        auto decoded = roundTrip<VTAnimationCurve>(curve);
        ASSERT_TRUE(decoded) << type;
        EXPECT_EQ(decoded->type(), type);
        EXPECT_EQ(pointBits(*decoded), pointBits(*curve)) << type;
    }
    auto custom = VTAnimationCurve::initWithControlPoints(3.5f, -2.25f, -0.75f, 8);
    auto decoded = roundTrip<VTAnimationCurve>(custom);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->type(), 6);
    EXPECT_EQ(pointBits(*decoded), pointBits(*custom));
    EXPECT_TRUE(decoded->isEqual(*custom));
}

TEST(Part2_10_AnimationCurve, DecodingStoresValuesAsTheyAre) {
    // Values that neither setType: nor setControlPoint:atIndex: would leave: no clamping, and no
    // re-derivation of the points from the type.
    auto data = archive(shaped(curveShape(), [](NSCoder& c) {
        c.encodeFloat_forKey(-0.5f, "c1x");
        c.encodeFloat_forKey(7.0f, "c1y");
        c.encodeFloat_forKey(3.0f, "c2x");
        c.encodeFloat_forKey(-2.0f, "c2y");
        c.encodeInt64_forKey(12, "type");
    }));
    auto curve = unarchive<VTAnimationCurve>(data);
    ASSERT_TRUE(curve);
    EXPECT_EQ(curve->type(), 12);
    EXPECT_EQ(curve->c1x(), -0.5f);
    EXPECT_EQ(curve->c1y(), 7.0f);
    EXPECT_EQ(curve->c2x(), 3.0f);
    EXPECT_EQ(curve->c2y(), -2.0f);
    EXPECT_EQ(curve->description(), "unknown animation type");

    auto negative = unarchive<VTAnimationCurve>(archive(shaped(curveShape(), [](NSCoder& c) {
        c.encodeFloat_forKey(0.42f, "c1x");
        c.encodeInt64_forKey(-3, "type");
    })));
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->type(), -3);
    EXPECT_EQ(pointBits(*negative), (std::vector<uint32_t>{kBits042, 0, 0, 0}));  // absent keys read as 0
}

TEST(Part2_10_AnimationCurve, DecodingAnEmptyEntryGivesTheBareCurve) {
    auto curve = unarchive<VTAnimationCurve>(archive(shaped(curveShape(), [](NSCoder&) {})));
    ASSERT_TRUE(curve);
    EXPECT_EQ(curve->type(), 0);
    EXPECT_EQ(pointBits(*curve), (std::vector<uint32_t>{0, 0, 0, 0}));
}

}  // namespace
