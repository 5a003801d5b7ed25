#pragma once
// Delayed, coalesced calls: however often a caller asks within the delay, the operation runs once,
// after the last request. Used for work that many changes trigger, such as refreshing a view.

#include <memory>

#include "NSObject.h"
#include "NSRunLoop.h"

#pragma GCC visibility push(default)  // exported from libVantler

// Cancels every pending delayed call of the selector on the receiver, then schedules one after the
// delay, in the one mode given. The run loop keeps the receiver alive until the call.
void cancelAndPerformSelector_afterDelay_inMode(const std::shared_ptr<NSObject>& receiver,
                                                const SEL& selector, NSTimeInterval delay,
                                                const NSRunLoopMode& mode);
// The same in the default mode.
void cancelAndPerformSelector_afterDelay(const std::shared_ptr<NSObject>& receiver,
                                         const SEL& selector, NSTimeInterval delay);

#pragma GCC visibility pop
