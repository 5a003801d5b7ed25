#pragma once
// A display, as the window server reports it: its frame in global screen coordinates (origin at
// the lower left of the main screen, y upwards).

#include <optional>
#include <vector>

#include "CGGeometry.h"

#pragma GCC visibility push(default)  // exported from libVantler

struct NSScreen {
    CGRect frame{};
    CGFloat backingScaleFactor = 1.0;

    // Every screen, the main one first; empty without a display.
    static std::vector<NSScreen> screens();
    static std::optional<NSScreen> mainScreen();
    // The screen that shows the largest part of the rectangle; none when no screen shows any.
    static std::optional<NSScreen> screenForRect(CGRect rect);
};

#pragma GCC visibility pop
