#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DrawingTestSupport.h"
#include "VTLayer+Drawing.h"

namespace {

using namespace drawing_support;

LayerPlan chainDeeperThanDrawn() {
    LayerPlan chain{.frame = {{1, 0}, {1, 1}}};
    for (size_t level = 0; level < kVTMaxDrawnLayerDepth + 100; ++level) {
        LayerPlan parent{.frame = {{1, 0}, {1, 1}}};
        parent.sublayers.push_back(std::move(chain));
        chain = std::move(parent);
    }
    chain.frame.origin = {0, 0};
    return chain;
}

struct BoundsCase {
    std::string name;
    LayerPlan layer;
    CGRect expected;
};

// clang-format off
const auto kScreenWithSublayerOutside = std::make_shared<const LayerPlan>(LayerPlan{.frame = {{0, 0}, {40, 30}}, .screen = true, .sublayers = {{.frame = {{50, 0}, {20, 20}}}}});

const std::vector<BoundsCase> kCases{
    {"a shadow grows by its radius along its offset", {.frame = {{0, 0}, {100, 100}}, .shadow = {{{0, 2}, {4, 0}}}}, {{-4, -2}, {108, 108}}},
    {"the origin stays inside", {.frame = {{0, 0}, {20, 20}}, .contentOffset = {10, 10}}, {{0, 0}, {30, 30}}},
    {"sublayers are placed in the scrolled space", {.frame = {{0, 0}, {20, 20}}, .contentOffset = {10, 0}, .sublayers = {{.frame = {{-15, 25}, {5, 5}}}}}, {{-15, 0}, {45, 30}}},
    {"a sublayer sticking out enlarges", {.frame = {{0, 0}, {100, 100}}, .sublayers = {{.frame = {{80, 80}, {40, 40}}}}}, {{0, 0}, {120, 120}}},
    {"masking hides what sublayers paint outside", {.frame = {{0, 0}, {100, 100}}, .masks = true, .sublayers = {{.frame = {{80, 80}, {40, 40}}, .shadow = {{{0, 0}, {50, 0}}}}}}, {{0, 0}, {100, 100}}},
    {"a masking sublayer counts its own rectangle", {.frame = {{0, 0}, {10, 10}}, .sublayers = {{.frame = {{20, 0}, {10, 10}}, .masks = true, .sublayers = {{.frame = {{0, 0}, {100, 100}}}}}}}, {{0, 0}, {30, 10}}},
    {"a rotated sublayer counts the box around it", {.frame = {{0, 0}, {10, 10}}, .sublayers = {{.frame = {{50, 50}, {20, 10}}, .anchor = {0.5, 0.5}, .angle = 90}}}, {{0, 0}, {55, 60}}},
    {"a shadow's offset and radius are not scaled with its layer", {.frame = {{0, 0}, {10, 10}}, .sublayers = {{.frame = {{20, 20}, {10, 10}}, .scale = 2, .shadow = {{{5, 0}, {1, 0}}}}}}, {{0, 0}, {46, 41}}},
    {"a component instance counts its own rectangle, not its screen's sublayers", {.frame = {{0, 0}}, .contentOffset = {5, 5}, .component = kScreenWithSublayerOutside}, {{0, 0}, {45, 35}}},
    {"layers below the drawn depth do not count", chainDeeperThanDrawn(), {{0, 0}, {kVTMaxDrawnLayerDepth + 1.0, 1}}},
};
// clang-format on

// The rectangle each tree may paint, in the top layer's space.
TEST(VTLayerVisualBounds, RectangleOfEachTree) {
    for (const auto& bounds : kCases) {
        SCOPED_TRACE(bounds.name);
        const CGRect actual = visualBounds(*build(bounds.layer));
        const CGRect& expected = bounds.expected;
        EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-9) << actual;
        EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-9) << actual;
        EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9) << actual;
        EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9) << actual;
    }
}

}  // namespace
