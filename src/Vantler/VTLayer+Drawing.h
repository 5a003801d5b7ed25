#pragma once
// Layer hierarchy drawing: a layer and its sublayers painted into a graphics context, each layer
// as its fill, image or text, its sublayers, then its border, with opacity groups, drop shadows and
// clipping; and the visual bounds that drawing culls with.
//
// C++ has no categories: the instance operations `drawInContext:` and `visualBounds` of VTLayer
// are free functions taking the layer first, as the extensions of Utilities/NSCoder+geometry.h are.
//
// A layer is drawn in its drawing space: its own rectangle at (0, 0, width, height), y growing
// downwards. Its sublayers are placed in the layer's space (VTLayer.h), which is the drawing space
// moved by the content offset. Drawing never changes the model, keeps nothing between calls, and
// leaves the context in the graphics state it found it in.

#include <cstdint>
#include <functional>

#include "CGContext.h"
#include "CGImage.h"
#include "VTDecodedLayers.h"
#include "VTLayer.h"

#pragma GCC visibility push(default)  // exported from libVantler

// Given the content layer whose image is about to be drawn, another image to draw in its place, or
// null for the layer's own. Called on the drawing thread, once per image drawn.
using VTLayerImageProvider = std::function<CGImageRef(const VTLayer&)>;

// `drawInContext:`: CGContextDrawVTLayerHierarchy with no provider and component screens drawn.
// A null context does nothing.
void drawInContext(const VTLayer& layer, const CGContextRef& context);

// Flips the context to the layer's drawing space (its top-left corner at the context's point
// (0, height), y downwards) and draws the layer with its sublayers. The layer's own position,
// anchor, angle, scale and opacity are not applied: a layer's placement and opacity are its
// parent's to apply. A null context does nothing.
void CGContextDrawVTLayerHierarchy(const CGContextRef& context, const VTLayer& layer,
                                   const VTLayerImageProvider& provider,
                                   bool ignoreComponentScreens);

// Draws the layer in the context's current user space, taken as the layer's drawing space, and,
// when `drawSublayers` is set, its sublayers. A component instance shows its component screen
// unless `ignoreComponentScreens` is set. A layer of infinite size draws nothing; a component
// screen met again inside its own drawing, layers more than kVTMaxDrawnLayerDepth levels below
// the layer, and every layer after the first kVTMaxDrawnLayers, are not drawn.
void _drawLayerWithProvider(const VTLayer& layer, bool drawSublayers, bool ignoreComponentScreens,
                            const CGContextRef& context, const VTLayerImageProvider& provider);

// The platform's paragraph alignment (NSTextAlignment's values) for a layer's alignment number:
// 1 centred, 2 right, 3 justified, every other number left.
int64_t alignmentForVTAlignnent(int64_t alignment);

// `visualBounds`: the rectangle that the layer, its descendants and their drop shadows may paint,
// in the layer's space (where its own rectangle is `bounds`, at the content offset). Always holds
// the space's origin. A layer that masks to bounds hides its sublayers' extents; component
// instances count with their own rectangle and sublayers, not their screen's. Layers more than
// kVTMaxDrawnLayerDepth levels below are not counted, as they are not drawn.
CGRect visualBounds(const VTLayer& layer);

// Levels of sublayers drawn below the layer a drawing starts from: as deep as a loaded document may
// nest, so that a tree built deeper in code (or one that holds its own ancestor) can neither
// exhaust the stack nor make a walk go on for ever.
inline constexpr size_t kVTMaxDrawnLayerDepth = VTDecodedLayers::kMaxLayerDepth;
// Layers one drawing visits at most, component screens counted each time they are shown: twice
// what a document may hold, so that a document's own layers are always drawn, while components
// shown inside components, which multiply the layers to draw, cannot make a picture take more
// than about a second.
inline constexpr size_t kVTMaxDrawnLayers = 2 * VTDecodedLayers::kMaxLayers;

#pragma GCC visibility pop
