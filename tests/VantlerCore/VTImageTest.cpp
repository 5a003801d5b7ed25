// The image asset: import of images and media files, raw pixels, the per-thread settings, the
// archive forms, equality, and the private copies of media files in the temporary directory.
// Media files are made at test time with `ffmpeg`.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "AVFoundation.h"
#include "ArchiveShapes.h"
#include "ImageAssetTestSupport.h"
#include "NSImage.h"
#include "NSProcessInfo.h"
#include "NSString.h"
#include "ScopedEnvironmentVariable.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace archive_shapes;
using namespace image_assets;
using Names = std::vector<std::string>;

namespace {

void ffmpeg(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"});
    const auto result = test::run(arguments);
    ASSERT_EQ(result.exitStatus, 0) << "ffmpeg failed: " << result.standardError;
}

void makeSolidVideo(const std::string& colour, const std::string& size, const fs::path& path) {
    ffmpeg({"-f", "lavfi", "-i", "color=c=" + colour + ":s=" + size + ":r=25:d=1", "-c:v",
            "libx264", "-pix_fmt", "yuv420p", path.string()});
}

// Media files made once for the whole test program.
struct MediaFiles {
    test::ScratchDirectory folder;
    fs::path video = folder.path() / "clip.mp4";        // 64 × 48, red, 1 s
    fs::path otherVideo = folder.path() / "other.mp4";  // the same, blue
    fs::path rotated = folder.path() / "rotated.mp4";   // stored 64 × 32, blue, turned 90°
    fs::path audio = folder.path() / "tone.wav";        // 0.5 s, no video track
    MediaFiles() {
        const fs::path plain = folder.path() / "plain.mp4";
        makeSolidVideo("red", "64x48", video);
        makeSolidVideo("blue", "64x48", otherVideo);
        makeSolidVideo("blue", "64x32", plain);
        ffmpeg(
            {"-i", plain.string(), "-c", "copy", "-metadata:s:v:0", "rotate=90", rotated.string()});
        ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=0.5", "-c:a", "pcm_s16le",
                audio.string()});
    }
};

const MediaFiles& media() {
    static const auto* files = new MediaFiles;
    return *files;
}

std::shared_ptr<const NSURL> fileURL(const fs::path& path) {
    return NSURL::fileURLWithPath(path.string());
}

std::shared_ptr<VTImage> importPNG(const fs::path& path, size_t width, size_t height,
                                   ARGB colour = kRed) {
    test::writeFile(path, pngFileBytes(solidBitmap(width, height, colour)));
    return VTImage::imageWithURL(fileURL(path));
}

Names namesIn(const fs::path& directory) {
    Names names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    return names;
}

Names archivedKeys(const std::shared_ptr<const NSData>& archive) {
    const StoredArchive stored(*archive);
    return stored.keys(stored.root());
}

// A temporary directory of the test's own, where assets put their private media copies; the
// media files are made first, outside it.
struct OwnTemporaryDirectory {
    const MediaFiles& files = media();
    test::ScratchDirectory scratch;
    test::ScopedEnvironmentVariable tmpdir{"TMPDIR", scratch.path().string()};
    const fs::path& path() const { return scratch.path(); }
};

// Puts the test thread's decoding style and encoding delegate back to their defaults.
struct ThreadSettingsReset {
    ~ThreadSettingsReset() {
        VTImage::setDecodingStyle(0);
        VTImage::setEncodingDelegate(nullptr);
    }
};

class RecordingDelegate : public VTImageEncodingDelegate {
  public:
    void image_didEncodeWithID(const std::shared_ptr<const VTImage>& image,
                               const std::shared_ptr<const NSUUID>& uuid) override {
        calls.emplace_back(image, uuid);
    }
    std::vector<std::pair<std::shared_ptr<const VTImage>, std::shared_ptr<const NSUUID>>> calls;
};

std::shared_ptr<VTImage> decodeImage(std::function<void(NSCoder&)> encode) {
    return decodeShaped<VTImage>("VTImage", std::move(encode));
}

}  // namespace

