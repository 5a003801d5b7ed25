#pragma once
// A window server for the windowing tests: one screen, windows standing where they ask to, the
// cursors shown remembered, and input delivered one piece each time the application waits for it,
// as a real display delivers what the user does while a tracking loop runs.

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "NSWindowServer.h"

namespace test {

class TestWindowServer : public NSWindowServer {
  public:
    explicit TestWindowServer(CGRect screenFrame) : screenFrame_(screenFrame) {}

    std::vector<CGRect> screenFrames() const override { return {screenFrame_}; }
    void orderFront(NSWindow&) override {}
    void close(NSWindow&) override {}
    void setTitle(NSWindow&, const std::string&) override {}
    void setNeedsDisplay(NSWindow&) override {}
    // Windows stand where they ask to.
    std::optional<CGRect> frameOfWindow(const NSWindow&) const override { return std::nullopt; }
    void showCursor(const std::string& name) override { cursorsShown_.push_back(name); }
    NSModalResponse runAlert(const NSAlert&, NSWindow*) override {
        return NSAlertFirstButtonReturn;
    }
    bool prefersDarkAppearance() const override { return false; }

    // Runs the next piece of input. With nothing left to deliver the user has gone elsewhere: the
    // application hears it was deactivated (so that a tracking loop a test did not end still
    // ends), then the time passes until the date; without a date no input can ever arrive.
    bool waitForInputBeforeDate(NSRunLoopDate date) override;

    // Input for a later wait: one piece a wait, in order. A piece that does nothing lets time pass
    // until the application's next periodic event.
    void deliverOnWait(std::function<void()> input) { inputs_.push_back(std::move(input)); }
    void letTimePass() { deliverOnWait({}); }
    size_t inputsLeft() const { return inputs_.size(); }
    const std::vector<std::string>& cursorsShown() const { return cursorsShown_; }

  private:
    CGRect screenFrame_;
    std::vector<std::string> cursorsShown_;
    std::deque<std::function<void()>> inputs_;
};

// Leaves the shared application as the test found it. While it lives the window server (when one
// is given) serves the application; on leaving it is removed, queued events are discarded,
// periodic events stop, and the mouse and keyboard are back at rest (origin, no modifiers).
class ScopedApplication {
  public:
    explicit ScopedApplication(std::shared_ptr<NSWindowServer> server = nullptr);
    ~ScopedApplication();
    ScopedApplication(const ScopedApplication&) = delete;
    ScopedApplication& operator=(const ScopedApplication&) = delete;
};

}  // namespace test
