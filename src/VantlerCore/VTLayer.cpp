#include "VTLayer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "CGImageToData.h"
#include "VTImage.h"
#include "VTPrototype.h"
#include "VTScreen.h"

namespace {

// Held to at least `minimum`; NaN gives the minimum.
template <class T>
T atLeast(T value, T minimum) {
    return value > minimum ? value : minimum;
}

constexpr std::array<std::string_view, 11> kManualKeys{
    "position",    "anchorPoint",   "backgroundColor", "borderColor",
    "shadowColor", "shadowOffset",  "shadowRadius",    "fontFamily",
    "fontSize",    "textAlignment", "componentScreen"};
constexpr std::array<std::string_view, 2> kSizeParts{"width", "height"};
constexpr std::array<std::string_view, 2> kPositionParts{"x", "y"};

// The file name an image was imported from, as a layer name: without extension, "%20" as blanks,
// the "@2x" (or else "@3x") scale marks removed.
std::string nameOfImageFile(const VTImage& image) {
    std::string name;
    if (const auto& url = image.originalURL()) {
        const std::string path = url->path();
        name = path.substr(path.find_last_of('/') + 1);
        const size_t dot = name.find_last_of('.');
        if (dot != std::string::npos && dot > 0) name.erase(dot);
    }
    const auto replaceAll = [&](std::string_view from, std::string_view to) {
        for (size_t at = name.find(from); at != std::string::npos; at = name.find(from, at))
            name.replace(at, from.size(), to), at += to.size();
    };
    replaceAll("%20", " ");
    if (name.find("@2x") != std::string::npos)
        replaceAll("@2x", "");
    else if (name.find("@3x") != std::string::npos)
        replaceAll("@3x", "");
    return name;
}

}  // namespace

// ---- Making layers

std::shared_ptr<VTLayer> VTLayer::init() {
    auto layer = std::make_shared<VTLayer>();
    layer->setInitialValues();
    return layer;
}

std::shared_ptr<VTLayer> VTLayer::initWithName(std::string_view name) {
    auto layer = init();
    layer->setName(std::string(name));
    return layer;
}

std::shared_ptr<VTLayer> VTLayer::textLayer() {
    auto layer = initWithName("Text");
    // Set directly: setText refuses a layer that has no text yet.
    layer->text_ = "Type Something";
    layer->setFontSize(17.0);
    layer->setFontFamily("Helvetica");
    layer->setBackgroundColor(CGColorCreateSRGB(0, 0, 0, 1));
    return layer;
}

std::shared_ptr<VTLayer> VTLayer::layerWithImage(const std::shared_ptr<VTImage>& image) {
    auto layer = initWithName(image ? nameOfImageFile(*image) : std::string());
    layer->setLockAspectRatio(true);
    layer->setImage(image);
    const CGSize pointSize = image ? image->pointSize() : CGSizeZero;
    if (pointSize.width != 0 && pointSize.height != 0) {
        layer->setSize(pointSize);
    } else {
        // The platform's grey: an opaque neutral grey.
        layer->setBackgroundColor(CGColorCreateSRGB(0.5, 0.5, 0.5, 1));
    }
    layer->positionAnchor_at_pixelAlign(CGPointZero, CGPointZero, true);
    if (image && image->isVideoOrAudio()) layer->setProperty_frozen(kVTPropertyMediaTime, true);
    return layer;
}

void VTLayer::setInitialValues() {
    // A colour of its own in the shared sRGB space, so that it compares equal to decoded ones.
    backgroundColor_ = CGColorCreateSRGB(0, 0, 0, 0);
}

VTLayer::~VTLayer() {
    unlinkComponentScreen();
    // The sublayers that had this parent have none now (their link to it has expired already; a
    // sublayer that another layer took over keeps its live link).
    for (const auto& sublayer : sublayers_)
        if (sublayer->superPicture_.expired()) sublayer->superPicture_.reset();
}

