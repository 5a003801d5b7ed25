// Part 3.1: the image asset — import of images and media files, raw pixels, the per-thread decoding
// style and encoding delegate, the archive form, sizes, equality and hash, and the private copies of
// media files in the temporary directory. Media files are made at test time with `ffmpeg`.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AVFoundation.h"
#include "ArchiveShapes.h"
#include "CGImageToData.h"
#include "ImageAssetTestSupport.h"
#include "NSFileManager.h"
#include "NSImage.h"
#include "NSKeyedArchiver.h"
#include "NSNumber.h"
#include "NSProcessInfo.h"
#include "NSString.h"
#include "ScopedEnvironmentVariable.h"
#include "TestSupport.h"
#include "VTImage.h"

namespace fs = std::filesystem;
using namespace archive_shapes;
using namespace image_assets;

namespace {

constexpr ARGB kRed{255, 255, 0, 0};
constexpr ARGB kBlue{255, 0, 0, 255};

void ffmpeg(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto result = test::run(argv);
    ASSERT_EQ(result.exitStatus, 0) << "ffmpeg failed: " << result.standardError;
}

// Media files made once for the whole test program, in a folder of their own.
struct MediaFiles {
    test::ScratchDirectory folder;
    fs::path video;     // 64 × 48, all red, 1 s at 25 frames a second
    fs::path rotated;   // stored 64 × 32 (all blue) with a 90° display rotation
    fs::path otherVideo;  // like `video`, but blue
    fs::path audio;     // a 0.5 s tone, no video track
};

const MediaFiles& media() {
    static const MediaFiles* files = [] {
        auto* made = new MediaFiles;
        made->video = made->folder.path() / "clip.mp4";
        made->rotated = made->folder.path() / "rotated.mp4";
        made->otherVideo = made->folder.path() / "other.mp4";
        made->audio = made->folder.path() / "tone.wav";
        const fs::path plain = made->folder.path() / "plain.mp4";
        ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=64x48:r=25:d=1", "-c:v", "libx264", "-pix_fmt", "yuv420p",
                made->video.string()});
        ffmpeg({"-f", "lavfi", "-i", "color=c=blue:s=64x48:r=25:d=1", "-c:v", "libx264", "-pix_fmt", "yuv420p",
                made->otherVideo.string()});
        ffmpeg({"-f", "lavfi", "-i", "color=c=blue:s=64x32:r=25:d=1", "-c:v", "libx264", "-pix_fmt", "yuv420p",
                plain.string()});
        ffmpeg({"-i", plain.string(), "-c", "copy", "-metadata:s:v:0", "rotate=90", made->rotated.string()});
        ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=0.5", "-c:a", "pcm_s16le",
                made->audio.string()});
        return made;
    }();
    return *files;
}

std::shared_ptr<const NSURL> fileURL(const fs::path& path) {
    return NSURL::fileURLWithPath(path.string());
}

// A PNG file of a width × height solid bitmap.
void writePNG(const fs::path& path, size_t width, size_t height, ARGB colour = kRed) {
    test::writeFile(path, pngFileBytes(solidBitmap(width, height, colour)));
}

std::vector<std::string> namesIn(const fs::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::shared_ptr<VTImage> decode(const std::shared_ptr<const NSData>& archive) {
    return unarchive<VTImage>(archive);
}

// The stored keys of the archived asset (the root object).
std::vector<std::string> archivedKeys(const std::shared_ptr<const NSData>& archive) {
    StoredArchive stored(*archive);
    return stored.keys(stored.root());
}

std::shared_ptr<const NSData> bytesData(const std::vector<uint8_t>& bytes) {
    return NSData::dataWithVector(bytes);
}

class RecordingDelegate : public VTImageEncodingDelegate {
public:
    void image_didEncodeWithID(const std::shared_ptr<const VTImage>& image,
                               const std::shared_ptr<const NSUUID>& uuid) override {
        calls.emplace_back(image, uuid);
    }
    std::vector<std::pair<std::shared_ptr<const VTImage>, std::shared_ptr<const NSUUID>>> calls;
};

}  // namespace

// ---- Import (Part 3.1 "Import")

TEST(Part3_1_VTImage, ScaleComesFromTheFileName) {
    test::ScratchDirectory scratch;
    const std::vector<std::pair<std::string, float>> cases{
        {"button@2x.png", 2.0f}, {"icon@3x copy.png", 3.0f}, {"a@2x@3x.png", 2.0f}, {"photo.png", 1.0f}};
    for (const auto& [name, scale] : cases) {
        writePNG(scratch.path() / name, 4, 2);
        const auto url = fileURL(scratch.path() / name);
        const auto image = VTImage::imageWithURL(url);
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(image->scale(), scale) << name;
        EXPECT_EQ(image->originalURL(), url) << name;
        EXPECT_EQ(CGImageGetWidth(image->CGImage()), 4u) << name;
        EXPECT_EQ(CGImageGetHeight(image->CGImage()), 2u) << name;
        EXPECT_FALSE(image->isVideoOrAudio()) << name;
    }
}

