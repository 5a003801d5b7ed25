// The work queues that stand in for libdispatch: serial and concurrent queues, asynchronous
// barriers, the main queue drained by the test thread, failing items and releases.
// A broken queue fails by deadlocking, which kPatience bounds; it is generous, so that a loaded
// machine (ctest -j, sanitizers) does not fail a correct queue.

#include "DispatchQueue.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NSException.h"
#include "TestSupport.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kPatience = 20s;

// Counts events; the test thread waits for a number of them. Also a gate: items wait for one event.
class Counter {
  public:
    // Notifies under the lock, so that a waiter that wakes may destroy the counter at once.
    void add() {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    bool waitFor(int n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return count_ >= n; });
    }
    int count() {
        std::lock_guard lock(mutex_);
        return count_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

void submit(const dispatch_queue_t& queue, bool barrier, dispatch_block_t work) {
    barrier ? dispatch_barrier_async(queue, std::move(work))
            : dispatch_async(queue, std::move(work));
}

// Leaves the main queue empty, whatever an earlier (failed) test left in it.
void emptyMainQueue() {
    while (dispatchMainQueueDrain() > 0) continue;
}

}  // namespace

TEST(DispatchQueue, SerialQueueRunsOneItemAtATimeInOrder) {
    constexpr int kItems = 2000;
    std::vector<int> order;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    auto queue = dispatch_queue_create("Serial Order", DISPATCH_QUEUE_SERIAL);
    for (int i = 0; i < kItems; ++i) {
        // On a serial queue a barrier is an ordinary item in the order.
        submit(queue, i % 7 == 0, [&, i] {
            overlapped = overlapped || ++inside > 1;
            order.push_back(i);
            --inside;
        });
    }
    queue.reset();  // the release finishes every submitted item and joins the worker
    ASSERT_EQ(order.size(), size_t{kItems});
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_FALSE(overlapped.load());
}

TEST(DispatchQueue, BarrierStartsAfterEveryEarlierItemAndEndsBeforeEveryLaterOne) {
    // Rounds of ordinary items in runs of 0 to 5 around 1 to 3 barriers, each item stamped with a
    // shared sequence number under a mutex at its start and at its end.
    auto queue = dispatch_queue_create("Barrier Order", DISPATCH_QUEUE_CONCURRENT);
    std::mt19937 generator(20240611);
    int roundsWithOverlap = 0;
    for (int round = 0; round < 300; ++round) {
        struct Record {
            bool barrier;
            int start = -1, end = -1;
        };
        std::vector<Record> records;
        const int barriers = 1 + static_cast<int>(generator() % 3);
        for (int b = 0; b <= barriers; ++b) {
            for (int i = static_cast<int>(generator() % 6); i > 0; --i) records.push_back({false});
            if (b < barriers) records.push_back({true});
        }
        std::mutex mutex;
        int sequence = 0, inside = 0;
        bool overlapped = false;
        Counter done;
        for (size_t index = 0; index < records.size(); ++index) {
            submit(queue, records[index].barrier,
                   [&, index, pause = std::chrono::microseconds(generator() % 300)] {
                       {
                           std::lock_guard lock(mutex);
                           records[index].start = sequence++;
                           overlapped |= ++inside > 1;
                       }
                       std::this_thread::sleep_for(pause);
                       {
                           std::lock_guard lock(mutex);
                           records[index].end = sequence++;
                           --inside;
                       }
                       done.add();
                   });
        }
        ASSERT_TRUE(done.waitFor(static_cast<int>(records.size()))) << "round " << round;
        std::lock_guard lock(mutex);
        roundsWithOverlap += overlapped;
        for (size_t b = 0; b < records.size(); ++b)
            for (size_t i = 0; records[b].barrier && i < records.size(); ++i)
                ASSERT_TRUE(i < b   ? records[i].end < records[b].start
                            : i > b ? records[i].start > records[b].end
                                    : true)
                    << "round " << round << ", item " << i;
    }
    EXPECT_GT(roundsWithOverlap, 0);  // the ordinary items did run concurrently
}

