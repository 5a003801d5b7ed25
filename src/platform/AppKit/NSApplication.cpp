#include "NSApplication.h"

#include <algorithm>

#include "DispatchQueue.h"
#include "NSWindow.h"

namespace {

bool takesEvent(NSEventMask mask, const NSEvent& event) {
    return (mask & NSEventMaskFromType(event.type())) != 0;
}

bool isMotion(const NSEvent& event) {
    return event.type() == NSEventTypeLeftMouseDragged || event.type() == NSEventTypeMouseMoved ||
           event.type() == NSEventTypeRightMouseDragged;
}

}  // namespace

NSApplication& NSApplication::sharedApplication() {
    static NSApplication& application = *new NSApplication();
    return application;
}

void NSApplication::setWindowServer(std::shared_ptr<NSWindowServer> server) {
    server_ = std::move(server);
    NSRunLoopInputSource source;
    if (server_)
        source = [server = server_.get()](NSRunLoopDate date) {
            return server->waitForInputBeforeDate(date);
        };
    NSRunLoop::mainRunLoop().setInputSource(std::move(source));
}

void NSApplication::postEvent_atStart(std::shared_ptr<NSEvent> event, bool atStart) {
    if (!event) return;
    // The pointer and the keys are where the latest input says, whether or not a loop takes it.
    adoptCurrentState(*event);
    if (atStart) {
        queue_.push_front(std::move(event));
        return;
    }
    if (!queue_.empty() && isMotion(*event) && queue_.back()->type() == event->type() &&
        queue_.back()->window() == event->window()) {
        queue_.back()->coalesceWith(*event);
        return;
    }
    queue_.push_back(std::move(event));
}

void NSApplication::adoptCurrentState(const NSEvent& event) {
    if (event.type() == NSEventTypePeriodic || event.type() == NSEventTypeAppKitDefined ||
        event.type() == NSEventTypeApplicationDefined)
        return;
    NSEvent::setCurrentModifierFlags(event.modifierFlags());
    if (!event.hasLocation()) return;
    const auto window = event.window();
    NSEvent::setCurrentMouseLocation(window ? window->convertPointToScreen(event.locationInWindow())
                                            : event.locationInWindow());
}

std::shared_ptr<NSEvent> NSApplication::takeQueuedEvent(NSEventMask mask, bool dequeue) {
    const auto found = std::find_if(queue_.begin(), queue_.end(),
                                    [&](const auto& event) { return takesEvent(mask, *event); });
    if (found == queue_.end()) return nullptr;
    auto event = *found;
    if (dequeue) queue_.erase(found);
    return event;
}

std::shared_ptr<NSEvent> NSApplication::takeDuePeriodicEvent(NSEventMask mask) {
    if (!periodic_ || !(mask & NSEventMaskFromType(NSEventTypePeriodic))) return nullptr;
    const auto now = NSRunLoopClock::now();
    if (now < periodic_->next) return nullptr;
    // A loop that fell behind gets one event, not the whole backlog.
    periodic_->next = std::max(periodic_->next + periodic_->period, now);
    return NSEvent::otherEventWithType(NSEventTypePeriodic, 0, nullptr);
}

std::shared_ptr<NSEvent> NSApplication::nextEventMatchingMask_untilDate_inMode_dequeue(
    NSEventMask mask, NSRunLoopDate date, const NSRunLoopMode& mode, bool dequeue) {
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    for (;;) {
        auto event = takeQueuedEvent(mask, dequeue);
        if (!event) event = takeDuePeriodicEvent(mask);
        if (event) {
            currentEvent_ = event;
            return event;
        }
        if (loop.fireDueCallsInMode(mode) > 0) continue;
        if (NSRunLoopClock::now() >= date) return nullptr;

        NSRunLoopDate wake = date;
        if (const auto call = loop.nextFireDateForMode(mode)) wake = std::min(wake, *call);
        const bool periodicDue = periodic_ && (mask & NSEventMaskFromType(NSEventTypePeriodic));
        if (periodicDue) wake = std::min(wake, periodic_->next);
        const bool inputCanArrive = loop.waitForInputBeforeDate(wake);
        if (!inputCanArrive && wake == NSRunLoopDistantFuture && !takeQueuedEvent(mask, false))
            return nullptr;
    }
}

void NSApplication::sendEvent(const std::shared_ptr<NSEvent>& event) {
    if (!event) return;
    if (const auto window = event->window()) window->sendEvent(*event);
}

void NSApplication::run() {
    running_ = true;
    while (running_) {
        dispatchMainQueueDrain();
        const auto event = nextEventMatchingMask_untilDate_inMode_dequeue(
            NSEventMaskAny, NSRunLoopDistantFuture, NSDefaultRunLoopMode, true);
        if (!event) break;
        sendEvent(event);
    }
    running_ = false;
}

void NSApplication::stop() {
    running_ = false;
    postEvent_atStart(NSEvent::otherEventWithType(NSEventTypeApplicationDefined, 0, nullptr),
                      false);
}

std::vector<std::shared_ptr<NSWindow>> NSApplication::windows() const {
    std::vector<std::shared_ptr<NSWindow>> visible;
    for (const auto& weak : windows_)
        if (auto window = weak.lock(); window && window->isVisible()) visible.push_back(window);
    return visible;
}

std::shared_ptr<NSWindow> NSApplication::windowAtScreenPoint(CGPoint point) const {
    for (const auto& window : windows())
        if (CGRectContainsPoint(window->frame(), point)) return window;
    return nullptr;
}

void NSApplication::orderWindowFront(const std::shared_ptr<NSWindow>& window) {
    removeWindow(*window);
    windows_.insert(windows_.begin(), window);
}

void NSApplication::removeWindow(const NSWindow& window) {
    std::erase_if(windows_, [&](const auto& weak) {
        const auto held = weak.lock();
        return !held || held.get() == &window;
    });
}

void NSApplication::startPeriodicEvents(NSTimeInterval delay, NSTimeInterval period) {
    // At least a millisecond (also for a period that is not a number), so that the queue never
    // spins on periodic events; at most a century, which the clock can still add.
    const double seconds = period >= 0.001 ? std::min(period, 3.2e9) : 0.001;
    const auto periodDuration = std::chrono::duration_cast<NSRunLoopClock::duration>(
        std::chrono::duration<double>(seconds));
    periodic_ = PeriodicSchedule{NSRunLoopDateAfter(delay), periodDuration};
}
