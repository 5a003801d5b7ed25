// The AppKit classes the text drawing hands to CoreText (the font, a mutable copy of the default
// paragraph style, the colour, an attributed string of runs) and what CoreText reads from them.

#include <gtest/gtest.h>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "NSAttributedString.h"
#include "NSColor.h"
#include "NSFont.h"
#include "NSParagraphStyle.h"

namespace {

CGColorRef red() {
    return CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {1, 0, 0, 1});
}

}  // namespace

TEST(NSParagraphStyle, MutableCopyOfTheSharedDefault) {
    const auto defaults = NSParagraphStyle::defaultParagraphStyle();
    EXPECT_EQ(defaults, NSParagraphStyle::defaultParagraphStyle());
    EXPECT_EQ(defaults->alignment(), NSTextAlignmentNatural);
    EXPECT_EQ(defaults->lineBreakMode(), NSLineBreakByWordWrapping);
    const auto style = defaults->mutableCopy();
    style->setAlignment(NSTextAlignmentCenter);
    EXPECT_EQ(defaults->alignment(), NSTextAlignmentNatural);  // the copy is its own
    EXPECT_EQ(style->mutableCopy()->alignment(), NSTextAlignmentCenter);
    EXPECT_EQ(style->className(), "NSMutableParagraphStyle");
    const CGColorRef color = red();
    EXPECT_EQ(NSColor::colorWithCGColor(color)->CGColor(), color);
    EXPECT_EQ(NSColor::colorWithCGColor(nullptr), nullptr);
}

// Attributes are runs over UTF-16 units; CoreText reads the font's CTFont, the colour's CGColor
// and the style's alignment, with defaults where an attribute is absent.
TEST(NSAttributedString, RunsOfAttributes) {
    const auto font = NSFont::fontWithName_size("Times", 30);
    const auto attributes = NSDictionary::dictionaryWithEntries(
        {{NSFontAttributeName, font},
         {NSForegroundColorAttributeName, NSColor::colorWithCGColor(red())}});
    const auto string =
        NSMutableAttributedString::initWithString_attributes("h\u00E9\U0001F600 yo", attributes);
    EXPECT_EQ(string->length(), 7u);  // h, é, a surrogate pair, space, y, o
    EXPECT_EQ(string->string()->UTF8String(), "h\u00E9\U0001F600 yo");
    NSRange range;
    EXPECT_EQ(string->attributesAtIndex_effectiveRange(3, &range), attributes);
    EXPECT_EQ(range, NSMakeRange(0, 7));
    EXPECT_EQ(string->attributesAtIndex_effectiveRange(7, &range), nullptr);
    string->setAttributes_range(nullptr, NSMakeRange(4, 2));  // three runs
    string->attributesAtIndex_effectiveRange(0, &range);
    EXPECT_EQ(range, NSMakeRange(0, 4));
    EXPECT_EQ(string->attributesAtIndex_effectiveRange(4, &range)->count(), 0u);
    EXPECT_EQ(range, NSMakeRange(4, 2));
    EXPECT_EQ(string->attributesAtIndex_effectiveRange(6, &range), attributes);
    EXPECT_EQ(range, NSMakeRange(6, 1));
    const auto runs = string->styleRuns();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].length, 4);
    EXPECT_EQ(runs[0].font, font->ctFont());
    EXPECT_NE(runs[0].foregroundColor, nullptr);
    EXPECT_EQ(runs[0].alignment, kCTTextAlignmentNatural);
    EXPECT_EQ(runs[1].font, nullptr);
    EXPECT_EQ(runs[1].foregroundColor, nullptr);
    EXPECT_EQ(runs[2].length, 1);
}

// Only values of the right class are read, and values outside the enumerations read as CoreText's
// defaults.
TEST(NSAttributedString, CoreTextReadsOnlyValuesOfTheRightClass) {
    auto style = NSParagraphStyle::defaultParagraphStyle()->mutableCopy();
    style->setAlignment(NSTextAlignmentRight);
    style->setLineBreakMode(NSLineBreakByClipping);
    const auto color = NSColor::colorWithCGColor(red());
    const auto runs = NSAttributedString::initWithString_attributes(
                          "abc", NSDictionary::dictionaryWithEntries({
                                     {NSFontAttributeName, NSString::stringWithUTF8String("Arial")},
                                     {NSForegroundColorAttributeName, color},
                                     {NSParagraphStyleAttributeName, style},
                                 }))
                          ->styleRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].font, nullptr);
    EXPECT_EQ(runs[0].foregroundColor, color->CGColor());
    EXPECT_EQ(runs[0].alignment, kCTTextAlignmentRight);
    EXPECT_EQ(runs[0].lineBreakMode, kCTLineBreakByClipping);
    style->setAlignment(static_cast<NSTextAlignment>(-1));
    style->setLineBreakMode(static_cast<NSLineBreakMode>(9));
    const auto odd = NSAttributedString::initWithString_attributes(
        "abc", NSDictionary::dictionaryWithEntries({{NSParagraphStyleAttributeName, style}}));
    EXPECT_EQ(odd->styleRuns().at(0).alignment, kCTTextAlignmentNatural);
    EXPECT_EQ(odd->styleRuns().at(0).lineBreakMode, kCTLineBreakByWordWrapping);
}

TEST(NSAttributedString, TextIsKeptAsValidUTF8) {
    const auto string =
        NSAttributedString::initWithString(std::string("a\xC0\xAF"
                                                       "b\0c",
                                                       6));
    EXPECT_EQ(string->textUTF8(),
              "a\uFFFD\uFFFD"
              "b\uFFFD"
              "c");
    EXPECT_EQ(string->length(), 6u);
    EXPECT_TRUE(NSAttributedString::initWithString("")->styleRuns().empty());
}