// The main queue runs only when drained, in order, on the draining thread; an item submitted during
// a drain waits for the next one, so an item that resubmits itself cannot keep a drain from
// returning; a drain from inside a main-queue item runs nothing.
TEST(DispatchQueue, MainQueueRunsWhenDrained) {
    emptyMainQueue();
    const auto main = dispatch_get_main_queue();
    std::vector<int> order;  // written only by main-queue items, on this thread
    for (int i = 0; i < 4; ++i) {
        submit(main, i == 2, [&, i, self = std::this_thread::get_id()] {
            order.push_back(std::this_thread::get_id() == self ? i : -1);
        });
    }
    size_t nested = 99;
    bool nestedRunUntil = true;
    dispatch_async(main, [&] {
        nested = dispatchMainQueueDrain();
        nestedRunUntil = dispatchMainQueueRunUntil([] { return false; }, Clock::now() + 1h);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(dispatchMainQueueDrain(), 5u);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(nested, 0u);
    EXPECT_FALSE(nestedRunUntil);  // returned at once instead of waiting an hour

    int runs = 0;
    std::function<void()> resubmit = [&] {
        if (++runs < 3) dispatch_async(main, resubmit);
    };
    dispatch_async(main, resubmit);
    for (int drain = 1; drain <= 3; ++drain) {
        EXPECT_EQ(dispatchMainQueueDrain(), 1u);
        EXPECT_EQ(runs, drain);
    }
    EXPECT_EQ(dispatchMainQueueDrain(), 0u);
}

TEST(DispatchQueue, MainQueueWaitsForWorkFromOtherThreadsOrTheDeadline) {
    emptyMainQueue();
    const auto start = Clock::now();
    EXPECT_EQ(dispatchMainQueueWaitAndDrain(start + 60ms), 0u);
    EXPECT_GE(Clock::now() - start, 60ms);
    bool ran = false;
    dispatch_async(dispatch_get_main_queue(), [&] { ran = true; });
    EXPECT_EQ(dispatchMainQueueWaitAndDrain(Clock::now() - 1s),
              1u);  // a past deadline runs what is pending
    EXPECT_TRUE(ran);

    constexpr int kItems = 200;
    auto queue = dispatch_queue_create("To Main", DISPATCH_QUEUE_CONCURRENT);
    int answered = 0;  // written only on the main queue, i.e. on this thread
    for (int i = 0; i < kItems; ++i) {
        dispatch_async(queue, [&, self = std::this_thread::get_id()] {
            dispatch_async(dispatch_get_main_queue(),
                           [&, self] { answered += std::this_thread::get_id() == self; });
        });
    }
    EXPECT_TRUE(
        dispatchMainQueueRunUntil([&] { return answered == kItems; }, Clock::now() + kPatience));
    const auto waitStart = Clock::now();
    dispatch_async(queue, [] { dispatch_async(dispatch_get_main_queue(), [] {}); });
    EXPECT_EQ(dispatchMainQueueWaitAndDrain(waitStart + 1h), 1u);
    EXPECT_LT(Clock::now() - waitStart, kPatience);
}

TEST(DispatchQueue, ThrowingItemIsLoggedAndTheQueueGoesOn) {
    emptyMainQueue();
    test::LogCapture log;
    Counter done;
    for (const auto& queue : {dispatch_queue_create("Serial", DISPATCH_QUEUE_SERIAL),
                              dispatch_queue_create("Concurrent", DISPATCH_QUEUE_CONCURRENT)}) {
        dispatch_async(queue, [] { throw std::runtime_error("plain failure"); });
        dispatch_barrier_async(
            queue, [] { NSException::raise(NSInvalidArgumentException, "bad argument"); });
        dispatch_async(queue, [] { throw 42; });
        dispatch_barrier_async(queue, [&] { done.add(); });
    }
    ASSERT_TRUE(done.waitFor(2));
    dispatch_async(dispatch_get_main_queue(), [] { throw std::logic_error("main failure"); });
    dispatch_async(dispatch_get_main_queue(), [&] { done.add(); });
    EXPECT_EQ(dispatchMainQueueDrain(), 2u);
    EXPECT_EQ(done.count(), 3);
    dispatch_async(nullptr, [&] { done.add(); });
    dispatch_barrier_async(nullptr, [&] { done.add(); });
    EXPECT_EQ(done.count(), 3);
    std::vector<std::string> expected;
    for (const char* queue : {"Concurrent", "Serial"})
        for (const char* what : {"NSInvalidArgumentException: bad argument",
                                 "an exception that is not a std::exception", "plain failure"})
            expected.push_back(std::string("Work item on queue \"") + queue +
                               "\" raised an exception: " + what);
    expected.push_back(
        "Work item on queue \"com.apple.main-thread\" raised an exception: main failure");
    expected.push_back("dispatch_async: no queue; the work item is dropped");
    expected.push_back("dispatch_barrier_async: no queue; the work item is dropped");
    auto lines = log.lines();  // from worker threads, in any order
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, expected);
}

// Releasing the last handle finishes every submitted item first; from an item of the same queue it
// does not wait (the workers end on their own); from an item of another queue it waits.
TEST(DispatchQueue, ReleaseFinishesSubmittedWork) {
    for (auto attr : {DISPATCH_QUEUE_SERIAL, DISPATCH_QUEUE_CONCURRENT}) {
        SCOPED_TRACE(attr);
        std::atomic<int> ran{0};
        auto queue = dispatch_queue_create("Released", attr);
        for (int i = 0; i < 20; ++i)
            submit(queue, i == 10, [&] {
                std::this_thread::sleep_for(2ms);
                ++ran;
            });
        queue.reset();
        EXPECT_EQ(ran.load(), 20);

        Counter gate, done;
        queue = dispatch_queue_create("Self Release", attr);
        dispatch_async(queue, [&, keep = queue] { gate.waitFor(1), done.add(); });
        for (int i = 0; i < 5; ++i) submit(queue, i == 4, [&] { done.add(); });
        queue.reset();  // the first item's captures hold the last handle now
        gate.add();
        EXPECT_TRUE(done.waitFor(6));

        auto outer = dispatch_queue_create("Outer", attr);
        auto inner = dispatch_queue_create("Inner", DISPATCH_QUEUE_CONCURRENT);
        ran = 0;
        for (int i = 0; i < 10; ++i) dispatch_async(inner, [&] { ++ran; });
        dispatch_async(outer, [&, last = std::move(inner)]() mutable {
            last.reset();  // the last handle: waits for the inner items, then joins
            done.add();
        });
        EXPECT_TRUE(done.waitFor(7));
        EXPECT_EQ(ran.load(), 10);
    }
}

// The child of ProcessExitsPromptlyWithItemsInFlight; skipped in ordinary runs.
TEST(DispatchQueue, ExitChild) {
    if (!std::getenv("VANTLER_DISPATCH_EXIT_CHILD")) GTEST_SKIP() << "runs only as a child process";
    // Process-wide queues are never destroyed, as the mipmap queue is not; the counter too, since
    // their items still use it while the process exits.
    static const auto& concurrent =
        *new dispatch_queue_t(dispatch_queue_create("Mipmap Queue", DISPATCH_QUEUE_CONCURRENT));
    static const auto& serial =
        *new dispatch_queue_t(dispatch_queue_create("Exit Serial", DISPATCH_QUEUE_SERIAL));
    static Counter* const started = new Counter;
    const auto longItem = [] {
        started->add();
        std::this_thread::sleep_for(10min);
    };
    for (int i = 0; i < 8; ++i) dispatch_async(concurrent, longItem);
    dispatch_barrier_async(concurrent, [] {});
    dispatch_async(serial, longItem);
    dispatch_async(dispatch_get_main_queue(), longItem);  // never drained
    ASSERT_TRUE(started->waitFor(3));  // workers of both queues are busy as main returns
}

// Returning from main with items running on process-wide queues ends the process at once, with
// status 0: a thumbnailer must not hang on the work of a request it has answered.
TEST(DispatchQueue, ProcessExitsPromptlyWithItemsInFlight) {
    setenv("VANTLER_DISPATCH_EXIT_CHILD", "1", 1);
    const auto start = Clock::now();
    const auto result = test::run({std::filesystem::read_symlink("/proc/self/exe").string(),
                                   "--gtest_filter=DispatchQueue.ExitChild"});
    unsetenv("VANTLER_DISPATCH_EXIT_CHILD");
    EXPECT_EQ(result.exitStatus, 0) << result.standardOutput << result.standardError;
    EXPECT_LT(Clock::now() - start, kPatience);
}
