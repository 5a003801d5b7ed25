// The work queues that stand in for libdispatch (Part 3.2, "Concurrency" and "Left to the
// implementer"; DESIGN.md "Threads"): serial and concurrent queues, asynchronous barriers, the main
// queue drained by the test thread, failing items, releases and process exit.

#include "DispatchQueue.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NSException.h"
#include "NSLog.h"

extern char** environ;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Generous, so that a loaded machine (ctest -j, sanitizers) does not fail a correct queue; a broken
// queue fails by deadlocking, which these bound.
constexpr auto kPatience = 20s;

// Counts events; lets the test thread wait for a number of them without spinning.
class Counter {
public:
    // Notifies under the lock, so that a waiter that wakes may destroy the counter at once.
    void add() {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    bool waitFor(int n, std::chrono::milliseconds timeout = kPatience) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return count_ >= n; });
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

// A gate that work items wait at until the test opens it.
class Gate {
public:
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitOpen(std::chrono::milliseconds timeout = kPatience) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// Captures NSLog lines for the life of the object (lines may come from worker threads).
class LogCapture {
public:
    LogCapture() {
        previous_ = NSLogSetSink([this](const std::string& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~LogCapture() { NSLogSetSink(previous_); }
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    NSLogSink previous_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Leaves the main queue empty, whatever an earlier (failed) test left in it.
void emptyMainQueue() {
    while (dispatchMainQueueDrain() > 0) {}
}

}  // namespace

TEST(Part3_2_DispatchQueue, LabelsAndAttributes) {
    auto serial = dispatch_queue_create("Serial Test", DISPATCH_QUEUE_SERIAL);
    auto concurrent = dispatch_queue_create("Mipmap Queue", DISPATCH_QUEUE_CONCURRENT);
    EXPECT_EQ(dispatch_queue_get_label(serial), "Serial Test");
    EXPECT_EQ(dispatch_queue_get_label(concurrent), "Mipmap Queue");
    EXPECT_EQ(dispatch_queue_get_label(dispatch_get_main_queue()), "com.apple.main-thread");
    EXPECT_EQ(dispatch_queue_get_label(nullptr), "");
    // The main queue is one object: every call hands out the same queue.
    EXPECT_EQ(dispatch_get_main_queue(), dispatch_get_main_queue());
}

TEST(Part3_2_DispatchQueue, SerialQueueRunsOneItemAtATimeInOrder) {
    constexpr int kItems = 2000;
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> inside{0};
    std::atomic<int> mostInside{0};
    auto queue = dispatch_queue_create("Serial Order", DISPATCH_QUEUE_SERIAL);
    for (int i = 0; i < kItems; ++i) {
        auto work = [&, i] {
            const int now = ++inside;
            int seen = mostInside.load();
            while (now > seen && !mostInside.compare_exchange_weak(seen, now)) {}
            {
                std::lock_guard lock(mutex);
                order.push_back(i);
            }
            --inside;
        };
        // On a serial queue a barrier is an ordinary item in the order.
        if (i % 7 == 0) {
            dispatch_barrier_async(queue, work);
        } else {
            dispatch_async(queue, work);
        }
    }
    queue.reset();  // the release finishes every submitted item and joins the worker

    std::vector<int> expected(kItems);
    for (int i = 0; i < kItems; ++i) expected[i] = i;
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(mostInside.load(), 1);
}

TEST(Part3_2_DispatchQueue, ConcurrentQueueRunsItemsAtTheSameTime) {
    // Two items that each wait for the other: both complete only if they run at the same time.
    std::mutex mutex;
    std::condition_variable changed;
    int arrived = 0;
    int met = 0;
    Counter done;
    auto queue = dispatch_queue_create("Concurrent Meet", DISPATCH_QUEUE_CONCURRENT);
    for (int i = 0; i < 2; ++i) {
        dispatch_async(queue, [&] {
            std::unique_lock lock(mutex);
            ++arrived;
            changed.notify_all();
            if (changed.wait_for(lock, kPatience, [&] { return arrived == 2; })) ++met;
            lock.unlock();
            done.add();
        });
    }
    ASSERT_TRUE(done.waitFor(2));
    std::lock_guard lock(mutex);
    EXPECT_EQ(met, 2);
}

TEST(Part3_2_DispatchQueue, BarrierOrdersBeforeAndAfterExactly) {
    // Many rounds of ordinary items and barriers, each item timed by a shared sequence number taken
    // under a mutex at its start and at its end. Every barrier must start after every earlier item
    // has ended and end before every later item starts.
    constexpr int kRounds = 300;
    auto queue = dispatch_queue_create("Barrier Order", DISPATCH_QUEUE_CONCURRENT);
    std::mt19937 generator(20240611);
    int roundsWithOverlap = 0;
    for (int round = 0; round < kRounds; ++round) {
        struct Record {
            bool barrier = false;
            int start = -1;
            int end = -1;
        };
        std::vector<Record> records;
        // Ordinary items in runs of 0 to 5 around 1 to 3 barriers (two barriers may be adjacent, or
        // first, or last).
        const int barriers = 1 + static_cast<int>(generator() % 3);
        for (int b = 0; b <= barriers; ++b) {
            const int run = static_cast<int>(generator() % 6);
            for (int i = 0; i < run; ++i) records.push_back({false});
            if (b < barriers) records.push_back({true});
        }
        std::mutex mutex;
        int sequence = 0;
        int inside = 0;
        bool overlapped = false;
        Counter done;
        for (size_t index = 0; index < records.size(); ++index) {
            const auto pause = std::chrono::microseconds(generator() % 300);
            auto work = [&, index, pause] {
                {
                    std::lock_guard lock(mutex);
                    records[index].start = sequence++;
                    if (++inside > 1) overlapped = true;
                }
                std::this_thread::sleep_for(pause);
                {
                    std::lock_guard lock(mutex);
                    records[index].end = sequence++;
                    --inside;
                }
                done.add();
            };
            if (records[index].barrier) {
                dispatch_barrier_async(queue, work);
            } else {
                dispatch_async(queue, work);
            }
        }
        ASSERT_TRUE(done.waitFor(static_cast<int>(records.size()))) << "round " << round;
        std::lock_guard lock(mutex);
        if (overlapped) ++roundsWithOverlap;
        for (size_t b = 0; b < records.size(); ++b) {
            if (!records[b].barrier) continue;
            for (size_t i = 0; i < b; ++i) {
                ASSERT_LT(records[i].end, records[b].start) << "round " << round << ": item " << i
                                                            << " still ran when barrier " << b << " started";
            }
            for (size_t i = b + 1; i < records.size(); ++i) {
                ASSERT_GT(records[i].start, records[b].end) << "round " << round << ": item " << i
                                                            << " started before barrier " << b << " ended";
            }
        }
    }
    // The ordinary items between barriers did run concurrently (else the test proves little).
    EXPECT_GT(roundsWithOverlap, 0);
}

TEST(Part3_2_DispatchQueue, EmptyBarrierIsAnOrderingPoint) {
    // Part 3.2 addRequestBarrier: an empty barrier item; later items wait for earlier ones.
    Gate gate;
    std::atomic<bool> earlierDone{false};
    std::atomic<bool> laterSawEarlierDone{false};
    Counter done;
    auto queue = dispatch_queue_create("Empty Barrier", DISPATCH_QUEUE_CONCURRENT);
    dispatch_async(queue, [&] {
        gate.waitOpen();
        earlierDone = true;
        done.add();
    });
    dispatch_barrier_async(queue, dispatch_block_t{});
    dispatch_async(queue, [&] {
        laterSawEarlierDone = earlierDone.load();
        done.add();
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(done.count(), 0);  // the later item is held behind the barrier
    gate.open();
    ASSERT_TRUE(done.waitFor(2));
    EXPECT_TRUE(laterSawEarlierDone.load());
}

TEST(Part3_2_DispatchQueue, BarrierAsyncDoesNotBlockTheSubmitter) {
    Gate gate;
    std::atomic<bool> blockerStarted{false};
    std::atomic<bool> barrierRan{false};
    Counter done;
    auto queue = dispatch_queue_create("Barrier Submitter", DISPATCH_QUEUE_CONCURRENT);
    dispatch_async(queue, [&] {
        blockerStarted = true;
        gate.waitOpen();
        done.add();
    });
    // These calls return while the blocking item holds the barrier back.
    dispatch_barrier_async(queue, [&] {
        barrierRan = true;
        done.add();
    });
    dispatch_barrier_async(queue, [&] { done.add(); });
    dispatch_async(queue, [&] { done.add(); });
    EXPECT_FALSE(barrierRan.load());
    // The submitting thread (here) is free: it can even be the one that unblocks the queue.
    gate.open();
    ASSERT_TRUE(done.waitFor(4));
    EXPECT_TRUE(barrierRan.load());
}

TEST(Part3_2_DispatchQueue, ManySubmittersWithBarriers) {
    // Several threads submit ordinary items and barriers at once; every item runs exactly once.
    constexpr int kThreads = 4;
    constexpr int kItemsPerThread = 500;
    std::vector<std::atomic<int>> runs(kThreads * kItemsPerThread);
    Counter done;
    auto queue = dispatch_queue_create("Many Submitters", DISPATCH_QUEUE_CONCURRENT);
    std::vector<std::thread> submitters;
    for (int t = 0; t < kThreads; ++t) {
        submitters.emplace_back([&, t] {
            for (int i = 0; i < kItemsPerThread; ++i) {
                auto work = [&, index = t * kItemsPerThread + i] {
                    ++runs[index];
                    done.add();
                };
                if (i % 50 == 0) {
                    dispatch_barrier_async(queue, work);
                } else {
                    dispatch_async(queue, work);
                }
            }
        });
    }
    for (auto& s : submitters) s.join();
    ASSERT_TRUE(done.waitFor(kThreads * kItemsPerThread));
    for (size_t i = 0; i < runs.size(); ++i) ASSERT_EQ(runs[i].load(), 1) << "item " << i;
}

TEST(Part3_2_DispatchQueue, MainQueueRunsOnlyWhenDrainedInOrderOnTheDrainingThread) {
    emptyMainQueue();
    const auto main = dispatch_get_main_queue();
    std::vector<int> order;  // written only by main-queue items, which run on this thread
    std::vector<std::thread::id> threads;
    for (int i = 0; i < 5; ++i) {
        auto work = [&, i] {
            order.push_back(i);
            threads.push_back(std::this_thread::get_id());
        };
        if (i == 2) {
            dispatch_barrier_async(main, work);  // the main queue is serial: an ordinary item
        } else {
            dispatch_async(main, work);
        }
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(order.empty());  // nothing runs the main queue but a drain

    EXPECT_EQ(dispatchMainQueueDrain(), 5u);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    for (const auto& id : threads) EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_EQ(dispatchMainQueueDrain(), 0u);
}

TEST(Part3_2_DispatchQueue, MainQueueItemsSubmittedDuringADrainWaitForTheNextDrain) {
    emptyMainQueue();
    const auto main = dispatch_get_main_queue();
    int runs = 0;
    bool again = true;
    std::function<void()> resubmit = [&] {
        ++runs;
        if (again) dispatch_async(main, resubmit);  // submits itself again while `again`
    };
    dispatch_async(main, resubmit);
    EXPECT_EQ(dispatchMainQueueDrain(), 1u);  // returns although the item keeps the queue non-empty
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(dispatchMainQueueDrain(), 1u);
    EXPECT_EQ(runs, 2);
    again = false;
    EXPECT_EQ(dispatchMainQueueDrain(), 1u);
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(dispatchMainQueueDrain(), 0u);
}

TEST(Part3_2_DispatchQueue, NestedDrainRunsNothing) {
    emptyMainQueue();
    const auto main = dispatch_get_main_queue();
    size_t nested = 99;
    bool nestedRunUntil = true;
    bool secondRan = false;
    dispatch_async(main, [&] {
        nested = dispatchMainQueueDrain();
        nestedRunUntil = dispatchMainQueueRunUntil([] { return false; }, Clock::now() + 1h);
    });
    dispatch_async(main, [&] { secondRan = true; });
    EXPECT_EQ(dispatchMainQueueDrain(), 2u);
    EXPECT_EQ(nested, 0u);
    EXPECT_FALSE(nestedRunUntil);  // returned done() at once instead of waiting an hour
    EXPECT_TRUE(secondRan);
}

TEST(Part3_2_DispatchQueue, WorkerThreadsSubmitToTheMainQueue) {
    emptyMainQueue();
    constexpr int kItems = 200;
    auto queue = dispatch_queue_create("To Main", DISPATCH_QUEUE_CONCURRENT);
    const auto main = dispatch_get_main_queue();
    int answered = 0;  // written only on the main queue, i.e. on this thread
    bool allOnThisThread = true;
    const auto self = std::this_thread::get_id();
    for (int i = 0; i < kItems; ++i) {
        dispatch_async(queue, [&, main] {
            dispatch_async(main, [&] {
                ++answered;
                if (std::this_thread::get_id() != self) allOnThisThread = false;
            });
        });
    }
    EXPECT_TRUE(dispatchMainQueueRunUntil([&] { return answered == kItems; }, Clock::now() + kPatience));
    EXPECT_EQ(answered, kItems);
    EXPECT_TRUE(allOnThisThread);
}

TEST(Part3_2_DispatchQueue, WaitAndDrainWaitsForWorkOrTheDeadline) {
    emptyMainQueue();
    // Nothing arrives: returns 0 once the deadline has passed, not before.
    const auto start = Clock::now();
    EXPECT_EQ(dispatchMainQueueWaitAndDrain(start + 60ms), 0u);
    EXPECT_GE(Clock::now() - start, 60ms);
    // A past deadline still runs what is pending.
    bool ran = false;
    dispatch_async(dispatch_get_main_queue(), [&] { ran = true; });
    EXPECT_EQ(dispatchMainQueueWaitAndDrain(Clock::now() - 1s), 1u);
    EXPECT_TRUE(ran);
    // Work that arrives from another thread ends the wait long before the deadline.
    auto queue = dispatch_queue_create("Late Submitter", DISPATCH_QUEUE_SERIAL);
    bool late = false;
    dispatch_async(queue, [&] {
        std::this_thread::sleep_for(50ms);
        dispatch_async(dispatch_get_main_queue(), [&] { late = true; });
    });
    const auto waitStart = Clock::now();
    EXPECT_EQ(dispatchMainQueueWaitAndDrain(waitStart + 1h), 1u);
    EXPECT_LT(Clock::now() - waitStart, kPatience);
    EXPECT_TRUE(late);
}

TEST(Part3_2_DispatchQueue, SecondRequestIsAnsweredOnTheMainQueueAfterTheResultIsStored) {
    // The shape of Part 3.2's level request, on these queues: the first request sets a placeholder
    // and starts a generation whose result the main queue stores; a request that finds the
    // placeholder retries through the background queue and the main queue until the result is there.
    emptyMainQueue();
    auto background = dispatch_queue_create("Mipmap Queue", DISPATCH_QUEUE_CONCURRENT);
    const auto main = dispatch_get_main_queue();
    const auto self = std::this_thread::get_id();
    enum class Cache { none, placeholder, stored };
    Cache cache = Cache::none;  // touched only by this thread: the requester and the main queue
    std::vector<std::string> events;
    int retries = 0;
    Gate generationMayFinish;

    std::function<void(const std::string&)> request = [&](const std::string& who) {
        ASSERT_EQ(std::this_thread::get_id(), self);
        if (cache == Cache::stored) {
            events.push_back(who + " answered");
            return;
        }
        if (cache == Cache::placeholder) {
            ++retries;
            dispatch_async(background, [&, who] { dispatch_async(main, [&, who] { request(who); }); });
            return;
        }
        cache = Cache::placeholder;
        dispatch_async(background, [&, who] {
            generationMayFinish.waitOpen();
            dispatch_async(main, [&, who] {
                cache = Cache::stored;
                events.push_back("stored");
                events.push_back(who + " answered");
            });
        });
    };
    request("first");
    request("second");
    // While the generation runs, the second request keeps retrying on the main queue.
    EXPECT_TRUE(dispatchMainQueueRunUntil([&] { return retries >= 3; }, Clock::now() + kPatience));
    EXPECT_TRUE(events.empty());
    generationMayFinish.open();
    EXPECT_TRUE(dispatchMainQueueRunUntil([&] { return events.size() == 3; }, Clock::now() + kPatience));
    EXPECT_EQ(events, (std::vector<std::string>{"stored", "first answered", "second answered"}));
    // No retry is left behind once answered: let any stray item through, nothing changes.
    dispatch_barrier_async(background, [main] { dispatch_async(main, [] {}); });
    EXPECT_GE(dispatchMainQueueWaitAndDrain(Clock::now() + kPatience), 1u);
    EXPECT_EQ(events.size(), 3u);
}

TEST(Part3_2_DispatchQueue, ThrowingItemIsLoggedAndTheQueueGoesOn) {
    emptyMainQueue();
    LogCapture log;
    auto serial = dispatch_queue_create("Throwing Serial", DISPATCH_QUEUE_SERIAL);
    auto concurrent = dispatch_queue_create("Throwing Concurrent", DISPATCH_QUEUE_CONCURRENT);
    Counter done;
    for (const auto& queue : {serial, concurrent}) {
        dispatch_async(queue, [] { throw std::runtime_error("plain failure"); });
        dispatch_barrier_async(queue, [] { NSException::raise(NSInvalidArgumentException, "bad argument"); });
        dispatch_async(queue, [] { throw 42; });
        dispatch_barrier_async(queue, [&] { done.add(); });
    }
    ASSERT_TRUE(done.waitFor(2));
    dispatch_async(dispatch_get_main_queue(), [] { throw std::logic_error("main failure"); });
    bool afterRan = false;
    dispatch_async(dispatch_get_main_queue(), [&] { afterRan = true; });
    EXPECT_EQ(dispatchMainQueueDrain(), 2u);
    EXPECT_TRUE(afterRan);

    auto lines = log.lines();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{
        "Work item on queue \"Throwing Concurrent\" raised an exception: NSInvalidArgumentException: bad argument",
        "Work item on queue \"Throwing Concurrent\" raised an exception: an exception that is not a std::exception",
        "Work item on queue \"Throwing Concurrent\" raised an exception: plain failure",
        "Work item on queue \"Throwing Serial\" raised an exception: NSInvalidArgumentException: bad argument",
        "Work item on queue \"Throwing Serial\" raised an exception: an exception that is not a std::exception",
        "Work item on queue \"Throwing Serial\" raised an exception: plain failure",
        "Work item on queue \"com.apple.main-thread\" raised an exception: main failure",
    }));
}

TEST(Part3_2_DispatchQueue, NullQueueLogsAndDropsTheWork) {
    LogCapture log;
    bool ran = false;
    dispatch_async(nullptr, [&] { ran = true; });
    dispatch_barrier_async(nullptr, [&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
        "dispatch_async: no queue; the work item is dropped",
        "dispatch_barrier_async: no queue; the work item is dropped",
    }));
}

TEST(Part3_2_DispatchQueue, ReleaseFinishesSubmittedItemsAndJoins) {
    for (auto attr : {DISPATCH_QUEUE_SERIAL, DISPATCH_QUEUE_CONCURRENT}) {
        std::atomic<int> ran{0};
        auto queue = dispatch_queue_create("Released", attr);
        for (int i = 0; i < 20; ++i) {
            auto work = [&] {
                std::this_thread::sleep_for(2ms);
                ++ran;
            };
            if (i == 10) {
                dispatch_barrier_async(queue, work);
            } else {
                dispatch_async(queue, work);
            }
        }
        queue.reset();  // waits for all 20 items
        EXPECT_EQ(ran.load(), 20) << "attribute " << attr;
    }
}

TEST(Part3_2_DispatchQueue, ReleaseFromAnItemOfTheSameQueueDoesNotDeadlock) {
    for (auto attr : {DISPATCH_QUEUE_SERIAL, DISPATCH_QUEUE_CONCURRENT}) {
        Counter done;
        Gate gate;
        {
            auto queue = dispatch_queue_create("Self Release", attr);
            // The first item holds a handle; once the test drops its own, that item's captures hold
            // the last one and release the queue on its worker thread when the item has run.
            dispatch_async(queue, [&, keep = queue] {
                gate.waitOpen();
                done.add();
            });
            for (int i = 0; i < 5; ++i) dispatch_async(queue, [&] { done.add(); });
            dispatch_barrier_async(queue, [&] { done.add(); });
        }
        gate.open();
        // The items after the releasing one still run, on workers that end on their own.
        EXPECT_TRUE(done.waitFor(7)) << "attribute " << attr;
    }
}

TEST(Part3_2_DispatchQueue, ReleaseOfAnotherQueueFromAnItem) {
    // An item of one queue holds the last handle of another queue with pending work.
    auto outer = dispatch_queue_create("Outer", DISPATCH_QUEUE_SERIAL);
    std::atomic<int> innerRan{0};
    Counter done;
    {
        auto inner = dispatch_queue_create("Inner", DISPATCH_QUEUE_CONCURRENT);
        for (int i = 0; i < 10; ++i) dispatch_async(inner, [&] { ++innerRan; });
        dispatch_async(outer, [&, inner]() mutable {
            inner.reset();  // the last handle: waits for the inner items, then joins
            done.add();
        });
    }
    ASSERT_TRUE(done.waitFor(1));
    EXPECT_EQ(innerRan.load(), 10);
}

// The child of ProcessExitsPromptlyWithItemsInFlight; skipped in ordinary runs.
TEST(Part3_2_DispatchQueue, ExitChild) {
    if (!std::getenv("VANTLER_DISPATCH_EXIT_CHILD")) {
        GTEST_SKIP() << "runs only as the child process of ProcessExitsPromptlyWithItemsInFlight";
    }
    // Process-wide queues, kept in leaked handles as DispatchQueue.h says (Part 3.2's "Mipmap Queue"
    // is never destroyed).
    static const dispatch_queue_t& concurrent =
        *new dispatch_queue_t(dispatch_queue_create("Mipmap Queue", DISPATCH_QUEUE_CONCURRENT));
    static const dispatch_queue_t& serial =
        *new dispatch_queue_t(dispatch_queue_create("Exit Serial", DISPATCH_QUEUE_SERIAL));
    static Counter* const started = new Counter;  // leaked too: items still use it at exit
    const auto longItem = [] {
        started->add();
        std::this_thread::sleep_for(10min);
    };
    for (int i = 0; i < 8; ++i) dispatch_async(concurrent, longItem);
    dispatch_barrier_async(concurrent, [] {});
    dispatch_async(concurrent, longItem);
    dispatch_async(serial, longItem);
    dispatch_async(serial, longItem);
    dispatch_async(dispatch_get_main_queue(), longItem);  // never drained
    // Workers of both queues are busy before main returns.
    ASSERT_TRUE(started->waitFor(3));  // at least 2 on the concurrent queue, 1 on the serial one
    std::printf("items in flight; returning from the test\n");
}

TEST(Part3_2_DispatchQueue, ProcessExitsPromptlyWithItemsInFlight) {
    // Runs this test program again, alone in ExitChild, which submits ten-minute items to
    // process-wide queues and returns from main while they run. It must exit with status 0 at once.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.emplace_back("VANTLER_DISPATCH_EXIT_CHILD=1");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = "/proc/self/exe";
    std::string filter = "--gtest_filter=Part3_2_DispatchQueue.ExitChild";
    std::vector<char*> argv{program.data(), filter.data(), nullptr};

    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    pid_t pid = -1;
    const auto start = Clock::now();
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    ASSERT_EQ(spawned, 0);

    // Read the child's output until it closes (it exits) or the time is up.
    std::string output;
    bool closed = false;
    const auto deadline = start + kPatience;
    while (!closed) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms) break;
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<size_t>(n));
        } else if (n == 0) {
            closed = true;
        }
    }
    close(fds[0]);
    if (!closed) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {}
    const auto elapsed = Clock::now() - start;

    ASSERT_TRUE(closed) << "the child did not exit within " << kPatience.count() << " s:\n" << output;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << ":\n" << output;
    EXPECT_NE(output.find("items in flight; returning from the test"), std::string::npos) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    EXPECT_LT(elapsed, kPatience);
}
