// How every painting operation reaches cairo: the clip, groups for the alpha and shadows,
// transparency layers, and the paint state. See CGContextPrivate.h.

#include <algorithm>
#include <cmath>

#include "CGColorSpacePrivate.h"
#include "CGContextPrivate.h"
#include "CGShadowBlur.h"

using namespace CoreGraphicsPrivate;

namespace {

// The most pixels a shadow is rasterised with. A shadow reaching farther is rasterised coarser
// (and looks softer) rather than holding more memory: about 9 bytes a pixel while it is blurred.
constexpr double kMaxShadowPixels = double(1 << 23);

CGAffineTransform asTransform(const cairo_matrix_t& m) {
    return CGAffineTransformMake(m.xx, m.yx, m.xy, m.yy, m.x0, m.y0);
}

bool isFinite(const CGAffineTransform& t) {
    return std::isfinite(t.a) && std::isfinite(t.b) && std::isfinite(t.c) && std::isfinite(t.d) &&
           std::isfinite(t.tx) && std::isfinite(t.ty);
}

CGRect grown(CGRect rect, double by) {
    return CGRectInset(rect, -by, -by);
}

// A shadow's offset in cairo's device space (y down).
CGSize cairoOffset(const CGContext::Shadow& shadow) {
    return CGSizeMake(shadow.offset.width, -shadow.offset.height);
}

// How far (device units) a shadow's blur spreads at most: three standard deviations and a pixel.
double blurSpread(double blur) {
    return 1.5 * blur + 1;
}

}  // namespace

namespace CoreGraphicsPrivate {

cairo_operator_t operatorFor(CGBlendMode mode) {
    return mode == kCGBlendModeMultiply ? CAIRO_OPERATOR_MULTIPLY : CAIRO_OPERATOR_OVER;
}

}  // namespace CoreGraphicsPrivate

// ---- Clip, spaces, colours

void CGContext::applyClips(cairo_t* target, size_t from) const {
    for (size_t i = from; i < gstate.clips.size(); ++i) {
        cairo_new_path(target);
        // A path with a point that is not finite appends nothing, which clips everything: its
        // clip box is null as well.
        appendDevicePath(target, *gstate.clips[i], deviceToCairo);
        cairo_set_fill_rule(target, CAIRO_FILL_RULE_WINDING);
        cairo_clip(target);
    }
}

