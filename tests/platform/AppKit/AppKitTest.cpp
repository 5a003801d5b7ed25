// NSAttributedString as the text drawing hands it to CoreText; NSImage over files and bitmaps.

#include <gtest/gtest.h>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGImageToData.h"
#include "NSAttributedString.h"
#include "NSColor.h"
#include "NSFont.h"
#include "NSImage.h"
#include "NSParagraphStyle.h"
#include "TestSupport.h"

namespace {

std::shared_ptr<NSURL> fileURL(const std::filesystem::path& path) {
    return NSURL::fileURLWithPath(path.string());
}

}  // namespace

// Attributes are runs over UTF-16 units; CoreText reads the font's CTFont, the colour's CGColor
// and the style's alignment, only from values of the right class, with defaults elsewhere.
TEST(NSAttributedString, RunsOfAttributes) {
    const auto font = NSFont::fontWithName_size("Times", 30);
    const auto color = NSColor::colorWithCGColor(
        CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {1, 0, 0, 1}));
    const auto attributes = NSDictionary::dictionaryWithEntries(
        {{NSFontAttributeName, font}, {NSForegroundColorAttributeName, color}});
    const auto string =
        NSMutableAttributedString::initWithString_attributes("h\u00E9\U0001F600 yo", attributes);
    EXPECT_EQ(string->length(), 7u);  // h, é, a surrogate pair, space, y, o
    NSRange range;
    EXPECT_EQ(string->attributesAtIndex_effectiveRange(7, &range), nullptr);
    string->setAttributes_range(nullptr, NSMakeRange(4, 2));  // three runs
    EXPECT_EQ(string->attributesAtIndex_effectiveRange(4, &range)->count(), 0u);
    EXPECT_EQ(range, NSMakeRange(4, 2));
    EXPECT_EQ(string->attributesAtIndex_effectiveRange(6, &range), attributes);
    EXPECT_EQ(range, NSMakeRange(6, 1));
    const auto runs = string->styleRuns();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].font, font->ctFont());
    EXPECT_EQ(runs[1].font, nullptr);
    EXPECT_EQ(runs[2].length, 1);
    auto style = NSParagraphStyle::defaultParagraphStyle()->mutableCopy();
    style->setAlignment(NSTextAlignmentRight);
    style->setLineBreakMode(NSLineBreakByClipping);
    const auto run = NSAttributedString::initWithString_attributes(
                         "abc", NSDictionary::dictionaryWithEntries({
                                    {NSFontAttributeName, NSString::stringWithUTF8String("Arial")},
                                    {NSForegroundColorAttributeName, color},
                                    {NSParagraphStyleAttributeName, style},
                                }))
                         ->styleRuns()
                         .at(0);
    EXPECT_EQ(run.font, nullptr);
    EXPECT_EQ(run.foregroundColor, color->CGColor());
    EXPECT_EQ(run.alignment, kCTTextAlignmentRight);
    EXPECT_EQ(run.lineBreakMode, kCTLineBreakByClipping);
    style->setAlignment(static_cast<NSTextAlignment>(-1));
    style->setLineBreakMode(static_cast<NSLineBreakMode>(9));
    const auto odd = NSAttributedString::initWithString_attributes(
        "abc", NSDictionary::dictionaryWithEntries({{NSParagraphStyleAttributeName, style}}));
    EXPECT_EQ(odd->styleRuns().at(0).alignment, kCTTextAlignmentNatural);
    EXPECT_EQ(odd->styleRuns().at(0).lineBreakMode, kCTLineBreakByWordWrapping);
    const std::string invalid{'a', '\xC0', '\xAF', 'b', '\0', 'c'};
    EXPECT_EQ(NSAttributedString::initWithString(invalid)->textUTF8(), "a\uFFFD\uFFFDb\uFFFDc");
}

// An image file's contents are its decoded bitmap, anything else none; a wrapped bitmap is handed
// back as it is, and the zero size takes the pixel size.
TEST(NSImage, ContentsOfAFileAndWrappedBitmaps) {
    const auto images = test::dataDir() / "images";
    const auto image = NSImage::initWithContentsOfURL(*fileURL(images / "rgba-8.png"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), CGSizeMake(5, 3));
    const CGImageRef bitmap = createDecodedCGImage(
        image->CGImageForProposedRect_context_hints(nullptr, nullptr, nullptr));
    test::ScratchDirectory scratch;
    for (const auto& url : {fileURL(scratch.path() / "missing.png"), fileURL(scratch.path()),
                            NSURL::URLWithString("https://example.com/a.png"),
                            fileURL(images / "limit-width-32768.png")})
        EXPECT_EQ(NSImage::initWithContentsOfURL(*url), nullptr) << url->absoluteString();
    const auto natural = NSImage::initWithCGImage_size(bitmap, CGSizeZero);
    EXPECT_EQ(natural->size(), CGSizeMake(5, 3));
    EXPECT_EQ(natural->CGImageForProposedRect_context_hints(nullptr, nullptr, nullptr), bitmap);
    EXPECT_EQ(NSImage::initWithCGImage_size(bitmap, CGSizeMake(2.5, 7))->size(),
              CGSizeMake(2.5, 7));
    EXPECT_EQ(NSImage::initWithCGImage_size(nullptr, CGSizeMake(3, 3)), nullptr);
}
