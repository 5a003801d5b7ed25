#pragma once
// The inside of CGPath, for the CoreGraphics stand-in's own sources (contexts keep their current
// path and clips as CGPath values). Not platform API.

#include <cstddef>
#include <vector>

#include "CGPath.h"

#pragma GCC visibility push(default)  // exported from libVantler

class CGPath {
  public:
    struct Element {
        CGPathElementType type;
        CGPoint points[3];
        // 1 for a move or a line, 3 for a cubic curve, 0 for a close (no function here makes
        // quadratic curves).
        size_t pointCount() const {
            return type == kCGPathElementAddCurveToPoint ? 3
                   : type == kCGPathElementCloseSubpath  ? 0
                                                         : 1;
        }
    };

    void moveTo(CGPoint point);
    void lineTo(CGPoint point);  // ignored without a current point
    void curveTo(CGPoint control1, CGPoint control2, CGPoint end);  // ignored without one
    void close();                                                   // ignored without one
    void addRect(CGRect rect, const CGAffineTransform* m);
    // Every element of `other`, its points mapped by `m` when not null.
    void append(const CGPath& other, const CGAffineTransform* m);
    void clear();

    bool empty() const { return elements.empty(); }
    bool finite() const;         // every point finite
    CGRect boundingBox() const;  // control points included; null when empty

    std::vector<Element> elements;
    bool hasCurrent = false;
    CGPoint current;
    CGPoint subpathStart;
};

#pragma GCC visibility pop
