#include <gtest/gtest.h>

#include <cmath>

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

std::shared_ptr<const NSURL> fileURL(const fs::path& path) {
    return NSURL::fileURLWithPath(path.string());
}

// 32 × 16 pictures whose left half is red and right half blue, 0.2 s; the rotated one turned a
// quarter turn clockwise; and 0.1 s of sound.
const fs::path kMedia = test::dataDir() / "media";
const fs::path kVideo = kMedia / "split.mp4", kRotated = kMedia / "split-rotated.mp4";

std::shared_ptr<VTImage> importPNG(const fs::path& path, size_t width, size_t height,
                                   ARGB colour = kRed) {
    test::writeFile(path, pngFileBytes(solidBitmap(width, height, colour)));
    return VTImage::imageWithURL(fileURL(path));
}

Names archivedKeys(const std::shared_ptr<const NSData>& archive) {
    const StoredArchive stored(*archive);
    return stored.keys(stored.root());
}

// A temporary directory of the test's own, where assets put their private media copies; the test
// thread's decoding style and encoding delegate are put back to their defaults afterwards.
struct OwnTemporaryDirectory {
    test::ScratchDirectory scratch;
    test::ScopedEnvironmentVariable tmpdir{"TMPDIR", scratch.path().string()};
    const fs::path& path() const { return scratch.path(); }
    ~OwnTemporaryDirectory() {
        VTImage::setDecodingStyle(0);
        VTImage::setEncodingDelegate(nullptr);
    }
};

struct RecordingDelegate : VTImageEncodingDelegate {
    void image_didEncodeWithID(const std::shared_ptr<const VTImage>& image,
                               const std::shared_ptr<const NSUUID>& uuid) override {
        calls.emplace_back(image.get(), uuid);
    }
    std::vector<std::pair<const VTImage*, std::shared_ptr<const NSUUID>>> calls;
};

std::shared_ptr<VTImage> decodeImage(std::function<void(NSCoder&)> encode) {
    return decodeShaped<VTImage>("VTImage", std::move(encode));
}

}  // namespace

TEST(VTImage, ImportOfStillsTakesTheScaleFromTheFileNameWithoutItsExtension) {
    OwnTemporaryDirectory temporary;
    fs::create_directory(temporary.path() / "art@2x");
    const std::pair<const char*, float> cases[] = {
        {"button@2x.png", 2}, {"icon@3x copy.png", 3}, {"a@2x@3x.png", 2},
        {"photo.png", 1},     {"art@2x/plain.png", 1}, {"shot.@3x", 1},
    };
    for (const auto& [name, scale] : cases) {
        SCOPED_TRACE(name);
        const auto image = importPNG(temporary.path() / name, 4, 2);
        EXPECT_EQ(image->scale(), scale);
        EXPECT_EQ(image->pixelSize(), CGSizeMake(4, 2));
        EXPECT_FALSE(image->isVideoOrAudio());
    }
    EXPECT_EQ(importPNG(temporary.path() / "w@2x.png", 101, 51)->pointSize(), CGSizeMake(51, 26));
    test::writeFile(temporary.path() / "garbage.png", {1, 2, 3, 4, 5});
    test::writeFile(temporary.path() / "empty.mp4", {});
    for (const char* name : {"garbage.png", "empty.mp4", "missing.png"})
        EXPECT_EQ(VTImage::imageWithURL(fileURL(temporary.path() / name)), nullptr) << name;
    EXPECT_EQ(VTImage::imageWithURL(nullptr), nullptr);
    EXPECT_EQ(test::filesIn(temporary.path()).size(), std::size(cases) + 3);
}

