#include "TestWindowServer.h"

#include <thread>

#include "NSApplication.h"

namespace test {

bool TestWindowServer::waitForInputBeforeDate(NSRunLoopDate date) {
    if (inputs_.empty()) {
        if (date == NSRunLoopDistantFuture) return false;
        NSApplication::sharedApplication().postEvent_atStart(
            NSEvent::otherEventWithType(NSEventTypeAppKitDefined,
                                        NSEventSubtypeApplicationDeactivated, nullptr),
            false);
    } else {
        const auto input = std::move(inputs_.front());
        inputs_.pop_front();
        if (input) {
            input();
            return true;
        }
    }
    if (date != NSRunLoopDistantFuture) std::this_thread::sleep_until(date);
    return true;
}

ScopedApplication::ScopedApplication(std::shared_ptr<NSWindowServer> server) {
    NSApplication::sharedApplication().setWindowServer(std::move(server));
}

ScopedApplication::~ScopedApplication() {
    NSApplication& application = NSApplication::sharedApplication();
    application.setWindowServer(nullptr);
    application.discardQueuedEvents();
    application.stopPeriodicEvents();
    NSEvent::setCurrentMouseLocation(CGPointZero);
    NSEvent::setCurrentModifierFlags(0);
}

}  // namespace test