std::optional<cairo_matrix_t> CGContext::userToCairo() const {
    const CGAffineTransform& t = gstate.ctm;
    if (!isFinite(t)) return std::nullopt;
    cairo_matrix_t ctm;
    cairo_matrix_init(&ctm, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_matrix_t matrix;
    cairo_matrix_multiply(&matrix, &ctm, &deviceToCairo);  // the CTM first, then the flip
    cairo_matrix_t inverse = matrix;
    if (cairo_matrix_invert(&inverse) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    return matrix;
}

CGContext::Paint CGContext::paintFor(const CGColorRef& color) const {
    if (!color) return {0, 0, 0, 0};
    if (sameColorimetry(outputColorSpace(), *space)) {
        const auto c = CGColorGetSRGBComponentsForDrawing(color);
        return {c[0], c[1], c[2], c[3]};
    }
    const CGColorRef matched =
        CGColorCreateCopyByMatchingToColorSpace(space, kCGRenderingIntentDefault, color, nullptr);
    if (CGColorGetNumberOfComponents(matched) != 4) return {0, 0, 0, 0};
    const CGFloat* c = CGColorGetComponents(matched);
    return {std::clamp(c[0], 0.0, 1.0), std::clamp(c[1], 0.0, 1.0), std::clamp(c[2], 0.0, 1.0),
            std::clamp(c[3], 0.0, 1.0)};
}

// ---- Painting

cairo_t* CGContext::beginPaint() {
    if (!canDraw() || CGRectIsNull(gstate.clipBox) || !(gstate.alpha > 0)) return nullptr;
    const std::optional<cairo_matrix_t> user = userToCairo();
    if (!user || !currentCairo()) return nullptr;
    takeInVisible();
    paintGrouped_ = gstate.alpha < 1 || gstate.shadow.casts();
    if (paintGrouped_ && !openGroup(false, std::nullopt)) return nullptr;
    cairo_t* target = currentCairo();
    cairo_save(target);
    applyClips(target, clipBase());
    cairo_set_matrix(target, &*user);
    // Drawn into its own group, the shape is blended when the group is composited.
    if (!paintGrouped_) cairo_set_operator(target, operatorFor(gstate.blendMode));
    return target;
}

void CGContext::endPaint() {
    cairo_restore(currentCairo());
    if (paintGrouped_)
        closeGroup();
    else
        markDrawn();
}

// ---- Groups

bool CGContext::openGroup(bool layer, std::optional<CGRect> bounds) {
    cairo_t* below = currentCairo();
    if (!below) return false;
    Group group;
    group.alpha = gstate.alpha;
    group.shadow = gstate.shadow;
    group.blendMode = gstate.blendMode;
    group.layer = layer;
    group.clipBase = gstate.clips.size();
    // Within cairo's coordinates. Cairo 1.16's SVG surface draws a group or recording that starts
    // left of or above the page as if it started at the page's corner, so there groups start at
    // the corner: what lies beyond an SVG page's top and left edges casts no shadow onto it.
    const double lowest = vector && vector->svg ? 0 : -kMaxCairoCoordinate;
    const CGRect usable =
        CGRectMake(lowest, lowest, kMaxCairoCoordinate - lowest, kMaxCairoCoordinate - lowest);
    group.reach = groups.empty() ? CGRectApplyAffineTransform(page, asTransform(deviceToCairo))
                                 : groups.back().reach;
    if (group.shadow.casts()) {
        // Content that casts its shadow into what reaches the page reaches the page too. (Taken
        // within cairo's coordinates first, so that a far offset cannot swamp the union's extent.)
        const CGSize offset = cairoOffset(group.shadow);
        const CGRect source = grown(CGRectOffset(group.reach, -offset.width, -offset.height),
                                    blurSpread(group.shadow.blur));
        group.reach = CGRectUnion(group.reach, CGRectIntersection(source, usable));
    }
    if (bounds) group.reach = CGRectIntersection(group.reach, *bounds);
    group.reach = CGRectIntersection(group.reach, usable);
    // Whole pixels (units of a vector page), and none for nothing.
    const CGRect kept = CGRectIsNull(group.reach) ? CGRectZero : CGRectIntegral(group.reach);
    cairo_save(below);
    applyClips(below, clipBase());
    cairo_identity_matrix(below);
    if (group.shadow.casts()) {
        // The content is recorded (as vector operations, so a vector page keeps it as such) to be
        // rasterised for the shadow and then painted. Its extent is bounded: cairo's ink extents
        // and SVG output of unbounded recordings are unreliable.
        // Cairo 1.16's SVG surface writes a recording as if its extents started at the page's
        // corner, clipping the content to the extents' size placed there: on an SVG page the
        // recording starts at the corner (groups never start left of or above it there), so
        // that nothing of the content is cut away.
        const CGRect recorded = vector && vector->svg
                                    ? CGRectMake(0, 0, CGRectGetMaxX(kept), CGRectGetMaxY(kept))
                                    : kept;
        const cairo_rectangle_t extents{recorded.origin.x, recorded.origin.y, recorded.size.width,
                                        recorded.size.height};
        group.recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
        group.cr = cairo_create(group.recording);
        if (cairo_status(group.cr) != CAIRO_STATUS_SUCCESS) {
            cairo_destroy(group.cr);
            cairo_surface_destroy(group.recording);
            cairo_restore(below);
            return false;
        }
    } else {
        // cairo sizes the group by the clip.
        cairo_new_path(below);
        cairo_rectangle(below, kept.origin.x, kept.origin.y, kept.size.width, kept.size.height);
        cairo_clip(below);
        cairo_push_group(below);
        if (cairo_status(below) != CAIRO_STATUS_SUCCESS) return false;  // cairo's for good
        group.cr = below;
    }
    groups.push_back(group);
    return true;
}

void CGContext::openDeadLayer() {
    Group group;
    group.layer = true;
    group.clipBase = gstate.clips.size();
    groups.push_back(group);
}

void CGContext::closeGroup() {
    const Group group = groups.back();
    groups.pop_back();
    if (!group.cr) return;  // a dead layer: nothing was drawn
    cairo_t* below = currentCairo();
    // Set on the level below until the restore at the end, which ends the group's save there.
    const cairo_operator_t compositing = operatorFor(group.blendMode);
    if (group.recording) {
        const CGRect belowReach = groups.empty()
                                      ? CGRectApplyAffineTransform(page, asTransform(deviceToCairo))
                                      : groups.back().reach;
        cairo_identity_matrix(below);
        cairo_set_operator(below, compositing);
        compositeShadow(below, group, belowReach);
        cairo_set_source_surface(below, group.recording, 0, 0);
        cairo_paint_with_alpha(below, group.alpha);
        cairo_destroy(group.cr);
        if (vector && vector->svg)
            vector->retained.push_back(group.recording);
        else
            cairo_surface_destroy(group.recording);
    } else {
        cairo_pop_group_to_source(below);
        cairo_surface_t* surface = nullptr;
        if (vector && vector->svg &&
            cairo_pattern_get_surface(cairo_get_source(below), &surface) == CAIRO_STATUS_SUCCESS)
            vector->retained.push_back(cairo_surface_reference(surface));
        cairo_set_operator(below, compositing);
        cairo_paint_with_alpha(below, group.alpha);
    }
    cairo_restore(below);
    markDrawn();
}

void CGContext::compositeShadow(cairo_t* below, const Group& group, const CGRect& belowReach) {
    // Where the shadow can be seen: the clip of the level below, within what reaches the page.
    double x1, y1, x2, y2;
    cairo_clip_extents(below, &x1, &y1, &x2, &y2);
    const CGRect visible = CGRectIntersection(CGRectMake(x1, y1, x2 - x1, y2 - y1), belowReach);
    double inkX, inkY, inkWidth, inkHeight;
    cairo_recording_surface_ink_extents(group.recording, &inkX, &inkY, &inkWidth, &inkHeight);
    if (CGRectIsEmpty(visible) || !(inkWidth > 0) || !(inkHeight > 0)) return;
    const CGSize offset = cairoOffset(group.shadow);
    const CGRect cast =
        CGRectOffset(CGRectIntersection(CGRectMake(inkX, inkY, inkWidth, inkHeight), group.reach),
                     offset.width, offset.height);

    // The pixels of the shadow: what it covers within the visible part, and around that as far as
    // the blur spreads (the blur reads them). Coarser when that is too many.
    double scale = shadowScale;
    double sigma = 0, left = 0, top = 0;
    double width = 0, height = 0;
    for (int attempt = 0;; ++attempt) {
        if (attempt == 4) return;
        sigma = scale * group.shadow.blur / 2;
        const auto radii = shadowBoxRadii(sigma);
        const double margin = double(radii[0] + radii[1] + radii[2] + 1) / scale;
        const CGRect region = CGRectIntersection(grown(visible, margin), grown(cast, margin));
        if (CGRectIsEmpty(region)) return;
        left = std::floor(CGRectGetMinX(region) * scale);
        top = std::floor(CGRectGetMinY(region) * scale);
        width = std::ceil(CGRectGetMaxX(region) * scale) - left;
        height = std::ceil(CGRectGetMaxY(region) * scale) - top;
        if (width * height <= kMaxShadowPixels) break;
        scale *= 0.99 * std::sqrt(kMaxShadowPixels / (width * height));
    }

    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, int(width), int(height));
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(mask);
        return;
    }
    // The content's alpha, moved by the offset.
    cairo_t* rasteriser = cairo_create(mask);
    cairo_scale(rasteriser, scale, scale);
    cairo_translate(rasteriser, offset.width - left / scale, offset.height - top / scale);
    cairo_set_source_surface(rasteriser, group.recording, 0, 0);
    cairo_paint(rasteriser);
    const bool drawn = cairo_status(rasteriser) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(rasteriser);
    if (drawn) {
        cairo_surface_flush(mask);
        blurShadowAlpha(cairo_image_surface_get_data(mask), size_t(width), size_t(height),
                        size_t(cairo_image_surface_get_stride(mask)), sigma);
        cairo_surface_mark_dirty(mask);
        const Paint& c = group.shadow.color;
        cairo_set_source_rgba(below, c[0], c[1], c[2], c[3] * group.alpha);
        cairo_save(below);
        cairo_translate(below, left / scale, top / scale);
        cairo_scale(below, 1 / scale, 1 / scale);
        cairo_mask_surface(below, mask, 0, 0);
        cairo_restore(below);
    }
    if (vector && vector->svg)
        vector->retained.push_back(mask);
    else
        cairo_surface_destroy(mask);
}

