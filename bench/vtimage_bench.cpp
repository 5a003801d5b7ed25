// What making mipmap levels costs, and what the level-1 request that decoding makes costs the
// decoding thread (the generation never runs on the requesting thread, so the goal is nothing
// measurable).
//
// BM_DecodeDocument decodes a keyed archive whose root is an array of 50 VTImage objects, each
// holding a 1000 × 750 PNG under "jpegData". "requests:1" is the product: every decoded asset
// requests level 1. "requests:0" is a baseline made here only: the class registry maps "VTImage" to
// a subclass whose initWithCoder stops before that request. The CPU column is the decoding thread's
// own CPU time (Google Benchmark's default), the Time column its wall time; after each iteration,
// with the timers paused, every generation is waited for, so that none spills into the next one.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "CGImageToData.h"
#include "DispatchQueue.h"
#include "NSArray.h"
#include "NSData.h"
#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "VTArchivableClasses.h"
#include "VTImage.h"

namespace {

// A width × height bitmap of smooth gradients (premultiplied A, R, G, B; opaque), so that PNG
// encoding and scaling do real work.
CGImageRef gradientBitmap(size_t width, size_t height) {
    std::vector<uint8_t> bytes(width * height * 4);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x) {
            uint8_t* pixel = &bytes[(y * width + x) * 4];
            pixel[0] = 255;
            pixel[1] = static_cast<uint8_t>(255 * x / width);
            pixel[2] = static_cast<uint8_t>(255 * y / height);
            pixel[3] = static_cast<uint8_t>(128 + 127 * std::sin(double(x + y) / 40));
        }
    return CGImageCreateFromData(NSData::dataWithVector(std::move(bytes)),
                                 CGSizeMake(double(width), double(height)));
}

// The bitmap as the image reader gives it from a PNG file (sRGB, straight alpha), as "jpegData"
// decodes.
CGImageRef readBackAsPNG(const CGImageRef& image) {
    return CGImageCreateFromPNGData(CGImageConvertToPNGData(image));
}

void BM_GenerateMipmaps(benchmark::State& state) {
    const auto bitmap =
        state.range(0) ? readBackAsPNG(gradientBitmap(4000, 3000)) : gradientBitmap(4000, 3000);
    size_t levels = 0;
    for (auto _ : state) {
        const auto result = generateMipmaps(bitmap);
        levels = result ? result->size() : 0;
        benchmark::DoNotOptimize(result);
    }
    state.counters["levels"] = double(levels);
    state.SetLabel(state.range(0) ? "4000x3000, read from PNG" : "4000x3000, raw ARGB");
}
BENCHMARK(BM_GenerateMipmaps)
    ->ArgName("png")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Decoding without the level-1 request: the baseline of BM_DecodeDocument only.
class VTImageWithoutMipmapRequest : public VTImage {
  public:
    bool initWithCoder(NSCoder& coder) override {
        decodeContentsWithCoder(coder);
        return true;
    }
};

std::shared_ptr<const NSData> documentOf50Images() {
    static const auto document = [] {
        const auto png = CGImageConvertToPNGData(gradientBitmap(1000, 750));
        std::vector<std::shared_ptr<NSObject>> images;
        for (int i = 0; i < 50; ++i) {
            // Each asset its own copy of the bytes, as in a real document.
            auto image = VTImage::init();
            image->_setCGImage(CGImageCreateFromPNGData(
                NSData::dataWithBytes_length(png->bytes(), png->length())));
            images.push_back(std::move(image));
        }
        return NSKeyedArchiver::archivedDataWithRootObject(
            NSArray::arrayWithObjects(std::move(images)));
    }();
    return document;
}

// Waits until every asset's levels are stored (each request is answered at once or, while its
// generation runs, through the retries on the main queue).
void waitForLevels(const NSArray& images) {
    size_t answered = 0;
    for (const auto& object : images.objects())
        std::static_pointer_cast<VTImage>(object)->mipmapImageAtLevel_callback(
            1, [&](const CGImageRef&) { ++answered; });
    dispatchMainQueueRunUntil([&] { return answered == images.count(); },
                              std::chrono::steady_clock::now() + std::chrono::minutes(5));
}

void BM_DecodeDocument(benchmark::State& state) {
    VTRegisterArchivableClasses();
    const bool requests = state.range(0) != 0;
    if (!requests)
        NSKeyedUnarchiver::setClass_forClassName(
            [] { return std::make_shared<VTImageWithoutMipmapRequest>(); }, "VTImage");
    const auto document = documentOf50Images();
    for (auto _ : state) {
        auto root =
            std::static_pointer_cast<NSArray>(NSKeyedUnarchiver::unarchiveObjectWithData(document));
        state.PauseTiming();
        waitForLevels(*root);
        root.reset();
        dispatchMainQueueDrain();
        state.ResumeTiming();
    }
    if (!requests) NSKeyedUnarchiver::registerClass<VTImage>();
    state.SetLabel(requests ? "with the level-1 requests (product)" : "without them (baseline)");
}
BENCHMARK(BM_DecodeDocument)->ArgName("requests")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
