#pragma once
// One-button alerts: a title, an explanation and "Ok".

#include <string>

#include "NSWindow.h"

#pragma GCC visibility push(default)  // exported from libVantler

// On the window when one is given (nothing receives the answer), else on its own.
void showAlertWithTitle_body_attachedTo(const std::string& title, const std::string& body,
                                        NSWindow* window);
void showAlertWithTitle_body(const std::string& title, const std::string& body);

#pragma GCC visibility pop
