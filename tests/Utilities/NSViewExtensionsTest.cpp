#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "NSApplication.h"
#include "NSCursor.h"
#include "NSView+extensions.h"
#include "NSWindow.h"
#include "TestViews.h"
#include "TestWindowServer.h"
#include "ZRGeometry.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A canvas, flipped unless asked otherwise, that zooms unless told not to and places the box
// selection's highlight in the container it is given (itself by default).
class CanvasView : public test::TestView, public NSViewCanvasAnswers {
  public:
    explicit CanvasView(CGRect frame, bool flipped = true) : TestView(frame, flipped) {}
    bool allowZoom() const override { return zoomable; }
    NSView* containerViewForBoxSelectHighlight() override { return container; }
    bool zoomable = true;
    NSView* container = nullptr;
};

std::shared_ptr<CanvasView> canvas(CGRect frame, CGRect bounds, bool flipped = true) {
    auto view = std::make_shared<CanvasView>(frame, flipped);
    view->setBounds(bounds);
    return view;
}

bool near(CGRect a, CGRect b) {
    constexpr double tolerance = 1e-9;
    return std::abs(a.origin.x - b.origin.x) < tolerance &&
           std::abs(a.origin.y - b.origin.y) < tolerance &&
           std::abs(a.size.width - b.size.width) < tolerance &&
           std::abs(a.size.height - b.size.height) < tolerance;
}

}  // namespace

// A view without the canvas answers does not allow zooming: it keeps its bounds.
TEST(CanvasZoom, ViewThatDoesNotZoomKeepsItsScale) {
    NSView plain(CGRectMake(0, 0, 200, 200));
    plain.setBounds(CGRectMake(0, 0, 100, 100));
    setZoomScale_lockPoint(plain, 4, CGPointMake(10, 10));
    EXPECT_EQ(plain.bounds(), CGRectMake(0, 0, 100, 100));
}

