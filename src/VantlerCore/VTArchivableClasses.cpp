#include "VTArchivableClasses.h"

#include <mutex>

#include "NSKeyedUnarchiver.h"
#include "VTAnimationCurve.h"
#include "VTAnimationInfo.h"

void VTRegisterArchivableClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Part 2.10
        NSKeyedUnarchiver::registerClass<VTAnimationCurve>();
        NSKeyedUnarchiver::registerClass<VTAnimationInfo>();
    });
}
