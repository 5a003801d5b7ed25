// The image asset: import of images and media files, raw pixels, the per-thread decoding style and
// encoding delegate, the archive forms, sizes, equality and hash, and the private copies of media
// files in the temporary directory. Media files are made at test time with `ffmpeg`.

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

namespace {

void ffmpeg(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto result = test::run(argv);
    ASSERT_EQ(result.exitStatus, 0) << "ffmpeg failed: " << result.standardError;
}

void makeSolidVideo(const char* colour, const char* size, const fs::path& path) {
    ffmpeg({"-f", "lavfi", "-i", std::string("color=c=") + colour + ":s=" + size + ":r=25:d=1",
            "-c:v", "libx264", "-pix_fmt", "yuv420p", path.string()});
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
        ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=0.5", "-c:a",
                "pcm_s16le", audio.string()});
    }
};

const MediaFiles& media() {
    static const auto* files = new MediaFiles;
    return *files;
}

std::shared_ptr<const NSURL> fileURL(const fs::path& path) {
    return NSURL::fileURLWithPath(path.string());
}

void writePNG(const fs::path& path, size_t width, size_t height, ARGB colour = kRed) {
    test::writeFile(path, pngFileBytes(solidBitmap(width, height, colour)));
}

std::vector<std::string> namesIn(const fs::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> archivedKeys(const std::shared_ptr<const NSData>& archive) {
    const StoredArchive stored(*archive);
    return stored.keys(stored.root());
}

// A temporary directory of the test's own, where assets put their private media copies.
struct OwnTemporaryDirectory {
    const MediaFiles& files = media();  // made first, outside this directory
    test::ScratchDirectory scratch;
    test::ScopedEnvironmentVariable tmpdir{"TMPDIR", scratch.path().string()};
    const fs::path& path() const { return scratch.path(); }
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

// ---- Import

TEST(VTImage, ImportTakesTheScaleFromTheFileNameWithoutItsExtension) {
    test::ScratchDirectory scratch;
    fs::create_directory(scratch.path() / "art@2x");
    const std::pair<const char*, float> cases[] = {
        {"button@2x.png", 2}, {"icon@3x copy.png", 3}, {"a@2x@3x.png", 2},
        {"photo.png", 1},     {"art@2x/plain.png", 1}, {"shot.@3x", 1},
    };
    for (const auto& [name, scale] : cases) {
        SCOPED_TRACE(name);
        writePNG(scratch.path() / name, 4, 2);
        const auto url = fileURL(scratch.path() / name);
        const auto image = VTImage::imageWithURL(url);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->scale(), scale);
        EXPECT_EQ(image->originalURL(), url);
        EXPECT_EQ(image->pixelSize(), CGSizeMake(4, 2));
        EXPECT_FALSE(image->isVideoOrAudio());
    }
    // Any format the image reader takes.
    const auto jpeg = VTImage::imageWithURL(fileURL(test::dataDir() / "images" / "jpeg-rgb.jpg"));
    ASSERT_NE(jpeg, nullptr);
    EXPECT_NE(jpeg->CGImage(), nullptr);
    EXPECT_EQ(jpeg->temporaryFileURL(), nullptr);
}

TEST(VTImage, ImportOfAnUnreadableFileIsNoneAndCopiesNothing) {
    test::ScratchDirectory scratch;
    OwnTemporaryDirectory temporary;
    test::writeFile(scratch.path() / "garbage.png", {1, 2, 3, 4, 5});
    test::writeFile(scratch.path() / "empty.mp4", {});
    for (const char* name : {"garbage.png", "empty.mp4", "missing.png", ""})
        EXPECT_EQ(VTImage::imageWithURL(fileURL(scratch.path() / name)), nullptr) << name;
    EXPECT_EQ(VTImage::imageWithURL(nullptr), nullptr);
    EXPECT_TRUE(fs::is_empty(temporary.path()));
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
        EXPECT_EQ(image->pointSize(), CGSizeMake(64, 48));
        EXPECT_TRUE(near(pixelAt(image->CGImage(), 32, 24), kRed, 12));
        EXPECT_NEAR(image->duration(), 1.0, 0.05);  // import made the media asset
        // The private copy: "<globally unique string>_clip.mp4" in the temporary directory.
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
    ASSERT_NE(image, nullptr);
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
    EXPECT_EQ(image->pixelSize(), CGSizeZero);
    EXPECT_NEAR(image->duration(), 0.5, 0.05);
    EXPECT_EQ(image->hash(), 1u);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with(
        "Thumbnail Generation Error Error Domain=AVFoundationErrorDomain Code="))
        << lines[0];
}

