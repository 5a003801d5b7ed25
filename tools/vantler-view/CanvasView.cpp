#include "CanvasView.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "CGColorSpace.h"
#include "NSApplication.h"
#include "NSColor.h"
#include "NSObject+Utilities.h"
#include "NSWindow.h"
#include "ZRGeometry.h"

namespace {

// Room around the screens when the canvas fits them.
constexpr double kFitMargin = 30.0;
// How long one pass of picture making may hold up input, so that the canvas stays responsive.
constexpr auto kPictureMakingSlice = std::chrono::milliseconds(25);
// A wheel step's worth of scroll zooms by one step.
constexpr double kScrollPointsPerZoomStep = 40.0;

CGColorRef greyColor(double white) {
    return CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {white, white, white, 1.0});
}

// AppKit's characters of the arrow keys.
const std::string kUpArrow = "\xef\x9c\x80";
const std::string kDownArrow = "\xef\x9c\x81";
const std::string kLeftArrow = "\xef\x9c\x82";
const std::string kRightArrow = "\xef\x9c\x83";

}  // namespace

CanvasView::CanvasView(CGRect frame, std::shared_ptr<VTPrototype> prototype, bool dark,
                       std::FILE* selectionOutput)
    : NSView(frame),
      prototype_(std::move(prototype)),
      sheet_(prototype_->screens()),
      pictures_(sheet_, greyColor(dark ? 0.78 : 0.32)),
      dark_(dark),
      selectionOutput_(selectionOutput) {}

void CanvasView::fitAll() {
    if (CGRectIsNull(sheet_.extent())) return;
    centerRect_zoom(*this, CGRectInset(sheet_.extent(), -kFitMargin, -kFitMargin), true);
}

void CanvasView::showScreen(size_t index) {
    if (index >= sheet_.screens().size()) return;
    centerRect_zoom(
        *this, CGRectInset(sheet_.screens()[index].pictureFrame(), -kFitMargin, -kFitMargin), true);
}

void CanvasView::moveToNeighbourScreen(int step) {
    const auto& screens = sheet_.screens();
    if (screens.empty()) return;
    const auto current = static_cast<int64_t>(sheet_.screenNearest(CGRectCenter(bounds())));
    showScreen(static_cast<size_t>(
        std::clamp<int64_t>(current + step, 0, static_cast<int64_t>(screens.size()) - 1)));
}

std::vector<CanvasView::NeededPicture> CanvasView::missingPictures(double pixelsPerPoint) const {
    std::vector<NeededPicture> missing;
    const CGRect shown = bounds();
    for (size_t i = 0; i < sheet_.screens().size(); ++i) {
        const CGRect frame = sheet_.screens()[i].pictureFrame();
        if (!CGRectIntersectsRect(frame, shown)) continue;
        const int level = ScreenPictures::levelFor(pixelsPerPoint, frame.size);
        if (!pictures_.hasPicture(i, level)) missing.push_back({i, level});
    }
    const CGPoint centre = CGRectCenter(shown);
    const auto distance = [&](const NeededPicture& need) {
        const CGPoint middle = CGRectCenter(sheet_.screens()[need.screen].pictureFrame());
        return std::hypot(middle.x - centre.x, middle.y - centre.y);
    };
    std::sort(missing.begin(), missing.end(),
              [&](const auto& a, const auto& b) { return distance(a) < distance(b); });
    return missing;
}

void CanvasView::makeVisiblePictures() {
    for (const auto& need : missingPictures(lastPixelsPerPoint_))
        pictures_.makePicture(need.screen, need.level);
}

void CanvasView::makeMissingPictures() {
    const auto start = std::chrono::steady_clock::now();
    const auto missing = missingPictures(lastPixelsPerPoint_);
    for (const auto& need : missing) {
        pictures_.makePicture(need.screen, need.level);
        if (std::chrono::steady_clock::now() - start > kPictureMakingSlice) break;
    }
    if (!missing.empty()) pictures_.trimToBudget(missing.front().level);
    setNeedsDisplay();
}

void CanvasView::scheduleMissingPictures() {
    // In the common modes, so that pictures sharpen during a zoom drag too; however many frames
    // ask, one pass runs.
    static const SEL makeMissing =
        NSSelectorFromMethod<CanvasView>("makeMissingPictures", &CanvasView::makeMissingPictures);
    cancelAndPerformSelector_afterDelay_inMode(shared_from_this(), makeMissing, 0,
                                               NSRunLoopCommonModes);
}

void CanvasView::drawPicture(const CGContextRef& context, const SheetScreen& placed,
                             const CGImageRef& picture) const {
    const CGRect frame = placed.pictureFrame();
    // The canvas runs downwards; an image is drawn upright in a space that runs upwards.
    CGContextSaveGState(context);
    CGContextTranslateCTM(context, frame.origin.x, frame.origin.y + frame.size.height);
    CGContextScaleCTM(context, 1, -1);
    CGContextDrawImage(context, CGRectMake(0, 0, frame.size.width, frame.size.height), picture);
    CGContextRestoreGState(context);
}

