#pragma once
// Documents for the test generator plug-in (tests/plugins), pictures made and probed.

#include <array>

#include "CGColor.h"
#include "CGContext.h"
#include "CGImageSource.h"
#include "CGImageToData.h"
#include "NSData.h"
#include "TestSupport.h"

namespace qltest {

using RGBA = std::array<uint8_t, 4>;
inline constexpr RGBA kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kGreen{0, 255, 0, 255},
    kClear{0, 0, 0, 0};

inline std::vector<uint8_t> bytesOf(const std::shared_ptr<const NSData>& data) {
    return data ? std::vector<uint8_t>(data->bytes(), data->bytes() + data->length())
                : std::vector<uint8_t>{};
}
inline std::string textOf(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

inline CGContextRef sRGBContext(size_t width, size_t height) {
    return CGBitmapContextCreate(nullptr, width, height, 8, 0,
                                 CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                                 kCGImageAlphaPremultipliedLast);
}

// A PNG of width × height opaque blue pixels.
inline std::vector<uint8_t> bluePNG(size_t width, size_t height) {
    const auto context = sRGBContext(width, height);
    CGContextSetFillColorWithColor(
        context, CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {0, 0, 1, 1}));
    CGContextFillRect(context, CGRect{{0, 0}, {double(width), double(height)}});
    return bytesOf(CGImageConvertToPNGData(CGBitmapContextCreateImage(context)));
}

// A small PNG whose header claims 30000 × 30000 pixels (its CRC no longer matches): what a reader
// that decodes before checking the size would try to allocate gigabytes for.
inline std::vector<uint8_t> hugeHeaderPNG() {
    auto png = bluePNG(1, 1);
    for (const size_t side : {16, 20}) {
        png[side] = 0, png[side + 1] = 0, png[side + 2] = 30000 >> 8, png[side + 3] = 30000 & 0xff;
    }
    return png;
}

inline CGImageRef decode(const std::vector<uint8_t>& bytes) {
    return CGImageSourceCreateImageAtIndex(
        CGImageSourceCreateWithData(NSData::dataWithVector(bytes), nullptr), 0, nullptr);
}

// A picture's pixels as premultiplied sRGB RGBA, whatever the image's own format; rows from the
// top. A missing picture has no pixels.
class Pixels {
  public:
    explicit Pixels(const CGImageRef& image)
        : width_(image ? CGImageGetWidth(image) : 0), height_(image ? CGImageGetHeight(image) : 0) {
        if (!image) return;
        context_ = sRGBContext(width_, height_);
        CGContextDrawImage(context_, CGRect{{0, 0}, {double(width_), double(height_)}}, image);
    }
    explicit Pixels(const std::filesystem::path& file)
        : Pixels(std::filesystem::exists(file) ? decode(test::readFile(file)) : CGImageRef()) {}
    size_t width() const { return width_; }
    size_t height() const { return height_; }
    RGBA at(size_t x, size_t row) const {
        if (!context_ || x >= width_ || row >= height_) return {1, 2, 3, 4};  // matches no colour
        const auto* p = static_cast<const uint8_t*>(CGBitmapContextGetData(context_)) +
                        row * CGBitmapContextGetBytesPerRow(context_) + x * 4;
        return {p[0], p[1], p[2], p[3]};
    }

  private:
    size_t width_, height_;
    CGContextRef context_;
};

// A file in `folder` named `name` (which picks the test generator's behaviour), holding `bytes`.
inline std::string documentNamed(const std::filesystem::path& folder, const std::string& name,
                                 const std::vector<uint8_t>& bytes = {'x'}) {
    test::writeFile(folder / name, bytes);
    return (folder / name).string();
}

}  // namespace qltest
