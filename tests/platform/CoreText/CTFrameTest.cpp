// Part 4.1 "Text" and Part 4.2 "Text drawing" steps 5-8: frames fill their path from the top down,
// one line height (ascent + descent + leading) apart, broken to the width and aligned by the
// paragraph style; only whole lines are placed; text is drawn upright in y-up user space under the
// CTM and the text matrix, in its foreground colour. Pixel probes in flat regions (DESIGN.md).

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

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
    for (const CTLineRef& line : CTFrameGetLines(frame)) ranges.push_back(CTLineGetStringRange(line));
    return ranges;
}

std::vector<uint8_t> pixelsOf(const CGContextRef& context) {
    const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
    return {data, data + CGBitmapContextGetBytesPerRow(context) * CGBitmapContextGetHeight(context)};
}

// Draws `text` in (10, 10, 280, height) of a 300 × 200 bitmap.
CGContextRef drawn(const CTFrameRef& frame) {
    CGContextRef context = bitmap(300, 200);
    CTFrameDraw(frame, context);
    return context;
}

}  // namespace

TEST(Part4_1_CTFrame, ThreeLinesFromTheTopDown) {
    const CTFrameRef frame = frameOf("one\ntwo\nthree", CGRectMake(10, 10, 280, 180));
    ASSERT_NE(frame, nullptr);
    const auto origins = originsOf(frame);
    ASSERT_EQ(origins.size(), 3u);
    EXPECT_DOUBLE_EQ(origins[0].y, 180 - kAscent);  // relative to the box's origin
    EXPECT_DOUBLE_EQ(origins[1].y, 180 - kAscent - kLineHeight);
    EXPECT_DOUBLE_EQ(origins[2].y, 180 - kAscent - 2 * kLineHeight);
    for (const CGPoint& origin : origins) EXPECT_EQ(origin.x, 0);
    CGFloat ascent, descent, leading;
    CTLineGetTypographicBounds(CTFrameGetLines(frame)[0], &ascent, &descent, &leading);
    EXPECT_DOUBLE_EQ(ascent, kAscent);
    EXPECT_DOUBLE_EQ(descent, kDescent);
    EXPECT_DOUBLE_EQ(leading, kLeading);

    // The box's top is row 10; line n takes rows 10 + n × 23 … 10 + (n + 1) × 23.
    const CGContextRef context = drawn(frame);
    EXPECT_EQ(inkInRows(context, 0, 10), 0u);
    for (int n = 0; n < 3; ++n)
        EXPECT_GT(inkInRows(context, size_t(10 + n * kLineHeight), size_t(10 + (n + 1) * kLineHeight)),
                  20u)
            << n;
    EXPECT_EQ(inkInRows(context, size_t(std::ceil(10 + 3 * kLineHeight)), 200), 0u);
    EXPECT_EQ(inkIn(context, 0, 0, 10, 200), 0u);  // nothing left of the box
}

TEST(Part4_1_CTFrame, OnlyWholeLinesArePlaced) {
    const auto lines = [](double height) {
        return CTFrameGetLines(frameOf("one\ntwo\nthree", CGRectMake(10, 10, 280, height))).size();
    };
    EXPECT_EQ(lines(1.5 * kLineHeight), 1u);
    EXPECT_EQ(lines(kAscent + kDescent), 1u);  // exactly the first line
    EXPECT_EQ(lines(kAscent + kDescent - 1e-6), 0u);
    EXPECT_EQ(lines(2 * kAscent + 2 * kDescent + kLeading), 2u);  // the second line's descent at the bottom
    EXPECT_EQ(lines(2 * kAscent + 2 * kDescent + kLeading - 1e-6), 1u);
    EXPECT_EQ(lines(1000), 3u);

    // A box 1.5 lines tall (rows 10 … 44.5) shows line 1 only.
    const CTFrameRef frame = frameOf("one\ntwo\nthree", CGRectMake(10, 200 - 10 - 1.5 * kLineHeight,
                                                                   280, 1.5 * kLineHeight));
    EXPECT_EQ(CTFrameGetVisibleStringRange(frame), CFRangeMake(0, 4));
    EXPECT_EQ(CTFrameGetStringRange(frame), CFRangeMake(0, 13));
    const CGContextRef context = drawn(frame);
    EXPECT_GT(inkInRows(context, 10, size_t(10 + kLineHeight)), 20u);
    EXPECT_EQ(inkInRows(context, size_t(std::ceil(10 + kLineHeight)), 200), 0u);
}