TEST(VTImage, ImportTakesTheScaleFromTheFileNameWithoutItsExtension) {
    test::ScratchDirectory scratch;
    fs::create_directory(scratch.path() / "art@2x");
    const std::pair<const char*, float> cases[] = {
        {"button@2x.png", 2}, {"icon@3x copy.png", 3}, {"a@2x@3x.png", 2},
        {"photo.png", 1},     {"art@2x/plain.png", 1}, {"shot.@3x", 1},
    };
    for (const auto& [name, scale] : cases) {
        SCOPED_TRACE(name);
        const auto image = importPNG(scratch.path() / name, 4, 2);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->scale(), scale);
        EXPECT_EQ(image->originalURL()->path(), (scratch.path() / name).string());
        EXPECT_EQ(image->pixelSize(), CGSizeMake(4, 2));
        EXPECT_FALSE(image->isVideoOrAudio());
        EXPECT_EQ(image->temporaryFileURL(), nullptr);
    }
    EXPECT_EQ(importPNG(scratch.path() / "wide@2x.png", 101, 51)->pointSize(), CGSizeMake(51, 26));
}

TEST(VTImage, ImportOfAnUnreadableFileIsNoneAndCopiesNothing) {
    OwnTemporaryDirectory temporary;
    test::writeFile(temporary.path() / "garbage.png", {1, 2, 3, 4, 5});
    test::writeFile(temporary.path() / "empty.mp4", {});
    for (const char* name : {"garbage.png", "empty.mp4", "missing.png"})
        EXPECT_EQ(VTImage::imageWithURL(fileURL(temporary.path() / name)), nullptr) << name;
    EXPECT_EQ(VTImage::imageWithURL(nullptr), nullptr);
    EXPECT_EQ(namesIn(temporary.path()), (Names{"empty.mp4", "garbage.png"}));
    EXPECT_FALSE(isSupportedVideoType(*fileURL(temporary.path() / "garbage.png")));
}

TEST(VTImage, ImportOfAVideoCopiesItAndTakesTheFirstFrameUntilTheAssetGoesAway) {
    OwnTemporaryDirectory temporary;
    std::weak_ptr<VTImage> weak;
    {
        const auto image = VTImage::imageWithURL(fileURL(media().video));
        ASSERT_NE(image, nullptr);
        weak = image;
        EXPECT_TRUE(image->isVideoOrAudio());
        EXPECT_FALSE(image->isAudio());
        EXPECT_EQ(image->pixelSize(), CGSizeMake(64, 48));
        EXPECT_TRUE(near(pixelAt(image->CGImage(), 32, 24), kRed, 12));
        EXPECT_NEAR(image->duration(), 1.0, 0.05);
        ASSERT_NE(image->temporaryFileURL(), nullptr);
        EXPECT_EQ(image->videoURL(), image->temporaryFileURL());
        const fs::path copy = image->temporaryFileURL()->path();
        EXPECT_EQ(copy.parent_path(), temporary.path());
        EXPECT_TRUE(copy.filename().string().ends_with("_clip.mp4")) << copy;
        EXPECT_EQ(test::readFile(copy), test::readFile(media().video));
        EXPECT_EQ(image->hash(), size_t{64 ^ 48 ^ 1});
    }
    ASSERT_TRUE(waitUntilReleased(weak));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST(VTImage, ImportOfARotatedVideoHasTheStoredSizeAndAnUprightFrame) {
    OwnTemporaryDirectory temporary;
    const auto image = VTImage::imageWithURL(fileURL(media().rotated));
    EXPECT_EQ(image->pixelSize(), CGSizeMake(64, 32));
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), 32u);
    EXPECT_EQ(CGImageGetHeight(image->CGImage()), 64u);
    EXPECT_TRUE(near(pixelAt(image->CGImage(), 16, 32), kBlue, 12));
}

TEST(VTImage, ImportOfAnAudioFileHasNoBitmapAndLogsTheFailedGrab) {
    OwnTemporaryDirectory temporary;
    test::LogCapture log;
    const auto image = VTImage::imageWithURL(fileURL(media().audio));
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->isAudio());
    EXPECT_EQ(image->CGImage(), nullptr);
    EXPECT_EQ(image->pngData(), nullptr);
    EXPECT_NEAR(image->duration(), 0.5, 0.05);
    EXPECT_EQ(image->hash(), 1u);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with(
        "Thumbnail Generation Error Error Domain=AVFoundationErrorDomain Code="))
        << log.lines()[0];
}

TEST(VTImage, PlatformImagesShareTheBitmap) {
    EXPECT_EQ(VTImage::imageWithOSImage(nullptr), nullptr);
    EXPECT_EQ(VTImage::init()->osImage(), nullptr);
    const auto bitmap = solidBitmap(7, 4, kBlue);
    const auto image = VTImage::imageWithOSImage(NSImage::initWithCGImage_size(bitmap, CGSizeZero));
    EXPECT_EQ(image->CGImage(), bitmap);  // the same bitmap, not a copy
    EXPECT_FALSE(image->uuid()->isEqual(*VTImage::init()->uuid()));
    EXPECT_EQ(image->osImage()->size(), CGSizeMake(7, 4));
    EXPECT_EQ(NSImageCGImage(*image->osImage()), bitmap);
}

