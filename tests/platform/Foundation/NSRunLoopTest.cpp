// The main run loop's delayed calls: they fire once, only while the loop runs in one of their
// modes, in the order of their dates; cancelling is by target and selector; a pending call keeps
// its target alive. Delays are a few hundredths of a second and nothing here measures time.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "NSRunLoop.h"

namespace {

using Log = std::vector<std::string>;

// A target that notes each call it receives as "name.selector".
class Target : public NSObject {
  public:
    Target(std::string name, Log& log) : name_(std::move(name)), log_(log) {}
    void ping() { log_.push_back(name_ + ".ping"); }
    void pong() { log_.push_back(name_ + ".pong"); }

  private:
    std::string name_;
    Log& log_;
};

const SEL kPing = NSSelectorFromMethod<Target>("ping", &Target::ping);
const SEL kPong = NSSelectorFromMethod<Target>("pong", &Target::pong);

NSRunLoop& loop() {
    return NSRunLoop::mainRunLoop();
}

void schedule(const SEL& selector, const std::shared_ptr<Target>& target, NSTimeInterval delay,
              const std::vector<NSRunLoopMode>& modes = {NSDefaultRunLoopMode}) {
    loop().performSelector_target_afterDelay_inModes(selector, target, delay, modes);
}

// Runs the loop in the mode until the time has passed.
void runFor(const NSRunLoopMode& mode, NSTimeInterval seconds) {
    const NSRunLoopDate until = NSRunLoopDateAfter(seconds);
    while (NSRunLoopClock::now() < until) loop().runMode_beforeDate(mode, until);
}

// Two targets noting their calls in one log. Whatever a failed test left pending is cancelled,
// so that it cannot fire into a later test.
class NSRunLoopCalls : public ::testing::Test {
  protected:
    void TearDown() override {
        for (const auto& target : {a, b})
            for (const SEL& selector : {kPing, kPong})
                loop().cancelPreviousPerformRequestsWithTarget_selector(*target, selector.name);
    }

    Log log;
    std::shared_ptr<Target> a = std::make_shared<Target>("a", log);
    std::shared_ptr<Target> b = std::make_shared<Target>("b", log);
};

}  // namespace

// A call waits for its own mode: a default-mode call stays pending through a mouse-tracking run,
// fires when the loop runs in the default mode again, and only once.
TEST_F(NSRunLoopCalls, CallFiresOnceInItsMode) {
    schedule(kPing, a, 0.01);
    runFor(NSEventTrackingRunLoopMode, 0.03);
    EXPECT_EQ(log, Log{});
    runFor(NSDefaultRunLoopMode, 0.02);
    EXPECT_EQ(log, Log{"a.ping"});
    runFor(NSDefaultRunLoopMode, 0.02);
    EXPECT_EQ(log, Log{"a.ping"});
}

// The common modes stand for the default, event-tracking and modal-panel modes, and no other.
TEST_F(NSRunLoopCalls, CommonModesFireInEachOfTheThree) {
    for (const NSRunLoopMode& mode :
         {NSDefaultRunLoopMode, NSEventTrackingRunLoopMode, NSModalPanelRunLoopMode}) {
        SCOPED_TRACE(mode);
        log.clear();
        schedule(kPing, a, 0, {NSRunLoopCommonModes});
        runFor("SomeOtherMode", 0.01);
        EXPECT_EQ(log, Log{});
        runFor(mode, 0.01);
        EXPECT_EQ(log, Log{"a.ping"});
    }
}

TEST_F(NSRunLoopCalls, CancelDropsOnlyThatTargetsCallsOfThatSelector) {
    schedule(kPing, a, 0);
    schedule(kPong, a, 0);
    schedule(kPing, b, 0);
    schedule(kPing, a, 0);
    loop().cancelPreviousPerformRequestsWithTarget_selector(*a, "ping");
    runFor(NSDefaultRunLoopMode, 0.01);
    EXPECT_EQ(log, (Log{"a.pong", "b.ping"}));
}

// Calls that became due while the loop was away fire in one pass, earliest date first, whatever
// the order they were made in.
TEST_F(NSRunLoopCalls, CallsDueTogetherFireInOrderOfTheirDates) {
    schedule(kPing, a, 0.03);
    schedule(kPong, a, 0.01);
    schedule(kPing, b, 0.01);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(loop().fireDueCallsInMode(NSDefaultRunLoopMode), 3u);
    EXPECT_EQ(log, (Log{"a.pong", "b.ping", "a.ping"}));
}

// The loop holds the target of a pending call and lets it go once the call fired or was
// cancelled.
TEST(NSRunLoop, PendingCallKeepsItsTargetAlive) {
    Log log;
    auto fired = std::make_shared<Target>("fired", log);
    auto cancelled = std::make_shared<Target>("cancelled", log);
    const std::weak_ptr<Target> firedHeld = fired, cancelledHeld = cancelled;
    schedule(kPing, fired, 0);
    schedule(kPing, cancelled, 60);
    fired.reset();
    cancelled.reset();
    ASSERT_FALSE(firedHeld.expired());
    ASSERT_FALSE(cancelledHeld.expired());

    runFor(NSDefaultRunLoopMode, 0.01);
    EXPECT_EQ(log, Log{"fired.ping"});
    EXPECT_TRUE(firedHeld.expired());
    loop().cancelPreviousPerformRequestsWithTarget_selector(*cancelledHeld.lock(), "ping");
    EXPECT_TRUE(cancelledHeld.expired());
    EXPECT_FALSE(loop().nextFireDateForMode(NSDefaultRunLoopMode).has_value());
}

// Without calls and without an input source there is nothing to wait for: the loop answers at
// once rather than sleeping for ever.
TEST(NSRunLoop, NothingToWaitForAnswersAtOnce) {
    EXPECT_FALSE(loop().runMode_beforeDate(NSDefaultRunLoopMode, NSRunLoopDistantFuture));
}
