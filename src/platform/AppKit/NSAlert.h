#pragma once
// An alert: a message, an explanation and buttons, shown by the window server, modally or as a
// sheet on a window. Headless, it is written to the standard error and answers its first button.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "NSWindowServer.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSWindow;

class NSAlert {
  public:
    std::string messageText;
    std::string informativeText;

    void addButtonWithTitle(const std::string& title) { buttons_.push_back(title); }
    const std::vector<std::string>& buttonTitles() const { return buttons_; }

    // Shows the alert and waits for a button.
    NSModalResponse runModal() const;
    // Shows the alert on the window; the handler, when given, receives the button. Desktops here
    // have no sheets: the alert is a modal dialog placed on the window, so the call returns once
    // it is answered.
    void beginSheetModalForWindow_completionHandler(
        NSWindow& window, std::function<void(NSModalResponse)> handler) const;

  private:
    NSModalResponse showHeadless() const;
    std::vector<std::string> buttons_;
};

#pragma GCC visibility pop