TEST(VTImage, PNGDataIsEncodedOnceAndWrittenToAPath) {
    const auto image = assetWithBitmap(solidBitmap(101, 51, kBlue));
    const auto png = image->pngData();
    EXPECT_EQ(image->pngData(), png);  // kept, not encoded again
    EXPECT_EQ(image->hash(), size_t{101 ^ 51});
    EXPECT_EQ(VTImage::init()->hash(), 0u);
    test::ScratchDirectory scratch;
    VTImage::init()->writeToPath((scratch.path() / "none.png").string());  // no bitmap: nothing
    image->writeToPath((scratch.path() / "out.png").string());
    image->writeToPath((scratch.path() / "missing" / "out.png").string());
    EXPECT_EQ(namesIn(scratch.path()), Names{"out.png"});
    EXPECT_EQ(test::readFile(scratch.path() / "out.png"),
              std::vector<uint8_t>(png->span().begin(), png->span().end()));
}

TEST(VTImage, RawPixelsNeedExactlyFourBytesPerPixelOfTheRoundedSize) {
    const struct {
        size_t length;
        CGSize size;
        bool made;
    } cases[] = {
        {24, {3, 2}, true},     {23, {3, 2}, false},     {25, {3, 2}, false},
        {24, {2.5, 1.5}, true}, {8, {2.49, 1.4}, true},  {24, {-3, -2}, false},
        {24, {NAN, 2}, false},  {24, {32768, 1}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CGImageCreateFromData(NSData::dataWithVector(std::vector<uint8_t>(c.length)),
                                        c.size) != nullptr,
                  c.made)
            << c.length << " bytes, " << c.size.width << " x " << c.size.height;
    EXPECT_EQ(CGImageCreateFromData(nullptr, CGSizeMake(3, 2)), nullptr);
    const std::vector<uint8_t> bytes{255, 10, 100, 7, 128, 0, 64, 128};  // A R G B, premultiplied
    const auto image = CGImageCreateFromData(NSData::dataWithVector(bytes), CGSizeMake(2, 1));
    EXPECT_EQ(CGImageGetColorSpace(image), CGColorSpaceCreateDeviceRGB());
    EXPECT_EQ(CGImageGetBitmapInfo(image), CGBitmapInfo{kCGImageAlphaPremultipliedFirst});
    EXPECT_TRUE(std::ranges::equal(bytes, CGImageGetBytes(image)));
}

TEST(VTImage, SettingsArePerThreadAndAnyNonZeroStyleIsOne) {
    ThreadSettingsReset reset;
    VTImage::setDecodingStyle(-5);
    EXPECT_EQ(VTImage::decodingStyle(), 1);
    auto delegate = std::make_shared<RecordingDelegate>();
    const std::weak_ptr<RecordingDelegate> weak = delegate;
    VTImage::setEncodingDelegate(std::move(delegate));
    std::thread([] {
        EXPECT_EQ(VTImage::decodingStyle(), 0);
        EXPECT_EQ(VTImage::encodingDelegate(), nullptr);
        VTImage::setDecodingStyle(0);
    }).join();
    EXPECT_EQ(VTImage::decodingStyle(), 1);
    EXPECT_EQ(VTImage::encodingDelegate(), weak.lock());  // kept strongly until removed
    VTImage::setEncodingDelegate(nullptr);
    EXPECT_TRUE(weak.expired());
}

TEST(VTImage, AStillRoundTripsThroughItsPNGBytesOrOnlyItsIdentityWithADelegate) {
    ThreadSettingsReset reset;
    test::ScratchDirectory scratch;
    const auto image = importPNG(scratch.path() / "b@3x.png", 10, 6, kBlue);
    const auto data = archive(image);
    EXPECT_EQ(archivedKeys(data), (Names{"jpegData", "uuid", "url", "scale"}));
    const StoredArchive stored(*data);
    EXPECT_EQ(stored.value(stored.root(), "scale")->count, 8u);  // written as a double
    const auto decoded = unarchive<VTImage>(data);
    EXPECT_TRUE(decoded->uuid()->isEqual(*image->uuid()));
    EXPECT_TRUE(decoded->originalURL()->isEqual(*image->originalURL()));
    EXPECT_EQ(decoded->scale(), 3.0f);
    EXPECT_EQ(decoded->pointSize(), CGSizeMake(4, 2));
    EXPECT_TRUE(near(pixelAt(decoded->CGImage(), 5, 3), kBlue, 0));
    EXPECT_TRUE(decoded->isEqual(*image));

    const auto delegate = std::make_shared<RecordingDelegate>();
    VTImage::setEncodingDelegate(delegate);
    const auto identity = archive(image);
    EXPECT_EQ(archivedKeys(identity), (Names{"uuid", "url", "scale"}));
    ASSERT_EQ(delegate->calls.size(), 1u);
    EXPECT_EQ(delegate->calls[0].first, image);
    EXPECT_EQ(delegate->calls[0].second, image->uuid());
    EXPECT_EQ(unarchive<VTImage>(identity)->CGImage(), nullptr);
}

TEST(VTImage, ArchivedBitmapForms) {
    const auto jpeg =
        NSData::dataWithVector(test::readFile(test::dataDir() / "images" / "jpeg-rgb.jpg"));
    const auto rawPixels = [&](size_t length, int64_t width, int64_t height) {
        return [=](NSCoder& coder) {
            coder.encodeObject_forKey(NSData::dataWithVector(std::vector<uint8_t>(length, 255)),
                                      "imageData");
            coder.encodeInt64_forKey(width, "imageWidth");
            coder.encodeInt64_forKey(height, "imageHeight");
            coder.encodeObject_forKey(jpeg, "jpegData");  // ignored beside "imageData"
        };
    };
    // Any image format under "jpegData", kept as archived rather than re-encoded.
    const auto fromJPEG = decodeImage([&](NSCoder& c) { c.encodeObject_forKey(jpeg, "jpegData"); });
    EXPECT_NE(fromJPEG->CGImage(), nullptr);
    EXPECT_TRUE(fromJPEG->pngData()->isEqual(*jpeg));
    const auto raw = decodeImage(rawPixels(24, 3, 2));
    EXPECT_TRUE(near(pixelAt(raw->CGImage(), 1, 1), (ARGB{255, 255, 255, 255}), 0));
    EXPECT_EQ(CGImageGetWidth(CGImageCreateFromPNGData(raw->pngData())), 3u);
    // Sizes read as unsigned (-3 is about 1.8e19 pixels): no bitmap, no crash.
    EXPECT_EQ(decodeImage(rawPixels(24, -3, -2))->CGImage(), nullptr);
    const auto empty = decodeImage([](NSCoder&) {});
    EXPECT_EQ(empty->CGImage(), nullptr);
    EXPECT_NE(empty->uuid(), nullptr);
    EXPECT_EQ(empty->scale(), 1.0f);
    // A scale that would make point sizes meaningless decodes as 1.
    for (const double scale : {0.0, double(NAN)})
        EXPECT_EQ(decodeImage([&](NSCoder& c) { c.encodeDouble_forKey(scale, "scale"); })->scale(),
                  1.0f)
            << scale;
    EXPECT_EQ(test::failureOf([] {
                  decodeImage([](NSCoder& c) {
                      c.encodeObject_forKey(NSString::stringWithUTF8String("x"), "jpegData");
                  });
              }).name,
              NSInvalidUnarchiveOperationException);
}

class VTImageVideoArchive : public testing::Test {
  protected:
    void SetUp() override { data = archive(VTImage::imageWithURL(fileURL(media().video))); }
    ThreadSettingsReset reset;
    std::shared_ptr<const NSData> data;
};

TEST_F(VTImageVideoArchive, DecodingStyleOneDecodesAStillAndWritesNothing) {
    EXPECT_EQ(archivedKeys(data), (Names{"videoData", "jpegData", "uuid", "url", "scale"}));
    OwnTemporaryDirectory temporary;
    VTImage::setDecodingStyle(1);
    const auto decoded = unarchive<VTImage>(data);
    EXPECT_FALSE(decoded->isVideoOrAudio());
    EXPECT_TRUE(near(pixelAt(decoded->CGImage(), 32, 24), kRed, 12));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST_F(VTImageVideoArchive, DecodingStyleZeroWritesTheVideoUntilTheAssetGoesAway) {
    OwnTemporaryDirectory temporary;
    std::weak_ptr<VTImage> weak;
    {
        const auto decoded = unarchive<VTImage>(data);
        weak = decoded;
        EXPECT_TRUE(decoded->isVideoOrAudio());
        const auto names = namesIn(temporary.path());
        ASSERT_EQ(names.size(), 1u);
        EXPECT_TRUE(names[0].ends_with("_clip.mp4")) << names[0];  // after the original URL
        EXPECT_EQ(test::readFile(temporary.path() / names[0]), test::readFile(media().video));
        // The media asset is made on first use only, and then kept.
        EXPECT_EQ(decoded->duration(), 0.0);
        const auto asset = decoded->mediaAsset();
        EXPECT_EQ(decoded->mediaAsset(), asset);
        EXPECT_NEAR(decoded->duration(), 1.0, 0.05);
    }
    ASSERT_TRUE(waitUntilReleased(weak));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST_F(VTImageVideoArchive, AVideoThatCannotBeWrittenDecodesAsAStill) {
    test::ScratchDirectory scratch;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", (scratch.path() / "missing").string());
    test::LogCapture log;
    const auto decoded = unarchive<VTImage>(data);
    EXPECT_FALSE(decoded->isVideoOrAudio());
    EXPECT_NE(decoded->CGImage(), nullptr);
    EXPECT_EQ(log.lines(), Names{"Could write video to temporary directory"});
}

// The file name comes from the archived URL, which must not lead out of the temporary directory.
TEST(VTImage, ArchivedVideoCopiesStayInTheTemporaryDirectory) {
    OwnTemporaryDirectory temporary;
    const auto decoded = decodeImage([&](NSCoder& coder) {
        coder.encodeObject_forKey(NSData::dataWithVector({1, 2, 3}), "videoData");
        coder.encodeObject_forKey(NSURL::URLWithString("file:///a/../../etc/passwd/.."), "url");
    });
    EXPECT_EQ(fs::path(decoded->temporaryFileURL()->path()).parent_path(), temporary.path());
    EXPECT_EQ(namesIn(temporary.path()).size(), 1u);
    // Bytes the media framework cannot read: no video track, and an invalid duration.
    EXPECT_TRUE(decoded->isAudio());
    EXPECT_EQ(decoded->pixelSize(), CGSizeZero);
    EXPECT_TRUE(std::isnan(decoded->duration()));
}

TEST(VTImage, TemporaryVideoNamesAreUniqueAndEndInTheLastPathComponent) {
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", "/var/tmp/somewhere");
    const size_t unique = NSProcessInfo::processInfo()->globallyUniqueString().size();
    const std::pair<std::shared_ptr<NSURL>, std::string> cases[] = {
        {NSURL::fileURLWithPath("/Users/me/Movies/My Clip.mov"), "_My Clip.mov"},
        {NSURL::URLWithString("https://example.com/a/b.mp4?x=1"), "_b.mp4"},
        {nullptr, "_temp"},
        {NSURL::fileURLWithPath("/"), "_temp"},
    };
    for (const auto& [url, suffix] : cases) {
        const fs::path path = tempVideoURLForURL(url.get())->path();
        EXPECT_EQ(path.parent_path(), "/var/tmp/somewhere");
        EXPECT_EQ(path.filename().string().substr(unique), suffix) << path;
        EXPECT_NE(tempVideoURLForURL(url.get())->path(), path);
    }
}

TEST(VTImage, StillsAreEqualByTheirPNGBytesAndVideosByTheirFiles) {
    OwnTemporaryDirectory temporary;
    const auto png = NSData::dataWithVector(pngFileBytes(solidBitmap(20, 10, kRed)));
    const auto still = [&] {
        return decodeImage([&](NSCoder& c) { c.encodeObject_forKey(png, "jpegData"); });
    };
    const auto a = still(), b = still();
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(*assetWithBitmap(solidBitmap(20, 10, kBlue))));
    EXPECT_FALSE(a->isEqual(nullptr));
    EXPECT_FALSE(a->isEqual(*NSString::stringWithUTF8String("VTImage")));
    const auto bare = VTImage::init();  // without a bitmap, equal only to itself
    EXPECT_TRUE(bare->isEqual(*bare));
    EXPECT_FALSE(bare->isEqual(*VTImage::init()));
    const auto video = VTImage::imageWithURL(fileURL(media().video));
    EXPECT_TRUE(video->isEqual(*VTImage::imageWithURL(fileURL(media().video))));
    EXPECT_FALSE(video->isEqual(*VTImage::imageWithURL(fileURL(media().otherVideo))));
    // A still of the very same frame, with the same PNG bytes, is not the video.
    const auto frame = assetWithBitmap(video->CGImage());
    EXPECT_TRUE(frame->pngData()->isEqual(*video->pngData()));
    EXPECT_FALSE(frame->isEqual(*video));
    EXPECT_FALSE(video->isEqual(*frame));
}
