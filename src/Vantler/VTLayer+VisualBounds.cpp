// Visual bounds: everything a layer, its descendants and their drop shadows may paint, in the
// layer's space. Drawing asks for it once per layer it draws, to cull and to size opacity groups.

#include <vector>

#include "VTLayer+Drawing.h"

namespace {

// A layer met by the walk, with the transform from its space into the space of the layer whose
// bounds are wanted and how many levels below that layer it lies.
struct WalkedLayer {
    const VTLayer* layer;
    CGAffineTransform toTop;
    size_t depth;
};

// The layer's rectangle in the top layer's space, grown by its drop shadow. The shadow's offset and
// radius are taken as they stand, in the top layer's units, as the design tool shows them.
CGRect paintedExtent(const VTLayer& layer, CGAffineTransform toTop) {
    const CGRect extent = CGRectApplyAffineTransform(layer.bounds(), toTop);
    if (!layer.hasVisibleShadow()) return extent;
    const double r = layer.shadowRadius();
    const CGSize offset = layer.shadowOffset();
    const CGRect shadow =
        CGRectMake(extent.origin.x + offset.width - r, extent.origin.y + offset.height - r,
                   extent.size.width + 2 * r, extent.size.height + 2 * r);
    return CGRectUnion(extent, shadow);
}

}  // namespace

CGRect visualBounds(const VTLayer& layer) {
    // The zero rectangle takes part in the union, so the origin of the layer's space is always
    // inside.
    CGRect bounds = CGRectZero;
    // Depth first, each layer before its sublayers and sublayers in list order, carrying each
    // layer's transform down from its parent's: a layer's place in the top layer's space then costs
    // one product, however deep it lies, and does not pass through the far-away world space.
    std::vector<WalkedLayer> pending{{&layer, CGAffineTransformIdentity, 0}};
    while (!pending.empty()) {
        const WalkedLayer walked = pending.back();
        pending.pop_back();
        bounds = CGRectUnion(bounds, paintedExtent(*walked.layer, walked.toTop));
        // What a masking layer holds cannot paint outside it, and what lies below the drawn
        // depth is never painted.
        if (walked.layer->masksToBounds() || walked.depth >= kVTMaxDrawnLayerDepth) continue;
        for (int64_t i = walked.layer->countOfSublayers() - 1; i >= 0; --i) {
            const VTLayer& sublayer = *walked.layer->objectInSublayersAtIndex(i);
            pending.push_back(
                {&sublayer,
                 CGAffineTransformConcat(sublayer.toSuperPictureTransform(), walked.toTop),
                 walked.depth + 1});
        }
    }
    return bounds;
}
