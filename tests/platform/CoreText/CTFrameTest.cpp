// Frames fill their path from the top down, one line height (ascent + descent + leading) apart,
// broken to the width and aligned by the paragraph style; only whole lines are placed; text is
// drawn upright in y-up user space under the CTM and the text matrix, in its foreground colour.

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
    CGFloat ascent, descent, leading;
    CTLineGetTypographicBounds(CTFrameGetLines(frame)[0], &ascent, &descent, &leading);
    EXPECT_DOUBLE_EQ(ascent, kAscent);
    EXPECT_DOUBLE_EQ(descent, kDescent);
    EXPECT_DOUBLE_EQ(leading, kLeading);
    // The box's top is row 10; line n takes rows 10 + n × 23 … 10 + (n + 1) × 23.
    const CGContextRef context = drawn(frame);
    EXPECT_EQ(inkInRows(context, 0, 10), 0u);
    for (int n = 0; n < 3; ++n)
        EXPECT_GT(
            inkInRows(context, size_t(10 + n * kLineHeight), size_t(10 + (n + 1) * kLineHeight)),
            20u)
            << n;
    EXPECT_EQ(inkInRows(context, size_t(std::ceil(10 + 3 * kLineHeight)), 200), 0u);
    EXPECT_EQ(inkIn(context, 0, 0, 10, 200), 0u);
    // A line is placed when its descent fits, to the last bit.
    const std::pair<double, size_t> heights[] = {
        {kAscent + kDescent - 1e-6, 0},
        {kAscent + kDescent, 1},
        {1.5 * kLineHeight, 1},
        {2 * kAscent + 2 * kDescent + kLeading - 1e-6, 1},
        {2 * kAscent + 2 * kDescent + kLeading, 2},
        {1000, 3},
    };
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
        {NSTextAlignmentLeft, 0},
        {NSTextAlignmentRight, 280 - width},
        {NSTextAlignmentCenter, (280 - width) / 2},
        {NSTextAlignmentNatural, 0},    // left-to-right text
        {NSTextAlignmentJustified, 0},  // a paragraph's last line is natural
        {static_cast<NSTextAlignment>(-1), 0},
    };
    for (auto [alignment, x] : cases) EXPECT_DOUBLE_EQ(originOf(alignment).first, x) << alignment;
    // Right-to-left text: natural is the right edge; left stays left.
    const auto [hebrew, hebrewWidth] = originOf(NSTextAlignmentNatural, "\u05E9\u05DC\u05D5\u05DD");
    EXPECT_DOUBLE_EQ(hebrew, 280 - hebrewWidth);
    EXPECT_EQ(originOf(NSTextAlignmentLeft, "\u05E9\u05DC\u05D5\u05DD").first, 0);
    // Where the ink lands (the box spans columns 10 … 290).
    const auto columns = [&](NSTextAlignment alignment) {
        return inkColumns(drawn(frameOf("Hi", box, 20, alignment)));
    };
    const auto [leftFirst, leftLast] = columns(NSTextAlignmentLeft);
    const auto [centreFirst, centreLast] = columns(NSTextAlignmentCenter);
    const auto [rightFirst, rightLast] = columns(NSTextAlignmentRight);
    EXPECT_GE(leftFirst, 10u);
    EXPECT_LE(leftFirst, 14u);
    EXPECT_NEAR((centreFirst + centreLast) / 2.0, 150, 3);
    EXPECT_LE(rightLast, 290u);
    EXPECT_GE(rightLast, 286u);
    EXPECT_LT(leftLast, centreFirst);
    EXPECT_LT(centreLast, rightFirst);
    // Justified lines fill the width, but the last; the ink reaches both edges.
    const CTFrameRef justified =
        frameOf("aa bb cc dd ee ff gg hh ii jj kk ll mm nn oo pp qq", CGRectMake(10, 10, 100, 180),
                20, NSTextAlignmentJustified);
    const auto lines = CTFrameGetLines(justified);
    ASSERT_GE(lines.size(), 3u);
    for (size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_NEAR(widthOf(lines[i]), 100, 1e-3) << i;
    EXPECT_LT(widthOf(lines.back()), 99);
    const CGContextRef context = drawn(justified);
    EXPECT_GT(inkIn(context, 10, 10, 14, 33), 0u);
    EXPECT_GT(inkIn(context, 106, 10, 110, 33), 0u);
    EXPECT_EQ(inkIn(context, 110, 0, 300, 200), 0u);
}

