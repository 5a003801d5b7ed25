#pragma once
// The inside of CGContext, for the CoreGraphics stand-in's own sources and the stand-ins that paint
// through it (CoreText's CTFrameDraw). Not platform API.
//
// How a painting operation is written (every one: fill, stroke, image, text):
//
//     void CGContextFillPath(const CGContextRef& c) {
//         if (!c) return;
//         cairo_t* cr = c->beginPaint();  // user space, clip in force, a group when needed
//         if (!cr) return;                // nothing can be painted
//         ... cairo calls in user space: the source, the shape, cairo_fill ...
//         c->endPaint();                  // composites with the alpha and shadow
//     }
//
// Between the two, a painter draws with `cr` only and leaves cairo's state as it found it (its own
// cairo_save / cairo_restore must balance); it must not call CoreGraphics functions on the context.
//
// Spaces: user space (the CTM maps it to device space), device space (CoreGraphics': y up, origin
// at the lower left of the bitmap or of the vector page, one unit a pixel or a point) and cairo's
// device space (y down), one flip (`deviceToCairo`) away. The clip and the current path are kept
// in device space, as CoreGraphics keeps them: a later CTM change moves neither.
//
// Groups: painting with an alpha below 1 or with a shadow, and every transparency layer, draws into
// a group that is composited when it ends, with the blend mode in force when it opened (a painting
// operation draws into its own group plainly; only the group is blended with what lies below).
// Groups nest; `groups` is the open ones, innermost last.
// The clip is applied to cairo when painting (beginPaint) and when compositing a group, never kept
// in cairo's state between operations, so gstate saves and restores touch only `gstate`.

#include <cairo.h>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "CGContext.h"
#include "CGImagePrivate.h"
#include "CGPathPrivate.h"

class CGContext {
  public:
    // Straight (not premultiplied) red, green, blue, alpha in the context's colour space, 0…1.
    using Paint = std::array<double, 4>;

    struct Shadow {
        CGSize offset;     // device space, y up
        CGFloat blur = 0;  // device units, ≥ 0
        Paint color{0, 0, 0, 0};
        bool casts() const { return color[3] > 0; }
    };

    struct GState {
        CGAffineTransform ctm = CGAffineTransformIdentity;
        CGInterpolationQuality interpolation = kCGInterpolationDefault;
        Paint fill{0, 0, 0, 1};  // CoreGraphics' default fill and stroke: opaque black
        Paint stroke{0, 0, 0, 1};
        CGFloat lineWidth = 1;
        CGFloat alpha = 1;
        Shadow shadow;
        CGBlendMode blendMode = kCGBlendModeNormal;
        // Every clip path in force (device space, non-zero winding), intersected; their common
        // bounding box, which is null once they cannot overlap, in `clipBox`.
        std::vector<std::shared_ptr<const CGPath>> clips;
        CGRect clipBox = CGRectNull;
    };

    // An open group: what is drawn until it ends goes into it, then it is composited onto the
    // level below with `alpha`, `shadow` and `blendMode`.
    struct Group {
        cairo_t* cr = nullptr;  // where the group's content is drawn
        // A shadow needs the content as a whole to offset and blur it: a recording surface, owned
        // with its own `cr`. Without one the group is cairo's (cairo_push_group on the level
        // below), composited by cairo_pop_group.
        cairo_surface_t* recording = nullptr;
        CGFloat alpha = 1;
        Shadow shadow;
        CGBlendMode blendMode = kCGBlendModeNormal;
        size_t clipBase = 0;    // gstate.clips[clipBase...] are applied inside the group
        size_t stackDepth = 0;  // a transparency layer's gstate depth at its begin
        bool layer = false;     // a transparency layer (else one painting operation's group)
        // The part of the group's content (cairo device space) that can reach the page: the
        // page's, grown where enclosing shadows draw from. Bounds the shadows rasterised inside.
        CGRect reach = CGRectNull;
    };

    // The pixels behind a bitmap context: the bytes callers see ("visible", in the context's
    // format) and cairo's surface. They are the same memory when the format is cairo's own.
    struct Bitmap {
        size_t width = 0;
        size_t height = 0;
        size_t bytesPerRow = 0;
        CGBitmapInfo bitmapInfo = 0;
        CoreGraphicsPrivate::PixelLayout layout;
        uint8_t* visible = nullptr;
        std::vector<uint8_t> ownedVisible;  // when the context allocated the visible bytes
        bool callerData = false;            // visible bytes supplied by the caller
        bool direct = false;                // cairo draws into the visible bytes
        bool surfaceAhead = false;          // cairo drew; the visible bytes are behind
        bool visibleAhead = false;          // handed out; the caller may have changed them
    };

