#include "NSAlert+Utilities.h"

#include "NSAlert.h"

void showAlertWithTitle_body_attachedTo(const std::string& title, const std::string& body,
                                        NSWindow* window) {
    NSAlert alert;
    alert.messageText = title;
    alert.informativeText = body;
    alert.addButtonWithTitle("Ok");
    if (window)
        alert.beginSheetModalForWindow_completionHandler(*window, nullptr);
    else
        alert.runModal();
}

void showAlertWithTitle_body(const std::string& title, const std::string& body) {
    showAlertWithTitle_body_attachedTo(title, body, nullptr);
}
