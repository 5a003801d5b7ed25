// Part 3.1's media framework ("Left to the implementer": a still frame at time 0 or none, the
// first video track's natural size, the duration): the AVFoundation stand-in over FFmpeg, on files
// made at test time by the ffmpeg program (MediaTestSupport.h): the first frame of several codecs,
// rotated video, audio files, hostile files and the limits of AVFoundationLimits.h, several
// threads at once.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "AVFoundation.h"
#include "AVFoundationLimits.h"
#include "CGColorSpace.h"
#include "CGImage.h"
#include "MediaTestSupport.h"
#include "NSError.h"
#include "NSURL.h"
#include "TestSupport.h"

using namespace MediaTestSupport;

namespace {

constexpr double kFrameSeconds = 1.0 / 25;

void expectTransform(const CGAffineTransform& t, double a, double b, double c, double d, double tx,
                     double ty) {
    EXPECT_EQ(t.a, a);
    EXPECT_EQ(t.b, b);
    EXPECT_EQ(t.c, c);
    EXPECT_EQ(t.d, d);
    EXPECT_EQ(t.tx, tx);
    EXPECT_EQ(t.ty, ty);
}

// The error of a failed grab: AVFoundation's AVErrorUnknown with a reason.
void expectUnknownError(const std::shared_ptr<NSError>& error, const std::string& reasonStart) {
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), "AVFoundationErrorDomain");
    EXPECT_EQ(error->code(), -11800);
    EXPECT_EQ(error->stringForUserInfoKey(NSLocalizedDescriptionKey),
              "The operation could not be completed");
    EXPECT_EQ(error->localizedFailureReason().value_or("").rfind(reasonStart, 0), 0u)
        << error->localizedFailureReason().value_or("(no reason)");
}

// Grabbing fails: no image, the error says why.
void expectNoFrame(const std::shared_ptr<AVURLAsset>& asset, const std::string& reasonStart) {
    std::shared_ptr<NSError> error;
    EXPECT_EQ(frameAtZero(asset, true, &error), nullptr);
    expectUnknownError(error, reasonStart);
}

// Red left half, blue right half, probed in the middle of each half's flat part.
void expectSplitFrame(const CGImageRef& image, size_t width, size_t height) {
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(CGImageGetWidth(image), width);
    ASSERT_EQ(CGImageGetHeight(image), height);
    EXPECT_TRUE(isNear(pixelAt(image, width / 4, height / 2), 255, 0, 0));
    EXPECT_TRUE(isNear(pixelAt(image, width * 3 / 4, height / 2), 0, 0, 255));
    EXPECT_TRUE(isNear(pixelAt(image, 2, 2), 255, 0, 0));
    EXPECT_TRUE(isNear(pixelAt(image, width - 3, height - 3), 0, 0, 255));
}

}  // namespace

// A video's first frame, size and duration, through each family of codecs the supported
// containers carry (H.264, MPEG-4 part 2, H.263, Motion JPEG with its full-range YUV).
TEST(Part3_1_AVFoundation, FirstFrameSizeAndDurationOfEachCodec) {
    test::ScratchDirectory scratch;
    const struct {
        const char* encoder;
        const char* name;
        int width, height;
    } videos[] = {
        {"libx264", "h264.mp4", 64, 48}, {"libx264", "h264.mov", 64, 48},
        {"mpeg4", "mpeg4.m4v", 64, 48},  {"h263", "h263.3gp", 128, 96},
        {"mjpeg", "mjpeg.avi", 64, 48},  {"mpeg4", "mpeg4.3g2", 64, 48},
    };
    for (const auto& video : videos) {
        SCOPED_TRACE(video.name);
        const auto path = scratch.path() / video.name;
        ASSERT_NO_FATAL_FAILURE(
            makeSplitVideo(path, video.encoder, video.width, video.height, 1.0));
        const auto asset = assetAt(path);
        ASSERT_NE(asset, nullptr);
        const auto tracks = asset->tracksWithMediaType(AVMediaTypeVideo);
        ASSERT_EQ(tracks.size(), 1u);
        EXPECT_EQ(tracks[0]->mediaType(), "vide");
        EXPECT_EQ(tracks[0]->naturalSize(), CGSizeMake(video.width, video.height));
        expectTransform(tracks[0]->preferredTransform(), 1, 0, 0, 1, 0, 0);
        EXPECT_TRUE(asset->tracksWithMediaType(AVMediaTypeAudio).empty());
        EXPECT_NEAR(CMTimeGetSeconds(asset->duration()), 1.0, kFrameSeconds);
        EXPECT_EQ(CMTimeCompare(asset->duration(), kCMTimeZero), 1);

        CMTime actual = kCMTimeInvalid;
        std::shared_ptr<NSError> error;
        const CGImageRef image = frameAtZero(asset, true, &error, &actual);
        EXPECT_EQ(error, nullptr);
        expectSplitFrame(image, video.width, video.height);
        EXPECT_EQ(CMTimeCompare(actual, kCMTimeZero), 0);
    }
}