// Word wrapping breaks after spaces, and within a word wider than the line; clipping keeps one line
// per paragraph as wide as it is; truncation shortens it. Ranges count UTF-16 units, and every
// paragraph separator ends a line.
TEST(CTFrame, LineBreaksAndStringRanges) {
    const auto lines = [](std::string_view text, double width, NSLineBreakMode mode) {
        auto style = NSParagraphStyle::defaultParagraphStyle()->mutableCopy();
        style->setLineBreakMode(mode);
        const auto attrs = NSDictionary::dictionaryWithEntries(
            {{NSFontAttributeName, NSFont::fontWithName_size("Helvetica", 20)},
             {NSParagraphStyleAttributeName, style}});
        return CTFrameGetLines(frameOf(NSAttributedString::initWithString_attributes(text, attrs),
                                       CGRectMake(0, 0, width, 500)));
    };
    const auto words = lines("aaa bbb", 60, NSLineBreakByWordWrapping);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(CTLineGetStringRange(words[0]), CFRangeMake(0, 4));
    EXPECT_EQ(CTLineGetStringRange(words[1]), CFRangeMake(4, 3));
    const auto longWord = lines("abcdefghijklmnop", 60, NSLineBreakByWordWrapping);
    EXPECT_GT(longWord.size(), 2u);
    for (const auto& line : longWord) EXPECT_LE(widthOf(line), 60);
    const auto clipped = lines("aaa bbb ccc ddd", 60, NSLineBreakByClipping);
    ASSERT_EQ(clipped.size(), 1u);
    EXPECT_GT(widthOf(clipped[0]), 60);
    const auto truncated = lines("aaa bbb ccc ddd", 60, NSLineBreakByTruncatingTail);
    ASSERT_EQ(truncated.size(), 1u);
    EXPECT_LE(widthOf(truncated[0]), 60);
    const std::pair<std::string_view, std::vector<CFRange>> cases[] = {
        {"one\ntwo\nthree", {{0, 4}, {4, 4}, {8, 5}}},
        {"a\r\nb\rc\u2029d", {{0, 3}, {3, 2}, {5, 2}, {7, 1}}},
        {"\U0001F600 x\ny", {{0, 5}, {5, 1}}},
        {"a\n\nb", {{0, 2}, {2, 1}, {3, 1}}},  // an empty paragraph has its line
    };
    for (const auto& [text, ranges] : cases)
        EXPECT_EQ(rangesOf(frameOf(text, CGRectMake(0, 0, 280, 180))), ranges) << text;
    const auto string = NSAttributedString::initWithString_attributes("one\ntwo\nthree",
                                                                      attributes("Helvetica", 20));
    const CTFrameRef part = CTFramesetterCreateFrame(
        CTFramesetterCreateWithAttributedString(string), CFRangeMake(4, 3),
        CGPathCreateWithRect(CGRectMake(0, 0, 280, 180), nullptr), nullptr);
    EXPECT_EQ(CTFrameGetStringRange(part), CFRangeMake(4, 3));
    EXPECT_EQ(rangesOf(part), (std::vector<CFRange>{{4, 3}}));
    EXPECT_EQ(CTFrameGetVisibleStringRange(part), CFRangeMake(4, 3));
}

