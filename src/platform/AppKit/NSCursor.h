#pragma once
// Cursors and the application's cursor stack: a tracking loop pushes the cursor it needs and pops
// it when done; the window server shows the cursor on top (the arrow when the stack is empty).

#include <string>

#pragma GCC visibility push(default)  // exported from libVantler

class NSCursor {
  public:
    static NSCursor arrowCursor() { return NSCursor("arrowCursor"); }
    static NSCursor closedHandCursor() { return NSCursor("closedHandCursor"); }
    static NSCursor openHandCursor() { return NSCursor("openHandCursor"); }
    static NSCursor crosshairCursor() { return NSCursor("crosshairCursor"); }

    const std::string& name() const { return name_; }
    void push() const;
    // Pops the top of the stack (nothing when it is empty).
    static void pop();
    static NSCursor currentCursor();
    // Shows the current cursor again (after the window system showed another).
    static void refresh();

  private:
    explicit NSCursor(std::string name) : name_(std::move(name)) {}
    std::string name_;
};

#pragma GCC visibility pop
