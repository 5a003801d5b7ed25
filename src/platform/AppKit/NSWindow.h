#pragma once
// A window: a content view shown in a rectangle of the screen. Its own coordinates start at the
// lower left of its content, y upwards, one unit a point. It hands mouse events to the view under
// the mouse (and the drags and release that follow a press to the view that took the press), keys
// to its first responder, and draws its views into a context whose user space is its coordinates.

#include <memory>
#include <optional>
#include <string>

#include "CGContext.h"
#include "NSEvent.h"
#include "NSObject.h"
#include "NSScreen.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSView;

class NSWindow : public NSObject {
  public:
    // A window whose content occupies the rectangle (global screen coordinates), not yet shown.
    static std::shared_ptr<NSWindow> initWithContentRect(CGRect contentRect);

    // The content's rectangle on the screen, as the window server last placed it.
    CGRect frame() const;
    void setFrame(CGRect frame);
    // Kept by the window server when the user moves or resizes the window; resizes the content
    // view.
    void windowServerDidPlace(CGRect frame);

    const std::shared_ptr<NSView>& contentView() const { return contentView_; }
    void setContentView(std::shared_ptr<NSView> view);
    NSView* firstResponder() const { return firstResponder_.lock().get(); }
    bool makeFirstResponder(const std::shared_ptr<NSView>& view);

    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);
    // The screen that shows most of the window; none headless or when it is off every screen.
    std::optional<NSScreen> screen() const;
    bool isVisible() const { return visible_; }
    void makeKeyAndOrderFront();
    void close();

    CGPoint convertPointToScreen(CGPoint point) const;
    CGPoint convertPointFromScreen(CGPoint point) const;
    CGRect convertRectToScreen(CGRect rect) const;
    CGRect convertRectFromScreen(CGRect rect) const;

    void sendEvent(const NSEvent& event);
    // The cursor areas of the view changed: the window shows the cursor they ask for again.
    void invalidateCursorRectsForView(NSView& view);

    void setViewsNeedDisplay();
    // Draws every view, back to front, into a context whose user space is the window's coordinates.
    void displayInContext(const CGContextRef& context) const;

  private:
    NSView* viewForMouseEvent(const NSEvent& event);

    CGRect frame_{};
    std::shared_ptr<NSView> contentView_;
    std::weak_ptr<NSView> firstResponder_;
    std::weak_ptr<NSView> mouseDownView_;
    std::string title_;
    bool visible_ = false;
};

#pragma GCC visibility pop
