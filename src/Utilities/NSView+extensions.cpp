#include "NSView+extensions.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "NSApplication.h"
#include "NSColor.h"
#include "NSCursor.h"
#include "NSWindow.h"
#include "UtilityFunctions.h"
#include "ZRGeometry.h"

namespace {

const NSViewCanvasAnswers* answersOf(const NSView& view) {
    return dynamic_cast<const NSViewCanvasAnswers*>(&view);
}

bool isFinite(CGRect rect) {
    return std::isfinite(rect.origin.x) && std::isfinite(rect.origin.y) &&
           std::isfinite(rect.size.width) && std::isfinite(rect.size.height);
}

// The bounds that show the frame at the scale with the lock point where it was; none when the
// numbers do not come out finite.
std::optional<CGRect> zoomedBounds(CGRect bounds, CGSize frameSize, double scale,
                                   CGPoint lockPoint) {
    const double limited = std::clamp(scale, kMinimumZoomScale, kMaximumZoomScale);
    const CGSize size = CGSizeMake(frameSize.width / limited, frameSize.height / limited);
    CGPoint origin = CGPointMake(
        (bounds.size.width - size.width) * ((lockPoint.x - bounds.origin.x) / bounds.size.width) +
            bounds.origin.x,
        (bounds.size.height - size.height) *
                ((lockPoint.y - bounds.origin.y) / bounds.size.height) +
            bounds.origin.y);
    // Zoomed out, content drawn at fractional offsets would look blurred.
    if (scale <= 1) origin = CGPointIntegral(origin);
    const CGRect zoomed{origin, size};
    if (!isFinite(zoomed)) return std::nullopt;
    return zoomed;
}

// The selection highlight: a translucent blue box with a blue border.
std::shared_ptr<NSView> makeSelectionHighlight() {
    auto highlight = std::make_shared<NSView>(CGRectZero);
    highlight->setWantsLayer(true);
    CALayer* layer = highlight->layer();
    layer->backgroundColor =
        NSColor::colorWithCalibratedRed_green_blue_alpha(0, 0, 1, 0.2)->CGColor();
    layer->borderWidth = 1.0;
    layer->borderColor = NSColor::systemBlueColor()->CGColor();
    return highlight;
}

// The mouse's location in the view's coordinates (the view has a window).
CGPoint mouseLocationInView(const NSView& view, const NSWindow& window) {
    return view.convertPoint_fromView(window.convertPointFromScreen(NSEvent::mouseLocation()),
                                      nullptr);
}

std::shared_ptr<NSEvent> nextTrackingEvent(NSEventMask mask) {
    return NSApplication::sharedApplication().nextEventMatchingMask_untilDate_inMode_dequeue(
        mask, NSRunLoopDistantFuture, NSEventTrackingRunLoopMode, true);
}

// Whether the event ends a tracking loop: the button went up, or the application lost the user's
// attention. AppKit-defined events go on to the application.
bool endsTracking(const std::shared_ptr<NSEvent>& event) {
    if (event->type() == NSEventTypeLeftMouseUp) return true;
    if (event->type() != NSEventTypeAppKitDefined) return false;
    NSApplication::sharedApplication().sendEvent(event);
    return event->subtype() == NSEventSubtypeApplicationDeactivated;
}

}  // namespace

bool allowZoom(const NSView& view) {
    const auto* answers = answersOf(view);
    return answers ? answers->allowZoom() : false;
}

NSView& containerViewForBoxSelectHighlight(NSView& view) {
    auto* answers = dynamic_cast<NSViewCanvasAnswers*>(&view);
    NSView* container = answers ? answers->containerViewForBoxSelectHighlight() : nullptr;
    return container ? *container : view;
}

double zoomOutRatio(const NSView& view) {
    const auto* answers = answersOf(view);
    return answers ? answers->zoomOutRatio() : NSViewCanvasAnswers().zoomOutRatio();
}

double zoomInRatio(const NSView& view) {
    const auto* answers = answersOf(view);
    return answers ? answers->zoomInRatio() : NSViewCanvasAnswers().zoomInRatio();
}

double zoomScale(const NSView& view) {
    const double frameWidth = view.frame().size.width;
    const double boundsWidth = view.bounds().size.width;
    if (!(frameWidth > 0) || !(boundsWidth > 0)) return 1.0;
    return frameWidth / boundsWidth;
}

void setZoomScale_lockPoint(NSView& view, double scale, CGPoint lockPoint) {
    if (std::isnan(scale) || std::isnan(lockPoint.x) || std::isnan(lockPoint.y)) return;
    if (!allowZoom(view)) return;
    if (const auto zoomed = zoomedBounds(view.bounds(), view.frame().size, scale, lockPoint))
        view.setBounds(*zoomed);
}

void setZoomScale(NSView& view, double scale) {
    setZoomScale_lockPoint(view, scale, CGRectCenter(view.bounds()));
}

void panTo(NSView& view, CGPoint origin) {
    if (zoomScale(view) <= 1) origin = CGPointIntegral(origin);
    view.setBoundsOrigin(origin);
}

void panByX_y(NSView& view, double dx, double dy) {
    const double zoom = zoomScale(view);
    const CGPoint origin = view.bounds().origin;
    panTo(view, CGPointMake(origin.x - dx / zoom, origin.y - dy / zoom));
}

