// Layer drawing into a 375 × 667 bitmap, as a thumbnail draws an entry screen: a screen of 10,000
// layers, and the trees a crafted document can hold: a text of a million characters, the largest
// image stretched into a 1-point layer, a shadow of radius 10^6, a layer of 10^9 points, and
// components shown inside components a hundred million times (held to the drawing's budget).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImageToData.h"
#include "NSData.h"
#include "VTImage.h"
#include "VTLayer+Drawing.h"
#include "VTPrototype.h"
#include "VTScreen.h"

namespace {

constexpr double kWidth = 375, kHeight = 667;

CGContextRef thumbnailContext() {
    return CGBitmapContextCreate(nullptr, size_t(kWidth), size_t(kHeight), 8, 0,
                                 CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
}

std::shared_ptr<VTLayer> layerIn(const std::shared_ptr<VTLayer>& parent, CGRect frame) {
    auto layer = VTLayer::init();
    layer->setAnchorPoint(CGPointZero);
    layer->setPosition(frame.origin);
    layer->setSize(frame.size);
    layer->setBackgroundColor(CGColorCreateSRGB(0.2, 0.4, 0.8, 1));
    parent->addSublayer(layer);
    return layer;
}

std::shared_ptr<VTScreen> screen() {
    return VTScreen::initWithCanvasName_size("Screen", CGSizeMake(kWidth, kHeight));
}

void drawRepeatedly(benchmark::State& state, const VTLayer& root) {
    const CGContextRef context = thumbnailContext();
    for (auto _ : state) {
        drawInContext(root, context);
        benchmark::DoNotOptimize(CGBitmapContextGetData(context));
    }
}

// 100 rows of 100 rounded, bordered layers, half of them faded.
void BM_Screen10000Layers(benchmark::State& state) {
    const auto root = screen();
    for (int i = 0; i < 10'000; ++i) {
        auto layer = layerIn(root, {{double(i % 100) * 3.5, double(i / 100) * 6.5}, {20, 20}});
        layer->setRadius(4);
        layer->setBorderWidth(1);
        if (i % 2) layer->setOpacity(0.5);
    }
    drawRepeatedly(state, *root);
}
BENCHMARK(BM_Screen10000Layers)->Unit(benchmark::kMillisecond);

void BM_TextOfAMillionCharacters(benchmark::State& state) {
    const auto root = screen();
    std::string words;
    while (words.size() < 1'000'000) words += "words ";
    auto text = VTLayer::textLayer();
    text->setText(words);
    text->setSize({kWidth, kHeight});
    text->setAnchorPoint(CGPointZero);
    text->setPosition(CGPointZero);
    root->addSublayer(text);
    drawRepeatedly(state, *root);
}
BENCHMARK(BM_TextOfAMillionCharacters)->Unit(benchmark::kMillisecond);

// 10,000 × 10,000 pixels (kCGImageMaxPixelCount), as a decoded document image holds them.
void BM_LargestImageIntoOnePoint(benchmark::State& state) {
    const auto root = screen();
    const size_t side = 10'000;
    std::vector<uint8_t> pixels(side * side * 4, 0x80);
    auto image = VTImage::init();
    image->_setCGImage(
        CGImageCreate(side, side, 8, 32, side * 4, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                      kCGImageAlphaPremultipliedLast, NSData::dataWithVector(std::move(pixels))));
    layerIn(root, {{10, 10}, {1, 1}})->setImage(image);
    drawRepeatedly(state, *root);
}
BENCHMARK(BM_LargestImageIntoOnePoint)->Unit(benchmark::kMillisecond);

void BM_ShadowOfRadiusAMillion(benchmark::State& state) {
    const auto root = screen();
    auto layer = layerIn(root, {{100, 100}, {100, 100}});
    layer->setShadowColor(CGColorCreateSRGB(0, 0, 0, 0.5));
    layer->setShadowRadius(1e6);
    drawRepeatedly(state, *root);
}
BENCHMARK(BM_ShadowOfRadiusAMillion)->Unit(benchmark::kMillisecond);

void BM_LayerOfABillionPoints(benchmark::State& state) {
    const auto root = screen();
    auto layer = layerIn(root, {{-5e8, -5e8}, {1e9, 1e9}});
    layer->setRadius(1e8);
    layer->setBorderWidth(1e7);
    drawRepeatedly(state, *root);
}
BENCHMARK(BM_LayerOfABillionPoints)->Unit(benchmark::kMillisecond);

// Nine screens, each showing the next ten times: 10^8 instances, of which the drawing's budget
// draws kVTMaxDrawnLayers.
void BM_ComponentsInsideComponents(benchmark::State& state) {
    auto prototype = VTPrototype::init();
    std::vector<std::shared_ptr<VTScreen>> screens;
    for (int level = 0; level < 9; ++level) {
        screens.push_back(screen());
        screens.back()->setPrototype(prototype);
    }
    for (size_t level = 0; level + 1 < screens.size(); ++level)
        for (int copy = 0; copy < 10; ++copy) {
            auto instance = screens[level + 1]->createComponentInstance();
            instance->setAnchorPoint(CGPointZero);
            instance->setPosition(CGPointZero);
            screens[level]->addSublayer(instance);
        }
    drawRepeatedly(state, *screens.front());
}
BENCHMARK(BM_ComponentsInsideComponents)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
