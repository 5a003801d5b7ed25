#include "NSWindow.h"

#include "NSApplication.h"
#include "NSCursor.h"
#include "NSView.h"

namespace {

NSWindowServer* windowServer() {
    return NSApplication::sharedApplication().windowServer();
}

}  // namespace

std::shared_ptr<NSWindow> NSWindow::initWithContentRect(CGRect contentRect) {
    auto window = std::make_shared<NSWindow>();
    window->frame_ = contentRect;
    window->setContentView(std::make_shared<NSView>(
        CGRectMake(0, 0, contentRect.size.width, contentRect.size.height)));
    return window;
}

CGRect NSWindow::frame() const {
    const NSWindowServer* server = windowServer();
    if (!server || !visible_) return frame_;
    return server->frameOfWindow(*this).value_or(frame_);
}

void NSWindow::setFrame(CGRect frame) {
    windowServerDidPlace(frame);
    if (NSWindowServer* server = windowServer(); server && visible_) server->orderFront(*this);
}

void NSWindow::windowServerDidPlace(CGRect frame) {
    frame_ = frame;
    if (contentView_) contentView_->setFrame(CGRectMake(0, 0, frame.size.width, frame.size.height));
}

void NSWindow::setContentView(std::shared_ptr<NSView> view) {
    if (contentView_) contentView_->setWindow({});
    contentView_ = std::move(view);
    if (!contentView_) return;
    contentView_->removeFromSuperview();
    contentView_->setFrame(CGRectMake(0, 0, frame_.size.width, frame_.size.height));
    contentView_->setWindow(std::static_pointer_cast<NSWindow>(shared_from_this()));
    setViewsNeedDisplay();
}

bool NSWindow::makeFirstResponder(const std::shared_ptr<NSView>& view) {
    if (view && view->window().get() != this) return false;
    firstResponder_ = view;
    return true;
}

void NSWindow::setTitle(const std::string& title) {
    title_ = title;
    if (NSWindowServer* server = windowServer()) server->setTitle(*this, title);
}

std::optional<NSScreen> NSWindow::screen() const {
    return NSScreen::screenForRect(frame());
}

void NSWindow::makeKeyAndOrderFront() {
    visible_ = true;
    NSApplication::sharedApplication().orderWindowFront(
        std::static_pointer_cast<NSWindow>(shared_from_this()));
    if (NSWindowServer* server = windowServer()) server->orderFront(*this);
}

void NSWindow::close() {
    if (!visible_) return;
    if (NSWindowServer* server = windowServer()) server->close(*this);
    visible_ = false;
    NSApplication::sharedApplication().removeWindow(*this);
}

CGPoint NSWindow::convertPointToScreen(CGPoint point) const {
    const CGRect placed = frame();
    return CGPointMake(point.x + placed.origin.x, point.y + placed.origin.y);
}

CGPoint NSWindow::convertPointFromScreen(CGPoint point) const {
    const CGRect placed = frame();
    return CGPointMake(point.x - placed.origin.x, point.y - placed.origin.y);
}

CGRect NSWindow::convertRectToScreen(CGRect rect) const {
    rect.origin = convertPointToScreen(rect.origin);
    return rect;
}

CGRect NSWindow::convertRectFromScreen(CGRect rect) const {
    rect.origin = convertPointFromScreen(rect.origin);
    return rect;
}

NSView* NSWindow::viewForMouseEvent(const NSEvent& event) {
    if (!contentView_) return nullptr;
    switch (event.type()) {
        case NSEventTypeLeftMouseDown:
        case NSEventTypeRightMouseDown: {
            NSView* pressed = contentView_->hitTest(event.locationInWindow());
            mouseDownView_ = pressed ? std::static_pointer_cast<NSView>(pressed->shared_from_this())
                                     : std::shared_ptr<NSView>();
            return pressed;
        }
        case NSEventTypeLeftMouseDragged:
        case NSEventTypeRightMouseDragged:
        case NSEventTypeLeftMouseUp:
        case NSEventTypeRightMouseUp:
            return mouseDownView_.lock().get();
        default:
            return contentView_->hitTest(event.locationInWindow());
    }
}

void NSWindow::sendEvent(const NSEvent& event) {
    // The view is kept alive while it handles the event, which may close the window.
    const auto keep = shared_from_this();
    if (event.type() == NSEventTypeKeyDown) {
        NSView* responder = firstResponder();
        if (!responder) responder = contentView_.get();
        if (responder) responder->keyDown(event);
        return;
    }
    NSView* view = viewForMouseEvent(event);
    if (!view) return;
    const auto keepView = view->shared_from_this();
    switch (event.type()) {
        case NSEventTypeLeftMouseDown:
            view->mouseDown(event);
            break;
        case NSEventTypeLeftMouseDragged:
            view->mouseDragged(event);
            break;
        case NSEventTypeLeftMouseUp:
            view->mouseUp(event);
            break;
        case NSEventTypeMouseMoved:
            view->mouseMoved(event);
            break;
        case NSEventTypeScrollWheel:
            view->scrollWheel(event);
            break;
        case NSEventTypeMagnify:
            view->magnifyWithEvent(event);
            break;
        default:
            break;
    }
}

void NSWindow::invalidateCursorRectsForView(NSView&) {
    NSCursor::refresh();
}

void NSWindow::setViewsNeedDisplay() {
    if (NSWindowServer* server = windowServer(); server && visible_) server->setNeedsDisplay(*this);
}

void NSWindow::displayInContext(const CGContextRef& context) const {
    if (contentView_) contentView_->displayInContext(context);
}
