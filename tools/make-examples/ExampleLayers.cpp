#include "ExampleLayers.h"

#include "CGImageToData.h"

namespace examples {

CGColorRef sRGB(uint32_t rgb, double alpha) {
    const auto channel = [rgb](int shift) { return ((rgb >> shift) & 0xFF) / 255.0; };
    return CGColorCreateSRGB(channel(16), channel(8), channel(0), alpha);
}

CGColorRef displayP3(double red, double green, double blue, double alpha) {
    return CGColorCreate(cachedColorSpaceFromName(kCGColorSpaceDisplayP3),
                         {red, green, blue, alpha});
}

void setFrame(VTLayer& layer, CGRect frame) {
    layer.setSize(frame.size);
    const CGPoint anchor = layer.anchorPoint();
    layer.setPosition({frame.origin.x + anchor.x * frame.size.width,
                       frame.origin.y + anchor.y * frame.size.height});
}

std::shared_ptr<VTLayer> shape(std::string_view name, CGRect frame, const CGColorRef& fill,
                               float radius) {
    auto layer = VTLayer::initWithName(name);
    setFrame(*layer, frame);
    layer->setBackgroundColor(fill);
    layer->setRadius(radius);
    return layer;
}

std::shared_ptr<VTLayer> clipping(std::string_view name, CGRect frame, const CGColorRef& fill,
                                  float radius) {
    auto layer = shape(name, frame, fill, radius);
    layer->setMasksToBounds(true);
    return layer;
}

std::shared_ptr<VTLayer> text(std::string_view content, CGRect frame, const TextStyle& style) {
    // A plain layer cannot become a text layer; the text layer's own constructor makes one.
    auto layer = VTLayer::textLayer();
    layer->setText(std::string(content));
    layer->setName(std::string(content));  // the design tool names a text layer by its text
    layer->setFontFamily(style.font);
    layer->setFontSize(style.size);
    layer->setBackgroundColor(style.colour);
    layer->setTextAlignment(style.alignment);
    setFrame(*layer, frame);
    return layer;
}

void setShadow(VTLayer& layer, const CGColorRef& colour, CGSize offset, double blur) {
    layer.setShadowColor(colour);
    layer.setShadowOffset(offset);
    layer.setShadowRadius(blur);
}

void setBorder(VTLayer& layer, const CGColorRef& colour, double width) {
    layer.setBorderColor(colour);
    layer.setBorderWidth(width);
}

std::shared_ptr<VTLayer> picture(const std::shared_ptr<VTImage>& asset, CGRect frame) {
    auto layer = VTLayer::layerWithImage(asset);
    setFrame(*layer, frame);
    return layer;
}

}  // namespace examples