TEST(Part4_1_CTFrame, AlignmentPlacesEachLine) {
    const CGRect box = CGRectMake(10, 10, 280, 180);
    const auto originOf = [&](NSTextAlignment alignment, std::string_view text = "Hi") {
        const CTFrameRef frame = frameOf(text, box, 20, alignment);
        return std::pair{originsOf(frame).at(0).x, widthOf(CTFrameGetLines(frame).at(0))};
    };
    const auto [left, width] = originOf(NSTextAlignmentLeft);
    EXPECT_EQ(left, 0);
    EXPECT_GT(width, 15);
    EXPECT_DOUBLE_EQ(originOf(NSTextAlignmentRight).first, 280 - width);
    EXPECT_DOUBLE_EQ(originOf(NSTextAlignmentCenter).first, (280 - width) / 2);
    EXPECT_EQ(originOf(NSTextAlignmentNatural).first, 0);    // left-to-right text
    EXPECT_EQ(originOf(NSTextAlignmentJustified).first, 0);  // a paragraph's last line is natural
    EXPECT_EQ(originOf(static_cast<NSTextAlignment>(-1)).first, 0);  // not an alignment: natural
    // Right-to-left text: natural is the right edge; left stays left.
    const auto [hebrew, hebrewWidth] = originOf(NSTextAlignmentNatural, "\u05E9\u05DC\u05D5\u05DD");
    EXPECT_DOUBLE_EQ(hebrew, 280 - hebrewWidth);
    EXPECT_EQ(originOf(NSTextAlignmentLeft, "\u05E9\u05DC\u05D5\u05DD").first, 0);

    // Where the ink lands (the box spans columns 10 … 290).
    const auto columns = [&](NSTextAlignment alignment) {
        return inkColumns(drawn(frameOf("Hi", box, 20, alignment)));
    };
    const auto [leftFirst, leftLast] = columns(NSTextAlignmentLeft);
    EXPECT_GE(leftFirst, 10u);
    EXPECT_LE(leftFirst, 14u);
    const auto [rightFirst, rightLast] = columns(NSTextAlignmentRight);
    EXPECT_LE(rightLast, 290u);
    EXPECT_GE(rightLast, 286u);
    const auto [centreFirst, centreLast] = columns(NSTextAlignmentCenter);
    EXPECT_NEAR((centreFirst + centreLast) / 2.0, 150, 3);
    EXPECT_LT(leftLast, centreFirst);
    EXPECT_LT(centreLast, rightFirst);
}

