#include "NSRunLoop.h"

#include <algorithm>
#include <thread>

NSRunLoopDate NSRunLoopDateAfter(NSTimeInterval seconds) {
    const auto now = NSRunLoopClock::now();
    // Beyond a century counts as without limit, which also keeps the sum from overflowing.
    if (!(seconds < 3.2e9)) return NSRunLoopDistantFuture;
    const auto delay = std::chrono::duration<double>(std::max(seconds, 0.0));
    return now + std::chrono::duration_cast<NSRunLoopClock::duration>(delay);
}

NSRunLoop& NSRunLoop::mainRunLoop() {
    static NSRunLoop& loop = *new NSRunLoop();
    return loop;
}

void NSRunLoop::setInputSource(NSRunLoopInputSource source) {
    inputSource_ = std::move(source);
}

void NSRunLoop::performSelector_target_afterDelay_inModes(const SEL& selector,
                                                          std::shared_ptr<NSObject> target,
                                                          NSTimeInterval delay,
                                                          const std::vector<NSRunLoopMode>& modes) {
    if (!target || !selector.perform || modes.empty()) return;
    calls_.push_back({selector, std::move(target), NSRunLoopDateAfter(delay), modes, nextOrder_++});
}

void NSRunLoop::cancelPreviousPerformRequestsWithTarget_selector(const NSObject& target,
                                                                 const std::string& selectorName) {
    std::erase_if(calls_, [&](const DelayedCall& call) {
        return call.target.get() == &target && call.selector.name == selectorName;
    });
}

bool NSRunLoop::runsInMode(const DelayedCall& call, const NSRunLoopMode& mode) {
    const bool common = mode == NSDefaultRunLoopMode || mode == NSEventTrackingRunLoopMode ||
                        mode == NSModalPanelRunLoopMode;
    return std::any_of(call.modes.begin(), call.modes.end(), [&](const NSRunLoopMode& callMode) {
        return callMode == mode || (common && callMode == NSRunLoopCommonModes);
    });
}

std::optional<NSRunLoopDate> NSRunLoop::nextFireDateForMode(const NSRunLoopMode& mode) const {
    std::optional<NSRunLoopDate> next;
    for (const auto& call : calls_)
        if (runsInMode(call, mode) && (!next || call.fireDate < *next)) next = call.fireDate;
    return next;
}

size_t NSRunLoop::fireDueCallsInMode(const NSRunLoopMode& mode) {
    const auto now = NSRunLoopClock::now();
    // Taken out before any fires: a call may schedule or cancel others, which then wait for the
    // next pass.
    std::vector<DelayedCall> due;
    std::erase_if(calls_, [&](DelayedCall& call) {
        if (call.fireDate > now || !runsInMode(call, mode)) return false;
        due.push_back(std::move(call));
        return true;
    });
    std::sort(due.begin(), due.end(), [](const DelayedCall& a, const DelayedCall& b) {
        return a.fireDate != b.fireDate ? a.fireDate < b.fireDate : a.order < b.order;
    });
    for (auto& call : due) call.selector.perform(*call.target);
    return due.size();
}

bool NSRunLoop::waitForInputBeforeDate(NSRunLoopDate date) {
    if (inputSource_) return inputSource_(date);
    if (date == NSRunLoopDistantFuture) return false;
    std::this_thread::sleep_until(date);
    return true;
}

bool NSRunLoop::runMode_beforeDate(const NSRunLoopMode& mode, NSRunLoopDate date) {
    if (fireDueCallsInMode(mode) > 0) return true;
    const auto next = nextFireDateForMode(mode);
    const NSRunLoopDate wake = next ? std::min(*next, date) : date;
    const bool waited = waitForInputBeforeDate(wake);
    return fireDueCallsInMode(mode) > 0 || waited;
}