TEST(Part3_1_VTImage, ScaleIgnoresTheExtensionAndTheFolder) {
    test::ScratchDirectory scratch;
    fs::create_directory(scratch.path() / "art@2x");
    writePNG(scratch.path() / "art@2x" / "plain.png", 2, 2);
    writePNG(scratch.path() / "shot.@3x", 2, 2);  // "@3x" is the extension here
    EXPECT_EQ(VTImage::imageWithURL(fileURL(scratch.path() / "art@2x" / "plain.png"))->scale(), 1.0f);
    EXPECT_EQ(VTImage::imageWithURL(fileURL(scratch.path() / "shot.@3x"))->scale(), 1.0f);
}

TEST(Part3_1_VTImage, ImportReadsAnyImageFormatTheReaderTakes) {
    const auto image = VTImage::imageWithURL(fileURL(test::dataDir() / "images" / "jpeg-rgb.jpg"));
    ASSERT_NE(image, nullptr);
    EXPECT_NE(image->CGImage(), nullptr);
    EXPECT_FALSE(image->isVideoOrAudio());
    EXPECT_EQ(image->temporaryFileURL(), nullptr);
}

TEST(Part3_1_VTImage, ImportOfAnUnreadableFileIsNone) {
    test::ScratchDirectory scratch;
    test::writeFile(scratch.path() / "garbage.png", {1, 2, 3, 4, 5});
    test::writeFile(scratch.path() / "empty.mp4", {});
    EXPECT_EQ(VTImage::imageWithURL(fileURL(scratch.path() / "garbage.png")), nullptr);
    EXPECT_EQ(VTImage::imageWithURL(fileURL(scratch.path() / "empty.mp4")), nullptr);
    EXPECT_EQ(VTImage::imageWithURL(fileURL(scratch.path() / "missing.png")), nullptr);
    EXPECT_EQ(VTImage::imageWithURL(fileURL(scratch.path())), nullptr);
    EXPECT_EQ(VTImage::imageWithURL(nullptr), nullptr);
    // Nothing was copied into the temporary directory for them.
    EXPECT_EQ(namesIn(scratch.path()), (std::vector<std::string>{"empty.mp4", "garbage.png"}));
}

TEST(Part3_1_VTImage, ImportOfAVideoCopiesItAndTakesTheFirstFrame) {
    const auto& files = media();
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", temporary.path().string());
    const auto url = fileURL(files.video);
    std::weak_ptr<VTImage> weak;
    fs::path copy;
    {
        const auto image = VTImage::imageWithURL(url);
        ASSERT_NE(image, nullptr);
        weak = image;
        EXPECT_TRUE(image->isVideoOrAudio());
        EXPECT_FALSE(image->isAudio());
        EXPECT_EQ(image->pixelSize(), CGSizeMake(64, 48));
        ASSERT_NE(image->CGImage(), nullptr);
        EXPECT_EQ(CGImageGetWidth(image->CGImage()), 64u);
        EXPECT_EQ(CGImageGetHeight(image->CGImage()), 48u);
        EXPECT_TRUE(near(pixelAt(image->CGImage(), 32, 24), kRed, 12));
        EXPECT_EQ(image->scale(), 1.0f);
        EXPECT_EQ(image->originalURL(), url);
        // The private copy: "<globally unique string>_clip.mp4" in the temporary directory.
        ASSERT_NE(image->temporaryFileURL(), nullptr);
        EXPECT_EQ(image->videoURL(), image->temporaryFileURL());
        copy = image->temporaryFileURL()->path();
        EXPECT_EQ(copy.parent_path(), temporary.path());
        EXPECT_TRUE(copy.filename().string().ends_with("_clip.mp4")) << copy;
        EXPECT_EQ(test::readFile(copy), test::readFile(files.video));
        EXPECT_NEAR(image->duration(), 1.0, 0.05);  // import made the media asset
        EXPECT_EQ(image->pointSize(), CGSizeMake(64, 48));
    }
    ASSERT_TRUE(waitUntilReleased(weak));
    EXPECT_FALSE(fs::exists(copy));  // deleted with its asset
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST(Part3_1_VTImage, ImportOfARotatedVideoHasTheNaturalSizeAndAnUprightFrame) {
    const auto& files = media();
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", temporary.path().string());
    const auto image = VTImage::imageWithURL(fileURL(files.rotated));
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->isVideoOrAudio());
    EXPECT_EQ(image->pixelSize(), CGSizeMake(64, 32));  // as stored, before the rotation
    ASSERT_NE(image->CGImage(), nullptr);
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), 32u);  // the frame is turned upright
    EXPECT_EQ(CGImageGetHeight(image->CGImage()), 64u);
    EXPECT_TRUE(near(pixelAt(image->CGImage(), 16, 32), kBlue, 12));
}

