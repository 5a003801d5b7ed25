#include "VTAnimationCurve.h"

#include <bit>
#include <cmath>

#include "NSCoder.h"
#include "NSLog.h"

namespace {

// The largest double that still rounds to a finite float (FLT_MAX plus just under half an ulp);
// anything at or beyond it rounds to infinity under IEEE round-to-nearest-even.
constexpr double kFloatOverflowThreshold = 0x1.ffffffp127;

// Narrows a double to a 32-bit float as the hardware does (round to nearest, overflow to ±infinity,
// NaN stays NaN) without the undefined behaviour of a C++ conversion of an out-of-range value.
float narrowToFloat(double value) {
    if (std::isnan(value)) return std::nanf("");
    if (value >= kFloatOverflowThreshold) return HUGE_VALF;
    if (value <= -kFloatOverflowThreshold) return -HUGE_VALF;
    return static_cast<float>(value);
}

uint32_t hashBits(float value) {
    return std::bit_cast<uint32_t>(value + 0.0f);  // -0 + 0 is +0, so 0 and -0 hash alike
}

}  // namespace

std::string stringForAnimationType(VTAnimationType type) {
    switch (type) {
        case 0:
            return "No Animation";
        case 1:
            return "Ease In";
        case 2:
            return "Ease Out";
        case 3:
            return "Ease Both";
        case 4:
            return "Linear";
        case 5:
            return "Spring";
        case 6:
            return "Custom";
        case 7:
            return "Default";
        default:
            return "unknown animation type";
    }
}

VTControlPoints controlPointsForAnimationType(VTAnimationType type) {
    // 0.42f, 0.58f and 0.1f are the nearest floats to those decimals (0x3ED70A3D, 0x3F147AE1,
    // 0x3DCCCCCD), as archives store them.
    switch (type) {
        case 0:
            return {0, 0, 1, 1};
        case 1:
            return {0.42f, 0, 1, 1};
        case 2:
            return {0, 0, 0.58f, 1};
        case 3:
            return {0.42f, 0, 0.58f, 1};
        case 4:
            return {0, 0, 1, 1};
        case 5:
            return {0, 0, 1, 1};
        case 6:
            return {0, 0, 1, 1};
        case 7:
            return {0.25f, 0.1f, 0.25f, 1};
        default:
            return {0.42f, 0, 1, 1};
    }
}

std::shared_ptr<VTAnimationCurve> VTAnimationCurve::init() {
    return std::make_shared<VTAnimationCurve>();
}

std::shared_ptr<VTAnimationCurve> VTAnimationCurve::curveWithType(VTAnimationType type) {
    auto curve = init();
    curve->setType(type);
    return curve;
}

std::shared_ptr<VTAnimationCurve> VTAnimationCurve::initWithControlPoints(float c1x, float c1y,
                                                                          float c2x, float c2y) {
    auto curve = init();
    curve->type_ = 6;
    curve->setControlPoint_atIndex({c1x, c1y}, 1);
    curve->setControlPoint_atIndex({c2x, c2y}, 2);
    return curve;
}

void VTAnimationCurve::setType(VTAnimationType type) {
    // The stored type is bounded to 0…8, but the points are those of the argument's own row, so
    // that −3 stores 0 with the points of the last row.
    type_ = type < 0 ? 0 : type > 8 ? 8 : type;
    points_ = controlPointsForAnimationType(type);
}

CGPoint VTAnimationCurve::controlPointAtIndex(int64_t index) const {
    switch (index) {
        case 1:
            return {points_.c1x, points_.c1y};
        case 2:
            return {points_.c2x, points_.c2y};
        case 3:
            return {1, 1};
        default:
            return {0, 0};
    }
}

void VTAnimationCurve::setControlPoint_atIndex(CGPoint point, int64_t index) {
    const CGPoint before = controlPointAtIndex(index);
    if (index == 1) {
        const float x = narrowToFloat(point.x);
        points_.c1x = x > 0 ? x : 0.0f;  // only a lower bound: c1x may exceed 1
        points_.c1y = narrowToFloat(point.y);
    } else if (index == 2) {
        const float x = narrowToFloat(point.x);
        points_.c2x = x < 1 ? x : 1.0f;  // only an upper bound: c2x may be negative
        points_.c2y = narrowToFloat(point.y);
    } else {
        NSLog("index error");
        return;
    }
    const CGPoint after = controlPointAtIndex(index);
    // Compared as doubles; a NaN compares unequal, so it counts as a change.
    if (after.x != before.x || after.y != before.y) type_ = 6;
}

std::string VTAnimationCurve::description() const {
    return stringForAnimationType(type_);
}

bool VTAnimationCurve::isEqual(const NSObject& other) const {
    if (!isKindOfClass(other, classForKeyedArchiver())) return false;
    const auto* curve = dynamic_cast<const VTAnimationCurve*>(&other);
    return curve && curve->points_ == points_;
}

size_t VTAnimationCurve::hash() const {
    uint64_t h = 0xcbf29ce484222325u;
    for (float value : {points_.c1x, points_.c1y, points_.c2x, points_.c2y}) {
        h ^= hashBits(value);
        h *= 0x100000001b3u;
    }
    return static_cast<size_t>(h);
}

std::shared_ptr<VTAnimationCurve> VTAnimationCurve::copy() const {
    auto curve = init();
    curve->type_ = type_;
    curve->points_ = points_;
    return curve;
}

void VTAnimationCurve::encodeWithCoder(NSCoder& coder) const {
    coder.encodeFloat_forKey(points_.c1x, "c1x");
    coder.encodeFloat_forKey(points_.c1y, "c1y");
    coder.encodeFloat_forKey(points_.c2x, "c2x");
    coder.encodeFloat_forKey(points_.c2y, "c2y");
    coder.encodeInt64_forKey(type_, "type");
}

bool VTAnimationCurve::initWithCoder(NSCoder& coder) {
    // Stored as read: a type outside 0…8 or points off the table stay as they are.
    points_.c1x = coder.decodeFloatForKey("c1x");
    points_.c1y = coder.decodeFloatForKey("c1y");
    points_.c2x = coder.decodeFloatForKey("c2x");
    points_.c2y = coder.decodeFloatForKey("c2y");
    type_ = coder.decodeInt64ForKey("type");
    return true;
}
