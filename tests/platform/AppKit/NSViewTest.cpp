// Views in a window: conversions, hit-testing, resizing, mouse events and layer drawing.

#include <gtest/gtest.h>

#include <vector>

#include "../CoreGraphics/ContextTestSupport.h"
#include "NSApplication.h"
#include "NSWindow.h"
#include "TestViews.h"
#include "TestWindowServer.h"

using test::TestView;

namespace {

std::shared_ptr<TestView> addView(NSView& superview, CGRect frame, bool flipped,
                                  CGRect bounds = CGRectNull) {
    auto view = std::make_shared<TestView>(frame, flipped);
    if (!CGRectIsNull(bounds)) view->setBounds(bounds);
    superview.addSubview(view);
    return view;
}

// A window of 400 × 300 whose content holds, drawn from the top down:
//   a: flipped, at (50, 40) 200 × 100;
//   b in a: unflipped, at (20, 10) 100 × 60, showing (10, 5) 50 × 30 (zoom 2);
//   c in b: flipped, at (5, 5) 20 × 10, showing 40 × 20 (zoom 0.5);
//   d in a, over b: flipped, at (100, 50) 50 × 40, panned to (−10, 0).
class NSViewTree : public ::testing::Test {
  protected:
    std::shared_ptr<NSWindow> window = NSWindow::initWithContentRect(CGRectMake(0, 0, 400, 300));
    NSView& content = *window->contentView();
    std::shared_ptr<TestView> a = addView(content, CGRectMake(50, 40, 200, 100), true);
    std::shared_ptr<TestView> b =
        addView(*a, CGRectMake(20, 10, 100, 60), false, CGRectMake(10, 5, 50, 30));
    std::shared_ptr<TestView> c =
        addView(*b, CGRectMake(5, 5, 20, 10), true, CGRectMake(0, 0, 40, 20));
    std::shared_ptr<TestView> d =
        addView(*a, CGRectMake(100, 50, 50, 40), true, CGRectMake(-10, 0, 50, 40));
};

// Notes the mouse and key events it receives.
class RecordingView : public NSView {
  public:
    using NSView::NSView;
    std::vector<NSEventType> received;
    void mouseDown(const NSEvent& e) override { received.push_back(e.type()); }
    void mouseDragged(const NSEvent& e) override { received.push_back(e.type()); }
    void mouseUp(const NSEvent& e) override { received.push_back(e.type()); }
    void mouseMoved(const NSEvent& e) override { received.push_back(e.type()); }
    void keyDown(const NSEvent& e) override { received.push_back(e.type()); }
};

}  // namespace

// Each point, worked out by hand through every view up to the window, and back. A rectangle
// converts as its corners, so a flip turns its lower edge into its upper one.
TEST_F(NSViewTree, PointsAndRectanglesConvertThroughTheWindow) {
    const struct {
        const char* name;
        const NSView* view;
        CGPoint inView, inWindow;
    } cases[] = {
        {"content", &content, {3, 4}, {3, 4}},
        {"flipped in unflipped", a.get(), {10, 20}, {60, 120}},
        {"zoomed unflipped in flipped", b.get(), {20, 15}, {90, 90}},
        {"flipped, zoomed out, in unflipped", c.get(), {8, 4}, {68, 86}},
        {"flipped in flipped, panned", d.get(), {0, 10}, {160, 80}},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ(t.view->convertPoint_toView(t.inView, nullptr), t.inWindow);
        EXPECT_EQ(t.view->convertPoint_fromView(t.inWindow, nullptr), t.inView);
    }
    EXPECT_EQ(c->convertPoint_toView({8, 4}, d.get()), CGPointMake(-92, 4));
    EXPECT_EQ(d->convertPoint_fromView({8, 4}, c.get()), CGPointMake(-92, 4));
    EXPECT_EQ(a->convertRect_toView(CGRectMake(10, 20, 30, 40), nullptr),
              CGRectMake(60, 80, 30, 40));
    EXPECT_EQ(b->convertRect_toView(CGRectMake(10, 5, 5, 5), nullptr), CGRectMake(70, 70, 10, 10));
    EXPECT_EQ(c->convertRect_fromView(CGRectMake(5, 10, 10, 5), b.get()), CGRectMake(0, 0, 20, 10));
    EXPECT_EQ(d->convertRect_fromView(CGRectMake(60, 80, 30, 40), nullptr),
              CGRectMake(-100, -30, 30, 40));
}

// The deepest view under a point of the window, the later of two overlapping siblings on top.
TEST_F(NSViewTree, HitTestFindsTheDeepestView) {
    const struct {
        const char* name;
        CGPoint inWindow;
        const NSView* expected;
    } cases[] = {
        {"through a flip and both zooms", {90, 86}, c.get()},
        {"in c but outside what b shows", {68, 86}, a.get()},
        {"in b only where the flip puts it", {150, 125}, b.get()},
        {"where d lies over b", {160, 80}, d.get()},
        {"in a outside its subviews", {60, 120}, a.get()},
        {"in the content only", {300, 250}, &content},
        {"outside the window's content", {500, 10}, nullptr},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ(content.hitTest(t.inWindow), t.expected);
    }
}

