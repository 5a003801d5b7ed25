#pragma once
// The application: its event queue and main loop, its windows, and the window server that brings
// it input. A mouse-tracking loop takes events from the queue with a mask, waiting in a run-loop
// mode; events outside the mask stay queued for later. Every function is called from the main
// thread.

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "NSEvent.h"
#include "NSRunLoop.h"
#include "NSWindowServer.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSApplication {
  public:
    // The process's application (AppKit's NSApp), made on first use and never destroyed.
    static NSApplication& sharedApplication();

    // The window server that brings input and shows windows; none runs the application headless.
    void setWindowServer(std::shared_ptr<NSWindowServer> server);
    NSWindowServer* windowServer() const { return server_.get(); }

    // Queues an event at the back (or the front). Its location and modifiers become NSEvent's
    // current ones at once: they are the pointer's and the keyboard's state, which a loop that
    // leaves the event queued still sees. A drag or a move right behind another of the same kind
    // and window is merged into it, so a busy loop never lets motion pile up.
    void postEvent_atStart(std::shared_ptr<NSEvent> event, bool atStart);
    // The first queued event whose kind is in the mask; while there is none, fires the run loop's
    // calls of the mode and waits for input, periodic events included when the mask takes them.
    // None when the date passes, or when nothing can ever arrive (no window server and nothing
    // pending).
    std::shared_ptr<NSEvent> nextEventMatchingMask_untilDate_inMode_dequeue(
        NSEventMask mask, NSRunLoopDate date, const NSRunLoopMode& mode, bool dequeue);
    // Hands the event to its window (or keeps it when it has none).
    void sendEvent(const std::shared_ptr<NSEvent>& event);
    std::shared_ptr<NSEvent> currentEvent() const { return currentEvent_; }
    size_t queuedEventCount() const { return queue_.size(); }
    void discardQueuedEvents() { queue_.clear(); }

    // Takes and sends events, draining the main dispatch queue between them, until stop() or until
    // nothing can arrive any more.
    void run();
    // Ends run() once the event being handled returns (an application-defined event wakes a loop
    // that waits).
    void stop();
    bool isRunning() const { return running_; }

    // The visible windows, front to back.
    std::vector<std::shared_ptr<NSWindow>> windows() const;
    // The frontmost visible window whose frame holds the point (global screen coordinates).
    std::shared_ptr<NSWindow> windowAtScreenPoint(CGPoint point) const;
    // Kept by NSWindow: ordering a window front, and closing it.
    void orderWindowFront(const std::shared_ptr<NSWindow>& window);
    void removeWindow(const NSWindow& window);

    void startPeriodicEvents(NSTimeInterval delay, NSTimeInterval period);
    void stopPeriodicEvents() { periodic_.reset(); }

  private:
    NSApplication() = default;
    std::shared_ptr<NSEvent> takeQueuedEvent(NSEventMask mask, bool dequeue);
    std::shared_ptr<NSEvent> takeDuePeriodicEvent(NSEventMask mask);
    void adoptCurrentState(const NSEvent& event);

    struct PeriodicSchedule {
        NSRunLoopDate next;
        NSRunLoopClock::duration period;
    };
    std::shared_ptr<NSWindowServer> server_;
    std::deque<std::shared_ptr<NSEvent>> queue_;
    std::shared_ptr<NSEvent> currentEvent_;
    std::optional<PeriodicSchedule> periodic_;
    std::vector<std::weak_ptr<NSWindow>> windows_;  // front to back
    bool running_ = false;
};

#pragma GCC visibility pop
