#pragma once
// The few shapes the example screens are built from, made with the model's own constructors and
// setters, so that each example is a document as the design tool would save it: layers placed by
// their frame with the default centred anchor point, text layers that take their colour from
// their fill, image layers named after the file they were imported from.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "CGColor.h"
#include "VTImage.h"
#include "VTLayer.h"

namespace examples {

// An sRGB colour from its hex code (0xRRGGBB), as a colour picker gives it.
CGColorRef sRGB(uint32_t rgb, double alpha = 1);
// A Display P3 colour: the saturated accents of the examples lie outside sRGB.
CGColorRef displayP3(double red, double green, double blue, double alpha = 1);

// The colours the example apps share: ink on light grounds, the grouped-list ground, hairlines,
// and the accent, a pink that only Display P3 holds.
inline CGColorRef ink() {
    return sRGB(0x1C1C1E);
}
inline CGColorRef secondaryInk() {
    return sRGB(0x6E6E73);
}
inline CGColorRef white(double alpha = 1) {
    return sRGB(0xFFFFFF, alpha);
}
inline CGColorRef groupedGround() {
    return sRGB(0xF2F2F7);
}
inline CGColorRef hairline() {
    return sRGB(0xC6C6C8);
}
inline CGColorRef accent(double alpha = 1) {
    return displayP3(1, 0.176, 0.333, alpha);
}

// Sizes the layer and places it so that its top-left corner lands at the frame's origin in its
// parent's space, whatever its anchor point.
void setFrame(VTLayer& layer, CGRect frame);

// A filled, optionally rounded rectangle.
std::shared_ptr<VTLayer> shape(std::string_view name, CGRect frame, const CGColorRef& fill,
                               float radius = 0);
// A rounded rectangle that clips its sublayers to its corners (an avatar, a card's photo).
std::shared_ptr<VTLayer> clipping(std::string_view name, CGRect frame, const CGColorRef& fill,
                                  float radius);

struct TextStyle {
    std::string font;  // a font name as documents write them ("SFProText-Semibold")
    double size;       // points
    CGColorRef colour;
    int64_t alignment = 0;  // 0 left, 1 centred, 2 right, 3 justified
};
std::shared_ptr<VTLayer> text(std::string_view content, CGRect frame, const TextStyle& style);

void setShadow(VTLayer& layer, const CGColorRef& colour, CGSize offset, double blur);
void setBorder(VTLayer& layer, const CGColorRef& colour, double width);

// A layer showing an image or movie asset, stretched to the frame.
std::shared_ptr<VTLayer> picture(const std::shared_ptr<VTImage>& asset, CGRect frame);

// Adds the layers to `parent` in order (the first is the back-most) and answers the parent.
template <class... Layers>
const std::shared_ptr<VTLayer>& with(const std::shared_ptr<VTLayer>& parent,
                                     const Layers&... layers) {
    (parent->addSublayer(layers), ...);
    return parent;
}

}  // namespace examples
