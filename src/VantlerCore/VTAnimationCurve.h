#pragma once
// The timing curve of an animated property change: one of eight named curve types, each a cubic
// Bézier timing function from (0, 0) to (1, 1) with two inner control points, or a custom pair of
// control points. Documents, layers and transitions all name curves by these type numbers.

#include <cstdint>
#include <memory>
#include <string>

#include "CGGeometry.h"
#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

// Curve type: a signed 64-bit integer, 0 "No Animation" to 7 "Default". Any other number
// is "unknown animation type" with the points of "Ease In".
using VTAnimationType = int64_t;

// The two inner control points of a curve as 32-bit floats, in archive order: P1 = (c1x, c1y) and
// P2 = (c2x, c2y).
struct VTControlPoints {
    float c1x = 0, c1y = 0, c2x = 0, c2y = 0;
    bool operator==(const VTControlPoints&) const = default;  // exact float comparison
};

// The name of a curve type; "unknown animation type" for any other number.
std::string stringForAnimationType(VTAnimationType type);
// The control points of the table row of a curve type; any number outside 0 to 7 (negatives
// included) gives the points of the last row: (0.42, 0), (1, 1).
VTControlPoints controlPointsForAnimationType(VTAnimationType type);

class VTAnimationCurve : public NSObject {
  public:
    NS_CLASS_RECORD("VTAnimationCurve", NSObject::objcClass())

    // The bare initialiser: type 0 and all four floats 0. Curves for use come from the factories
    // below, copying or decoding.
    static std::shared_ptr<VTAnimationCurve> init();
    // curveWithType: (class-level): the bare initialiser, then setType(type).
    static std::shared_ptr<VTAnimationCurve> curveWithType(VTAnimationType type);
    // initWithControlPoints:::: — the selector's four keywords are anonymous, so the name keeps
    // only the first word. Type 6 ("Custom"), then setControlPoint_atIndex with (c1x, c1y) at index
    // 1 and (c2x, c2y) at index 2, each widened to double (so the bounds of that operation apply).
    static std::shared_ptr<VTAnimationCurve> initWithControlPoints(float c1x, float c1y, float c2x,
                                                                   float c2y);

    VTAnimationType type() const { return type_; }
    // Stores the type raised to at least 0 and lowered to at most 8, then installs the control
    // points of the table row of the argument itself (controlPointsForAnimationType).
    void setType(VTAnimationType type);

    float c1x() const { return points_.c1x; }
    float c1y() const { return points_.c1y; }
    float c2x() const { return points_.c2x; }
    float c2y() const { return points_.c2y; }
    const VTControlPoints& controlPoints() const { return points_; }

    // Index 0 gives (0, 0), 1 gives (c1x, c1y), 2 gives (c2x, c2y), 3 gives (1, 1), any other index
    // (negative ones included) gives (0, 0). The floats are widened to double.
    CGPoint controlPointAtIndex(int64_t index) const;
    // Index 1: c1x = x narrowed to float and raised to at least 0, c1y = y narrowed. Index 2: c2x =
    // x narrowed and lowered to at most 1, c2y = y narrowed. A NaN x becomes that bound. Any other
    // index logs "index error" and changes nothing. A real change of the point makes the type 6
    // ("Custom").
    void setControlPoint_atIndex(CGPoint point, int64_t index);

    // stringForAnimationType of the type.
    std::string description() const;
    std::string displayName() const { return description(); }

    // Equal when `other` is an instance of the receiver's class (or a subclass) with the same four
    // control-point floats (exact float comparison); the type is not compared. No object is not
    // equal.
    bool isEqual(const NSObject& other) const override;
    using NSObject::isEqual;  // the form that takes none
    // Agrees with isEqual: formed from the four floats only (0 and −0 hash alike).
    size_t hash() const override;

    // copyWithZone: — a new curve with the same type and the same four floats.
    std::shared_ptr<VTAnimationCurve> copy() const;

    // Keys "c1x", "c1y", "c2x", "c2y" (32-bit floats) and "type" (signed 64-bit). Decoding stores
    // the values as read: no clamping, no re-derivation of the points from the type.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  private:
    VTAnimationType type_ = 0;
    VTControlPoints points_{};
};

#pragma GCC visibility pop
