#include "NSScreen.h"

#include "NSApplication.h"

std::vector<NSScreen> NSScreen::screens() {
    std::vector<NSScreen> screens;
    const NSWindowServer* server = NSApplication::sharedApplication().windowServer();
    if (!server) return screens;
    for (const CGRect frame : server->screenFrames())
        screens.push_back({frame, server->backingScaleFactor()});
    return screens;
}

std::optional<NSScreen> NSScreen::mainScreen() {
    const auto all = screens();
    if (all.empty()) return std::nullopt;
    return all.front();
}

std::optional<NSScreen> NSScreen::screenForRect(CGRect rect) {
    std::optional<NSScreen> best;
    CGFloat bestArea = 0;
    for (const NSScreen& screen : screens()) {
        const CGRect shown = CGRectIntersection(screen.frame, rect);
        const CGFloat area = CGRectIsNull(shown) ? 0 : shown.size.width * shown.size.height;
        // A window of no area on a screen still counts as on it.
        if (!CGRectIsNull(shown) && (!best || area > bestArea)) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}