TEST(VTImage, ImportOfAVideoCopiesItAndTakesTheUprightFirstFrameUntilTheAssetGoesAway) {
    OwnTemporaryDirectory temporary;
    std::weak_ptr<VTImage> weak;
    {
        const auto image = VTImage::imageWithURL(fileURL(kVideo));
        weak = image;
        EXPECT_FALSE(image->isAudio());
        EXPECT_EQ(image->pixelSize(), CGSizeMake(32, 16));
        EXPECT_TRUE(near(pixelAt(image->CGImage(), 4, 8), kRed, 12));
        EXPECT_NEAR(image->duration(), 0.2, 0.05);
        const fs::path copy = image->temporaryFileURL()->path();
        EXPECT_EQ(copy.parent_path(), temporary.path());
        EXPECT_TRUE(copy.filename().string().ends_with("_split.mp4")) << copy;
        EXPECT_EQ(test::readFile(copy), test::readFile(kVideo));
        EXPECT_EQ(image->hash(), size_t{32 ^ 16 ^ 1});
        const auto rotated = VTImage::imageWithURL(fileURL(kRotated));
        EXPECT_EQ(rotated->pixelSize(), CGSizeMake(32, 16));
        EXPECT_EQ(CGImageGetWidth(rotated->CGImage()), 16u);
        EXPECT_TRUE(near(pixelAt(rotated->CGImage(), 8, 28), kBlue, 12));
    }
    ASSERT_TRUE(waitUntilReleased(weak));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST(VTImage, ImportOfAnAudioFileHasNoBitmapAndLogsTheFailedGrab) {
    OwnTemporaryDirectory temporary;
    test::LogCapture log;
    const auto image = VTImage::imageWithURL(fileURL(kMedia / "tone.wav"));
    EXPECT_TRUE(image->isAudio());
    EXPECT_EQ(image->pngData(), nullptr);
    EXPECT_NEAR(image->duration(), 0.1, 0.05);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with(
        "Thumbnail Generation Error Error Domain=AVFoundationErrorDomain Code="));
}

TEST(VTImage, PlatformImagesShareTheBitmapAndPNGDataIsEncodedOnce) {
    EXPECT_EQ(VTImage::imageWithOSImage(nullptr), nullptr);
    const auto bitmap = solidBitmap(101, 51, kBlue);
    const auto image = VTImage::imageWithOSImage(NSImage::initWithCGImage_size(bitmap, CGSizeZero));
    EXPECT_EQ(image->CGImage(), bitmap);  // the same bitmap, not a copy
    EXPECT_EQ(NSImageCGImage(*image->osImage()), bitmap);
    EXPECT_EQ(image->hash(), size_t{101 ^ 51});
    const auto png = image->pngData();
    EXPECT_EQ(image->pngData(), png);
    test::ScratchDirectory scratch;
    VTImage::init()->writeToPath((scratch.path() / "none.png").string());  // no bitmap: nothing
    image->writeToPath((scratch.path() / "out.png").string());
    image->writeToPath((scratch.path() / "missing" / "out.png").string());
    EXPECT_EQ(test::filesIn(scratch.path()), Names{"out.png"});
    EXPECT_TRUE(NSData::dataWithVector(test::readFile(scratch.path() / "out.png"))->isEqual(*png));
}

TEST(VTImage, AStillRoundTripsThroughItsPNGBytesOrOnlyItsIdentityWithADelegate) {
    OwnTemporaryDirectory temporary;
    const auto image = importPNG(temporary.path() / "b@3x.png", 10, 6, kBlue);
    const auto data = archive(image);
    EXPECT_EQ(archivedKeys(data), (Names{"jpegData", "uuid", "url", "scale"}));
    const StoredArchive stored(*data);
    EXPECT_EQ(stored.value(stored.root(), "scale")->count, 8u);  // written as a double
    const auto decoded = unarchive<VTImage>(data);
    EXPECT_TRUE(decoded->uuid()->isEqual(*image->uuid()));
    EXPECT_TRUE(decoded->originalURL()->isEqual(*image->originalURL()));
    EXPECT_EQ(decoded->pointSize(), CGSizeMake(4, 2));
    EXPECT_TRUE(near(pixelAt(decoded->CGImage(), 5, 3), kBlue, 0));
    EXPECT_TRUE(decoded->isEqual(*image));
    auto delegate = std::make_shared<RecordingDelegate>();
    const std::weak_ptr<RecordingDelegate> weak = delegate;
    VTImage::setEncodingDelegate(delegate);
    std::thread([] { EXPECT_EQ(VTImage::encodingDelegate(), nullptr); }).join();  // per thread
    const auto identity = archive(image);
    EXPECT_EQ(archivedKeys(identity), (Names{"uuid", "url", "scale"}));
    EXPECT_EQ(delegate->calls, (decltype(delegate->calls){{image.get(), image->uuid()}}));
    EXPECT_EQ(unarchive<VTImage>(identity)->CGImage(), nullptr);
    delegate.reset();  // held by the thread until removed
    EXPECT_FALSE(weak.expired());
    VTImage::setEncodingDelegate(nullptr);
    EXPECT_TRUE(weak.expired());
}

