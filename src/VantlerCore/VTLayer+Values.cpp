// A layer's properties by number, as the catalogue names them: each read as one double and written
// from one, so that links, keyframes and archives treat every property alike. Colours travel
// packed, booleans and behaviours as whole numbers. Each write goes through the field's own set
// operation, so its limits and change notifications apply; the only limits applied here are those
// the double itself needs (behaviour numbers, the boolean thresholds, the media volume range).

#include <cmath>
#include <string>

#include "NSLog.h"
#include "VTLayer.h"

namespace {

// A behaviour number from a double: the nearest whole number (halves away from zero), below 0
// taken as 0 (none) and 4 or more as 3 (drag). NaN gives 0.
int64_t behaviorFromValue(double value) {
    const double rounded = std::round(value);
    if (!(rounded >= 0)) return 0;
    if (rounded >= 4) return 3;
    return static_cast<int64_t>(rounded);
}

// The volume narrowed to a float, raised to at least 0 (NaN too) and then lowered to at most 1.
float mediaVolumeFromValue(double value) {
    const float narrowed = static_cast<float>(value);
    const float raised = narrowed > 0.0f ? narrowed : 0.0f;
    return raised < 1.0f ? raised : 1.0f;
}

double fromBool(bool on) {
    return on ? 1.0 : 0.0;
}

void logUnreadable(VTValueType property) {
    NSLog("Unrecognized valueForType: " + std::to_string(property));
}

}  // namespace

double VTLayer::valueForProperty(VTValueType property) const {
    switch (property) {
        case kVTPropertyCenterX:
            return x();
        case kVTPropertyCenterY:
            return y();
        case kVTPropertyAngle:
            return angle();
        case kVTPropertyScale:
            return scale();
        case kVTPropertyWidth:
            return width();
        case kVTPropertyHeight:
            return height();
        case kVTPropertyOpacity:
            return opacity();
        case kVTPropertyFill:
            return doubleRepresentationOfCGColor(backgroundColor());
        case kVTPropertyScrollX:
            return contentOffsetX();
        case kVTPropertyScrollY:
            return contentOffsetY();
        case kVTPropertyHorizontalBehavior:
            return static_cast<double>(horizontalBehavior());
        case kVTPropertyMaskSublayers:
            return fromBool(masksToBounds());
        case kVTPropertyVerticalBehavior:
            return static_cast<double>(verticalBehavior());
        case kVTPropertyRadius:
            return radius();
        case kVTPropertyFontSize:
            return fontSize();
        case kVTPropertyStrokeWidth:
            return borderWidth();
        case kVTPropertyStrokeColor:
            return doubleRepresentationOfCGColor(borderColor());
        case kVTPropertyShadowX:
            return shadowOffsetX();
        case kVTPropertyShadowY:
            return shadowOffsetY();
        case kVTPropertyShadowBlur:
            return shadowRadius();
        case kVTPropertyShadowColor:
            return doubleRepresentationOfCGColor(shadowColor());
        case kVTPropertyAnchorX:
            return anchorPoint().x;
        case kVTPropertyAnchorY:
            return anchorPoint().y;
        case kVTPropertyMediaTime:
            return mediaTime();
        case kVTPropertyMediaPaused:
            return fromBool(mediaPaused());
        case kVTPropertyMediaVolume:
            return mediaVolume();
        default:
            // Media, text and the component screen have no numeric value; other numbers name
            // nothing.
            logUnreadable(property);
            return 0.0;
    }
}

void VTLayer::setValue_forType(double value, VTValueType property) {
    switch (property) {
        case kVTPropertyCenterX:
            setX(value);
            break;
        case kVTPropertyCenterY:
            setY(value);
            break;
        case kVTPropertyAngle:
            setAngle(value);
            break;
        case kVTPropertyScale:
            setScale(value);
            break;
        case kVTPropertyWidth:
            setWidth(value);
            break;
        case kVTPropertyHeight:
            setHeight(value);
            break;
        case kVTPropertyOpacity:
            setOpacity(static_cast<float>(value));
            break;
        case kVTPropertyFill:
            setBackgroundColor(CGColorCreateFromDouble(value));
            break;
        case kVTPropertyScrollX:
            setContentOffsetX(value);
            break;
        case kVTPropertyScrollY:
            setContentOffsetY(value);
            break;
        case kVTPropertyHorizontalBehavior:
            setHorizontalBehavior(behaviorFromValue(value));
            break;
        // The magnitude counts: −0.6 masks as 0.6 does.
        case kVTPropertyMaskSublayers:
            setMasksToBounds(std::fabs(value) > 0.5);
            break;
        case kVTPropertyVerticalBehavior:
            setVerticalBehavior(behaviorFromValue(value));
            break;
        case kVTPropertyRadius:
            setRadius(static_cast<float>(value));
            break;
        case kVTPropertyFontSize:
            setFontSize(value);
            break;
        case kVTPropertyStrokeWidth:
            setBorderWidth(value);
            break;
        case kVTPropertyStrokeColor:
            setBorderColor(CGColorCreateFromDouble(value));
            break;
        case kVTPropertyShadowX:
            setShadowOffsetX(value);
            break;
        case kVTPropertyShadowY:
            setShadowOffsetY(value);
            break;
        case kVTPropertyShadowBlur:
            setShadowRadius(value);
            break;
        case kVTPropertyShadowColor:
            setShadowColor(CGColorCreateFromDouble(value));
            break;
        case kVTPropertyAnchorX:
            setAnchorPoint({value, anchorPoint().y});
            break;
        case kVTPropertyAnchorY:
            setAnchorPoint({anchorPoint().x, value});
            break;
        case kVTPropertyMediaTime:
            setMediaTime(value);
            break;
        // The signed value counts: −0.6 plays.
        case kVTPropertyMediaPaused:
            setMediaPaused(value > 0.5);
            break;
        case kVTPropertyMediaVolume:
            setMediaVolume(mediaVolumeFromValue(value));
            break;
        case kVTPropertyNone:
        case kVTPropertyMedia:
        case kVTPropertyText:
        case kVTPropertyComponentArtboard:
            NSLog("Setting Unsupported property: " + std::to_string(property));
            break;
        default:
            // Unassigned numbers and numbers outside the catalogue are ignored without a word.
            break;
    }
}

void VTLayer::setShadowOffsetX(double x) {
    setShadowOffset({x, shadowOffset().height});
}

void VTLayer::setShadowOffsetY(double y) {
    setShadowOffset({shadowOffset().width, y});
}

void VTLayer::setContentOffsetX(double x) {
    setContentOffset({x, contentOffset().y});
}

void VTLayer::setContentOffsetY(double y) {
    setContentOffset({contentOffset().x, y});
}
