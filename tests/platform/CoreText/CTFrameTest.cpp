// Frames fill their path from the top down, one line height apart, broken to the width and aligned;
// only whole lines are placed, their glyphs standing on the baseline.

#include <gtest/gtest.h>

#include <cmath>

#include "CTFrame.h"
#include "CTLine.h"
#include "CoreTextLimits.h"
#include "TextTestSupport.h"

using namespace TextTestSupport;

namespace {

// Helvetica (Liberation Sans) at 20 points.
constexpr double kAscent = kSansAscent * 20, kDescent = kSansDescent * 20,
                 kLeading = kSansLeading * 20, kLineHeight = kAscent + kDescent + kLeading;

double widthOf(const CTLineRef& line) {
    return CTLineGetTypographicBounds(line, nullptr, nullptr, nullptr);
}

std::vector<CFRange> rangesOf(const CTFrameRef& frame) {
    std::vector<CFRange> ranges;
    for (const CTLineRef& line : CTFrameGetLines(frame))
        ranges.push_back(CTLineGetStringRange(line));
    return ranges;
}

CGContextRef drawn(const CTFrameRef& frame, size_t width = 300, size_t height = 200) {
    CGContextRef context = nativeContext(width, height);
    CTFrameDraw(frame, context);
    return context;
}

}  // namespace

TEST(CTFrame, LinesFromTheTopDownAndOnlyWholeOnes) {
    const CTFrameRef frame = frameOf("one\ntwo\nthree", CGRectMake(10, 10, 280, 180));
    ASSERT_NE(frame, nullptr);
    const auto origins = originsOf(frame);
    ASSERT_EQ(origins.size(), 3u);
    for (int n = 0; n < 3; ++n) {
        EXPECT_DOUBLE_EQ(origins[n].y, 180 - kAscent - n * kLineHeight);  // from the box's origin
        EXPECT_EQ(origins[n].x, 0);
    }
    // The box's top is row 10.
    const CGContextRef context = drawn(frame);
    EXPECT_EQ(inkInRows(context, 0, 10), 0u);
    EXPECT_GT(inkInRows(context, size_t(10 + 2 * kLineHeight), size_t(10 + 3 * kLineHeight)), 20u);
    EXPECT_EQ(inkInRows(context, size_t(std::ceil(10 + 3 * kLineHeight)), 200), 0u);
    // A line is placed when its descent fits, to the last bit.
    const std::pair<double, size_t> heights[] = {
        // clang-format off
        {kAscent + kDescent - 1e-6, 0}, {kAscent + kDescent, 1},
        {2 * kAscent + 2 * kDescent + kLeading - 1e-6, 1}, {2 * kAscent + 2 * kDescent + kLeading, 2},
    };  // clang-format on
    for (auto [height, lines] : heights) {
        const CGRect box = CGRectMake(10, 200 - 10 - height, 280, height);
        const CTFrameRef fitted = frameOf("one\ntwo\nthree", box);
        EXPECT_EQ(CTFrameGetLines(fitted).size(), lines) << height;
        EXPECT_EQ(CTFrameGetStringRange(fitted), CFRangeMake(0, 13));
        if (lines != 1) continue;
        EXPECT_EQ(CTFrameGetVisibleStringRange(fitted), CFRangeMake(0, 4));
        EXPECT_EQ(inkInRows(drawn(fitted), size_t(std::ceil(10 + kLineHeight)), 200), 0u);
    }
}

TEST(CTFrame, AlignmentPlacesEachLine) {
    const CGRect box = CGRectMake(10, 10, 280, 180);
    const auto originOf = [&](NSTextAlignment alignment, std::string_view text = "Hi") {
        const CTFrameRef frame = frameOf(text, box, 20, alignment);
        return std::pair{originsOf(frame).at(0).x, widthOf(CTFrameGetLines(frame).at(0))};
    };
    const double width = originOf(NSTextAlignmentLeft).second;
    const std::pair<NSTextAlignment, double> cases[] = {
        // clang-format off
        {NSTextAlignmentRight, 280 - width}, {NSTextAlignmentCenter, (280 - width) / 2}, {NSTextAlignmentNatural, 0},
        {NSTextAlignmentJustified, 0},  // a paragraph's last line is natural
        {static_cast<NSTextAlignment>(-1), 0},
    };  // clang-format on
    for (auto [alignment, x] : cases) EXPECT_DOUBLE_EQ(originOf(alignment).first, x) << alignment;
    // Right-to-left text: natural is the right edge.
    const auto [hebrew, hebrewWidth] = originOf(NSTextAlignmentNatural, "\u05E9\u05DC\u05D5\u05DD");
    EXPECT_DOUBLE_EQ(hebrew, 280 - hebrewWidth);
    const auto justified = CTFrameGetLines(frameOf(
        "aa bb cc dd ee ff gg hh", CGRectMake(10, 10, 100, 180), 20, NSTextAlignmentJustified));
    EXPECT_NEAR(widthOf(justified.at(0)), 100, 1e-3);  // but the paragraph's last line
}