TEST(Part3_1_VTImage, ImportOfAnAudioFileHasNoBitmapAndLogsTheFailedGrab) {
    const auto& files = media();
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", temporary.path().string());
    LogCapture log;
    const auto image = VTImage::imageWithURL(fileURL(files.audio));
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->isVideoOrAudio());
    EXPECT_TRUE(image->isAudio());
    EXPECT_EQ(image->CGImage(), nullptr);
    EXPECT_EQ(image->pixelSize(), CGSizeZero);
    EXPECT_NEAR(image->duration(), 0.5, 0.05);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("Thumbnail Generation Error Error Domain=AVFoundationErrorDomain Code="))
        << lines[0];
    EXPECT_TRUE(fs::path(image->temporaryFileURL()->path()).filename().string().ends_with("_tone.wav"));
    EXPECT_EQ(image->hash(), 1u);  // 0 ^ 0 ^ 1
    EXPECT_EQ(image->pngData(), nullptr);
}

TEST(Part3_1_VTImage, SupportedMediaTypes) {
    const auto& files = media();
    test::ScratchDirectory scratch;
    writePNG(scratch.path() / "still.png", 2, 2);
    test::writeFile(scratch.path() / "garbage.mov", {1, 2, 3});
    EXPECT_TRUE(isSupportedVideoType(*fileURL(files.video)));
    EXPECT_TRUE(isSupportedVideoType(*fileURL(files.rotated)));
    EXPECT_TRUE(isSupportedVideoType(*fileURL(files.audio)));
    EXPECT_FALSE(isSupportedVideoType(*fileURL(scratch.path() / "still.png")));
    EXPECT_FALSE(isSupportedVideoType(*fileURL(scratch.path() / "garbage.mov")));
    EXPECT_FALSE(isSupportedVideoType(*fileURL(scratch.path() / "missing.mp4")));
}

TEST(Part3_1_VTImage, ImageWithOSImageTakesThePlatformImagesBitmap) {
    EXPECT_EQ(VTImage::imageWithOSImage(nullptr), nullptr);
    const auto bitmap = solidBitmap(5, 3, kBlue);
    const auto image = VTImage::imageWithOSImage(NSImage::initWithCGImage_size(bitmap, CGSizeZero));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->CGImage(), bitmap);  // the same bitmap, not a copy
    EXPECT_EQ(image->scale(), 1.0f);
    EXPECT_NE(image->uuid(), nullptr);
    EXPECT_EQ(image->originalURL(), nullptr);
    EXPECT_FALSE(image->isVideoOrAudio());
}

// ---- The asset's own operations

TEST(Part3_1_VTImage, InitHasScaleOneAndANewUUID) {
    const auto a = VTImage::init(), b = VTImage::init();
    EXPECT_EQ(a->scale(), 1.0f);
    ASSERT_NE(a->uuid(), nullptr);
    ASSERT_NE(b->uuid(), nullptr);
    EXPECT_FALSE(a->uuid()->isEqual(*b->uuid()));
    EXPECT_EQ(a->CGImage(), nullptr);
    EXPECT_FALSE(a->isVideoOrAudio());
    EXPECT_FALSE(a->isAudio());
    EXPECT_EQ(a->mediaAsset(), nullptr);
    EXPECT_EQ(a->duration(), 0.0);
    EXPECT_EQ(a->pixelSize(), CGSizeZero);
    EXPECT_EQ(a->className(), "VTImage");
}

TEST(Part3_1_VTImage, SetCGImageReplacesTheBitmap) {
    const auto image = VTImage::init();
    const auto first = solidBitmap(2, 2, kRed), second = solidBitmap(3, 3, kBlue);
    image->_setCGImage(first);
    EXPECT_EQ(image->CGImage(), first);
    image->_setCGImage(second);
    EXPECT_EQ(image->CGImage(), second);
    EXPECT_EQ(first.use_count(), 1);  // the asset let go of the old one
}