// The lock point keeps its place in the frame; the scale stays within 0.01 … 6400. Zoomed out (a
// requested scale of 1 or less) the origin lands on whole points, halves away from zero; zoomed in
// it stays where the arithmetic puts it. A scale or point that is not a number, or bounds of no
// width (no proportion to keep), change nothing.
TEST(CanvasZoom, LockPointKeepsItsPlace) {
    const struct {
        const char* name;
        CGSize frame;
        CGRect bounds;
        double scale;
        CGPoint lock;
        CGRect expected;
    } cases[] = {
        // clang-format off
        {"about the centre", {200, 200}, {0, 0, 100, 100}, 4, {50, 50}, {25, 25, 50, 50}},
        {"about an edge", {200, 200}, {0, 0, 100, 100}, 4, {100, 20}, {50, 10, 50, 50}},
        {"each axis its own", {200, 100}, {10, -20, 100, 50}, 8, {60, 5}, {47.5, -1.25, 25, 12.5}},
        {"zoomed in, a half", {100, 100}, {0, 0, 100, 100}, 2, {15, 15}, {7.5, 7.5, 50, 50}},
        {"a half up", {100, 100}, {50, 50, 100, 100}, 0.5, {62.5, 62.5}, {38, 38, 200, 200}},
        {"a half down", {100, 100}, {-10, -10, 100, 100}, 0.5, {2.5, 2.5}, {-23, -23, 200, 200}},
        {"at 1", {100, 100}, {0.25, 0, 50, 50}, 1, {25.25, 25}, {-25, -25, 100, 100}},
        {"at most 6400", {200, 200}, {0, 0, 100, 100}, kInfinity, {50, 50}, {49.984375, 49.984375, 0.03125, 0.03125}},
        {"at least 0.01", {200, 200}, {0, 0, 100, 100}, -5, {50, 50}, {-9950, -9950, 20000, 20000}},
        {"scale NaN", {200, 200}, {0, 0, 100, 100}, kNaN, {50, 50}, {0, 0, 100, 100}},
        {"x NaN", {200, 200}, {0, 0, 100, 100}, 2, {kNaN, 50}, {0, 0, 100, 100}},
        {"y NaN", {200, 200}, {0, 0, 100, 100}, 2, {50, kNaN}, {0, 0, 100, 100}},
        {"x infinite", {200, 200}, {0, 0, 100, 100}, 2, {kInfinity, 50}, {0, 0, 100, 100}},
        {"no width", {200, 200}, {0, 0, 0, 100}, 2, {0, 50}, {0, 0, 0, 100}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto view = canvas({CGPointZero, c.frame}, c.bounds);
        setZoomScale_lockPoint(*view, c.scale, c.lock);
        EXPECT_TRUE(near(view->bounds(), c.expected)) << view->bounds();
    }
}

// Panning moves the origin back by the distance over the zoom; at a zoom of 1 or less the origin
// lands on whole points, halves away from zero.
TEST(CanvasPan, OriginMovesBackByTheDistanceOverTheZoom) {
    const struct {
        const char* name;
        double frameWidth;  // over the bounds' 100
        bool by;
        CGPoint argument, expected;
    } cases[] = {
        {"to, at 1", 100, false, {3.5, -2.5}, {4, -3}},
        {"to, zoomed out", 50, false, {3.5, -2.5}, {4, -3}},
        {"to, zoomed in", 200, false, {3.5, -2.5}, {3.5, -2.5}},
        {"by, zoomed in", 200, true, {4, -6}, {8, 13}},
        {"by, zoomed out", 50, true, {3, 1}, {4, 8}},
        {"by, at 1, rounded", 100, true, {0.5, -0.5}, {10, 11}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto view = canvas(CGRectMake(0, 0, c.frameWidth, 100), CGRectMake(10, 10, 100, 100));
        if (c.by)
            panByX_y(*view, c.argument.x, c.argument.y);
        else
            panTo(*view, c.argument);
        EXPECT_EQ(view->bounds().origin, c.expected);
    }
}

// Centring keeps the bounds' size and rounds the origin, halves away from zero; asked to zoom (and
// allowed), it also fits the rectangle to the frame about its centre, on whole points when that
// zooms out.
TEST(CanvasCentring, CentresAndFits) {
    const struct {
        const char* name;
        CGRect bounds, rect;
        bool zoomed, zoomable;
        CGRect expected;
    } cases[] = {
        {"centred", {0, 0, 100, 80}, {200, 300, 20, 10}, false, true, {160, 265, 100, 80}},
        {"halves", {0, 0, 100, 80}, {10.5, 0, 20, 10}, false, true, {-30, -35, 100, 80}},
        {"zoomed in, kept", {0, 0, 50, 40}, {200, 300, 20, 10}, false, true, {185, 285, 50, 40}},
        {"fitted", {0, 0, 100, 80}, {200, 300, 20, 10}, true, true, {200, 297, 20, 16}},
        {"not allowed", {0, 0, 100, 80}, {200, 300, 20, 10}, true, false, {160, 265, 100, 80}},
        {"zoomed out", {0, 0, 100, 80}, {0, 0, 301, 161}, true, true, {1, -39, 301, 240.8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto view = canvas(CGRectMake(0, 0, 100, 80), c.bounds);
        view->zoomable = c.zoomable;
        centerRect_zoom(*view, c.rect, c.zoomed);
        EXPECT_TRUE(near(view->bounds(), c.expected)) << view->bounds();
    }
}

namespace {

// A window of 400 × 300 at (100, 100) on a screen of 1000 × 800, its content a flipped canvas
// at zoom 1.
class CanvasInWindow : public ::testing::Test {
  protected:
    void SetUp() override { window->setContentView(view); }

    std::shared_ptr<NSEvent> mouse(NSEventType type, CGPoint inWindow,
                                   NSEventModifierFlags flags = 0, CGFloat dx = 0,
                                   CGFloat dy = 0) const {
        return NSEvent::mouseEventWithType(type, inWindow, flags, window, dx, dy);
    }
    // Where the press that starts a tracking loop left the mouse and the keyboard.
    void pressAt(CGPoint inWindow, NSEventModifierFlags flags = 0) const {
        NSEvent::setCurrentMouseLocation(window->convertPointToScreen(inWindow));
        NSEvent::setCurrentModifierFlags(flags);
    }
    void post(std::shared_ptr<NSEvent> event) const {
        NSApplication::sharedApplication().postEvent_atStart(std::move(event), false);
    }
    // The window system posts the event the next time the application waits.
    void deliver(std::shared_ptr<NSEvent> event) const {
        server->deliverOnWait([this, event] { post(event); });
    }
    // The user moves the pressed mouse: the window system reports where the pointer is and posts
    // the drag. (Box selection leaves drags queued and reads the pointer on its periodic events.)
    void deliverDragTo(CGPoint inWindow) const {
        server->deliverOnWait([this, inWindow] {
            NSEvent::setCurrentMouseLocation(window->convertPointToScreen(inWindow));
            post(mouse(NSEventTypeLeftMouseDragged, inWindow));
        });
    }
    std::shared_ptr<NSEvent> nextQueued() const {
        return NSApplication::sharedApplication().nextEventMatchingMask_untilDate_inMode_dequeue(
            NSEventMaskAny, NSRunLoopDistantFuture, NSDefaultRunLoopMode, true);
    }

    std::shared_ptr<test::TestWindowServer> server =
        std::make_shared<test::TestWindowServer>(CGRectMake(0, 0, 1000, 800));
    test::ScopedApplication scoped{server};
    std::shared_ptr<NSWindow> window =
        NSWindow::initWithContentRect(CGRectMake(100, 100, 400, 300));
    std::shared_ptr<CanvasView> view =
        canvas(CGRectMake(0, 0, 400, 300), CGRectMake(0, 0, 400, 300));
};

}  // namespace

// Outside the visible area the view pans towards the point by a quarter of the distance, at most
// 20 screen points an axis; inside it does not move. The area is the view on the screen, less the
// insets and a margin of 30 points along the screen's edges.
TEST_F(CanvasInWindow, AutoPanTowardsThePoint) {
    const struct {
        const char* name;
        CGPoint point;  // in the view
        CGPoint expected;
        bool flipped = false;
        CGRect windowFrame = CGRectMake(100, 100, 400, 300);
        CGSize boundsSize = CGSizeMake(400, 300);
        NSEdgeInsets insets{};
    } cases[] = {
        // clang-format off
        {.name = "inside", .point = {200, 150}, .expected = {0, 0}},
        {.name = "left of it", .point = {-20, 150}, .expected = {-5, 0}},
        {.name = "right of it", .point = {440, 150}, .expected = {10, 0}},
        {.name = "above it", .point = {200, 340}, .expected = {0, -10}},
        {.name = "below it", .point = {200, -8}, .expected = {0, 2}},
        {.name = "far up and left", .point = {-1000, 5000}, .expected = {-20, -20}},
        {.name = "far down and right", .point = {2000, -2000}, .expected = {20, 20}},
        {.name = "insets", .point = {364, 4}, .expected = {1, 1}, .insets = {8, 20, 0, 40}},
        {.name = "margin", .point = {10, 10}, .expected = {-5, 5}, .windowFrame = {0, 0, 400, 300}},
        // Above the view is below its bounds' origin.
        {.name = "flipped", .point = {200, -40}, .expected = {0, -10}, .flipped = true},
        // 20 screen points are 10 of the view's.
        {.name = "zoomed in", .point = {-1000, 75}, .expected = {-10, 0}, .boundsSize = {200, 150}},
        // No screen under the window: no edge to pan towards.
        {.name = "off the screens", .point = {-1000, -1000}, .expected = {0, 0}, .windowFrame = {5000, 5000, 400, 300}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window->setFrame(c.windowFrame);
        const auto pannable =
            canvas(CGRectMake(0, 0, 400, 300), {CGPointZero, c.boundsSize}, c.flipped);
        window->setContentView(pannable);
        autoPanWithPoint_inset(*pannable, c.point, c.insets);
        EXPECT_EQ(pannable->bounds().origin, c.expected);
    }
}

// Without a window server there are no screens, so no edge to pan towards.
TEST_F(CanvasInWindow, AutoPanNeedsAScreen) {
    NSApplication::sharedApplication().setWindowServer(nullptr);
    autoPanWithPoint_inset(*view, CGPointMake(-1000, -1000), {});
    EXPECT_EQ(view->bounds().origin, CGPointZero);
}

TEST_F(CanvasInWindow, BoxSelectReleasedWithoutMovingIsTheStartPoint) {
    pressAt({50, 100});
    post(mouse(NSEventTypeLeftMouseUp, {50, 100}));
    EXPECT_EQ(boxSelect(*view, {}), CGRectMake(50, 200, 0, 0));
    EXPECT_TRUE(view->subviews().empty());
}

// During the drag the highlight shows the selection, on whole points of the selecting view, in
// the container's coordinates; it goes away when the button is released.
TEST_F(CanvasInWindow, BoxSelectHighlightsTheRectangle) {
    // Flipped in the flipped content at (100, 50), zoom 2: window (100 + 2x, 250 − 2y).
    const auto selecting = canvas(CGRectMake(100, 50, 200, 200), CGRectMake(0, 0, 100, 100));
    selecting->container = view.get();
    view->addSubview(selecting);
    std::optional<CGRect> highlighted;
    pressAt({120, 230});
    deliverDragTo({181, 130});
    server->letTimePass();  // a periodic event reads the pointer
    server->deliverOnWait([&] {
        for (const auto& shown : view->subviews())
            if (shown != selecting) highlighted = shown->frame();
    });
    deliver(mouse(NSEventTypeLeftMouseUp, {181, 130}));

    EXPECT_EQ(boxSelect(*selecting, {}), CGRectMake(10, 10, 31, 50));
    ASSERT_TRUE(highlighted.has_value());
    EXPECT_EQ(*highlighted, CGRectMake(120, 70, 62, 100));
    EXPECT_EQ(view->subviews().size(), 1u);
}

// Dragged beyond the left edge, every periodic event pans by the most there is, 20 points.
TEST_F(CanvasInWindow, BoxSelectPansNearTheEdges) {
    pressAt({200, 150});
    deliverDragTo({-300, 150});
    server->letTimePass();
    server->letTimePass();
    deliver(mouse(NSEventTypeLeftMouseUp, {-300, 150}));

    const CGRect selected = boxSelect(*view, {});
    const CGPoint origin = view->bounds().origin;
    EXPECT_LE(origin.x, -40);
    EXPECT_EQ(std::fmod(origin.x, 20), 0);
    EXPECT_EQ(origin.y, 0);
    EXPECT_EQ(CGRectGetMaxX(selected), 200);
    EXPECT_EQ(selected.size.height, 0);
}

// An AppKit-defined event goes to the application; when it says the application was deactivated,
// the loop ends at once, leaving later events queued. Keys and other AppKit-defined events do not
// end it.
TEST_F(CanvasInWindow, DeactivationEndsEitherLoop) {
    const struct {
        const char* name;
        std::function<void()> run;
    } loops[] = {
        {"box selection", [&] { boxSelect(*view, {}); }},
        {"interactive zoom", [&] { handleInteractiveZoom(*view); }},
    };
    for (const auto& loop : loops) {
        SCOPED_TRACE(loop.name);
        post(NSEvent::keyEventWithCharacters("x", 0, window));
        post(NSEvent::otherEventWithType(NSEventTypeAppKitDefined,
                                         NSEventSubtypeApplicationActivated, window));
        post(NSEvent::otherEventWithType(NSEventTypeAppKitDefined,
                                         NSEventSubtypeApplicationDeactivated, window));
        post(mouse(NSEventTypeLeftMouseUp, {1, 1}));
        loop.run();
        ASSERT_EQ(NSApplication::sharedApplication().queuedEventCount(), 1u);
        EXPECT_EQ(nextQueued()->type(), NSEventTypeLeftMouseUp);
        EXPECT_TRUE(view->subviews().empty());
        EXPECT_EQ(NSCursor::currentCursor().name(), "arrowCursor");
    }
}

// With Command or Option held the loop zooms: a click steps out with Option (which wins) and in
// with Command, each drag scales by its delta x ÷ 50 + 1 (never below 0.01) about the centre.
// Without them it pans by each drag's deltas over the zoom.
TEST_F(CanvasInWindow, InteractiveZoomAndPan) {
    constexpr NSEventModifierFlags option = NSEventModifierFlagOption;
    constexpr NSEventModifierFlags command = NSEventModifierFlagCommand;
    const struct {
        const char* name;
        NSEventModifierFlags flags;
        std::vector<CGPoint> drags;  // deltas
        double zoom;
        CGPoint centre;
        bool zoomable = true;
    } cases[] = {
        {"Option click zooms out", option, {}, 1.4, {100, 75}},
        {"Command click zooms in", command, {}, 2.6, {100, 75}},
        {"Option wins over Command", option | command, {}, 1.4, {100, 75}},
        {"a plain click does nothing", 0, {}, 2, {100, 75}},
        {"Option drags zoom event by event", option, {{25, 0}, {-10, 0}}, 2.4, {100, 75}},
        {"Command drags zoom too", command, {{25, 3}}, 3, {100, 75}},
        {"a long drag left zooms by 0.01", option, {{-100, 0}}, 0.02, {100, 75}},
        {"plain drags pan", 0, {{10, -6}, {4, 0}}, 2, {93, 78}},
        {"a canvas that does not zoom", option, {}, 2, {100, 75}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view->setBounds(CGRectMake(0, 0, 200, 150));
        view->zoomable = c.zoomable;
        pressAt({200, 150}, c.flags);
        for (const CGPoint delta : c.drags)
            deliver(mouse(NSEventTypeLeftMouseDragged, {200, 150}, c.flags, delta.x, delta.y));
        deliver(mouse(NSEventTypeLeftMouseUp, {200, 150}, c.flags));
        handleInteractiveZoom(*view);
        EXPECT_EQ(server->inputsLeft(), 0u);
        EXPECT_NEAR(zoomScale(*view), c.zoom, 1e-9);
        const CGPoint centre = CGRectCenter(view->bounds());
        EXPECT_NEAR(centre.x, c.centre.x, 1e-9);
        EXPECT_NEAR(centre.y, c.centre.y, 1e-9);
    }
}

// The closed hand shows for the whole loop (and again when a pan refreshes the cursor areas);
// afterwards the cursor that was showing before comes back.
TEST_F(CanvasInWindow, InteractiveZoomHoldsTheClosedHand) {
    NSCursor::crosshairCursor().push();
    pressAt({200, 150});
    deliver(mouse(NSEventTypeLeftMouseDragged, {200, 150}, 0, 10, 0));
    deliver(mouse(NSEventTypeLeftMouseUp, {200, 150}));
    handleInteractiveZoom(*view);
    EXPECT_EQ(server->cursorsShown(),
              (std::vector<std::string>{"crosshairCursor", "closedHandCursor", "closedHandCursor",
                                        "crosshairCursor"}));
    EXPECT_EQ(NSCursor::currentCursor().name(), "crosshairCursor");
    NSCursor::pop();
}

// A view without a window has no mouse to follow: the loops take nothing from the queue.
TEST_F(CanvasInWindow, WithoutAWindowNothingIsTracked) {
    const auto loose = canvas(CGRectMake(0, 0, 100, 100), CGRectMake(0, 0, 100, 100));
    post(mouse(NSEventTypeLeftMouseUp, {1, 1}));
    EXPECT_TRUE(CGRectIsNull(boxSelect(*loose, {})));
    handleInteractiveZoom(*loose);
    EXPECT_EQ(NSApplication::sharedApplication().queuedEventCount(), 1u);
    EXPECT_TRUE(server->cursorsShown().empty());
    EXPECT_FALSE(mouseInBounds(*loose));
    EXPECT_FALSE(mouseDirectlyOver(*loose));
}

// In the bounds of a view in the lower left of the first window; the second window overlaps it
// until the first comes to the front.
TEST_F(CanvasInWindow, MouseOverTheViewAmongOverlappingWindows) {
    // Window (0, 0) to (200, 150), zoomed and panned.
    const auto inner = canvas(CGRectMake(0, 150, 200, 150), CGRectMake(50, 50, 100, 75));
    view->addSubview(inner);
    const auto front = NSWindow::initWithContentRect(CGRectMake(250, 150, 400, 300));
    window->makeKeyAndOrderFront();
    front->makeKeyAndOrderFront();
    const struct {
        const char* name;
        CGPoint onScreen;
        bool inBounds, directlyOver;
    } cases[] = {
        {"over the view only", {120, 120}, true, true},
        {"under the front window", {280, 200}, true, false},
        {"in the window beside the view", {350, 120}, false, false},
        {"in the front window only", {600, 400}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NSEvent::setCurrentMouseLocation(c.onScreen);
        EXPECT_EQ(mouseInBounds(*inner), c.inBounds);
        EXPECT_EQ(mouseDirectlyOver(*inner), c.directlyOver);
    }
    window->makeKeyAndOrderFront();
    NSEvent::setCurrentMouseLocation({280, 200});
    EXPECT_TRUE(mouseDirectlyOver(*inner));
}

// Through the screen: the flipped content of the first window and a zoomed view of a second
// window elsewhere; none unless both views have windows.
TEST_F(CanvasInWindow, ConvertsBetweenViewsOfDifferentWindows) {
    const auto other = NSWindow::initWithContentRect(CGRectMake(600, 50, 300, 200));
    const auto zoomed =
        canvas(CGRectMake(10, 20, 100, 100), CGRectMake(0, 0, 50, 50), /*flipped=*/false);
    other->contentView()->addSubview(zoomed);

    EXPECT_EQ(convertPoint_fromViewInDifferentWindow(*zoomed, {10, 20}, *view),
              CGPointMake(-250, 155));
    EXPECT_EQ(convertPoint_fromViewInDifferentWindow(*view, {-250, 155}, *zoomed),
              CGPointMake(10, 20));
    EXPECT_EQ(convertRect_fromViewInDifferentWindow(*zoomed, CGRectMake(10, 20, 30, 40), *view),
              CGRectMake(-250, 135, 15, 20));

    const auto loose = canvas(CGRectMake(0, 0, 10, 10), CGRectMake(0, 0, 10, 10));
    EXPECT_TRUE(CGRectIsNull(convertRect_fromViewInDifferentWindow(*view, CGRectZero, *loose)));
    EXPECT_TRUE(CGRectIsNull(convertRect_fromViewInDifferentWindow(*loose, CGRectZero, *view)));
    EXPECT_TRUE(std::isinf(convertPoint_fromViewInDifferentWindow(*view, {1, 1}, *loose).x));
}
