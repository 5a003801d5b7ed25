#include "NSAppearance.h"

#include <algorithm>

#include "NSApplication.h"

namespace {

bool isDarkName(const NSAppearanceName& name) {
    return name == NSAppearanceNameDarkAqua || name == NSAppearanceNameVibrantDark;
}

bool isKnownName(const NSAppearanceName& name) {
    return isDarkName(name) || name == NSAppearanceNameAqua || name == NSAppearanceNameVibrantLight;
}

}  // namespace

std::optional<NSAppearance> NSAppearance::appearanceNamed(const NSAppearanceName& name) {
    if (!isKnownName(name)) return std::nullopt;
    return NSAppearance(name);
}

NSAppearance NSAppearance::currentAppearance() {
    const NSWindowServer* server = NSApplication::sharedApplication().windowServer();
    return NSAppearance(server && server->prefersDarkAppearance() ? NSAppearanceNameDarkAqua
                                                                  : NSAppearanceNameAqua);
}

bool NSAppearance::isDarkFamily() const {
    return isDarkName(name_);
}

std::optional<NSAppearanceName> NSAppearance::bestMatchFromAppearancesWithNames(
    const std::vector<NSAppearanceName>& names) const {
    if (std::find(names.begin(), names.end(), name_) != names.end()) return name_;
    const auto sameFamily = std::find_if(names.begin(), names.end(), [&](const auto& name) {
        return isKnownName(name) && isDarkName(name) == isDarkFamily();
    });
    if (sameFamily == names.end()) return std::nullopt;
    return *sameFamily;
}
