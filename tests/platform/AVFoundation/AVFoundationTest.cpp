// The media stand-in over FFmpeg, on files made at test time: a still frame at time 0 or none, the
// first video track's natural size and transform, the duration; hostile files and the limits of
// AVFoundationLimits.h; several threads at once.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "AVFoundationLimits.h"
#include "CGColorSpace.h"
#include "MediaTestSupport.h"
#include "NSError.h"

using namespace MediaTestSupport;

namespace {

// Grabbing fails with AVFoundation's AVErrorUnknown, and a reason that starts with `reason`.
void expectNoFrame(const std::shared_ptr<AVURLAsset>& asset, const std::string& reason) {
    std::shared_ptr<NSError> error;
    EXPECT_EQ(frameAtZero(asset, true, &error), nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), "AVFoundationErrorDomain");
    EXPECT_EQ(error->code(), -11800);
    EXPECT_EQ(error->stringForUserInfoKey(NSLocalizedDescriptionKey),
              "The operation could not be completed");
    EXPECT_TRUE(error->localizedFailureReason().value_or("").starts_with(reason))
        << error->localizedFailureReason().value_or("(no reason)");
}

// Red left half, blue right half, probed in each half's flat part and near the corners.
void expectSplitFrame(const CGImageRef& image, size_t width = 64, size_t height = 48) {
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(CGImageGetWidth(image), width);
    ASSERT_EQ(CGImageGetHeight(image), height);
    EXPECT_TRUE(isNear(image, width / 4, height / 2, 255, 0, 0));
    EXPECT_TRUE(isNear(image, width * 3 / 4, height / 2, 0, 0, 255));
    EXPECT_TRUE(isNear(image, 2, 2, 255, 0, 0));
    EXPECT_TRUE(isNear(image, width - 3, height - 3, 0, 0, 255));
}

// The first frame, size and duration through each family of codecs the supported containers carry
// (Motion JPEG with its full-range YUV); the frame is sRGB premultiplied ARGB, opaque, rows packed.
TEST(AVAsset, FirstFrameSizeAndDurationOfEachCodec) {
    test::ScratchDirectory scratch;
    const struct {
        const char *encoder, *name;
        int width, height;
    } videos[] = {{"libx264", "h264.mp4", 64, 48}, {"libx264", "h264.mov", 64, 48},
                  {"mpeg4", "mpeg4.m4v", 64, 48},  {"h263", "h263.3gp", 128, 96},
                  {"mjpeg", "mjpeg.avi", 64, 48},  {"mpeg4", "mpeg4.3g2", 64, 48}};
    for (const auto& video : videos) {
        SCOPED_TRACE(video.name);
        const auto path = scratch.path() / video.name;
        ASSERT_NO_FATAL_FAILURE(ffmpeg(splitVideo(video.encoder, video.width, video.height, 1.0) +
                                       std::vector<std::string>{path.string()}));
        const auto asset = assetAt(path);
        const auto tracks = asset->tracks();
        ASSERT_EQ(tracks.size(), 1u);
        EXPECT_EQ(tracks[0]->mediaType(), "vide");
        EXPECT_EQ(tracks[0]->naturalSize(), CGSizeMake(video.width, video.height));
        EXPECT_EQ(tracks[0]->preferredTransform(), CGAffineTransformIdentity);
        EXPECT_NEAR(CMTimeGetSeconds(asset->duration()), 1.0, 0.04);
        CMTime actual = kCMTimeInvalid;
        const CGImageRef image = frameAtZero(asset, true, nullptr, &actual);
        expectSplitFrame(image, video.width, video.height);
        EXPECT_EQ(CMTimeCompare(actual, kCMTimeZero), 0);
        EXPECT_EQ(CGImageGetBitsPerPixel(image), 32u);
        EXPECT_EQ(CGImageGetBytesPerRow(image), video.width * 4u);
        EXPECT_EQ(CGImageGetBitmapInfo(image),
                  kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host);
        EXPECT_EQ(CGImageGetColorSpace(image), CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    }
}

// H.264 reorders B-frames: time 0 is the first frame shown; at 0.5 s it is the one shown at 0.48.
TEST(AVAsset, FrameAtATimeIsTheOneShownThen) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "first-then-green.mp4";
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg({"-f", "lavfi", "-i", splitSource(64, 48, 0.04), "-f", "lavfi", "-i",
                "color=c=green:s=64x48:r=25:d=0.96", "-filter_complex", "[0][1]concat=n=2:v=1",
                "-c:v", "libx264", "-pix_fmt", "yuv420p", "-bf", "3", path.string()}));
    const auto asset = assetAt(path);
    expectSplitFrame(frameAtZero(asset));
    const auto generator = AVAssetImageGenerator::assetImageGeneratorWithAsset(asset);
    generator->setRequestedTimeToleranceBefore(kCMTimeZero);
    generator->setRequestedTimeToleranceAfter(kCMTimeZero);
    CMTime actual = kCMTimeInvalid;
    const CGImageRef later =
        generator->copyCGImageAtTime_actualTime_error(CMTimeMake(1, 2), &actual, nullptr);
    ASSERT_NE(later, nullptr);
    EXPECT_TRUE(isNear(later, 32, 24, 0, 128, 0, 16));
    EXPECT_EQ(CMTimeCompare(actual, CMTimeMake(12, 25)), 0) << CMTimeGetSeconds(actual);
}