// Each run is drawn in its own colour (a half-transparent one never more than half opaque), and a
// line is as tall as its tallest font.
TEST(CTFrame, RunsKeepTheirOwnColoursAndFonts) {
    auto string = NSMutableAttributedString::initWithString_attributes(
        "HHHH HHHH", attributes("Helvetica", 40, NSTextAlignmentLeft, srgb(1, 0, 0)));
    string->setAttributes_range(
        attributes("Helvetica", 40, NSTextAlignmentLeft, srgb(0, 0, 1, 0.5)), NSMakeRange(5, 4));
    const CGContextRef context = drawn(frameOf(string, CGRectMake(10, 10, 280, 180)));
    const double split =
        10 + widthOf(CTLineCreateWithAttributedString(NSAttributedString::initWithString_attributes(
                 "HHHH ", attributes("Helvetica", 40))));
    size_t opaqueRed = 0;
    int mostBlue = 0;
    for (size_t row = 0; row < 200; ++row)
        for (size_t x = 0; x < 300; ++x) {
            const RGBA p = pixelAt(context, x, row);
            if (p.a == 0 || std::abs(double(x) - split) < 2) continue;
            const RGBA want = x < split ? RGBA{p.a, 0, 0, p.a} : RGBA{0, 0, p.a, p.a};
            ASSERT_EQ(p, want) << x << ", " << row;
            opaqueRed += p.a == 255;
            if (x > split) mostBlue = std::max(mostBlue, p.a);
        }
    EXPECT_GT(opaqueRed, 200u);  // the stems' flat insides
    EXPECT_NEAR(mostBlue, 128, 1);
    auto mixed = NSMutableAttributedString::initWithString_attributes("one\ntwo",
                                                                      attributes("Helvetica", 20));
    mixed->setAttributes_range(attributes("Helvetica", 40), NSMakeRange(4, 3));
    const auto origins = originsOf(frameOf(mixed, CGRectMake(0, 0, 280, 180)));
    ASSERT_EQ(origins.size(), 2u);
    EXPECT_DOUBLE_EQ(origins[0].y - origins[1].y, kDescent + kLeading + kSansAscent * 40);
}

// A layer's y-down drawing space (scale (1, −1), translate (0, −h)) then the flip back for a frame
// of height F (translate (0, F) · scale (1, −1)) lands the text at the layer's top, as drawn
// straight into the y-up space; a mirroring text matrix hangs the glyphs below the baseline, and a
// singular one draws nothing.
TEST(CTFrame, CTMAndTextMatrixPlaceTheGlyphs) {
    constexpr double W = 200, H = 100, F = 2 * H + 100;
    const auto string = NSAttributedString::initWithString_attributes(
        "Top line of text\nsecond line", attributes("Helvetica", 20));
    const CGContextRef flipped = nativeContext(200, 100);
    CGContextScaleCTM(flipped, 1, -1);
    CGContextTranslateCTM(flipped, 0, -H);
    CGContextConcatCTM(flipped,
                       CGAffineTransformScale(CGAffineTransformMakeTranslation(0, F), 1, -1));
    CTFrameDraw(frameOf(string, CGRectMake(0, 0, W, F)), flipped);
    const CGContextRef straight = drawn(frameOf(string, CGRectMake(0, 0, W, H)), 200, 100);
    EXPECT_GT(inkInRows(flipped, 0, size_t(kLineHeight)), 100u);
    EXPECT_GT(inkInRows(flipped, size_t(kLineHeight), size_t(2 * kLineHeight)), 100u);
    EXPECT_EQ(inkInRows(flipped, size_t(std::ceil(2 * kLineHeight)), 100), 0u);
    for (size_t row = 0; row < 100; ++row)
        for (size_t x = 0; x < 200; ++x)
            ASSERT_NEAR(pixelAt(flipped, x, row).a, pixelAt(straight, x, row).a, 2)
                << x << ", " << row;

    const CTFrameRef frame = frameOf("T", CGRectMake(10, 0, 280, 200), 60);
    const double baselineRow = 200 - originsOf(frame).at(0).y;
    const CGContextRef upright = drawn(frame);
    EXPECT_GT(inkInRows(upright, 0, size_t(baselineRow)), 200u);
    EXPECT_EQ(inkInRows(upright, size_t(std::ceil(baselineRow)) + 1, 200), 0u);
    const CGContextRef mirrored = nativeContext(300, 200);
    CGContextSetTextMatrix(mirrored, CGAffineTransformMakeScale(1, -1));
    CTFrameDraw(frame, mirrored);
    EXPECT_EQ(inkInRows(mirrored, 0, size_t(baselineRow) - 1), 0u);
    EXPECT_GT(inkInRows(mirrored, size_t(baselineRow), 200), 200u);
    const CGContextRef singular = nativeContext(300, 200);
    CGContextSetTextMatrix(singular, CGAffineTransformMakeScale(0, 1));
    CTFrameDraw(frame, singular);
    EXPECT_EQ(inkInRows(singular, 0, 200), 0u);
}