    // What a PDF or SVG context writes into: a file (cairo writes it) or the caller's vector.
    struct Vector {
        std::vector<uint8_t>* sink = nullptr;  // null when writing a file
        bool svg = false;                      // else PDF
        bool closed = false;
        // Groups and shadow masks composited onto an SVG page, kept until the document is
        // finished, when cairo 1.16's SVG surface writes them: one that went away before would be
        // copied, and the copy leaked beyond our reach (see finishVector).
        std::vector<cairo_surface_t*> retained;
    };

    CGContext() = default;
    CGContext(const CGContext&) = delete;
    CGContext& operator=(const CGContext&) = delete;
    ~CGContext();

    // Starts painting one element: returns cairo ready to draw in USER space (cairo's matrix = the
    // CTM then the flip to device space), the clip in force, drawing into a group when the alpha
    // is below 1 or a shadow is set. Null when nothing can be painted (singular CTM).
    cairo_t* beginPaint();
    // Composites what was drawn since beginPaint with the gstate's alpha, shadow and blend mode.
    void endPaint();

    // Opens a group on the current level with the gstate's alpha, shadow and blend mode (cairo's
    // state of the level below is saved, with the clip applied, until closeGroup). `bounds`, in
    // cairo's device space, limits what the group keeps. False (nothing opened) when cairo fails.
    bool openGroup(bool layer, std::optional<CGRect> bounds);
    // Opens a transparency layer in which nothing is drawn (cairo failed, or the context is closed)
    // so that its End still pairs with its Begin.
    void openDeadLayer();
    // Composites the innermost group onto the level below and closes it.
    void closeGroup();

    // Where drawing goes now: the innermost group's cairo, else the page's.
    cairo_t* currentCairo() const { return groups.empty() ? cr : groups.back().cr; }
    // gstate.clips[clipBase()...] are the clips not yet applied to currentCairo().
    size_t clipBase() const { return groups.empty() ? 0 : groups.back().clipBase; }
    // Applies gstate.clips[from...] to `target` (whose state the caller saved).
    void applyClips(cairo_t* target, size_t from) const;
    // User space to cairo's device space: the CTM, then the flip. Nullopt when it cannot be
    // inverted (cairo would refuse it and stay in an error state for good).
    std::optional<cairo_matrix_t> userToCairo() const;
    // A paint colour for `color`, in the context's colour space.
    Paint paintFor(const CGColorRef& color) const;
    // Whether drawing can reach the surface: false once a vector context is closed.
    bool canDraw() const { return !(vector && vector->closed); }
    // The gstate depth below which a restore may not go: the innermost transparency layer's own
    // save, which only CGContextEndTransparencyLayer ends.
    size_t layerStackFloor() const;
    // Composites the layers left open, writes the vector document out and closes it.
    void finishVector();

    // Brings the visible bytes up to date with cairo's surface.
    void syncVisible();

    // The context's colour space (RGB); what images and colours are matched into.
    CGColorSpaceRef space;
    GState gstate;
    std::vector<GState> stack;
    std::vector<Group> groups;
    // The current path, in device space (CoreGraphics' path is fixed by the CTM in force when each
    // part is added).
    CGPath path;
    // Not part of the graphics state, as in CoreGraphics (CGContextSetTextMatrix).
    CGAffineTransform textMatrix = CGAffineTransformIdentity;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    // CoreGraphics device space → cairo's: y flipped about the page's height, and for a vector page
    // the media box's origin moved to cairo's.
    cairo_matrix_t deviceToCairo{1, 0, 0, 1, 0, 0};
    // The page in device space: the bitmap's pixels or the vector page's media box.
    CGRect page = CGRectNull;
    // Shadow pixels per device unit: 1 for a bitmap, kCGVectorContextShadowScale for a vector page.
    double shadowScale = 1;
    std::unique_ptr<Bitmap> bitmap;  // null for contexts that are not bitmap contexts
    std::unique_ptr<Vector> vector;  // null for contexts that are not PDF or SVG contexts

    // Marks a bitmap's pixels changed once nothing is left in open groups.
    void markDrawn();

  private:
    void takeInVisible();
    // Draws the shadow of `group` (a recording) onto `below`, whose clip is applied.
    void compositeShadow(cairo_t* below, const Group& group, const CGRect& belowReach);
    bool paintGrouped_ = false;  // whether beginPaint opened a group
};

namespace CoreGraphicsPrivate {

// The cairo operator that composites with a blend mode.
cairo_operator_t operatorFor(CGBlendMode mode);

// The largest |coordinate| handed to cairo, in cairo device units: cairo keeps coordinates in 24.8
// fixed point, which wraps beyond ±2^23, and so do its extents' widths; farther points are clamped
// (they lie far off the page; only shapes that reach that far are bent, and only there).
inline constexpr double kMaxCairoCoordinate = double(1 << 21);

// Appends `path` (device space) to cairo's current path, whatever cairo's matrix is. False, with
// nothing appended, when a point is not finite.
bool appendDevicePath(cairo_t* cr, const CGPath& path, const cairo_matrix_t& deviceToCairo);

}  // namespace CoreGraphicsPrivate
