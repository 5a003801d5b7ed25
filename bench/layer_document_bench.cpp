// Benchmarks of documents decoded through the model (Google Benchmark). One document of 10,000
// layers (100 groups of 99 below one screen; every layer with a fill in sRGB or Display P3, a
// third of them text layers, every one with animation timing) is decoded three ways:
//
//   ArchiveOnly:        open the keyed archive and read every value of every object entry, the
//                       floor that any reader of the file pays;
//   DecodeDocument:     load the document through the model (VTPrototype::prototypeFromData_error);
//   DecodeAndWriteBack: load it, then write its screen back into a new archive.
//
// The model's own cost is DecodeDocument − ArchiveOnly; the goal is that it does not exceed
// ArchiveOnly.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "CGImageToData.h"
#include "KeyedArchive.h"
#include "NSArray.h"
#include "NSKeyedArchiver.h"
#include "VTAnimationInfo.h"
#include "VTPrototype.h"

namespace {

constexpr int kGroups = 100;
constexpr int kLayersPerGroup = 99;

// The root as the design tool writes it: the version and the screens.
class BenchPrototype : public NSObject {
  public:
    NS_CLASS_RECORD("VTPrototype", NSObject::objcClass())
    explicit BenchPrototype(std::shared_ptr<VTScreen> screen) : screen_(std::move(screen)) {}
    void encodeWithCoder(NSCoder& coder) const override {
        coder.encodeInteger_forKey(15, "version");
        coder.encodeObject_forKey(NSArray::arrayWithObjects({screen_}), "screens");
    }

  private:
    std::shared_ptr<VTScreen> screen_;
};

std::shared_ptr<VTLayer> benchLayer(int index) {
    auto layer = index % 3 == 0 ? VTLayer::textLayer()
                                : VTLayer::initWithName("Layer " + std::to_string(index));
    const double shade = (index % 256) / 255.0;
    layer->setBackgroundColor(index % 2
                                  ? CGColorCreateSRGB(shade, 0.5, 1 - shade, 1)
                                  : CGColorCreate(cachedColorSpaceFromName(kCGColorSpaceDisplayP3),
                                                  {1 - shade, shade, 0.25, 1}));
    layer->setPosition({double(index % 97), double(index % 89)});
    layer->setAnimationInfo(
        {{kVTPropertyOpacity, VTAnimationInfo::initWithCurve_delay_duration(
                                  VTAnimationCurve::curveWithType(index % 8), 0.1, 0.3)}});
    return layer;
}

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
        return NSKeyedArchiver::archivedDataWithRootObject(
            std::make_shared<BenchPrototype>(screen));
    }();
    return data;
}

// Every value of every object entry, read as any reader of the file must (a separate function so
// that profilers can count it apart from the document's construction).
[[gnu::noinline]] uint64_t readEveryValue(const NSData& data) {
    KeyedArchive archive(data);
    const auto& list = archive.plist();
    uint64_t touched = 0;
    for (uint64_t uid = 1; uid < archive.objectCount(); ++uid) {
        const auto entry = archive.entry(uid);
        if (entry.kind != plist::Kind::Dictionary) continue;
        for (uint64_t i = 0; i < entry.count; ++i) {
            touched += list.stringValue(list.object(list.keyRef(entry, i))).size();
            const auto value = list.object(list.valueRef(entry, i));
            if (value.kind == plist::Kind::Real) touched += list.realValue(value).value != 0;
            if (value.kind == plist::Kind::Integer) touched += list.integerValue(value).bits != 0;
            if (value.kind == plist::Kind::String) touched += list.stringValue(value).size();
        }
    }
    return touched;
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
        benchmark::DoNotOptimize(
            NSKeyedArchiver::archivedDataWithRootObject(prototype->entryScreen()));
    }
}

BENCHMARK(ArchiveOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeAndWriteBack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
