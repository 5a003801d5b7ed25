#pragma once
// CoreGraphics gradients with CoreGraphics' names: colours placed along an axis, which
// CGContextDrawLinearGradient (CGContext.h) paints.
//
// A gradient is an immutable, thread-safe object shared through `CGGradientRef`; "release" is the
// end of the last reference.

#include <cstdint>
#include <memory>
#include <span>

#include "CGColor.h"
#include "CGColorSpace.h"

#pragma GCC visibility push(default)  // exported from libVantler

class CGGradient;  // opaque; defined in CGGradient.cpp
using CGGradientRef = std::shared_ptr<const CGGradient>;

// CoreGraphics' options, with their values: whether the first colour is painted before the
// start of the axis, and the last past its end.
using CGGradientDrawingOptions = uint32_t;
inline constexpr CGGradientDrawingOptions kCGGradientDrawsBeforeStartLocation = 1u << 0;
inline constexpr CGGradientDrawingOptions kCGGradientDrawsAfterEndLocation = 1u << 1;

// A gradient through `colors`, each matched into `space` (kept). `locations` places them along the
// axis, 0 at its start and 1 at its end (clamped to 0…1; NaN reads as 0), in the order given; with
// none they are spread evenly from 0 to 1. Null for a null space, no colours, a null colour, a
// number of locations other than of colours, or a colour lcms2 cannot match into the space.
CGGradientRef CGGradientCreateWithColors(CGColorSpaceRef space, std::span<const CGColorRef> colors,
                                         std::span<const CGFloat> locations = {});

#pragma GCC visibility pop
