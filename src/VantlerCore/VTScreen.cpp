#include "VTScreen.h"

#include "NSCoder.h"
#include "VTPrototype.h"

std::shared_ptr<VTScreen> VTScreen::init() {
    auto screen = std::make_shared<VTScreen>();
    screen->setInitialValues();
    screen->setAnchorPoint(CGPointZero);
    screen->setPosition(CGPointZero);
    return screen;
}

std::shared_ptr<VTScreen> VTScreen::screen() const {
    return std::static_pointer_cast<VTScreen>(
        std::const_pointer_cast<NSObject>(shared_from_this()));
}

bool VTScreen::initWithCoder(NSCoder& coder) {
    if (!VTLayer::initWithCoder(coder)) return false;
    // What a screen pins is also what it keeps.
    setVerticalBehavior(0);
    setHorizontalBehavior(0);
    // The owner, stored conditionally by the prototype's own archive
    // (an object of another class leaves none).
    setPrototype(std::dynamic_pointer_cast<VTPrototype>(coder.decodeObjectForKey("owner")));
    // The decoded position stays; the anchor is always the origin.
    setAnchorPoint(CGPointZero);
    return true;
}
