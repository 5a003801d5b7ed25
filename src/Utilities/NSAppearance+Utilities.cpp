#include "NSAppearance+Utilities.h"

#include "NSProcessInfo.h"

bool isDark(const NSAppearance& appearance) {
    if (!NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({10, 14, 0})) return false;
    return appearance.bestMatchFromAppearancesWithNames(
               {NSAppearanceNameDarkAqua, NSAppearanceNameAqua}) == NSAppearanceNameDarkAqua;
}
