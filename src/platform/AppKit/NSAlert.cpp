#include "NSAlert.h"

#include <cstdio>

#include "NSApplication.h"
#include "NSWindow.h"

NSModalResponse NSAlert::showHeadless() const {
    std::fprintf(stderr, "%s\n", messageText.c_str());
    if (!informativeText.empty()) std::fprintf(stderr, "%s\n", informativeText.c_str());
    return NSAlertFirstButtonReturn;
}

NSModalResponse NSAlert::runModal() const {
    NSWindowServer* server = NSApplication::sharedApplication().windowServer();
    return server ? server->runAlert(*this, nullptr) : showHeadless();
}

void NSAlert::beginSheetModalForWindow_completionHandler(
    NSWindow& window, std::function<void(NSModalResponse)> handler) const {
    NSWindowServer* server = NSApplication::sharedApplication().windowServer();
    const NSModalResponse response =
        server && window.isVisible() ? server->runAlert(*this, &window) : showHeadless();
    if (handler) handler(response);
}
