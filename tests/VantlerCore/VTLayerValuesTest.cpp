#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "CGImageToData.h"
#include "LayerTestSupport.h"
#include "VTAnimationCurve.h"
#include "VTAnimationInfo.h"

using namespace layer_support;

namespace {

double packed(uint64_t bits) {
    return std::bit_cast<double>(bits);
}

// Every property with a numeric value, each with a value its setter stores unchanged and that no
// other property's default shares.
const std::pair<VTValueType, double> kStoredAsWritten[] = {
    // clang-format off
    {kVTPropertyCenterX, 3.5}, {kVTPropertyCenterY, -4.5}, {kVTPropertyAngle, 33},
    {kVTPropertyScale, 2.25}, {kVTPropertyWidth, 61}, {kVTPropertyHeight, 62},
    {kVTPropertyOpacity, 0.25}, {kVTPropertyFill, packed(0x11223344)}, {kVTPropertyScrollX, 7},
    {kVTPropertyScrollY, 8}, {kVTPropertyHorizontalBehavior, 3}, {kVTPropertyMaskSublayers, 1},
    {kVTPropertyVerticalBehavior, 2}, {kVTPropertyRadius, 9.5}, {kVTPropertyFontSize, 19},
    {kVTPropertyStrokeWidth, 2.5}, {kVTPropertyStrokeColor, packed(0x55667788)},
    {kVTPropertyShadowX, -3}, {kVTPropertyShadowY, 6}, {kVTPropertyShadowBlur, 11},
    {kVTPropertyShadowColor, packed(0x99aabbcc)}, {kVTPropertyAnchorX, 0.125},
    {kVTPropertyAnchorY, 0.875}, {kVTPropertyMediaTime, 12.75}, {kVTPropertyMediaPaused, 1},
    {kVTPropertyMediaVolume, 0.75},
    // clang-format on
};

std::vector<double> readAll(const VTLayer& layer) {
    std::vector<double> values;
    for (const auto& [property, value] : kStoredAsWritten)
        values.push_back(layer.valueForProperty(property));
    return values;
}

}  // namespace

// Each number reaches its own field: every value written reads back to the bit (colours packed),
// with every other property still holding its own.
TEST(VTLayerPropertyValues, EachNumberReachesItsField) {
    const auto layer = VTLayer::init();
    for (const auto& [property, value] : kStoredAsWritten) layer->setValue_forType(value, property);
    const auto actual = readAll(*layer);
    for (size_t i = 0; i < actual.size(); ++i) {
        SCOPED_TRACE(stringForValueType(kStoredAsWritten[i].first));
        EXPECT_EQ(std::bit_cast<uint64_t>(actual[i]),
                  std::bit_cast<uint64_t>(kStoredAsWritten[i].second));
    }
}