// Word wrapping breaks after spaces, and within a word wider than the line. Ranges count UTF-16
// units, and every paragraph separator ends a line.
TEST(CTFrame, LineBreaksAndStringRanges) {
    EXPECT_EQ(rangesOf(frameOf("aaa bbb", CGRectMake(0, 0, 60, 500))),
              (std::vector<CFRange>{{0, 4}, {4, 3}}));
    EXPECT_GT(rangesOf(frameOf("abcdefghijklmnop", CGRectMake(0, 0, 60, 500))).size(), 2u);
    for (auto mode :
         {NSLineBreakByClipping, NSLineBreakByTruncatingTail, NSLineBreakByTruncatingHead,
          NSLineBreakByTruncatingMiddle, NSLineBreakByCharWrapping}) {
        const auto lines = CTFrameGetLines(
            frameOf("aaa bbb ccc ddd", CGRectMake(0, 0, 60, 500), 20, NSTextAlignmentLeft, mode));
        EXPECT_EQ(lines.size() == 1, mode != NSLineBreakByCharWrapping) << mode;
        EXPECT_EQ(widthOf(lines.at(0)) > 60, mode == NSLineBreakByClipping) << mode;
    }
    const std::pair<std::string_view, std::vector<CFRange>> cases[] = {
        // clang-format off
        {"a\r\nb\rc\u2029d", {{0, 3}, {3, 2}, {5, 2}, {7, 1}}}, {"\U0001F600 x\ny", {{0, 5}, {5, 1}}},
        {"a\n\nb", {{0, 2}, {2, 1}, {3, 1}}},  // an empty paragraph has its line
    };  // clang-format on
    for (const auto& [text, ranges] : cases)
        EXPECT_EQ(rangesOf(frameOf(text, CGRectMake(0, 0, 280, 180))), ranges) << text;
    const CTFrameRef part = CTFramesetterCreateFrame(
        CTFramesetterCreateWithAttributedString(NSAttributedString::initWithString_attributes(
            "one\ntwo\nthree", attributes("Helvetica", 20))),
        CFRangeMake(4, 3), CGPathCreateWithRect(CGRectMake(0, 0, 280, 180), nullptr), nullptr);
    EXPECT_EQ(rangesOf(part), (std::vector<CFRange>{{4, 3}}));
}

// The glyphs stand on their line's baseline, nothing below it; a singular text matrix draws none.
TEST(CTFrame, TextMatrixPlacesTheGlyphs) {
    const CTFrameRef frame = frameOf("T", CGRectMake(10, 0, 280, 200), 60);
    const double baselineRow = 200 - originsOf(frame).at(0).y;
    EXPECT_EQ(inkInRows(drawn(frame), size_t(std::ceil(baselineRow)) + 1, 200), 0u);
    const CGContextRef singular = nativeContext(300, 200);
    CGContextSetTextMatrix(singular, CGAffineTransformMakeScale(0, 1));
    CTFrameDraw(frame, singular);
    EXPECT_EQ(inkInRows(singular, 0, 200), 0u);
}

TEST(CTFrame, HostileInputIsBounded) {
    const CGRect box = CGRectMake(0, 0, 200, 200);
    // Bytes that are not UTF-8, and NULs, are drawn as U+FFFD.
    EXPECT_EQ(CTFrameGetLines(frameOf(std::string("a\xff\xfe b\0c\xc0", 9), box)).size(), 1u);
    EXPECT_TRUE(CTFrameGetLines(frameOf("abc", CGRectMake(0, 0, std::nan(""), 200))).empty());
    EXPECT_EQ(frameOf("abc", CGRectMake(0, 0, INFINITY, 200)), nullptr);
    const auto framesetter = CTFramesetterCreateWithAttributedString(
        NSAttributedString::initWithString_attributes("abc", attributes("Helvetica", 20)));
    EXPECT_EQ(CTFramesetterCreateFrame(framesetter, CFRangeMake(-1, 0),
                                       CGPathCreateWithRect(box, nullptr), nullptr),
              nullptr);
    EXPECT_EQ(CTFramesetterCreateFrame(framesetter, CFRangeMake(0, 0), nullptr, nullptr), nullptr);
    EXPECT_EQ(CTFramesetterCreateWithAttributedString(nullptr), nullptr);
    CTFrameDraw(nullptr, nativeContext(10, 10));
    CTFrameDraw(frameOf("abc", box), nullptr);
    // A huge size is drawn as outlines, not gigapixel glyph bitmaps: an "l" covers the bitmap.
    const CTFrameRef huge = frameOf("l", CGRectMake(-1500, -20000, 30000, 30000), 1e9);
    ASSERT_EQ(CTFrameGetLines(huge).size(), 1u);
    EXPECT_EQ(pixelAt(drawn(huge, 100, 100), 50, 50), kBlack);
    // Millions of paragraphs: at most kMaxFrameLines lines.
    std::string many;
    for (size_t i = 0; i < CoreTextLimits::kMaxFrameLines + 10; ++i) many += "a\n";
    EXPECT_EQ(CTFrameGetLines(frameOf(many, CGRectMake(0, 0, 100, 1e9), 1)).size(),
              CoreTextLimits::kMaxFrameLines);
}
