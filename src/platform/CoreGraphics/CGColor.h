#pragma once
// CoreGraphics colours with CoreGraphics' names: the colours of layers, of archived colour values
// and of drawing.
//
// A colour is an immutable, thread-safe value in a colour space: the space's components followed by
// alpha, as doubles. `CGColorRef` shares it; identity is pointer identity, equality is
// CGColorEqualToColor. Every function accepts a null colour and then gives the "none" answer its
// comment states.

#include <array>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <span>

#include "CGColorSpace.h"
#include "CGGeometry.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSDictionary;

class CGColor;  // opaque; defined in CGColor.cpp
using CGColorRef = std::shared_ptr<const CGColor>;

// ---- Creation
// A new colour in `space` (kept) from the space's number of components plus one (alpha) values, as
// CoreGraphics documents it: each component is clamped to the space's range (0…1, or unbounded for
// an extended-range space), alpha to 0…1, and a NaN reads as 0. Null for a null space. The pointer
// form reads exactly that many values (null components give null); the span and list forms give
// null when the count differs.
CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components);
CGColorRef CGColorCreate(CGColorSpaceRef space, std::span<const CGFloat> components);
CGColorRef CGColorCreate(CGColorSpaceRef space, std::initializer_list<CGFloat> components);
// A new colour with the same space and components and `alpha` (clamped to 0…1, as CoreGraphics
// documents); null for a null colour.
CGColorRef CGColorCreateCopyWithAlpha(const CGColorRef& color, CGFloat alpha);
// `color` matched into `space` with the rendering intent through lcms2's floating-point path
// (doubles in and out; lcms2 computes in single precision and the profiles hold their colourants as
// 16-bit fractions, so results agree with exact colourimetry to about 1e-5), alpha unchanged.
// Unclamped where `space` has extended range, clamped to 0…1 otherwise; grey and RGB match into
// each other. When `space` is already the colour's space the colour itself is returned (colours are
// immutable). Null for a null space or colour, or when lcms2 cannot match between the two profiles
// (an ICC space usable only as a source, for instance). `options` is reserved, as in CoreGraphics:
// pass null; it is ignored.
CGColorRef CGColorCreateCopyByMatchingToColorSpace(const CGColorSpaceRef& space,
                                                   CGColorRenderingIntent intent,
                                                   const CGColorRef& color,
                                                   const NSDictionary* options);

// ---- Queries
// The colour's space (shared); null for a null colour.
CGColorSpaceRef CGColorGetColorSpace(const CGColorRef& color);
// The space's components plus alpha (4 for RGB, 2 for grey); 0 for a null colour.
size_t CGColorGetNumberOfComponents(const CGColorRef& color);
// Pointer to CGColorGetNumberOfComponents doubles, alpha last, valid while the colour lives; null
// for a null colour.
const CGFloat* CGColorGetComponents(const CGColorRef& color);
// The last component; 0 for a null colour.
CGFloat CGColorGetAlpha(const CGColorRef& color);
// True when both are null, or both are colours in the identical space object with equal components
// (compared exactly). Colours with equal numbers in two distinct space objects differ even if the
// spaces describe the same colourimetry (which is why decoded colours share their spaces through
// caches).
bool CGColorEqualToColor(const CGColorRef& a, const CGColorRef& b);

// ---- Drawing
// What a context paints for `color`: its red, green, blue and alpha in the output space of drawing,
// sRGB, each in 0…1 (straight alpha). Every colour is matched (relative colorimetric) from its own
// space, so a Display P3 colour is painted as that colour clipped to sRGB rather than as the same
// numbers in sRGB. Device RGB is taken as sRGB and device grey as sRGB's neutral axis, so their
// components pass through unchanged. A null colour, or one lcms2 cannot match, paints transparent
// black {0, 0, 0, 0} (nothing visible is drawn).
std::array<CGFloat, 4> CGColorGetSRGBComponentsForDrawing(const CGColorRef& color);

#pragma GCC visibility pop