// The image's format: 8-bit premultiplied ARGB words in the native byte order (cairo's), sRGB,
// opaque video with alpha 255, rows packed.
TEST(Part3_1_AVFoundation, FrameIsNativePremultipliedSRGB) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "split.mp4";
    ASSERT_NO_FATAL_FAILURE(makeSplitVideo(path, "libx264", 64, 48, 0.2));
    const CGImageRef image = frameAtZero(assetAt(path));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetBitsPerComponent(image), 8u);
    EXPECT_EQ(CGImageGetBitsPerPixel(image), 32u);
    EXPECT_EQ(CGImageGetBytesPerRow(image), 64u * 4);
    EXPECT_EQ(CGImageGetBitmapInfo(image),
              kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host);
    EXPECT_EQ(CGImageGetColorSpace(image), CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    for (size_t y = 0; y < 48; ++y)
        for (size_t x = 0; x < 64; ++x) ASSERT_EQ(pixelAt(image, x, y).a, 255) << x << ", " << y;
}

// Only the first frame is shown at time 0, not a later one (the decoder reorders H.264's B-frames);
// a later time gives the frame shown then.
TEST(Part3_1_AVFoundation, TimeZeroIsTheFirstFrame) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "first-then-green.mp4";
    // One split frame, then 24 green ones.
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg({"-f", "lavfi", "-i", splitSource(64, 48, kFrameSeconds), "-f", "lavfi", "-i",
                "color=c=green:s=64x48:r=25:d=0.96", "-filter_complex", "[0][1]concat=n=2:v=1",
                "-c:v", "libx264", "-pix_fmt", "yuv420p", "-bf", "3", path.string()}));
    const auto asset = assetAt(path);
    expectSplitFrame(frameAtZero(asset), 64, 48);

    const auto generator = AVAssetImageGenerator::assetImageGeneratorWithAsset(asset);
    generator->setRequestedTimeToleranceBefore(kCMTimeZero);
    generator->setRequestedTimeToleranceAfter(kCMTimeZero);
    CMTime actual = kCMTimeInvalid;
    const CGImageRef later =
        generator->copyCGImageAtTime_actualTime_error(CMTimeMake(1, 2), &actual, nullptr);
    ASSERT_NE(later, nullptr);
    EXPECT_TRUE(isNear(pixelAt(later, 32, 24), 0, 128, 0, 16));
    // Frames are 0.04 s apart: the one shown at 0.5 s is presented at 0.48 s.
    EXPECT_EQ(CMTimeCompare(actual, CMTimeMake(12, 25)), 0) << CMTimeGetSeconds(actual);
}