std::shared_ptr<VTLayer> VTLayer::newLayerOfSameClass() const {
    return init();
}

// ---- Set rules

void VTLayer::setSuperPicture(const std::shared_ptr<VTLayer>& parent) {
    changeValueForKey("superPicture", [&] { superPicture_ = parent; });
}

CGSize VTLayer::size() const {
    if (const auto screen = componentScreen()) return screen->size();
    return size_;
}

void VTLayer::setSize(CGSize size) {
    const CGSize held{atLeast(size.width, 0.0), atLeast(size.height, 0.0)};
    changeValueForKey("size", [&] { size_ = held; });
}

void VTLayer::setWidth(double width) {
    setSize({width, size().height});
}

void VTLayer::setHeight(double height) {
    setSize({size().width, height});
}

void VTLayer::setPosition(CGPoint position) {
    if (position.x == position_.x && position.y == position_.y) return;
    willChangeValueForKey("position");
    position_ = position;
    didChangeValueForKey("position");
}

void VTLayer::setX(double x) {
    setPosition({x, position_.y});
}

void VTLayer::setY(double y) {
    setPosition({position_.x, y});
}

void VTLayer::setAnchorPoint(CGPoint anchorPoint) {
    if (anchorPoint.x == anchorPoint_.x && anchorPoint.y == anchorPoint_.y) return;
    willChangeValueForKey("anchorPoint");
    anchorPoint_ = anchorPoint;
    didChangeValueForKey("anchorPoint");
}

void VTLayer::setContentOffset(CGPoint offset) {
    changeValueForKey("contentOffset", [&] { contentOffset_ = offset; });
}

void VTLayer::setOpacity(float opacity) {
    const float held = std::isnan(opacity) ? 0.0f : std::clamp(opacity, 0.0f, 1.0f);
    changeValueForKey("opacity", [&] { opacity_ = held; });
}

void VTLayer::setScale(double scale) {
    changeValueForKey("scale", [&] { scale_ = atLeast(scale, 0.001); });
}

void VTLayer::setAngle(double angle) {
    changeValueForKey("angle", [&] { angle_ = angle; });
}

void VTLayer::setRadius(float radius) {
    changeValueForKey("radius", [&] { radius_ = atLeast(radius, 0.0f); });
}

void VTLayer::setName(const std::optional<std::string>& name) {
    if (!name || name->empty()) return;
    changeValueForKey("name", [&] { name_ = name; });
}

void VTLayer::setImportID(const std::optional<std::string>& importID) {
    changeValueForKey("importID", [&] { importID_ = importID; });
}

void VTLayer::setBackgroundColor(const CGColorRef& color) {
    if (CGColorEqualToColor(color, backgroundColor_)) return;
    willChangeValueForKey("backgroundColor");
    backgroundColor_ = color ? color : CGColorCreateSRGB(1, 1, 1, 0);
    didChangeValueForKey("backgroundColor");
}

void VTLayer::setBorderColor(const CGColorRef& color) {
    if (CGColorEqualToColor(color, borderColor_)) return;
    willChangeValueForKey("borderColor");
    borderColor_ = color;
    didChangeValueForKey("borderColor");
}

void VTLayer::setBorderWidth(double width) {
    changeValueForKey("borderWidth", [&] { borderWidth_ = atLeast(width, 0.0); });
}

void VTLayer::setShadowColor(const CGColorRef& color) {
    if (CGColorEqualToColor(color, shadowColor_)) return;
    willChangeValueForKey("shadowColor");
    shadowColor_ = color;
    didChangeValueForKey("shadowColor");
}

void VTLayer::setShadowOffset(CGSize offset) {
    if (offset.width == shadowOffset_.width && offset.height == shadowOffset_.height) return;
    willChangeValueForKey("shadowOffset");
    shadowOffset_ = offset;
    didChangeValueForKey("shadowOffset");
}

