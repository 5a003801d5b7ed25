#pragma once

#include "CGImage.h"
#include "CGImageToData.h"
#include "DispatchQueue.h"
#include "NSData.h"
#include "VTImage.h"

namespace image_assets {

using ARGB = std::array<uint8_t, 4>;  // premultiplied A, R, G, B
inline constexpr ARGB kRed{255, 255, 0, 0};
inline constexpr ARGB kBlue{255, 0, 0, 255};

inline CGImageRef twoColourBitmap(size_t width, size_t height, ARGB left, ARGB right,
                                  size_t split) {
    std::vector<uint8_t> bytes(width * height * 4);
    for (size_t i = 0; i < width * height; ++i)
        std::ranges::copy(i % width < split ? left : right, bytes.begin() + long(i * 4));
    return CGImageCreateFromData(NSData::dataWithVector(std::move(bytes)),
                                 CGSizeMake(double(width), double(height)));
}

inline CGImageRef solidBitmap(size_t width, size_t height, ARGB colour) {
    return twoColourBitmap(width, height, colour, colour, 0);
}

inline std::shared_ptr<VTImage> assetWithBitmap(const CGImageRef& bitmap) {
    auto image = VTImage::init();
    image->_setCGImage(bitmap);
    return image;
}

inline std::vector<uint8_t> pngFileBytes(const CGImageRef& image) {
    const auto data = CGImageConvertToPNGData(image);
    return {data->span().begin(), data->span().end()};
}

inline ARGB pixelAt(const CGImageRef& image, size_t x, size_t y) {
    const auto decoded = createDecodedCGImage(image);
    const auto bytes = CGImageGetBytes(decoded);
    const size_t offset = y * CGImageGetBytesPerRow(decoded) + x * 4;
    return {bytes[offset], bytes[offset + 1], bytes[offset + 2], bytes[offset + 3]};
}

inline bool near(ARGB a, ARGB b, int tolerance) {
    for (size_t i = 0; i < 4; ++i)
        if (std::abs(int(a[i]) - int(b[i])) > tolerance) return false;
    return true;
}

// Generous, so that a loaded machine does not fail correct code; broken code never answers.
inline std::chrono::steady_clock::time_point deadline() {
    return std::chrono::steady_clock::now() + std::chrono::seconds(30);
}

// Drains the main queue until nothing else holds the object (queued mipmap work holds its asset).
template <class T>
bool waitUntilReleased(const std::weak_ptr<T>& object) {
    const auto end = deadline();
    while (!object.expired()) {
        if (std::chrono::steady_clock::now() > end) return false;
        dispatchMainQueueDrain();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace image_assets
