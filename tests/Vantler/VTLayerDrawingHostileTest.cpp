// Drawing layer trees that no design tool writes but code or a crafted document can make: huge,
// infinite and NaN geometry, enormous shadows, borders and texts, trees deeper than drawing goes,
// trees holding themselves, components inside components. Each is drawn into a small bitmap; the
// drawing must end, leave the graphics state as it was, and still draw what is sound around it.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "DrawingTestSupport.h"
#include "VTLayer+Drawing.h"

namespace {

using namespace drawing_support;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A green square at the bottom-right corner of a 64 × 64 screen, drawn whatever its hostile
// siblings hold (kDrawn probes it).
const LayerPlan kMarker{.frame = {{48, 48}, {16, 16}}, .fill = kGreen};
LayerPlan screenWith(std::vector<LayerPlan> layers) {
    layers.push_back(kMarker);
    return {.frame = {{0, 0}, {64, 64}}, .screen = true, .sublayers = std::move(layers)};
}
LayerPlan square(LayerPlan plan) {
    plan.frame = {{8, 8}, {32, 32}};
    if (plan.fill == kClear) plan.fill = kBlue;
    return plan;
}

std::string millionCharacters() {
    std::string words;
    while (words.size() < 1'000'000) words += "words ";
    return words;
}

// Layers owning each other: the test lets them go once it is done.
struct Tree {
    std::shared_ptr<VTLayer> root;
    std::function<void()> untangle = [] {};
};

Tree screenShowingItself() {
    TreeBuilder builder;
    auto screen = builder.build(screenWith({}));
    auto instance = std::static_pointer_cast<VTScreen>(screen)->createComponentInstance();
    screen->addSublayer(instance);
    return {screen, [instance] { instance->setComponentScreen(nullptr); }};
}

Tree layerHoldingItsAncestor() {
    auto screen = build(screenWith({square({.sublayers = {{.frame = {{0, 0}, {8, 8}}}}})}));
    auto inner = screen->objectInSublayersAtIndex(0)->objectInSublayersAtIndex(0);
    inner->addSublayer(screen);
    return {screen, [inner] { inner->removeObjectFromSublayersAtIndex(0); }};
}

// Nine screens, each showing the next ten times over: 10^8 instances.
Tree componentsInsideComponents() {
    auto component = std::make_shared<const LayerPlan>(screenWith({}));
    for (int level = 0; level < 8; ++level)
        component = std::make_shared<const LayerPlan>(
            screenWith(std::vector<LayerPlan>(10, LayerPlan{.component = component})));
    return {build(*component)};
}

// Levels 1 … kVTMaxDrawnLayerDepth + 500 below the screen, the deepest drawn one blue.
LayerPlan deeperThanDrawn() {
    LayerPlan chain;
    for (size_t depth = kVTMaxDrawnLayerDepth + 500; depth >= 1; --depth) {
        LayerPlan parent{.frame = {{0, 0}, {40, 40}},
                         .fill = depth == kVTMaxDrawnLayerDepth ? kBlue : kRed};
        if (depth < kVTMaxDrawnLayerDepth + 500) parent.sublayers.push_back(std::move(chain));
        chain = std::move(parent);
    }
    return screenWith({chain});
}

struct Probe {
    size_t x, y;
    RGBA colour;
};
const Probe kDrawn{56, 56, kGreen};

struct HostileCase {
    std::string name;
    std::function<Tree()> make;
    std::vector<Probe> probes;
};

Tree of(const LayerPlan& plan) {
    return {build(plan)};
}

// clang-format off
const std::vector<HostileCase> kCases{
    {"a layer of a billion points covers everything", [] { return of(screenWith({{.frame = {{-5e8, -5e8}, {1e9, 1e9}}, .fill = kBlue, .radius = 1e8}})); }, {{32, 32, kBlue}, {1, 1, kBlue}, kDrawn}},
    {"a layer of infinite size is not drawn", [] { return of(screenWith({{.frame = {{0, 0}, {kInfinity, 10}}, .fill = kBlue}})); }, {{5, 5, kWhite}, kDrawn}},
    {"NaN and infinite placements draw nothing of their layer", [] {
         return of(screenWith({{.frame = {{kNaN, 8}, {32, 32}}, .fill = kBlue}, {.frame = {{kInfinity, -kInfinity}, {32, 32}}, .fill = kBlue},
                               square({.anchor = {kNaN, kNaN}}), square({.angle = kNaN}), square({.scale = kInfinity})})); }, {{20, 20, kWhite}, kDrawn}},
    {"a NaN content offset hides the sublayers only", [] { return of(screenWith({square({.contentOffset = {kNaN, kNaN}, .sublayers = {{.frame = {{8, 8}, {8, 8}}, .fill = kRed}}})})); }, {{20, 20, kBlue}, kDrawn}},
    {"shadows of hostile size, offset and blur", [] {
         return of(screenWith({square({.shadow = {{{0, 2}, {1e6, 0}}}}), square({.shadow = {{{0, 2}, {kInfinity, 0}}}}),
                               square({.shadow = {{{kNaN, kNaN}, {4, 0}}}}), square({.shadow = {{{0, 0}, {-1e6, 0}}}})})); }, {{24, 24, kBlue}, kDrawn}},
    {"a border a billion points wide fills its layer", [] { return of(screenWith({square({.fill = kRed, .border = 1e9, .borderColour = kBlue})})); }, {{24, 24, kBlue}, {9, 9, kBlue}, kDrawn}},
    {"texts of a million characters, in a small layer and in a huge one, and one word as long", [] {
         return of(screenWith({{.frame = {{0, 0}, {40, 40}}, .text = millionCharacters()}, {.frame = {{0, 0}, {1e9, 1e9}}, .text = millionCharacters()},
                               {.frame = {{0, 0}, {40, 40}}, .text = std::string(1'000'000, 'w')}})); }, {kDrawn}},
    {"layers below the drawn depth are not drawn", [] { return of(deeperThanDrawn()); }, {{20, 20, kBlue}, kDrawn}},
    {"a layer holding its own ancestor", layerHoldingItsAncestor, {{1, 1, kWhite}, kDrawn}},
    {"a screen showing itself is drawn once", screenShowingItself, {{32, 32, kWhite}, kDrawn}},
    {"components inside components, to the drawing's budget", componentsInsideComponents, {}},
};
// clang-format on

TEST(LayerDrawingHostileTrees, DrawnWithinBoundsAroundWhatIsSound) {
    for (const auto& hostile : kCases) {
        SCOPED_TRACE(hostile.name);
        const Tree tree = hostile.make();
        const CGContextRef context = bitmapContext(64, 64);
        drawInContext(*tree.root, context);
        EXPECT_EQ(CGContextGetGStateDepth(context), 0u);
        for (const auto& probe : hostile.probes)
            EXPECT_EQ(pixelAt(context, probe.x, probe.y), probe.colour)
                << "at " << probe.x << ", " << probe.y;
        tree.untangle();
    }
}

}  // namespace
