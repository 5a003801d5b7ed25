// Benchmarks of documents decoded through the model (Google Benchmark). One document of 10,000
// layers (100 groups of 99 below one screen; every layer with a fill in sRGB or Display P3, a
// third of them text layers, every one with animation timing) is decoded three ways:
//
//   ArchiveOnly:        open the keyed archive and read every value of every object entry, the
//                       floor that any reader of the file pays;
//   DecodeDocument:     load the document through the model (VTPrototype::prototypeFromData_error);
//   DecodeAndWriteBack: load it, then write it back into a new archive.
//
// The model's own cost is DecodeDocument − ArchiveOnly; the goal is that it does not exceed
// ArchiveOnly.

#include <benchmark/benchmark.h>

#include <memory>

#include "BenchDocuments.h"
#include "NSKeyedArchiver.h"
#include "VTPrototype.h"

namespace {

constexpr int kGroups = 100;
constexpr int kLayersPerGroup = 99;

const std::shared_ptr<const NSData>& document() {
    static const std::shared_ptr<const NSData> data = [] {
        auto screen = VTScreen::init();
        screen->setSize({375, 667});
        int index = 0;
        for (int g = 0; g < kGroups; ++g) {
            auto group = benchLayer(3 * g + 1);  // never a text layer: it holds sublayers
            for (int i = 0; i < kLayersPerGroup; ++i) group->addSublayer(benchLayer(++index));
            screen->addSublayer(group);
        }
        const auto prototype = VTPrototype::init();
        prototype->addScreen(screen);
        return NSKeyedArchiver::archivedDataWithRootObject(prototype);
    }();
    return data;
}

void ArchiveOnly(benchmark::State& state) {
    const auto& data = document();
    for (auto _ : state) benchmark::DoNotOptimize(readEveryValue(*data));
    state.SetLabel(std::to_string(data->length() >> 10) + " KiB");
}

void DecodeDocument(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(VTPrototype::prototypeFromData_error(document(), nullptr));
}

void DecodeAndWriteBack(benchmark::State& state) {
    for (auto _ : state) {
        const auto prototype = VTPrototype::prototypeFromData_error(document(), nullptr);
        benchmark::DoNotOptimize(NSKeyedArchiver::archivedDataWithRootObject(prototype));
    }
}

BENCHMARK(ArchiveOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeAndWriteBack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