// A rotated video (the display matrix of an iPhone held upright): the natural size is the stored
// one, the preferred transform is AVFoundation's for each quarter turn, and the frame comes out
// upright with the stored left half moved accordingly; without the transform it comes as stored.
TEST(Part3_1_AVFoundation, RotatedVideoComesOutUpright) {
    test::ScratchDirectory scratch;
    const auto stored = scratch.path() / "stored.mp4";
    ASSERT_NO_FATAL_FAILURE(makeSplitVideo(stored, "libx264", 64, 48, 0.2));
    // This ffmpeg (5.1) turns a "rotate" tag of N degrees into a display matrix turning the picture
    // N degrees counterclockwise (ffprobe reports "rotation=N"), so the clockwise quarter turns of
    // 90, 180 and 270 degrees are tags 270, 180 and 90.
    const struct {
        const char* tag;
        const char* probedRotation;
        CGAffineTransform transform;
        size_t width, height;
        // Where the stored left (red) half ends up: probes of red and blue.
        size_t redX, redY, blueX, blueY;
    } rotations[] = {
        {"270", "rotation=-90", {0, 1, -1, 0, 48, 0}, 48, 64, 24, 16, 24, 48},
        {"180", "rotation=-180", {-1, 0, 0, -1, 64, 48}, 64, 48, 48, 24, 16, 24},
        {"90", "rotation=90", {0, -1, 1, 0, 0, 64}, 48, 64, 24, 48, 24, 16},
    };
    for (const auto& rotation : rotations) {
        SCOPED_TRACE(rotation.tag);
        const auto path = scratch.path() / (std::string("rotated-") + rotation.tag + ".mp4");
        ASSERT_NO_FATAL_FAILURE(ffmpeg({"-i", stored.string(), "-c", "copy", "-metadata:s:v",
                                        std::string("rotate=") + rotation.tag, path.string()}));
        const auto probe =
            test::run({"ffprobe", "-v", "error", "-show_entries", "stream_side_data=rotation",
                       "-of", "default=noprint_wrappers=1", path.string()});
        ASSERT_NE(probe.standardOutput.find(rotation.probedRotation), std::string::npos)
            << "the file does not carry the expected display matrix: " << probe.standardOutput;

        const auto asset = assetAt(path);
        const auto tracks = asset->tracksWithMediaType(AVMediaTypeVideo);
        ASSERT_EQ(tracks.size(), 1u);
        EXPECT_EQ(tracks[0]->naturalSize(), CGSizeMake(64, 48));
        const CGAffineTransform& t = rotation.transform;
        expectTransform(tracks[0]->preferredTransform(), t.a, t.b, t.c, t.d, t.tx, t.ty);

        const CGImageRef upright = frameAtZero(asset);
        ASSERT_NE(upright, nullptr);
        ASSERT_EQ(CGImageGetWidth(upright), rotation.width);
        ASSERT_EQ(CGImageGetHeight(upright), rotation.height);
        EXPECT_TRUE(isNear(pixelAt(upright, rotation.redX, rotation.redY), 255, 0, 0));
        EXPECT_TRUE(isNear(pixelAt(upright, rotation.blueX, rotation.blueY), 0, 0, 255));

        expectSplitFrame(frameAtZero(asset, false), 64, 48);
    }
}

// An audio file has no video track; grabbing a frame fails with AVFoundation's error; the duration
// is the audio's.
TEST(Part3_1_AVFoundation, AudioHasNoFrame) {
    test::ScratchDirectory scratch;
    const struct {
        const char* encoder;
        const char* name;
        double tolerance;
    } files[] = {
        {"pcm_s16le", "tone.wav", 1e-9},
        {"pcm_s16be", "tone.aiff", 1e-9},
        {"libmp3lame", "tone.mp3", 0.06},
        {"aac", "tone.m4a", 0.03},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const auto path = scratch.path() / file.name;
        ASSERT_NO_FATAL_FAILURE(makeTone(path, file.encoder, 1.5));
        const auto asset = assetAt(path);
        EXPECT_TRUE(asset->tracksWithMediaType(AVMediaTypeVideo).empty());
        const auto audio = asset->tracksWithMediaType(AVMediaTypeAudio);
        ASSERT_EQ(audio.size(), 1u);
        EXPECT_EQ(audio[0]->mediaType(), "soun");
        EXPECT_EQ(audio[0]->naturalSize(), CGSizeZero);
        EXPECT_NEAR(CMTimeGetSeconds(asset->duration()), 1.5, file.tolerance);
        expectNoFrame(asset, "The media has no video track");
    }
}