TEST(Part3_1_VTImage, PointSizeRoundsUp) {
    test::ScratchDirectory scratch;
    writePNG(scratch.path() / "wide@2x.png", 101, 51);
    const auto image = VTImage::imageWithURL(fileURL(scratch.path() / "wide@2x.png"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixelSize(), CGSizeMake(101, 51));
    EXPECT_EQ(image->pointSize(), CGSizeMake(51, 26));
}

TEST(Part3_1_VTImage, OSImageHasThePixelSize) {
    const auto image = VTImage::init();
    EXPECT_EQ(image->osImage(), nullptr);
    image->_setCGImage(solidBitmap(7, 4, kRed));
    const auto platform = image->osImage();
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(platform->size(), CGSizeMake(7, 4));
    EXPECT_EQ(NSImageCGImage(*platform), image->CGImage());
}

TEST(Part3_1_VTImage, PNGDataIsMadeOnceAndKept) {
    const auto image = VTImage::init();
    EXPECT_EQ(image->pngData(), nullptr);
    image->_setCGImage(solidBitmap(6, 5, kBlue));
    const auto first = image->pngData();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(image->pngData(), first);  // the same object: not encoded again
    const auto decoded = CGImageCreateFromPNGData(first);
    EXPECT_EQ(CGImageGetWidth(decoded), 6u);
    EXPECT_EQ(CGImageGetHeight(decoded), 5u);
    EXPECT_TRUE(near(pixelAt(decoded, 3, 2), kBlue, 0));
}

TEST(Part3_1_VTImage, WriteToPathWritesAPNGAndIgnoresFailures) {
    test::ScratchDirectory scratch;
    const auto image = VTImage::init();
    image->writeToPath((scratch.path() / "none.png").string());  // no bitmap: nothing
    image->_setCGImage(solidBitmap(9, 2, kRed));
    image->writeToPath((scratch.path() / "out.png").string());
    image->writeToPath((scratch.path() / "missing" / "out.png").string());
    EXPECT_EQ(namesIn(scratch.path()), std::vector<std::string>{"out.png"});
    const auto written = CGImageCreateFromPNGData(NSData::dataWithVector(test::readFile(scratch.path() / "out.png")));
    EXPECT_EQ(CGImageGetWidth(written), 9u);
    EXPECT_EQ(CGImageGetHeight(written), 2u);
}

TEST(Part3_1_VTImage, HashOfAStill) {
    const auto image = VTImage::init();
    EXPECT_EQ(image->hash(), 0u);
    image->_setCGImage(solidBitmap(12, 5, kRed));
    EXPECT_EQ(image->hash(), size_t{12 ^ 5});
}

// ---- Raw pixels (Part 3.1 "Raw pixels to bitmap")

TEST(Part3_1_VTImage, RawPixelsOfTheRightLengthDecode) {
    std::vector<uint8_t> bytes(24);
    for (size_t i = 0; i < bytes.size(); i += 4) {
        bytes[i] = 255;              // A
        bytes[i + 1] = uint8_t(i);   // R
        bytes[i + 2] = 100;          // G
        bytes[i + 3] = 7;            // B
    }
    const auto image = CGImageCreateFromData(bytesData(bytes), CGSizeMake(3, 2));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image), 3u);
    EXPECT_EQ(CGImageGetHeight(image), 2u);
    EXPECT_EQ(CGImageGetBitsPerComponent(image), 8u);
    EXPECT_EQ(CGImageGetAlphaInfo(image), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(CGImageGetBitmapInfo(image) & kCGBitmapByteOrderMask, kCGBitmapByteOrderDefault);
    EXPECT_EQ(CGImageGetColorSpace(image), CGColorSpaceCreateDeviceRGB());
    const auto stored = CGImageGetBytes(image);
    for (size_t y = 0; y < 2; ++y)
        for (size_t x = 0; x < 12; ++x)
            EXPECT_EQ(stored[y * CGImageGetBytesPerRow(image) + x], bytes[y * 12 + x]);
}

TEST(Part3_1_VTImage, RawPixelsOfAnyOtherLengthGiveNoBitmap) {
    EXPECT_EQ(CGImageCreateFromData(bytesData(std::vector<uint8_t>(23)), CGSizeMake(3, 2)), nullptr);
    EXPECT_EQ(CGImageCreateFromData(bytesData(std::vector<uint8_t>(25)), CGSizeMake(3, 2)), nullptr);
    EXPECT_EQ(CGImageCreateFromData(nullptr, CGSizeMake(3, 2)), nullptr);
    EXPECT_EQ(CGImageCreateFromData(bytesData({}), CGSizeMake(0, 0)), nullptr);  // no context of 0 × 0
}

TEST(Part3_1_VTImage, RawPixelSizesRoundHalvesAwayFromZero) {
    EXPECT_NE(CGImageCreateFromData(bytesData(std::vector<uint8_t>(24)), CGSizeMake(2.5, 1.5)), nullptr);
    EXPECT_EQ(CGImageCreateFromData(bytesData(std::vector<uint8_t>(24)), CGSizeMake(2.49, 1.5)), nullptr);
    EXPECT_NE(CGImageCreateFromData(bytesData(std::vector<uint8_t>(8)), CGSizeMake(2.49, 1.4)), nullptr);
}

TEST(Part3_1_VTImage, RawPixelSizesBeyondAnyBitmapGiveNoBitmap) {
    const auto bytes = bytesData(std::vector<uint8_t>(24));
    for (const CGSize size : {CGSizeMake(-3, -2), CGSizeMake(NAN, 2), CGSizeMake(1e300, 1e-300),
                              CGSizeMake(INFINITY, 0), CGSizeMake(32768, 1)})
        EXPECT_EQ(CGImageCreateFromData(bytes, size), nullptr) << size.width << " x " << size.height;
}

// ---- Per-thread settings

TEST(Part3_1_VTImage, SettingKeysAreTheThreadDictionaryKeys) {
    EXPECT_STREQ(VTImageEncodingDelegateKey, "com.brackenfold.vantler.VTImageEncodingDelegateKey");
    EXPECT_STREQ(VTImageShouldSkipVideoDecodeKey, "com.brackenfold.vantler.VTImageShouldSkipVideoDecodeKey");
}

