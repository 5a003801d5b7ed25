#include "VTAnimationInfo.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "NSCoder.h"

namespace {

// Whole hundredths, halves away from zero (std::round), never negative. The comparison
// form also turns NaN and −0 into +0.
double roundToHundredths(double value) {
    const double rounded = std::round(value * 100) / 100;
    return rounded > 0 ? rounded : 0.0;
}

// A double truncated toward zero to signed 64-bit, as the hash needs it. C++ leaves out-of-range
// conversions undefined; these saturate and NaN gives 0 (what the platform's arm64 conversion
// does).
int64_t truncateToInt64(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 0x1p63) return INT64_MAX;
    if (value < -0x1p63) return INT64_MIN;
    return static_cast<int64_t>(value);
}

std::string formatSeconds(double seconds) {
    // "%f" of a huge value can need over 300 characters; ask for the length first.
    const int length = std::snprintf(nullptr, 0, "%fs", seconds);
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, "%fs", seconds);
    return text;
}

}  // namespace

std::shared_ptr<VTAnimationInfo> VTAnimationInfo::init() {
    return std::make_shared<VTAnimationInfo>();
}

std::shared_ptr<VTAnimationInfo> VTAnimationInfo::initWithCurve_delay_duration(
    std::shared_ptr<VTAnimationCurve> curve, double delay, double duration) {
    auto info = init();
    info->setDuration(duration);
    info->setDelay(delay);
    info->curve_ = std::move(curve);
    return info;
}

void VTAnimationInfo::setDuration(double duration) {
    duration_ = roundToHundredths(duration);
}

void VTAnimationInfo::setDelay(double delay) {
    delay_ = roundToHundredths(delay);
}

double VTAnimationInfo::visibleDuration() const {
    if (!curve_ || curve_->type() == 0) return 0;
    return duration_;
}

bool VTAnimationInfo::isEqual(const NSObject& other) const {
    // Times agree within a ten-thousandth; two curves agree when both are none or equal.
    if (!isKindOfClass(other, classForKeyedArchiver())) return false;
    const auto* info = dynamic_cast<const VTAnimationInfo*>(&other);
    if (!info) return false;
    if (!(std::fabs(info->delay_ - delay_) < 0.0001)) return false;
    if (!(std::fabs(info->duration_ - duration_) < 0.0001)) return false;
    if (!info->curve_ || !curve_) return !info->curve_ && !curve_;
    return info->curve_->isEqual(*curve_);
}

size_t VTAnimationInfo::hash() const {
    const uint64_t curveHash = curve_ ? static_cast<uint64_t>(curve_->hash()) : 0;
    return static_cast<size_t>(curveHash ^ static_cast<uint64_t>(truncateToInt64(duration_ * 100)) ^
                               static_cast<uint64_t>(truncateToInt64(delay_ * 100)));
}

std::string VTAnimationInfo::description() const {
    return formatSeconds(delay_) + ", " + formatSeconds(duration_) + ", " +
           (curve_ ? curve_->description() : std::string("(null)"));
}

std::shared_ptr<VTAnimationInfo> VTAnimationInfo::copy() const {
    auto info = init();
    info->curve_ = curve_ ? curve_->copy() : nullptr;
    info->duration_ = duration_;
    info->delay_ = delay_;
    info->springConstant_ = springConstant_;
    info->springFriction_ = springFriction_;
    return info;
}

void VTAnimationInfo::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObject_forKey(curve_, "customCurve");
    coder.encodeDouble_forKey(duration_, "duration");
    coder.encodeDouble_forKey(delay_, "delay");
    coder.encodeDouble_forKey(springConstant_, "springConstant");
    coder.encodeDouble_forKey(springFriction_, "springFriction");
}

bool VTAnimationInfo::initWithCoder(NSCoder& coder) {
    // The defaults of init first.
    curve_ = nullptr;
    duration_ = 0;
    delay_ = 0;
    springConstant_ = kDefaultSpringConstant;
    springFriction_ = kDefaultSpringFriction;
    // "customCurve", else the legacy "curve" type (read, never written), else "Ease Both".
    std::shared_ptr<VTAnimationCurve> curve;
    if (coder.containsValueForKey("customCurve"))
        curve = coder.decodeObjectOfClass_forKey<VTAnimationCurve>("customCurve");
    else if (coder.containsValueForKey("curve"))
        curve = VTAnimationCurve::curveWithType(coder.decodeInt64ForKey("curve"));
    curve_ = curve ? std::move(curve) : VTAnimationCurve::curveWithType(3);
    // Through the setters, so both come to whole hundredths and at least 0.
    setDuration(coder.decodeDoubleForKey("duration"));
    setDelay(coder.decodeDoubleForKey("delay"));
    // An absent spring key keeps the default.
    if (coder.containsValueForKey("springConstant"))
        springConstant_ = coder.decodeDoubleForKey("springConstant");
    if (coder.containsValueForKey("springFriction"))
        springFriction_ = coder.decodeDoubleForKey("springFriction");
    return true;
}
