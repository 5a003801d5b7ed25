#pragma once
// The test images, decoding, and pixels read back as straight components.

#include <string>
#include <vector>

#include "CGImage.h"
#include "CGImagePrivate.h"
#include "CGImageSource.h"
#include "NSData.h"
#include "TestSupport.h"

namespace ImageIOTestSupport {

inline std::vector<uint8_t> fileBytes(const std::string& name) {
    return test::readFile(test::dataDir() / "images" / name);
}

inline CGImageSourceRef sourceOf(const std::vector<uint8_t>& bytes) {
    return CGImageSourceCreateWithData(NSData::dataWithBytes_length(bytes.data(), bytes.size()),
                                       nullptr);
}

inline CGImageRef decodeBytes(const std::vector<uint8_t>& bytes) {
    return CGImageSourceCreateImageAtIndex(sourceOf(bytes), 0, nullptr);
}

// Straight components (R G B A, or W A for grey) of pixel (x, y).
inline std::vector<int> straight(const CGImageRef& image, size_t x, size_t y) {
    const auto& layout = image->layout;
    const size_t n = layout.colorComponents == 1 ? 2 : 4;
    std::vector<uint8_t> row(image->width * n);
    CoreGraphicsPrivate::readStraightRow(layout, image->row(y), image->width, row.data());
    return std::vector<int>(row.begin() + long(x * n), row.begin() + long(x * n + n));
}

}  // namespace ImageIOTestSupport