// Cover art in an audio file is an attached picture, not a video track.
TEST(Part3_1_AVFoundation, CoverArtIsNotAVideoTrack) {
    test::ScratchDirectory scratch;
    const auto cover = scratch.path() / "cover.png";
    const auto song = scratch.path() / "song.mp3";
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=32x32", "-frames:v", "1", cover.string()}));
    ASSERT_NO_FATAL_FAILURE(ffmpeg({"-f", "lavfi", "-i", "sine=duration=1", "-i", cover.string(),
                                    "-map", "0", "-map", "1", "-c:a", "libmp3lame", "-c:v", "png",
                                    "-disposition:v", "attached_pic", song.string()}));
    const auto asset = assetAt(song);
    EXPECT_TRUE(asset->tracksWithMediaType(AVMediaTypeVideo).empty());
    EXPECT_EQ(asset->tracksWithMediaType(AVMediaTypeAudio).size(), 1u);
    expectNoFrame(asset, "The media has no video track");
}

// A movie with sound lists its tracks in stream order.
TEST(Part3_1_AVFoundation, TracksInStreamOrder) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "movie.mov";
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg({"-f", "lavfi", "-i", "sine=duration=0.5", "-f", "lavfi", "-i",
                splitSource(64, 48, 0.5), "-map", "0", "-map", "1", "-c:a", "aac", "-c:v",
                "libx264", "-pix_fmt", "yuv420p", path.string()}));
    const auto asset = assetAt(path);
    const auto tracks = asset->tracks();
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0]->mediaType(), "soun");
    EXPECT_EQ(tracks[1]->mediaType(), "vide");
    expectSplitFrame(frameAtZero(asset), 64, 48);
}

// No URL gives no asset; a URL that is not a local file gives one with nothing in it.
TEST(Part3_1_AVFoundation, URLsThatAreNotFiles) {
    EXPECT_EQ(AVURLAsset::URLAssetWithURL_options(nullptr, nullptr), nullptr);
    const auto remote = AVURLAsset::URLAssetWithURL_options(
        NSURL::URLWithString("http://127.0.0.1:9/movie.mp4"), nullptr);
    ASSERT_NE(remote, nullptr);
    EXPECT_TRUE(remote->tracks().empty());
    EXPECT_FALSE(CMTIME_IS_VALID(remote->duration()));
    expectNoFrame(remote, "The asset is not a local file");
    expectNoFrame(nullptr, "The asset is not a local file");
}

// ---- Hostile files: no crash, no hang, nothing printed, null results.

// A missing file and garbage named .mp4 open as assets with no tracks and an invalid duration.
TEST(Part3_1_AVFoundation, UnreadableFilesHaveNoTracks) {
    test::ScratchDirectory scratch;
    std::vector<uint8_t> garbage(4096);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7919 >> 3);
    test::writeFile(scratch.path() / "garbage.mp4", garbage);
    test::writeFile(scratch.path() / "empty.mov", {});
    for (const char* name : {"garbage.mp4", "empty.mov", "missing.mp4"}) {
        SCOPED_TRACE(name);
        const auto asset = assetAt(scratch.path() / name);
        ASSERT_NE(asset, nullptr);
        EXPECT_TRUE(asset->tracks().empty());
        EXPECT_FALSE(CMTIME_IS_VALID(asset->duration()));
        expectNoFrame(asset, "The file could not be opened as media");
    }
}

// Every prefix of a video (a download cut short): no crash, and a file cut before its header
// (moov at the end) has no tracks.
TEST(Part3_1_AVFoundation, TruncatedVideo) {
    test::ScratchDirectory scratch;
    const auto whole = scratch.path() / "whole.mp4";
    ASSERT_NO_FATAL_FAILURE(makeSplitVideo(whole, "libx264", 64, 48, 1.0));
    const std::vector<uint8_t> bytes = test::readFile(whole);
    for (size_t length = 0; length < bytes.size();
         length += std::max<size_t>(1, bytes.size() / 40)) {
        SCOPED_TRACE(length);
        const auto cut = scratch.path() / "cut.mp4";
        test::writeFile(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + length));
        const auto asset = assetAt(cut);
        std::shared_ptr<NSError> error;
        const CGImageRef image = frameAtZero(asset, true, &error);
        EXPECT_EQ(image == nullptr, error != nullptr);
        if (image) expectSplitFrame(image, 64, 48);
    }
    // ffmpeg writes the header (moov) after the media data: half the file has none.
    const auto half = scratch.path() / "half.mp4";
    test::writeFile(half, std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
    const auto asset = assetAt(half);
    EXPECT_TRUE(asset->tracks().empty());
    expectNoFrame(asset, "The file could not be opened as media");
}