// A new frame size changes the bounds in proportion, keeping the zoom on each axis and the
// origin; a view that had no size takes the frame's.
TEST(NSView, NewFrameKeepsTheZoom) {
    NSView view(CGRectMake(0, 0, 100, 50));
    view.setBounds(CGRectMake(10, 20, 50, 25));
    view.setFrame(CGRectMake(5, 5, 300, 100));
    EXPECT_EQ(view.bounds(), CGRectMake(10, 20, 150, 50));
    view.setFrameSize(CGSizeMake(50, 50));
    EXPECT_EQ(view.bounds(), CGRectMake(10, 20, 25, 25));

    NSView empty;
    empty.setFrame(CGRectMake(7, 8, 30, 40));
    EXPECT_EQ(empty.bounds(), CGRectMake(0, 0, 30, 40));
}

// The view that took the press gets the drags and the release wherever the mouse goes; other
// mouse events go to the view under the mouse, keys to the first responder.
TEST(NSWindow, PressedViewKeepsTheDragsAndTheRelease) {
    test::ScopedApplication scoped;
    const auto window = NSWindow::initWithContentRect(CGRectMake(0, 0, 100, 100));
    const auto left = std::make_shared<RecordingView>(CGRectMake(0, 0, 50, 100));
    const auto right = std::make_shared<RecordingView>(CGRectMake(50, 0, 50, 100));
    window->contentView()->addSubview(left);
    window->contentView()->addSubview(right);
    const auto send = [&](NSEventType type, CGPoint location) {
        NSApplication::sharedApplication().sendEvent(
            NSEvent::mouseEventWithType(type, location, 0, window));
    };
    send(NSEventTypeLeftMouseDown, {10, 10});
    send(NSEventTypeLeftMouseDragged, {70, 10});
    send(NSEventTypeLeftMouseUp, {70, 10});
    send(NSEventTypeMouseMoved, {70, 10});
    ASSERT_TRUE(window->makeFirstResponder(right));
    NSApplication::sharedApplication().sendEvent(NSEvent::keyEventWithCharacters("k", 0, window));

    EXPECT_EQ(left->received,
              (std::vector<NSEventType>{NSEventTypeLeftMouseDown, NSEventTypeLeftMouseDragged,
                                        NSEventTypeLeftMouseUp}));
    EXPECT_EQ(right->received,
              (std::vector<NSEventType>{NSEventTypeMouseMoved, NSEventTypeKeyDown}));
}

// A layer's background fills the view's frame under its content and subviews, its border lies
// inside the frame over them, and subviews are clipped to the frame. The panel is flipped and
// zoomed, so its subviews land from its top edge at twice their size.
TEST(NSView, LayerBackgroundAndBorderDrawWhereTheyBelong) {
    using namespace ContextTestSupport;
    const auto window = NSWindow::initWithContentRect(CGRectMake(0, 0, 120, 100));
    const auto panel =
        addView(*window->contentView(), CGRectMake(10, 20, 80, 60), true, CGRectMake(0, 0, 40, 30));
    const auto paint = [](NSView& view, CGColorRef background) {
        view.setWantsLayer(true);
        view.layer()->backgroundColor = std::move(background);
    };
    paint(*panel, deviceColor(1, 0, 0));
    panel->layer()->borderWidth = 4;
    panel->layer()->borderColor = deviceColor(0, 1, 0);
    // Window (10, 70) to (30, 80).
    paint(*addView(*panel, CGRectMake(0, 0, 10, 5), false), deviceColor(0, 0, 1));
    // Window (80, −10) to (120, 30), of which (80, 20) to (90, 30) is inside the panel.
    paint(*addView(*panel, CGRectMake(35, 25, 20, 20), false), deviceColor(1, 1, 1));

    const auto context = nativeContext(120, 100);
    window->displayInContext(context);
    const struct {
        const char* name;
        int x, y;
        RGBA expected;
    } probes[] = {
        {"background", 50, 50, kRed},
        {"left border", 11, 50, kGreen},
        {"top border", 50, 78, kGreen},
        {"border over a subview", 12, 72, kGreen},
        {"first subview", 20, 72, kBlue},
        {"second subview, inside", 83, 27, kWhite},
        {"second subview, clipped", 100, 10, kClear},
        {"outside the panel", 5, 5, kClear},
    };
    for (const auto& p : probes) {
        SCOPED_TRACE(p.name);
        EXPECT_TRUE(near(pixelUp(context, p.x, p.y), p.expected, 1))
            << pixelUp(context, p.x, p.y) << " for " << p.expected;
    }
}