void VTLayer::setShadowRadius(double radius) {
    if (!(std::fabs(radius - shadowRadius_) > 0.001)) return;
    willChangeValueForKey("shadowRadius");
    shadowRadius_ = radius;
    didChangeValueForKey("shadowRadius");
}

void VTLayer::setText(const std::optional<std::string>& text) {
    // A plain layer cannot become a text layer this way, nor a text layer lose its text.
    if (!text || !text_) return;
    changeValueForKey("text", [&] { text_ = text; });
}

void VTLayer::_VTSimulatorOnly_setText(const std::optional<std::string>& text) {
    changeValueForKey("text", [&] { text_ = text; });
}

void VTLayer::setFontFamily(const std::optional<std::string>& family) {
    if (family == fontFamily_) return;
    willChangeValueForKey("fontFamily");
    fontFamily_ = family;
    didChangeValueForKey("fontFamily");
}

void VTLayer::setFontSize(double size) {
    if (!(std::fabs(size - fontSize_) > 0.0001)) return;
    willChangeValueForKey("fontSize");
    fontSize_ = size;
    didChangeValueForKey("fontSize");
}

void VTLayer::setTextAlignment(int64_t alignment) {
    if (alignment == textAlignment_) return;
    willChangeValueForKey("textAlignment");
    textAlignment_ = alignment;
    didChangeValueForKey("textAlignment");
}

void VTLayer::setVerticalBehavior(int64_t behavior) {
    changeValueForKey("verticalBehavior", [&] { verticalBehavior_ = behavior; });
}

void VTLayer::setHorizontalBehavior(int64_t behavior) {
    changeValueForKey("horizontalBehavior", [&] { horizontalBehavior_ = behavior; });
}

void VTLayer::setImage(std::shared_ptr<VTImage> image) {
    changeValueForKey("image", [&] { image_ = std::move(image); });
}

void VTLayer::setMediaVolume(float volume) {
    changeValueForKey("mediaVolume", [&] { mediaVolume_ = volume; });
}

void VTLayer::setMediaTime(double time) {
    changeValueForKey("mediaTime", [&] { mediaTime_ = time; });
}

void VTLayer::setFlag(Flag flag, bool on, std::string_view key) {
    changeValueForKey(key, [&] { flags_ = on ? (flags_ | flag) : (flags_ & ~flag); });
}

void VTLayer::setHidden(bool on) {
    setFlag(kHidden, on, "hidden");
}

void VTLayer::setLocked(bool on) {
    setFlag(kLocked, on, "locked");
}

void VTLayer::setMasksToBounds(bool on) {
    setFlag(kMasksToBounds, on, "masksToBounds");
}

void VTLayer::setForwardUnusedTouches(bool on) {
    setFlag(kForwardUnusedTouches, on, "forwardUnusedTouches");
}

void VTLayer::setLockAspectRatio(bool on) {
    setFlag(kLockAspectRatio, on, "lockAspectRatio");
}

void VTLayer::setPlayOnce(bool on) {
    setFlag(kPlayOnce, on, "playOnce");
}

void VTLayer::setMediaPaused(bool on) {
    setFlag(kMediaPaused, on, "mediaPaused");
}

void VTLayer::setOptionalProperties(uint64_t mask) {
    changeValueForKey("optionalProperties", [&] { optionalProperties_ = mask; });
}

bool VTLayer::isPropertyFrozen(VTValueType property) const {
    return readMaskBit(optionalProperties_, property);
}

void VTLayer::setProperty_frozen(VTValueType property, bool frozen) {
    setMaskBit(&optionalProperties_, property, frozen);
}

void VTLayer::setAnimationInfo(VTAnimationInfoMap map) {
    changeValueForKey("animationInfo", [&] { animationInfo_ = std::move(map); });
}

// ---- Component instance

void VTLayer::setComponentScreen(const std::shared_ptr<VTScreen>& screen) {
    linkComponentScreen(screen);
}

