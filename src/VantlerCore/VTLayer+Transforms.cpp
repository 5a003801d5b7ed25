// Transforms between a layer, its parent, any other layer and the world; the rectangles and points
// derived from them; and the angle, scale and position a layer has in the world. Everything is
// computed on each call by walking to the root, so it follows every change in the ancestors.
//
// The upward walks are loops, not recursion, so that a deep tree costs time in proportion to its
// depth and no stack; each combines the ancestors' values from the root down, in the order the
// recursive definitions would, so that results agree to the last bit.

#include <cmath>
#include <numbers>
#include <vector>

#include "VTLayer.h"
#include "VTScreen.h"
#include "ZRGeometry.h"

namespace {

// The parent, the grandparent, … up to the root; empty for a root.
std::vector<std::shared_ptr<VTLayer>> ancestorsOf(const VTLayer& layer) {
    std::vector<std::shared_ptr<VTLayer>> ancestors;
    for (auto parent = layer.superPicture(); parent; parent = parent->superPicture())
        ancestors.push_back(parent);
    return ancestors;
}

double radiansOf(double degrees) {
    return degrees * std::numbers::pi / 180;
}

// A scale in the world below 0.001 in magnitude would make the scale of a sublayer unsettable; the
// sublayer takes 1.0 from such a parent (and from the world above a root) instead.
double usableSuperScale(double parentScaleInWorld) {
    return std::fabs(parentScaleInWorld) < 0.001 ? 1.0 : parentScaleInWorld;
}

}  // namespace

// ---- Transforms

CGAffineTransform VTLayer::toSuperPictureTransformWithoutContentOffset() const {
    // Each step acts on a point before the ones made earlier: the anchor point moves to the
    // origin, is scaled, rotated, and carried to position.
    const CGSize s = size();
    CGAffineTransform t = CGAffineTransformMakeTranslation(position_.x, position_.y);
    t = CGAffineTransformRotate(t, radiansOf(angle_));
    t = CGAffineTransformScale(t, scale_, scale_);
    return CGAffineTransformTranslate(t, -s.width * anchorPoint_.x, -s.height * anchorPoint_.y);
}

CGAffineTransform VTLayer::toSuperPictureTransform() const {
    const CGPoint c = contentOffset();
    return CGAffineTransformTranslate(toSuperPictureTransformWithoutContentOffset(), -c.x, -c.y);
}

CGAffineTransform VTLayer::fromSuperPictureTransform() const {
    return CGAffineTransformInvert(toSuperPictureTransform());
}

CGAffineTransform VTLayer::toWorldTransform() const {
    const auto ancestors = ancestorsOf(*this);
    if (ancestors.empty()) return toSuperPictureTransform();
    CGAffineTransform world = ancestors.back()->toSuperPictureTransform();
    for (auto it = ancestors.rbegin() + 1; it != ancestors.rend(); ++it)
        world = CGAffineTransformConcat((*it)->toSuperPictureTransform(), world);
    return CGAffineTransformConcat(toSuperPictureTransform(), world);
}

CGAffineTransform VTLayer::fromWorldTransform() const {
    return CGAffineTransformInvert(toWorldTransform());
}

CGAffineTransform VTLayer::transformFromPicture(const VTLayer* layer) const {
    if (layer == this) return CGAffineTransformIdentity;
    if (layer && layer == superPicture().get()) return fromSuperPictureTransform();
    if (layer && layer->superPicture().get() == this) return layer->toSuperPictureTransform();
    if (!layer) return fromWorldTransform();
    return CGAffineTransformConcat(layer->toWorldTransform(), fromWorldTransform());
}

CGPoint VTLayer::convertPoint_toPicture(CGPoint point, const VTLayer* layer) const {
    return CGPointApplyAffineTransform(point, CGAffineTransformInvert(transformFromPicture(layer)));
}

CGPoint VTLayer::convertPoint_fromPicture(CGPoint point, const VTLayer* layer) const {
    return CGPointApplyAffineTransform(point, transformFromPicture(layer));
}

CGRect VTLayer::convertRect_toPicture(CGRect rect, const VTLayer* layer) const {
    return CGRectApplyAffineTransform(rect, CGAffineTransformInvert(transformFromPicture(layer)));
}

CGRect VTLayer::convertRect_fromPicture(CGRect rect, const VTLayer* layer) const {
    return CGRectApplyAffineTransform(rect, transformFromPicture(layer));
}

CGRect VTLayer::bounds() const {
    return CGRectMakeWithOriginSize(contentOffset(), size());
}

bool VTLayer::containsPoint_inPicture(CGPoint point, const VTLayer* layer) const {
    return CGRectContainsPoint(bounds(), convertPoint_fromPicture(point, layer));
}

CGRect VTLayer::extents() const {
    return extentsInLayer(nullptr);
}

CGRect VTLayer::extentsInSuperLayer() const {
    return extentsInLayer(superPicture().get());
}

CGRect VTLayer::extentsInLayer(const VTLayer* layer) const {
    return convertRect_toPicture(bounds(), layer);
}

CGPoint VTLayer::convertNormalizedPosition_toPicture(CGPoint normalized,
                                                     const VTLayer* layer) const {
    const CGSize s = size();
    const CGPoint point{normalized.x * s.width + contentOffset_.x,
                        normalized.y * s.height + contentOffset_.y};
    return convertPoint_toPicture(point, layer);
}

CGPoint VTLayer::convertNormalizedPositionToParent(CGPoint normalized) const {
    return convertNormalizedPosition_toPicture(normalized, superPicture().get());
}

// ---- World values

double VTLayer::angleInWorld() const {
    const auto ancestors = ancestorsOf(*this);
    double world = 0;
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) world = (*it)->angle() + world;
    return angle() + world;
}

void VTLayer::setAngleInWorld(double angle) {
    const auto parent = superPicture();
    setAngle(angle - (parent ? parent->angleInWorld() : 0.0));
}

double VTLayer::superScaleInWorld() const {
    const auto ancestors = ancestorsOf(*this);
    double superScale = usableSuperScale(0);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
        superScale = usableSuperScale((*it)->scale() * superScale);
    return superScale;
}

double VTLayer::scaleInWorld() const {
    return scale() * superScaleInWorld();
}

void VTLayer::setScaleInWorld(double scale) {
    setScale(scale / superScaleInWorld());
}

CGPoint VTLayer::positionInWorld() const {
    return convertNormalizedPosition_toPicture(anchorPoint(), nullptr);
}

CGPoint VTLayer::positionInScreen() const {
    return convertNormalizedPosition_toPicture(anchorPoint(), screen().get());
}
