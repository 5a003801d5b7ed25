// Gradients and blend modes on bitmaps, and on PDF and SVG pages as their readers show them.

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "ContextTestSupport.h"
#include "VectorPageTestSupport.h"

using namespace ContextTestSupport;

namespace {

const CGColorRef kOpaqueRed = deviceColor(1, 0, 0);
const CGColorRef kOpaqueBlue = deviceColor(0, 0, 1);
const CGColorRef kYellowColor = deviceColor(1, 1, 0);
const CGColorRef kMagentaColor = deviceColor(1, 0, 1);
const RGBA kYellow{255, 255, 0, 255}, kMagenta{255, 0, 255, 255};

CGGradientRef redToBlue() {
    const CGColorRef colors[] = {kOpaqueRed, kOpaqueBlue};
    return CGGradientCreateWithColors(CGColorSpaceCreateDeviceRGB(), colors);
}

// Red to blue at location t of the axis.
RGBA between(double t) {
    return {int(255 * (1 - t) + 0.5), 0, int(255 * t + 0.5), 255};
}

}  // namespace

// What cannot be a gradient is refused; ends that coincide or are not finite paint nothing.
TEST(CGGradient, WhatCannotBeAGradientIsRefusedOrPaintsNothing) {
    const CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    const CGColorRef two[] = {kOpaqueRed, kOpaqueBlue};
    const CGColorRef withNone[] = {kOpaqueRed, nullptr};
    const CGFloat oneLocation[] = {0.5};
    const CGFloat twoLocations[] = {0.2, 0.8};
    EXPECT_NE(CGGradientCreateWithColors(rgb, two), nullptr);
    EXPECT_NE(CGGradientCreateWithColors(rgb, two, twoLocations), nullptr);
    EXPECT_NE(CGGradientCreateWithColors(CGColorSpaceCreateDeviceGray(), two), nullptr);
    EXPECT_EQ(CGGradientCreateWithColors(nullptr, two), nullptr);
    EXPECT_EQ(CGGradientCreateWithColors(rgb, {}), nullptr);
    EXPECT_EQ(CGGradientCreateWithColors(rgb, withNone), nullptr);
    EXPECT_EQ(CGGradientCreateWithColors(rgb, two, oneLocation), nullptr);
    const CGContextRef context = nativeContext(10, 10);
    const CGGradientDrawingOptions both =
        kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation;
    for (const auto& [start, end] : std::vector<std::pair<CGPoint, CGPoint>>{
             {{5, 5}, {5, 5}}, {{NAN, 5}, {9, 5}}, {{0, 5}, {INFINITY, 5}}})
        CGContextDrawLinearGradient(context, redToBlue(), start, end, both);
    CGContextDrawLinearGradient(context, nullptr, CGPointMake(0, 0), CGPointMake(9, 9), both);
    EXPECT_EQ(inkIn(context, 0, 0, 10, 10), 0u);
}

// An axis at 45° from (30, 30) to (70, 70): each point takes the colour of its projection onto
// the axis; before its start and past its end only the options paint.
TEST(CGGradient, LinearGradientPaintsAlongItsAxisAndBeyondItsEndsOnlyWhenAsked) {
    const struct {
        int x, y;
        double t;  // the pixel centre's projection onto the axis
    } probes[] = {{50, 50, 0.5125}, {70, 30, 0.5125}, {5, 45, -0.1125}, {95, 55, 1.1375}};
    for (const CGGradientDrawingOptions options :
         {0u, kCGGradientDrawsBeforeStartLocation, kCGGradientDrawsAfterEndLocation,
          kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation}) {
        SCOPED_TRACE(options);
        const CGContextRef context = nativeContext(100, 100);
        CGContextDrawLinearGradient(context, redToBlue(), CGPointMake(30, 30), CGPointMake(70, 70),
                                    options);
        for (const auto& probe : probes) {
            SCOPED_TRACE(testing::Message() << probe.x << ", " << probe.y);
            RGBA expected = between(probe.t);
            if (probe.t < 0)
                expected = options & kCGGradientDrawsBeforeStartLocation ? kRed : kClear;
            if (probe.t > 1) expected = options & kCGGradientDrawsAfterEndLocation ? kBlue : kClear;
            EXPECT_TRUE(near(pixelUp(context, probe.x, probe.y), expected, 2))
                << pixelUp(context, probe.x, probe.y) << " for " << expected;
        }
    }
}

TEST(CGGradient, LinearGradientWithLocationsAndTheClip) {
    const CGColorRef colors[] = {kOpaqueRed, kOpaqueBlue};
    const CGFloat locations[] = {0.5, 0.5};  // a hard edge halfway
    const CGContextRef context = nativeContext(100, 10);
    CGContextClipToRect(context, CGRectMake(0, 0, 80, 10));
    CGContextDrawLinearGradient(
        context, CGGradientCreateWithColors(CGColorSpaceCreateDeviceRGB(), colors, locations),
        CGPointMake(0, 0), CGPointMake(100, 0), kCGGradientDrawsAfterEndLocation);
    EXPECT_EQ(pixelUp(context, 40, 5), kRed);
    EXPECT_EQ(pixelUp(context, 60, 5), kBlue);
    EXPECT_EQ(pixelUp(context, 90, 5), kClear);
}