// A rotated video (a phone held upright): the natural size is the stored one, the transform is
// AVFoundation's for each quarter turn, and the frame comes out upright unless asked as stored.
TEST(AVAsset, RotatedVideoComesOutUpright) {
    test::ScratchDirectory scratch;
    const auto stored = scratch.path() / "stored.mp4";
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg(splitVideo("libx264") + std::vector<std::string>{stored.string()}));
    // ffmpeg's "rotate" tag of N degrees turns the picture N degrees counterclockwise.
    const struct {
        const char* tag;
        CGAffineTransform transform;
        size_t width, height, redX, redY, blueX, blueY;
    } rotations[] = {{"270", {0, 1, -1, 0, 48, 0}, 48, 64, 24, 16, 24, 48},
                     {"180", {-1, 0, 0, -1, 64, 48}, 64, 48, 48, 24, 16, 24},
                     {"90", {0, -1, 1, 0, 0, 64}, 48, 64, 24, 48, 24, 16}};
    for (const auto& rotation : rotations) {
        SCOPED_TRACE(rotation.tag);
        const auto path = scratch.path() / (std::string("rotated-") + rotation.tag + ".mp4");
        ASSERT_NO_FATAL_FAILURE(ffmpeg({"-i", stored.string(), "-c", "copy", "-metadata:s:v",
                                        std::string("rotate=") + rotation.tag, path.string()}));
        const auto asset = assetAt(path);
        const auto track = asset->tracksWithMediaType(AVMediaTypeVideo).at(0);
        EXPECT_EQ(track->naturalSize(), CGSizeMake(64, 48));
        EXPECT_EQ(track->preferredTransform(), rotation.transform);
        const CGImageRef upright = frameAtZero(asset);
        ASSERT_NE(upright, nullptr);
        ASSERT_EQ(CGImageGetWidth(upright), rotation.width);
        ASSERT_EQ(CGImageGetHeight(upright), rotation.height);
        EXPECT_TRUE(isNear(upright, rotation.redX, rotation.redY, 255, 0, 0));
        EXPECT_TRUE(isNear(upright, rotation.blueX, rotation.blueY, 0, 0, 255));
        expectSplitFrame(frameAtZero(asset, false));
    }
}

// Sound has no frame (cover art is an attached picture, not a video track); the duration is the
// audio's; a movie with sound lists its tracks in stream order.
TEST(AVAsset, TracksOfSound) {
    test::ScratchDirectory scratch;
    const auto cover = (scratch.path() / "cover.png").string();
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=32x32", "-frames:v", "1", cover}));
    const std::vector<std::string> mp3WithCover{"-f",
                                                "lavfi",
                                                "-i",
                                                "sine=duration=1.5",
                                                "-i",
                                                cover,
                                                "-map",
                                                "0",
                                                "-map",
                                                "1",
                                                "-c:a",
                                                "libmp3lame",
                                                "-c:v",
                                                "png",
                                                "-disposition:v",
                                                "attached_pic"};
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        double tolerance;
    } files[] = {{"tone.wav", tone("pcm_s16le", 1.5), 1e-9},
                 {"tone.mp3", mp3WithCover, 0.06},
                 {"tone.m4a", tone("aac", 1.5), 0.03}};
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const auto path = scratch.path() / file.name;
        ASSERT_NO_FATAL_FAILURE(ffmpeg(file.arguments + std::vector<std::string>{path.string()}));
        const auto asset = assetAt(path);
        ASSERT_EQ(asset->tracks().size(), 1u);
        EXPECT_EQ(asset->tracks()[0]->mediaType(), "soun");
        EXPECT_EQ(asset->tracks()[0]->naturalSize(), CGSizeZero);
        EXPECT_TRUE(asset->tracksWithMediaType(AVMediaTypeVideo).empty());
        EXPECT_NEAR(CMTimeGetSeconds(asset->duration()), 1.5, file.tolerance);
        expectNoFrame(asset, "The media has no video track");
    }
    const auto movie = scratch.path() / "movie.mov";
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg(tone("aac") + splitVideo("libx264") +
               std::vector<std::string>{"-map", "0", "-map", "1", movie.string()}));
    const auto tracks = assetAt(movie)->tracks();
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0]->mediaType(), "soun");
    EXPECT_EQ(tracks[1]->mediaType(), "vide");
    expectSplitFrame(frameAtZero(assetAt(movie)));
}

