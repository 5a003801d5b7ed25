// Shadow blur (CGContextSetShadowWithColor): the three box blurs on their own, and a
// whole shadowed fill, both with a blur of 20 (a Gaussian of σ 10) over a 1000 × 1000 layer.

#include <benchmark/benchmark.h>

#include <vector>

#include "CGColor.h"
#include "CGContext.h"
#include "CGShadowBlur.h"

namespace {

constexpr size_t kSide = 1000;
constexpr double kBlur = 20;

// The alpha of a 1000 × 1000 layer holding an opaque 800 × 800 square, blurred in place.
void BM_ShadowBlurRadius20(benchmark::State& state) {
    std::vector<uint8_t> layer(kSide * kSide, 0);
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t y = 100; y < 900; ++y)
            std::fill(layer.begin() + long(y * kSide + 100), layer.begin() + long(y * kSide + 900),
                      uint8_t{255});
        state.ResumeTiming();
        CoreGraphicsPrivate::blurShadowAlpha(layer.data(), kSide, kSide, kSide, kBlur / 2);
        benchmark::DoNotOptimize(layer.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kSide * kSide));
}
BENCHMARK(BM_ShadowBlurRadius20)->Unit(benchmark::kMillisecond);

// CGContextFillRect of that square with a shadow into a 1000 × 1000 bitmap context: recording,
// rasterising the shadow's alpha, blurring, compositing the shadow and the square.
void BM_ShadowedFill1000(benchmark::State& state) {
    const CGContextRef context =
        CGBitmapContextCreate(nullptr, kSide, kSide, 8, 0, CGColorSpaceCreateDeviceRGB(),
                              kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host);
    const CGColorRef shadow = CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.0, 0.0, 0.0, 0.5});
    const CGColorRef fill = CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.2, 0.4, 0.8, 1.0});
    CGContextSetShadowWithColor(context, CGSizeMake(0, -10), kBlur, shadow);
    CGContextSetFillColorWithColor(context, fill);
    for (auto _ : state) {
        CGContextFillRect(context, CGRectMake(100, 100, 800, 800));
        benchmark::DoNotOptimize(CGBitmapContextGetData(context));
    }
}
BENCHMARK(BM_ShadowedFill1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