TEST(Part4_1_CTFrame, JustifiedLinesFillTheWidthButTheLast) {
    const CTFrameRef frame = frameOf("aa bb cc dd ee ff gg hh ii jj kk ll mm nn oo pp qq",
                                     CGRectMake(10, 10, 100, 180), 20, NSTextAlignmentJustified);
    const auto lines = CTFrameGetLines(frame);
    ASSERT_GE(lines.size(), 3u);
    for (size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_NEAR(widthOf(lines[i]), 100, 1e-3) << i;
    EXPECT_LT(widthOf(lines.back()), 99);
    // The first line's ink reaches both edges of the box (columns 10 … 110).
    const CGContextRef context = drawn(frame);
    EXPECT_GT(inkIn(context, 10, 10, 14, 33), 0u);
    EXPECT_GT(inkIn(context, 106, 10, 110, 33), 0u);
    EXPECT_EQ(inkIn(context, 110, 0, 300, 200), 0u);
}

TEST(Part4_1_CTFrame, LinesBreakAtWordsAndWithinLongWords) {
    const auto ranges = [](std::string_view text, double width, NSLineBreakMode mode) {
        auto attrs = attributes("Helvetica", 20);
        auto style = NSParagraphStyle::defaultParagraphStyle()->mutableCopy();
        style->setLineBreakMode(mode);
        attrs = NSDictionary::dictionaryWithEntries(
            {{NSFontAttributeName, NSFont::fontWithName_size("Helvetica", 20)},
             {NSParagraphStyleAttributeName, style}});
        const CTFrameRef frame = frameOf(NSAttributedString::initWithString_attributes(text, attrs),
                                         CGRectMake(0, 0, width, 500));
        std::vector<std::pair<CFRange, double>> result;
        for (const CTLineRef& line : CTFrameGetLines(frame))
            result.push_back({CTLineGetStringRange(line), widthOf(line)});
        return result;
    };
    // Word wrapping: "aaa " then "bbb".
    const auto words = ranges("aaa bbb", 60, NSLineBreakByWordWrapping);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].first, CFRangeMake(0, 4));
    EXPECT_EQ(words[1].first, CFRangeMake(4, 3));
    // A word wider than the line is broken between characters.
    const auto longWord = ranges("abcdefghijklmnop", 60, NSLineBreakByWordWrapping);
    EXPECT_GT(longWord.size(), 2u);
    for (const auto& [range, width] : longWord) EXPECT_LE(width, 60) << range.location;
    // Clipping: one line per paragraph, as wide as it is.
    const auto clipped = ranges("aaa bbb ccc ddd", 60, NSLineBreakByClipping);
    ASSERT_EQ(clipped.size(), 1u);
    EXPECT_GT(clipped[0].second, 60);
    // Truncating: one shortened line.
    const auto truncated = ranges("aaa bbb ccc ddd", 60, NSLineBreakByTruncatingTail);
    ASSERT_EQ(truncated.size(), 1u);
    EXPECT_LE(truncated[0].second, 60);
}

TEST(Part4_1_CTFrame, StringRangesInUTF16) {
    EXPECT_EQ(rangesOf(frameOf("one\ntwo\nthree", CGRectMake(0, 0, 280, 180))),
              (std::vector<CFRange>{{0, 4}, {4, 4}, {8, 5}}));
    EXPECT_EQ(rangesOf(frameOf("a\r\nb\rc\u2029d", CGRectMake(0, 0, 280, 180))),
              (std::vector<CFRange>{{0, 3}, {3, 2}, {5, 2}, {7, 1}}));
    EXPECT_EQ(rangesOf(frameOf("\U0001F600 x\ny", CGRectMake(0, 0, 280, 180))),
              (std::vector<CFRange>{{0, 5}, {5, 1}}));
    EXPECT_EQ(rangesOf(frameOf("a\n\nb", CGRectMake(0, 0, 280, 180))),  // an empty paragraph's line
              (std::vector<CFRange>{{0, 2}, {2, 1}, {3, 1}}));

    // Part of the string.
    const auto string = NSAttributedString::initWithString_attributes("one\ntwo\nthree",
                                                                      attributes("Helvetica", 20));
    const CTFrameRef part = CTFramesetterCreateFrame(CTFramesetterCreateWithAttributedString(string),
                                                     CFRangeMake(4, 3),
                                                     CGPathCreateWithRect(CGRectMake(0, 0, 280, 180), nullptr),
                                                     nullptr);
    EXPECT_EQ(CTFrameGetStringRange(part), CFRangeMake(4, 3));
    EXPECT_EQ(rangesOf(part), (std::vector<CFRange>{{4, 3}}));
    EXPECT_EQ(CTFrameGetVisibleStringRange(part), CFRangeMake(4, 3));
}

