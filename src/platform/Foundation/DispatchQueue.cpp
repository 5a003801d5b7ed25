#include "DispatchQueue.h"

#include <pthread.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "NSException.h"
#include "NSLog.h"

namespace {

struct WorkItem {
    dispatch_block_t work;
    bool barrier = false;
};

// What the workers (or the main queue's drainers) share with the handle. Workers hold it by a
// shared_ptr of their own, so that a worker detached by a release from inside its own queue
// (see ~dispatch_queue_s) never outlives it.
struct QueueState {
    QueueState(std::string label, bool hasWorkers)
        : label(std::move(label)), hasWorkers(hasWorkers) {}

    const std::string label;
    const bool hasWorkers;  // false for the main queue, whose items run only in a drain

    std::mutex mutex;
    // Notified when an item may have become startable, when the queue closes and when a drain of
    // the main queue ends.
    std::condition_variable changed;
    std::deque<WorkItem> items;  // submitted, not yet started, in submission order
    size_t running = 0;          // items started and not yet finished
    bool barrierRunning = false;
    bool closed = false;    // the last handle is gone: workers end once the items are done
    bool draining = false;  // main queue: a drain is running its batch

    // Items start in submission order: only the front item may start. A barrier needs the queue to
    // itself; an ordinary item only needs no barrier to be running. (For a serial queue, whose one
    // worker runs the only item, both conditions hold whenever the worker looks.)
    bool frontCanStart() const {
        if (items.empty() || barrierRunning) return false;
        return !items.front().barrier || running == 0;
    }
};

// Runs one work item; nothing escapes (an escaping exception is logged and dropped).
void runItem(const std::string& label, const dispatch_block_t& work) {
    std::string problem;
    try {
        if (work) work();
        return;
    } catch (const NSException& e) {
        problem = e.name() + ": " + e.reason();
    } catch (const std::exception& e) {
        problem = e.what();
    } catch (...) {
        problem = "an exception that is not a std::exception";
    }
    try {
        NSLog("Work item on queue \"" + label + "\" raised an exception: " + problem);
    } catch (...) {
        // Logging itself failed (no memory, a throwing sink): the worker still goes on.
    }
}

void workerLoop(std::shared_ptr<QueueState> state) {
    if (!state->label.empty()) {
        // Thread names are at most 15 bytes on Linux; a longer label is cut (best effort).
        pthread_setname_np(pthread_self(), state->label.substr(0, 15).c_str());
    }
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->changed.wait(lock, [&] {
            return state->frontCanStart() || (state->closed && state->items.empty());
        });
        if (!state->frontCanStart()) return;  // closed and nothing left to run
        WorkItem item = std::move(state->items.front());
        state->items.pop_front();
        ++state->running;
        state->barrierRunning = item.barrier;
        lock.unlock();

        runItem(state->label, item.work);
        // The captures go away before the item counts as finished (so a barrier sees them gone), on
        // this thread and without the lock: they may release queues (this one too) or submit work.
        item.work = nullptr;

        lock.lock();
        --state->running;
        if (item.barrier) {
            state->barrierRunning = false;
            // Every ordinary item queued behind the barrier may start now, not only the one this
            // worker takes next.
            state->changed.notify_all();
        }
        // After an ordinary item this worker itself takes the next startable item (a barrier
        // waiting for running == 0 included); other idle workers were already woken when items
        // arrived.
    }
}

// Set while this thread runs a main-queue batch: a nested drain must not run another item.
thread_local bool drainingMainQueueHere = false;

}  // namespace

struct dispatch_queue_s {
    std::shared_ptr<QueueState> state;
    std::vector<std::thread> workers;

    dispatch_queue_s(std::string label, bool hasWorkers)
        : state(std::make_shared<QueueState>(std::move(label), hasWorkers)) {}
    dispatch_queue_s(const dispatch_queue_s&) = delete;
    dispatch_queue_s& operator=(const dispatch_queue_s&) = delete;