TEST(Part3_1_VTImage, DecodingStyleMapsEveryNonZeroValueToOne) {
    ThreadSettingsReset reset;
    VTImage::setDecodingStyle(5);
    EXPECT_EQ(VTImage::decodingStyle(), 1);
    VTImage::setDecodingStyle(-1);
    EXPECT_EQ(VTImage::decodingStyle(), 1);
    VTImage::setDecodingStyle(1);
    EXPECT_EQ(VTImage::decodingStyle(), 1);
    VTImage::setDecodingStyle(0);
    EXPECT_EQ(VTImage::decodingStyle(), 0);
}

TEST(Part3_1_VTImage, SettingsArePerThread) {
    ThreadSettingsReset reset;
    VTImage::setDecodingStyle(5);
    VTImage::setEncodingDelegate(std::make_shared<RecordingDelegate>());
    int64_t otherStyle = -1;
    bool otherHasDelegate = true;
    std::thread([&] {
        otherStyle = VTImage::decodingStyle();  // a thread that never set it
        otherHasDelegate = VTImage::encodingDelegate() != nullptr;
        VTImage::setDecodingStyle(1);
    }).join();
    EXPECT_EQ(otherStyle, 0);
    EXPECT_FALSE(otherHasDelegate);
    EXPECT_EQ(VTImage::decodingStyle(), 1);
    EXPECT_NE(VTImage::encodingDelegate(), nullptr);
}

TEST(Part3_1_VTImage, EncodingDelegateIsKeptStronglyUntilRemoved) {
    ThreadSettingsReset reset;
    auto delegate = std::make_shared<RecordingDelegate>();
    std::weak_ptr<RecordingDelegate> weak = delegate;
    VTImage::setEncodingDelegate(std::move(delegate));
    EXPECT_FALSE(weak.expired());
    EXPECT_EQ(VTImage::encodingDelegate(), weak.lock());
    VTImage::setEncodingDelegate(nullptr);
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(VTImage::encodingDelegate(), nullptr);
}

// ---- The archive form

TEST(Part3_1_VTImage, EncodingWithADelegateWritesOnlyUUIDURLAndScale) {
    ThreadSettingsReset reset;
    test::ScratchDirectory scratch;
    writePNG(scratch.path() / "icon@2x.png", 4, 4);
    const auto image = VTImage::imageWithURL(fileURL(scratch.path() / "icon@2x.png"));
    ASSERT_NE(image, nullptr);
    const auto delegate = std::make_shared<RecordingDelegate>();
    VTImage::setEncodingDelegate(delegate);
    const auto archive = NSKeyedArchiver::archivedDataWithRootObject(image);
    EXPECT_EQ(archivedKeys(archive), (std::vector<std::string>{"uuid", "url", "scale"}));
    ASSERT_EQ(delegate->calls.size(), 1u);
    EXPECT_EQ(delegate->calls[0].first, image);
    EXPECT_EQ(delegate->calls[0].second, image->uuid());

    // Decoded, the asset keeps its identity but has no bitmap.
    VTImage::setEncodingDelegate(nullptr);
    const auto decoded = decode(archive);
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->uuid()->isEqual(*image->uuid()));
    EXPECT_TRUE(decoded->originalURL()->isEqual(*image->originalURL()));
    EXPECT_EQ(decoded->scale(), 2.0f);
    EXPECT_EQ(decoded->CGImage(), nullptr);
}

TEST(Part3_1_VTImage, AStillRoundTrips) {
    test::ScratchDirectory scratch;
    writePNG(scratch.path() / "b@3x.png", 10, 6, kBlue);
    const auto image = VTImage::imageWithURL(fileURL(scratch.path() / "b@3x.png"));
    ASSERT_NE(image, nullptr);
    const auto archive = NSKeyedArchiver::archivedDataWithRootObject(image);
    EXPECT_EQ(archivedKeys(archive), (std::vector<std::string>{"jpegData", "uuid", "url", "scale"}));
    StoredArchive stored(*archive);
    const auto scale = stored.value(stored.root(), "scale");
    ASSERT_TRUE(scale);
    EXPECT_EQ(scale->kind, plist::Kind::Real);
    EXPECT_EQ(scale->count, 8u);  // written as a double

    const auto decoded = decode(archive);
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->uuid()->isEqual(*image->uuid()));
    EXPECT_TRUE(decoded->originalURL()->isEqual(*image->originalURL()));
    EXPECT_EQ(decoded->scale(), 3.0f);
    EXPECT_EQ(decoded->pointSize(), CGSizeMake(4, 2));
    EXPECT_TRUE(decoded->pngData()->isEqual(*image->pngData()));
    EXPECT_TRUE(near(pixelAt(decoded->CGImage(), 5, 3), kBlue, 0));
    EXPECT_TRUE(decoded->isEqual(*image));
    EXPECT_FALSE(decoded->isVideoOrAudio());
}

TEST(Part3_1_VTImage, JPEGDataHoldsAnyFormatAndIsKeptAsPNGData) {
    const auto jpeg = NSData::dataWithVector(test::readFile(test::dataDir() / "images" / "jpeg-rgb.jpg"));
    const auto archive = archive_shapes::archive(shaped(VTImage::objcClass(), [&](NSCoder& coder) {
        coder.encodeObject_forKey(jpeg, "jpegData");
        coder.encodeDouble_forKey(1, "scale");
    }));
    const auto decoded = decode(archive);
    ASSERT_NE(decoded, nullptr);
    EXPECT_NE(decoded->CGImage(), nullptr);
    ASSERT_NE(decoded->pngData(), nullptr);
    EXPECT_TRUE(decoded->pngData()->isEqual(*jpeg));  // the bytes as archived, not re-encoded
}

