#pragma once
// Helpers of the image asset tests (Parts 3.1, 3.2): bitmaps of known pixels, pixel probes, waiting
// for queued work to let go of an asset, capturing the log, and putting the per-thread settings back.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CGImage.h"
#include "CGImageToData.h"
#include "DispatchQueue.h"
#include "NSData.h"
#include "NSLog.h"
#include "VTImage.h"

namespace image_assets {

using ARGB = std::array<uint8_t, 4>;

// A width × height bitmap of one premultiplied colour (bytes A, R, G, B), device RGB.
inline CGImageRef solidBitmap(size_t width, size_t height, ARGB colour) {
    std::vector<uint8_t> bytes(width * height * 4);
    for (size_t i = 0; i < bytes.size(); i += 4) std::copy(colour.begin(), colour.end(), bytes.begin() + i);
    return CGImageCreateFromData(NSData::dataWithVector(std::move(bytes)),
                                 CGSizeMake(static_cast<double>(width), static_cast<double>(height)));
}

// A bitmap whose left half (columns below width / 2) is `left` and the rest `right`.
inline CGImageRef twoColourBitmap(size_t width, size_t height, ARGB left, ARGB right) {
    std::vector<uint8_t> bytes(width * height * 4);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x) {
            const ARGB& colour = x < width / 2 ? left : right;
            std::copy(colour.begin(), colour.end(), bytes.begin() + static_cast<long>((y * width + x) * 4));
        }
    return CGImageCreateFromData(NSData::dataWithVector(std::move(bytes)),
                                 CGSizeMake(static_cast<double>(width), static_cast<double>(height)));
}

// The PNG file bytes of a bitmap.
inline std::vector<uint8_t> pngFileBytes(const CGImageRef& image) {
    const auto data = CGImageConvertToPNGData(image);
    return data ? std::vector<uint8_t>(data->bytes(), data->bytes() + data->length()) : std::vector<uint8_t>{};
}

// The pixel at column x, row y (row 0 at the top) as premultiplied A, R, G, B in sRGB, whatever the
// image's own format (read through Part 3.3's decoded copy).
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

// Generous, so that a loaded machine (ctest -j, sanitizers) does not fail correct code; broken code
// fails by never answering, which this bounds.
inline constexpr auto kPatience = std::chrono::seconds(30);

inline std::chrono::steady_clock::time_point deadline() {
    return std::chrono::steady_clock::now() + kPatience;
}

// Drains the main queue until nothing else holds the object (queued mipmap work holds its asset
// until it has run); false when that did not happen in time.
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

// Collects the lines logged while it lives.
class LogCapture {
public:
    LogCapture()
        : previous_(NSLogSetSink([this](const std::string& line) {
              std::lock_guard lock(mutex_);
              lines_.push_back(line);
          })) {}
    ~LogCapture() { NSLogSetSink(std::move(previous_)); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
    NSLogSink previous_;
};

// Puts the calling thread's decoding style and encoding delegate back to their defaults when it goes
// away, so that a test that sets them leaves the test thread as it found it.
class ThreadSettingsReset {
public:
    ThreadSettingsReset() = default;
    ~ThreadSettingsReset() {
        VTImage::setDecodingStyle(0);
        VTImage::setEncodingDelegate(nullptr);
    }
    ThreadSettingsReset(const ThreadSettingsReset&) = delete;
    ThreadSettingsReset& operator=(const ThreadSettingsReset&) = delete;
};

}  // namespace image_assets