void CanvasView::drawSelection(const CGContextRef& context) const {
    if (selection_.empty()) return;
    CGContextSaveGState(context);
    CGContextSetStrokeColorWithColor(context, NSColor::systemBlueColor()->CGColor());
    CGContextSetLineWidth(context, 2.0 / zoomScale(*this));
    for (const auto& layer : selection_) {
        CGContextBeginPath(context);
        CGContextAddRect(context, layer.frameOnCanvas);
        CGContextStrokePath(context);
    }
    CGContextRestoreGState(context);
}

void CanvasView::drawRect(const CGContextRef& context, CGRect dirtyRect) {
    static const CGColorRef darkCanvas = greyColor(0.13);
    static const CGColorRef lightCanvas = greyColor(0.90);
    static const CGColorRef placeholder = greyColor(0.97);
    CGContextSetFillColorWithColor(context, dark_ ? darkCanvas : lightCanvas);
    CGContextFillRect(context, dirtyRect);

    const CGAffineTransform ctm = CGContextGetCTM(context);
    lastPixelsPerPoint_ = std::hypot(ctm.a, ctm.b);
    CGContextSetInterpolationQuality(context, kCGInterpolationMedium);
    bool lacking = false;
    for (size_t i = 0; i < sheet_.screens().size(); ++i) {
        const SheetScreen& placed = sheet_.screens()[i];
        if (!CGRectIntersectsRect(placed.pictureFrame(), dirtyRect)) continue;
        const int level = ScreenPictures::levelFor(lastPixelsPerPoint_, placed.pictureFrame().size);
        lacking = lacking || !pictures_.hasPicture(i, level);
        if (const CGImageRef picture = pictures_.pictureFor(i, level)) {
            drawPicture(context, placed, picture);
        } else {
            CGContextSetFillColorWithColor(context, placeholder);
            CGContextFillRect(context, placed.frame);
        }
    }
    drawSelection(context);
    if (lacking) scheduleMissingPictures();
}

CGPoint CanvasView::locationInView(const NSEvent& event) const {
    return convertPoint_fromView(event.locationInWindow(), nullptr);
}

void CanvasView::mouseDown(const NSEvent& event) {
    if (event.modifierFlags() & NSEventModifierFlagShift)
        selectInBox();
    else
        handleInteractiveZoom(*this);
}

void CanvasView::selectInBox() {
    const CGRect box = boxSelect(*this, NSEdgeInsetsZero);
    if (CGRectIsNull(box)) return;
    selection_ = sheet_.layersCoveredBy(box);
    setNeedsDisplay();
    if (!selectionOutput_) return;
    std::fprintf(selectionOutput_, "%zu layer%s in (%g, %g, %g, %g)\n", selection_.size(),
                 selection_.size() == 1 ? "" : "s", box.origin.x, box.origin.y, box.size.width,
                 box.size.height);
    for (const auto& layer : selection_)
        std::fprintf(selectionOutput_, "  %s / %s: x %g, y %g, width %g, height %g\n",
                     layer.screenName.c_str(), layer.layerName.c_str(),
                     layer.frameInScreen.origin.x, layer.frameInScreen.origin.y,
                     layer.frameInScreen.size.width, layer.frameInScreen.size.height);
    std::fflush(selectionOutput_);
}

void CanvasView::scrollWheel(const NSEvent& event) {
    if (!(event.modifierFlags() & NSEventModifierFlagCommand)) {
        panByX_y(*this, event.deltaX(), event.deltaY());
        return;
    }
    const double steps = event.deltaY() / kScrollPointsPerZoomStep;
    setZoomScale_lockPoint(*this, zoomScale(*this) * std::pow(zoomInRatio(), steps),
                           locationInView(event));
}

void CanvasView::magnifyWithEvent(const NSEvent& event) {
    setZoomScale_lockPoint(*this, zoomScale(*this) * (1 + event.magnification()),
                           locationInView(event));
}

void CanvasView::keyDown(const NSEvent& event) {
    const std::string& key = event.characters();
    if (key == "0") {
        fitAll();
    } else if (key == "1") {
        setZoomScale(*this, 1.0);
    } else if (key == "+" || key == "=") {
        setZoomScale(*this, zoomScale(*this) * zoomInRatio());
    } else if (key == "-") {
        setZoomScale(*this, zoomScale(*this) * zoomOutRatio());
    } else if (key == kLeftArrow || key == kUpArrow) {
        moveToNeighbourScreen(-1);
    } else if (key == kRightArrow || key == kDownArrow) {
        moveToNeighbourScreen(1);
    } else if (key == "\x1b" || key == "q") {
        if (const auto shownIn = window()) shownIn->close();
        if (NSApplication::sharedApplication().windows().empty())
            NSApplication::sharedApplication().stop();
    }
}
