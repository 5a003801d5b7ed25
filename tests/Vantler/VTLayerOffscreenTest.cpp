#include <gtest/gtest.h>

#include <limits>

#include "DrawingTestSupport.h"
#include "VTLayer+Offscreen.h"

namespace {

using namespace drawing_support;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A red layer with a blue sublayer over its top-left 10 × 10 points.
LayerPlan redLayer(double width, double height) {
    return {.frame = {{0, 0}, {width, height}},
            .fill = kRed,
            .sublayers = {{.frame = {{0, 0}, {10, 10}}, .fill = kBlue}}};
}

// The bitmap's size and probes (x, y from the top) as RGBA, or "no bitmap" for a width of 0.
struct Expected {
    size_t width, height;
    std::vector<std::tuple<size_t, size_t, RGBA>> probes;
};
void expectBitmap(const CGImageRef& image, const Expected& expected) {
    ASSERT_EQ(bool(image), expected.width > 0);
    if (!image) return;
    ASSERT_EQ(CGImageGetWidth(image), expected.width);
    ASSERT_EQ(CGImageGetHeight(image), expected.height);
    const CGContextRef context = bitmapContext(expected.width, expected.height);
    CGContextDrawImage(context, CGRectMake(0, 0, expected.width, expected.height), image);
    for (const auto& [x, y, colour] : expected.probes)
        EXPECT_PRED2(samePixel, pixelAt(context, x, y), colour) << x << ", " << y;
}

TEST(VTLayerOffscreen, BoundsFitCentredIntoTheBitmap) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        LayerPlan layer;
        CGSize pixels;
        CGRect bounds;
        bool drawSublayers;
        Expected bitmap;
    } cases[] = {
        // clang-format off
        {redLayer(100, 50), {200, 200}, {{0, 0}, {100, 50}}, true, {200, 200, {{100, 49, kClear}, {19, 50, kBlue}, {20, 70, kRed}, {199, 149, kRed}, {100, 150, kClear}}}},
        {redLayer(50, 100), {200, 200}, {{0, 0}, {50, 100}}, true, {200, 200, {{49, 100, kClear}, {50, 0, kBlue}, {149, 199, kRed}, {150, 100, kClear}}}},
        {redLayer(20, 10), {40, 20}, {{0, 0}, {20, 10}}, false, {40, 20, {{0, 0, kRed}, {39, 19, kRed}}}},
        // Rounded up; flipped by the requested height: a fifth of the top row and last column.
        {redLayer(100, 100), {100.2, 100.2}, {{0, 0}, {100, 100}}, false, {101, 101, {{50, 100, kRed}, {100, 50, {51, 0, 0, 51}}, {50, 0, {51, 0, 0, 51}}}}},
        // Bounds without a size fit 10 x 10, or the image's pixels, around their origin.
        {redLayer(5, 5), {20, 20}, {{0, 0}, {0, 0}}, false, {20, 20, {{5, 5, kClear}, {15, 5, kClear}, {15, 15, kRed}}}},
        {{.frame = {{0, 0}, {2, 2}}, .image = true}, {20, 20}, {{0, 0}, {0, 0}}, false, {20, 20, {{5, 5, kClear}, {17, 17, kRed}}}},
        {redLayer(1, 1), {8, 8}, {{kNaN, 0}, {kNaN, inf}}, true, {8, 8}},
        // None, at once: a side not above 0, or beyond what a bitmap holds.
        {redLayer(1e9, 1e9), {1e9, 1e9}, {{0, 0}, {1e9, 1e9}}, true, {0, 0}},
        {redLayer(1, 1), {4e9, 1}, {}, true, {0, 0}}, {redLayer(1, 1), {10, inf}, {}, true, {0, 0}},
        {redLayer(1, 1), {kNaN, 10}, {}, true, {0, 0}}, {redLayer(1, 1), {10, 0}, {}, true, {0, 0}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pixels.width << " x " << c.pixels.height);
        expectBitmap(CreateCGImageWithPixelSize_bounds_drawSublayers(*build(c.layer), c.pixels,
                                                                     c.bounds, c.drawSublayers),
                     c.bitmap);
    }
}

// The platform image is the bitmap of point size × scale, measured in points; the layer's own
// rectangle is shown whatever its content offset.
TEST(VTLayerOffscreen, PlatformImages) {
    auto plan = redLayer(50, 25);
    plan.contentOffset = {10, 10};
    const auto layer = build(plan);
    const auto image = imageWithPointSize_drawSublayers_scale(*layer, {50, 25}, false, 2);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), CGSizeMake(50, 25));
    expectBitmap(NSImageCGImage(*image), {100, 50, {{0, 0, kRed}, {99, 49, kRed}}});
    for (const double scale : {0.0, kNaN})
        EXPECT_FALSE(imageWithPointSize_drawSublayers_scale(*layer, {50, 25}, true, scale));
}

// Named after the layer without the characters file systems refuse, numbered when taken; a write
// that fails still answers the path.
TEST(VTLayerExport, NamedAfterTheLayerAndUnique) {
    test::ScratchDirectory scratch;
    const std::string folder = scratch.path(), missing = folder + "/missing";
    const auto layer = build(redLayer(30, 20));
    const std::tuple<std::string, std::string, std::string, bool> exports[] = {
        {"a/b:c?", folder, "/ab:c.png", true},    {"a/b:c?", folder, "/ab:c 2.png", true},
        {"a/b:c?", folder, "/ab:c 3.png", true},  {"/\\?%*|\"<>", folder, "/.png", true},
        {"/\\?%*|\"<>", folder, "/ 2.png", true}, {"x", missing, "/x.png", false},
    };
    for (const auto& [name, directory, path, written] : exports) {
        layer->setName(name);
        const auto file = writePNGToDirectory(*layer, directory);
        EXPECT_EQ(file.path, directory + path);
        EXPECT_EQ(file.written, written);
        EXPECT_EQ(std::filesystem::exists(file.path), written) << path;
    }
    EXPECT_EQ(renderToDirectory(*layer, missing), missing + "/x.png");
    const CGContextRef picture = pictureOfPNG(test::readFile(folder + "/ab:c 3.png"));
    EXPECT_EQ(CGBitmapContextGetWidth(picture), 30u);
    EXPECT_EQ(CGBitmapContextGetHeight(picture), 20u);
    EXPECT_EQ(pixelAt(picture, 9, 9), kBlue);
}

}  // namespace
