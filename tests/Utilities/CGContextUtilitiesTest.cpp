// The editor's inner shadow: darkest at the start of the axis, clear at its end, multiplied onto a
// coloured background, placed as NSGradient places an angle, and nothing outside the rectangle.

#include <gtest/gtest.h>

#include <cmath>

#include "../platform/CoreGraphics/ContextTestSupport.h"
#include "CGContext+Utilities.h"

using namespace ContextTestSupport;

namespace {

const RGBA kBackground{200, 100, 50, 255};

// The background under the shadow at location t of its axis (alpha 0.15 at 0, 0 at 1).
RGBA shadowed(double t) {
    const double kept = 1 - 0.15 * (1 - t);
    return {int(std::lround(kBackground.r * kept)), int(std::lround(kBackground.g * kept)),
            int(std::lround(kBackground.b * kept)), 255};
}

}  // namespace

TEST(CGContextDrawShadowInRect, FadesAcrossTheRectangleAtTheAngle) {
    // The rectangle x 20…80, y 20…60 (y up). Each probe: a pixel and its centre's location on the
    // axis, which runs through (50, 40) as long as the rectangle's extent along it.
    const struct {
        double angle;
        struct {
            int x, y;
            double t;
        } probes[3];
    } cases[] = {
        {0, {{20, 30, 0.0083}, {49, 30, 0.4917}, {79, 30, 0.9917}}},
        {90, {{50, 20, 0.0125}, {50, 39, 0.4875}, {50, 59, 0.9875}}},
        {270, {{50, 59, 0.0125}, {50, 40, 0.4875}, {50, 20, 0.9875}}},
        {45, {{20, 20, 0.01}, {49, 39, 0.49}, {79, 59, 0.99}}},  // corner to corner
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.angle);
        const CGContextRef context = nativeContext(100, 80);
        fillRect(context, CGRectMake(0, 0, 100, 80),
                 deviceColor(kBackground.r / 255.0, kBackground.g / 255.0, kBackground.b / 255.0));
        drawShadowInRect_angle(context, CGRectMake(20, 20, 60, 40), c.angle);
        EXPECT_EQ(CGContextGetGStateDepth(context), 0u);
        for (const auto& probe : c.probes) {
            const RGBA pixel = pixelUp(context, probe.x, probe.y);
            EXPECT_TRUE(near(pixel, shadowed(probe.t), 1))
                << probe.x << ", " << probe.y << ": " << pixel << " for " << shadowed(probe.t);
        }
        for (const auto& [x, y] : {std::pair{19, 30}, {80, 30}, {50, 19}, {50, 60}})
            EXPECT_EQ(pixelUp(context, x, y), kBackground) << x << ", " << y;
    }
}
