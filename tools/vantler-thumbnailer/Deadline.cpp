// The deadline as an interval timer and a SIGALRM handler that only calls async-signal-safe
// functions (write, unlink, _exit). See Deadline.h.

#include "Deadline.h"

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstring>

namespace {

// Set before the timer starts and never freed, so that the handler reads them at any moment.
const char* gMessage = nullptr;
const char* gOutputPath = nullptr;
std::atomic<bool> gOutputBegun{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

void expire(int) {
    const size_t length = std::strlen(gMessage);
    size_t written = 0;
    while (written < length) {
        const ssize_t n = write(STDERR_FILENO, gMessage + written, length - written);
        if (n <= 0) break;
        written += size_t(n);
    }
    if (gOutputBegun.load()) unlink(gOutputPath);
    _exit(1);
}

}  // namespace

namespace Deadline {

bool arm(double seconds, const std::string& message, const std::string& outputPath) {
    gMessage = strdup((message + "\n").c_str());
    gOutputPath = strdup(outputPath.c_str());
    if (!gMessage || !gOutputPath) return false;

    struct sigaction action {};
    action.sa_handler = expire;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGALRM, &action, nullptr) != 0) return false;
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    if (sigprocmask(SIG_UNBLOCK, &alarm, nullptr) != 0) return false;

    double whole = 0;
    const double fraction = std::modf(seconds, &whole);
    itimerval timer{};
    timer.it_value.tv_sec = static_cast<time_t>(whole);
    timer.it_value.tv_usec = static_cast<suseconds_t>(fraction * 1e6);
    if (timer.it_value.tv_sec == 0 && timer.it_value.tv_usec == 0) timer.it_value.tv_usec = 1;
    return setitimer(ITIMER_REAL, &timer, nullptr) == 0;
}

void outputBegun() {
    gOutputBegun.store(true);
}

void disarm() {
    const itimerval stopped{};
    setitimer(ITIMER_REAL, &stopped, nullptr);
}

}  // namespace Deadline
