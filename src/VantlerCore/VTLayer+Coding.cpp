// The layer's archive form. Writing leaves out what equals its default where the format allows it;
// reading stores values as they stand (no set rule, no notification) except the media volume, a
// tiny font size and a negative size, and understands the keys that earlier writers left behind.
//
// What reading refuses, so that a document always decodes into a tree: a layer listed in
// "subPictures" that is still being decoded (the layer itself or one of its ancestors: the list
// would hold its own parent) and a layer that already has a parent (one layer in two lists, or
// twice in one). Both raise, and the loader answers with its reading error. Cycles and depth
// through component screens are checked once the whole document is decoded (VTDecodedLayers).

#include <cfloat>
#include <cmath>
#include <unordered_set>

#include "CGImageToData.h"
#include "NSArray.h"
#include "NSCoder+geometry.h"
#include "NSCoder.h"
#include "NSDictionary.h"
#include "NSException.h"
#include "NSNumber.h"
#include "NSString.h"
#include "VTAnimationInfo.h"
#include "VTDecodedLayers.h"
#include "VTImage.h"
#include "VTLayer.h"
#include "VTPrototype.h"
#include "VTScreen.h"

namespace {

// The format version this code writes; reading treats only version 0 (or none) specially.
constexpr int64_t kLayerVersion = 2;

std::shared_ptr<NSString> stringObject(const std::optional<std::string>& text) {
    return text ? NSString::stringWithUTF8String(*text) : nullptr;
}

std::optional<std::string> decodeString(NSCoder& coder, std::string_view key) {
    const auto string = coder.decodeObjectOfClass_forKey<NSString>(key);
    if (!string) return std::nullopt;
    return string->UTF8String();
}

[[noreturn]] void raiseMalformed(const std::string& reason) {
    NSException::raise(NSInvalidUnarchiveOperationException, reason);
}

std::shared_ptr<NSDictionary> animationInfoObject(const VTAnimationInfoMap& map) {
    auto dictionary = NSMutableDictionary::dictionary();
    for (const auto& [property, info] : map)
        if (info) dictionary->setObject_forKey(info, NSNumber::numberWithInteger(property));
    return dictionary;
}

VTAnimationInfoMap decodeAnimationInfo(NSCoder& coder) {
    VTAnimationInfoMap map;
    const auto dictionary = coder.decodeObjectOfClass_forKey<NSDictionary>("animationInfo");
    if (!dictionary) return map;
    for (const auto& [key, value] : dictionary->entries()) {
        const auto property = std::dynamic_pointer_cast<NSNumber>(key);
        auto info = std::dynamic_pointer_cast<VTAnimationInfo>(value);
        if (!property || !info)
            raiseMalformed("animationInfo maps a " + key->className() + " to a " +
                           value->className() + ", not a property number to VTAnimationInfo");
        map[property->integerValue()] = std::move(info);
    }
    return map;
}

bool isMedia(const std::shared_ptr<VTImage>& image) {
    return image && image->isVideoOrAudio();
}

}  // namespace

// ---- Writing

void VTLayer::encodeWithCoder(NSCoder& coder) const {
    encodeCommonKeys(coder);
    if (const auto screen = componentScreen()) {
        // An instance holds nothing of its own: its look is its screen's.
        coder.encodeConditionalObject_forKey(screen, "prototypeLayer");
        return;
    }
    encodeOwnContent(coder);
}

void VTLayer::encodeCommonKeys(NSCoder& coder) const {
    if (hidden()) coder.encodeBool_forKey(true, "hidden");
    if (locked()) coder.encodeBool_forKey(true, "locked");
    // Left out when it is exactly the default (and when it is not a number).
    if (std::fabs(opacity() - 1.0f) > FLT_MIN) coder.encodeFloat_forKey(opacity(), "opacity");
    if (std::fabs(scale_ - 1.0) > DBL_MIN) coder.encodeDouble_forKey(scale_, "scale");
    encodeCGPoint_forKey(coder, position_, "position");
    coder.encodeDouble_forKey(angle(), "angle");
    coder.encodeInt64_forKey(static_cast<int64_t>(optionalProperties_), "optionalsMask");
    if (!animationInfo_.empty())
        coder.encodeObject_forKey(animationInfoObject(animationInfo_), "animationInfo");
    encodeCGPoint_forKey(coder, anchorPoint_, "anchorPoint");
    coder.encodeObject_forKey(stringObject(name_), "name");
    coder.encodeObject_forKey(stringObject(importID_), "importID");
    coder.encodeInteger_forKey(kLayerVersion, "VTLayerVersion");
    coder.encodeInteger_forKey(horizontalBehavior(), "horizontalBehavior");
    coder.encodeInteger_forKey(verticalBehavior(), "verticalBehavior");
    coder.encodeBool_forKey(forwardUnusedTouches(), "forwardUnusedTouches");
}