// Raw pixels need exactly four bytes (A R G B, premultiplied) per pixel of the rounded size; sizes
// are archived as integers and read as unsigned (-3 is about 1.8e19 pixels).
TEST(VTImage, ArchivedRawPixels) {
    const struct {
        size_t length;
        double width, height;
        bool made;
    } cases[] = {
        {24, 3, 2, true},     {23, 3, 2, false}, {25, 3, 2, false},   {24, 2.5, 1.5, true},
        {8, 2.49, 1.4, true}, {0, 0, 0, false},  {24, NAN, 2, false}, {24, 32768, 1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CGImageCreateFromData(NSData::dataWithVector(std::vector<uint8_t>(c.length)),
                                        CGSizeMake(c.width, c.height)) != nullptr,
                  c.made)
            << c.length << " bytes, " << c.width << " x " << c.height;
    EXPECT_EQ(CGImageCreateFromData(nullptr, CGSizeMake(3, 2)), nullptr);
    const auto rawPixels = [&](int64_t width, int64_t height) {
        return decodeImage([=](NSCoder& coder) {
            coder.encodeObject_forKey(NSData::dataWithVector({255, 10, 100, 7, 128, 0, 64, 128}),
                                      "imageData");
            coder.encodeInt64_forKey(width, "imageWidth");
            coder.encodeInt64_forKey(height, "imageHeight");
        });
    };
    const auto raw = rawPixels(2, 1);
    EXPECT_EQ(pixelAt(raw->CGImage(), 0, 0), (ARGB{255, 10, 100, 7}));
    EXPECT_EQ(CGImageGetWidth(CGImageCreateFromPNGData(raw->pngData())), 2u);
    EXPECT_EQ(rawPixels(-2, -1)->CGImage(), nullptr);
}

TEST(VTImage, ArchivedStillForms) {
    // Any image format under "jpegData", kept as archived rather than re-encoded.
    const auto jpeg =
        NSData::dataWithVector(test::readFile(test::dataDir() / "images" / "jpeg-rgb.jpg"));
    const auto fromJPEG = decodeImage([&](NSCoder& c) { c.encodeObject_forKey(jpeg, "jpegData"); });
    EXPECT_NE(fromJPEG->CGImage(), nullptr);
    EXPECT_TRUE(fromJPEG->pngData()->isEqual(*jpeg));
    const auto empty = decodeImage([](NSCoder&) {});
    EXPECT_EQ(empty->CGImage(), nullptr);
    EXPECT_NE(empty->uuid(), nullptr);
    EXPECT_EQ(empty->scale(), 1.0f);
    // A scale that would make point sizes meaningless decodes as 1.
    for (const double scale : {0.0, double(NAN)})
        EXPECT_EQ(decodeImage([&](NSCoder& c) { c.encodeDouble_forKey(scale, "scale"); })->scale(),
                  1.0f);
}

// A video's archive holds its bytes; decoding style 1 makes a still and writes nothing, style 0
// writes the video (removed with the asset, as an imported one is), or makes a still when it
// cannot.
TEST(VTImage, ArchivedVideos) {
    const auto data = archive(VTImage::imageWithURL(fileURL(kVideo)));
    OwnTemporaryDirectory temporary;
    EXPECT_EQ(archivedKeys(data), (Names{"videoData", "jpegData", "uuid", "url", "scale"}));
    VTImage::setDecodingStyle(-5);  // any non-zero style is 1
    EXPECT_EQ(VTImage::decodingStyle(), 1);
    const auto still = unarchive<VTImage>(data);
    EXPECT_FALSE(still->isVideoOrAudio());
    EXPECT_TRUE(near(pixelAt(still->CGImage(), 4, 8), kRed, 12));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
    VTImage::setDecodingStyle(0);
    const auto decoded = unarchive<VTImage>(data);
    EXPECT_TRUE(decoded->isVideoOrAudio());
    const auto names = test::filesIn(temporary.path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].ends_with("_split.mp4")) << names[0];  // after the original URL
    EXPECT_EQ(test::readFile(temporary.path() / names[0]), test::readFile(kVideo));
    EXPECT_EQ(decoded->duration(), 0.0);  // the media asset is made on first use, then kept
    EXPECT_EQ(decoded->mediaAsset(), decoded->mediaAsset());
    EXPECT_NEAR(decoded->duration(), 0.2, 0.05);
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", (temporary.path() / "missing").string());
    test::LogCapture log;
    EXPECT_FALSE(unarchive<VTImage>(data)->isVideoOrAudio());
    EXPECT_EQ(log.lines(), Names{"Could write video to temporary directory"});
}

