#pragma once
// Work queues: the part of libdispatch the system uses, under libdispatch's names. The mipmap cache
// needs one process-wide concurrent queue (the "Mipmap Queue") with an asynchronous barrier, and a
// way to run work on the main queue, which the host's main loop drains (tests drain it explicitly
// with dispatchMainQueueDrain...).
//
// Semantics:
// - A concurrent queue runs its items on its own small pool of worker threads (between 2 and 4,
//   following the hardware's thread count). Items start in submission order; at most that many run
//   at once, so items that wait for more than (pool size - 1) other items of the same queue
//   deadlock.
// - A barrier item on a concurrent queue starts only after every item submitted before it has
//   finished, and every item submitted after it starts only after it has finished
//   (dispatch_barrier_async). On a serial queue a barrier is an ordinary item.
// - A serial queue runs one item at a time, in submission order, on one worker thread of its own.
// - The main queue is serial and has no thread: its items run only inside
// dispatchMainQueueDrain...,
//   on the thread that calls it.
// - Submitting never blocks the submitting thread (beyond a short internal lock).
// - An exception escaping a work item is caught, logged as one line through NSLog (naming the
// queue),
//   and the queue goes on with its next item.
// - A work item, and everything it captured, is destroyed on the thread that ran it, right after it
//   ran; none of a queue's locks is held then, so it may release queues or submit more work.
//
// Lifetime: a queue is a shared handle (dispatch_queue_t); the queue lives while a handle does.
// - When the last handle of a queue from dispatch_queue_create goes away, the queue first finishes
//   every item already submitted (like libdispatch, it never drops submitted work) and then joins
//   its worker threads: the release blocks until the queue is empty. Do not release the last handle
//   while one of its items waits for the releasing thread.
// - When the last handle is released by a work item of that same queue (an item that held the last
//   handle), the release does not wait: the workers finish the remaining items and end on their
//   own.
// - Queues meant to live for the whole process (the "Mipmap Queue", never destroyed) must
//   be kept in a deliberately leaked handle, as the main queue is, e.g.
//       static const dispatch_queue_t& queue =
//           *new dispatch_queue_t(dispatch_queue_create("Mipmap Queue",
//           DISPATCH_QUEUE_CONCURRENT));
//   Then the process may exit (return from main, exit()) while items run or wait: nothing waits for
//   them at static destruction, and the worker threads end with the process. A queue kept in an
//   ordinary static handle would instead be released at exit and wait for all its items.
// - The main queue is made on first use and never destroyed; items still pending at exit never run.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#pragma GCC visibility push(default)  // exported from libVantler

struct dispatch_queue_s;  // defined in DispatchQueue.cpp
using dispatch_queue_t = std::shared_ptr<dispatch_queue_s>;

// A work item. An empty function is a valid item that does nothing (it still takes its place in
// the order, so an empty barrier is an ordering point).
using dispatch_block_t = std::function<void()>;

// The kind of queue dispatch_queue_create makes.
enum dispatch_queue_attr_t { DISPATCH_QUEUE_SERIAL = 0, DISPATCH_QUEUE_CONCURRENT = 1 };

// A new queue with its own worker thread(s), started here. The label names the queue in logged
// lines and (the first 15 bytes) its threads; it may be empty.
dispatch_queue_t dispatch_queue_create(const std::string& label, dispatch_queue_attr_t attr);

// The process-wide main queue ("com.apple.main-thread"), made on first use, never destroyed.
dispatch_queue_t dispatch_get_main_queue();

// The label given to dispatch_queue_create; empty for a null handle.
const std::string& dispatch_queue_get_label(const dispatch_queue_t& queue);

// Submits work to the queue and returns at once. A null queue logs one line and drops the work.
void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t work);

// Submits a barrier item and returns at once, without waiting for anything. A null queue logs one
// line and drops the work.
void dispatch_barrier_async(const dispatch_queue_t& queue, dispatch_block_t work);

// --- Driving the main queue (the host's main loop; tests) ---------------------------------------
//
// A drain runs, in order on the calling thread, the main-queue items that were pending when it
// began; items submitted while it runs (by those items or by other threads) wait for the next
// drain, so an item that resubmits itself cannot keep a drain from returning. Drains from several
// threads take turns. A drain called from inside a main-queue item runs nothing and returns 0 at
// once (the queue is serial).

// Runs the pending main-queue items; returns how many ran (0 when none was pending).
size_t dispatchMainQueueDrain();

// Waits until at least one main-queue item is pending or the deadline has passed, then runs the
// pending items as dispatchMainQueueDrain does; returns how many ran (0 only when the deadline
// passed with nothing pending).
size_t dispatchMainQueueWaitAndDrain(std::chrono::steady_clock::time_point deadline);

// Drains the main queue as items arrive until done() is true or the deadline passes; returns the
// last value of done(). done() is called on the calling thread (where main-queue items run), first
// before anything is drained and then after each drain, so it may read state that only main-queue
// items write without a lock. A call from inside a main-queue item returns done() at once.
// Typical use in a test: submit background work that answers on the main queue, then
//     ASSERT_TRUE(dispatchMainQueueRunUntil([&] { return answered; }, now + 10s));
bool dispatchMainQueueRunUntil(const std::function<bool()>& done,
                               std::chrono::steady_clock::time_point deadline);

#pragma GCC visibility pop
