#include "ScreenSheet.h"

#include <cmath>
#include <limits>

#include "VTLayerTreeQueries.h"

namespace {

std::string nameOf(const VTLayer& layer) {
    return layer.name().value_or("");
}

double distanceToRect(CGPoint point, CGRect rect) {
    const double dx = std::max({CGRectGetMinX(rect) - point.x, 0.0, point.x - CGRectGetMaxX(rect)});
    const double dy = std::max({CGRectGetMinY(rect) - point.y, 0.0, point.y - CGRectGetMaxY(rect)});
    return std::hypot(dx, dy);
}

}  // namespace

ScreenSheet::ScreenSheet(const std::vector<std::shared_ptr<VTScreen>>& screens) {
    double x = 0;
    for (const auto& screen : screens) {
        const double width = screen->width();
        const CGRect frame = CGRectMake(x, 0, width, screen->height());
        const CGRect label = CGRectMake(x, -kSheetLabelHeight, width, kSheetLabelHeight);
        screens_.push_back({screen, nameOf(*screen), frame, label});
        extent_ = CGRectUnion(extent_, screens_.back().pictureFrame());
        x += width + kSheetScreenGap;
    }
}

size_t ScreenSheet::screenNearest(CGPoint point) const {
    size_t nearest = 0;
    double best = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < screens_.size(); ++i) {
        const double distance = distanceToRect(point, screens_[i].pictureFrame());
        if (distance < best) {
            best = distance;
            nearest = i;
        }
    }
    return nearest;
}

std::vector<CoveredLayer> ScreenSheet::layersCoveredBy(CGRect rect) const {
    std::vector<CoveredLayer> covered;
    for (const SheetScreen& placed : screens_) {
        if (!CGRectIntersectsRect(rect, placed.frame)) continue;
        const VTScreen& screen = *placed.screen;
        // The screen's drawing space starts at its content offset.
        const CGPoint offset = screen.bounds().origin;
        enumerateLayerTrees(
            screen.sublayers(), [&](const std::shared_ptr<VTLayer>& layer, int64_t& action) {
                if (layer->hidden()) {
                    action = kVTWalkSkipChildren;
                    return;
                }
                CGRect inScreen = layer->convertRect_toPicture(layer->bounds(), &screen);
                inScreen.origin =
                    CGPointMake(inScreen.origin.x - offset.x, inScreen.origin.y - offset.y);
                const CGRect onCanvas =
                    CGRectOffset(inScreen, placed.frame.origin.x, placed.frame.origin.y);
                if (!CGRectContainsRect(rect, onCanvas)) return;
                covered.push_back({placed.name, nameOf(*layer), inScreen, onCanvas});
                action = kVTWalkSkipChildren;
            });
    }
    return covered;
}