    // The last handle is gone (never for the main queue, which is leaked). The workers finish every
    // submitted item, then end. From any other thread the release waits for that by joining them;
    // from one of this queue's own workers (an item held the last handle) it cannot join that
    // worker, so it waits for none of them and lets them end on their own.
    ~dispatch_queue_s() {
        {
            std::lock_guard lock(state->mutex);
            state->closed = true;
        }
        state->changed.notify_all();
        const auto self = std::this_thread::get_id();
        const bool onOwnWorker =
            std::any_of(workers.begin(), workers.end(),
                        [&](const std::thread& t) { return t.get_id() == self; });
        for (auto& worker : workers) {
            if (onOwnWorker) {
                worker.detach();
            } else {
                worker.join();
            }
        }
    }
};

namespace {

const dispatch_queue_t& mainQueue() {
    // Leaked on purpose: nothing runs at static destruction, and submitting from a worker while the
    // process exits stays safe.
    static const dispatch_queue_t* const queue =
        new dispatch_queue_t(std::make_shared<dispatch_queue_s>("com.apple.main-thread", false));
    return *queue;
}

void submit(const char* function, const dispatch_queue_t& queue, dispatch_block_t work,
            bool barrier) {
    if (!queue) {
        NSLog(std::string(function) + ": no queue; the work item is dropped");
        return;
    }
    QueueState& state = *queue->state;
    {
        std::lock_guard lock(state.mutex);
        state.items.push_back(WorkItem{std::move(work), barrier});
    }
    if (state.hasWorkers) {
        // One idle worker is enough: if the front cannot start yet, the worker that finishes the
        // blocking item takes it (or wakes everyone after a barrier).
        state.changed.notify_one();
    } else {
        state.changed.notify_all();  // drainers waiting in dispatchMainQueueWaitAndDrain
    }
}

// Runs the main-queue items pending now. Called with the lock held and no drain running; returns
// with the lock released.
size_t drainBatch(QueueState& state, std::unique_lock<std::mutex>& lock) {
    std::deque<WorkItem> batch;
    batch.swap(state.items);
    state.draining = true;
    lock.unlock();

    drainingMainQueueHere = true;
    for (auto& item : batch) {
        runItem(state.label, item.work);
        item.work = nullptr;  // captures go away in order, each right after its item
    }
    drainingMainQueueHere = false;

    lock.lock();
    state.draining = false;
    lock.unlock();
    state.changed.notify_all();  // drainers waiting for their turn
    return batch.size();
}

}  // namespace

dispatch_queue_t dispatch_queue_create(const std::string& label, dispatch_queue_attr_t attr) {
    auto queue = std::make_shared<dispatch_queue_s>(label, true);
    size_t count = 1;
    if (attr == DISPATCH_QUEUE_CONCURRENT) {
        // A few workers: at least 2, so that a concurrent queue is concurrent on one core too, and
        // at most 4 (the work is short image scaling for mipmaps).
        count = std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
    }
    queue->workers.reserve(count);
    for (size_t i = 0; i < count; ++i) queue->workers.emplace_back(workerLoop, queue->state);
    return queue;
}

dispatch_queue_t dispatch_get_main_queue() {
    return mainQueue();
}

const std::string& dispatch_queue_get_label(const dispatch_queue_t& queue) {
    static const std::string* const none = new std::string;
    return queue ? queue->state->label : *none;
}

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t work) {
    submit("dispatch_async", queue, std::move(work), false);
}

void dispatch_barrier_async(const dispatch_queue_t& queue, dispatch_block_t work) {
    submit("dispatch_barrier_async", queue, std::move(work), true);
}

size_t dispatchMainQueueDrain() {
    if (drainingMainQueueHere) return 0;
    QueueState& state = *mainQueue()->state;
    std::unique_lock lock(state.mutex);
    state.changed.wait(lock, [&] { return !state.draining; });
    return drainBatch(state, lock);
}

size_t dispatchMainQueueWaitAndDrain(std::chrono::steady_clock::time_point deadline) {
    if (drainingMainQueueHere) return 0;
    QueueState& state = *mainQueue()->state;
    std::unique_lock lock(state.mutex);
    if (!state.changed.wait_until(lock, deadline,
                                  [&] { return !state.draining && !state.items.empty(); })) {
        return 0;
    }
    return drainBatch(state, lock);
}

bool dispatchMainQueueRunUntil(const std::function<bool()>& done,
                               std::chrono::steady_clock::time_point deadline) {
    if (drainingMainQueueHere) return done();
    for (;;) {
        if (done()) return true;
        if (dispatchMainQueueWaitAndDrain(deadline) == 0) return done();  // the deadline passed
    }
}