size_t CGContext::layerStackFloor() const {
    for (auto group = groups.rbegin(); group != groups.rend(); ++group)
        if (group->layer) return group->stackDepth;
    return 0;
}

// ---- Paint state

void CGContextSetFillColorWithColor(const CGContextRef& context, const CGColorRef& color) {
    if (context) context->gstate.fill = context->paintFor(color);
}

void CGContextSetStrokeColorWithColor(const CGContextRef& context, const CGColorRef& color) {
    if (context) context->gstate.stroke = context->paintFor(color);
}

void CGContextSetLineWidth(const CGContextRef& context, CGFloat width) {
    if (context && std::isfinite(width) && width >= 0) context->gstate.lineWidth = width;
}

void CGContextSetAlpha(const CGContextRef& context, CGFloat alpha) {
    if (context && !std::isnan(alpha)) context->gstate.alpha = std::clamp(alpha, 0.0, 1.0);
}

void CGContextSetShadowWithColor(const CGContextRef& context, CGSize offset, CGFloat blur,
                                 const CGColorRef& color) {
    if (!context) return;
    CGContext::Shadow shadow;
    if (color && std::isfinite(offset.width) && std::isfinite(offset.height)) {
        shadow.offset = offset;
        shadow.blur = std::isnan(blur) ? 0 : std::clamp(blur, 0.0, kCGShadowMaxBlur);
        shadow.color = context->paintFor(color);
    }
    context->gstate.shadow = shadow;
}