void VTLayer::linkComponentScreen(const std::shared_ptr<VTScreen>& screen) {
    willChangeValueForKey("componentScreen");
    willChangeValueForKey("size");
    const auto oldPrototype = componentScreen_ ? componentScreen_->prototype() : nullptr;
    const auto newPrototype = screen ? screen->prototype() : nullptr;
    if (componentScreen_) componentScreen_->removeObserver_forKeyPath(this, "size");
    if (oldPrototype != newPrototype) {
        if (oldPrototype) oldPrototype->instances().removeLayer(this);
        if (newPrototype) newPrototype->instances().addLayer(self());
    }
    componentScreen_ = screen;
    if (componentScreen_)
        componentScreen_->addObserver_forKeyPath_options_context(
            self(), "size", NSKeyValueObservingOptionPrior, nullptr);
    didChangeValueForKey("size");
    didChangeValueForKey("componentScreen");
}

void VTLayer::unlinkComponentScreen() {
    if (!componentScreen_) return;
    componentScreen_->removeObserver_forKeyPath(this, "size");
    if (const auto prototype = componentScreen_->prototype())
        prototype->instances().removeLayer(this);
    componentScreen_.reset();
}

void VTLayer::observeValueForKeyPath_ofObject_change_context(std::string_view keyPath, NSObject&,
                                                             const NSKeyValueChange& change,
                                                             void* context) {
    // Only the observation of the component screen is made without context.
    if (context) return;
    if (change.notificationIsPrior)
        willChangeValueForKey(keyPath);
    else
        didChangeValueForKey(keyPath);
}

bool VTLayer::automaticallyNotifiesObserversForKey(std::string_view key) const {
    return std::find(kManualKeys.begin(), kManualKeys.end(), key) == kManualKeys.end();
}

std::span<const std::string_view> VTLayer::keysDependingOnKey(std::string_view key) const {
    if (key == "size") return kSizeParts;
    if (key == "position") return kPositionParts;
    return {};
}

std::shared_ptr<VTLayer> VTLayer::parentRepresentingAScreen() {
    std::shared_ptr<VTLayer> layer = self();
    while (!layer->isComponentInstance()) {
        auto parent = layer->superPicture();
        if (!parent) break;
        layer = std::move(parent);
    }
    return layer;
}

std::shared_ptr<VTScreen> VTLayer::screen() const {
    // Upward to the first screen; the loader never makes a parent chain that returns.
    for (auto parent = superPicture(); parent; parent = parent->superPicture())
        if (auto screen = std::dynamic_pointer_cast<VTScreen>(parent)) return screen;
    return nullptr;
}

// ---- Placement

CGPoint VTLayer::positionForLocation_withAnchor_pixelAlign(CGPoint location, CGPoint anchor,
                                                           bool pixelAlign) const {
    const CGSize s = size();
    const CGPoint held{anchorPoint_.x * s.width, anchorPoint_.y * s.height};
    CGPoint position{location.x + (held.x - anchor.x * s.width),
                     location.y + (held.y - anchor.y * s.height)};
    if (pixelAlign) {
        // Halves away from zero, as the platform's round does.
        position.x = std::round(position.x - held.x) + held.x;
        position.y = std::round(position.y - held.y) + held.y;
    }
    return position;
}

void VTLayer::positionAnchor_at_pixelAlign(CGPoint anchor, CGPoint location, bool pixelAlign) {
    setPosition(positionForLocation_withAnchor_pixelAlign(location, anchor, pixelAlign));
}

// ---- Description

std::string VTLayer::description() const {
    char identity[32];
    std::snprintf(identity, sizeof identity, "%p", static_cast<const void*>(this));
    std::string text = "<" + className() + " " + identity + "> " + name_.value_or("(null)");
    if (const auto screen = componentScreen()) {
        text += ", componentScreen:<" + screen->description() + ">";
        const auto prototype = screen->prototype();
        text += ", prototype:<" + (prototype ? prototype->description() : "(null)") + ">";
    }
    return text;
}