TEST(VTImage, SupportedMediaTypesAreMoviesAndAudioByContent) {
    test::ScratchDirectory scratch;
    writePNG(scratch.path() / "still.png", 2, 2);
    test::writeFile(scratch.path() / "garbage.mov", {1, 2, 3});
    for (const auto& path : {media().video, media().rotated, media().audio})
        EXPECT_TRUE(isSupportedVideoType(*fileURL(path))) << path;
    for (const char* name : {"still.png", "garbage.mov", "missing.mp4"})
        EXPECT_FALSE(isSupportedVideoType(*fileURL(scratch.path() / name))) << name;
}

// ---- The asset's own operations

TEST(VTImage, PlatformImagesShareTheBitmap) {
    EXPECT_EQ(VTImage::imageWithOSImage(nullptr), nullptr);
    EXPECT_EQ(VTImage::init()->osImage(), nullptr);
    const auto bitmap = solidBitmap(7, 4, kBlue);
    const auto image = VTImage::imageWithOSImage(NSImage::initWithCGImage_size(bitmap, CGSizeZero));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->CGImage(), bitmap);  // the same bitmap, not a copy
    EXPECT_EQ(image->scale(), 1.0f);
    EXPECT_NE(image->uuid(), nullptr);
    EXPECT_FALSE(image->uuid()->isEqual(*VTImage::init()->uuid()));
    const auto platform = image->osImage();
    EXPECT_EQ(platform->size(), CGSizeMake(7, 4));
    EXPECT_EQ(NSImageCGImage(*platform), bitmap);
}

TEST(VTImage, PNGDataIsEncodedOnceAndPointSizeRoundsUp) {
    const auto image = assetWithBitmap(solidBitmap(101, 51, kBlue));
    const auto png = image->pngData();
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(image->pngData(), png);  // kept, not encoded again
    EXPECT_TRUE(near(pixelAt(CGImageCreateFromPNGData(png), 3, 2), kBlue, 0));
    EXPECT_EQ(image->hash(), size_t{101 ^ 51});
    EXPECT_EQ(VTImage::init()->hash(), 0u);

    test::ScratchDirectory scratch;
    writePNG(scratch.path() / "wide@2x.png", 101, 51);
    EXPECT_EQ(VTImage::imageWithURL(fileURL(scratch.path() / "wide@2x.png"))->pointSize(),
              CGSizeMake(51, 26));
}

TEST(VTImage, WriteToPathWritesAPNGAndIgnoresFailures) {
    test::ScratchDirectory scratch;
    VTImage::init()->writeToPath((scratch.path() / "none.png").string());  // no bitmap: nothing
    const auto image = assetWithBitmap(solidBitmap(9, 2, kRed));
    image->writeToPath((scratch.path() / "out.png").string());
    image->writeToPath((scratch.path() / "missing" / "out.png").string());
    EXPECT_EQ(namesIn(scratch.path()), std::vector<std::string>{"out.png"});
    const auto written = VTImage::imageWithURL(fileURL(scratch.path() / "out.png"));
    EXPECT_EQ(written->pixelSize(), CGSizeMake(9, 2));
}

