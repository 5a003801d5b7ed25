// Visual bounds: layer trees and the rectangle they may paint, in the top layer's space.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "../VantlerCore/LayerTestSupport.h"
#include "DrawingTestSupport.h"
#include "VTLayer+Drawing.h"

namespace {

using namespace drawing_support;

std::shared_ptr<VTLayer> plainLayer(CGRect frame) {
    return layerIn(nullptr, frame, srgb(0, 0, 0, 0));
}

void setShadow(VTLayer& layer, CGSize offset, double radius) {
    layer.setShadowColor(srgb(0, 0, 0, 0.5));
    layer.setShadowOffset(offset);
    layer.setShadowRadius(radius);
}

struct BoundsCase {
    std::string name;
    std::function<std::shared_ptr<VTLayer>()> build;
    CGRect expected;
};

const std::vector<BoundsCase> kCases{
    {"shadow grows by its radius along its offset",
     [] {
         auto layer = plainLayer({{0, 0}, {100, 100}});
         setShadow(*layer, {0, 2}, 4);
         return layer;
     },
     {{-4, -2}, {108, 108}}},
    {"an invisible shadow grows nothing",
     [] {
         auto layer = plainLayer({{0, 0}, {100, 100}});
         setShadow(*layer, {0, 2}, 4);
         layer->setShadowColor(srgb(0, 0, 0, 0));
         return layer;
     },
     {{0, 0}, {100, 100}}},
    {"the origin stays inside",
     [] {
         auto layer = plainLayer({{0, 0}, {20, 20}});
         layer->setContentOffset({10, 10});
         return layer;
     },
     {{0, 0}, {30, 30}}},
    {"sublayers are placed in the scrolled space",
     [] {
         auto layer = plainLayer({{0, 0}, {20, 20}});
         layer->setContentOffset({10, 0});
         layerIn(layer, {{-15, 25}, {5, 5}}, srgb(0, 0, 0));
         return layer;
     },
     {{-15, 0}, {45, 30}}},
    {"a sublayer sticking out enlarges",
     [] {
         auto layer = plainLayer({{0, 0}, {100, 100}});
         layerIn(layer, {{80, 80}, {40, 40}}, srgb(0, 0, 0));
         return layer;
     },
     {{0, 0}, {120, 120}}},
    {"masking hides what sublayers paint outside",
     [] {
         auto layer = plainLayer({{0, 0}, {100, 100}});
         layer->setMasksToBounds(true);
         setShadow(*layerIn(layer, {{80, 80}, {40, 40}}, srgb(0, 0, 0)), {0, 0}, 50);
         return layer;
     },
     {{0, 0}, {100, 100}}},
    {"a masking sublayer still counts its own rectangle",
     [] {
         auto layer = plainLayer({{0, 0}, {10, 10}});
         auto masking = layerIn(layer, {{20, 0}, {10, 10}}, srgb(0, 0, 0));
         masking->setMasksToBounds(true);
         layerIn(masking, {{0, 0}, {100, 100}}, srgb(0, 0, 0));
         return layer;
     },
     {{0, 0}, {30, 10}}},
    {"a rotated sublayer counts the box around it",
     [] {
         auto layer = plainLayer({{0, 0}, {10, 10}});
         auto turned = layerIn(layer, {{0, 0}, {20, 10}}, srgb(0, 0, 0));
         turned->setAnchorPoint({0.5, 0.5});
         turned->setPosition({50, 50});
         turned->setAngle(90);
         return layer;
     },
     {{0, 0}, {55, 60}}},
    {"a shadow's offset and radius are not scaled with its layer",
     [] {
         auto layer = plainLayer({{0, 0}, {10, 10}});
         auto scaled = layerIn(layer, {{20, 20}, {10, 10}}, srgb(0, 0, 0));
         scaled->setScale(2);
         setShadow(*scaled, {5, 0}, 1);
         return layer;
     },
     {{0, 0}, {46, 41}}},
    {"a component instance counts its own rectangle, not its screen's sublayers",
     [] {
         layer_support::ComponentScreen component({40, 30});
         layerIn(component.screen, {{50, 0}, {20, 20}}, srgb(0, 0, 0));
         auto instance = component.screen->createComponentInstance();
         instance->setContentOffset({5, 5});
         return instance;
     },
     {{0, 0}, {45, 35}}},
    {"layers below the drawn depth do not count",
     [] {
         auto top = plainLayer({{0, 0}, {1, 1}});
         auto parent = top;
         for (size_t level = 0; level < kVTMaxDrawnLayerDepth + 100; ++level)
             parent = layerIn(parent, {{1, 0}, {1, 1}}, srgb(0, 0, 0));
         return top;
     },
     {{0, 0}, {kVTMaxDrawnLayerDepth + 1.0, 1}}},
};

TEST(VTLayerVisualBounds, RectangleOfEachTree) {
    for (const auto& bounds : kCases) {
        SCOPED_TRACE(bounds.name);
        const CGRect actual = visualBounds(*bounds.build());
        const CGRect& expected = bounds.expected;
        for (auto [got, want] : {std::pair{actual.origin.x, expected.origin.x},
                                 {actual.origin.y, expected.origin.y},
                                 {actual.size.width, expected.size.width},
                                 {actual.size.height, expected.size.height}})
            EXPECT_NEAR(got, want, 1e-9) << actual;
    }
}

}  // namespace