void VTLayer::encodeOwnContent(NSCoder& coder) const {
    if (!sublayers_.empty()) {
        auto list = NSMutableArray::array();
        for (const auto& sublayer : sublayers_) list->addObject(sublayer);
        coder.encodeObject_forKey(list, "subPictures");
    }
    if (text_) {
        coder.encodeObject_forKey(stringObject(text_), "text");
        coder.encodeDouble_forKey(fontSize_, "fontSize");
        coder.encodeObject_forKey(stringObject(fontFamily_), "fontFamily");
        coder.encodeInteger_forKey(textAlignment_, "textAlignment");
    }
    if (isMedia(image_)) {
        if (playOnce()) coder.encodeBool_forKey(true, "playOnce");
        if (mediaVolume_ < 1.0f) coder.encodeFloat_forKey(mediaVolume_, "mediaVolume");
        if (mediaTime_ > 0) coder.encodeDouble_forKey(mediaTime_, "mediaTime");
        if (mediaPaused()) coder.encodeBool_forKey(true, "mediaPaused");
    }
    if (borderWidth_ > 0) coder.encodeDouble_forKey(borderWidth_, "borderWidth");
    encodeCGColor_forKey(coder, borderColor_, "borderColor");
    encodeCGColor_forKey(coder, shadowColor_, "shadowColor");
    encodeCGSize_forKey(coder, shadowOffset_, "shadowOffset");
    coder.encodeDouble_forKey(shadowRadius_, "shadowRadius");
    encodeCGPoint_forKey(coder, contentOffset_, "contentOffset");
    encodeCGColor_forKey(coder, backgroundColor_ ? backgroundColor_ : CGColorCreateSRGB(0, 0, 0, 0),
                         "backgroundColor");
    coder.encodeDouble_forKey(radius_, "radius");
    coder.encodeObject_forKey(image_, "image");
    encodeCGSize_forKey(coder, size_, "size");
    if (hasFlag(kMasksToBounds)) coder.encodeBool_forKey(masksToBounds(), "maskToBounds");
    if (hasFlag(kLockAspectRatio)) coder.encodeBool_forKey(true, "lockAspect");
}

// ---- Reading

bool VTLayer::initWithCoder(NSCoder& coder) {
    decoding_ = true;
    VTDecodedLayers::noteDecodedLayer(self());
    setInitialValues();
    const int64_t version = coder.decodeIntegerForKey("VTLayerVersion");
    if (coder.containsValueForKey("lockAspect"))
        flags_ = coder.decodeBoolForKey("lockAspect") ? (flags_ | kLockAspectRatio)
                                                      : (flags_ & ~kLockAspectRatio);
    // An absent name stays none: the default "Layer" is not kept.
    name_ = decodeString(coder, "name");
    importID_ = decodeString(coder, "importID");
    animationInfo_ = decodeAnimationInfo(coder);
    setMasksToBounds(coder.decodeBoolForKey("maskToBounds"));
    decodeComponentScreen(coder);
    if (componentScreen_) {
        if (const auto prototype = componentScreen_->prototype())
            prototype->instances().addLayer(self());
        takeInternalStyleFrom(*componentScreen_);
    } else {
        decodeOwnContent(coder);
    }
    decodeFrozenProperties(coder);
    setFlag(kHidden, coder.decodeBoolForKey("hidden"), "hidden");
    setFlag(kLocked, coder.decodeBoolForKey("locked"), "locked");
    decodeBehaviors(coder);
    anchorPoint_ = containsCGPointForKey(coder, "anchorPoint")
                       ? decodeCGPointForKey(coder, "anchorPoint")
                       : kAnchorPointDefault;
    // Neither is clamped: a document keeps what it says.
    opacity_ =
        coder.containsValueForKey("opacity") ? coder.decodeFloatForKey("opacity") : kOpacityDefault;
    scale_ = coder.containsValueForKey("scale") ? coder.decodeDoubleForKey("scale") : kScaleDefault;
    angle_ = coder.decodeDoubleForKey("angle");
    position_ = decodeCGPointForKey(coder, "position");
    // Absent means cleared: the default of a new layer is not kept.
    setFlag(kForwardUnusedTouches, coder.decodeBoolForKey("forwardUnusedTouches"),
            "forwardUnusedTouches");
    shareVersion0SizeTiming(version);
    normaliseNegativeSize();
    decoding_ = false;
    return true;
}

