#pragma once
// What the AppKit stand-in asks of a window system: screens, real windows for NSWindows, drawing,
// cursors, alerts, the desktop's appearance, and waiting for input. One window server serves the
// process (NSApplication::setWindowServer); the GTK one shows real windows. Without one the
// classes still work, headless: there are no screens, windows show nowhere, nothing arrives but
// what is posted, and alerts are written to the standard error.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CGGeometry.h"
#include "NSRunLoop.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSAlert;
class NSWindow;

// The alert's answer: the first button is 1000, the second 1001, ...
using NSModalResponse = long;
inline constexpr NSModalResponse NSAlertFirstButtonReturn = 1000;

class NSWindowServer {
  public:
    virtual ~NSWindowServer() = default;

    // The screens' frames in global screen coordinates (origin at the lower left of the first
    // screen, y upwards), the first being the main screen; empty when there is no display.
    virtual std::vector<CGRect> screenFrames() const = 0;
    virtual CGFloat backingScaleFactor() const { return 1.0; }

    // A window came on screen, went away, was retitled or resized (its frame is in global screen
    // coordinates), or needs to be drawn again.
    virtual void orderFront(NSWindow& window) = 0;
    virtual void close(NSWindow& window) = 0;
    virtual void setTitle(NSWindow& window, const std::string& title) = 0;
    virtual void setNeedsDisplay(NSWindow& window) = 0;
    // Where the window stands now, in global screen coordinates, as the user may have moved it;
    // none while the window system has not placed it yet.
    virtual std::optional<CGRect> frameOfWindow(const NSWindow& window) const = 0;

    // The cursor to show: AppKit's cursor names ("arrowCursor", "closedHandCursor", ...).
    virtual void showCursor(const std::string& name) = 0;

    // Shows the alert and waits for a button; on a window as a sheet, or on its own.
    virtual NSModalResponse runAlert(const NSAlert& alert, NSWindow* sheetParent) = 0;

    // Whether the desktop asks applications for dark colours.
    virtual bool prefersDarkAppearance() const = 0;

    // Waits until the window system has delivered input (turned into posted events) or the date has
    // passed. Answers false when no input can arrive any more (the display went away).
    virtual bool waitForInputBeforeDate(NSRunLoopDate date) = 0;
};

#pragma GCC visibility pop
