#pragma once
// Where a document's screens stand on the viewer's canvas: side by side, 30 points apart as in a
// preview, tops aligned, each under a band that holds its name. Canvas coordinates run downwards
// from the top-left corner of the first screen, as a screen's own drawing space does.

#include <memory>
#include <string>
#include <vector>

#include "CGGeometry.h"
#include "VTScreen.h"

struct SheetScreen {
    std::shared_ptr<VTScreen> screen;
    std::string name;
    CGRect frame;       // the screen itself
    CGRect labelFrame;  // the band above it that shows its name
    // The screen with its name: what a picture of it covers.
    CGRect pictureFrame() const { return CGRectUnion(frame, labelFrame); }
};

// A layer that a box selection covers, with its rectangle in its screen's drawing space and on the
// canvas.
struct CoveredLayer {
    std::string screenName;
    std::string layerName;
    CGRect frameInScreen;
    CGRect frameOnCanvas;
};

inline constexpr double kSheetScreenGap = 30.0;
inline constexpr double kSheetLabelHeight = 24.0;

class ScreenSheet {
  public:
    explicit ScreenSheet(const std::vector<std::shared_ptr<VTScreen>>& screens);

    const std::vector<SheetScreen>& screens() const { return screens_; }
    // Every screen with its name; the null rectangle for a document without screens.
    CGRect extent() const { return extent_; }
    // The screen whose picture is nearest the point (its index), for moving between screens.
    size_t screenNearest(CGPoint point) const;
    // The visible layers lying wholly inside the rectangle, outermost first: a covered layer's own
    // sublayers are not listed again.
    std::vector<CoveredLayer> layersCoveredBy(CGRect rect) const;

  private:
    std::vector<SheetScreen> screens_;
    CGRect extent_ = CGRectNull;
};