void VTLayer::decodeComponentScreen(NSCoder& coder) {
    auto object = coder.decodeObjectForKey("prototypeLayer");
    if (auto screen = std::dynamic_pointer_cast<VTScreen>(object)) {
        setComponentScreen(screen);
        return;
    }
    // An instance of an instance shows the screen at the end of the chain; a chain that comes back
    // to a layer already met ends there.
    std::unordered_set<const VTLayer*> visited;
    auto layer = std::dynamic_pointer_cast<VTLayer>(object);
    while (layer && layer->componentScreen()) {
        if (!visited.insert(layer.get()).second) break;
        layer = layer->componentScreen();
    }
    if (auto screen = std::dynamic_pointer_cast<VTScreen>(layer)) setComponentScreen(screen);
}

void VTLayer::decodeOwnContent(NSCoder& coder) {
    image_ = coder.decodeObjectOfClass_forKey<VTImage>("image");
    decodeMedia(coder);
    decodeSublayers(coder);
    decodeText(coder);
    shadowColor_ = newCGColorForKey(coder, "shadowColor");
    // The bare key decides, not its sub-keys.
    shadowOffset_ = coder.containsValueForKey("shadowOffset2")
                        ? decodeCGSizeForKey(coder, "shadowOffset2")
                        : decodeCGSizeForKey(coder, "shadowOffset");
    shadowRadius_ = coder.containsValueForKey("shadowRadius2")
                        ? coder.decodeDoubleForKey("shadowRadius2")
                        : coder.decodeDoubleForKey("shadowRadius");
    size_ = decodeCGSizeForKey(coder, "size");
    backgroundColor_ = newCGColorForKey(coder, "backgroundColor");
    if (!backgroundColor_) backgroundColor_ = CGColorCreateSRGB(0, 0, 0, 0);
    borderWidth_ = coder.decodeDoubleForKey("borderWidth");
    borderColor_ = newCGColorForKey(coder, "borderColor");
    contentOffset_ = decodeCGPointForKey(coder, "contentOffset");
    radius_ = static_cast<float>(coder.decodeDoubleForKey("radius"));
}

void VTLayer::decodeMedia(NSCoder& coder) {
    // Only a video or audio asset has media values; for others they keep their defaults.
    if (!isMedia(image_)) return;
    if (coder.containsValueForKey("mediaVolume")) {
        const float volume = coder.decodeFloatForKey("mediaVolume");
        mediaVolume_ = std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 1.0f);
    }
    mediaTime_ = coder.decodeDoubleForKey("mediaTime");
    setFlag(kMediaPaused, coder.decodeBoolForKey("mediaPaused"), "mediaPaused");
    setFlag(kPlayOnce, coder.decodeBoolForKey("playOnce"), "playOnce");
}

void VTLayer::decodeSublayers(NSCoder& coder) {
    const auto list = coder.decodeObjectOfClass_forKey<NSArray>("subPictures");
    if (!list) return;
    sublayers_.reserve(list->count());
    const auto parent = self();
    for (const auto& object : list->objects()) {
        auto layer = std::dynamic_pointer_cast<VTLayer>(object);
        if (!layer)
            raiseMalformed("subPictures holds an object of class " + object->className() +
                           ", not VTLayer");
        // A layer still being decoded is this one or one of its ancestors; one with a parent is
        // already in a list. Either would turn the tree into a cycle or a shared branch.
        if (layer->decoding_)
            raiseMalformed("subPictures of a layer holds the layer itself or one of its ancestors");
        if (!layer->superPicture_.expired())
            raiseMalformed("subPictures holds a layer that is already a sublayer");
        layer->superPicture_ = parent;
        sublayers_.push_back(std::move(layer));
    }
}