// Crafted files of tests/data/media (make.sh): frames declaring 65535 × 65535 pixels, beyond the
// image limits, are refused by the decoder before allocation; the container's own 16 × 16 stays
// the natural size.
TEST(Part3_1_AVFoundation, HugeDeclaredFrameSize) {
    const auto asset = assetAt(test::dataDir() / "media" / "mjpeg-frames-65535x65535.avi");
    const auto tracks = asset->tracksWithMediaType(AVMediaTypeVideo);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0]->naturalSize(), CGSizeMake(16, 16));
    expectNoFrame(asset, "No frame of the video track could be decoded");
}

// kCGImageMaxDimension: a frame 32767 pixels wide comes out; one 32768 wide is refused.
TEST(Part3_1_AVFoundation, LimitFrameWidth) {
    test::ScratchDirectory scratch;
    for (const size_t width : {kCGImageMaxDimension, kCGImageMaxDimension + 1}) {
        SCOPED_TRACE(width);
        const auto path = scratch.path() / ("wide-" + std::to_string(width) + ".avi");
        // The format filter in the source keeps the odd width (ffmpeg rounds it down otherwise).
        ASSERT_NO_FATAL_FAILURE(
            ffmpeg({"-f", "lavfi", "-i",
                    "color=c=red:r=25:d=0.04:s=" + std::to_string(width) + "x8,format=yuvj444p",
                    "-c:v", "mjpeg", path.string()}));
        const auto asset = assetAt(path);
        ASSERT_EQ(asset->tracksWithMediaType(AVMediaTypeVideo).size(), 1u);
        std::shared_ptr<NSError> error;
        const CGImageRef image = frameAtZero(asset, true, &error);
        if (width == kCGImageMaxDimension) {
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(CGImageGetWidth(image), width);
            EXPECT_TRUE(isNear(pixelAt(image, width / 2, 4), 255, 0, 0));
        } else {
            EXPECT_EQ(image, nullptr);
            expectUnknownError(
                error, "The video's frames of 32768 x 8 pixels exceed the image size limits");
        }
    }
}

// kCGImageMaxPixelCount: a frame of 10001 × 10000 pixels is refused by the decoders, which are
// told the limit, so nothing of that size is allocated (not even while FFmpeg reads the stream's
// parameters, which leaves the size unknown).
TEST(Part3_1_AVFoundation, LimitFramePixelCount) {
    static_assert(kCGImageMaxPixelCount == 10000 * 10000);
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "big.avi";
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg({"-f", "lavfi", "-i", "color=c=red:r=1:d=1:s=10001x10000,format=yuvj444p",
                "-frames:v", "1", "-c:v", "mjpeg", "-q:v", "31", path.string()}));
    const auto asset = assetAt(path);
    const auto tracks = asset->tracksWithMediaType(AVMediaTypeVideo);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0]->naturalSize(), CGSizeZero);
    expectNoFrame(asset, "No frame of the video track could be decoded");
}

// AVFoundationLimits::kMaxStreams: a file of that many tracks opens; one more is refused.
TEST(Part3_1_AVFoundation, LimitStreams) {
    test::ScratchDirectory scratch;
    for (const size_t count :
         {AVFoundationLimits::kMaxStreams, AVFoundationLimits::kMaxStreams + 1}) {
        SCOPED_TRACE(count);
        std::vector<std::string> arguments{"-f", "lavfi", "-i", "sine=duration=0.1"};
        for (size_t i = 0; i < count; ++i) arguments.insert(arguments.end(), {"-map", "0:a"});
        const auto path = scratch.path() / ("streams-" + std::to_string(count) + ".mov");
        arguments.insert(arguments.end(), {"-c:a", "pcm_s16le", path.string()});
        ASSERT_NO_FATAL_FAILURE(ffmpeg(arguments));
        EXPECT_EQ(assetAt(path)->tracks().size(),
                  count == AVFoundationLimits::kMaxStreams ? count : 0);
    }
}

