#include "VTArchivableClasses.h"

#include <mutex>

#include "NSKeyedUnarchiver.h"
#include "VTAnimationCurve.h"
#include "VTAnimationInfo.h"
#include "VTImage.h"
#include "VTLayer.h"
#include "VTPrototype.h"
#include "VTScreen.h"

void VTRegisterArchivableClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Parts 2.3, 2.4, 2.6
        NSKeyedUnarchiver::registerClass<VTPrototype>();
        NSKeyedUnarchiver::registerClass<VTScreen>();
        NSKeyedUnarchiver::registerClass<VTLayer>();
        // Part 2.10
        NSKeyedUnarchiver::registerClass<VTAnimationCurve>();
        NSKeyedUnarchiver::registerClass<VTAnimationInfo>();
        // Part 3.1
        NSKeyedUnarchiver::registerClass<VTImage>();
    });
}
