#pragma once
// Appearances by name. The application's appearance follows the desktop's preference as the window
// server reports it: dark or light.

#include <optional>
#include <string>
#include <vector>

#pragma GCC visibility push(default)  // exported from libVantler

using NSAppearanceName = std::string;
inline const NSAppearanceName NSAppearanceNameAqua = "NSAppearanceNameAqua";
inline const NSAppearanceName NSAppearanceNameDarkAqua = "NSAppearanceNameDarkAqua";
inline const NSAppearanceName NSAppearanceNameVibrantLight = "NSAppearanceNameVibrantLight";
inline const NSAppearanceName NSAppearanceNameVibrantDark = "NSAppearanceNameVibrantDark";

class NSAppearance {
  public:
    static std::optional<NSAppearance> appearanceNamed(const NSAppearanceName& name);
    // The application's effective appearance: dark Aqua when the desktop prefers dark colours.
    static NSAppearance currentAppearance();

    const NSAppearanceName& name() const { return name_; }
    // The name among those given that suits this appearance best: its own, else one of the same
    // family (dark or light); none when none does.
    std::optional<NSAppearanceName> bestMatchFromAppearancesWithNames(
        const std::vector<NSAppearanceName>& names) const;

  private:
    explicit NSAppearance(NSAppearanceName name) : name_(std::move(name)) {}
    bool isDarkFamily() const;
    NSAppearanceName name_;
};

#pragma GCC visibility pop
