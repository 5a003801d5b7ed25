#pragma once
// Window-system events with AppKit's kinds, masks and modifier flags. The application's queue
// (NSApplication.h) holds them; the window system (NSWindowServer.h) or a test posts them.
//
// Locations are in the coordinates of the event's window (origin at the lower left of its content,
// y upwards), or of the screen for an event without a window. Deltas are in screen points, with y
// positive downwards, as AppKit's are.

#include <cstdint>
#include <memory>
#include <string>

#include "CGGeometry.h"
#include "NSRunLoop.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSWindow;

// AppKit's values: an event's mask bit is 1 << its type.
enum NSEventType : uint32_t {
    NSEventTypeLeftMouseDown = 1,
    NSEventTypeLeftMouseUp = 2,
    NSEventTypeRightMouseDown = 3,
    NSEventTypeRightMouseUp = 4,
    NSEventTypeMouseMoved = 5,
    NSEventTypeLeftMouseDragged = 6,
    NSEventTypeRightMouseDragged = 7,
    NSEventTypeKeyDown = 10,
    NSEventTypeKeyUp = 11,
    NSEventTypeFlagsChanged = 12,
    NSEventTypeAppKitDefined = 13,
    NSEventTypeApplicationDefined = 15,
    NSEventTypePeriodic = 16,
    NSEventTypeScrollWheel = 22,
    NSEventTypeMagnify = 30,
};
using NSEventMask = uint64_t;
constexpr NSEventMask NSEventMaskFromType(NSEventType type) {
    return NSEventMask{1} << type;
}
inline constexpr NSEventMask NSEventMaskAny = ~NSEventMask{0};

// Subtypes of AppKit-defined events.
enum NSEventSubtype : int16_t {
    NSEventSubtypeApplicationActivated = 1,
    NSEventSubtypeApplicationDeactivated = 2,
};

using NSEventModifierFlags = uint64_t;
inline constexpr NSEventModifierFlags NSEventModifierFlagShift = 1 << 17;
inline constexpr NSEventModifierFlags NSEventModifierFlagControl = 1 << 18;
inline constexpr NSEventModifierFlags NSEventModifierFlagOption = 1 << 19;
inline constexpr NSEventModifierFlags NSEventModifierFlagCommand = 1 << 20;

class NSEvent {
  public:
    // A mouse event of one of the mouse kinds, at a location in the window.
    static std::shared_ptr<NSEvent> mouseEventWithType(NSEventType type, CGPoint locationInWindow,
                                                       NSEventModifierFlags flags,
                                                       const std::shared_ptr<NSWindow>& window,
                                                       CGFloat deltaX = 0, CGFloat deltaY = 0);
    static std::shared_ptr<NSEvent> keyEventWithCharacters(const std::string& characters,
                                                           NSEventModifierFlags flags,
                                                           const std::shared_ptr<NSWindow>& window);
    // An event of another kind (periodic, AppKit- or application-defined) with its subtype.
    static std::shared_ptr<NSEvent> otherEventWithType(NSEventType type, int16_t subtype,
                                                       const std::shared_ptr<NSWindow>& window);
    // A wheel turn or a trackpad scroll (points, y positive downwards) at a location.
    static std::shared_ptr<NSEvent> scrollEventWithDeltas(CGPoint locationInWindow, CGFloat deltaX,
                                                          CGFloat deltaY,
                                                          NSEventModifierFlags flags,
                                                          const std::shared_ptr<NSWindow>& window);
    // A pinch: the magnification is the change of scale (0.1 = 10 % larger).
    static std::shared_ptr<NSEvent> magnifyEvent(CGPoint locationInWindow, CGFloat magnification,
                                                 const std::shared_ptr<NSWindow>& window);

    NSEventType type() const { return type_; }
    int16_t subtype() const { return subtype_; }
    NSEventModifierFlags modifierFlags() const { return modifierFlags_; }
    CGPoint locationInWindow() const { return locationInWindow_; }
    std::shared_ptr<NSWindow> window() const { return window_.lock(); }
    CGFloat deltaX() const { return deltaX_; }
    CGFloat deltaY() const { return deltaY_; }
    CGFloat magnification() const { return magnification_; }
    const std::string& characters() const { return characters_; }
    NSTimeInterval timestamp() const { return timestamp_; }
    bool hasLocation() const;

    // Adds a later event's movement to this one (the queue merges consecutive drags and moves).
    void coalesceWith(const NSEvent& later);

    // The keyboard's modifiers and the mouse's location (screen coordinates) as the window system
    // last reported them: posting an event brings them up to date.
    // (AppKit's class properties modifierFlags and mouseLocation.)
    static NSEventModifierFlags currentModifierFlags();
    static CGPoint mouseLocation();
    static void setCurrentModifierFlags(NSEventModifierFlags flags);
    static void setCurrentMouseLocation(CGPoint location);

    // Periodic events: after the delay and then once a period, a waiting queue that accepts them
    // receives one. Starting again restarts the schedule.
    static void startPeriodicEventsAfterDelay_withPeriod(NSTimeInterval delay,
                                                         NSTimeInterval period);
    static void stopPeriodicEvents();

  private:
    NSEvent() = default;
    NSEventType type_ = NSEventTypeApplicationDefined;
    int16_t subtype_ = 0;
    NSEventModifierFlags modifierFlags_ = 0;
    CGPoint locationInWindow_{};
    std::weak_ptr<NSWindow> window_;
    CGFloat deltaX_ = 0, deltaY_ = 0;
    CGFloat magnification_ = 0;
    std::string characters_;
    NSTimeInterval timestamp_ = 0;
};

#pragma GCC visibility pop