// No URL gives no asset; what cannot be read gives an asset with no tracks, an invalid duration
// and no frame, and prints nothing (a thumbnailer's stderr is the file manager's). Every prefix of
// a video (a download cut short) is safe.
TEST(AVAsset, UnreadableFiles) {
    EXPECT_EQ(AVURLAsset::URLAssetWithURL_options(nullptr, nullptr), nullptr);
    test::ScratchDirectory scratch;
    const auto whole = scratch.path() / "whole.mp4";
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg(splitVideo("libx264", 64, 48, 1.0) + std::vector<std::string>{whole.string()}));
    std::vector<uint8_t> bytes = test::readFile(whole);
    // ffmpeg writes the header (moov) after the media data: half the file has none.
    test::writeFile(scratch.path() / "half.mp4", {bytes.begin(), bytes.begin() + bytes.size() / 2});
    test::writeFile(scratch.path() / "empty.mov", {});
    const auto remote = AVURLAsset::URLAssetWithURL_options(
        NSURL::URLWithString("http://127.0.0.1:9/movie.mp4"), nullptr);
    const auto notMedia = "The file could not be opened as media";
    const struct {
        std::shared_ptr<AVURLAsset> asset;
        const char* reason;
    } cases[] = {
        {nullptr, "The asset is not a local file"},
        {remote, "The asset is not a local file"},
        {assetAt(test::dataDir() / "media/garbage.mp4"), notMedia},
        {assetAt(scratch.path() / "empty.mov"), notMedia},
        {assetAt(scratch.path() / "missing.mp4"), notMedia},
        {assetAt(scratch.path() / "half.mp4"), notMedia},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        if (cases[i].asset) {
            EXPECT_TRUE(cases[i].asset->tracks().empty());
            EXPECT_FALSE(CMTIME_IS_VALID(cases[i].asset->duration()));
        }
        expectNoFrame(cases[i].asset, cases[i].reason);
    }

    const auto captured = scratch.path() / "stderr.txt";
    fflush(stderr);
    const int saved = dup(2), file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, 2);
    const auto cut = scratch.path() / "cut.mp4";
    for (size_t length = 0; length < bytes.size(); length += bytes.size() / 40) {
        test::writeFile(cut, {bytes.begin(), bytes.begin() + length});
        std::shared_ptr<NSError> error;
        const CGImageRef image = frameAtZero(assetAt(cut), true, &error);
        EXPECT_EQ(image == nullptr, error != nullptr) << length;
        if (image) expectSplitFrame(image);
    }
    for (size_t i = bytes.size() / 2; i < bytes.size(); i += 17) bytes[i] ^= 0x5A;
    test::writeFile(cut, bytes);
    frameAtZero(assetAt(cut));
    frameAtZero(assetAt(test::dataDir() / "media/mjpeg-frames-65535x65535.avi"));
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(file);
    const auto printed = test::readFile(captured);
    EXPECT_EQ(std::string(printed.begin(), printed.end()), "");
}

