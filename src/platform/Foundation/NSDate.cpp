#include "NSDate.h"

#include "NSCoder.h"

void NSDate::encodeWithCoder(NSCoder& coder) const {
    coder.encodeDouble_forKey(seconds_, "NS.time");
}

bool NSDate::initWithCoder(NSCoder& coder) {
    seconds_ = coder.decodeDoubleForKey("NS.time");
    return true;
}
