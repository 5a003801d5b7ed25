#pragma once
// The inside of CTFrame, for the CoreText sources.

#include "CTFrame.h"

class CTFrame {
  public:
    CGPathRef path;
    CGRect box;  // the path's bounding box
    CFRange stringRange;
    CFRange visibleRange;
    std::vector<CTLineRef> lines;
    std::vector<CGPoint> origins;  // relative to box.origin
};
