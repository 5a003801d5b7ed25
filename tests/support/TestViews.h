#pragma once
// Views for the windowing tests: a view flipped or not as the test asks.

#include "NSView.h"

namespace test {

class TestView : public NSView {
  public:
    explicit TestView(CGRect frame, bool flipped = false) : NSView(frame), flipped_(flipped) {}
    bool isFlipped() const override { return flipped_; }

  private:
    bool flipped_;
};

}  // namespace test