TEST(Part4_1_CTFrame, TextIsDrawnInItsForegroundColour) {
    const auto string = NSAttributedString::initWithString_attributes(
        "HHHH", attributes("Helvetica", 60, NSTextAlignmentLeft, srgb(1, 0, 0)));
    const CGContextRef context = drawn(frameOf(string, CGRectMake(10, 10, 280, 180)));
    size_t opaque = 0;
    for (size_t row = 0; row < 200; ++row)
        for (size_t x = 0; x < 300; ++x) {
            const RGBA p = pixelAt(context, x, row);
            if (p.a == 0) continue;
            ASSERT_EQ(p, (RGBA{p.a, 0, 0, p.a})) << x << ", " << row;  // premultiplied red
            opaque += p.a == 255;
        }
    EXPECT_GT(opaque, 500u);  // the stems' flat insides

    // Half-transparent blue ink is never more than half opaque.
    const auto translucent = NSAttributedString::initWithString_attributes(
        "HHHH", attributes("Helvetica", 60, NSTextAlignmentLeft, srgb(0, 0, 1, 0.5)));
    const CGContextRef half = drawn(frameOf(translucent, CGRectMake(10, 10, 280, 180)));
    int most = 0;
    for (size_t row = 0; row < 200; ++row)
        for (size_t x = 0; x < 300; ++x) most = std::max(most, pixelAt(half, x, row).a);
    EXPECT_NEAR(most, 128, 1);
}

TEST(Part4_1_CTFrame, RunsKeepTheirOwnColoursAndFonts) {
    auto string = NSMutableAttributedString::initWithString_attributes(
        "HHHH HHHH", attributes("Helvetica", 40, NSTextAlignmentLeft, srgb(1, 0, 0)));
    string->setAttributes_range(attributes("Helvetica", 40, NSTextAlignmentLeft, srgb(0, 0, 1)),
                                NSMakeRange(5, 4));
    const CTFrameRef frame = frameOf(string, CGRectMake(10, 10, 280, 180));
    const CGContextRef context = drawn(frame);
    const double split = 10 + widthOf(CTLineCreateWithAttributedString(
                                  NSAttributedString::initWithString_attributes(
                                      "HHHH ", attributes("Helvetica", 40))));
    for (size_t row = 0; row < 200; ++row)
        for (size_t x = 0; x < 300; ++x) {
            const RGBA p = pixelAt(context, x, row);
            if (p.a == 0) continue;
            if (x + 1 < split) {
                EXPECT_EQ(p, (RGBA{p.a, 0, 0, p.a})) << x << ", " << row;
            } else if (x > split + 1) {
                EXPECT_EQ(p, (RGBA{0, 0, p.a, p.a})) << x << ", " << row;
            }
        }

    // A line is as tall as its tallest font: a 40-point word on the second line moves it down.
    auto mixed = NSMutableAttributedString::initWithString_attributes("one\ntwo",
                                                                      attributes("Helvetica", 20));
    mixed->setAttributes_range(attributes("Helvetica", 40), NSMakeRange(4, 3));
    const auto origins = originsOf(frameOf(mixed, CGRectMake(0, 0, 280, 180)));
    ASSERT_EQ(origins.size(), 2u);
    EXPECT_DOUBLE_EQ(origins[0].y - origins[1].y, kDescent + kLeading + kSansAscent * 40);
}