// Magenta multiplied onto yellow is red; painted over it, magenta. A shape with an alpha or a
// shadow, and a transparency layer, are blended as a whole. The mode is kept in the graphics state.
TEST(CGBlendMode, MultiplyBlendsEveryWayOfPainting) {
    const CGContextRef context = nativeContext(100, 20);
    fillRect(context, CGRectMake(0, 0, 100, 20), kYellowColor);
    {
        CGContextGStateScope state(context);
        CGContextSetBlendMode(context, kCGBlendModeMultiply);
        fillRect(context, CGRectMake(0, 0, 10, 10), kMagentaColor);
        CGContextSaveGState(context);
        CGContextSetAlpha(context, 0.5);
        fillRect(context, CGRectMake(20, 0, 10, 10), kMagentaColor);
        CGContextRestoreGState(context);
        CGContextSaveGState(context);
        CGContextSetShadowWithColor(context, CGSizeMake(0, 10), 0, kOpaqueBlue);
        fillRect(context, CGRectMake(40, 0, 10, 10), kMagentaColor);
        CGContextRestoreGState(context);
        CGContextBeginTransparencyLayer(context, nullptr);
        fillRect(context, CGRectMake(60, 0, 10, 10), deviceColor(0, 1, 1));
        fillRect(context, CGRectMake(60, 0, 10, 10), kMagentaColor);  // Normal inside the layer
        CGContextEndTransparencyLayer(context);
        CGContextSetBlendMode(context, CGBlendMode(99));  // not a blend mode: ignored
        fillRect(context, CGRectMake(80, 0, 5, 10), kMagentaColor);
    }
    fillRect(context, CGRectMake(90, 0, 10, 10), kMagentaColor);

    EXPECT_EQ(pixelUp(context, 5, 5), kRed);
    EXPECT_TRUE(near(pixelUp(context, 25, 5), {255, 128, 0, 255}, 1)) << pixelUp(context, 25, 5);
    EXPECT_EQ(pixelUp(context, 45, 5), kRed);
    EXPECT_EQ(pixelUp(context, 45, 15), (RGBA{0, 0, 0, 255}));  // the blue shadow on yellow
    EXPECT_EQ(pixelUp(context, 65, 5), kRed);
    EXPECT_EQ(pixelUp(context, 82, 5), kRed);
    EXPECT_EQ(pixelUp(context, 87, 5), kYellow);
    EXPECT_EQ(pixelUp(context, 95, 5), kMagenta);
}

// The same drawing on a bitmap, a PDF page and an SVG page: a multiplied square and a gradient
// without its ends extended.
TEST(CGGradient, GradientAndMultiplyOnVectorPages) {
    const CGRect page = CGRectMake(0, 0, 100, 50);
    const auto draw = [&](const CGContextRef& context) {
        ASSERT_NE(context, nullptr);
        fillRect(context, CGRectMake(0, 0, 50, 50), kYellowColor);
        CGContextSetBlendMode(context, kCGBlendModeMultiply);
        fillRect(context, CGRectMake(10, 10, 30, 30), kMagentaColor);
        CGContextSetBlendMode(context, kCGBlendModeNormal);
        CGContextDrawLinearGradient(context, redToBlue(), CGPointMake(60, 25), CGPointMake(90, 25),
                                    0);
        CGPDFContextClose(context);
    };
    std::vector<uint8_t> pdf, svg;
    const CGContextRef bitmap = nativeContext(100, 50);
    draw(bitmap);
    draw(CGPDFContextCreateWithData(&pdf, page));
    draw(CGSVGContextCreateWithData(&svg, page));
    using namespace VectorPageTestSupport;
    const struct {
        const char* name;
        CGContextRef picture;
    } pictures[] = {
        {"bitmap", bitmap},
        {"PDF", nativePicture(100, 50, [&](cairo_t* cairo) { drawPDFPage(cairo, pdf); })},
        {"SVG",
         nativePicture(100, 50, [&](cairo_t* cairo) { drawSVGDocument(cairo, svg, 100, 50); })},
    };
    for (const auto& [name, picture] : pictures) {
        SCOPED_TRACE(name);
        for (const auto& [x, y, expected] :
             std::vector<std::tuple<int, int, RGBA>>{{25, 25, kRed},
                                                     {5, 5, kYellow},
                                                     {75, 25, between(0.5167)},
                                                     {55, 25, kClear},
                                                     {95, 25, kClear}})
            EXPECT_TRUE(near(pixelUp(picture, x, y), expected, 4))
                << x << ", " << y << ": " << pixelUp(picture, x, y) << " for " << expected;
    }
}
