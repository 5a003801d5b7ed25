#pragma once
// Media files made at test time by the `ffmpeg` program (scripts/setup installs it: a missing
// program fails the test, never skips it), and probes of the frames grabbed from them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "AVFoundation.h"
#include "CGImage.h"
#include "NSURL.h"
#include "TestSupport.h"

namespace MediaTestSupport {

// Runs ffmpeg quietly, overwriting its output; its failure fails the test with its message.
inline void ffmpeg(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const test::CommandResult result = test::run(argv);
    ASSERT_EQ(result.exitStatus, 0) << "ffmpeg failed: " << result.standardError;
}

// The lavfi source of a width × height picture, left half red and right half blue, at 25 frames
// a second for `seconds`.
inline std::string splitSource(int width, int height, double seconds) {
    const std::string half = "s=" + std::to_string(width / 2) + "x" + std::to_string(height) +
                             ":r=25:d=" + std::to_string(seconds);
    return "color=c=red:" + half + "[l];color=c=blue:" + half + "[r];[l][r]hstack";
}

// ffmpeg's arguments for splitSource encoded with `encoder` (in 4:2:0 where the codec needs it).
inline std::vector<std::string> splitVideo(const std::string& encoder, int width = 64,
                                           int height = 48, double seconds = 0.2) {
    std::vector<std::string> arguments{"-f",   "lavfi", "-i", splitSource(width, height, seconds),
                                       "-c:v", encoder};
    if (encoder != "mjpeg") arguments.insert(arguments.end(), {"-pix_fmt", "yuv420p"});
    return arguments;
}

inline std::vector<std::string> tone(const std::string& encoder, double seconds = 0.3) {
    return {"-f",   "lavfi",
            "-i",   "sine=frequency=440:sample_rate=48000:duration=" + std::to_string(seconds),
            "-c:a", encoder};
}

// `arguments` with more appended: ffmpeg's command lines built from parts.
inline std::vector<std::string> operator+(std::vector<std::string> arguments,
                                          const std::vector<std::string>& more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

inline std::shared_ptr<AVURLAsset> assetAt(const std::filesystem::path& path) {
    return AVURLAsset::URLAssetWithURL_options(NSURL::fileURLWithPath(path.string()), nullptr);
}

// The frame at time 0 as a preview takes it: the preferred transform applied (unless not
// `upright`), encoded pixels, zero tolerances.
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

// Whether pixel (x, y) of a grabbed frame (native premultiplied ARGB words) is within `tolerance`
// of an opaque colour in every channel: lossy codecs and YUV move flat colours a few levels.
inline ::testing::AssertionResult isNear(const CGImageRef& image, size_t x, size_t y, int r, int g,
                                         int b, int tolerance = 12) {
    uint32_t word = 0;
    std::memcpy(&word, CGImageGetBytes(image).data() + y * CGImageGetBytesPerRow(image) + x * 4, 4);
    const int actual[] = {int(word >> 16 & 0xFF), int(word >> 8 & 0xFF), int(word & 0xFF)};
    if (std::abs(actual[0] - r) <= tolerance && std::abs(actual[1] - g) <= tolerance &&
        std::abs(actual[2] - b) <= tolerance && word >> 24 == 255)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel " << x << ", " << y << " is " << std::hex << word;
}

}  // namespace MediaTestSupport
