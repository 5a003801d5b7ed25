#include "NSView.h"

#include <algorithm>

#include "NSWindow.h"

namespace {

CGFloat scaleOf(CGFloat frameLength, CGFloat boundsLength) {
    return boundsLength > 0 ? frameLength / boundsLength : 1.0;
}

}  // namespace

NSView::NSView(CGRect frame) : frame_(frame), bounds_{CGPointZero, frame.size} {}

void NSView::setFrame(CGRect frame) {
    const CGSize old = frame_.size;
    frame_ = frame;
    bounds_.size.width =
        old.width > 0 ? bounds_.size.width * frame.size.width / old.width : frame.size.width;
    bounds_.size.height =
        old.height > 0 ? bounds_.size.height * frame.size.height / old.height : frame.size.height;
    setNeedsDisplay();
}

void NSView::setFrameSize(CGSize size) {
    setFrame({frame_.origin, size});
}

void NSView::setBounds(CGRect bounds) {
    bounds_ = bounds;
    setNeedsDisplay();
}

void NSView::setBoundsOrigin(CGPoint origin) {
    setBounds({origin, bounds_.size});
}

void NSView::addSubview(std::shared_ptr<NSView> view) {
    if (!view || view.get() == this) return;
    view->removeFromSuperview();
    view->superview_ = this;
    view->setWindow(window_);
    subviews_.push_back(std::move(view));
    setNeedsDisplay();
}

void NSView::removeFromSuperview() {
    NSView* parent = superview_;
    if (!parent) return;
    // Kept alive until the end of this call: the superview's list held the last reference.
    const auto self = shared_from_this();
    std::erase_if(parent->subviews_, [&](const auto& view) { return view.get() == this; });
    superview_ = nullptr;
    setWindow({});
    parent->setNeedsDisplay();
}

std::shared_ptr<NSWindow> NSView::window() const {
    return window_.lock();
}

void NSView::setWindow(const std::weak_ptr<NSWindow>& window) {
    window_ = window;
    for (const auto& view : subviews_) view->setWindow(window);
}

CGAffineTransform NSView::transformToSuperview() const {
    const CGFloat sx = scaleOf(frame_.size.width, bounds_.size.width);
    const CGFloat sy = scaleOf(frame_.size.height, bounds_.size.height);
    const bool superviewFlipped = superview_ && superview_->isFlipped();
    const CGFloat tx = frame_.origin.x - bounds_.origin.x * sx;
    // A view flipped against its superview shows its bounds' origin at the frame's far edge.
    if (isFlipped() != superviewFlipped)
        return CGAffineTransformMake(sx, 0, 0, -sy, tx,
                                     frame_.origin.y + frame_.size.height + bounds_.origin.y * sy);
    return CGAffineTransformMake(sx, 0, 0, sy, tx, frame_.origin.y - bounds_.origin.y * sy);
}

CGAffineTransform NSView::transformToWindow() const {
    CGAffineTransform transform = transformToSuperview();
    for (const NSView* view = superview_; view; view = view->superview_)
        transform = CGAffineTransformConcat(transform, view->transformToSuperview());
    return transform;
}

CGPoint NSView::convertPoint_fromView(CGPoint point, const NSView* view) const {
    const CGPoint inWindow =
        view ? CGPointApplyAffineTransform(point, view->transformToWindow()) : point;
    return CGPointApplyAffineTransform(inWindow, CGAffineTransformInvert(transformToWindow()));
}

CGPoint NSView::convertPoint_toView(CGPoint point, const NSView* view) const {
    const CGPoint inWindow = CGPointApplyAffineTransform(point, transformToWindow());
    return view ? CGPointApplyAffineTransform(inWindow,
                                              CGAffineTransformInvert(view->transformToWindow()))
                : inWindow;
}

CGRect NSView::convertRect_fromView(CGRect rect, const NSView* view) const {
    CGAffineTransform transform = CGAffineTransformInvert(transformToWindow());
    if (view) transform = CGAffineTransformConcat(view->transformToWindow(), transform);
    return CGRectApplyAffineTransform(rect, transform);
}

CGRect NSView::convertRect_toView(CGRect rect, const NSView* view) const {
    CGAffineTransform transform = transformToWindow();
    if (view)
        transform =
            CGAffineTransformConcat(transform, CGAffineTransformInvert(view->transformToWindow()));
    return CGRectApplyAffineTransform(rect, transform);
}

NSView* NSView::hitTest(CGPoint pointInSuperview) {
    if (!CGRectContainsPoint(frame_, pointInSuperview)) return nullptr;
    const CGPoint local = CGPointApplyAffineTransform(
        pointInSuperview, CGAffineTransformInvert(transformToSuperview()));
    // The last subview is drawn last, so it is the one on top.
    for (auto view = subviews_.rbegin(); view != subviews_.rend(); ++view)
        if (NSView* hit = (*view)->hitTest(local)) return hit;
    return this;
}

void NSView::setNeedsDisplay() {
    if (const auto shownIn = window()) shownIn->setViewsNeedDisplay();
}

void NSView::drawRect(const CGContextRef&, CGRect) {}

void NSView::displayInContext(const CGContextRef& context) {
    CGContextSaveGState(context);
    CGContextClipToRect(context, frame_);
    if (layer_ && layer_->backgroundColor) {
        CGContextSetFillColorWithColor(context, layer_->backgroundColor);
        CGContextFillRect(context, frame_);
    }
    CGContextSaveGState(context);
    CGContextConcatCTM(context, transformToSuperview());
    drawRect(context, bounds_);
    for (const auto& view : subviews_) view->displayInContext(context);
    CGContextRestoreGState(context);
    drawLayerBorder(context);
    CGContextRestoreGState(context);
}

void NSView::drawLayerBorder(const CGContextRef& context) const {
    if (!layer_ || !(layer_->borderWidth > 0)) return;
    const CGFloat width = layer_->borderWidth;
    CGColorRef color = layer_->borderColor;
    if (!color)
        color = CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {0.0, 0.0, 0.0, 1.0});
    CGContextSetStrokeColorWithColor(context, color);
    CGContextSetLineWidth(context, width);
    CGContextBeginPath(context);
    CGContextAddRect(context, CGRectInset(frame_, width / 2, width / 2));
    CGContextStrokePath(context);
}

void NSView::setWantsLayer(bool wantsLayer) {
    if (wantsLayer && !layer_) layer_.emplace();
    if (!wantsLayer) layer_.reset();
    setNeedsDisplay();
}
