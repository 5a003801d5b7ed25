// Layer hierarchy drawing: each layer as one opacity group with its drop shadow, holding its
// content (text, or fill and image), its sublayers and its border, in that order.

#include "VTLayer+Drawing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "CGPath.h"
#include "NSArray+Utilities.h"
#include "VTImage.h"
#include "VTLayerTextDrawing.h"
#include "VTScreen.h"

namespace {

// What one call of _drawLayerWithProvider shares with every layer it draws.
struct DrawingPass {
    const CGContextRef& context;
    const VTLayerImageProvider& provider;
    bool ignoreComponentScreens;
    // The root and the component screens whose drawing is under way, outermost first: an instance
    // of one of them inside its own drawing would draw it again without end.
    std::vector<const VTLayer*> screensBeingDrawn;
    size_t depth = 0;
    size_t layersLeft = kVTMaxDrawnLayers;

    bool isBeingDrawn(const VTLayer& layer) const {
        return containsObjectIdenticalTo(screensBeingDrawn, &layer);
    }
};

void drawLayer(const VTLayer& layer, bool drawSublayers, DrawingPass& pass);

// The visual bounds in the drawing space, where the clip and the opacity group are taken: the
// layer's space lies at the content offset.
CGRect visualBoundsInDrawingSpace(const VTLayer& content) {
    const CGPoint offset = content.contentOffset();
    return CGRectOffset(visualBounds(content), -offset.x, -offset.y);
}

// A layer with a visible shadow or below full opacity is drawn as one group, so that the shadow
// and the alpha apply to the composite of its content, sublayers and border, once. True when a
// group was begun.
bool beginGroup(const VTLayer& layer, CGRect visual, const CGContextRef& context) {
    const bool shadowed = layer.hasVisibleShadow();
    if (!shadowed && !(layer.opacity() < 1.0f)) return false;
    if (shadowed) {
        // The context takes the offset in its y-up device space, unmoved by the CTM; converted
        // through the CTM (which turns the drawing space's y-down over), the shadow falls along
        // the offset as the layer's own space measures it, down for a positive height.
        const CGSize offset = CGContextConvertSizeToDeviceSpace(context, layer.shadowOffset());
        CGContextSetShadowWithColor(context, offset, layer.shadowRadius(), layer.shadowColor());
    }
    CGContextBeginTransparencyLayerWithRect(context, visual, nullptr);
    return true;
}

// Where the layer's content can show: its rectangle, or, with a shadow, the rectangle spread by the
// blur and moved by the offset. A shadow the context cannot cast (a negative or NaN blur blurs
// nothing, an offset that is not a finite number casts none) leaves the rectangle as it is.
CGRect contentReach(const VTLayer& layer, CGSize size) {
    const CGRect rect = CGRectMake(0, 0, size.width, size.height);
    if (!layer.hasVisibleShadow()) return rect;
    const CGSize offset = layer.shadowOffset();
    if (!std::isfinite(offset.width) || !std::isfinite(offset.height)) return rect;
    const double blur = std::fmax(layer.shadowRadius(), 0.0);  // NaN too
    return CGRectOffset(CGRectInset(rect, -blur, -blur), offset.width, offset.height);
}

void clipToShape(const CGPathRef& shape, const CGContextRef& context) {
    CGContextAddPath(context, shape);
    CGContextClip(context);
}

// The bitmap stretched over the layer's rectangle, whatever its aspect ratio; the image provider,
// when there is one, may answer another bitmap for the layer.
void drawImage(const VTLayer& content, CGSize size, const DrawingPass& pass) {
    CGImageRef bitmap = pass.provider ? pass.provider(content) : nullptr;
    if (!bitmap) bitmap = content.image()->CGImage();
    // An image's first row is drawn at the rectangle's maximum y, which is the layer's top edge
    // once the drawing space is turned back y-up.
    CGContextTranslateCTM(pass.context, 0, size.height);
    CGContextScaleCTM(pass.context, 1, -1);
    CGContextDrawImage(pass.context, CGRectMake(0, 0, size.width, size.height), bitmap);
}

// A text layer shows its text in its background colour and nothing else; any other layer its fill
// and then its image, both within its shape.
void drawContent(const VTLayer& content, const CGPathRef& shape, CGSize size,
                 const DrawingPass& pass) {
    if (content.text()) {
        drawTextOfLayer(content, size, pass.context);
        return;
    }
    CGContextGStateScope clipped(pass.context);
    clipToShape(shape, pass.context);
    CGContextSetFillColorWithColor(pass.context, content.backgroundColor());
    CGContextAddPath(pass.context, shape);
    CGContextFillPath(pass.context);
    if (content.image()) drawImage(content, size, pass);
}

// A sublayer is placed by its own transform and faded by its own opacity, which replaces the
// alpha its parent was drawn with: the parent's alpha already applies to the group it is in.
void drawSublayer(const VTLayer& sublayer, DrawingPass& pass) {
    if (sublayer.opacity() <= 0 || sublayer.scale() <= 0) return;
    CGContextGStateScope placed(pass.context);
    CGContextSetAlpha(pass.context, sublayer.opacity());
    CGContextConcatCTM(pass.context, sublayer.toSuperPictureTransformWithoutContentOffset());
    drawLayer(sublayer, true, pass);
}

void drawSublayersOf(const VTLayer& content, const CGPathRef& shape, CGSize size,
                     DrawingPass& pass) {
    if (content.countOfSublayers() == 0) return;
    // A masking layer with no area shows nothing of its sublayers.
    if (size.width == 0 && size.height == 0 && content.masksToBounds()) return;
    if (pass.depth >= kVTMaxDrawnLayerDepth) return;
    CGContextGStateScope scrolled(pass.context);
    if (content.masksToBounds()) clipToShape(shape, pass.context);
    const CGPoint offset = content.contentOffset();
    CGContextTranslateCTM(pass.context, -offset.x, -offset.y);
    ++pass.depth;
    for (const auto& sublayer : content.sublayers()) drawSublayer(*sublayer, pass);
    --pass.depth;
}

// A stroke twice the border's width centred on the shape, clipped to the shape: the border lies
// inside the layer's edge, over its content and sublayers.
void drawBorder(const VTLayer& content, const CGPathRef& shape, CGSize size,
                const CGContextRef& context) {
    clipToShape(shape, context);
    CGContextAddPath(context, shape);
    CGContextSetStrokeColorWithColor(context, content.visibleBorderColor());
    // No point of the shape lies farther from its edge than half its shorter side, so a wider
    // stroke paints nothing more; held to that, a huge border stays within what the rasteriser
    // can stroke.
    CGContextSetLineWidth(context, std::min(2 * content.borderWidth(), size.width + size.height));
    CGContextStrokePath(context);
}

// The layer in the current user space, taken as its drawing space. A component instance draws its
// screen's content, sublayers and border in its own group, with its own opacity and shadow.
void drawLayer(const VTLayer& layer, bool drawSublayers, DrawingPass& pass) {
    if (pass.layersLeft == 0) return;
    --pass.layersLeft;
    const std::shared_ptr<VTScreen> screen =
        pass.ignoreComponentScreens ? nullptr : layer.componentScreen();
    if (screen && pass.isBeingDrawn(*screen)) return;
    const VTLayer& content = screen ? *screen : layer;
    const CGSize size = content.size();
    if (!std::isfinite(size.width) || !std::isfinite(size.height)) return;
    // A layer whose every possible paint misses the clip is skipped with its whole subtree.
    const CGRect clip = CGContextGetClipBoundingBox(pass.context);
    const CGRect visual = visualBoundsInDrawingSpace(content);
    if (!CGRectIntersectsRect(visual, clip)) return;

    CGContextGStateScope state(pass.context);
    const bool grouped = beginGroup(layer, visual, pass.context);
    const double radius = content.visibleRadius();
    const CGPathRef shape = CGPathCreateWithRoundedRect(CGRectMake(0, 0, size.width, size.height),
                                                        radius, radius, nullptr);
    // A layer with no area has no content; one whose content cannot reach the clip skips it.
    const bool contentShown = !(size.width == 0 && size.height == 0) &&
                              CGRectIntersectsRect(contentReach(layer, size), clip);
    if (contentShown) drawContent(content, shape, size, pass);
    if (screen) pass.screensBeingDrawn.push_back(screen.get());
    if (drawSublayers) drawSublayersOf(content, shape, size, pass);
    if (screen) pass.screensBeingDrawn.pop_back();
    if (contentShown && !content.text() && content.hasVisibleBorder())
        drawBorder(content, shape, size, pass.context);
    if (grouped) CGContextEndTransparencyLayer(pass.context);
}

}  // namespace

void drawInContext(const VTLayer& layer, const CGContextRef& context) {
    if (!context) return;
    CGContextDrawVTLayerHierarchy(context, layer, nullptr, false);
}

void CGContextDrawVTLayerHierarchy(const CGContextRef& context, const VTLayer& layer,
                                   const VTLayerImageProvider& provider,
                                   bool ignoreComponentScreens) {
    if (!context) return;
    CGContextGStateScope state(context);
    CGContextScaleCTM(context, 1, -1);
    CGContextTranslateCTM(context, 0, -layer.height());
    _drawLayerWithProvider(layer, true, ignoreComponentScreens, context, provider);
}

void _drawLayerWithProvider(const VTLayer& layer, bool drawSublayers, bool ignoreComponentScreens,
                            const CGContextRef& context, const VTLayerImageProvider& provider) {
    if (!context) return;
    DrawingPass pass{context, provider, ignoreComponentScreens, {}};
    // A screen drawn on its own must not reappear inside itself either.
    pass.screensBeingDrawn.push_back(&layer);
    drawLayer(layer, drawSublayers, pass);
}
