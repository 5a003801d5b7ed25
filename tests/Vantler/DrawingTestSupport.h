#pragma once
// What the drawing tests share: layers placed by their frames, bitmap contexts, pixel probes, and
// pictures compared with reference images (tests/data/render/<case>.png, written again from what is
// drawn when VANTLER_UPDATE_RENDERINGS is set). Pixels compare within a small per-channel tolerance
// and no pixel may differ by more; a failure writes expected | diff | actual side by side into the
// build folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImage.h"
#include "CGImageToData.h"
#include "NSData.h"
#include "TestSupport.h"
#include "VTLayer.h"
#include "VTScreen.h"

namespace drawing_support {

// Anti-aliased edges and colour matching may round differently from one cairo or lcms2 to the
// next; a real change moves a channel by far more.
inline constexpr int kChannelTolerance = 3;

// w × h pixels, RGBA premultiplied, sRGB, transparent: the format of offscreen layer pictures.
inline CGContextRef bitmapContext(size_t width, size_t height) {
    return CGBitmapContextCreate(nullptr, width, height, 8, 0,
                                 CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                                 kCGImageAlphaPremultipliedLast);
}

inline CGColorRef srgb(double red, double green, double blue, double alpha = 1) {
    return CGColorCreateSRGB(red, green, blue, alpha);
}

// A layer covering `frame` of its parent's space (anchored at its top-left corner), filled with
// `fill`, added to `parent` when there is one.
inline std::shared_ptr<VTLayer> layerIn(const std::shared_ptr<VTLayer>& parent, CGRect frame,
                                        const CGColorRef& fill) {
    auto layer = VTLayer::init();
    layer->setAnchorPoint(CGPointZero);
    layer->setPosition(frame.origin);
    layer->setSize(frame.size);
    layer->setBackgroundColor(fill);
    if (parent) parent->addSublayer(layer);
    return layer;
}

// An opaque white screen.
inline std::shared_ptr<VTScreen> whiteScreen(double width, double height) {
    return VTScreen::initWithCanvasName_size("Screen", CGSizeMake(width, height));
}

// The premultiplied RGBA bytes of the pixel at column x, row y (row 0 at the top) of a context
// made by bitmapContext.
struct RGBA {
    int r, g, b, a;
    friend bool operator==(const RGBA&, const RGBA&) = default;
};
inline std::ostream& operator<<(std::ostream& out, const RGBA& p) {
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ")";
}
inline RGBA pixelAt(const CGContextRef& context, size_t x, size_t y) {
    const auto* p = static_cast<const uint8_t*>(CGBitmapContextGetData(context)) +
                    y * CGBitmapContextGetBytesPerRow(context) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

inline std::filesystem::path referencePath(const std::string& name) {
    return test::dataDir() / "render" / (name + ".png");
}

// A picture as it reads back from PNG bytes: premultiplied A R G B bytes, rows packed.
struct Picture {
    size_t width = 0, height = 0;
    std::vector<uint8_t> argb;
};

inline Picture pictureOfPNG(const std::shared_ptr<const NSData>& png) {
    const CGImageRef image = createDecodedCGImage(CGImageCreateFromPNGData(png));
    Picture picture{CGImageGetWidth(image), CGImageGetHeight(image), {}};
    const std::span<const uint8_t> bytes = CGImageGetBytes(image);
    for (size_t row = 0; row < picture.height; ++row) {
        const auto start = bytes.begin() + row * CGImageGetBytesPerRow(image);
        picture.argb.insert(picture.argb.end(), start, start + picture.width * 4);
    }
    return picture;
}

inline std::vector<uint8_t> bytesOf(const std::shared_ptr<const NSData>& data) {
    return {data->span().begin(), data->span().end()};
}

// Expected, differences (red where a channel is off by more than the tolerance, a faint copy of
// the expected picture elsewhere) and actual, side by side, as PNG bytes.
inline std::vector<uint8_t> comparisonPNG(const Picture& expected, const Picture& actual) {
    const size_t width = std::max(expected.width, actual.width);
    const size_t height = std::max(expected.height, actual.height);
    std::vector<uint8_t> rgba(width * 3 * height * 4, 0);
    const auto put = [&](size_t panel, size_t x, size_t y, uint8_t r, uint8_t g, uint8_t b,
                         uint8_t a) {
        uint8_t* p = &rgba[(y * width * 3 + panel * width + x) * 4];
        p[0] = r, p[1] = g, p[2] = b, p[3] = a;
    };
    const auto copy = [&](size_t panel, const Picture& picture) {
        for (size_t y = 0; y < picture.height; ++y)
            for (size_t x = 0; x < picture.width; ++x) {
                const uint8_t* p = &picture.argb[(y * picture.width + x) * 4];
                put(panel, x, y, p[1], p[2], p[3], p[0]);
            }
    };
    copy(0, expected);
    copy(2, actual);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x) {
            const bool inBoth =
                x < expected.width && y < expected.height && x < actual.width && y < actual.height;
            bool differs = !inBoth;
            for (size_t c = 0; inBoth && c < 4; ++c)
                differs |=
                    std::abs(expected.argb[(y * expected.width + x) * 4 + c] -
                             actual.argb[(y * actual.width + x) * 4 + c]) > kChannelTolerance;
            if (differs)
                put(1, x, y, 255, 0, 0, 255);
            else
                put(1, x, y, 128, 128, 128, 40);
        }
    const CGImageRef image = CGImageCreate(
        width * 3, height, 8, 32, width * 3 * 4, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        kCGImageAlphaPremultipliedLast, NSData::dataWithVector(std::move(rgba)));
    return bytesOf(CGImageConvertToPNGData(image));
}

// Whether what the context holds matches the reference picture `name`.
inline ::testing::AssertionResult matchesReference(const CGContextRef& context,
                                                   const std::string& name) {
    const auto png = CGImageConvertToPNGData(CGBitmapContextCreateImage(context));
    if (!png) return ::testing::AssertionFailure() << "the picture does not encode";
    if (std::getenv("VANTLER_UPDATE_RENDERINGS")) {
        std::filesystem::create_directories(referencePath(name).parent_path());
        test::writeFile(referencePath(name), bytesOf(png));
        return ::testing::AssertionSuccess();
    }
    if (!std::filesystem::exists(referencePath(name)))
        return ::testing::AssertionFailure() << "no reference " << referencePath(name);
    // Both sides go through PNG, so that they are rounded alike.
    const Picture actual = pictureOfPNG(png);
    const Picture expected =
        pictureOfPNG(NSData::dataWithVector(test::readFile(referencePath(name))));
    size_t differing = 0;
    for (size_t i = 0; expected.width == actual.width && expected.height == actual.height &&
                       i < actual.argb.size();
         i += 4)
        for (size_t c = 0; c < 4; ++c)
            if (std::abs(expected.argb[i + c] - actual.argb[i + c]) > kChannelTolerance) {
                ++differing;
                break;
            }
    if (expected.width == actual.width && expected.height == actual.height && differing == 0)
        return ::testing::AssertionSuccess();
    const auto failure =
        std::filesystem::path(VANTLER_BUILD_DIR) / "render-failures" / (name + ".png");
    std::filesystem::create_directories(failure.parent_path());
    test::writeFile(failure, comparisonPNG(expected, actual));
    return ::testing::AssertionFailure()
           << differing << " pixels differ from " << referencePath(name) << " (" << expected.width
           << " × " << expected.height << " expected, " << actual.width << " × " << actual.height
           << " drawn); expected | diff | actual: " << failure;
}

}  // namespace drawing_support
