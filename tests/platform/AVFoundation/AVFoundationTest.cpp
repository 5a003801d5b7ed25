// The media stand-in over FFmpeg, on files made at test time.

#include <gtest/gtest.h>

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
    EXPECT_TRUE(error->localizedFailureReason().value_or("").starts_with(reason))
        << error->localizedFailureReason().value_or("(no reason)");
}

// Red left half, blue right half, probed in each half and near the corners.
void expectSplitFrame(const CGImageRef& image, size_t width = 64, size_t height = 48) {
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(CGImageGetWidth(image), width);
    ASSERT_EQ(CGImageGetHeight(image), height);
    EXPECT_TRUE(isNear(image, width / 4, height / 2, 255, 0, 0));
    EXPECT_TRUE(isNear(image, width - 3, height - 3, 0, 0, 255));
}

// Each family of codecs (Motion JPEG with its full-range YUV); the frame is premultiplied ARGB.
TEST(AVAsset, FirstFrameSizeAndDurationOfEachCodec) {
    test::ScratchDirectory scratch;
    const struct {
        const char *encoder, *name;
        int width, height;
    } videos[] = {{"libx264", "h264.mov", 64, 48},
                  {"mpeg4", "mpeg4.m4v", 64, 48},
                  {"h263", "h263.3gp", 128, 96},
                  {"mjpeg", "mjpeg.avi", 64, 48}};
    for (const auto& video : videos) {
        SCOPED_TRACE(video.name);
        const auto asset = assetAt(
            made(scratch, video.name, splitVideo(video.encoder, video.width, video.height, 1.0)));
        const auto tracks = asset->tracks();
        ASSERT_EQ(tracks.size(), 1u);
        EXPECT_EQ(tracks[0]->mediaType(), "vide");
        EXPECT_EQ(tracks[0]->naturalSize(), CGSizeMake(video.width, video.height));
        EXPECT_NEAR(CMTimeGetSeconds(asset->duration()), 1.0, 0.04);
        CMTime actual = kCMTimeInvalid;
        const CGImageRef image = frameAtZero(asset, true, nullptr, &actual);
        expectSplitFrame(image, video.width, video.height);
        EXPECT_EQ(CMTimeCompare(actual, kCMTimeZero), 0);
        EXPECT_EQ(CGImageGetBitmapInfo(image),
                  kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host);
    }
}

