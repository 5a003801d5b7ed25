// The animation timing a layer keeps per property number, and the timing of a property that has
// none of its own.

#include "VTAnimationCurve.h"
#include "VTAnimationInfo.h"
#include "VTLayer.h"

namespace {

// Curve type 7 ("Default") over 0.3 seconds without delay: how a property animates until the
// user chooses otherwise.
constexpr VTAnimationType kUnsetCurveType = 7;
constexpr double kUnsetDuration = 0.3;

}  // namespace

void VTLayer::setAnimationInfo_forProperty(std::shared_ptr<VTAnimationInfo> info,
                                           VTValueType property) {
    if (info)
        animationInfo_[property] = std::move(info);
    else
        animationInfo_.erase(property);
}

std::shared_ptr<VTAnimationInfo> VTLayer::animationInfoForProperty(VTValueType property) const {
    if (const auto found = animationInfo_.find(property);
        found != animationInfo_.end() && found->second)
        return found->second;
    // Made anew each time and not kept: the layer's timing table stays as the document has it.
    return VTAnimationInfo::initWithCurve_delay_duration(
        VTAnimationCurve::curveWithType(kUnsetCurveType), 0.0, kUnsetDuration);
}
