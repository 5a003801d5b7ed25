#pragma once
// Layer hierarchy drawing, for the part of the record that VTLayer.h holds: a layer's own fill in
// its shape. Images, text, sublayers, borders, opacity groups and shadows join with the parts of
// the record they draw.
//
// C++ has no categories: the instance operation `drawInContext:` of VTLayer is a free function
// taking the layer first, as the extensions of Utilities/NSCoder+geometry.h are.

#include <functional>

#include "CGContext.h"
#include "CGImage.h"
#include "VTLayer.h"

#pragma GCC visibility push(default)  // exported from libVantler

// Given the content layer whose image is about to be drawn, another
// image, or null for the layer's own.
using VTLayerImageProvider = std::function<CGImageRef(const VTLayer&)>;

// `drawInContext:`: CGContextDrawVTLayerHierarchy with no provider and component screens drawn.
// A null context does nothing.
void drawInContext(const VTLayer& layer, const CGContextRef& context);

// Flips the context to the layer's y-down drawing space (top-left corner at the context's point
// (0, height)), draws the layer, and leaves the context's state as it was.
void CGContextDrawVTLayerHierarchy(const CGContextRef& context, const VTLayer& layer,
                                   const VTLayerImageProvider& provider,
                                   bool ignoreComponentScreens);

#pragma GCC visibility pop
