#include "NSEvent.h"

#include "NSApplication.h"

namespace {

NSTimeInterval secondsSinceStart() {
    static const auto start = NSRunLoopClock::now();
    return std::chrono::duration<double>(NSRunLoopClock::now() - start).count();
}

struct CurrentInput {
    NSEventModifierFlags modifierFlags = 0;
    CGPoint mouseLocation{};
};
CurrentInput& currentInput() {
    static CurrentInput input;
    return input;
}

}  // namespace

std::shared_ptr<NSEvent> NSEvent::mouseEventWithType(NSEventType type, CGPoint locationInWindow,
                                                     NSEventModifierFlags flags,
                                                     const std::shared_ptr<NSWindow>& window,
                                                     CGFloat deltaX, CGFloat deltaY) {
    std::shared_ptr<NSEvent> event(new NSEvent());
    event->type_ = type;
    event->locationInWindow_ = locationInWindow;
    event->modifierFlags_ = flags;
    event->window_ = window;
    event->deltaX_ = deltaX;
    event->deltaY_ = deltaY;
    event->timestamp_ = secondsSinceStart();
    return event;
}

std::shared_ptr<NSEvent> NSEvent::keyEventWithCharacters(const std::string& characters,
                                                         NSEventModifierFlags flags,
                                                         const std::shared_ptr<NSWindow>& window) {
    auto event = otherEventWithType(NSEventTypeKeyDown, 0, window);
    event->characters_ = characters;
    event->modifierFlags_ = flags;
    return event;
}

std::shared_ptr<NSEvent> NSEvent::otherEventWithType(NSEventType type, int16_t subtype,
                                                     const std::shared_ptr<NSWindow>& window) {
    std::shared_ptr<NSEvent> event(new NSEvent());
    event->type_ = type;
    event->subtype_ = subtype;
    event->window_ = window;
    event->timestamp_ = secondsSinceStart();
    return event;
}

std::shared_ptr<NSEvent> NSEvent::scrollEventWithDeltas(CGPoint locationInWindow, CGFloat deltaX,
                                                        CGFloat deltaY, NSEventModifierFlags flags,
                                                        const std::shared_ptr<NSWindow>& window) {
    return mouseEventWithType(NSEventTypeScrollWheel, locationInWindow, flags, window, deltaX,
                              deltaY);
}

std::shared_ptr<NSEvent> NSEvent::magnifyEvent(CGPoint locationInWindow, CGFloat magnification,
                                               const std::shared_ptr<NSWindow>& window) {
    auto event = mouseEventWithType(NSEventTypeMagnify, locationInWindow,
                                    currentInput().modifierFlags, window);
    event->magnification_ = magnification;
    return event;
}

bool NSEvent::hasLocation() const {
    switch (type_) {
        case NSEventTypeLeftMouseDown:
        case NSEventTypeLeftMouseUp:
        case NSEventTypeRightMouseDown:
        case NSEventTypeRightMouseUp:
        case NSEventTypeMouseMoved:
        case NSEventTypeLeftMouseDragged:
        case NSEventTypeRightMouseDragged:
        case NSEventTypeScrollWheel:
        case NSEventTypeMagnify:
            return true;
        default:
            return false;
    }
}

void NSEvent::coalesceWith(const NSEvent& later) {
    locationInWindow_ = later.locationInWindow_;
    modifierFlags_ = later.modifierFlags_;
    deltaX_ += later.deltaX_;
    deltaY_ += later.deltaY_;
    timestamp_ = later.timestamp_;
}

NSEventModifierFlags NSEvent::currentModifierFlags() {
    return currentInput().modifierFlags;
}

CGPoint NSEvent::mouseLocation() {
    return currentInput().mouseLocation;
}

void NSEvent::setCurrentModifierFlags(NSEventModifierFlags flags) {
    currentInput().modifierFlags = flags;
}

void NSEvent::setCurrentMouseLocation(CGPoint location) {
    currentInput().mouseLocation = location;
}

void NSEvent::startPeriodicEventsAfterDelay_withPeriod(NSTimeInterval delay,
                                                       NSTimeInterval period) {
    NSApplication::sharedApplication().startPeriodicEvents(delay, period);
}

void NSEvent::stopPeriodicEvents() {
    NSApplication::sharedApplication().stopPeriodicEvents();
}
