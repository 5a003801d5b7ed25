#pragma once
// The part of a view's backing layer that views use: a background filled under the view's
// content and a border drawn inside its bounds, above content and subviews.

#include "CGColor.h"

#pragma GCC visibility push(default)  // exported from libVantler

struct CALayer {
    CGColorRef backgroundColor;  // none: nothing under the content
    CGFloat borderWidth = 0;
    CGColorRef borderColor;  // none: opaque black, as Core Animation's default
};

#pragma GCC visibility pop