void VTLayer::decodeText(NSCoder& coder) {
    text_ = decodeString(coder, "text");
    // Without a text the text fields keep their defaults.
    if (!text_) return;
    fontSize_ = 17.0;
    if (coder.containsValueForKey("fontSize")) {
        const double size = coder.decodeDoubleForKey("fontSize");
        fontSize_ = size < 0.01 ? 17.0 : size;
    }
    fontFamily_ = coder.containsValueForKey("fontFamily") ? decodeString(coder, "fontFamily")
                                                          : std::optional<std::string>("Helvetica");
    textAlignment_ = coder.decodeIntegerForKey("textAlignment");
}

void VTLayer::decodeFrozenProperties(NSCoder& coder) {
    if (coder.containsValueForKey("optionalsMask")) {
        optionalProperties_ = static_cast<uint64_t>(coder.decodeInt64ForKey("optionalsMask"));
        return;
    }
    // Earlier documents list the frozen property numbers.
    const auto list = coder.decodeObjectOfClass_forKey<NSArray>("optionals");
    if (!list) return;
    for (const auto& object : list->objects()) {
        const auto number = std::dynamic_pointer_cast<NSNumber>(object);
        if (!number) raiseMalformed("optionals holds a " + object->className() + ", not a number");
        setMaskBit(&optionalProperties_, static_cast<int32_t>(number->integerValue()), true);
    }
}

void VTLayer::decodeBehaviors(NSCoder& coder) {
    // Earlier documents had one "scrollable" axis setting or one per axis, and drag as flags:
    // "draggable" bit 1 horizontal, bit 0 vertical, or the booleans "dragHorizontal" and
    // "dragVertical".
    const bool hasDraggable = coder.containsValueForKey("draggable");
    const int64_t draggable = coder.decodeIntegerForKey("draggable");
    const auto legacyScrolling = [&](std::string_view axisKey) {
        return coder.containsValueForKey("scrollable") ? coder.decodeIntegerForKey("scrollable")
                                                       : coder.decodeIntegerForKey(axisKey);
    };
    if (coder.containsValueForKey("horizontalBehavior")) {
        horizontalBehavior_ = coder.decodeIntegerForKey("horizontalBehavior");
    } else {
        horizontalBehavior_ = legacyScrolling("scrollHorizontal");
        if (horizontalBehavior_ == 0 &&
            (coder.decodeBoolForKey("dragHorizontal") || (hasDraggable && (draggable & 2))))
            horizontalBehavior_ = 3;
    }
    if (coder.containsValueForKey("verticalBehavior")) {
        verticalBehavior_ = coder.decodeIntegerForKey("verticalBehavior");
    } else {
        verticalBehavior_ = legacyScrolling("scrollVertical");
        const bool drags =
            hasDraggable ? (draggable & 1) != 0 : coder.decodeBoolForKey("dragVertical");
        if (verticalBehavior_ == 0 && drags) verticalBehavior_ = 3;
    }
}

void VTLayer::shareVersion0SizeTiming(int64_t version) {
    // The first format timed width and height together under "Width".
    if (version != 0) return;
    const auto width = animationInfo_.find(kVTPropertyWidth);
    if (width != animationInfo_.end() && !animationInfo_.contains(kVTPropertyHeight))
        animationInfo_[kVTPropertyHeight] = width->second;
}

void VTLayer::normaliseNegativeSize() {
    // A negative extent is the same rectangle the other way round: keep its centre where it was.
    if (!(size_.width < 0 || size_.height < 0)) return;
    const CGPoint centre = positionForLocation_withAnchor_pixelAlign(position_, {0.5, 0.5}, false);
    size_ = {std::fabs(size_.width), std::fabs(size_.height)};
    positionAnchor_at_pixelAlign({0.5, 0.5}, centre, false);
}
