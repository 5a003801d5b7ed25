// The application's event queue, headless: nothing arrives but what a test posts.

#include <gtest/gtest.h>

#include "NSApplication.h"
#include "NSWindow.h"
#include "TestWindowServer.h"

namespace {

NSApplication& application() {
    return NSApplication::sharedApplication();
}

void post(const std::shared_ptr<NSEvent>& event, bool atStart = false) {
    application().postEvent_atStart(event, atStart);
}

std::shared_ptr<NSEvent> next(NSEventMask mask, NSRunLoopDate until = NSRunLoopDistantFuture,
                              const NSRunLoopMode& mode = NSDefaultRunLoopMode,
                              bool dequeue = true) {
    return application().nextEventMatchingMask_untilDate_inMode_dequeue(mask, until, mode, dequeue);
}

std::shared_ptr<NSEvent> drag(const std::shared_ptr<NSWindow>& window, CGPoint location, CGFloat dx,
                              CGFloat dy, NSEventModifierFlags flags = 0) {
    return NSEvent::mouseEventWithType(NSEventTypeLeftMouseDragged, location, flags, window, dx,
                                       dy);
}

std::shared_ptr<NSWindow> someWindow(CGRect frame = CGRectMake(100, 200, 300, 300)) {
    return NSWindow::initWithContentRect(frame);
}

// Posts a mouse-up when the run loop calls it.
class UpPoster : public NSObject {
  public:
    void postUp() {
        post(NSEvent::mouseEventWithType(NSEventTypeLeftMouseUp, CGPointZero, 0, nullptr));
    }
};

}  // namespace

// A tracking loop's mask takes the first event of its kinds and leaves the others, earlier ones
// included, where they were. Headless, nothing else can ever arrive: a loop waiting without limit
// for what is not queued is answered none instead of hanging.
TEST(NSApplicationQueue, MaskLeavesOtherEventsQueued) {
    test::ScopedApplication scoped;
    const auto window = someWindow();
    const auto key = NSEvent::keyEventWithCharacters("k", 0, window);
    const auto up = NSEvent::mouseEventWithType(NSEventTypeLeftMouseUp, {1, 1}, 0, window);
    post(key);
    post(up);
    post(NSEvent::otherEventWithType(NSEventTypeAppKitDefined, 1, window));

    EXPECT_EQ(next(NSEventMaskFromType(NSEventTypeLeftMouseUp)), up);
    EXPECT_EQ(application().queuedEventCount(), 2u);
    const NSEventMask keys = NSEventMaskFromType(NSEventTypeKeyDown);
    EXPECT_EQ(next(keys, NSRunLoopDistantFuture, NSDefaultRunLoopMode, false), key);
    EXPECT_EQ(application().queuedEventCount(), 2u);
    EXPECT_EQ(next(keys), key);
    // Only the AppKit-defined event is left, which the mask does not take: none, at once.
    EXPECT_EQ(next(NSEventMaskFromType(NSEventTypeLeftMouseUp)), nullptr);
    EXPECT_EQ(next(NSEventMaskAny)->type(), NSEventTypeAppKitDefined);
}

// A drag posted right behind a drag of the same window merges into it (deltas added, the later
// location and modifiers); another kind or window, posting at the front, or no motion stay apart.
TEST(NSApplicationQueue, ConsecutiveMotionMerges) {
    test::ScopedApplication scoped;
    const auto window = someWindow();
    const auto other = someWindow();
    post(drag(window, {1, 1}, 3, 4));
    post(drag(window, {5, 6}, 5, -1, NSEventModifierFlagShift));
    ASSERT_EQ(application().queuedEventCount(), 1u);
    const auto merged = next(NSEventMaskAny);
    EXPECT_EQ(merged->locationInWindow(), CGPointMake(5, 6));
    EXPECT_EQ(merged->deltaX(), 8);
    EXPECT_EQ(merged->deltaY(), 3);
    EXPECT_EQ(merged->modifierFlags(), NSEventModifierFlagShift);

    const auto up = [&](CGPoint location) {
        return NSEvent::mouseEventWithType(NSEventTypeLeftMouseUp, location, 0, window);
    };
    const struct {
        const char* name;
        std::shared_ptr<NSEvent> first, second;
        bool atStart;
    } apart[] = {
        {"a move after a drag", drag(window, {1, 1}, 3, 4),
         NSEvent::mouseEventWithType(NSEventTypeMouseMoved, {2, 2}, 0, window, 1, 1), false},
        {"drags of two windows", drag(window, {1, 1}, 3, 4), drag(other, {2, 2}, 1, 1), false},
        {"a drag posted at the front", drag(window, {1, 1}, 3, 4), drag(window, {2, 2}, 1, 1),
         true},
        {"two releases", up({1, 1}), up({2, 2}), false},
    };
    for (const auto& c : apart) {
        SCOPED_TRACE(c.name);
        post(c.first);
        post(c.second, c.atStart);
        EXPECT_EQ(application().queuedEventCount(), 2u);
        application().discardQueuedEvents();
    }
}

