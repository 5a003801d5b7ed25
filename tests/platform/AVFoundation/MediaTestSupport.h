#pragma once
// Media files made at test time by `ffmpeg` (scripts/setup installs it: a missing program fails the
// test, never skips it), and probes of the frames grabbed from them.

#include <gtest/gtest.h>

#include <cstring>

#include "AVFoundation.h"
#include "CGImage.h"
#include "NSURL.h"
#include "TestSupport.h"

namespace MediaTestSupport {

using Arguments = std::vector<std::string>;

inline Arguments operator+(Arguments arguments, const Arguments& more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

// Runs ffmpeg quietly, overwriting its output; its failure fails the test with its message.
inline std::filesystem::path made(const test::ScratchDirectory& scratch, const std::string& name,
                                  const Arguments& arguments) {
    const auto result = test::run(Arguments{"ffmpeg", "-loglevel", "error", "-nostdin", "-y"} +
                                  arguments + Arguments{(scratch.path() / name).string()});
    EXPECT_EQ(result.exitStatus, 0) << "ffmpeg failed: " << result.standardError;
    return scratch.path() / name;
}

// A width × height picture at 25 frames a second, left half red and right half blue, encoded with
// `encoder` (in 4:2:0 where the codec needs it).
inline Arguments splitVideo(const std::string& encoder, int width = 64, int height = 48,
                            double seconds = 0.2) {
    const std::string half = "s=" + std::to_string(width / 2) + "x" + std::to_string(height) +
                             ":r=25:d=" + std::to_string(seconds);
    const Arguments arguments{
        "-f",   "lavfi", "-i", "color=red:" + half + "[l];color=blue:" + half + "[r];[l][r]hstack",
        "-c:v", encoder};
    return encoder == "mjpeg" ? arguments : arguments + Arguments{"-pix_fmt", "yuv420p"};
}
inline Arguments tone(const std::string& encoder) {
    return {"-f", "lavfi", "-i", "sine=sample_rate=48000:duration=0.3", "-c:a", encoder};
}

inline std::shared_ptr<AVURLAsset> assetAt(const std::filesystem::path& path) {
    return AVURLAsset::URLAssetWithURL_options(NSURL::fileURLWithPath(path.string()), nullptr);
}

// The frame at time 0 as a preview takes it: upright (unless not `upright`), encoded pixels, zero
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

// Whether pixel (x, y) (native premultiplied ARGB) is opaque and within 12 levels of a colour in
// every channel: lossy codecs and YUV move flat colours a few levels.
inline ::testing::AssertionResult isNear(const CGImageRef& image, size_t x, size_t y, int r, int g,
                                         int b) {
    if (!image) return ::testing::AssertionFailure() << "no image";
    uint32_t word = 0;
    std::memcpy(&word, CGImageGetBytes(image).data() + y * CGImageGetBytesPerRow(image) + x * 4, 4);
    if (std::abs(int(word >> 16 & 0xFF) - r) <= 12 && std::abs(int(word >> 8 & 0xFF) - g) <= 12 &&
        std::abs(int(word & 0xFF) - b) <= 12 && word >> 24 == 255)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel " << x << ", " << y << " is " << std::hex << word;
}

}  // namespace MediaTestSupport
