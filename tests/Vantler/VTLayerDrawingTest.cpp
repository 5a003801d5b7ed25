// Layer hierarchy drawing, one behaviour per reference picture: small layer trees built here, drawn
// into a bitmap and compared with tests/data/render/<case>.png, and into a vector page, after which
// the context's graphics state must be as it was.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../VantlerCore/LayerTestSupport.h"
#include "DrawingTestSupport.h"
#include "NSParagraphStyle.h"
#include "VTImage.h"
#include "VTLayer+Drawing.h"

namespace {

using namespace drawing_support;

// Four pixels, red, green / blue, yellow, drawn without smoothing so that a stretch stays sharp.
CGImageRef quadrantImage() {
    std::vector<uint8_t> rgba{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 0, 255};
    return CGImageCreate(2, 2, 8, 32, 8, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                         kCGImageAlphaLast,
                         CGDataProviderCreateWithCFData(NSData::dataWithVector(rgba)), nullptr,
                         false, kCGRenderingIntentDefault);
}

std::shared_ptr<VTLayer> imageLayerIn(const std::shared_ptr<VTLayer>& parent, CGRect frame,
                                      const char* name) {
    auto layer = layerIn(parent, frame, srgb(0, 0, 0, 0));
    layer->setName(std::string(name));
    auto image = VTImage::init();
    image->_setCGImage(quadrantImage());
    layer->setImage(image);
    return layer;
}

std::shared_ptr<VTLayer> textLayerIn(const std::shared_ptr<VTLayer>& parent, CGRect frame,
                                     const std::string& text, int64_t alignment = 0) {
    auto layer = VTLayer::textLayer();
    layer->setText(text);
    layer->setFontSize(12);
    layer->setTextAlignment(alignment);
    layer->setAnchorPoint(CGPointZero);
    layer->setPosition(frame.origin);
    layer->setSize(frame.size);
    parent->addSublayer(layer);
    return layer;
}

void setShadow(VTLayer& layer, CGSize offset, double radius) {
    layer.setShadowColor(srgb(0, 0, 0, 1));
    layer.setShadowOffset(offset);
    layer.setShadowRadius(radius);
}

struct DrawingCase {
    std::string name;
    std::function<std::shared_ptr<VTLayer>()> build;
    VTLayerImageProvider provider = nullptr;
    bool ignoreComponentScreens = false;
};
void PrintTo(const DrawingCase& drawing, std::ostream* out) {
    *out << drawing.name;
}

// Component screens live as long as the cases, as a document's would.
layer_support::ComponentScreen& badge() {
    static layer_support::ComponentScreen component = [] {
        layer_support::ComponentScreen made({40, 30});
        made.screen->setBackgroundColor(srgb(1, 0.8, 0));
        layerIn(made.screen, {{25, 0}, {15, 15}}, srgb(1, 0, 0));
        return made;
    }();
    return component;
}

std::shared_ptr<VTLayer> instanceOfBadgeIn(const std::shared_ptr<VTLayer>& parent, CGPoint origin) {
    auto instance = badge().screen->createComponentInstance();
    instance->setAnchorPoint(CGPointZero);
    instance->setPosition(origin);
    parent->addSublayer(instance);
    return instance;
}

const std::vector<DrawingCase>& drawingCases() {
    static const std::vector<DrawingCase> cases{
        {"top-left-corner-first",
         [] {
             auto screen = whiteScreen(100, 50);
             layerIn(screen, {{0, 0}, {20, 10}}, srgb(1, 0, 0));
             layerIn(screen, {{80, 40}, {20, 10}}, srgb(0, 0, 1));
             return screen;
         }},
        {"rounded-fill",
         [] {
             auto screen = whiteScreen(60, 60);
             layerIn(screen, {{10, 10}, {40, 40}}, srgb(0, 0.6, 0))->setRadius(10);
             return screen;
         }},
        {"root-opacity-not-applied",
         [] {
             auto root = layerIn(nullptr, {{0, 0}, {40, 40}}, srgb(0, 0, 1));
             root->setOpacity(0.25);
             root->setScale(0.5);
             return root;
         }},
        {"border-inside-over-sublayers",
         [] {
             auto screen = whiteScreen(60, 60);
             auto layer = layerIn(screen, {{10, 10}, {40, 40}}, srgb(0, 0, 1));
             layer->setBorderWidth(4);
             layer->setBorderColor(srgb(1, 0, 0));
             layerIn(layer, {{0, 0}, {40, 40}}, srgb(0, 0.6, 0));
             return screen;
         }},
        {"masks-to-rounded-shape",
         [] {
             auto screen = whiteScreen(60, 60);
             auto layer = layerIn(screen, {{10, 10}, {40, 40}}, srgb(0.6, 0.6, 0.6));
             layer->setRadius(10);
             layer->setMasksToBounds(true);
             layerIn(layer, {{20, 20}, {40, 40}}, srgb(0, 0.6, 0));
             return screen;
         }},
        {"unmasked-sublayers-overflow",
         [] {
             auto screen = whiteScreen(60, 60);
             auto layer = layerIn(screen, {{10, 10}, {40, 40}}, srgb(0.6, 0.6, 0.6));
             layer->setRadius(10);
             layerIn(layer, {{20, 20}, {40, 40}}, srgb(0, 0.6, 0));
             return screen;
         }},
        {"content-offset-moves-sublayers-only",
         [] {
             auto screen = whiteScreen(60, 60);
             auto layer = layerIn(screen, {{10, 10}, {40, 40}}, srgb(0.6, 0.6, 0.6));
             layer->setBorderWidth(2);
             layer->setContentOffset({10, 20});
             layerIn(layer, {{10, 20}, {20, 20}}, srgb(1, 0, 0));
             return screen;
         }},
        {"sublayer-transform",
         [] {
             auto screen = whiteScreen(60, 60);
             auto layer = layerIn(screen, {{10, 10}, {40, 20}}, srgb(0, 0, 1));
             layer->setAnchorPoint({0.5, 0.5});
             layer->setPosition({30, 30});
             layer->setAngle(30);
             layer->setScale(1.25);
             layerIn(layer, {{0, 0}, {10, 10}}, srgb(1, 0, 0));
             return screen;
         }},
        {"nested-opacities-multiply",
         [] {
             auto screen = whiteScreen(60, 60);
             auto outer = layerIn(screen, {{10, 10}, {40, 40}}, srgb(0, 0, 0, 0));
             outer->setOpacity(0.5);
             layerIn(outer, {{0, 0}, {40, 40}}, srgb(0, 0, 0))->setOpacity(0.5);
             return screen;
         }},
        {"opacity-group-composited-once",
         [] {
             auto screen = whiteScreen(60, 60);
             auto group = layerIn(screen, {{5, 5}, {50, 50}}, srgb(0, 0, 0, 0));
             group->setOpacity(0.5);
             layerIn(group, {{0, 0}, {30, 30}}, srgb(1, 0, 0));
             layerIn(group, {{20, 20}, {30, 30}}, srgb(1, 0, 0));
             return screen;
         }},
        {"drop-shadow-along-offset",
         [] {
             auto screen = whiteScreen(80, 80);
             setShadow(*layerIn(screen, {{20, 15}, {40, 40}}, srgb(0, 0, 1)), {6, 12}, 4);
             return screen;
         }},
        {"shadow-of-group-below-opacity",
         [] {
             auto screen = whiteScreen(80, 80);
             auto layer = layerIn(screen, {{20, 15}, {40, 40}}, srgb(0, 0, 0, 0));
             layer->setOpacity(0.5);
             setShadow(*layer, {0, 10}, 0);
             layerIn(layer, {{0, 0}, {20, 40}}, srgb(0, 0, 1));
             return screen;
         }},
        {"shadow-of-layer-outside-clip",
         [] {
             auto screen = whiteScreen(60, 60);
             setShadow(*layerIn(screen, {{-40, 10}, {30, 40}}, srgb(0, 0, 1)), {50, 0}, 0);
             return screen;
         }},
        {"sublayer-of-layer-outside-clip",
         [] {
             auto screen = whiteScreen(60, 60);
             auto outside = layerIn(screen, {{-100, 10}, {40, 40}}, srgb(0, 0, 1));
             layerIn(outside, {{110, 0}, {40, 40}}, srgb(0, 0.6, 0));
             return screen;
         }},
        {"image-stretched-to-rectangle",
         [] {
             auto screen = whiteScreen(100, 60);
             imageLayerIn(screen, {{10, 10}, {80, 40}}, "image")->setRadius(8);
             return screen;
         }},
        {"image-provider-substitutes",
         [] {
             auto screen = whiteScreen(100, 60);
             imageLayerIn(screen, {{5, 5}, {40, 50}}, "own");
             imageLayerIn(screen, {{55, 5}, {40, 50}}, "substituted");
             return screen;
         },
         [](const VTLayer& layer) -> CGImageRef {
             if (layer.name() != "substituted") return nullptr;
             std::vector<uint8_t> grey{80, 80, 80, 255};
             return CGImageCreate(1, 1, 8, 32, 4, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                                  kCGImageAlphaLast, NSData::dataWithVector(grey));
         }},
        {"text-in-background-colour-without-fill-or-border",
         [] {
             auto screen = whiteScreen(100, 40);
             auto text = textLayerIn(screen, {{5, 5}, {90, 30}}, "Vantler text");
             text->setBackgroundColor(srgb(0, 0, 1));
             text->setBorderWidth(4);
             text->setRadius(10);
             return screen;
         }},
        {"text-alignments",
         [] {
             auto screen = whiteScreen(120, 130);
             int64_t alignment = 0;
             for (double y : {5, 35, 65, 95})
                 textLayerIn(screen, {{5, y}, {110, 30}}, "Aligned words wrap to two lines",
                             alignment++);
             return screen;
         }},
        {"text-cut-mid-line",
         [] {
             auto screen = whiteScreen(100, 40);
             textLayerIn(screen, {{5, 5}, {90, 22}}, "First line and the second line");
             return screen;
         }},
        {"text-in-unknown-font-uses-system-font",
         [] {
             auto screen = whiteScreen(100, 30);
             textLayerIn(screen, {{5, 5}, {90, 20}}, "System font")
                 ->setFontFamily("No Such Family");
             return screen;
         }},
        {"zero-size-layers",
         [] {
             auto screen = whiteScreen(60, 60);
             auto plain = layerIn(screen, {{10, 10}, {0, 0}}, srgb(1, 0, 0));
             plain->setBorderWidth(5);
             layerIn(plain, {{0, 0}, {20, 20}}, srgb(0, 0.6, 0));
             auto masking = layerIn(screen, {{30, 30}, {0, 0}}, srgb(1, 0, 0));
             masking->setMasksToBounds(true);
             layerIn(masking, {{0, 0}, {20, 20}}, srgb(0, 0, 1));
             return screen;
         }},
        {"hidden-drawn-transparent-not",
         [] {
             auto screen = whiteScreen(60, 60);
             layerIn(screen, {{5, 5}, {20, 20}}, srgb(0, 0.6, 0))->setHidden(true);
             auto faded = layerIn(screen, {{35, 5}, {20, 20}}, srgb(1, 0, 0));
             faded->setOpacity(0);
             layerIn(faded, {{0, 25}, {20, 20}}, srgb(1, 0, 0));
             return screen;
         }},
        {"component-instances",
         [] {
             auto screen = whiteScreen(110, 60);
             setShadow(*instanceOfBadgeIn(screen, {10, 10}), {0, 6}, 2);
             instanceOfBadgeIn(screen, {60, 10})->setOpacity(0.5);
             return screen;
         }},
        {"component-screens-ignored",
         [] {
             auto screen = whiteScreen(60, 50);
             instanceOfBadgeIn(screen, {10, 10})->setBackgroundColor(srgb(0.5, 0.5, 0.5));
             return screen;
         },
         nullptr, true},
    };
    return cases;
}

class LayerDrawing : public testing::TestWithParam<DrawingCase> {};

TEST_P(LayerDrawing, MatchesReferencePicture) {
    const DrawingCase& drawing = GetParam();
    const auto root = drawing.build();
    const auto width = size_t(root->width()), height = size_t(root->height());
    const CGContextRef bitmap = bitmapContext(width, height);
    CGContextDrawVTLayerHierarchy(bitmap, *root, drawing.provider, drawing.ignoreComponentScreens);
    EXPECT_EQ(CGContextGetGStateDepth(bitmap), 0u);
    EXPECT_TRUE(matchesReference(bitmap, drawing.name));

    std::vector<uint8_t> svg;
    const CGContextRef page = CGSVGContextCreateWithData(&svg, CGRectMake(0, 0, width, height));
    CGContextDrawVTLayerHierarchy(page, *root, drawing.provider, drawing.ignoreComponentScreens);
    EXPECT_EQ(CGContextGetGStateDepth(page), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, LayerDrawing, testing::ValuesIn(drawingCases()),
                         [](const testing::TestParamInfo<DrawingCase>& info) {
                             std::string name;
                             for (char c : info.param.name) name += c == '-' ? '_' : c;
                             return name;
                         });

TEST(LayerDrawing, AlignmentNumbers) {
    const std::vector<std::pair<int64_t, int64_t>> table{
        {1, NSTextAlignmentCenter}, {2, NSTextAlignmentRight}, {3, NSTextAlignmentJustified},
        {0, NSTextAlignmentLeft},   {4, NSTextAlignmentLeft},  {-1, NSTextAlignmentLeft}};
    for (const auto& [number, alignment] : table)
        EXPECT_EQ(alignmentForVTAlignnent(number), alignment) << number;
}

TEST(LayerDrawing, ProviderAskedOncePerImageWithTheContentLayer) {
    layer_support::ComponentScreen component({20, 20});
    imageLayerIn(component.screen, {{0, 0}, {20, 20}}, "in component");
    auto screen = whiteScreen(60, 30);
    imageLayerIn(screen, {{0, 0}, {20, 20}}, "own");
    layerIn(screen, {{20, 0}, {20, 20}}, srgb(1, 0, 0));  // no image: not asked
    auto instance = component.screen->createComponentInstance();
    instance->setAnchorPoint(CGPointZero);
    instance->setPosition({40, 0});
    screen->addSublayer(instance);
    std::vector<const VTLayer*> asked;
    CGContextDrawVTLayerHierarchy(
        bitmapContext(60, 30), *screen,
        [&](const VTLayer& layer) {
            asked.push_back(&layer);
            return CGImageRef();
        },
        false);
    EXPECT_EQ(asked,
              (std::vector<const VTLayer*>{screen->objectInSublayersAtIndex(0).get(),
                                           component.screen->objectInSublayersAtIndex(0).get()}));
}

}  // namespace
