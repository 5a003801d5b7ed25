#pragma once
// What the drawing tests share: layer trees written as data (LayerPlan) and built into layers,
// bitmap contexts and their pixels, and pictures compared with reference images.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../VantlerCore/LayerTestSupport.h"
#include "../platform/CoreGraphics/ContextTestSupport.h"
#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImageToData.h"
#include "NSData.h"
#include "VTImage.h"

namespace drawing_support {

using ContextTestSupport::kBlack;
using ContextTestSupport::kBlue;
using ContextTestSupport::kClear;
using ContextTestSupport::kRed;
using ContextTestSupport::kWhite;
using ContextTestSupport::RGBA;
// Mid-tones, so that a colour off by a channel's rounding still reads as itself.
inline const RGBA kGreen{0, 153, 0, 255}, kGrey{153, 153, 153, 255};

inline CGColorRef colorOf(const RGBA& c) {
    return CGColorCreateSRGB(c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
}

// Four pixels, red, green / blue, black, drawn without smoothing so that a stretch stays sharp.
inline CGImageRef quadrantImage() {
    std::vector<uint8_t> rgba{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 0, 0, 0, 255};
    return CGImageCreate(2, 2, 8, 32, 8, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                         kCGImageAlphaLast,
                         CGDataProviderCreateWithCFData(NSData::dataWithVector(rgba)), nullptr,
                         false, kCGRenderingIntentDefault);
}

// A layer of a tree: its frame in the parent's space (the position of its anchor point, which is
// its top-left corner unless said otherwise, and its size), and what differs from a new layer.
struct LayerPlan {
    CGRect frame{};
    RGBA fill = kClear;
    bool screen = false;  // a white screen (frame's size) instead of a layer
    CGPoint anchor{};
    double angle = 0, scale = 1, radius = 0, border = 0;
    std::optional<RGBA> borderColour;
    float opacity = 1;
    bool masks = false, hidden = false;
    CGPoint contentOffset{};
    std::optional<CGRect> shadow;  // offset (x, y), radius (width), in opaque black
    std::optional<std::string> text, font;
    int64_t alignment = 0;
    bool image = false;                          // quadrantImage, stretched
    std::shared_ptr<const LayerPlan> component;  // an instance of the screen this plan makes
    std::vector<LayerPlan> sublayers;
};

// Builds plans into layers; instances of one component plan share one screen.
class TreeBuilder {
  public:
    std::shared_ptr<VTLayer> build(const LayerPlan& plan) {
        std::shared_ptr<VTLayer> layer = plan.screen ? screenOf(plan) : layerOf(plan);
        for (const auto& sublayer : plan.sublayers) layer->addSublayer(build(sublayer));
        return layer;
    }

  private:
    std::shared_ptr<VTLayer> screenOf(const LayerPlan& plan) {
        auto screen = VTScreen::initWithCanvasName_size("Screen", plan.frame.size);
        screen->setPrototype(prototype_);
        if (plan.fill != kClear) screen->setBackgroundColor(colorOf(plan.fill));
        return screen;
    }
    std::shared_ptr<VTLayer> layerOf(const LayerPlan& plan) {
        auto layer = plan.text ? VTLayer::textLayer() : VTLayer::init();
        if (plan.component) {
            auto& screen = components_[plan.component.get()];
            if (!screen) screen = std::static_pointer_cast<VTScreen>(build(*plan.component));
            layer = screen->createComponentInstance();
        }
        layer->setAnchorPoint(plan.anchor);
        layer->setPosition(plan.frame.origin);
        layer->setSize(plan.frame.size);
        if (plan.fill != kClear || !plan.text) layer->setBackgroundColor(colorOf(plan.fill));
        layer->setAngle(plan.angle);
        layer->setScale(plan.scale);
        layer->setRadius(float(plan.radius));
        layer->setBorderWidth(plan.border);
        if (plan.borderColour) layer->setBorderColor(colorOf(*plan.borderColour));
        layer->setOpacity(plan.opacity);
        layer->setMasksToBounds(plan.masks);
        layer->setHidden(plan.hidden);
        layer->setContentOffset(plan.contentOffset);
        if (plan.shadow) {
            layer->setShadowColor(colorOf(kBlack));
            layer->setShadowOffset({plan.shadow->origin.x, plan.shadow->origin.y});
            layer->setShadowRadius(plan.shadow->size.width);
        }
        if (plan.text) {
            layer->setText(*plan.text);
            layer->setFontSize(12);
            layer->setFontFamily(plan.font.value_or("Helvetica"));
            layer->setTextAlignment(plan.alignment);
        }
        if (plan.image) {
            auto image = VTImage::init();
            image->_setCGImage(quadrantImage());
            layer->setImage(image);
        }
        return layer;
    }

    std::shared_ptr<VTPrototype> prototype_ = VTPrototype::init();
    std::map<const LayerPlan*, std::shared_ptr<VTScreen>> components_;
};

inline std::shared_ptr<VTLayer> build(const LayerPlan& plan) {
    return TreeBuilder().build(plan);
}

// w × h pixels, RGBA premultiplied, sRGB, transparent: the format of offscreen layer pictures.
inline CGContextRef bitmapContext(size_t width, size_t height) {
    return CGBitmapContextCreate(nullptr, width, height, 8, 0,
                                 CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                                 kCGImageAlphaPremultipliedLast);
}

// The premultiplied pixel at column x, row y (row 0 at the top) of a bitmapContext.
inline RGBA pixelAt(const CGContextRef& context, size_t x, size_t y) {
    const auto* p = static_cast<const uint8_t*>(CGBitmapContextGetData(context)) +
                    y * CGBitmapContextGetBytesPerRow(context) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

// Anti-aliased edges and colour matching may round differently from one cairo or lcms2 to the
// next; a real change moves a channel by far more.
inline constexpr int kChannelTolerance = 3;

// A picture as it reads back from PNG bytes: premultiplied R G B A rows.
inline CGContextRef pictureOfPNG(const std::vector<uint8_t>& png) {
    const CGImageRef image = CGImageCreateFromPNGData(NSData::dataWithVector(png));
    const CGContextRef picture = bitmapContext(CGImageGetWidth(image), CGImageGetHeight(image));
    CGContextDrawImage(picture, CGRectMake(0, 0, CGImageGetWidth(image), CGImageGetHeight(image)),
                       image);
    return picture;
}

inline bool samePixel(const RGBA& a, const RGBA& b) {
    return ContextTestSupport::near(a, b, kChannelTolerance);
}

// Expected | diff (red where pixels differ) | actual, as PNG bytes; both pictures of one size.
inline std::vector<uint8_t> comparisonPNG(const CGContextRef& expected,
                                          const CGContextRef& actual) {
    const size_t width = CGBitmapContextGetWidth(actual), height = CGBitmapContextGetHeight(actual);
    const CGContextRef sheet = bitmapContext(3 * width, height);
    const CGRect panel = CGRectMake(0, 0, width, height);
    CGContextDrawImage(sheet, panel, CGBitmapContextCreateImage(expected));
    CGContextDrawImage(sheet, CGRectOffset(panel, 2 * width, 0),
                       CGBitmapContextCreateImage(actual));
    CGContextSetFillColorWithColor(sheet, colorOf(kRed));
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x)
            if (!samePixel(pixelAt(expected, x, y), pixelAt(actual, x, y)))
                CGContextFillRect(sheet, CGRectMake(width + x, height - 1 - y, 1, 1));
    const auto png = CGImageConvertToPNGData(CGBitmapContextCreateImage(sheet));
    return {png->span().begin(), png->span().end()};
}

// How far a picture may stray from its reference: the averages of blocks of `block` × `block`
// pixels are compared, channels within `channel` count as the same, and `share` of the blocks may
// differ beyond that.
struct Tolerance {
    int channel = kChannelTolerance;
    double share = 0;
    size_t block = 1;
};

// The average of the block of `size` × `size` pixels whose top-left pixel is (x, y), cut at the
// picture's edges.
inline RGBA blockAverage(const CGContextRef& picture, size_t x, size_t y, size_t size) {
    const size_t right = std::min(x + size, size_t(CGBitmapContextGetWidth(picture)));
    const size_t bottom = std::min(y + size, size_t(CGBitmapContextGetHeight(picture)));
    int sum[4] = {0, 0, 0, 0}, count = 0;
    for (size_t row = y; row < bottom; ++row)
        for (size_t column = x; column < right; ++column, ++count) {
            const RGBA p = pixelAt(picture, column, row);
            sum[0] += p.r, sum[1] += p.g, sum[2] += p.b, sum[3] += p.a;
        }
    return {sum[0] / count, sum[1] / count, sum[2] / count, sum[3] / count};
}

// Whether `picture` (RGBA, as pictureOfPNG makes) matches the reference picture `name`. On failure
// expected | diff | actual goes to render-failures/<name><suffix>.png in the build folder.
inline ::testing::AssertionResult matchesPicture(const CGContextRef& picture,
                                                 const std::string& name,
                                                 const std::string& suffix = "",
                                                 Tolerance tolerance = {}) {
    const auto reference = test::dataDir() / "render" / (name + ".png");
    const CGContextRef expected = pictureOfPNG(test::readFile(reference));
    const size_t width = CGBitmapContextGetWidth(picture);
    const size_t height = CGBitmapContextGetHeight(picture);
    if (CGBitmapContextGetWidth(expected) != width || CGBitmapContextGetHeight(expected) != height)
        return ::testing::AssertionFailure() << reference << " has another size";
    size_t differing = 0, blocks = 0;
    const size_t block = tolerance.block;
    for (size_t y = 0; y < height; y += block)
        for (size_t x = 0; x < width; x += block, ++blocks)
            differing +=
                !ContextTestSupport::near(blockAverage(expected, x, y, block),
                                          blockAverage(picture, x, y, block), tolerance.channel);
    if (double(differing) <= tolerance.share * double(blocks)) return ::testing::AssertionSuccess();
    const auto sheet =
        std::filesystem::path(VANTLER_BUILD_DIR) / "render-failures" / (name + suffix + ".png");
    std::filesystem::create_directories(sheet.parent_path());
    test::writeFile(sheet, comparisonPNG(expected, picture));
    return ::testing::AssertionFailure() << differing << " of " << blocks << " blocks differ from "
                                         << reference << "; expected | diff | actual: " << sheet;
}

// Whether what the bitmap context holds matches the reference picture `name`, going through PNG
// as the reference did, so that both are rounded alike. VANTLER_UPDATE_RENDERINGS=1 makes it the
// reference instead.
inline ::testing::AssertionResult matchesReference(const CGContextRef& context,
                                                   const std::string& name) {
    const auto png = CGImageConvertToPNGData(CGBitmapContextCreateImage(context));
    const std::vector<uint8_t> bytes(png->span().begin(), png->span().end());
    if (std::getenv("VANTLER_UPDATE_RENDERINGS"))
        test::writeFile(test::dataDir() / "render" / (name + ".png"), bytes);
    return matchesPicture(pictureOfPNG(bytes), name);
}

}  // namespace drawing_support
