// NSImage: images read from files through ImageIO, images wrapping a bitmap, and the bitmap handed
// back.

#include "NSImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "CGImageToData.h"
#include "NSData.h"
#include "TestSupport.h"

namespace {

std::shared_ptr<NSURL> fileURL(const std::filesystem::path& path) {
    return NSURL::fileURLWithPath(path.string());
}

CGImageRef readPNG() {
    return CGImageCreateFromPNGData(
        NSData::dataWithVector(test::readFile(test::dataDir() / "images" / "rgba-8.png")));
}

}  // namespace

// An image file's contents are its decoded bitmap; anything that is not a readable image is none.
TEST(NSImage, ContentsOfAFile) {
    const auto images = test::dataDir() / "images";
    const auto expected = readPNG();
    ASSERT_NE(expected, nullptr);
    const auto image = NSImage::initWithContentsOfURL(*fileURL(images / "rgba-8.png"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(),
              CGSizeMake(double(CGImageGetWidth(expected)), double(CGImageGetHeight(expected))));
    const auto a =
        CGImageGetBytes(image->CGImageForProposedRect_context_hints(nullptr, nullptr, nullptr));
    const auto b = CGImageGetBytes(expected);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
    test::ScratchDirectory scratch;
    test::writeFile(scratch.path() / "garbage.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    test::writeFile(scratch.path() / "empty.png", {});
    const std::pair<std::shared_ptr<NSURL>, bool> cases[] = {
        {fileURL(images / "jpeg-rgb.jpg"), true},
        {fileURL(images / "gif-transparent.gif"), true},
        {fileURL(scratch.path() / "garbage.png"), false},
        {fileURL(scratch.path() / "empty.png"), false},
        {fileURL(scratch.path() / "missing.png"), false},
        {fileURL(scratch.path()), false},
        {NSURL::URLWithString("https://example.com/a.png"), false},
        {fileURL(images / "limit-width-32768.png"), false},
    };
    for (const auto& [url, readable] : cases)
        EXPECT_EQ(NSImage::initWithContentsOfURL(*url) != nullptr, readable)
            << url->absoluteString();
}

// A wrapped bitmap is handed back as it is (not copied, the proposed rectangle untouched); the zero
// size takes the pixel size.
TEST(NSImage, WrappingABitmap) {
    const auto image = createDecodedCGImage(readPNG());
    const double width = double(CGImageGetWidth(image)), height = double(CGImageGetHeight(image));
    const auto natural = NSImage::initWithCGImage_size(image, CGSizeZero);
    ASSERT_NE(natural, nullptr);
    EXPECT_EQ(natural->size(), CGSizeMake(width, height));
    CGRect proposed = CGRectMake(1, 2, 3, 4);
    EXPECT_EQ(natural->CGImageForProposedRect_context_hints(&proposed, nullptr, nullptr), image);
    EXPECT_EQ(proposed, CGRectMake(1, 2, 3, 4));
    const auto sized = NSImage::initWithCGImage_size(image, CGSizeMake(width / 2, 7));
    EXPECT_EQ(sized->size(), CGSizeMake(width / 2, 7));
    EXPECT_EQ(sized->CGImageForProposedRect_context_hints(nullptr, nullptr, nullptr), image);
    EXPECT_EQ(NSImage::initWithCGImage_size(nullptr, CGSizeMake(3, 3)), nullptr);
    EXPECT_EQ(natural->className(), "NSImage");
}