// Posting an event makes its location (in screen coordinates) and modifiers the current ones at
// once, so that a loop whose mask leaves it queued (box selection leaves drags) still sees them.
// Periodic and AppKit-defined events leave them alone; a key leaves the mouse where it was.
TEST(NSApplicationQueue, PostedEventSetsCurrentMouseAndModifiers) {
    test::ScopedApplication scoped;
    const auto window = someWindow(CGRectMake(100, 200, 300, 300));
    post(NSEvent::mouseEventWithType(NSEventTypeLeftMouseDragged, {10, 20},
                                     NSEventModifierFlagShift, window));
    EXPECT_EQ(NSEvent::mouseLocation(), CGPointMake(110, 220));
    EXPECT_EQ(NSEvent::currentModifierFlags(), NSEventModifierFlagShift);
    post(NSEvent::keyEventWithCharacters("k", NSEventModifierFlagCommand, window));
    EXPECT_EQ(NSEvent::mouseLocation(), CGPointMake(110, 220));
    EXPECT_EQ(NSEvent::currentModifierFlags(), NSEventModifierFlagCommand);
    post(NSEvent::otherEventWithType(NSEventTypeAppKitDefined, 1, window));
    post(NSEvent::otherEventWithType(NSEventTypePeriodic, 0, nullptr));
    EXPECT_EQ(NSEvent::mouseLocation(), CGPointMake(110, 220));
    EXPECT_EQ(NSEvent::currentModifierFlags(), NSEventModifierFlagCommand);
    // A window-less event is located on the screen already.
    post(NSEvent::mouseEventWithType(NSEventTypeMouseMoved, {7, 8}, 0, nullptr));
    EXPECT_EQ(NSEvent::mouseLocation(), CGPointMake(7, 8));
    EXPECT_EQ(NSEvent::currentModifierFlags(), 0u);
    // Taking the events changes nothing more.
    const NSEventMask notMoves = NSEventMaskAny & ~NSEventMaskFromType(NSEventTypeMouseMoved);
    next(notMoves);
    EXPECT_EQ(NSEvent::mouseLocation(), CGPointMake(7, 8));
    EXPECT_EQ(NSEvent::currentModifierFlags(), 0u);
}

// Periodic events come only while started and only to a loop whose mask takes them.
TEST(NSApplicationQueue, PeriodicEventsWhileStarted) {
    test::ScopedApplication scoped;
    const NSEventMask periodic = NSEventMaskFromType(NSEventTypePeriodic);
    EXPECT_EQ(next(periodic, NSRunLoopDateAfter(0.03)), nullptr);

    NSEvent::startPeriodicEventsAfterDelay_withPeriod(0, 0.01);
    for (int i = 0; i < 3; ++i) {
        const auto event = next(periodic, NSRunLoopDateAfter(5));
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(event->type(), NSEventTypePeriodic);
    }
    EXPECT_EQ(next(NSEventMaskFromType(NSEventTypeKeyDown), NSRunLoopDateAfter(0.03)), nullptr);

    NSEvent::stopPeriodicEvents();
    EXPECT_EQ(next(periodic, NSRunLoopDateAfter(0.03)), nullptr);
}

// While a loop waits for its events, the run loop's calls of the loop's mode fire (here one posts
// the release the loop waits for).
TEST(NSApplicationQueue, WaitingFiresCallsOfTheLoopsMode) {
    test::ScopedApplication scoped;
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    const auto poster = std::make_shared<UpPoster>();
    const SEL postUp = NSSelectorFromMethod<UpPoster>("postUp", &UpPoster::postUp);
    loop.performSelector_target_afterDelay_inModes(postUp, poster, 0.01,
                                                   {NSEventTrackingRunLoopMode});

    const auto event = next(NSEventMaskFromType(NSEventTypeLeftMouseUp), NSRunLoopDistantFuture,
                            NSEventTrackingRunLoopMode);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->type(), NSEventTypeLeftMouseUp);
    EXPECT_EQ(application().queuedEventCount(), 0u);
}
