// Layer hierarchy drawing, one behaviour per reference picture: small layer trees drawn into a
// bitmap and compared with tests/data/render/<case>.png, and into a PDF page and an SVG document
// that poppler and librsvg rasterise for the same comparison; after each the context's graphics
// state is as it was.

#include <cairo.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../platform/CoreGraphics/VectorPageTestSupport.h"
#include "DrawingTestSupport.h"
#include "NSParagraphStyle.h"
#include "VTLayer+Drawing.h"

namespace {

using namespace drawing_support;

struct DrawingCase {
    std::string name;
    LayerPlan root;
    VTLayerImageProvider provider = nullptr;
    bool ignoreComponentScreens = false;
    // Why an SVG reader shows this case otherwise, when it does; its SVG page is not compared then.
    const char* svgShowsOtherwise = nullptr;
};
void PrintTo(const DrawingCase& drawing, std::ostream* out) {
    *out << drawing.name;
}

constexpr const char* kSmoothedImage =
    "SVG readers smooth an image drawn larger than its pixels (cairo writes no image-rendering)";

LayerPlan screen(double width, double height, std::vector<LayerPlan> sublayers) {
    return {.frame = {{0, 0}, {width, height}}, .screen = true, .sublayers = std::move(sublayers)};
}

// clang-format off
const auto kBadge = std::make_shared<const LayerPlan>(LayerPlan{.frame = {{0, 0}, {40, 30}}, .fill = {255, 204, 0, 255}, .screen = true, .sublayers = {{.frame = {{25, 0}, {15, 15}}, .fill = kRed}}});
const std::string kTwoLines = "Aligned words wrap to two lines";

const std::vector<DrawingCase> kCases{
    {"top-left-corner-first", screen(100, 50, {{.frame = {{0, 0}, {20, 10}}, .fill = kRed}, {.frame = {{80, 40}, {20, 10}}, .fill = kBlue}})},
    {"rounded-fill", screen(60, 60, {{.frame = {{10, 10}, {40, 40}}, .fill = kGreen, .radius = 10}})},
    {"root-opacity-and-scale-not-applied", {.frame = {{0, 0}, {40, 40}}, .fill = kBlue, .scale = 0.5, .opacity = 0.25}},
    {"border-inside-over-sublayers", screen(60, 60, {{.frame = {{10, 10}, {40, 40}}, .fill = kBlue, .border = 4, .borderColour = kRed, .sublayers = {{.frame = {{0, 0}, {40, 40}}, .fill = kGreen}}}})},
    {"sublayers-clipped-to-rounded-shape-when-masking", screen(110, 60, {{.frame = {{5, 10}, {40, 40}}, .fill = kGrey, .radius = 10, .masks = true, .sublayers = {{.frame = {{20, 20}, {40, 40}}, .fill = kGreen}}},
                                                                    {.frame = {{55, 10}, {40, 40}}, .fill = kGrey, .radius = 10, .sublayers = {{.frame = {{20, 20}, {40, 40}}, .fill = kGreen}}}})},
    {"content-offset-moves-sublayers-only", screen(60, 60, {{.frame = {{10, 10}, {40, 40}}, .fill = kGrey, .border = 2, .contentOffset = {10, 20}, .sublayers = {{.frame = {{10, 20}, {20, 20}}, .fill = kRed}}}})},
    {"sublayer-transform", screen(60, 60, {{.frame = {{30, 30}, {40, 20}}, .fill = kBlue, .anchor = {0.5, 0.5}, .angle = 30, .scale = 1.25, .sublayers = {{.frame = {{0, 0}, {10, 10}}, .fill = kRed}}}})},
    {"nested-opacities-multiply", screen(60, 60, {{.frame = {{10, 10}, {40, 40}}, .opacity = 0.5, .sublayers = {{.frame = {{0, 0}, {40, 40}}, .fill = kBlack, .opacity = 0.5}}}})},
    {"opacity-group-composited-once", screen(60, 60, {{.frame = {{5, 5}, {50, 50}}, .opacity = 0.5, .sublayers = {{.frame = {{0, 0}, {30, 30}}, .fill = kRed}, {.frame = {{20, 20}, {30, 30}}, .fill = kRed}}}})},
    {"drop-shadow-along-offset", screen(80, 80, {{.frame = {{20, 15}, {40, 40}}, .fill = kBlue, .shadow = {{{6, 12}, {4, 0}}}}})},
    {"shadow-of-group-below-opacity", screen(80, 80, {{.frame = {{20, 15}, {40, 40}}, .opacity = 0.5, .shadow = {{{0, 10}, {0, 0}}}, .sublayers = {{.frame = {{0, 0}, {20, 40}}, .fill = kBlue}}}})},
    {"shadow-of-layer-outside-clip", screen(60, 60, {{.frame = {{-40, 10}, {30, 40}}, .fill = kBlue, .shadow = {{{50, 0}, {0, 0}}}}}), nullptr, false,
     "content beyond an SVG page's left and top edges casts no shadow onto it (cairo 1.16)"},
    {"sublayer-of-layer-outside-clip", screen(60, 60, {{.frame = {{-100, 10}, {40, 40}}, .fill = kBlue, .sublayers = {{.frame = {{110, 0}, {40, 40}}, .fill = kGreen}}}})},
    {"image-stretched-to-rounded-rectangle", screen(100, 60, {{.frame = {{10, 10}, {80, 40}}, .radius = 8, .image = true}}), nullptr, false, kSmoothedImage},
    {"image-provider-substitutes", screen(100, 60, {{.frame = {{5, 5}, {40, 50}}, .image = true}, {.frame = {{55, 5}, {40, 50}}, .hidden = true, .image = true}}),
     [](const VTLayer& layer) {  // for the hidden one, to tell them apart
         const std::vector<uint8_t> grey{80, 80, 80, 255};
         return layer.hidden() ? CGImageCreate(1, 1, 8, 32, 4, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaLast, NSData::dataWithVector(grey)) : nullptr;
     }, false, kSmoothedImage},
    {"text-in-background-colour-without-fill-or-border", screen(100, 40, {{.frame = {{5, 5}, {90, 30}}, .fill = kBlue, .radius = 10, .border = 4, .text = "Vantler text"}})},
    {"text-alignments", screen(120, 130, {{.frame = {{5, 5}, {110, 30}}, .text = kTwoLines, .alignment = 0}, {.frame = {{5, 35}, {110, 30}}, .text = kTwoLines, .alignment = 1},
                                          {.frame = {{5, 65}, {110, 30}}, .text = kTwoLines, .alignment = 2}, {.frame = {{5, 95}, {110, 30}}, .text = kTwoLines, .alignment = 3}})},
    {"text-cut-mid-line", screen(100, 40, {{.frame = {{5, 5}, {90, 22}}, .text = "First line and the second line"}})},
    {"text-in-unknown-font-uses-system-font", screen(100, 30, {{.frame = {{5, 5}, {90, 20}}, .text = "System font", .font = "No Such"}})},
    {"zero-size-layers", screen(60, 60, {{.frame = {{10, 10}, {0, 0}}, .fill = kRed, .border = 5, .sublayers = {{.frame = {{0, 0}, {20, 20}}, .fill = kGreen}}},
                                         {.frame = {{30, 30}, {0, 0}}, .fill = kRed, .masks = true, .sublayers = {{.frame = {{0, 0}, {20, 20}}, .fill = kBlue}}}})},
    {"hidden-drawn-transparent-not", screen(60, 60, {{.frame = {{5, 5}, {20, 20}}, .fill = kGreen, .hidden = true}, {.frame = {{35, 5}, {20, 20}}, .fill = kRed, .opacity = 0, .sublayers = {{.frame = {{0, 25}, {20, 20}}, .fill = kRed}}}})},
    {"component-instances", screen(110, 60, {{.frame = {{10, 10}}, .shadow = {{{0, 6}, {2, 0}}}, .component = kBadge}, {.frame = {{60, 10}}, .opacity = 0.5, .component = kBadge}})},
    {"component-screens-ignored", screen(60, 50, {{.frame = {{10, 10}}, .fill = kGrey, .component = kBadge}}), nullptr, true},
};
// clang-format on

// A document rasterised by another reader differs in its anti-aliasing, the hinting of its text
// and, since the documents carry shadows as pictures at twice the page's resolution, its shadows'
// edges: blocks of 3 × 3 pixels are compared, so that an edge a pixel away still matches, while a
// shape missing, moved or of another colour does not.
constexpr Tolerance kVectorTolerance{.channel = 40, .share = 0.02, .block = 3};

// A vector document drawn into width × height pixels by a reader of its own format (poppler for
// PDF, librsvg for SVG), as a picture like pictureOfPNG's; a document it cannot read stays blank.
CGContextRef rasterised(size_t width, size_t height, const std::function<void(cairo_t*)>& render) {
    const CGContextRef picture = bitmapContext(width, height);
    CGContextDrawImage(
        picture, CGRectMake(0, 0, width, height),
        CGBitmapContextCreateImage(VectorPageTestSupport::nativePicture(width, height, render)));
    return picture;
}

class LayerDrawing : public testing::TestWithParam<DrawingCase> {};

TEST_P(LayerDrawing, MatchesReferencePicture) {
    const DrawingCase& drawing = GetParam();
    const auto root = build(drawing.root);
    const auto width = size_t(root->width()), height = size_t(root->height());
    const CGContextRef bitmap = bitmapContext(width, height);
    const CGRect page = CGRectMake(0, 0, width, height);
    std::vector<uint8_t> pdf, svg;
    for (const CGContextRef& context :
         {bitmap, CGPDFContextCreateWithData(&pdf, page), CGSVGContextCreateWithData(&svg, page)}) {
        CGContextDrawVTLayerHierarchy(context, *root, drawing.provider,
                                      drawing.ignoreComponentScreens);
        EXPECT_EQ(CGContextGetGStateDepth(context), 0u);
    }
    using namespace VectorPageTestSupport;
    EXPECT_TRUE(matchesReference(bitmap, drawing.name));
    const auto pdfPage = rasterised(width, height, [&](cairo_t* c) { drawPDFPage(c, pdf); });
    EXPECT_TRUE(matchesPicture(pdfPage, drawing.name, "-pdf", kVectorTolerance));
    if (!drawing.svgShowsOtherwise) {
        const auto svgPage = rasterised(width, height, [&](cairo_t* c) {
            drawSVGDocument(c, svg, double(width), double(height));
        });
        EXPECT_TRUE(matchesPicture(svgPage, drawing.name, "-svg", kVectorTolerance));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LayerDrawing, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<DrawingCase>& info) {
                             std::string name;
                             for (char c : info.param.name) name += c == '-' ? '_' : c;
                             return name;
                         });

// Numbers 0 … 3 show in the text-alignments picture; any other is left.
TEST(LayerDrawing, AlignmentNumbersOutsideTheFourAreLeft) {
    for (const int64_t number : {4, -1})
        EXPECT_EQ(alignmentForVTAlignnent(number), NSTextAlignmentLeft);
}

// The provider is asked once for each image drawn, with the layer that holds it: inside a
// component instance, the component screen's layer.
TEST(LayerDrawing, ProviderAskedOncePerImageWithTheContentLayer) {
    const auto component = std::make_shared<const LayerPlan>(
        LayerPlan{.frame = {{0, 0}, {20, 20}},
                  .screen = true,
                  .sublayers = {{.frame = {{0, 0}, {20, 20}}, .image = true}}});
    TreeBuilder builder;
    const auto root = builder.build(screen(60, 30,
                                           {{.frame = {{0, 0}, {20, 20}}, .image = true},
                                            {.frame = {{20, 0}, {20, 20}}, .fill = kRed},
                                            {.frame = {{40, 0}}, .component = component}}));
    std::vector<const VTLayer*> asked;
    CGContextDrawVTLayerHierarchy(
        bitmapContext(60, 30), *root,
        [&](const VTLayer& layer) {
            asked.push_back(&layer);
            return CGImageRef();
        },
        false);
    const auto instance = root->objectInSublayersAtIndex(2);
    EXPECT_EQ(asked, (std::vector<const VTLayer*>{
                         root->objectInSublayersAtIndex(0).get(),
                         instance->componentScreen()->objectInSublayersAtIndex(0).get()}));
}

}  // namespace