// Where the double needs a limit before the setter (the setters' own limits are the setters'
// tests): behaviours round and hold to 0 … 3, the mask threshold takes the magnitude, the pause
// threshold the sign, the volume holds to 0 … 1, the radius is a float.
TEST(VTLayerPropertyValues, LimitsOfTheDouble) {
    const struct {
        VTValueType property;
        double written, read;
    } cases[] = {
        {kVTPropertyHorizontalBehavior, 2.5, 3}, {kVTPropertyHorizontalBehavior, 2.4, 2},
        {kVTPropertyVerticalBehavior, 3.49, 3},  {kVTPropertyVerticalBehavior, -0.5, 0},
        {kVTPropertyVerticalBehavior, NAN, 0},   {kVTPropertyVerticalBehavior, 1e300, 3},
        {kVTPropertyMaskSublayers, -0.6, 1},     {kVTPropertyMaskSublayers, 0.5, 0},
        {kVTPropertyMediaPaused, -0.6, 0},       {kVTPropertyMediaPaused, 0.6, 1},
        {kVTPropertyMediaVolume, 1.7, 1},        {kVTPropertyMediaVolume, -0.2, 0},
        {kVTPropertyMediaVolume, NAN, 0},        {kVTPropertyRadius, 0.1, 0.1f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(stringForValueType(c.property) + " ← " + std::to_string(c.written));
        const auto layer = VTLayer::init();
        layer->setValue_forType(c.read == 1 ? 0 : 1, c.property);  // unlike what is expected
        layer->setValue_forType(c.written, c.property);
        EXPECT_EQ(layer->valueForProperty(c.property), c.read);
    }
}

// Numbers without a numeric value read as 0 with a log line; writes to none, media, text and the
// component screen are logged, writes to other numbers outside the catalogue are silent, and
// neither changes anything.
TEST(VTLayerPropertyValues, NumbersWithoutAValue) {
    const auto layer = VTLayer::init();
    const auto before = readAll(*layer);
    test::LogCapture log;
    for (const VTValueType n : {0, 8, 30, 31, 35, 38, -1}) EXPECT_EQ(layer->valueForProperty(n), 0);
    for (const VTValueType n : {0, 8, 13, 30, 31, 35, 40, -1}) layer->setValue_forType(1, n);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "Unrecognized valueForType: 0", "Unrecognized valueForType: 8",
                  "Unrecognized valueForType: 30", "Unrecognized valueForType: 31",
                  "Unrecognized valueForType: 35", "Unrecognized valueForType: 38",
                  "Unrecognized valueForType: -1", "Setting Unsupported property: 0",
                  "Setting Unsupported property: 30", "Setting Unsupported property: 31",
                  "Setting Unsupported property: 35"}));
    EXPECT_EQ(readAll(*layer), before);
}

// A property without timing of its own animates with the default curve over 0.3 s, made anew and
// not kept; storing none removes a property's own.
TEST(VTLayerAnimationTiming, DefaultIsNotStored) {
    const auto layer = VTLayer::init();
    layer->setAnimationInfo_forProperty(VTAnimationInfo::init(), kVTPropertyAngle);
    layer->setAnimationInfo_forProperty(nullptr, kVTPropertyAngle);
    const auto timing = layer->animationInfoForProperty(kVTPropertyAngle);
    ASSERT_TRUE(timing->curve());
    EXPECT_EQ(timing->curve()->type(), 7);
    EXPECT_EQ(timing->duration(), 0.3);
    EXPECT_EQ(timing->delay(), 0);
    EXPECT_TRUE(layer->animationInfo().empty());
    EXPECT_NE(layer->animationInfoForProperty(kVTPropertyAngle), timing);
}

// The corner radius fits half the shorter side, cut to whole points; a border without colour draws
// black, a transparent one shows nothing; a shadow shows once it has a colour, never on a screen.
TEST(VTLayerVisibleValues, RadiusBorderAndShadow) {
    const ComponentScreen component({30, 21.6});
    const auto layer = VTLayer::init();
    layer->setComponentScreen(component.screen);
    const std::pair<float, double> radii[] = {{50, 10.5}, {4, 4}};
    for (const auto& [radius, visible] : radii) {
        layer->setRadius(radius);
        EXPECT_EQ(layer->visibleRadius(), visible);
    }
    layer->setBorderWidth(1);
    EXPECT_TRUE(layer->hasVisibleBorder());
    EXPECT_TRUE(CGColorEqualToColor(layer->visibleBorderColor(), CGColorCreateSRGB(0, 0, 0, 1)));
    layer->setBorderColor(CGColorCreateSRGB(1, 0, 0, 0));
    EXPECT_FALSE(layer->hasVisibleBorder());

    EXPECT_FALSE(layer->hasVisibleShadow());
    EXPECT_EQ(CGColorGetAlpha(layer->visibleShadowColor()), 0);
    layer->setShadowColor(CGColorCreateSRGB(0, 0, 0, 0.3));
    EXPECT_TRUE(layer->hasVisibleShadow());
    component.screen->setShadowColor(layer->shadowColor());
    EXPECT_FALSE(component.screen->hasVisibleShadow());
}
