#pragma once
// The animation timing of one layer property: a timing curve with a delay, a duration and the
// spring parameters. A layer keeps one per property number under "animationInfo" and supplies curve
// type 7, delay 0, duration 0.3 for a property that has none.

#include <memory>
#include <string>

#include "NSObject.h"
#include "VTAnimationCurve.h"

#pragma GCC visibility push(default)  // exported from libVantler

class VTAnimationInfo : public NSObject {
  public:
    NS_CLASS_RECORD("VTAnimationInfo", NSObject::objcClass())

    static constexpr double kDefaultSpringConstant = 381.46844315;
    static constexpr double kDefaultSpringFriction = 20.165325;

    // The defaults: no curve, duration 0, delay 0, spring constant 381.46844315,
    // friction 20.165325.
    static std::shared_ptr<VTAnimationInfo> init();
    // init, then setDuration(duration), then setDelay(delay), then the curve is stored (kept, not
    // copied).
    static std::shared_ptr<VTAnimationInfo> initWithCurve_delay_duration(
        std::shared_ptr<VTAnimationCurve> curve, double delay, double duration);

    // The timing curve; none when never set.
    const std::shared_ptr<VTAnimationCurve>& curve() const { return curve_; }
    void setCurve(std::shared_ptr<VTAnimationCurve> curve) { curve_ = std::move(curve); }

    // Seconds, kept in whole hundredths and never negative: the setters store
    // max(round(value × 100) / 100, 0) with halves rounded away from zero; NaN stores 0, +infinity
    // stays.
    double duration() const { return duration_; }
    void setDuration(double duration);
    double delay() const { return delay_; }
    void setDelay(double delay);

    // Stored unchanged.
    double springConstant() const { return springConstant_; }
    void setSpringConstant(double value) { springConstant_ = value; }
    double springFriction() const { return springFriction_; }
    void setSpringFriction(double value) { springFriction_ = value; }

    // The duration, or 0 when there is no curve or its type is 0 ("No Animation").
    double visibleDuration() const;
    // delay + visibleDuration.
    double estimatedEndTime() const { return delay_ + visibleDuration(); }

    // Equal when `other` is an instance of the receiver's class (or a subclass) whose delay and
    // duration each differ from the receiver's by less than 0.0001 and whose curve is equal to the
    // receiver's (two infos without a curve count as equal). The spring values take no part. No
    // object is not equal.
    bool isEqual(const NSObject& other) const override;
    using NSObject::isEqual;  // the form that takes none
    // The curve's hash (0 without a curve) ^ trunc(duration × 100) ^ trunc(delay × 100), the
    // truncations to signed 64-bit saturating at its bounds and NaN giving 0.
    size_t hash() const override;

    // "%fs, %fs, %@" of the delay, the duration and the curve's description ("(null)" without a
    // curve): "0.000000s, 0.300000s, Default".
    std::string description() const;

    // copyWithZone: — a new info made by init with a copy of the curve (none stays none) and the
    // duration, delay, spring constant and spring friction copied as stored.
    std::shared_ptr<VTAnimationInfo> copy() const;

    // Writes "customCurve" (the curve object), "duration", "delay", "springConstant",
    // "springFriction" (doubles), in that order; never "curve". Reading starts from init's
    // defaults, takes "customCurve", else the legacy "curve" type, else "Ease Both", rounds
    // duration and delay as the setters do, and keeps the default spring for an absent key.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  private:
    std::shared_ptr<VTAnimationCurve> curve_;
    double duration_ = 0;
    double delay_ = 0;
    double springConstant_ = kDefaultSpringConstant;
    double springFriction_ = kDefaultSpringFriction;
};

#pragma GCC visibility pop
