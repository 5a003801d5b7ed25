// Drawing layer trees that no design tool writes but code or a crafted document can make: huge,
// infinite and NaN geometry, enormous shadows, borders and texts, trees deeper than drawing goes,
// components that show themselves. Each is drawn into a small bitmap; the drawing must end, leave
// the graphics state as it was, and still draw what is sound around the hostile layer.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "../VantlerCore/LayerTestSupport.h"
#include "DrawingTestSupport.h"
#include "VTLayer+Drawing.h"

namespace {

using namespace drawing_support;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr size_t kSide = 64;

const RGBA kWhite{255, 255, 255, 255}, kGreen{0, 153, 0, 255}, kBlue{0, 0, 255, 255};

// A green square at the bottom-right corner: drawn whatever its hostile siblings hold.
void addMarker(const std::shared_ptr<VTLayer>& screen) {
    layerIn(screen, {{48, 48}, {16, 16}}, srgb(0, 0.6, 0));
}

struct Probe {
    size_t x, y;
    RGBA colour;
};

struct HostileCase {
    std::string name;
    // The screen to draw; the second part undoes what would keep layers alive after the test
    // (layers that own each other).
    std::function<std::pair<std::shared_ptr<VTLayer>, std::function<void()>>()> build;
    std::vector<Probe> probes;
};

std::pair<std::shared_ptr<VTLayer>, std::function<void()>> kept(std::shared_ptr<VTLayer> screen) {
    return {std::move(screen), [] {}};
}

std::shared_ptr<VTLayer> screenWith(
    const std::function<void(const std::shared_ptr<VTLayer>&)>& add) {
    auto screen = whiteScreen(kSide, kSide);
    add(screen);
    addMarker(screen);
    return screen;
}

std::shared_ptr<VTLayer> blueSquareIn(const std::shared_ptr<VTLayer>& screen) {
    return layerIn(screen, {{8, 8}, {32, 32}}, srgb(0, 0, 1));
}

const std::vector<HostileCase> kCases{
    {"a layer of a billion points covers everything",
     [] {
         return kept(screenWith([](const auto& screen) {
             layerIn(screen, {{-5e8, -5e8}, {1e9, 1e9}}, srgb(0, 0, 1))->setRadius(1e8);
         }));
     },
     {{32, 32, kBlue}, {1, 1, kBlue}}},
    {"a layer of infinite size is not drawn",
     [] {
         return kept(screenWith([](const auto& screen) {
             layerIn(screen, {{0, 0}, {kInfinity, 10}}, srgb(0, 0, 1));
         }));
     },
     {{5, 5, kWhite}, {56, 56, kGreen}}},
    {"NaN and infinite placements draw nothing of their layer",
     [] {
         return kept(screenWith([](const auto& screen) {
             blueSquareIn(screen)->setPosition({kNaN, 8});
             blueSquareIn(screen)->setAngle(kNaN);
             blueSquareIn(screen)->setPosition({kInfinity, -kInfinity});
             blueSquareIn(screen)->setScale(kInfinity);
             blueSquareIn(screen)->setAnchorPoint({kNaN, kNaN});
         }));
     },
     {{20, 20, kWhite}, {56, 56, kGreen}}},
    {"a NaN content offset hides only what it scrolls",
     [] {
         return kept(screenWith([](const auto& screen) {
             auto scrolled = blueSquareIn(screen);
             scrolled->setContentOffset({kNaN, kNaN});
             layerIn(scrolled, {{0, 0}, {32, 32}}, srgb(1, 0, 0));
         }));
     },
     {{56, 56, kGreen}}},
    {"shadows of hostile size, offset and blur",
     [] {
         return kept(screenWith([](const auto& screen) {
             for (auto [offset, radius] : {std::pair{CGSizeMake(0, 2), 1e6},
                                           {CGSizeMake(0, 2), kInfinity},
                                           {CGSizeMake(kNaN, kNaN), 4.0},
                                           {CGSizeMake(1e300, -1e300), 4.0},
                                           {CGSizeMake(0, 0), -1e6}}) {
                 auto shadowed = blueSquareIn(screen);
                 shadowed->setShadowColor(srgb(0, 0, 0, 0.5));
                 shadowed->setShadowOffset(offset);
                 shadowed->setShadowRadius(radius);
             }
         }));
     },
     {{24, 24, kBlue}, {56, 56, kGreen}}},
    {"a border a billion points wide fills its layer",
     [] {
         return kept(screenWith([](const auto& screen) {
             auto bordered = layerIn(screen, {{8, 8}, {32, 32}}, srgb(1, 0, 0));
             bordered->setBorderColor(srgb(0, 0, 1));
             bordered->setBorderWidth(1e9);
         }));
     },
     {{24, 24, kBlue}, {9, 9, kBlue}, {56, 56, kGreen}}},
    {"a text of a million characters, in a small layer and in a huge one",
     [] {
         return kept(screenWith([](const auto& screen) {
             std::string words;
             while (words.size() < 1'000'000) words += "words ";
             for (CGSize size : {CGSizeMake(40, 40), CGSizeMake(1e9, 1e9)}) {
                 auto text = VTLayer::textLayer();
                 text->setText(words);
                 text->setSize(size);
                 screen->addSublayer(text);
             }
         }));
     },
     {{56, 56, kGreen}}},
    {"a font a billion points tall",
     [] {
         return kept(screenWith([](const auto& screen) {
             auto text = VTLayer::textLayer();
             text->setFontSize(1e9);
             text->setSize({40, 40});
             screen->addSublayer(text);
         }));
     },
     {{56, 56, kGreen}}},
    {"layers below the drawn depth are not drawn",
     [] {
         return kept(screenWith([](const auto& screen) {
             auto parent = screen;
             for (size_t level = 1; level <= kVTMaxDrawnLayerDepth + 1000; ++level) {
                 const bool deepest = level == kVTMaxDrawnLayerDepth;
                 parent =
                     layerIn(parent, {{0, 0}, {40, 40}}, deepest ? srgb(0, 0, 1) : srgb(1, 0, 0));
             }
         }));
     },
     {{20, 20, kBlue}, {56, 56, kGreen}}},
    {"a layer holding its own ancestor",
     [] {
         auto screen = screenWith([](const auto&) {});
         auto inner = layerIn(blueSquareIn(screen), {{0, 0}, {8, 8}}, srgb(1, 0, 0));
         inner->addSublayer(screen);
         return std::pair<std::shared_ptr<VTLayer>, std::function<void()>>{
             screen, [inner] { inner->removeObjectFromSublayersAtIndex(0); }};
     },
     {{1, 1, kWhite}}},
    {"a screen showing itself is drawn once",
     [] {
         auto component =
             std::make_shared<layer_support::ComponentScreen>(CGSizeMake(kSide, kSide));
         auto screen = component->screen;
         addMarker(screen);
         auto instance = screen->createComponentInstance();
         instance->setSize({32, 32});
         instance->setAnchorPoint(CGPointZero);
         instance->setPosition({8, 8});
         screen->addSublayer(instance);
         return std::pair<std::shared_ptr<VTLayer>, std::function<void()>>{
             screen, [component, instance] { instance->setComponentScreen(nullptr); }};
     },
     {{56, 56, kGreen}, {32, 32, RGBA{0, 0, 0, 0}}}},
    {"screens showing each other",
     [] {
         auto first = std::make_shared<layer_support::ComponentScreen>(CGSizeMake(kSide, kSide));
         auto second = std::make_shared<layer_support::ComponentScreen>(CGSizeMake(32, 32));
         second->screen->setBackgroundColor(srgb(0, 0, 1));
         addMarker(first->screen);
         auto ofSecond = second->screen->createComponentInstance();
         first->screen->addSublayer(ofSecond);
         auto ofFirst = first->screen->createComponentInstance();
         ofFirst->setScale(0.25);
         second->screen->addSublayer(ofFirst);
         return std::pair<std::shared_ptr<VTLayer>, std::function<void()>>{
             first->screen, [first, second, ofFirst] { ofFirst->setComponentScreen(nullptr); }};
     },
     {{56, 56, kGreen}, {16, 16, kBlue}}},
    {"components shown inside components a hundred million times",
     [] {
         auto prototype = VTPrototype::init();
         std::vector<std::shared_ptr<VTScreen>> screens;
         for (int level = 0; level < 9; ++level) {
             screens.push_back(whiteScreen(kSide, kSide));
             screens.back()->setPrototype(prototype);
         }
         addMarker(screens.back());
         for (size_t level = 0; level + 1 < screens.size(); ++level)
             for (int copy = 0; copy < 10; ++copy) {
                 auto instance = screens[level + 1]->createComponentInstance();
                 instance->setAnchorPoint(CGPointZero);
                 instance->setPosition(CGPointZero);
                 screens[level]->addSublayer(instance);
             }
         return kept(screens.front());
     },
     {{56, 56, kGreen}}},
};

TEST(LayerDrawingHostileTrees, DrawnWithinBoundsAroundWhatIsSound) {
    for (const auto& hostile : kCases) {
        SCOPED_TRACE(hostile.name);
        const auto [screen, undo] = hostile.build();
        const CGContextRef context = bitmapContext(kSide, kSide);
        drawInContext(*screen, context);
        EXPECT_EQ(CGContextGetGStateDepth(context), 0u);
        for (const auto& probe : hostile.probes)
            EXPECT_EQ(pixelAt(context, probe.x, probe.y), probe.colour)
                << "at " << probe.x << ", " << probe.y;
        undo();
    }
}

}  // namespace