// AVFoundationLimits::kMaxPacketsBeforeFrame: a Motion JPEG video whose first packets are blanked
// (they never decode) gives the frame after them when it is the last packet allowed, and none when
// it comes one packet later.
TEST(Part3_1_AVFoundation, LimitPacketsBeforeFrame) {
    test::ScratchDirectory scratch;
    const size_t limit = AVFoundationLimits::kMaxPacketsBeforeFrame;
    const auto source = scratch.path() / "frames.avi";
    ASSERT_NO_FATAL_FAILURE(ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=16x16:r=25", "-frames:v",
                                    std::to_string(limit + 8), "-c:v", "mjpeg", "-pix_fmt",
                                    "yuvj420p", source.string()}));
    const std::vector<uint8_t> bytes = test::readFile(source);
    for (const size_t blanked : {limit - 1, limit}) {
        SCOPED_TRACE(blanked);
        // Zero the payload of the first `blanked` "00dc" (video) chunks of the AVI's movie list.
        std::vector<uint8_t> crafted = bytes;
        size_t found = 0;
        for (size_t i = 0; i + 8 <= crafted.size() && found < blanked; ++i) {
            if (std::memcmp(crafted.data() + i, "00dc", 4) != 0) continue;
            uint32_t size = 0;
            std::memcpy(&size, crafted.data() + i + 4, 4);  // little-endian RIFF length
            if (size == 0 || i + 8 + size > crafted.size()) continue;
            std::fill(crafted.begin() + i + 8, crafted.begin() + i + 8 + size, 0);
            ++found;
            i += 7 + size;
        }
        ASSERT_EQ(found, blanked);
        const auto path = scratch.path() / ("blanked-" + std::to_string(blanked) + ".avi");
        test::writeFile(path, crafted);
        std::shared_ptr<NSError> error;
        const CGImageRef image = frameAtZero(assetAt(path), true, &error);
        if (blanked < limit) {
            ASSERT_NE(image, nullptr) << error->localizedFailureReason().value_or("");
            EXPECT_TRUE(isNear(pixelAt(image, 8, 8), 255, 0, 0));
        } else {
            EXPECT_EQ(image, nullptr);
            expectUnknownError(error, "No frame was decoded within the first 2000 packets");
        }
    }
}

// FFmpeg prints nothing, whatever the file (a thumbnailer's stderr is the file manager's).
TEST(Part3_1_AVFoundation, HostileFilesPrintNothing) {
    test::ScratchDirectory scratch;
    const auto whole = scratch.path() / "whole.mp4";
    ASSERT_NO_FATAL_FAILURE(makeSplitVideo(whole, "libx264", 64, 48, 0.5));
    std::vector<uint8_t> bytes = test::readFile(whole);
    bytes.resize(bytes.size() * 3 / 4);
    test::writeFile(scratch.path() / "cut.mp4", bytes);
    for (size_t i = bytes.size() / 2; i < bytes.size(); i += 17) bytes[i] ^= 0x5A;
    test::writeFile(scratch.path() / "damaged.mp4", bytes);

    const auto captured = scratch.path() / "stderr.txt";
    fflush(stderr);
    const int saved = dup(2);
    const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    dup2(file, 2);
    for (const char* name : {"cut.mp4", "damaged.mp4"}) frameAtZero(assetAt(scratch.path() / name));
    frameAtZero(assetAt(test::dataDir() / "media" / "mjpeg-frames-65535x65535.avi"));
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(file);
    EXPECT_TRUE(test::readFile(captured).empty())
        << std::string(test::readFile(captured).begin(), test::readFile(captured).end());
}

// Several assets on several threads at once, each grabbing frames of one file.
TEST(Part3_1_AVFoundation, SeveralThreadsAtOnce) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "split.mp4";
    ASSERT_NO_FATAL_FAILURE(makeSplitVideo(path, "libx264", 64, 48, 0.5));
    constexpr int kThreads = 8, kRounds = 5;
    std::vector<int> good(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const CGImageRef image = frameAtZero(assetAt(path));
                if (image && CGImageGetWidth(image) == 64 &&
                    isNear(pixelAt(image, 16, 24), 255, 0, 0))
                    ++good[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(good[t], kRounds) << "thread " << t;
}