TEST(CTFrame, TwoThreadsDrawWhatOneThreadDraws) {
    const auto render = [](int which) {
        const auto string = NSAttributedString::initWithString_attributes(
            which ? "The quick brown fox jumps over the lazy dog, twice over."
                  : "Sphinx of black quartz, judge my vow; pack my box.",
            attributes(which ? "Times" : "System Font", 18, NSTextAlignmentCenter));
        const CGContextRef context = drawn(frameOf(string, CGRectMake(10, 10, 280, 180)));
        const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
        return std::vector<uint8_t>(data, data + 300 * 4 * 200);
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

TEST(CTFrame, HostileInputIsBounded) {
    const CGRect box = CGRectMake(0, 0, 200, 200);
    // Bytes that are not UTF-8, and NULs, are drawn as U+FFFD.
    EXPECT_EQ(CTFrameGetLines(frameOf(std::string("a\xff\xfe b\0c\xc0", 9), box)).size(), 1u);
    EXPECT_TRUE(CTFrameGetLines(frameOf("abc", CGRectMake(0, 0, 0, 200))).empty());
    EXPECT_TRUE(CTFrameGetLines(frameOf("abc", CGRectMake(0, 0, std::nan(""), 200))).empty());
    EXPECT_EQ(frameOf("abc", CGRectMake(0, 0, INFINITY, 200)), nullptr);
    const auto framesetter = CTFramesetterCreateWithAttributedString(
        NSAttributedString::initWithString_attributes("abc", attributes("Helvetica", 20)));
    const auto frameIn = [&](CTFramesetterRef setter, CFRange range, CGPathRef path) {
        return CTFramesetterCreateFrame(std::move(setter), range, std::move(path), nullptr);
    };
    EXPECT_EQ(frameIn(nullptr, CFRangeMake(0, 0), CGPathCreateWithRect(box, nullptr)), nullptr);
    EXPECT_EQ(frameIn(framesetter, CFRangeMake(-1, 0), CGPathCreateWithRect(box, nullptr)),
              nullptr);
    EXPECT_EQ(frameIn(framesetter, CFRangeMake(0, 0), nullptr), nullptr);
    EXPECT_TRUE(CTFrameGetLines(
                    frameIn(framesetter, CFRangeMake(99, 5), CGPathCreateWithRect(box, nullptr)))
                    .empty());
    EXPECT_EQ(CTFramesetterCreateWithAttributedString(nullptr), nullptr);
    EXPECT_TRUE(CTFrameGetLines(frameOf("", box)).empty());
    CTFrameDraw(nullptr, nativeContext(10, 10));
    CTFrameDraw(frameOf("abc", box), nullptr);
    // A huge size is drawn as outlines (no glyph bitmaps of gigapixels): the stem of an "l" at the
    // largest size covers the whole bitmap.
    const CTFrameRef huge = frameOf("l", CGRectMake(-1500, -20000, 30000, 30000), 1e9);
    ASSERT_EQ(CTFrameGetLines(huge).size(), 1u);
    EXPECT_EQ(pixelAt(drawn(huge, 100, 100), 50, 50), kBlack);
    // Millions of paragraphs: at most kMaxFrameLines lines.
    std::string many;
    for (size_t i = 0; i < CoreTextLimits::kMaxFrameLines + 10; ++i) many += "a\n";
    EXPECT_EQ(CTFrameGetLines(frameOf(many, CGRectMake(0, 0, 100, 1e9), 1)).size(),
              CoreTextLimits::kMaxFrameLines);
}

// Laid out in growing prefixes, a paragraph far longer than a prefix breaks into the same lines in
// a small frame as in one that shows all of it, with no gaps and no overlaps.
TEST(CTFrame, LongParagraphsLayOutAsAWhole) {
    std::string text;
    for (int i = 0; i < 12000; ++i) text += i % 7 ? "word " : "longerword ";
    const auto small = rangesOf(frameOf(text, CGRectMake(0, 0, 300, 100)));
    const auto all = rangesOf(frameOf(text, CGRectMake(0, 0, 300, 1e7)));
    ASSERT_EQ(small.size(), 4u);
    ASSERT_GT(all.size(), 1000u);
    EXPECT_EQ(small, std::vector<CFRange>(all.begin(), all.begin() + 4));
    CFIndex covered = 0;
    for (const CFRange& range : all) {
        EXPECT_EQ(range.location, covered);
        covered += range.length;
    }
    EXPECT_EQ(covered, CFIndex(text.size()));
}