TEST(Part3_1_VTImage, ImageDataDecodesRawPixels) {
    for (const size_t length : {24, 23}) {
        const auto archive = archive_shapes::archive(shaped(VTImage::objcClass(), [&](NSCoder& coder) {
            coder.encodeObject_forKey(NSData::dataWithVector(std::vector<uint8_t>(length, 255)), "imageData");
            coder.encodeInt64_forKey(3, "imageWidth");
            coder.encodeInt64_forKey(2, "imageHeight");
            // Ignored when "imageData" is present.
            coder.encodeObject_forKey(NSData::dataWithVector(pngFileBytes(solidBitmap(8, 8, kRed))), "jpegData");
            coder.encodeDouble_forKey(1, "scale");
        }));
        const auto decoded = decode(archive);
        ASSERT_NE(decoded, nullptr);
        if (length == 24) {
            ASSERT_NE(decoded->CGImage(), nullptr);
            EXPECT_EQ(decoded->pixelSize(), CGSizeMake(3, 2));
            EXPECT_TRUE(near(pixelAt(decoded->CGImage(), 1, 1), (ARGB{255, 255, 255, 255}), 0));
            // Made on demand from the bitmap.
            const auto png = CGImageCreateFromPNGData(decoded->pngData());
            EXPECT_EQ(CGImageGetWidth(png), 3u);
        } else {
            EXPECT_EQ(decoded->CGImage(), nullptr);
            EXPECT_EQ(decoded->pngData(), nullptr);
        }
    }
}

TEST(Part3_1_VTImage, ImageDataSizesAreUnsigned) {
    // -3 read as unsigned is about 1.8e19 pixels wide: no bitmap, no crash.
    const auto archive = archive_shapes::archive(shaped(VTImage::objcClass(), [&](NSCoder& coder) {
        coder.encodeObject_forKey(NSData::dataWithVector(std::vector<uint8_t>(24)), "imageData");
        coder.encodeInt64_forKey(-3, "imageWidth");
        coder.encodeInt64_forKey(-2, "imageHeight");
    }));
    const auto decoded = decode(archive);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->CGImage(), nullptr);
}

TEST(Part3_1_VTImage, AnEmptyArchiveDecodesWithoutABitmap) {
    const auto archive = archive_shapes::archive(shaped(VTImage::objcClass(), [](NSCoder&) {}));
    const auto decoded = decode(archive);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->CGImage(), nullptr);
    EXPECT_NE(decoded->uuid(), nullptr);  // a new random one
    EXPECT_EQ(decoded->originalURL(), nullptr);
    EXPECT_EQ(decoded->scale(), 1.0f);  // no "scale": the implementer's positive choice
    EXPECT_FALSE(decoded->isVideoOrAudio());
}

TEST(Part3_1_VTImage, ScalesThatAreNotPositiveDecodeAsOne) {
    for (const double scale : {0.0, -2.0, double(NAN), double(INFINITY)}) {
        const auto archive = archive_shapes::archive(shaped(VTImage::objcClass(), [&](NSCoder& coder) {
            coder.encodeDouble_forKey(scale, "scale");
        }));
        const auto decoded = decode(archive);
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(decoded->scale(), 1.0f) << scale;
    }
}

TEST(Part3_1_VTImage, WrongKindsRaiseAsTheCoderDoes) {
    const auto archive = archive_shapes::archive(shaped(VTImage::objcClass(), [](NSCoder& coder) {
        coder.encodeObject_forKey(NSString::stringWithUTF8String("not data"), "jpegData");
    }));
    EXPECT_EQ(test::failureOf([&] { decode(archive); }).name, NSInvalidUnarchiveOperationException);
}

// ---- Video and audio in archives, and the decoding style

class VideoArchive {
public:
    // The archive of an asset imported from the red video (its "videoData" and a still of its first
    // frame), made with the process's own temporary directory.
    VideoArchive() {
        const auto image = VTImage::imageWithURL(fileURL(media().video));
        videoBytes = test::readFile(media().video);
        archive = NSKeyedArchiver::archivedDataWithRootObject(image);
        uuid = image->uuid();
    }
    std::vector<uint8_t> videoBytes;
    std::shared_ptr<const NSData> archive;
    std::shared_ptr<const NSUUID> uuid;
};

TEST(Part3_1_VTImage, AVideoIsArchivedWithItsBytes) {
    const VideoArchive video;
    EXPECT_EQ(archivedKeys(video.archive), (std::vector<std::string>{"videoData", "jpegData", "uuid", "url", "scale"}));
    StoredArchive stored(*video.archive);
    const auto bytes = stored.referencedEntry(stored.root(), "videoData");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->kind, plist::Kind::Data);
    EXPECT_EQ(bytes->count, video.videoBytes.size());
}

