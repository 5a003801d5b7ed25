#pragma once
// The graphics context's extension for the editor's soft inner shadows: a darkening that fades
// across a rectangle, as along the edge of a panel or under a bar. A free function taking the
// context first, as the other platform-class extensions of this folder are (NSCoder+geometry.h).

#include "CGContext.h"

#pragma GCC visibility push(default)  // exported from libVantler

// `drawShadowInRect:angle:`: a linear gradient from black at alpha 0.15 to black at alpha 0 across
// `rect` (user space), multiplied onto what is there, placed as NSGradient's drawInRect:angle:
// places one: its axis runs through the rectangle's centre at `angleDegrees` (counter-clockwise
// from the x axis of user space: 0 is darkest at the left edge, 90 at the minimum y edge), and
// starts and ends where the lines across it touch the rectangle's farthest corners, so the darkest
// and the clear colour fall on the rectangle's edges (or corners). Nothing is painted outside the
// rectangle (so nothing for an empty one), nor for an angle that is not finite or when the
// gradient cannot be made; the context's graphics state is as it was afterwards.
void drawShadowInRect_angle(const CGContextRef& context, CGRect rect, CGFloat angleDegrees);

#pragma GCC visibility pop