TEST(VTImage, RawPixelsNeedExactlyFourBytesPerPixelOfTheRoundedSize) {
    const struct {
        size_t length;
        CGSize size;
        bool made;
    } cases[] = {
        {24, {3, 2}, true},           {23, {3, 2}, false},        {25, {3, 2}, false},
        {24, {2.5, 1.5}, true},       {24, {2.49, 1.5}, false},   {8, {2.49, 1.4}, true},
        {0, {0, 0}, false},           {24, {-3, -2}, false},      {24, {NAN, 2}, false},
        {24, {1e300, 1e-300}, false}, {24, {INFINITY, 0}, false}, {24, {32768, 1}, false},
    };
    for (const auto& c : cases) {
        const auto image =
            CGImageCreateFromData(NSData::dataWithVector(std::vector<uint8_t>(c.length)), c.size);
        EXPECT_EQ(image != nullptr, c.made)
            << c.length << " bytes, " << c.size.width << " x " << c.size.height;
    }
    EXPECT_EQ(CGImageCreateFromData(nullptr, CGSizeMake(3, 2)), nullptr);
    // The bytes are A, R, G, B per pixel, premultiplied device RGB.
    const std::vector<uint8_t> bytes{255, 10, 100, 7, 128, 0, 64, 128};
    const auto image = CGImageCreateFromData(NSData::dataWithVector(bytes), CGSizeMake(2, 1));
    EXPECT_EQ(CGImageGetColorSpace(image), CGColorSpaceCreateDeviceRGB());
    EXPECT_EQ(CGImageGetBitmapInfo(image), CGBitmapInfo{kCGImageAlphaPremultipliedFirst});
    const auto stored = CGImageGetBytes(image);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), stored.begin()));
}

// ---- Per-thread settings

TEST(VTImage, SettingsArePerThreadAndAnyNonZeroStyleIsOne) {
    ThreadSettingsReset reset;
    for (const int64_t style : {5, -1, 1, 0}) {
        VTImage::setDecodingStyle(style);
        EXPECT_EQ(VTImage::decodingStyle(), int64_t{style != 0}) << style;
    }
    VTImage::setDecodingStyle(5);
    auto delegate = std::make_shared<RecordingDelegate>();
    const std::weak_ptr<RecordingDelegate> weak = delegate;
    VTImage::setEncodingDelegate(std::move(delegate));
    int64_t otherStyle = -1;
    bool otherHasDelegate = true;
    std::thread([&] {
        otherStyle = VTImage::decodingStyle();
        otherHasDelegate = VTImage::encodingDelegate() != nullptr;
        VTImage::setDecodingStyle(0);
    }).join();
    EXPECT_EQ(otherStyle, 0);
    EXPECT_FALSE(otherHasDelegate);
    EXPECT_EQ(VTImage::decodingStyle(), 1);
    EXPECT_EQ(VTImage::encodingDelegate(), weak.lock());  // kept strongly until removed
    VTImage::setEncodingDelegate(nullptr);
    EXPECT_TRUE(weak.expired());
}

// ---- The archive forms

TEST(VTImage, AStillRoundTripsThroughItsPNGBytes) {
    test::ScratchDirectory scratch;
    writePNG(scratch.path() / "b@3x.png", 10, 6, kBlue);
    const auto image = VTImage::imageWithURL(fileURL(scratch.path() / "b@3x.png"));
    const auto data = archive(image);
    EXPECT_EQ(archivedKeys(data), (std::vector<std::string>{"jpegData", "uuid", "url", "scale"}));
    const StoredArchive stored(*data);
    EXPECT_EQ(stored.value(stored.root(), "scale")->kind, plist::Kind::Real);
    EXPECT_EQ(stored.value(stored.root(), "scale")->count, 8u);  // written as a double

    const auto decoded = unarchive<VTImage>(data);
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->uuid()->isEqual(*image->uuid()));
    EXPECT_TRUE(decoded->originalURL()->isEqual(*image->originalURL()));
    EXPECT_EQ(decoded->scale(), 3.0f);
    EXPECT_EQ(decoded->pointSize(), CGSizeMake(4, 2));
    EXPECT_TRUE(near(pixelAt(decoded->CGImage(), 5, 3), kBlue, 0));
    EXPECT_TRUE(decoded->isEqual(*image));
}

