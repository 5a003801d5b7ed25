#pragma once
// The main thread's run loop, reduced to what the editor uses: calls performed after a delay in
// chosen run-loop modes, cancelled by target and selector, and a way to run the loop in one mode.
//
// A delayed call fires only while the loop runs in one of its modes, so a call scheduled in the
// default mode waits while a mouse-tracking loop runs in the event-tracking mode. Calls keep their
// target alive until they fire or are cancelled, as Foundation's do. The run loop belongs to the
// main thread: every function here is called from it.
//
// What wakes the loop besides its own timers (window-system events) is its input source: without
// one, waiting is sleeping until the next call is due.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

using NSRunLoopMode = std::string;
inline const NSRunLoopMode NSDefaultRunLoopMode = "kCFRunLoopDefaultMode";
inline const NSRunLoopMode NSEventTrackingRunLoopMode = "NSEventTrackingRunLoopMode";
inline const NSRunLoopMode NSModalPanelRunLoopMode = "NSModalPanelRunLoopMode";
// Not a mode of its own: a call scheduled in it fires in each of the three modes above.
inline const NSRunLoopMode NSRunLoopCommonModes = "kCFRunLoopCommonModes";

using NSTimeInterval = double;
using NSRunLoopClock = std::chrono::steady_clock;
// A point in time for the loop; the distant future means "without limit".
using NSRunLoopDate = NSRunLoopClock::time_point;
inline constexpr NSRunLoopDate NSRunLoopDistantFuture = NSRunLoopDate::max();
NSRunLoopDate NSRunLoopDateAfter(NSTimeInterval seconds);

// A selector: the operation's name, which identifies pending calls, and how to perform it on a
// receiver. `NSSelectorFromMethod<T>("refresh", &T::refresh)` makes one for a member function of
// no argument; the receiver of such a call is always a T.
struct SEL {
    std::string name;
    std::function<void(NSObject&)> perform;
};
template <class T>
SEL NSSelectorFromMethod(std::string name, void (T::*method)()) {
    return {std::move(name),
            [method](NSObject& receiver) { (static_cast<T&>(receiver).*method)(); }};
}

// What wakes a waiting loop besides its timers: waits until an input arrives or the date passes,
// handling what arrived; answers false when no input can ever arrive (nothing to wait for).
using NSRunLoopInputSource = std::function<bool(NSRunLoopDate)>;

class NSRunLoop {
  public:
    // The main thread's loop, made on first use and never destroyed.
    static NSRunLoop& mainRunLoop();

    void setInputSource(NSRunLoopInputSource source);

    // performSelector:withObject:afterDelay:inModes: with no argument.
    void performSelector_target_afterDelay_inModes(const SEL& selector,
                                                   std::shared_ptr<NSObject> target,
                                                   NSTimeInterval delay,
                                                   const std::vector<NSRunLoopMode>& modes);
    // cancelPreviousPerformRequestsWithTarget:selector:object: with no argument: drops every
    // pending call of that selector name on that very target.
    void cancelPreviousPerformRequestsWithTarget_selector(const NSObject& target,
                                                          const std::string& selectorName);

    // Fires the calls of the mode that are due, then, when none was due, waits for an input or the
    // next call of the mode or the date, whichever comes first, and fires what became due.
    // Answers false when there was nothing to do and nothing to wait for before the date.
    bool runMode_beforeDate(const NSRunLoopMode& mode, NSRunLoopDate date);
    // The time at which the next call of the mode is due; none when none is pending.
    std::optional<NSRunLoopDate> nextFireDateForMode(const NSRunLoopMode& mode) const;
    // Fires the calls of the mode that are due now, in the order of their dates; answers how many.
    size_t fireDueCallsInMode(const NSRunLoopMode& mode);
    // Waits for an input until the date, through the input source (or by sleeping without one);
    // answers false when no input can arrive and nothing is due before the date.
    bool waitForInputBeforeDate(NSRunLoopDate date);

  private:
    struct DelayedCall {
        SEL selector;
        std::shared_ptr<NSObject> target;
        NSRunLoopDate fireDate;
        std::vector<NSRunLoopMode> modes;
        uint64_t order;  // calls due at the same time fire in the order they were made
    };
    static bool runsInMode(const DelayedCall& call, const NSRunLoopMode& mode);

    std::vector<DelayedCall> calls_;
    uint64_t nextOrder_ = 0;
    NSRunLoopInputSource inputSource_;
};

#pragma GCC visibility pop
