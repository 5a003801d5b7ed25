#include "NSAppearance+Utilities.h"

#include "UtilityFunctions.h"

bool isDark(const NSAppearance& appearance) {
    if (!isMojaveOrLater()) return false;
    return appearance.bestMatchFromAppearancesWithNames(
               {NSAppearanceNameDarkAqua, NSAppearanceNameAqua}) == NSAppearanceNameDarkAqua;
}
