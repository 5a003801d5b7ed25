// Benchmarks of whole document graphs decoded through the model (Google Benchmark).
//
//   ArchiveOnly / DecodeDocument: a document of 1,000 screens of 100 layers each (100,000 layers,
//     fills in sRGB or Display P3, a third of them text, all with timing) and 10,000 transitions,
//     each from a layer of one screen to the next screen: every value of the archive read, against
//     the document loaded through the model. The label gives the file's size and, for the decode,
//     the memory the loaded document holds.
//   TransitionFilter/N: a document of 100 one-layer screens and N transitions loaded, N = 1,000,
//     10,000 and 100,000; the items-per-second rate stays flat when dropping transitions that lead
//     out of the document costs the same per transition at every size.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <map>
#include <memory>

#include "BenchDocuments.h"
#include "NSKeyedArchiver.h"
#include "VTEvent.h"
#include "VTPrototype.h"
#include "VTScreen.h"

namespace {

// Screens of `layersPerScreen` layers (in groups of ten below the screen) and `transitions`
// events, every third of which leads to a screen of another document and is dropped on loading.
std::shared_ptr<const NSData> documentOf(int screens, int layersPerScreen, int transitions) {
    const auto prototype = VTPrototype::init();
    int index = 0;
    for (int s = 0; s < screens; ++s) {
        const auto screen =
            VTScreen::initWithCanvasName_size("Screen " + std::to_string(s), {375, 667});
        std::shared_ptr<VTLayer> group;
        for (int l = 0; l < layersPerScreen; ++l) {
            if (l % 10 == 0 || !group || !group->canHostSubLayers()) {
                group = benchLayer(3 * index + 1);  // never a text layer
                screen->addSublayer(group);
            } else {
                group->addSublayer(benchLayer(index));
            }
            ++index;
        }
        prototype->addScreen(screen);
    }
    const auto elsewhere = VTScreen::initWithCanvasName_size("Elsewhere", {10, 10});
    for (int t = 0; t < transitions; ++t) {
        auto event = VTEvent::initWithType(t % 15);
        const auto source = prototype->screenAtIndex(t % screens);
        event->setSource(source->countOfSublayers() ? source->objectInSublayersAtIndex(0) : source);
        event->setDestination(t % 3 == 2 ? elsewhere : prototype->screenAtIndex((t + 1) % screens));
        prototype->addTransition_atIndex(event, t);
    }
    // The other screen is stored as a component's, used once in the first screen, so that the
    // events that lead to it read back with it and the loader drops them.
    const auto other = VTPrototype::init();
    other->addScreen(elsewhere);
    prototype->addComponent(other);
    prototype->screenAtIndex(0)->addSublayer(elsewhere->createComponentInstance());
    return NSKeyedArchiver::archivedDataWithRootObject(prototype);
}

const std::shared_ptr<const NSData>& bigDocument() {
    static const auto data = documentOf(1'000, 100, 10'000);
    return data;
}

std::string megabytes(uint64_t bytes) {
    return std::to_string(bytes >> 20) + " MB";
}

uint64_t allocatedBytes() {
    return mallinfo2().uordblks;
}

void ArchiveOnly(benchmark::State& state) {
    const auto& data = bigDocument();
    for (auto _ : state) benchmark::DoNotOptimize(readEveryValue(*data));
    state.SetLabel(megabytes(data->length()) + " file");
}

void DecodeDocument(benchmark::State& state) {
    const auto& data = bigDocument();
    // What one loaded document holds, measured before the timed loads (the count walks the heap).
    const uint64_t before = allocatedBytes();
    auto prototype = VTPrototype::prototypeFromData_error(data, nullptr);
    const uint64_t held = allocatedBytes() - before;
    if (!prototype || prototype->countOfTransitions() != 6'667) state.SkipWithError("not loaded");
    prototype.reset();
    for (auto _ : state)
        benchmark::DoNotOptimize(VTPrototype::prototypeFromData_error(data, nullptr));
    state.SetLabel("the document holds " + megabytes(held));
}

void TransitionFilter(benchmark::State& state) {
    static std::map<int64_t, std::shared_ptr<const NSData>> documents;
    auto& data = documents[state.range(0)];
    if (!data) data = documentOf(100, 1, static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(VTPrototype::prototypeFromData_error(data, nullptr));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(ArchiveOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(TransitionFilter)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
