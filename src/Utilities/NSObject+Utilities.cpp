#include "NSObject+Utilities.h"

void cancelAndPerformSelector_afterDelay_inMode(const std::shared_ptr<NSObject>& receiver,
                                                const SEL& selector, NSTimeInterval delay,
                                                const NSRunLoopMode& mode) {
    if (!receiver) return;
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    loop.cancelPreviousPerformRequestsWithTarget_selector(*receiver, selector.name);
    loop.performSelector_target_afterDelay_inModes(selector, receiver, delay, {mode});
}

void cancelAndPerformSelector_afterDelay(const std::shared_ptr<NSObject>& receiver,
                                         const SEL& selector, NSTimeInterval delay) {
    cancelAndPerformSelector_afterDelay_inMode(receiver, selector, delay, NSDefaultRunLoopMode);
}
