#pragma once
// The canvas extension of views: any view with a frame and bounds becomes a zoomable, pannable
// canvas. Zoom is frame width ÷ bounds width; panning moves the bounds' origin. The same extension
// runs the mouse-tracking loops of interactive zooming and panning and of box selection (with
// automatic panning near the window's edges), and converts between views of different windows.
// Free functions taking the view first, as this folder's other platform-class extensions are.
//
// A view changes the extension's answers by also deriving from NSViewCanvasAnswers; any other
// view gets the defaults (no zooming, the highlight in the view itself, steps 0.7 and 1.3).

#include "CGGeometry.h"
#include "NSEvent.h"
#include "NSView.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSViewCanvasAnswers {
  public:
    virtual ~NSViewCanvasAnswers() = default;
    // Every zoom operation does nothing while this is false.
    virtual bool allowZoom() const { return false; }
    // Where the box selection's highlight is placed; none means the view itself.
    virtual NSView* containerViewForBoxSelectHighlight() { return nullptr; }
    virtual double zoomOutRatio() const { return 0.7; }
    virtual double zoomInRatio() const { return 1.3; }
};

bool allowZoom(const NSView& view);
NSView& containerViewForBoxSelectHighlight(NSView& view);
double zoomOutRatio(const NSView& view);
double zoomInRatio(const NSView& view);

inline constexpr double kMinimumZoomScale = 0.01;
inline constexpr double kMaximumZoomScale = 6400;

// What the tracking loops take from the queue. Box selection: left mouse down and up, mouse moved,
// key down, AppKit-defined, periodic and scroll wheel events. Interactive zoom: left mouse up and
// dragged, key down and AppKit-defined events.
inline constexpr NSEventMask kBoxSelectEventMask = 0x412426;
inline constexpr NSEventMask kInteractiveZoomEventMask = 0x2444;

// Frame width ÷ bounds width; 1 when either width is not positive.
double zoomScale(const NSView& view);
// Zooms so that the lock point (bounds coordinates) stays where it is on screen. The scale is
// limited to kMinimumZoomScale … kMaximumZoomScale; at a requested scale of 1 or less the origin
// lands on whole points. Nothing happens for a scale or point that is not a number, or when the
// result would not be finite.
void setZoomScale_lockPoint(NSView& view, double scale, CGPoint lockPoint);
// The same about the centre of the bounds.
void setZoomScale(NSView& view, double scale);
// The bounds' origin becomes the point, on whole points while the zoom is 1 or less.
void panTo(NSView& view, CGPoint origin);
// Moves the content by screen points: the origin goes back by the distance ÷ zoom.
void panByX_y(NSView& view, double dx, double dy);

// The bounds moved to centre the rectangle, and when asked (and zooming is allowed) also zoomed
// so that the rectangle fits the frame.
CGRect boundsRectCenteredAt_zoomed(const NSView& view, CGRect rect, bool zoomed);
void centerRect_zoom(NSView& view, CGRect rect, bool zoomed);

// While a drag nears the edge of the view's visible area on the screen: pans towards the point, by
// a quarter of its distance beyond the area, at most 20 points an axis.
void autoPanWithPoint_inset(NSView& view, CGPoint point, NSEdgeInsets insets);

// Runs a box selection from the mouse's location until the button goes up, showing the rectangle
// as a highlight and panning near the edges; answers the rectangle (view coordinates, whole
// points), or the null rectangle when the view has no window.
CGRect boxSelect(NSView& view, NSEdgeInsets insets);

// Runs an interactive pan (no modifier) or zoom (Command or Option) from a mouse-down until the
// button goes up; a click without a drag steps the zoom, out with Option, in with Command.
void handleInteractiveZoom(NSView& view);

// Whether the mouse is over the view's bounds; and whether, besides, no other window lies over it.
bool mouseInBounds(const NSView& view);
bool mouseDirectlyOver(const NSView& view);

// From another view, which may be in another window, through the screen. The null rectangle (the
// origin of the null rectangle for a point) unless both views have windows.
CGRect convertRect_fromViewInDifferentWindow(const NSView& view, CGRect rect, const NSView& other);
CGPoint convertPoint_fromViewInDifferentWindow(const NSView& view, CGPoint point,
                                               const NSView& other);

#pragma GCC visibility pop