CGRect boundsRectCenteredAt_zoomed(const NSView& view, CGRect rect, bool zoomed) {
    CGRect centred = view.bounds();
    centred.origin =
        CGPointMake(std::round(rect.origin.x - (centred.size.width - rect.size.width) * 0.5),
                    std::round(rect.origin.y - (centred.size.height - rect.size.height) * 0.5));
    if (!zoomed || !allowZoom(view)) return centred;
    const CGSize frameSize = view.frame().size;
    const double scale =
        std::min(frameSize.width / rect.size.width, frameSize.height / rect.size.height);
    const CGPoint centre = CGRectCenter(centred);
    if (std::isnan(scale) || std::isnan(centre.x) || std::isnan(centre.y)) return centred;
    return zoomedBounds(centred, frameSize, scale, centre).value_or(centred);
}

void centerRect_zoom(NSView& view, CGRect rect, bool zoomed) {
    view.setBounds(boundsRectCenteredAt_zoomed(view, rect, zoomed));
}

void autoPanWithPoint_inset(NSView& view, CGPoint point, NSEdgeInsets insets) {
    const auto window = view.window();
    const auto screen = window ? window->screen() : std::nullopt;
    if (!screen) return;
    const CGRect area = CGRectApplyInsets(
        window->convertRectToScreen(view.convertRect_toView(view.bounds(), nullptr)), insets);
    const CGRect shown = CGRectIntersection(area, CGRectInset(screen->frame, 30, 30));
    // The view is wholly off the screen: there is no edge to pan towards.
    if (CGRectIsNull(shown)) return;
    const CGRect edges = window->convertRectFromScreen(shown);
    const CGPoint q = view.convertPoint_toView(point, nullptr);
    const double dx =
        0.25 * std::max(CGRectGetMinX(edges) - q.x, std::min(0.0, CGRectGetMaxX(edges) - q.x));
    const double dy =
        0.25 * std::min(std::max(q.y - CGRectGetMaxY(edges), 0.0), q.y - CGRectGetMinY(edges));
    panByX_y(view, std::clamp(dx, -20.0, 20.0), std::clamp(dy, -20.0, 20.0));
}

CGRect boxSelect(NSView& view, NSEdgeInsets insets) {
    const auto window = view.window();
    if (!window) return CGRectNull;
    const CGPoint start = mouseLocationInView(view, *window);
    CGPoint current = start;
    NSView& container = containerViewForBoxSelectHighlight(view);
    const auto highlight = makeSelectionHighlight();
    container.addSubview(highlight);

    NSEvent::stopPeriodicEvents();
    NSEvent::startPeriodicEventsAfterDelay_withPeriod(0.1, 0.02);
    while (const auto event = nextTrackingEvent(kBoxSelectEventMask)) {
        if (endsTracking(event)) break;
        const NSEventType type = event->type();
        if (type != NSEventTypePeriodic && type != NSEventTypeLeftMouseDragged) continue;
        current = mouseLocationInView(view, *window);
        if (type == NSEventTypePeriodic) autoPanWithPoint_inset(view, current, insets);
        highlight->setFrame(container.convertRect_fromView(
            CGRectIntegral(CGRectContainingPoints(start, current)), &view));
    }
    NSEvent::stopPeriodicEvents();
    highlight->removeFromSuperview();
    return CGRectIntegral(CGRectContainingPoints(start, current));
}

void handleInteractiveZoom(NSView& view) {
    const auto window = view.window();
    if (!window) return;
    const bool zooming = modifierPressed(NSEventModifierFlagCommand | NSEventModifierFlagOption);
    NSCursor::closedHandCursor().push();
    bool dragged = false;
    while (const auto event = nextTrackingEvent(kInteractiveZoomEventMask)) {
        if (endsTracking(event)) break;
        if (event->type() != NSEventTypeLeftMouseDragged) continue;
        dragged = true;
        if (zooming) {
            setZoomScale(view, zoomScale(view) * std::max(event->deltaX() / 50 + 1, 0.01));
        } else {
            window->invalidateCursorRectsForView(view);
            panByX_y(view, event->deltaX(), event->deltaY());
        }
    }
    if (!dragged) {
        if (modifierPressed(NSEventModifierFlagOption))
            setZoomScale(view, zoomScale(view) * zoomOutRatio(view));
        else if (modifierPressed(NSEventModifierFlagCommand))
            setZoomScale(view, zoomScale(view) * zoomInRatio(view));
    }
    NSCursor::pop();
}

bool mouseInBounds(const NSView& view) {
    const auto window = view.window();
    if (!window) return false;
    return CGRectContainsPoint(view.bounds(), mouseLocationInView(view, *window));
}

bool mouseDirectlyOver(const NSView& view) {
    if (!mouseInBounds(view)) return false;
    return NSApplication::sharedApplication().windowAtScreenPoint(NSEvent::mouseLocation()) ==
           view.window();
}

CGRect convertRect_fromViewInDifferentWindow(const NSView& view, CGRect rect, const NSView& other) {
    const auto window = view.window();
    const auto otherWindow = other.window();
    if (!window || !otherWindow) return CGRectNull;
    const CGRect onScreen =
        otherWindow->convertRectToScreen(other.convertRect_toView(rect, nullptr));
    return view.convertRect_fromView(window->convertRectFromScreen(onScreen), nullptr);
}

CGPoint convertPoint_fromViewInDifferentWindow(const NSView& view, CGPoint point,
                                               const NSView& other) {
    return convertRect_fromViewInDifferentWindow(view, CGRect{point, CGSizeZero}, other).origin;
}
