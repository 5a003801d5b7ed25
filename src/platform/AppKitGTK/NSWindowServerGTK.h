#pragma once
// The window server over GTK 4: real windows on the desktop for NSWindows, their drawing, the
// mouse, keyboard, wheel and pinch turned into NSEvents, the monitors as screens, cursors, alerts
// as GTK dialogs, and the desktop's dark-colour preference.
//
// Keys and buttons follow the desktop's conventions: Ctrl plays the part of Command and Alt the
// part of Option. Wheel and touchpad scrolls become scroll events whose deltas are how far the
// content moves (points, y positive downwards).

#include <map>
#include <memory>

#include "NSWindowServer.h"

class NSWindowServerGTK : public NSWindowServer {
  public:
    // Opens the display; none when there is none to open (no X11 or Wayland display).
    static std::shared_ptr<NSWindowServerGTK> open();
    ~NSWindowServerGTK() override;

    std::vector<CGRect> screenFrames() const override;
    CGFloat backingScaleFactor() const override;
    void orderFront(NSWindow& window) override;
    void close(NSWindow& window) override;
    void setTitle(NSWindow& window, const std::string& title) override;
    void setNeedsDisplay(NSWindow& window) override;
    std::optional<CGRect> frameOfWindow(const NSWindow& window) const override;
    void showCursor(const std::string& name) override;
    NSModalResponse runAlert(const NSAlert& alert, NSWindow* sheetParent) override;
    bool prefersDarkAppearance() const override;
    bool waitForInputBeforeDate(NSRunLoopDate date) override;

    struct ShownWindow;  // a GTK window and what draws it (NSWindowServerGTK.cpp)

  private:
    NSWindowServerGTK() = default;
    ShownWindow* shown(const NSWindow& window) const;

    std::map<const NSWindow*, std::unique_ptr<ShownWindow>> windows_;
    std::string cursorName_ = "default";
};
