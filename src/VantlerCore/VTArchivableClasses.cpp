#include "VTArchivableClasses.h"

#include <mutex>

#include "NSKeyedUnarchiver.h"
#include "VTAnimationCurve.h"
#include "VTAnimationInfo.h"
#include "VTEvent.h"
#include "VTImage.h"
#include "VTKeyframe.h"
#include "VTLayer.h"
#include "VTLink.h"
#include "VTPrototype.h"
#include "VTScreen.h"

void VTRegisterArchivableClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The document tree
        NSKeyedUnarchiver::registerClass<VTPrototype>();
        NSKeyedUnarchiver::registerClass<VTScreen>();
        NSKeyedUnarchiver::registerClass<VTLayer>();
        NSKeyedUnarchiver::registerClass<VTEvent>();
        // Property links
        NSKeyedUnarchiver::registerClass<VTLink>();
        NSKeyedUnarchiver::registerClass<VTKeyframe>();
        // Animation timing
        NSKeyedUnarchiver::registerClass<VTAnimationCurve>();
        NSKeyedUnarchiver::registerClass<VTAnimationInfo>();
        // Media assets
        NSKeyedUnarchiver::registerClass<VTImage>();
    });
}