void CGContextSetBlendMode(const CGContextRef& context, CGBlendMode mode) {
    if (context && (mode == kCGBlendModeNormal || mode == kCGBlendModeMultiply))
        context->gstate.blendMode = mode;
}

void CGContextSetShadow(const CGContextRef& context, CGSize offset, CGFloat blur) {
    static const CGColorRef kDefaultShadowColor =
        CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.0, 0.0, 0.0, 1.0 / 3});
    CGContextSetShadowWithColor(context, offset, blur, kDefaultShadowColor);
}

// ---- Transparency layers

namespace {

void beginTransparencyLayer(CGContext& context, std::optional<CGRect> deviceBounds) {
    std::optional<CGRect> bounds;
    if (deviceBounds) {
        // Whole device pixels (or points), in cairo's space.
        const CGRect r = CGRectIntegral(
            CGRectApplyAffineTransform(*deviceBounds, asTransform(context.deviceToCairo)));
        bounds = r;
    }
    if (!context.canDraw() || !context.openGroup(true, bounds)) context.openDeadLayer();
    context.stack.push_back(context.gstate);
    context.groups.back().stackDepth = context.stack.size();
    context.gstate.alpha = 1;
    context.gstate.shadow = {};
    context.gstate.blendMode = kCGBlendModeNormal;
    const CGContext::Group& opened = context.groups.back();
    if (opened.recording && !CGRectIsNull(context.gstate.clipBox)) {
        // Content anywhere the layer reaches may be seen through its shadow, also where the clip
        // hides the content itself: that reach is what can usefully be drawn, and a clip set
        // inside to a shape off the page must not silence the shape's shadow.
        context.gstate.clipBox = CGRectApplyAffineTransform(
            opened.reach, CGAffineTransformInvert(asTransform(context.deviceToCairo)));
    } else if (deviceBounds) {
        context.gstate.clipBox = CGRectIntersection(context.gstate.clipBox, *deviceBounds);
    }
}

}  // namespace

void CGContextBeginTransparencyLayer(const CGContextRef& context, const NSDictionary*) {
    if (context) beginTransparencyLayer(*context, std::nullopt);
}

void CGContextBeginTransparencyLayerWithRect(const CGContextRef& context, CGRect rect,
                                             const NSDictionary*) {
    if (!context) return;
    const CGRect device = CGRectApplyAffineTransform(rect, context->gstate.ctm);
    // A rectangle that is null or not finite bounds nothing: the layer is as a plain one.
    const bool bounded = !CGRectIsNull(device) && std::isfinite(device.origin.x) &&
                         std::isfinite(device.origin.y) && std::isfinite(device.size.width) &&
                         std::isfinite(device.size.height);
    beginTransparencyLayer(*context, bounded ? std::optional<CGRect>(device) : std::nullopt);
}

void CGContextEndTransparencyLayer(const CGContextRef& context) {
    if (!context || context->groups.empty()) return;
    // Saves made inside and left open end with the layer, then the layer's own.
    const size_t depth = context->groups.back().stackDepth;
    while (context->stack.size() >= depth && !context->stack.empty()) {
        context->gstate = std::move(context->stack.back());
        context->stack.pop_back();
    }
    context->closeGroup();
}
