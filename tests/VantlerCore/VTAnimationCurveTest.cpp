// Animation curves: the table of curve types, setType:, control-point edits with their bounds and
// float narrowing, equality, hash, copying and the archive form.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "ArchiveShapes.h"
#include "NSString.h"
#include "TestSupport.h"
#include "VTAnimationCurve.h"

using namespace archive_shapes;

namespace {

using Bits = std::vector<uint32_t>;
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

uint32_t bits(float value) {
    return std::bit_cast<uint32_t>(value);
}
// The four floats of a curve as bit patterns, in archive order.
Bits pointBits(const VTControlPoints& p) {
    return {bits(p.c1x), bits(p.c1y), bits(p.c2x), bits(p.c2y)};
}
Bits pointBits(const VTAnimationCurve& curve) {
    return pointBits(curve.controlPoints());
}
Bits floats(float a, float b, float c, float d) {
    return {bits(a), bits(b), bits(c), bits(d)};
}

const Bits kEaseIn = floats(0.42f, 0, 1, 1);

class SubclassedCurve : public VTAnimationCurve {
  public:
    TEST_CLASS("SubclassedCurve", VTAnimationCurve::objcClass())
};

}  // namespace

// The names and exact float points of every type; setType: stores the type limited to 0 … 8 but
// takes the points of the type as given, so anything outside 0 … 7 gets the "Ease In" points.
TEST(VTAnimationCurve, TypeTableAndSetType) {
    const struct {
        int64_t type;
        const char* name;
        Bits points;
        int64_t stored;
    } cases[] = {
        {0, "No Animation", floats(0, 0, 1, 1), 0},
        {1, "Ease In", kEaseIn, 1},
        {2, "Ease Out", floats(0, 0, 0.58f, 1), 2},
        {3, "Ease Both", floats(0.42f, 0, 0.58f, 1), 3},
        {4, "Linear", floats(0, 0, 1, 1), 4},
        {5, "Spring", floats(0, 0, 1, 1), 5},
        {6, "Custom", floats(0, 0, 1, 1), 6},
        {7, "Default", floats(0.25f, 0.1f, 0.25f, 1), 7},
        {8, "unknown animation type", kEaseIn, 8},
        {12, "unknown animation type", kEaseIn, 8},
        {kMax, "unknown animation type", kEaseIn, 8},
        {-3, "unknown animation type", kEaseIn, 0},
        {kMin, "unknown animation type", kEaseIn, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(stringForAnimationType(c.type), c.name);
        EXPECT_EQ(pointBits(controlPointsForAnimationType(c.type)), c.points);
        const auto curve = VTAnimationCurve::curveWithType(c.type);
        EXPECT_EQ(curve->type(), c.stored);
        EXPECT_EQ(pointBits(*curve), c.points);
        EXPECT_EQ(curve->description(), stringForAnimationType(c.stored));
    }
    const auto bare = VTAnimationCurve::init();
    EXPECT_EQ(bare->type(), 0);
    EXPECT_EQ(pointBits(*bare), floats(0, 0, 0, 0));
}

TEST(VTAnimationCurve, ControlPointsAtIndexWidenTheFloats) {
    const auto curve = VTAnimationCurve::curveWithType(2);
    EXPECT_EQ(curve->controlPointAtIndex(2), (CGPoint{double(0.58f), 1}));
    EXPECT_EQ(curve->controlPointAtIndex(1), (CGPoint{0, 0}));
    EXPECT_EQ(curve->controlPointAtIndex(3), (CGPoint{1, 1}));
    for (const int64_t index : {int64_t{0}, int64_t{4}, int64_t{-1}, kMin})
        EXPECT_EQ(curve->controlPointAtIndex(index), (CGPoint{0, 0})) << index;
}

// c1x is raised to 0 and c2x lowered to 1, nothing else is bounded; values are narrowed to float
// (overflowing to infinity); a change of either widened coordinate makes the curve "Custom".
TEST(VTAnimationCurve, SetControlPointBoundsNarrowsAndMarksAChange) {
    const struct {
        int64_t startType;
        CGPoint point;
        int64_t index;
        Bits points;
        int64_t type;
    } cases[] = {
        {1, {-0.5, 2}, 1, floats(0, 2, 1, 1), 6},
        {3, {1.5, -1}, 2, floats(0.42f, 0, 1, -1), 6},
        {4, {3, -7}, 1, floats(3, -7, 1, 1), 6},
        {4, {-2, 9}, 2, floats(0, 0, -2, 9), 6},
        {4, {0.1, 0.3}, 1, floats(0.1f, 0.3f, 1, 1), 6},
        {4, {1e300, -1e300}, 1, floats(kInf, -kInf, 1, 1), 6},
        {4, {-1e300, 1e300}, 2, floats(0, 0, -kInf, kInf), 6},
        {4, {1e300, 0}, 2, floats(0, 0, 1, 0), 6},
        {1, {kNaN, 0}, 1, floats(0, 0, 1, 1), 6},  // a NaN x takes the bound
        {2, {kNaN, 1}, 2, floats(0, 0, 1, 1), 6},
        // The same point, or a bound landing on the stored value, or -0 for 0: no change.
        {1, {0.42, 0}, 1, kEaseIn, 1},
        {1, {1, 1}, 2, kEaseIn, 1},
        {4, {-5, 0}, 1, floats(0, 0, 1, 1), 4},
        {4, {5, 1}, 2, floats(0, 0, 1, 1), 4},
        {4, {0, -0.0}, 1, floats(0, -0.0f, 1, 1), 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.startType << ", (" << c.point.x << ", "
                                        << c.point.y << ") at " << c.index);
        const auto curve = VTAnimationCurve::curveWithType(c.startType);
        test::LogCapture log;
        curve->setControlPoint_atIndex(c.point, c.index);
        EXPECT_EQ(pointBits(*curve), c.points);
        EXPECT_EQ(curve->type(), c.type);
        EXPECT_TRUE(log.lines().empty());
    }
    // A NaN y is stored and is a change every time, even over a NaN.
    const auto curve = VTAnimationCurve::curveWithType(4);
    for (int i = 0; i < 2; ++i) {
        curve->setType(4);
        curve->setControlPoint_atIndex({0, kNaN}, 1);
        EXPECT_TRUE(std::isnan(curve->c1y()));
        EXPECT_EQ(curve->type(), 6);
    }
}

TEST(VTAnimationCurve, AnInvalidIndexLogsAndChangesNothing) {
    const auto curve = VTAnimationCurve::curveWithType(3);
    test::LogCapture log;
    for (const int64_t index : {0, 3, -1, 4}) curve->setControlPoint_atIndex({0.5, 0.5}, index);
    EXPECT_EQ(log.lines(), std::vector<std::string>(4, "index error"));
    EXPECT_EQ(curve->type(), 3);
    EXPECT_EQ(pointBits(*curve), floats(0.42f, 0, 0.58f, 1));
}

TEST(VTAnimationCurve, InitWithControlPointsIsCustomWithinTheBounds) {
    EXPECT_EQ(pointBits(*VTAnimationCurve::initWithControlPoints(0.1f, 0.2f, 0.3f, 0.4f)),
              floats(0.1f, 0.2f, 0.3f, 0.4f));
    EXPECT_EQ(VTAnimationCurve::initWithControlPoints(0, 0, 0, 0)->type(), 6);
    const auto bounded = VTAnimationCurve::initWithControlPoints(-1, 0.5f, 2, 0.5f);
    EXPECT_EQ(pointBits(*bounded), floats(0, 0.5f, 1, 0.5f));
    EXPECT_EQ(bounded->type(), 6);
}

// Equal means the same four floats, whatever the types; the hash agrees, -0 and 0 included.
TEST(VTAnimationCurve, EqualityComparesThePointsExactly) {
    const auto custom = VTAnimationCurve::initWithControlPoints(0, 0, 1, 1);
    for (const int64_t type : {0, 4, 5, 6}) {
        const auto curve = VTAnimationCurve::curveWithType(type);
        EXPECT_TRUE(curve->isEqual(*custom)) << type;
        EXPECT_EQ(curve->hash(), custom->hash()) << type;
    }
    EXPECT_EQ(VTAnimationCurve::curveWithType(12)->hash(),
              VTAnimationCurve::curveWithType(1)->hash());
    const auto a = VTAnimationCurve::curveWithType(4), b = VTAnimationCurve::curveWithType(4);
    EXPECT_FALSE(a->isEqual(*VTAnimationCurve::curveWithType(3)));
    b->setControlPoint_atIndex({0, 1e-7}, 1);
    EXPECT_FALSE(a->isEqual(*b));
    EXPECT_NE(a->hash(), b->hash());
    b->setControlPoint_atIndex({0, -0.0}, 1);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    b->setControlPoint_atIndex({0, kNaN}, 1);
    EXPECT_FALSE(b->isEqual(*b));  // a NaN point is equal to nothing
    EXPECT_FALSE(a->isEqual(*NSString::stringWithUTF8String("Linear")));
    EXPECT_FALSE(a->isEqual(nullptr));
    // Of the receiver's class or a subclass: a subclass's curve is not equal to a base curve.
    const auto derived = std::make_shared<SubclassedCurve>();
    derived->setType(4);
    EXPECT_TRUE(a->isEqual(*derived));
    EXPECT_FALSE(derived->isEqual(*a));
}

TEST(VTAnimationCurve, CopyIsIndependentAndKeepsTheStoredType) {
    const auto curve = VTAnimationCurve::initWithControlPoints(0.1f, 0.2f, 0.3f, 0.4f);
    const auto copy = curve->copy();
    EXPECT_NE(copy, curve);
    EXPECT_EQ(copy->type(), 6);
    EXPECT_EQ(pointBits(*copy), pointBits(*curve));
    copy->setType(2);
    EXPECT_EQ(curve->type(), 6);
    EXPECT_EQ(pointBits(*curve), floats(0.1f, 0.2f, 0.3f, 0.4f));
}

TEST(VTAnimationCurve, ArchiveHoldsFourFloatsAndTheType) {
    const StoredArchive stored(*archive(VTAnimationCurve::curveWithType(7)));
    const auto root = stored.root();
    EXPECT_EQ(stored.className(root), "VTAnimationCurve");
    EXPECT_EQ(stored.keys(root), (std::vector<std::string>{"c1x", "c1y", "c2x", "c2y", "type"}));
    const Bits expected = floats(0.25f, 0.1f, 0.25f, 1);
    for (size_t i = 0; i < 4; ++i) {
        const auto value = stored.value(root, stored.keys(root)[i]);
        ASSERT_EQ(value->kind, plist::Kind::Real) << i;
        const auto real = stored.list().realValue(*value);
        EXPECT_TRUE(real.isFloat32) << i;
        EXPECT_EQ(bits(float(real.value)), expected[i]) << i;
    }
    EXPECT_EQ(stored.list().integerValue(*stored.value(root, "type")).signedValue(), 7);

    for (const auto& curve : {VTAnimationCurve::curveWithType(8),
                              VTAnimationCurve::initWithControlPoints(3.5f, -2.25f, -0.75f, 8)}) {
        const auto decoded = roundTrip<VTAnimationCurve>(curve);
        EXPECT_EQ(decoded->type(), curve->type());
        EXPECT_EQ(pointBits(*decoded), pointBits(*curve));
    }
}

// Decoding takes the stored values as they are: no bounds, no points derived from the type, absent
// keys read as 0.
TEST(VTAnimationCurve, DecodingStoresValuesAsTheyAre) {
    const auto curve = decodeShaped<VTAnimationCurve>("VTAnimationCurve", [](NSCoder& c) {
        c.encodeFloat_forKey(-0.5f, "c1x");
        c.encodeFloat_forKey(3.0f, "c2x");
        c.encodeFloat_forKey(-2.0f, "c2y");
        c.encodeInt64_forKey(12, "type");
    });
    EXPECT_EQ(curve->type(), 12);
    EXPECT_EQ(pointBits(*curve), floats(-0.5f, 0, 3, -2));
    EXPECT_EQ(curve->description(), "unknown animation type");
    const auto empty = decodeShaped<VTAnimationCurve>("VTAnimationCurve", [](NSCoder&) {});
    EXPECT_EQ(empty->type(), 0);
    EXPECT_EQ(pointBits(*empty), floats(0, 0, 0, 0));
}