// The file name comes from the archived URL, which must not lead out of the temporary directory.
TEST(VTImage, VideoCopiesHaveUniqueNamesInTheTemporaryDirectory) {
    OwnTemporaryDirectory temporary;
    const auto decoded = decodeImage([&](NSCoder& coder) {
        coder.encodeObject_forKey(NSData::dataWithVector({1, 2, 3}), "videoData");
        coder.encodeObject_forKey(NSURL::URLWithString("file:///a/../../etc/passwd/.."), "url");
    });
    EXPECT_EQ(fs::path(decoded->temporaryFileURL()->path()).parent_path(), temporary.path());
    EXPECT_EQ(test::filesIn(temporary.path()).size(), 1u);
    // Bytes the media framework cannot read: no video track, and an invalid duration.
    EXPECT_TRUE(decoded->isAudio());
    EXPECT_EQ(decoded->pixelSize(), CGSizeZero);  // makes the media asset
    EXPECT_TRUE(std::isnan(decoded->duration()));
    // Without a URL the name ends "_temp".
    const size_t unique = NSProcessInfo::processInfo()->globallyUniqueString().size();
    const fs::path path = tempVideoURLForURL(nullptr)->path();
    EXPECT_EQ(path.parent_path(), temporary.path());
    EXPECT_EQ(path.filename().string().substr(unique), "_temp") << path;
    EXPECT_NE(tempVideoURLForURL(nullptr)->path(), path);
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
    EXPECT_FALSE(a->isEqual(*NSString::stringWithUTF8String("VTImage")));
    const auto bare = VTImage::init();  // without a bitmap, equal only to itself
    EXPECT_TRUE(bare->isEqual(*bare));
    EXPECT_FALSE(bare->isEqual(*VTImage::init()));
    const auto video = VTImage::imageWithURL(fileURL(kVideo));
    EXPECT_TRUE(video->isEqual(*VTImage::imageWithURL(fileURL(kVideo))));
    EXPECT_FALSE(video->isEqual(*VTImage::imageWithURL(fileURL(kRotated))));
    // A still of the very same frame, with the same PNG bytes, is not the video.
    const auto frame = assetWithBitmap(video->CGImage());
    EXPECT_FALSE(frame->isEqual(*video));
    EXPECT_FALSE(video->isEqual(*frame));
}
