#include "NSLog.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace {
std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}
NSLogSink& currentSink() {
    static NSLogSink sink;
    return sink;
}
}  // namespace

void NSLog(const std::string& line) {
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(line);
        return;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

NSLogSink NSLogSetSink(NSLogSink sink) {
    std::lock_guard lock(sinkMutex());
    return std::exchange(currentSink(), std::move(sink));
}