TEST(Part3_1_VTImage, DecodingStyleOneDecodesAVideoAsAStillAndWritesNothing) {
    ThreadSettingsReset reset;
    const VideoArchive video;
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", temporary.path().string());
    VTImage::setDecodingStyle(1);
    std::weak_ptr<VTImage> weak;
    {
        const auto decoded = decode(video.archive);
        ASSERT_NE(decoded, nullptr);
        weak = decoded;
        EXPECT_FALSE(decoded->isVideoOrAudio());
        EXPECT_EQ(decoded->temporaryFileURL(), nullptr);
        EXPECT_EQ(decoded->mediaAsset(), nullptr);
        ASSERT_NE(decoded->CGImage(), nullptr);  // the still of the first frame
        EXPECT_TRUE(near(pixelAt(decoded->CGImage(), 32, 24), kRed, 12));
        EXPECT_EQ(decoded->pixelSize(), CGSizeMake(64, 48));
        EXPECT_TRUE(decoded->uuid()->isEqual(*video.uuid));
        EXPECT_TRUE(fs::is_empty(temporary.path()));
    }
    ASSERT_TRUE(waitUntilReleased(weak));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST(Part3_1_VTImage, DecodingStyleZeroWritesTheVideoUntilTheAssetGoesAway) {
    ThreadSettingsReset reset;
    const VideoArchive video;
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", temporary.path().string());
    std::weak_ptr<VTImage> weak;
    {
        const auto decoded = decode(video.archive);
        ASSERT_NE(decoded, nullptr);
        weak = decoded;
        EXPECT_TRUE(decoded->isVideoOrAudio());
        EXPECT_FALSE(decoded->isAudio());
        const auto names = namesIn(temporary.path());
        ASSERT_EQ(names.size(), 1u);
        EXPECT_TRUE(names[0].ends_with("_clip.mp4")) << names[0];  // named after the original URL
        EXPECT_EQ(decoded->temporaryFileURL()->path(), (temporary.path() / names[0]).string());
        EXPECT_EQ(test::readFile(temporary.path() / names[0]), video.videoBytes);
        // The media asset is made on first use only.
        EXPECT_EQ(decoded->duration(), 0.0);
        EXPECT_EQ(decoded->pixelSize(), CGSizeMake(64, 48));  // asks for the media asset
        EXPECT_NEAR(decoded->duration(), 1.0, 0.05);
    }
    ASSERT_TRUE(waitUntilReleased(weak));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST(Part3_1_VTImage, DurationIsZeroUntilTheMediaAssetIsAskedFor) {
    ThreadSettingsReset reset;
    const VideoArchive video;
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", temporary.path().string());
    const auto decoded = decode(video.archive);
    ASSERT_NE(decoded, nullptr);
    ASSERT_TRUE(decoded->isVideoOrAudio());
    EXPECT_EQ(decoded->duration(), 0.0);
    EXPECT_EQ(decoded->duration(), 0.0);  // asking for the duration does not make the media asset
    const auto asset = decoded->mediaAsset();
    ASSERT_NE(asset, nullptr);
    EXPECT_EQ(decoded->mediaAsset(), asset);  // made once, then kept
    EXPECT_NEAR(decoded->duration(), 1.0, 0.05);
}

TEST(Part3_1_VTImage, AVideoThatCannotBeWrittenDecodesAsAStill) {
    ThreadSettingsReset reset;
    const VideoArchive video;
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", (temporary.path() / "missing").string());
    LogCapture log;
    const auto decoded = decode(video.archive);
    ASSERT_NE(decoded, nullptr);
    EXPECT_FALSE(decoded->isVideoOrAudio());
    EXPECT_EQ(decoded->temporaryFileURL(), nullptr);
    EXPECT_NE(decoded->CGImage(), nullptr);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Could write video to temporary directory"});
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST(Part3_1_VTImage, AVideoDecodedWithoutAnOriginalURLIsNamedTemp) {
    ThreadSettingsReset reset;
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", temporary.path().string());
    const auto archive = archive_shapes::archive(shaped(VTImage::objcClass(), [](NSCoder& coder) {
        coder.encodeObject_forKey(NSData::dataWithVector({1, 2, 3}), "videoData");
        coder.encodeDouble_forKey(1, "scale");
    }));
    const auto decoded = decode(archive);
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->isAudio());  // media without a still
    const auto names = namesIn(temporary.path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].ends_with("_temp")) << names[0];
    // Bytes the media framework cannot read: no video track, and an invalid duration, which
    // CoreMedia orders above zero.
    EXPECT_EQ(decoded->pixelSize(), CGSizeZero);
    EXPECT_TRUE(std::isnan(decoded->duration()));
}

// ---- Temporary file names

TEST(Part3_1_VTImage, TempVideoURLIsAUniqueNameInTheTemporaryDirectory) {
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", "/var/tmp/somewhere");
    const auto url = NSURL::fileURLWithPath("/Users/me/Movies/My Clip.mov");
    const auto a = tempVideoURLForURL(url.get()), b = tempVideoURLForURL(url.get());
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->isFileURL());
    const fs::path path = a->path();
    EXPECT_EQ(path.parent_path(), "/var/tmp/somewhere");
    EXPECT_TRUE(path.filename().string().ends_with("_My Clip.mov")) << path;
    // "<globally unique string>_<component>": a UUID, the process identifier and a sequence number.
    EXPECT_EQ(path.filename().string().size(), std::string("_My Clip.mov").size() +
                                                   NSProcessInfo::processInfo()->globallyUniqueString().size());
    EXPECT_NE(a->path(), b->path());
}

