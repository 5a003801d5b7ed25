#pragma once
// A text layer's text, as the layer drawing paints it (private to the drawing sources).

#include "CGContext.h"
#include "CGGeometry.h"
#include "VTLayer.h"

// Lays out the layer's text from the top edge of its rectangle (0, 0, size) downwards, wrapped
// at word boundaries to the rectangle's width, in the layer's font and alignment and in its
// background colour, and paints it clipped to the rectangle: a text longer than the layer is cut
// at the bottom edge, mid-line, rather than ending at the last line that fits. Nothing for a
// layer without text.
void drawTextOfLayer(const VTLayer& layer, CGSize size, const CGContextRef& context);
