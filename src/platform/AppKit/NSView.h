#pragma once
// A view: a rectangle of its window (its frame, in its superview's coordinates) that shows a part
// of its own coordinate space (its bounds). Zoom is the ratio of the two sizes; panning moves the
// bounds' origin. A flipped view's y runs downwards. Views nest; a view is drawn, then its
// subviews in order, each clipped to its frame.

#include <memory>
#include <optional>
#include <vector>

#include "CALayer.h"
#include "CGContext.h"
#include "NSEvent.h"
#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSWindow;

class NSView : public NSObject {
  public:
    explicit NSView(CGRect frame = CGRectZero);

    CGRect frame() const { return frame_; }
    CGRect bounds() const { return bounds_; }
    // A new frame size keeps the zoom: the bounds' size changes in proportion.
    void setFrame(CGRect frame);
    void setFrameSize(CGSize size);
    void setBounds(CGRect bounds);
    void setBoundsOrigin(CGPoint origin);
    virtual bool isFlipped() const { return false; }

    NSView* superview() const { return superview_; }
    const std::vector<std::shared_ptr<NSView>>& subviews() const { return subviews_; }
    void addSubview(std::shared_ptr<NSView> view);
    void removeFromSuperview();
    std::shared_ptr<NSWindow> window() const;

    // Between this view's coordinates and another view's of the same window; none stands for the
    // window's own coordinates. Rectangles convert as their four corners and answer the rectangle
    // that holds them.
    CGPoint convertPoint_fromView(CGPoint point, const NSView* view) const;
    CGPoint convertPoint_toView(CGPoint point, const NSView* view) const;
    CGRect convertRect_fromView(CGRect rect, const NSView* view) const;
    CGRect convertRect_toView(CGRect rect, const NSView* view) const;

    // The deepest view under the point (the superview's coordinates), this one or a subview; none
    // when the point is outside the frame.
    NSView* hitTest(CGPoint pointInSuperview);

    void setNeedsDisplay();
    // Draws the view into a context whose user space is the view's coordinates; the dirty
    // rectangle is in the same coordinates.
    virtual void drawRect(const CGContextRef& context, CGRect dirtyRect);
    // Draws this view and its subviews into a context whose user space is the superview's
    // coordinates (the window's for a content view).
    void displayInContext(const CGContextRef& context);

    void setWantsLayer(bool wantsLayer);
    CALayer* layer() { return layer_ ? &*layer_ : nullptr; }

    virtual void mouseDown(const NSEvent&) {}
    virtual void mouseDragged(const NSEvent&) {}
    virtual void mouseUp(const NSEvent&) {}
    virtual void mouseMoved(const NSEvent&) {}
    virtual void scrollWheel(const NSEvent&) {}
    virtual void magnifyWithEvent(const NSEvent&) {}
    virtual void keyDown(const NSEvent&) {}

  private:
    friend class NSWindow;
    // Maps this view's coordinates to its superview's (the window's for a content view).
    CGAffineTransform transformToSuperview() const;
    CGAffineTransform transformToWindow() const;
    void setWindow(const std::weak_ptr<NSWindow>& window);
    void drawLayerBorder(const CGContextRef& context) const;

    CGRect frame_{};
    CGRect bounds_{};
    NSView* superview_ = nullptr;  // the superview owns this view
    std::vector<std::shared_ptr<NSView>> subviews_;
    std::weak_ptr<NSWindow> window_;
    std::optional<CALayer> layer_;
};

#pragma GCC visibility pop
