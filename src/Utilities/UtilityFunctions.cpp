#include "UtilityFunctions.h"

#include <chrono>

#include "NSFileManager.h"
#include "NSProcessInfo.h"

double profile(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void cleanupFile(const NSURL* url) {
    if (!url) return;
    const NSFileManager& manager = *NSFileManager::defaultManager();
    if (manager.isReadableFileAtPath(url->path())) manager.removeItemAtURL_error(*url, nullptr);
}

bool modifierPressed(NSEventModifierFlags mask) {
    return (NSEvent::currentModifierFlags() & mask) != 0;
}

bool isMojaveOrLater() {
    return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({10, 14, 0});
}
