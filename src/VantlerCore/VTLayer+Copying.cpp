// Copying a layer with its subtree, taking over another layer's behaviour, placement (external
// style) or look and content (internal style), and comparing two layer hierarchies.

#include <typeinfo>

#include "VTAnimationInfo.h"
#include "VTImage.h"
#include "VTLayer.h"
#include "VTPrototype.h"
#include "VTScreen.h"

namespace {

// Strings, colours and images compare as the platform's objects do: a value on this side must be
// equal to the other's, and both must have one or both none.
bool sameOptional(const std::optional<std::string>& a, const std::optional<std::string>& b) {
    return a == b;
}

bool sameImage(const std::shared_ptr<VTImage>& mine, const std::shared_ptr<VTImage>& theirs) {
    if (theirs && !theirs->isEqual(mine.get())) return false;
    return (mine == nullptr) == (theirs == nullptr);
}

}  // namespace

std::shared_ptr<VTLayer> VTLayer::copy() const {
    auto layer = newLayerOfSameClass();
    layer->takeExternalStyleFrom(*this);
    layer->takeBehaviorFrom(this);
    if (const auto screen = componentScreen()) {
        layer->takeInternalStyleFrom(*screen);
        layer->setComponentScreen(screen);
        if (const auto prototype = screen->prototype()) prototype->instances().addLayer(layer);
        return layer;
    }
    layer->takeInternalStyleFrom(*this);
    // The loader never makes a tree deeper than the archive's nesting allows, so this recursion is
    // bounded as decoding is.
    for (const auto& sublayer : sublayers_) layer->addSublayer(sublayer->copy());
    return layer;
}

void VTLayer::takeBehaviorFrom(const VTLayer* layer) {
    if (!layer) return;
    optionalProperties_ = layer->optionalProperties_;
    // Copies, so that later changes on either side do not reach the other.
    VTAnimationInfoMap timing;
    for (const auto& [property, info] : layer->animationInfo_)
        timing.emplace(property, info ? info->copy() : nullptr);
    animationInfo_ = std::move(timing);
    setHidden(layer->hidden());
    setLocked(layer->locked());
    setContentOffset(layer->contentOffset_);
    setLockAspectRatio(layer->lockAspectRatio());
    setHorizontalBehavior(layer->horizontalBehavior_);
    setVerticalBehavior(layer->verticalBehavior_);
    setMasksToBounds(layer->masksToBounds());
    setPlayOnce(layer->playOnce());
}

void VTLayer::takeExternalStyleFrom(const VTLayer& layer) {
    setPosition(layer.position());
    setAnchorPoint(layer.anchorPoint());
    setScale(layer.scale());
    setAngle(layer.angle());
    setOpacity(layer.opacity());
    setName(layer.name());
}

void VTLayer::takeInternalStyleFrom(const VTLayer& layer) {
    setMasksToBounds(layer.masksToBounds());
    setSize(layer.size());
    setBackgroundColor(layer.backgroundColor());
    setBorderColor(layer.borderColor());
    setImage(layer.image());
    setRadius(layer.radius());
    // The text is taken as it is, none included, which setText would refuse.
    willChangeValueForKey("text");
    text_ = layer.text();
    didChangeValueForKey("text");
    setFontFamily(layer.fontFamily());
    setFontSize(layer.fontSize());
    setTextAlignment(layer.textAlignment());
    setBorderWidth(layer.borderWidth());
    setShadowColor(layer.shadowColor());
    setShadowOffset(layer.shadowOffset());
    setShadowRadius(layer.shadowRadius());
    setPlayOnce(layer.playOnce());
    setMediaVolume(layer.mediaVolume());
    setMediaPaused(layer.mediaPaused());
    setForwardUnusedTouches(layer.forwardUnusedTouches());
    setContentOffset(layer.contentOffset());
    setMediaTime(layer.mediaTime());
}

void VTLayer::takeStyleFrom(const VTLayer& layer) {
    takeExternalStyleFrom(layer);
    takeInternalStyleFrom(layer);
}

bool VTLayer::_isPositionApproximatelyEqualTo(const VTLayer& other) const {
    return position_.x == other.position_.x && position_.y == other.position_.y;
}

bool VTLayer::isApproximatlyEqualToLayerHierarchy(const VTLayer& other) const {
    // No tolerance despite the name: numbers compare exactly, and NaN equals nothing.
    if (this == &other) return true;
    if (countOfSublayers() != other.countOfSublayers()) return false;
    // Children first; bounded by the tree's depth as copying is.
    for (size_t i = 0; i < sublayers_.size(); ++i)
        if (!sublayers_[i]->isApproximatlyEqualToLayerHierarchy(*other.sublayers_[i])) return false;
    if (!isKindOfClass(other, classForKeyedArchiver())) return false;
    if (!sameImage(image_, other.image_)) return false;
    const CGSize mySize = size(), theirSize = other.size();
    if (!(mySize.width == theirSize.width && mySize.height == theirSize.height)) return false;
    if (!_isPositionApproximatelyEqualTo(other)) return false;
    if (!(contentOffset_.x == other.contentOffset_.x && contentOffset_.y == other.contentOffset_.y))
        return false;
    if (!sameOptional(name_, other.name_)) return false;
    if (!(radius() == other.radius() && scale() == other.scale() && angle() == other.angle() &&
          opacity() == other.opacity()))
        return false;
    if (masksToBounds() != other.masksToBounds()) return false;
    if (!sameOptional(text_, other.text_)) return false;
    if (!(fontSize_ == other.fontSize_)) return false;
    if (!sameOptional(fontFamily_, other.fontFamily_)) return false;
    if (isComponentInstance() != other.isComponentInstance()) return false;
    return CGColorEqualToColor(backgroundColor_, other.backgroundColor_);
}