TEST(VTImage, WithAnEncodingDelegateOnlyTheIdentityIsArchived) {
    ThreadSettingsReset reset;
    test::ScratchDirectory scratch;
    writePNG(scratch.path() / "icon@2x.png", 4, 4);
    const auto image = VTImage::imageWithURL(fileURL(scratch.path() / "icon@2x.png"));
    const auto delegate = std::make_shared<RecordingDelegate>();
    VTImage::setEncodingDelegate(delegate);
    const auto data = archive(image);
    EXPECT_EQ(archivedKeys(data), (std::vector<std::string>{"uuid", "url", "scale"}));
    ASSERT_EQ(delegate->calls.size(), 1u);
    EXPECT_EQ(delegate->calls[0].first, image);
    EXPECT_EQ(delegate->calls[0].second, image->uuid());
    VTImage::setEncodingDelegate(nullptr);
    const auto decoded = unarchive<VTImage>(data);
    EXPECT_TRUE(decoded->uuid()->isEqual(*image->uuid()));
    EXPECT_EQ(decoded->scale(), 2.0f);
    EXPECT_EQ(decoded->CGImage(), nullptr);
}

TEST(VTImage, ArchivedBitmapForms) {
    const auto jpeg =
        NSData::dataWithVector(test::readFile(test::dataDir() / "images" / "jpeg-rgb.jpg"));
    const auto png = NSData::dataWithVector(pngFileBytes(solidBitmap(8, 8, kRed)));
    const auto rawPixels = [&](size_t length, int64_t width, int64_t height) {
        return [=](NSCoder& coder) {
            coder.encodeObject_forKey(NSData::dataWithVector(std::vector<uint8_t>(length, 255)),
                                      "imageData");
            coder.encodeInt64_forKey(width, "imageWidth");
            coder.encodeInt64_forKey(height, "imageHeight");
            coder.encodeObject_forKey(png, "jpegData");  // ignored beside "imageData"
        };
    };
    // Any image format under "jpegData", kept as archived rather than re-encoded.
    const auto fromJPEG =
        decodeImage([&](NSCoder& coder) { coder.encodeObject_forKey(jpeg, "jpegData"); });
    EXPECT_NE(fromJPEG->CGImage(), nullptr);
    EXPECT_TRUE(fromJPEG->pngData()->isEqual(*jpeg));
    // Raw pixels, their PNG made on demand.
    const auto raw = decodeImage(rawPixels(24, 3, 2));
    EXPECT_EQ(raw->pixelSize(), CGSizeMake(3, 2));
    EXPECT_TRUE(near(pixelAt(raw->CGImage(), 1, 1), (ARGB{255, 255, 255, 255}), 0));
    EXPECT_EQ(CGImageGetWidth(CGImageCreateFromPNGData(raw->pngData())), 3u);
    // A wrong length, or sizes read as unsigned (-3 is about 1.8e19 pixels): no bitmap, no crash.
    for (const auto& broken :
         {decodeImage(rawPixels(23, 3, 2)), decodeImage(rawPixels(24, -3, -2))}) {
        ASSERT_NE(broken, nullptr);
        EXPECT_EQ(broken->CGImage(), nullptr);
        EXPECT_EQ(broken->pngData(), nullptr);
    }
    // Nothing at all: a new identity, no bitmap, scale 1.
    const auto empty = decodeImage([](NSCoder&) {});
    EXPECT_EQ(empty->CGImage(), nullptr);
    EXPECT_NE(empty->uuid(), nullptr);
    EXPECT_EQ(empty->originalURL(), nullptr);
    EXPECT_FALSE(empty->isVideoOrAudio());
    // A scale that would make point sizes meaningless decodes as 1.
    for (const double scale : {0.0, -2.0, double(NAN), double(INFINITY)})
        EXPECT_EQ(decodeImage([&](NSCoder& coder) {
                      coder.encodeDouble_forKey(scale, "scale");
                  })->scale(),
                  1.0f)
            << scale;
    EXPECT_EQ(empty->scale(), 1.0f);
    // A value of the wrong kind raises, as the coder does.
    EXPECT_EQ(test::failureOf([] {
                  decodeImage([](NSCoder& coder) {
                      coder.encodeObject_forKey(NSString::stringWithUTF8String("not data"),
                                                "jpegData");
                  });
              }).name,
              NSInvalidUnarchiveOperationException);
}