// The frame size limits of CGImage.h, on what the file declares and on what is decoded: a frame
// 32767 pixels wide comes out, 32768 is refused; 10001 × 10000 pixels are refused by the decoder
// before anything of that size is allocated; frames declaring 65535 × 65535 (tests/data/media,
// make.sh) inside a 16 × 16 container too.
TEST(AVAsset, FrameSizeLimits) {
    test::ScratchDirectory scratch;
    const auto redMJPEG = [&](const std::string& size, const std::string& rate) {
        const auto path = scratch.path() / (size + ".avi");
        // The format filter keeps an odd width (ffmpeg rounds it down otherwise).
        ffmpeg({"-f", "lavfi", "-i",
                "color=c=red:d=0.04:r=" + rate + ":s=" + size + ",format=yuvj444p", "-frames:v",
                "1", "-c:v", "mjpeg", "-q:v", "31", path.string()});
        return path;
    };
    const auto widest = frameAtZero(assetAt(redMJPEG("32767x8", "25")));
    ASSERT_NE(widest, nullptr);
    EXPECT_EQ(CGImageGetWidth(widest), 32767u);
    EXPECT_TRUE(isNear(widest, 16383, 4, 255, 0, 0));
    expectNoFrame(assetAt(redMJPEG("32768x8", "25")),
                  "The video's frames of 32768 x 8 pixels exceed the image size limits");
    const struct {
        std::filesystem::path path;
        CGSize naturalSize;
    } refused[] = {{redMJPEG("10001x10000", "1"), CGSizeZero},
                   {test::dataDir() / "media/mjpeg-frames-65535x65535.avi", CGSizeMake(16, 16)}};
    for (const auto& file : refused) {
        const auto asset = assetAt(file.path);
        ASSERT_EQ(asset->tracksWithMediaType(AVMediaTypeVideo).size(), 1u) << file.path;
        EXPECT_EQ(asset->tracks()[0]->naturalSize(), file.naturalSize);
        expectNoFrame(asset, "No frame of the video track could be decoded");
    }
}

// A file of kMaxStreams tracks opens, one more has none; a Motion JPEG video whose first packets
// never decode (payloads blanked) gives the frame in packet kMaxPacketsBeforeFrame, not after it.
TEST(AVAsset, StreamAndPacketLimits) {
    test::ScratchDirectory scratch;
    for (const size_t count :
         {AVFoundationLimits::kMaxStreams, AVFoundationLimits::kMaxStreams + 1}) {
        std::vector<std::string> arguments{"-f", "lavfi", "-i", "sine=duration=0.1"};
        for (size_t i = 0; i < count; ++i) arguments.insert(arguments.end(), {"-map", "0:a"});
        const auto path = scratch.path() / "streams.mov";
        ASSERT_NO_FATAL_FAILURE(
            ffmpeg(arguments + std::vector<std::string>{"-c:a", "pcm_s16le", path.string()}));
        EXPECT_EQ(assetAt(path)->tracks().size(),
                  count == AVFoundationLimits::kMaxStreams ? count : 0);
    }
    const size_t limit = AVFoundationLimits::kMaxPacketsBeforeFrame;
    const auto source = scratch.path() / "frames.avi";
    ASSERT_NO_FATAL_FAILURE(ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=16x16:r=25", "-frames:v",
                                    std::to_string(limit + 8), "-c:v", "mjpeg", source.string()}));
    const std::vector<uint8_t> bytes = test::readFile(source);
    for (const size_t blanked : {limit - 1, limit}) {
        SCOPED_TRACE(blanked);
        // Zero the payload of the first `blanked` "00dc" (video) chunks of the AVI's movie list.
        std::vector<uint8_t> crafted = bytes;
        size_t found = 0;
        for (size_t i = 0; i + 8 <= crafted.size() && found < blanked; ++i) {
            uint32_t size = 0;
            std::memcpy(&size, crafted.data() + i + 4, 4);  // little-endian RIFF length
            if (std::memcmp(crafted.data() + i, "00dc", 4) != 0 || size == 0 ||
                i + 8 + size > crafted.size())
                continue;
            std::fill(crafted.begin() + i + 8, crafted.begin() + i + 8 + size, 0);
            ++found;
            i += 7 + size;
        }
        ASSERT_EQ(found, blanked);
        const auto path = scratch.path() / "blanked.avi";
        test::writeFile(path, crafted);
        if (blanked < limit) {
            const CGImageRef image = frameAtZero(assetAt(path));
            ASSERT_NE(image, nullptr);
            EXPECT_TRUE(isNear(image, 8, 8, 255, 0, 0));
        } else {
            expectNoFrame(assetAt(path), "No frame was decoded within the first 2000 packets");
        }
    }
}

TEST(AVAsset, SeveralThreadsAtOnce) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "split.mp4";
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg(splitVideo("libx264") + std::vector<std::string>{path.string()}));
    std::vector<std::thread> threads;
    std::atomic<int> good = 0;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                const CGImageRef image = frameAtZero(assetAt(path));
                if (image && CGImageGetWidth(image) == 64 && isNear(image, 16, 24, 255, 0, 0))
                    ++good;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(good, 40);
}

}  // namespace