TEST(Part3_1_VTImage, TempVideoURLWithoutAComponentEndsInTemp) {
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", "/var/tmp");
    for (const auto& url : {std::shared_ptr<NSURL>(), NSURL::fileURLWithPath("/"),
                            NSURL::URLWithString("https://example.com")}) {
        const fs::path path = tempVideoURLForURL(url.get())->path();
        EXPECT_EQ(path.parent_path(), "/var/tmp");
        EXPECT_TRUE(path.filename().string().ends_with("_temp")) << path;
    }
    // A URL of another scheme still names the file after its last component.
    const fs::path web = tempVideoURLForURL(NSURL::URLWithString("https://example.com/a/b.mp4?x=1").get())->path();
    EXPECT_TRUE(web.filename().string().ends_with("_b.mp4")) << web;
}

TEST(Part3_1_VTImage, AnArchivedURLCannotLeadOutOfTheTemporaryDirectory) {
    ThreadSettingsReset reset;
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", temporary.path().string());
    const auto archive = archive_shapes::archive(shaped(VTImage::objcClass(), [](NSCoder& coder) {
        coder.encodeObject_forKey(NSData::dataWithVector({1}), "videoData");
        coder.encodeObject_forKey(NSURL::URLWithString("file:///a/../../etc/passwd/.."), "url");
    }));
    const auto decoded = decode(archive);
    ASSERT_NE(decoded, nullptr);
    ASSERT_NE(decoded->temporaryFileURL(), nullptr);
    EXPECT_EQ(fs::path(decoded->temporaryFileURL()->path()).parent_path(), temporary.path());
    EXPECT_EQ(namesIn(temporary.path()).size(), 1u);
}

// ---- Equality and hash

TEST(Part3_1_VTImage, StillsFromTheSamePNGBytesAreEqualAndHashAlike) {
    const auto bytes = NSData::dataWithVector(pngFileBytes(solidBitmap(20, 10, kRed)));
    const auto archive = archive_shapes::archive(shaped(VTImage::objcClass(), [&](NSCoder& coder) {
        coder.encodeObject_forKey(bytes, "jpegData");
        coder.encodeDouble_forKey(1, "scale");
    }));
    const auto a = decode(archive), b = decode(archive);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(a, b);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_TRUE(b->isEqual(*a));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_EQ(a->hash(), size_t{20 ^ 10});

    const auto other = VTImage::init();
    other->_setCGImage(solidBitmap(20, 10, kBlue));
    EXPECT_FALSE(a->isEqual(*other));
    EXPECT_FALSE(a->isEqual(nullptr));
    EXPECT_FALSE(a->isEqual(*NSString::stringWithUTF8String("VTImage")));
    EXPECT_TRUE(a->isEqual(*a));
}

TEST(Part3_1_VTImage, StillsWithoutBitmapsAreEqualOnlyToThemselves) {
    const auto a = VTImage::init(), b = VTImage::init();
    EXPECT_TRUE(a->isEqual(*a));
    EXPECT_FALSE(a->isEqual(*b));
}

TEST(Part3_1_VTImage, AStillAndAVideoAreNeverEqual) {
    const auto& files = media();
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", temporary.path().string());
    const auto video = VTImage::imageWithURL(fileURL(files.video));
    ASSERT_NE(video, nullptr);
    // A still of the very same frame.
    const auto still = VTImage::imageWithOSImage(NSImage::initWithCGImage_size(video->CGImage(), CGSizeZero));
    ASSERT_NE(still, nullptr);
    EXPECT_TRUE(still->pngData()->isEqual(*video->pngData()));
    EXPECT_FALSE(still->isEqual(*video));
    EXPECT_FALSE(video->isEqual(*still));
    EXPECT_EQ(video->hash(), size_t{64 ^ 48 ^ 1});
    EXPECT_EQ(still->hash(), size_t{64 ^ 48});
}

TEST(Part3_1_VTImage, VideosAreEqualWhenTheirFilesAre) {
    const auto& files = media();
    test::ScratchDirectory temporary;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", temporary.path().string());
    const auto a = VTImage::imageWithURL(fileURL(files.video));
    const auto b = VTImage::imageWithURL(fileURL(files.video));
    const auto other = VTImage::imageWithURL(fileURL(files.otherVideo));
    ASSERT_TRUE(a && b && other);
    EXPECT_NE(a->temporaryFileURL()->path(), b->temporaryFileURL()->path());
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(*other));
}
