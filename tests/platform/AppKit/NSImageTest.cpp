// NSImage: images read from files through ImageIO, images wrapping a bitmap, and the bitmap handed
// back (Part 3.1's imageWithOSImage:, osImage and the NSImage extension CGImage).

#include "NSImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "CGImageToData.h"
#include "NSData.h"
#include "TestSupport.h"

namespace {

// A bitmap of the test data's RGBA PNG, in device RGB.
CGImageRef deviceBitmap() {
    return createDecodedCGImage(CGImageCreateFromPNGData(
        NSData::dataWithVector(test::readFile(test::dataDir() / "images" / "rgba-8.png"))));
}

std::shared_ptr<NSURL> fileURL(const std::filesystem::path& path) {
    return NSURL::fileURLWithPath(path.string());
}

}  // namespace

TEST(Part3_1_NSImage, ContentsOfAnImageFile) {
    const auto expected = CGImageCreateFromPNGData(
        NSData::dataWithVector(test::readFile(test::dataDir() / "images" / "rgba-8.png")));
    ASSERT_NE(expected, nullptr);
    const auto image = NSImage::initWithContentsOfURL(*fileURL(test::dataDir() / "images" / "rgba-8.png"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), CGSizeMake(double(CGImageGetWidth(expected)), double(CGImageGetHeight(expected))));
    const auto read = image->CGImageForProposedRect_context_hints(nullptr, nullptr, nullptr);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(CGImageGetWidth(read), CGImageGetWidth(expected));
    const auto a = CGImageGetBytes(read), b = CGImageGetBytes(expected);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
    // Other formats the reader takes.
    EXPECT_NE(NSImage::initWithContentsOfURL(*fileURL(test::dataDir() / "images" / "jpeg-rgb.jpg")), nullptr);
    EXPECT_NE(NSImage::initWithContentsOfURL(*fileURL(test::dataDir() / "images" / "gif-transparent.gif")), nullptr);
}

TEST(Part3_1_NSImage, ContentsOfAnythingElseIsNone) {
    test::ScratchDirectory scratch;
    test::writeFile(scratch.path() / "garbage.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    test::writeFile(scratch.path() / "empty.png", {});
    EXPECT_EQ(NSImage::initWithContentsOfURL(*fileURL(scratch.path() / "garbage.png")), nullptr);
    EXPECT_EQ(NSImage::initWithContentsOfURL(*fileURL(scratch.path() / "empty.png")), nullptr);
    EXPECT_EQ(NSImage::initWithContentsOfURL(*fileURL(scratch.path() / "missing.png")), nullptr);
    EXPECT_EQ(NSImage::initWithContentsOfURL(*fileURL(scratch.path())), nullptr);
    EXPECT_EQ(NSImage::initWithContentsOfURL(*NSURL::URLWithString("https://example.com/a.png")), nullptr);
    EXPECT_EQ(NSImage::initWithContentsOfURL(*fileURL(test::dataDir() / "images" / "limit-width-32768.png")),
              nullptr);
}

TEST(Part3_1_NSImage, WrappingABitmap) {
    const auto image = deviceBitmap();
    const auto width = double(CGImageGetWidth(image)), height = double(CGImageGetHeight(image));
    const auto natural = NSImage::initWithCGImage_size(image, CGSizeZero);
    ASSERT_NE(natural, nullptr);
    EXPECT_EQ(natural->size(), CGSizeMake(width, height));  // the zero size takes the pixel size
    CGRect proposed = CGRectMake(1, 2, 3, 4);
    EXPECT_EQ(natural->CGImageForProposedRect_context_hints(&proposed, nullptr, nullptr), image);  // not copied
    EXPECT_EQ(proposed, CGRectMake(1, 2, 3, 4));

    const auto sized = NSImage::initWithCGImage_size(image, CGSizeMake(width / 2, 7));
    ASSERT_NE(sized, nullptr);
    EXPECT_EQ(sized->size(), CGSizeMake(width / 2, 7));
    EXPECT_EQ(sized->CGImageForProposedRect_context_hints(nullptr, nullptr, nullptr), image);

    EXPECT_EQ(NSImage::initWithCGImage_size(nullptr, CGSizeMake(3, 3)), nullptr);
    EXPECT_EQ(natural->className(), "NSImage");
}