// A phone held upright: the natural size is the stored one, the transform is AVFoundation's for
// each quarter turn (ffmpeg's "rotate" tag turns counterclockwise), and the frame comes out upright
// unless asked as stored.
TEST(AVAsset, RotatedVideoComesOutUpright) {
    test::ScratchDirectory scratch;
    const auto stored = made(scratch, "stored.mp4", splitVideo("libx264"));
    const struct {
        const char* tag;
        CGAffineTransform transform;
        size_t width, height, redX, redY, blueX, blueY;
    } rotations[] = {{"270", {0, 1, -1, 0, 48, 0}, 48, 64, 24, 16, 24, 48},
                     {"180", {-1, 0, 0, -1, 64, 48}, 64, 48, 48, 24, 16, 24},
                     {"90", {0, -1, 1, 0, 0, 64}, 48, 64, 24, 48, 24, 16}};
    for (const auto& rotation : rotations) {
        SCOPED_TRACE(rotation.tag);
        const auto asset = assetAt(made(scratch, std::string(rotation.tag) + ".mp4",
                                        {"-i", stored.string(), "-c", "copy", "-metadata:s:v",
                                         std::string("rotate=") + rotation.tag}));
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

// What cannot be read gives an asset with no tracks, an invalid duration and no frame, and prints
// nothing (a thumbnailer's stderr is the file manager's), damaged or hostile as it may be.
TEST(AVAsset, UnreadableFiles) {
    EXPECT_EQ(AVURLAsset::URLAssetWithURL_options(nullptr, nullptr), nullptr);
    test::ScratchDirectory scratch;
    std::vector<uint8_t> bytes =
        test::readFile(made(scratch, "whole.mp4", splitVideo("libx264", 64, 48, 1.0)));
    // ffmpeg writes the header (moov) after the media data: half the file has none.
    test::writeFile(scratch.path() / "half.mp4", {bytes.begin(), bytes.begin() + bytes.size() / 2});
    test::writeFile(scratch.path() / "empty.mov", {});
    const auto notMedia = "The file could not be opened as media",
               notLocal = "The asset is not a local file";
    const auto remote = NSURL::URLWithString("http://127.0.0.1:9/a.mp4");
    const std::pair<std::shared_ptr<AVURLAsset>, const char*> cases[] = {
        {nullptr, notLocal},
        {AVURLAsset::URLAssetWithURL_options(remote, nullptr), notLocal},
        {assetAt(test::dataDir() / "media/garbage.mp4"), notMedia},
        {assetAt(scratch.path() / "empty.mov"), notMedia},
        {assetAt(scratch.path() / "missing.mp4"), notMedia},
        {assetAt(scratch.path() / "half.mp4"), notMedia}};
    for (const auto& [asset, reason] : cases) {
        SCOPED_TRACE(reason);
        if (asset) {
            EXPECT_TRUE(asset->tracks().empty());
            EXPECT_FALSE(CMTIME_IS_VALID(asset->duration()));
        }
        expectNoFrame(asset, reason);
    }
    const auto cut = scratch.path() / "cut.mp4";
    for (size_t i = bytes.size() / 2; i < bytes.size(); i += 17) bytes[i] ^= 0x5A;
    test::writeFile(cut, bytes);
    testing::internal::CaptureStderr();
    frameAtZero(assetAt(cut));
    frameAtZero(assetAt(test::dataDir() / "media/mjpeg-frames-65535x65535.avi"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Frames narrower than the blocks swscale writes (16 pixels) from the 4:2:0 and 4:2:2 formats,
// whose conversion writes past a row's last pixel: every pixel comes out, nothing of the padding.
// Converted into rows of their own width, these frames overwrote the heap beyond the last row,
// which glibc's allocator reports ("double free or corruption") and ASan's did only by chance.
TEST(AVAsset, NarrowFramesComeOutWhole) {
    test::ScratchDirectory scratch;
    for (const char* format : {"yuvj420p", "yuvj422p", "yuv420p"}) {
        for (const int width : {2, 6, 14, 18}) {
            const std::string size = std::to_string(width) + "x4";
            SCOPED_TRACE(std::string(format) + " " + size);
            const std::string encoder = format[3] == 'j' ? "mjpeg" : "libx264";
            const auto image = frameAtZero(assetAt(made(
                scratch, std::string(format) + size + (encoder == "mjpeg" ? ".avi" : ".mp4"),
                {"-f", "lavfi", "-i", "color=c=red:d=0.04:r=25:s=" + size + ",format=" + format,
                 "-frames:v", "1", "-c:v", encoder})));
            ASSERT_NE(image, nullptr);
            ASSERT_EQ(CGImageGetWidth(image), size_t(width));
            for (size_t y = 0; y < 4; ++y)
                for (size_t x = 0; x < size_t(width); ++x)
                    EXPECT_TRUE(isNear(image, x, y, 255, 0, 0)) << x << ", " << y;
        }
    }
}

// Frame sizes: 32767 pixels wide comes out, 32768 does not; 10001 × 10000, or 65535 × 65535
// declared in a 16 × 16 container, are refused before being allocated. A codec no document's media
// uses is never run on a file's bytes. A refused track is listed as the container describes it.
TEST(AVAsset, FrameSizeLimitsAndRefusedCodecs) {
    test::ScratchDirectory scratch;
    const auto redMJPEG = [&](const std::string& size, const std::string& rate) {
        // The format filter keeps an odd width (ffmpeg rounds it down otherwise).
        return made(scratch, size + ".avi",
                    {"-f", "lavfi", "-i",
                     "color=c=red:d=0.04:r=" + rate + ":s=" + size + ",format=yuvj444p",
                     "-frames:v", "1", "-c:v", "mjpeg", "-q:v", "31"});
    };
    const auto widest = frameAtZero(assetAt(redMJPEG("32767x8", "25")));
    ASSERT_NE(widest, nullptr);
    EXPECT_EQ(CGImageGetWidth(widest), 32767u);
    EXPECT_TRUE(isNear(widest, 16383, 4, 255, 0, 0));
    expectNoFrame(assetAt(redMJPEG("32768x8", "25")),
                  "The video's frames of 32768 x 8 pixels exceed the image size limits");
    const auto noFrame = "No frame of the video track could be decoded";
    const std::tuple<std::filesystem::path, CGSize, const char*> refused[] = {
        {redMJPEG("10001x10000", "1"), CGSizeZero, noFrame},
        {test::dataDir() / "media/mjpeg-frames-65535x65535.avi", CGSizeMake(16, 16), noFrame},
        {made(scratch, "ffv1.avi", splitVideo("ffv1")), CGSizeMake(64, 48),
         "The video's decoder could not be opened"}};
    for (const auto& [path, naturalSize, reason] : refused) {
        const auto asset = assetAt(path);
        ASSERT_EQ(asset->tracksWithMediaType(AVMediaTypeVideo).size(), 1u) << path;
        EXPECT_EQ(asset->tracks()[0]->naturalSize(), naturalSize);
        expectNoFrame(asset, reason);
    }
}

}  // namespace