TEST(Part4_1_CTFrame, Part4_2FlipLandsTextAtTheLayersTop) {
    // Part 4.2: the layer's drawing space is y-down (scale (1, −1), translate (0, −h)); step 7 then
    // concatenates translate (0, F) · scale (1, −1) and lays the text out in (0, 0, W, F).
    constexpr double W = 200, H = 100, F = 2 * H + 100;
    const auto string = NSAttributedString::initWithString_attributes(
        "Top line of text\nsecond line", attributes("Helvetica", 20));
    const CGContextRef flipped = bitmap(200, 100);
    CGContextScaleCTM(flipped, 1, -1);
    CGContextTranslateCTM(flipped, 0, -H);
    CGContextSetTextMatrix(flipped, CGAffineTransformIdentity);
    CGContextConcatCTM(flipped,
                       CGAffineTransformScale(CGAffineTransformMakeTranslation(0, F), 1, -1));
    CTFrameDraw(frameOf(string, CGRectMake(0, 0, W, F)), flipped);

    // The same text drawn straight into the y-up space, its box's top at the bitmap's top.
    const CGContextRef straight = bitmap(200, 100);
    CTFrameDraw(frameOf(string, CGRectMake(0, 0, W, H)), straight);

    EXPECT_GT(inkInRows(flipped, 0, size_t(kLineHeight)), 100u);
    EXPECT_GT(inkInRows(flipped, size_t(kLineHeight), size_t(2 * kLineHeight)), 100u);
    EXPECT_EQ(inkInRows(flipped, size_t(std::ceil(2 * kLineHeight)), 100), 0u);
    for (size_t row = 0; row < 100; ++row)
        for (size_t x = 0; x < 200; ++x) {
            const RGBA a = pixelAt(flipped, x, row), b = pixelAt(straight, x, row);
            ASSERT_NEAR(a.a, b.a, 2) << x << ", " << row;
        }
}

TEST(Part4_1_CTFrame, TextMatrixTransformsTheGlyphs) {
    // "T" at 60 points: upright its ink is above the baseline; with a text matrix flipping y it
    // hangs below.
    const CGRect box = CGRectMake(10, 0, 280, 200);
    const CTFrameRef frame = frameOf("T", box, 60);
    const double baselineRow = 200 - (box.origin.y + originsOf(frame).at(0).y);
    const CGContextRef upright = bitmap(300, 200);
    CTFrameDraw(frame, upright);
    EXPECT_GT(inkInRows(upright, 0, size_t(baselineRow)), 200u);
    EXPECT_EQ(inkInRows(upright, size_t(std::ceil(baselineRow)) + 1, 200), 0u);

    const CGContextRef mirrored = bitmap(300, 200);
    CGContextSetTextMatrix(mirrored, CGAffineTransformMakeScale(1, -1));
    CTFrameDraw(frame, mirrored);
    EXPECT_EQ(inkInRows(mirrored, 0, size_t(baselineRow) - 1), 0u);
    EXPECT_GT(inkInRows(mirrored, size_t(baselineRow), 200), 200u);
    EXPECT_EQ(CGContextGetTextMatrix(mirrored), CGAffineTransformMakeScale(1, -1));

    // A text matrix that cannot be inverted draws nothing.
    const CGContextRef singular = bitmap(300, 200);
    CGContextSetTextMatrix(singular, CGAffineTransformMakeScale(0, 1));
    CTFrameDraw(frame, singular);
    EXPECT_EQ(inkInRows(singular, 0, 200), 0u);
}

TEST(Part4_1_CTFrame, TwoThreadsDrawWhatOneThreadDraws) {
    const auto render = [](int which) {
        const auto string = NSAttributedString::initWithString_attributes(
            which ? "The quick brown fox jumps over the lazy dog, twice over."
                  : "Sphinx of black quartz, judge my vow; pack my box.",
            attributes(which ? "Times" : "System Font", 18, NSTextAlignmentCenter));
        const CGContextRef context = bitmap(300, 200);
        CTFrameDraw(frameOf(string, CGRectMake(10, 10, 280, 180)), context);
        return pixelsOf(context);
    };
    const std::vector<uint8_t> expected[2] = {render(0), render(1)};
    bool same[2] = {true, true};
    std::thread threads[2];
    for (int t = 0; t < 2; ++t)
        threads[t] = std::thread([&, t] {
            for (int i = 0; i < 40; ++i) same[t] = same[t] && render(t) == expected[t];
        });
    for (auto& thread : threads) thread.join();
    EXPECT_TRUE(same[0]);
    EXPECT_TRUE(same[1]);
}