// ---- Video and audio in archives

class VTImageVideoArchive : public testing::Test {
  protected:
    // The archive of an asset imported from the red video: its bytes and a still of its first
    // frame.
    void SetUp() override {
        const auto image = VTImage::imageWithURL(fileURL(media().video));
        data = archive(image);
        uuid = image->uuid();
    }
    ThreadSettingsReset reset;
    std::shared_ptr<const NSData> data;
    std::shared_ptr<const NSUUID> uuid;
};

TEST_F(VTImageVideoArchive, HoldsTheVideoBytesBeforeTheStill) {
    EXPECT_EQ(archivedKeys(data),
              (std::vector<std::string>{"videoData", "jpegData", "uuid", "url", "scale"}));
    const StoredArchive stored(*data);
    const auto bytes = stored.referencedEntry(stored.root(), "videoData");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->kind, plist::Kind::Data);
    EXPECT_EQ(bytes->count, test::readFile(media().video).size());
}

TEST_F(VTImageVideoArchive, DecodingStyleOneDecodesAStillAndWritesNothing) {
    OwnTemporaryDirectory temporary;
    VTImage::setDecodingStyle(1);
    const auto decoded = unarchive<VTImage>(data);
    ASSERT_NE(decoded, nullptr);
    EXPECT_FALSE(decoded->isVideoOrAudio());
    EXPECT_EQ(decoded->mediaAsset(), nullptr);
    EXPECT_TRUE(near(pixelAt(decoded->CGImage(), 32, 24), kRed, 12));
    EXPECT_TRUE(decoded->uuid()->isEqual(*uuid));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST_F(VTImageVideoArchive, DecodingStyleZeroWritesTheVideoUntilTheAssetGoesAway) {
    OwnTemporaryDirectory temporary;
    std::weak_ptr<VTImage> weak;
    {
        const auto decoded = unarchive<VTImage>(data);
        ASSERT_NE(decoded, nullptr);
        weak = decoded;
        EXPECT_TRUE(decoded->isVideoOrAudio());
        EXPECT_FALSE(decoded->isAudio());
        const auto names = namesIn(temporary.path());
        ASSERT_EQ(names.size(), 1u);
        EXPECT_TRUE(names[0].ends_with("_clip.mp4")) << names[0];  // after the original URL
        EXPECT_EQ(decoded->temporaryFileURL()->path(), (temporary.path() / names[0]).string());
        EXPECT_EQ(test::readFile(temporary.path() / names[0]), test::readFile(media().video));
        // The media asset is made on first use only, and then kept.
        EXPECT_EQ(decoded->duration(), 0.0);
        const auto asset = decoded->mediaAsset();
        EXPECT_EQ(decoded->mediaAsset(), asset);
        EXPECT_NEAR(decoded->duration(), 1.0, 0.05);
        EXPECT_EQ(decoded->pixelSize(), CGSizeMake(64, 48));
    }
    ASSERT_TRUE(waitUntilReleased(weak));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST_F(VTImageVideoArchive, AVideoThatCannotBeWrittenDecodesAsAStill) {
    test::ScratchDirectory scratch;
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", (scratch.path() / "missing").string());
    test::LogCapture log;
    const auto decoded = unarchive<VTImage>(data);
    ASSERT_NE(decoded, nullptr);
    EXPECT_FALSE(decoded->isVideoOrAudio());
    EXPECT_NE(decoded->CGImage(), nullptr);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Could write video to temporary directory"});
}

// The file name comes from the archived URL, which must not lead out of the temporary directory;
// without one it is "<unique>_temp".
TEST(VTImage, ArchivedVideoCopiesStayInTheTemporaryDirectory) {
    ThreadSettingsReset reset;
    for (const auto& [url, suffix] :
         {std::pair{NSURL::URLWithString("file:///a/../../etc/passwd/.."), ""},
          std::pair{std::shared_ptr<NSURL>(), "_temp"}}) {
        OwnTemporaryDirectory temporary;
        const auto decoded = decodeImage([&](NSCoder& coder) {
            coder.encodeObject_forKey(NSData::dataWithVector({1, 2, 3}), "videoData");
            coder.encodeObject_forKey(url, "url");
        });
        ASSERT_NE(decoded->temporaryFileURL(), nullptr);
        EXPECT_EQ(fs::path(decoded->temporaryFileURL()->path()).parent_path(), temporary.path());
        EXPECT_TRUE(decoded->temporaryFileURL()->path().ends_with(suffix));
        EXPECT_EQ(namesIn(temporary.path()).size(), 1u);
        // Bytes the media framework cannot read: no video track, and an invalid duration, which
        // CoreMedia orders above zero.
        EXPECT_TRUE(decoded->isAudio());
        EXPECT_EQ(decoded->pixelSize(), CGSizeZero);
        EXPECT_TRUE(std::isnan(decoded->duration()));
    }
}

TEST(VTImage, TemporaryVideoNamesAreUniqueAndEndInTheLastPathComponent) {
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", "/var/tmp/somewhere");
    const size_t unique = NSProcessInfo::processInfo()->globallyUniqueString().size();
    const std::pair<std::shared_ptr<NSURL>, std::string> cases[] = {
        {NSURL::fileURLWithPath("/Users/me/Movies/My Clip.mov"), "_My Clip.mov"},
        {NSURL::URLWithString("https://example.com/a/b.mp4?x=1"), "_b.mp4"},
        {nullptr, "_temp"},
        {NSURL::fileURLWithPath("/"), "_temp"},
        {NSURL::URLWithString("https://example.com"), "_temp"},
    };
    for (const auto& [url, suffix] : cases) {
        const auto a = tempVideoURLForURL(url.get());
        EXPECT_TRUE(a->isFileURL());
        const fs::path path = a->path();
        EXPECT_EQ(path.parent_path(), "/var/tmp/somewhere");
        EXPECT_EQ(path.filename().string().substr(unique), suffix) << path;
        EXPECT_NE(tempVideoURLForURL(url.get())->path(), a->path());
    }
}

// ---- Equality and hash

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
    // Without a bitmap an asset is equal only to itself.
    const auto bare = VTImage::init();
    EXPECT_TRUE(bare->isEqual(*bare));
    EXPECT_FALSE(bare->isEqual(*VTImage::init()));

    const auto video = VTImage::imageWithURL(fileURL(media().video));
    const auto sameVideo = VTImage::imageWithURL(fileURL(media().video));
    const auto otherVideo = VTImage::imageWithURL(fileURL(media().otherVideo));
    EXPECT_TRUE(video->isEqual(*sameVideo));  // two copies of equal contents
    EXPECT_FALSE(video->isEqual(*otherVideo));
    // A still of the very same frame, with the same PNG bytes, is not the video.
    const auto frame = assetWithBitmap(video->CGImage());
    EXPECT_TRUE(frame->pngData()->isEqual(*video->pngData()));
    EXPECT_FALSE(frame->isEqual(*video));
    EXPECT_FALSE(video->isEqual(*frame));
}
