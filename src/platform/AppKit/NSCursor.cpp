#include "NSCursor.h"

#include <vector>

#include "NSApplication.h"

namespace {

std::vector<NSCursor>& cursorStack() {
    static std::vector<NSCursor> stack;
    return stack;
}

}  // namespace

void NSCursor::push() const {
    cursorStack().push_back(*this);
    refresh();
}

void NSCursor::pop() {
    if (cursorStack().empty()) return;
    cursorStack().pop_back();
    refresh();
}

NSCursor NSCursor::currentCursor() {
    return cursorStack().empty() ? arrowCursor() : cursorStack().back();
}

void NSCursor::refresh() {
    if (NSWindowServer* server = NSApplication::sharedApplication().windowServer())
        server->showCursor(currentCursor().name());
}
