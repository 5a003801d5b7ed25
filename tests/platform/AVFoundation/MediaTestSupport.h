#pragma once
// Media files made at test time with the `ffmpeg` program (scripts/setup installs it; a missing
// program fails the test, it is never skipped), and pixel probes of the frames grabbed from them.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "AVFoundation.h"
#include "CGImage.h"
#include "NSURL.h"
#include "TestSupport.h"

namespace MediaTestSupport {

// Runs ffmpeg quietly, overwriting its output; a failure of the program fails the calling test
// with ffmpeg's own message.
inline void ffmpeg(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const test::CommandResult result = test::run(argv);
    ASSERT_EQ(result.exitStatus, 0) << "ffmpeg failed: " << result.standardError;
}

// The lavfi source of a width × height picture whose left half is red (255, 0, 0) and right half
// blue (0, 0, 255), at 25 frames a second for `seconds`.
inline std::string splitSource(int width, int height, double seconds) {
    const std::string half = "s=" + std::to_string(width / 2) + "x" + std::to_string(height) +
                             ":r=25:d=" + std::to_string(seconds);
    return "color=c=red:" + half + "[l];color=c=blue:" + half + "[r];[l][r]hstack";
}

// A video of splitSource at `path`, encoded with `encoder` in the container `path`'s extension
// names; `extra` goes before the output (muxer options, metadata).
inline void makeSplitVideo(const std::filesystem::path& path, const std::string& encoder, int width,
                           int height, double seconds, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments{"-f",   "lavfi", "-i", splitSource(width, height, seconds),
                                       "-c:v", encoder};
    if (encoder == "libx264" || encoder == "mpeg4" || encoder == "h263")
        arguments.insert(arguments.end(), {"-pix_fmt", "yuv420p"});
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    arguments.push_back(path.string());
    ffmpeg(arguments);
}

// A sine tone of `seconds` at `path`, encoded with `encoder` in the container the extension names.
inline void makeTone(const std::filesystem::path& path, const std::string& encoder, double seconds,
                     const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments{
        "-f",   "lavfi",
        "-i",   "sine=frequency=440:sample_rate=48000:duration=" + std::to_string(seconds),
        "-c:a", encoder};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    arguments.push_back(path.string());
    ffmpeg(arguments);
}

inline std::shared_ptr<NSURL> urlOf(const std::filesystem::path& path) {
    return NSURL::fileURLWithPath(path.string());
}

inline std::shared_ptr<AVURLAsset> assetAt(const std::filesystem::path& path) {
    return AVURLAsset::URLAssetWithURL_options(urlOf(path), nullptr);
}

// Part 3.1 import step 1: the frame at time 0 with the preferred transform, encoded pixels and zero
// tolerances.
inline CGImageRef frameAtZero(const std::shared_ptr<AVURLAsset>& asset, bool upright = true,
                              std::shared_ptr<NSError>* error = nullptr,
                              CMTime* actualTime = nullptr) {
    const auto generator = AVAssetImageGenerator::assetImageGeneratorWithAsset(asset);
    generator->setAppliesPreferredTrackTransform(upright);
    generator->setApertureMode(AVAssetImageGeneratorApertureModeEncodedPixels);
    generator->setRequestedTimeToleranceBefore(kCMTimeZero);
    generator->setRequestedTimeToleranceAfter(kCMTimeZero);
    return generator->copyCGImageAtTime_actualTime_error(CMTimeMake(0, 60), actualTime, error);
}

struct RGBA {
    int r, g, b, a;
};
inline std::ostream& operator<<(std::ostream& out, const RGBA& p) {
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ")";
}

// Pixel (x, y) of a grabbed frame (native premultiplied ARGB words).
inline RGBA pixelAt(const CGImageRef& image, size_t x, size_t y) {
    const auto bytes = CGImageGetBytes(image);
    uint32_t word = 0;
    std::memcpy(&word, bytes.data() + y * CGImageGetBytesPerRow(image) + x * 4, 4);
    return {int(word >> 16 & 0xFF), int(word >> 8 & 0xFF), int(word & 0xFF), int(word >> 24)};
}

// Whether a probe is within `tolerance` of an opaque colour in every channel (lossy codecs and
// YUV round trips move flat colours by a few levels).
inline ::testing::AssertionResult isNear(const RGBA& actual, int r, int g, int b,
                                         int tolerance = 12) {
    if (std::abs(actual.r - r) <= tolerance && std::abs(actual.g - g) <= tolerance &&
        std::abs(actual.b - b) <= tolerance && actual.a == 255)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << actual << " is not near (" << r << ", " << g << ", " << b << ", 255)";
}

}  // namespace MediaTestSupport
