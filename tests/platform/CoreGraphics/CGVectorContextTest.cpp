// Vector contexts (the host's PDF and SVG output): valid documents, the page in points with its
// origin at the lower left, shapes kept as vectors, shadows rasterised, closing, refusal.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ContextTestSupport.h"
#include "TestSupport.h"

using namespace ContextTestSupport;

namespace {

std::string text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A red 10 × 10 square at `origin` and a blue one with a blurred shadow; then the context is
// closed.
void drawSample(const CGContextRef& context, CGPoint origin = CGPointZero) {
    fillRect(context, CGRectMake(origin.x, origin.y, 10, 10), deviceColor(1, 0, 0));
    CGContextSetShadowWithColor(context, CGSizeMake(3, -3), 4, deviceColor(0, 0, 0, 0.5));
    fillRect(context, CGRectMake(origin.x + 50, origin.y + 20, 20, 20), deviceColor(0, 0, 1));
    CGPDFContextClose(context);
}

// Python's XML parser on an SVG: the page size, then per painted path its fill and the range of
// its x and y numbers, then the count of images.
std::string svgSummary(const std::filesystem::path& file) {
    const std::string script = R"(
import re, sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
ns = '{http://www.w3.org/2000/svg}'
print(root.get('width'), root.get('height'))
for path in root.iter(ns + 'path'):
    style = re.search(r'fill:([^;]*)', path.get('style', ''))
    fill = path.get('fill') or (style and style.group(1))
    if fill:
        n = [float(v) for v in re.findall(r'-?[0-9.]+', path.get('d'))]
        print(fill.replace(' ', ''), min(n[0::2]), max(n[0::2]), min(n[1::2]), max(n[1::2]))
print('images', len(list(root.iter(ns + 'image'))))
)";
    const auto result = test::run({VANTLER_PYTHON, "-c", script, file.string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    return result.standardOutput;
}

}  // namespace

TEST(CGVectorContext, WritesAPDFDocument) {
    std::vector<uint8_t> bytes;
    const CGContextRef context = CGPDFContextCreateWithData(&bytes, CGRectMake(0, 0, 100, 50));
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(CGBitmapContextGetData(context), nullptr);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 100, 50));
    drawSample(context);
    const std::string pdf = text(bytes);
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_NE(pdf.find("%%EOF"), std::string::npos);
    EXPECT_NE(pdf.find("/MediaBox [ 0 0 100 50 ]"), std::string::npos);
    EXPECT_NE(pdf.find("/Subtype /Image"), std::string::npos);  // the shadow, rasterised
    // Later drawing is ignored, closing again too.
    const size_t length = bytes.size();
    CGContextFillRect(context, CGRectMake(0, 0, 10, 10));
    CGPDFContextClose(context);
    EXPECT_EQ(bytes.size(), length);
    // A released context finishes its file.
    test::ScratchDirectory scratch;
    CGContextRef file =
        CGPDFContextCreateWithPath((scratch.path() / "p.pdf").string(), CGRectMake(0, 0, 20, 20));
    ASSERT_NE(file, nullptr);
    CGContextFillRect(file, CGRectMake(0, 0, 10, 10));
    CGContextRelease(file);
    EXPECT_EQ(text(test::readFile(scratch.path() / "p.pdf")).substr(0, 5), "%PDF-");
}

// The red square at the page's lower left (SVG's y runs down: 40…50), also when the media box
// does not start at 0; the blue one at x 50…70, y 10…30; the shadow an image.
TEST(CGVectorContext, WritesAnSVGDocumentWithTheShapes) {
    test::ScratchDirectory scratch;
    for (CGPoint origin : {CGPointZero, CGPointMake(100, 200)}) {
        const auto file = scratch.path() / "page.svg";
        const CGRect page = CGRectMake(origin.x, origin.y, 100, 50);
        const CGContextRef context = CGSVGContextCreateWithPath(file.string(), page);
        ASSERT_NE(context, nullptr);
        EXPECT_EQ(CGContextGetClipBoundingBox(context), page);
        drawSample(context, origin);
        const std::string summary = svgSummary(file);
        EXPECT_NE(summary.find("100pt 50pt\n"), std::string::npos) << summary;
        EXPECT_NE(summary.find("rgb(100%,0%,0%) 0.0 10.0 40.0 50.0\n"), std::string::npos)
            << summary;
        EXPECT_NE(summary.find("rgb(0%,0%,100%) 50.0 70.0 10.0 30.0\n"), std::string::npos)
            << summary;
        EXPECT_EQ(summary.find("images 0"), std::string::npos) << summary;
    }
    std::vector<uint8_t> svg;
    CGContextRef memory = CGSVGContextCreateWithData(&svg, CGRectMake(0, 0, 20, 20));
    CGContextFillRect(memory, CGRectMake(0, 0, 10, 10));
    CGContextRelease(memory);
    EXPECT_NE(text(svg).find("</svg>"), std::string::npos);
}

TEST(CGVectorContext, RefusesWhatItCannotWrite) {
    std::vector<uint8_t> bytes;
    const CGFloat max = kCGVectorContextMaxDimension;
    for (CGRect page :
         {CGRectMake(0, 0, 0, 10), CGRectMake(0, 0, -5, 10), CGRectMake(0, 0, NAN, 10),
          CGRectMake(0, 0, 10, INFINITY), CGRectNull, CGRectMake(0, 0, max + 1, 10)}) {
        EXPECT_EQ(CGPDFContextCreateWithData(&bytes, page), nullptr) << page;
        EXPECT_EQ(CGSVGContextCreateWithData(&bytes, page), nullptr) << page;
    }
    EXPECT_NE(CGPDFContextCreateWithData(&bytes, CGRectMake(0, 0, max, 10)), nullptr);
    EXPECT_EQ(CGPDFContextCreateWithData(nullptr, CGRectMake(0, 0, 10, 10)), nullptr);
    EXPECT_EQ(CGPDFContextCreateWithPath("/nonexistent/page.pdf", CGRectMake(0, 0, 10, 10)),
              nullptr);
    EXPECT_EQ(CGSVGContextCreateWithPath("/nonexistent/page.svg", CGRectMake(0, 0, 10, 10)),
              nullptr);
}

// A shadow reaching the whole of a large page is rasterised coarser, within bounded memory.
TEST(CGVectorContext, LargeShadowsStayBounded) {
    std::vector<uint8_t> bytes;
    const CGContextRef context = CGPDFContextCreateWithData(&bytes, CGRectMake(0, 0, 20000, 20000));
    ASSERT_NE(context, nullptr);
    CGContextSetShadowWithColor(context, CGSizeMake(10, 10), 1e9, deviceColor(0, 0, 0));
    CGContextFillRect(context, CGRectMake(0, 0, 20000, 20000));
    CGPDFContextClose(context);
    EXPECT_EQ(text(bytes).substr(0, 5), "%PDF-");
}
