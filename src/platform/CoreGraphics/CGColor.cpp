// CoreGraphics colours. See CGColor.h for the contract.

#include "CGColor.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "CGColorSpacePrivate.h"

class CGColor {
  public:
    // The most components any space has (RGB) plus alpha.
    static constexpr size_t kMaxComponents = 4;

    CGColorSpaceRef space;
    size_t count = 0;  // space components + alpha
    std::array<CGFloat, kMaxComponents> components{};
};

namespace {

// A colour from exactly the space's components + 1 values, clamped as CGColor.h states.
CGColorRef makeColor(CGColorSpaceRef space, const CGFloat* values) {
    auto color = std::make_shared<CGColor>();
    const size_t colourComponents = space->numberOfComponents;
    color->count = colourComponents + 1;
    for (size_t i = 0; i < color->count; ++i) {
        double value = values[i];
        if (std::isnan(value)) value = 0;
        const bool alpha = i == colourComponents;
        if (alpha || !space->extendedRange) value = std::clamp(value, 0.0, 1.0);
        color->components[i] = value;
    }
    color->space = std::move(space);
    return color;
}

}  // namespace

// ---- Creation

CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components) {
    if (!space || !components) return nullptr;
    return makeColor(std::move(space), components);
}

CGColorRef CGColorCreate(CGColorSpaceRef space, std::span<const CGFloat> components) {
    if (!space || components.size() != space->numberOfComponents + 1) return nullptr;
    return makeColor(std::move(space), components.data());
}

CGColorRef CGColorCreate(CGColorSpaceRef space, std::initializer_list<CGFloat> components) {
    return CGColorCreate(std::move(space),
                         std::span<const CGFloat>(components.begin(), components.size()));
}

CGColorRef CGColorCreateCopyWithAlpha(const CGColorRef& color, CGFloat alpha) {
    if (!color) return nullptr;
    std::array<CGFloat, CGColor::kMaxComponents> values = color->components;
    values[color->count - 1] = alpha;
    return makeColor(color->space, values.data());
}

CGColorRef CGColorCreateCopyByMatchingToColorSpace(const CGColorSpaceRef& space,
                                                   CGColorRenderingIntent intent,
                                                   const CGColorRef& color,
                                                   const NSDictionary* /*options*/) {
    if (!space || !color) return nullptr;
    if (color->space == space) return color;
    const size_t inComponents = color->count - 1;
    std::array<CGFloat, CGColor::kMaxComponents> values{};
    if (!CoreGraphicsPrivate::matchComponents(*color->space, *space, intent,
                                              color->components.data(), values.data(), 1))
        return nullptr;
    values[space->numberOfComponents] = color->components[inComponents];
    return makeColor(space, values.data());
}

// ---- Queries

CGColorSpaceRef CGColorGetColorSpace(const CGColorRef& color) {
    return color ? color->space : nullptr;
}

size_t CGColorGetNumberOfComponents(const CGColorRef& color) {
    return color ? color->count : 0;
}

const CGFloat* CGColorGetComponents(const CGColorRef& color) {
    return color ? color->components.data() : nullptr;
}

CGFloat CGColorGetAlpha(const CGColorRef& color) {
    return color ? color->components[color->count - 1] : 0;
}

bool CGColorEqualToColor(const CGColorRef& a, const CGColorRef& b) {
    if (a == b) return true;  // the same colour, or both null
    if (!a || !b) return false;
    if (a->space != b->space || a->count != b->count) return false;
    return std::equal(a->components.begin(), a->components.begin() + a->count,
                      b->components.begin());
}

// ---- Drawing

std::array<CGFloat, 4> CGColorGetSRGBComponentsForDrawing(const CGColorRef& color) {
    if (!color) return {0, 0, 0, 0};
    std::array<CGFloat, 4> rgba{};
    if (!CoreGraphicsPrivate::matchComponents(
            *color->space, CoreGraphicsPrivate::outputColorSpace(), kCGRenderingIntentDefault,
            color->components.data(), rgba.data(), 1))
        return {0, 0, 0, 0};
    rgba[3] = color->components[color->count - 1];
    return rgba;
}
