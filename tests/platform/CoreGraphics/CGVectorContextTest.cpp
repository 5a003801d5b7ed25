// PDF and SVG contexts: pages they cannot write, shadows in bounded memory, shadowed layers.

#include <gtest/gtest.h>

#include <string>

#include "ContextTestSupport.h"

using namespace ContextTestSupport;

TEST(CGVectorContext, RefusesWhatItCannotWrite) {
    std::vector<uint8_t> bytes;
    const CGFloat max = kCGVectorContextMaxDimension;
    for (CGRect page :
         {CGRectMake(0, 0, 0, 10), CGRectMake(0, 0, -5, 10), CGRectMake(0, 0, NAN, 10),
          CGRectMake(0, 0, 10, INFINITY), CGRectMake(0, 0, max + 1, 10)}) {
        EXPECT_EQ(CGPDFContextCreateWithData(&bytes, page), nullptr) << page;
        EXPECT_EQ(CGSVGContextCreateWithData(&bytes, page), nullptr) << page;
    }
    EXPECT_NE(CGPDFContextCreateWithData(&bytes, CGRectMake(0, 0, max, 10)), nullptr);
    EXPECT_EQ(CGPDFContextCreateWithData(nullptr, CGRectMake(0, 0, 10, 10)), nullptr);
    EXPECT_EQ(CGSVGContextCreateWithPath("/nonexistent/page.svg", CGRectMake(0, 0, 10, 10)),
              nullptr);
}

// Drawing after closing is ignored; a shadow reaching the whole of a large page is rasterised
// coarser, and still drawn.
TEST(CGVectorContext, LargeShadowsStayBoundedAndClosingEndsTheDocument) {
    std::vector<uint8_t> bytes;
    const CGContextRef context = CGPDFContextCreateWithData(&bytes, CGRectMake(0, 0, 20000, 20000));
    ASSERT_NE(context, nullptr);
    CGContextSetShadowWithColor(context, CGSizeMake(10, 10), 1e9, deviceColor(0, 0, 0));
    CGContextFillRect(context, CGRectMake(0, 0, 20000, 20000));
    CGPDFContextClose(context);
    const std::string pdf(bytes.begin(), bytes.end());
    EXPECT_NE(pdf.find("/Subtype /Image"), std::string::npos);
    EXPECT_NE(pdf.find("%%EOF"), std::string::npos);
    CGContextFillRect(context, CGRectMake(0, 0, 10, 10));
    CGPDFContextClose(context);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), pdf);
}

// A layer that casts a shadow is recorded before it is painted; on an SVG page the recording of a
// layer away from the page's corner keeps its content, not only the shadow made from it.
TEST(CGVectorContext, ShadowedLayerAwayFromTheCornerKeepsItsContentOnAnSVGPage) {
    std::vector<uint8_t> bytes;
    const CGContextRef context = CGSVGContextCreateWithData(&bytes, CGRectMake(0, 0, 200, 200));
    ASSERT_NE(context, nullptr);
    CGContextSetShadowWithColor(context, CGSizeMake(0, 4), 2, deviceColor(0, 0, 0));
    CGContextBeginTransparencyLayerWithRect(context, CGRectMake(120, 120, 40, 40), nullptr);
    CGContextSetFillColorWithColor(context, deviceColor(0, 1, 0));
    CGContextFillRect(context, CGRectMake(130, 130, 20, 20));
    CGContextEndTransparencyLayer(context);
    CGPDFContextClose(context);
    const std::string svg(bytes.begin(), bytes.end());
    EXPECT_NE(svg.find("<image"), std::string::npos);  // the shadow
    EXPECT_NE(svg.find("fill:rgb(0%,100%,0%)"), std::string::npos);
}
