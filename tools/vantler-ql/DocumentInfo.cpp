#include "DocumentInfo.h"

#include <bit>
#include <cinttypes>
#include <cstdio>

#include "JSONWriter.h"
#include "NSException.h"
#include "NSKeyedUnarchiver.h"
#include "VTAnimationCurve.h"
#include "VTAnimationInfo.h"
#include "VTEvent.h"
#include "VTImage.h"
#include "VTKeyframe.h"
#include "VTLink.h"
#include "VTProperty.h"
#include "VTScreen.h"

namespace {

// The entries beside the root object.
struct Carried {
    int64_t formatVersion = 0;
    int64_t thumbnailBytes = 0;
};

Carried carriedBy(const std::shared_ptr<const NSData>& data) {
    Carried carried;
    // The document loaded from these bytes, so its top level reads; what is absent reads as 0, and
    // a thumbnail entry of another kind counts as none, as the generator counts it.
    try {
        auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(data);
        carried.formatVersion = unarchiver->decodeInt64ForKey(kVantlerDocumentFormatVersionKey);
        size_t length = 0;
        unarchiver->decodeBytesForKey_returnedLength(kVantlerThumbnailKey, &length);
        carried.thumbnailBytes = static_cast<int64_t>(length);
    } catch (const NSException&) {
    }
    return carried;
}

// "#RRGGBBAA": the colour packed as the property catalogue packs it (sRGB bytes).
std::string colorText(const CGColorRef& color) {
    const auto packed =
        static_cast<uint32_t>(std::bit_cast<uint64_t>(doubleRepresentationOfCGColor(color)));
    char text[10];
    std::snprintf(text, sizeof text, "#%08" PRIX32, packed);
    return text;
}

const char* nameOr(const std::optional<std::string>& name, const char* fallback) {
    return name ? name->c_str() : fallback;
}

// Layers in the tree below `layer`, itself not counted (component screens not entered).
size_t layersBelow(const VTLayer& layer) {
    size_t count = 0;
    for (const auto& sublayer : layer.sublayers()) count += 1 + layersBelow(*sublayer);
    return count;
}

void writeOptionalText(JSONWriter& json, const std::optional<std::string>& text) {
    if (text)
        json.string(*text);
    else
        json.null();
}

void writeColor(JSONWriter& json, const CGColorRef& color) {
    if (color)
        json.string(colorText(color));
    else
        json.null();
}

void writeOptionalLayerName(JSONWriter& json, const std::shared_ptr<VTLayer>& layer) {
    if (layer)
        writeOptionalText(json, layer->name());
    else
        json.null();
}

void writeLinks(JSONWriter& json, const VTScreen& screen) {
    json.beginArray();
    for (const auto& link : screen.links()) {
        json.beginObject();
        json.key("inputProperty").integer(link->inputProperty());
        json.key("outputProperty").integer(link->outputProperty());
        writeOptionalLayerName(json.key("inputLayer"), link->inputLayer());
        writeOptionalLayerName(json.key("outputLayer"), link->outputLayer());
        json.key("keyframes").beginArray();
        for (const auto& keyframe : link->keyframes())
            json.pair(keyframe->input(), keyframe->output());
        json.endArray();
        json.endObject();
    }
    json.endArray();
}

void writeImage(JSONWriter& json, const VTImage* image) {
    if (!image) {
        json.null();
        return;
    }
    json.beginObject();
    json.key("pixelSize").pair(image->pixelSize().width, image->pixelSize().height);
    json.key("scale").number(image->scale());
    json.key("videoOrAudio").boolean(image->isVideoOrAudio());
    json.endObject();
}

void writeLayer(JSONWriter& json, const VTLayer& layer) {
    json.beginObject();
    json.key("class").string(layer.className());
    writeOptionalText(json.key("name"), layer.name());
    json.key("position").pair(layer.position().x, layer.position().y);
    json.key("size").pair(layer.size().width, layer.size().height);
    json.key("anchorPoint").pair(layer.anchorPoint().x, layer.anchorPoint().y);
    json.key("opacity").number(layer.opacity());
    json.key("scale").number(layer.scale());
    json.key("angle").number(layer.angle());
    json.key("radius").number(layer.radius());
    writeColor(json.key("backgroundColor"), layer.backgroundColor());
    writeColor(json.key("borderColor"), layer.borderColor());
    json.key("borderWidth").number(layer.borderWidth());
    writeColor(json.key("shadowColor"), layer.shadowColor());
    json.key("shadowOffset").pair(layer.shadowOffset().width, layer.shadowOffset().height);
    json.key("shadowRadius").number(layer.shadowRadius());
    writeOptionalText(json.key("text"), layer.text());
    writeOptionalText(json.key("fontFamily"), layer.fontFamily());
    json.key("fontSize").number(layer.fontSize());
    json.key("textAlignment").integer(layer.textAlignment());
    json.key("hidden").boolean(layer.hidden());
    json.key("locked").boolean(layer.locked());
    json.key("masksToBounds").boolean(layer.masksToBounds());
    json.key("lockAspectRatio").boolean(layer.lockAspectRatio());
    json.key("horizontalBehavior").integer(layer.horizontalBehavior());
    json.key("verticalBehavior").integer(layer.verticalBehavior());
    json.key("contentOffset").pair(layer.contentOffset().x, layer.contentOffset().y);
    json.key("frozen").beginArray();
    for (VTValueType property = 1; property <= kVTPropertyLast; ++property)
        if (layer.isPropertyFrozen(property)) json.integer(property);
    json.endArray();
    json.key("animationInfo").beginObject();
    for (const auto& [property, info] : layer.animationInfo()) {
        json.key(std::to_string(property)).beginObject();
        json.key("curveType").integer(info->curve() ? info->curve()->type() : 0);
        json.key("duration").number(info->duration());
        json.key("delay").number(info->delay());
        json.endObject();
    }
    json.endObject();
    writeImage(json.key("image"), layer.image().get());
    writeOptionalLayerName(json.key("componentScreen"), layer.componentScreen());
    if (const auto* screen = dynamic_cast<const VTScreen*>(&layer)) {
        writeLinks(json.key("links"), *screen);
    }
    json.key("sublayers").beginArray();
    for (const auto& sublayer : layer.sublayers()) writeLayer(json, *sublayer);
    json.endArray();
    json.endObject();
}

void writeScreens(JSONWriter& json, const VTPrototype& prototype) {
    json.beginArray();
    for (const auto& screen : prototype.screens()) writeLayer(json, *screen);
    json.endArray();
}

std::string jsonInfo(const VTPrototype& prototype, const Carried& carried) {
    JSONWriter json;
    json.beginObject();
    json.key("formatVersion").integer(carried.formatVersion);
    json.key("embeddedThumbnailBytes").integer(carried.thumbnailBytes);
    json.key("prefersMouseCursor").boolean(prototype.prefersMouseCursor());
    writeScreens(json.key("screens"), prototype);
    json.key("transitions").beginArray();
    for (const auto& event : prototype.transitions()) {
        json.beginObject();
        json.key("type").integer(event->type());
        json.key("name").string(event->name());
        writeOptionalLayerName(json.key("source"), event->source());
        writeOptionalLayerName(json.key("destination"), event->destination());
        writeOptionalText(json.key("triggerMessage"), event->triggerMessage());
        writeOptionalText(json.key("sentMessage"), event->sentMessage());
        json.endObject();
    }
    json.endArray();
    json.key("components").beginArray();
    for (const auto& component : prototype.masterComponents()) {
        json.beginObject();
        writeScreens(json.key("screens"), *component);
        json.endObject();
    }
    json.endArray();
    json.endObject();
    return json.finished();
}

std::string format(const char* pattern, auto... values) {
    const int size = std::snprintf(nullptr, 0, pattern, values...);
    std::string text(static_cast<size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, values...);
    return text;
}

std::string plural(size_t count, const char* singular, const char* pluralForm) {
    return std::to_string(count) + " " + (count == 1 ? singular : pluralForm);
}

std::string screenLines(const VTPrototype& prototype, const char* indent) {
    std::string out;
    for (const auto& screen : prototype.screens()) {
        out += format("%s%s: %g x %g, %s", indent, nameOr(screen->name(), "(unnamed)"),
                      screen->size().width, screen->size().height,
                      plural(layersBelow(*screen), "layer", "layers").c_str());
        if (const size_t links = screen->links().size())
            out += ", " + plural(links, "link", "links");
        out += "\n";
        for (const auto& link : screen->links())
            out += format(
                "%s    link: %s.%s -> %s.%s, %s\n", indent,
                link->inputLayer() ? nameOr(link->inputLayer()->name(), "(unnamed)") : "(none)",
                stringForValueType(link->inputProperty()).c_str(),
                link->outputLayer() ? nameOr(link->outputLayer()->name(), "(unnamed)") : "(none)",
                stringForValueType(link->outputProperty()).c_str(),
                plural(link->keyframes().size(), "keyframe", "keyframes").c_str());
    }
    return out;
}

std::string textInfo(const VTPrototype& prototype, const Carried& carried) {
    std::string out = format("format version: %" PRId64 "\n", carried.formatVersion);
    out += carried.thumbnailBytes
               ? format("embedded thumbnail: %" PRId64 " bytes\n", carried.thumbnailBytes)
               : std::string("embedded thumbnail: none\n");
    out += std::string("prefers mouse cursor: ") + (prototype.prefersMouseCursor() ? "yes" : "no") +
           "\n";
    const auto screens = prototype.screens();
    out += screens.empty()
               ? "no screens\n"
               : plural(screens.size(), "screen", "screens") + ":\n" + screenLines(prototype, "  ");
    const auto transitions = prototype.transitions();
    out += plural(transitions.size(), "transition", "transitions") +
           (transitions.empty() ? "\n" : ":\n");
    for (const auto& event : transitions) out += "  " + event->name() + "\n";
    const auto components = prototype.masterComponents();
    out +=
        plural(components.size(), "component", "components") + (components.empty() ? "\n" : ":\n");
    for (const auto& component : components) out += screenLines(*component, "  ");
    return out;
}

}  // namespace

std::string documentInfo(const VTPrototype& prototype, const std::shared_ptr<const NSData>& data,
                         InfoFormat format) {
    const Carried carried = carriedBy(data);
    return format == InfoFormat::JSON ? jsonInfo(prototype, carried) : textInfo(prototype, carried);
}