TEST(Part4_1_CTFrame, HostileInputIsBounded) {
    const CGRect box = CGRectMake(0, 0, 200, 200);
    // Bytes that are not UTF-8, and NULs, are drawn as U+FFFD.
    EXPECT_EQ(CTFrameGetLines(frameOf(std::string("a\xff\xfe b\0c\xc0", 9), box)).size(), 1u);
    // No width: nothing wraps into it.
    EXPECT_TRUE(CTFrameGetLines(frameOf("abc", CGRectMake(0, 0, 0, 200))).empty());
    // Paths without a finite box, bad ranges, null arguments.
    EXPECT_TRUE(CTFrameGetLines(frameOf("abc", CGRectMake(0, 0, std::nan(""), 200))).empty());
    EXPECT_EQ(frameOf("abc", CGRectMake(0, 0, INFINITY, 200)), nullptr);
    EXPECT_EQ(CTFramesetterCreateFrame(nullptr, CFRangeMake(0, 0),
                                       CGPathCreateWithRect(box, nullptr), nullptr),
              nullptr);
    const auto framesetter = CTFramesetterCreateWithAttributedString(
        NSAttributedString::initWithString_attributes("abc", attributes("Helvetica", 20)));
    EXPECT_EQ(CTFramesetterCreateFrame(framesetter, CFRangeMake(-1, 0),
                                       CGPathCreateWithRect(box, nullptr), nullptr),
              nullptr);
    EXPECT_EQ(CTFramesetterCreateFrame(framesetter, CFRangeMake(0, 0), nullptr, nullptr), nullptr);
    EXPECT_EQ(CTFramesetterCreateWithAttributedString(nullptr), nullptr);
    EXPECT_TRUE(CTFrameGetLines(CTFramesetterCreateFrame(framesetter, CFRangeMake(99, 5),
                                                         CGPathCreateWithRect(box, nullptr), nullptr))
                    .empty());
    EXPECT_TRUE(CTFrameGetLines(frameOf("", box)).empty());
    CTFrameDraw(nullptr, bitmap(10, 10));
    CTFrameDraw(frameOf("abc", box), nullptr);

    // A huge size is drawn as outlines (no glyph bitmaps of gigapixels): the stem of an "l" at the
    // largest size covers the whole bitmap.
    const CGContextRef huge = bitmap(100, 100);
    const CTFrameRef frame =
        frameOf("l", CGRectMake(-1500, -20000, 30000, 30000), 1e9);  // reduced to kMaxFontSize
    ASSERT_EQ(CTFrameGetLines(frame).size(), 1u);
    CTFrameDraw(frame, huge);
    EXPECT_EQ(pixelAt(huge, 50, 50), (RGBA{0, 0, 0, 255}));

    // Millions of paragraphs: at most kMaxFrameLines lines.
    std::string many;
    for (size_t i = 0; i < CoreTextLimits::kMaxFrameLines + 10; ++i) many += "a\n";
    EXPECT_EQ(CTFrameGetLines(frameOf(many, CGRectMake(0, 0, 100, 1e9), 1)).size(),
              CoreTextLimits::kMaxFrameLines);
}

TEST(Part4_1_CTFrame, LongParagraphsLayOutAsAWhole) {
    // Laid out in growing prefixes, a paragraph far longer than a prefix breaks into the same lines
    // in a small frame as in one that shows all of it.
    std::string text;
    for (int i = 0; i < 12000; ++i) text += i % 7 ? "word " : "longerword ";
    const auto small = rangesOf(frameOf(text, CGRectMake(0, 0, 300, 100)));
    const auto all = rangesOf(frameOf(text, CGRectMake(0, 0, 300, 1e7)));
    ASSERT_EQ(small.size(), 4u);
    ASSERT_GT(all.size(), 1000u);
    for (size_t i = 0; i < small.size(); ++i) EXPECT_EQ(small[i], all[i]) << i;
    CFIndex covered = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].location, covered) << i;  // no gaps, no overlaps
        covered += all[i].length;
    }
    EXPECT_EQ(covered, CFIndex(text.size()));
}
