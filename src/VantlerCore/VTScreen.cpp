#include "VTScreen.h"

#include "NSCoder.h"
#include "VTPrototype.h"

std::shared_ptr<VTScreen> VTScreen::init() {
    auto screen = std::make_shared<VTScreen>();
    screen->setInitialValues();
    return screen;
}

bool VTScreen::initWithCoder(NSCoder& coder) {
    if (!VTLayer::initWithCoder(coder)) return false;
    // The owner, stored conditionally by the prototype's own archive
    // (an object of another class leaves none).
    setPrototype(std::dynamic_pointer_cast<VTPrototype>(coder.decodeObjectForKey("owner")));
    return true;
}
