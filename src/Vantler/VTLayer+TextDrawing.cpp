// A text layer's text: its attributes as AppKit describes them, laid out and painted by CoreText.

#include <utility>
#include <vector>

#include "CTFramesetter.h"
#include "NSAttributedString.h"
#include "NSColor.h"
#include "NSFont.h"
#include "NSParagraphStyle.h"
#include "VTLayer+Drawing.h"
#include "VTLayerTextDrawing.h"

namespace {

// Below its rectangle a layer still lays out its height and 100 points more, so that the last line
// it shows is cut by the edge rather than dropped for not fitting whole.
constexpr double kTextOverhang = 100;

// The layer's font family at its size; a family the platform does not know draws in the system
// font.
std::shared_ptr<NSFont> fontOfLayer(const VTLayer& layer) {
    std::shared_ptr<NSFont> font;
    if (const auto& family = layer.fontFamily())
        font = NSFont::fontWithName_size(*family, layer.fontSize());
    return font ? font : NSFont::systemFontOfSize(layer.fontSize());
}

std::shared_ptr<NSParagraphStyle> paragraphStyleOfLayer(const VTLayer& layer) {
    auto style = NSParagraphStyle::defaultParagraphStyle()->mutableCopy();
    style->setLineBreakMode(NSLineBreakByWordWrapping);
    style->setAlignment(NSTextAlignment(alignmentForVTAlignnent(layer.textAlignment())));
    return style;
}

// The font, the foreground colour (a text layer's text is painted in its background colour) and
// the paragraph style.
std::shared_ptr<NSDictionary> textAttributesOfLayer(const VTLayer& layer) {
    std::vector<NSDictionary::Entry> entries;
    // The system font is missing only where the project's fonts are not installed; CoreText then
    // lays out in its default face.
    if (auto font = fontOfLayer(layer)) entries.emplace_back(NSFontAttributeName, std::move(font));
    entries.emplace_back(NSForegroundColorAttributeName,
                         NSColor::colorWithCGColor(layer.backgroundColor()));
    entries.emplace_back(NSParagraphStyleAttributeName, paragraphStyleOfLayer(layer));
    return NSDictionary::dictionaryWithEntries(std::move(entries));
}

}  // namespace

int64_t alignmentForVTAlignnent(int64_t alignment) {
    switch (alignment) {
        case 1:
            return NSTextAlignmentCenter;
        case 2:
            return NSTextAlignmentRight;
        case 3:
            return NSTextAlignmentJustified;
        default:
            return NSTextAlignmentLeft;
    }
}

void drawTextOfLayer(const VTLayer& layer, CGSize size, const CGContextRef& context) {
    const auto& text = layer.text();
    if (!text) return;
    const double frameHeight = 2 * size.height + kTextOverhang;
    CGContextSetTextMatrix(context, CGAffineTransformIdentity);
    CGContextGStateScope clipped(context);
    // The plain rectangle, not the rounded shape: a text layer's corners do not cut its text.
    CGContextAddRect(context, CGRectMake(0, 0, size.width, size.height));
    CGContextClip(context);
    // CoreText lays out upwards from a y-up origin: the frame's top edge, at y = frameHeight in
    // that space, lands on the layer's top edge.
    CGContextConcatCTM(
        context, CGAffineTransformScale(CGAffineTransformMakeTranslation(0, frameHeight), 1, -1));
    const auto string =
        NSAttributedString::initWithString_attributes(*text, textAttributesOfLayer(layer));
    const CTFrameRef frame = CTFramesetterCreateFrame(
        CTFramesetterCreateWithAttributedString(string), CFRangeMake(0, 0),
        CGPathCreateWithRect(CGRectMake(0, 0, size.width, frameHeight), nullptr), nullptr);
    CTFrameDraw(frame, context);
}
