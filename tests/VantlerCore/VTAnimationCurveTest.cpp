#include <gtest/gtest.h>

#include "ArchiveShapes.h"
#include "TestSupport.h"
#include "VTAnimationCurve.h"

using namespace archive_shapes;

namespace {

using Bits = std::vector<uint32_t>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

Bits floats(float a, float b, float c, float d) {
    return {std::bit_cast<uint32_t>(a), std::bit_cast<uint32_t>(b), std::bit_cast<uint32_t>(c),
            std::bit_cast<uint32_t>(d)};
}
Bits pointBits(const VTAnimationCurve& curve) {
    const auto p = curve.controlPoints();
    return floats(p.c1x, p.c1y, p.c2x, p.c2y);
}

const Bits kEaseIn = floats(0.42f, 0, 1, 1);

class SubclassedCurve : public VTAnimationCurve {
  public:
    TEST_CLASS("SubclassedCurve", VTAnimationCurve::objcClass())
};

}  // namespace

// setType: stores the type limited to 0 … 8 but takes the points of the type as given, so anything
// outside 0 … 7 gets the "Ease In" points.
TEST(VTAnimationCurve, TypeTableAndSetType) {
    const struct {
        int64_t type;
        const char* name;
        Bits points;
        int64_t stored;
    } cases[] = {
        // clang-format off
        {0, "No Animation", floats(0, 0, 1, 1), 0},
        {1, "Ease In", kEaseIn, 1},
        {2, "Ease Out", floats(0, 0, 0.58f, 1), 2},
        {3, "Ease Both", floats(0.42f, 0, 0.58f, 1), 3},
        {4, "Linear", floats(0, 0, 1, 1), 4},
        {5, "Spring", floats(0, 0, 1, 1), 5},
        {6, "Custom", floats(0, 0, 1, 1), 6},
        {7, "Default", floats(0.25f, 0.1f, 0.25f, 1), 7},
        {8, "unknown animation type", kEaseIn, 8},
        {-1, "unknown animation type", kEaseIn, 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(stringForAnimationType(c.type), c.name);
        const auto curve = VTAnimationCurve::curveWithType(c.type);
        EXPECT_EQ(curve->type(), c.stored);
        EXPECT_EQ(pointBits(*curve), c.points);
        EXPECT_EQ(curve->description(), stringForAnimationType(c.stored));
    }
    const auto curve = VTAnimationCurve::curveWithType(2);
    EXPECT_EQ(curve->controlPointAtIndex(2), (CGPoint{double(0.58f), 1}));
    EXPECT_EQ(curve->controlPointAtIndex(1), (CGPoint{0, 0}));
    EXPECT_EQ(curve->controlPointAtIndex(3), (CGPoint{1, 1}));
}

// c1x is raised to 0 and c2x lowered to 1, nothing else is bounded; values are narrowed to float;
// a change of either widened coordinate makes the curve "Custom"; an invalid index logs.
TEST(VTAnimationCurve, SetControlPointBoundsNarrowsAndMarksAChange) {
    const struct {
        int64_t startType;
        CGPoint point;
        int64_t index;
        Bits points;
        int64_t type;
        bool log;
    } cases[] = {
        // clang-format off
        {1, {-0.5, 2}, 1, floats(0, 2, 1, 1), 6, false},
        {3, {1.5, -1}, 2, floats(0.42f, 0, 1, -1), 6, false},
        {4, {-2, 9}, 2, floats(0, 0, -2, 9), 6, false},
        {4, {1e300, -1e300}, 1, floats(kInf, -kInf, 1, 1), 6, false},
        {1, {kNaN, 0}, 1, floats(0, 0, 1, 1), 6, false},  // a NaN x takes the bound
        {4, {0, kNaN}, 1, floats(0, float(kNaN), 1, 1), 6, false},
        {1, {0.42, 0}, 1, kEaseIn, 1, false},
        {4, {5, 1}, 2, floats(0, 0, 1, 1), 4, false},  // a bound landing on the stored value
        {4, {0, -0.0}, 1, floats(0, -0.0f, 1, 1), 4, false},
        {3, {0.5, 0.5}, 3, floats(0.42f, 0, 0.58f, 1), 3, true},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const auto curve = VTAnimationCurve::curveWithType(c.startType);
        test::LogCapture log;
        curve->setControlPoint_atIndex(c.point, c.index);
        EXPECT_EQ(pointBits(*curve), c.points);
        EXPECT_EQ(curve->type(), c.type);
        EXPECT_EQ(log.lines(), std::vector<std::string>(c.log, "index error"));
    }
    const auto bounded = VTAnimationCurve::initWithControlPoints(-1, 0.5f, 2, 0.5f);
    EXPECT_EQ(pointBits(*bounded), floats(0, 0.5f, 1, 0.5f));
    EXPECT_EQ(bounded->type(), 6);
}

// Equal means the same four floats, whatever the types; the hash agrees, -0 and 0 included.
TEST(VTAnimationCurve, EqualityComparesThePointsExactly) {
    const auto a = VTAnimationCurve::curveWithType(4), b = VTAnimationCurve::curveWithType(0);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_FALSE(a->isEqual(*VTAnimationCurve::curveWithType(3)));
    b->setControlPoint_atIndex({0, 1e-7}, 1);
    EXPECT_FALSE(a->isEqual(*b));
    EXPECT_NE(a->hash(), b->hash());
    b->setControlPoint_atIndex({0, -0.0}, 1);
    EXPECT_TRUE(a->isEqual(*b) && a->hash() == b->hash());
    b->setControlPoint_atIndex({0, kNaN}, 1);
    EXPECT_FALSE(b->isEqual(*b));  // a NaN point is equal to nothing
    EXPECT_FALSE(a->isEqual(nullptr));
    // Of the receiver's class or a subclass: a subclass's curve is not equal to a base curve.
    const auto derived = std::make_shared<SubclassedCurve>();
    derived->setType(4);
    EXPECT_TRUE(a->isEqual(*derived));
    EXPECT_FALSE(derived->isEqual(*a));
    a->copy()->setType(2);
    EXPECT_EQ(pointBits(*a), floats(0, 0, 1, 1));  // the copy is its own
}

TEST(VTAnimationCurve, ArchiveHoldsFourFloatsAndTheTypeAndDecodesThemAsTheyAre) {
    const StoredArchive stored(*archive(VTAnimationCurve::curveWithType(7)));
    const auto root = stored.root();
    EXPECT_EQ(stored.keys(root), (std::vector<std::string>{"c1x", "c1y", "c2x", "c2y", "type"}));
    Bits written;
    for (const char* key : {"c1x", "c1y", "c2x", "c2y"}) {
        const auto real = stored.list().realValue(*stored.value(root, key));
        EXPECT_TRUE(real.isFloat32) << key;
        written.push_back(std::bit_cast<uint32_t>(float(real.value)));
    }
    EXPECT_EQ(written, floats(0.25f, 0.1f, 0.25f, 1));
    EXPECT_EQ(stored.list().integerValue(*stored.value(root, "type")).signedValue(), 7);
    // No bounds, no points derived from the type, absent keys read as 0.
    const auto curve = decodeShaped<VTAnimationCurve>("VTAnimationCurve", [](NSCoder& c) {
        c.encodeFloat_forKey(-0.5f, "c1x");
        c.encodeFloat_forKey(3.0f, "c2x");
        c.encodeInt64_forKey(12, "type");
    });
    EXPECT_EQ(curve->type(), 12);
    EXPECT_EQ(pointBits(*curve), floats(-0.5f, 0, 3, 0));
}
