#include "FileMappingGuard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace {

// The guarded ranges, read by the signal handler, so lock-free: a slot is free while its start is
// 0, reserved while it is 1, and matches addresses once it holds the mapping's start.
struct GuardedRange {
    std::atomic<uintptr_t> start{0};
    std::atomic<uintptr_t> end{0};
};
constexpr uintptr_t kFree = 0, kReserved = 1;
constexpr size_t kMaxGuardedMappings = 64;
GuardedRange guarded[kMaxGuardedMappings];

struct sigaction previousAction;
// Read once when the handler is installed: sysconf is not among the calls a signal handler may
// make.
uintptr_t pageSize = 0;

bool isGuarded(uintptr_t address) {
    for (const auto& range : guarded) {
        const uintptr_t start = range.start.load(std::memory_order_acquire);
        if (start > kReserved && address >= start && address < range.end.load()) return true;
    }
    return false;
}

void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    if (isGuarded(address)) {
        // The page the file no longer backs becomes a page of zeros; the read is then retried.
        void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
        if (mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED)
            return;
    }
    if (previousAction.sa_flags & SA_SIGINFO) {
        previousAction.sa_sigaction(signal, info, context);
    } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
    } else {
        // Back to the default action; the faulting access, retried, ends the process with SIGBUS.
        struct sigaction defaultAction {};
        defaultAction.sa_handler = SIG_DFL;
        sigaction(SIGBUS, &defaultAction, nullptr);
    }
}

void installHandler() {
    pageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &previousAction);
}

}  // namespace

bool guardMapping(const void* address, size_t length) {
    static std::once_flag installed;
    std::call_once(installed, installHandler);
    const auto start = reinterpret_cast<uintptr_t>(address);
    for (auto& range : guarded) {
        uintptr_t expected = kFree;
        if (!range.start.compare_exchange_strong(expected, kReserved)) continue;
        range.end.store(start + length);
        range.start.store(start, std::memory_order_release);
        return true;
    }
    return false;
}

void unguardMapping(const void* address) {
    const auto start = reinterpret_cast<uintptr_t>(address);
    for (auto& range : guarded) {
        if (range.start.load() != start) continue;
        range.start.store(kReserved);
        range.end.store(0);
        range.start.store(kFree, std::memory_order_release);
        return;
    }
}
