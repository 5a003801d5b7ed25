// Text layout and drawing as a text layer does it: a 200-word paragraph in Helvetica
// (Liberation Sans) 14 pt, word-wrapped in a frame 300 points wide, laid out (framesetter and
// frame) and drawn into a 300 × 800 bitmap; and each half alone.

#include <benchmark/benchmark.h>

#include <string>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGPath.h"
#include "CTFramesetter.h"
#include "NSAttributedString.h"
#include "NSColor.h"
#include "NSFont.h"
#include "NSParagraphStyle.h"

namespace {

constexpr CGFloat kWidth = 300, kHeight = 800;

// 200 words of ordinary prose lengths.
std::string paragraph() {
    static const char* const words[] = {"the",  "quick",     "brown", "fox",    "jumps",  "over",
                                        "lazy", "dog",       "while", "seven",  "design", "screens",
                                        "show", "prototype", "of",    "layers", "and",    "text"};
    std::string text;
    for (int i = 0; i < 200; ++i) {
        if (i) text += ' ';
        text += words[(i * 7) % (sizeof words / sizeof *words)];
    }
    return text;
}

std::shared_ptr<NSAttributedString> attributedParagraph() {
    auto style = NSParagraphStyle::defaultParagraphStyle()->mutableCopy();
    style->setLineBreakMode(NSLineBreakByWordWrapping);
    style->setAlignment(NSTextAlignmentLeft);
    const auto colour = CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {0, 0, 0, 1});
    return NSAttributedString::initWithString_attributes(
        paragraph(), NSDictionary::dictionaryWithEntries({
                         {NSFontAttributeName, NSFont::fontWithName_size("Helvetica", 14)},
                         {NSForegroundColorAttributeName, NSColor::colorWithCGColor(colour)},
                         {NSParagraphStyleAttributeName, style},
                     }));
}

CTFrameRef layOut(const std::shared_ptr<NSAttributedString>& string, const CGPathRef& path) {
    return CTFramesetterCreateFrame(CTFramesetterCreateWithAttributedString(string),
                                    CFRangeMake(0, 0), path, nullptr);
}

CGContextRef newBitmap() {
    return CGBitmapContextCreate(nullptr, size_t(kWidth), size_t(kHeight), 8, 0,
                                 CGColorSpaceCreateDeviceRGB(),
                                 kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host);
}

void BM_LayOutAndDraw200Words(benchmark::State& state) {
    const auto string = attributedParagraph();
    const CGPathRef path = CGPathCreateWithRect(CGRectMake(0, 0, kWidth, kHeight), nullptr);
    const CGContextRef context = newBitmap();
    for (auto _ : state) {
        const CTFrameRef frame = layOut(string, path);
        CTFrameDraw(frame, context);
        benchmark::DoNotOptimize(CGBitmapContextGetData(context));
    }
    state.counters["lines"] = double(CTFrameGetLines(layOut(string, path)).size());
}
BENCHMARK(BM_LayOutAndDraw200Words)->Unit(benchmark::kMicrosecond);

void BM_LayOut200Words(benchmark::State& state) {
    const auto string = attributedParagraph();
    const CGPathRef path = CGPathCreateWithRect(CGRectMake(0, 0, kWidth, kHeight), nullptr);
    for (auto _ : state) benchmark::DoNotOptimize(layOut(string, path));
}
BENCHMARK(BM_LayOut200Words)->Unit(benchmark::kMicrosecond);

void BM_Draw200Words(benchmark::State& state) {
    const CTFrameRef frame = layOut(
        attributedParagraph(), CGPathCreateWithRect(CGRectMake(0, 0, kWidth, kHeight), nullptr));
    const CGContextRef context = newBitmap();
    for (auto _ : state) {
        CTFrameDraw(frame, context);
        benchmark::DoNotOptimize(CGBitmapContextGetData(context));
    }
}
BENCHMARK(BM_Draw200Words)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
