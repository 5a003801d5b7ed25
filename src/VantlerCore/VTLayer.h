#pragma once
// The layer: the element every screen is built from. A rectangle with a fill colour, a corner
// radius, a border, a drop shadow, an optional image, video or audio asset and an optional text,
// owning an ordered list of sublayers (index 0 back-most) and knowing its parent weakly. A layer
// whose component screen is set is a component instance: it shows that screen and takes its look.
//
// The record, its set rules and constructors are VTLayer.cpp; the tree operations VTLayer+Tree.cpp;
// copying, style transfer and comparison VTLayer+Copying.cpp; the archive form VTLayer+Coding.cpp.
//
// Set operations never fail: out-of-range values are clamped and refused values leave the field
// as it was. Every field tells its observers before and after a set; the manual keys
// ("position", "anchorPoint", "backgroundColor", "borderColor", "shadowColor", "shadowOffset",
// "shadowRadius", "fontFamily", "fontSize", "textAlignment", "componentScreen") only when the value
// really changes. "width" and "height" are parts of "size", "x" and "y" of "position".
//
// A layer is used by one thread at a time; nothing is locked.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "CGColor.h"
#include "CGGeometry.h"
#include "NSKeyValueObserving.h"
#include "VTProperty.h"

#pragma GCC visibility push(default)  // exported from libVantler

class VTAnimationInfo;
class VTImage;
class VTScreen;

// Property number → animation timing of that property.
using VTAnimationInfoMap = std::map<VTValueType, std::shared_ptr<VTAnimationInfo>>;

class VTLayer : public NSKeyValueObservable, public NSKeyValueObserver {
  public:
    NS_CLASS_RECORD("VTLayer", NSObject::objcClass())

    // ---- Making layers
    // 44 × 44 at (22, 22), anchor (0.5, 0.5), named "Layer", opacity and scale 1, a new transparent
    // sRGB background, shadow radius 4 and offset (0, 2), media volume 1, and only
    // forwardUnusedTouches among the flags; everything else zero, false or none.
    static std::shared_ptr<VTLayer> init();
    // init, then setName (so an empty name keeps "Layer").
    static std::shared_ptr<VTLayer> initWithName(std::string_view name);
    // A plain layer named "Text" with the text "Type Something" in Helvetica 17 on opaque black.
    static std::shared_ptr<VTLayer> textLayer();
    // A layer showing `image`, named after its file (without extension, "%20" as blanks, "@2x" or
    // else "@3x" removed), of its point size with its (0, 0) corner on the parent's origin and the
    // aspect ratio locked; an image without a usable size gives 44 × 44 on grey. A video or audio
    // asset freezes "Media Time". Without an image, a plain layer that locks its aspect ratio.
    static std::shared_ptr<VTLayer> layerWithImage(const std::shared_ptr<VTImage>& image);

    // Teardown leaves the component screen (its observation and the prototype's instances) and lets
    // the sublayers go.
    ~VTLayer() override;

    // ---- Tree (index 0 is the back-most sublayer)
    // An immutable snapshot copy of the list.
    std::vector<std::shared_ptr<VTLayer>> sublayers() const { return sublayers_; }
    int64_t countOfSublayers() const { return static_cast<int64_t>(sublayers_.size()); }
    // The sublayer at `index`, which must be below the count.
    const std::shared_ptr<VTLayer>& objectInSublayersAtIndex(int64_t index) const;
    // Text layers cannot hold sublayers.
    bool canHostSubLayers() const { return !text_; }
    void addSublayer(const std::shared_ptr<VTLayer>& layer);
    // A sublayer already here moves to `index`; any other layer is inserted with `index` held to
    // 0 … count.
    void insertLayer_atIndex(const std::shared_ptr<VTLayer>& layer, int64_t index);
    // The "sublayers" insertion: takes the layer out of its old parent and inserts it at `index`,
    // which must be within 0 … count once it has left. Nothing for none or when this layer cannot
    // host sublayers; the layer itself is refused with the log line "Trying to add picture to
    // itself". Adding an ancestor is not detected: callers must not.
    void insertObject_inSublayersAtIndex(const std::shared_ptr<VTLayer>& layer, int64_t index);
    // The "sublayers" removal; an index at or past the count does nothing. The removed layer keeps
    // its parent link: callers that detach use removeSublayer or removeFromSuperPicture.
    void removeObjectFromSublayersAtIndex(int64_t index);
    void removeSublayer(const std::shared_ptr<VTLayer>& layer);
    void removeFromSuperPicture();
    // The index of that very layer, or NSNotFound.
    int64_t orderOfPicture(const VTLayer* layer) const;
    // The index in the parent's list; 0 without a parent.
    int64_t indexInSuperlayer() const;
    // Moves a sublayer to `index` held to 0 … count − 1; false (nothing announced) when it is not
    // here or already there. Observers of "sublayers" see the whole list change.
    bool orderLayer_toIndex(const std::shared_ptr<VTLayer>& layer, int64_t index);
    bool shiftIndexOfPicture_by(const std::shared_ptr<VTLayer>& layer, int64_t delta);
    // One place toward the front (back) within the parent; false without a parent or a move.
    bool moveForward();
    bool moveBackward();
    void orderPictureForward(const std::shared_ptr<VTLayer>& layer);
    // The root's truncated x plus 1, then the index at each level down to this layer.
    std::vector<int64_t> indexPath() const;
    // The layer at `path` below this one (the first element stands for this layer and is not
    // looked at); none for an index that does not exist.
    std::shared_ptr<VTLayer> layerAtIndexPath(std::span<const int64_t> path);
    // -1, 0 or +1 in drawing order by index paths; a descendant orders before its ancestors.
    int64_t depthCompare(const VTLayer& other) const;

    // The parent (not owned); none for a root.
    std::shared_ptr<VTLayer> superPicture() const { return superPicture_.lock(); }
    void setSuperPicture(const std::shared_ptr<VTLayer>& parent);

    // ---- Transforms between spaces (VTLayer+Transforms.cpp). A layer's space is the one its
    // sublayers' positions are given in; the world is the space above every root. A layer argument
    // of none stands for the world. Nothing is cached: every call walks to the root. position +
    // R(angle)·scale·(q − anchorPoint⊙size), from the stored position, anchor point, scale and
    // angle and the size as read.
    CGAffineTransform toSuperPictureTransformWithoutContentOffset() const;
    // The same after shifting by −contentOffset: the anchor point of `bounds` lands on position.
    CGAffineTransform toSuperPictureTransform() const;
    // The inverse (or toSuperPictureTransform itself when it cannot be inverted).
    CGAffineTransform fromSuperPictureTransform() const;
    // This layer's space to the world through every ancestor; a root's is toSuperPictureTransform.
    CGAffineTransform toWorldTransform() const;
    CGAffineTransform fromWorldTransform() const;
    // From `layer`'s space to this layer's: direct for itself, the parent or a sublayer, through
    // the world otherwise.
    CGAffineTransform transformFromPicture(const VTLayer* layer) const;
    CGPoint convertPoint_toPicture(CGPoint point, const VTLayer* layer) const;
    CGPoint convertPoint_fromPicture(CGPoint point, const VTLayer* layer) const;
    // The smallest upright rectangles holding the converted ones.
    CGRect convertRect_toPicture(CGRect rect, const VTLayer* layer) const;
    CGRect convertRect_fromPicture(CGRect rect, const VTLayer* layer) const;
    // The layer's own rectangle in its space: origin contentOffset, size as read.
    CGRect bounds() const;
    // Whether `point`, given in `layer`'s space, falls within bounds.
    bool containsPoint_inPicture(CGPoint point, const VTLayer* layer) const;
    // bounds as an upright rectangle in the world, the parent's space, or `layer`'s space.
    CGRect extents() const;
    CGRect extentsInSuperLayer() const;
    CGRect extentsInLayer(const VTLayer* layer) const;
    // The point at `normalized` (fractions of the size) of bounds, in `layer`'s or the parent's
    // space.
    CGPoint convertNormalizedPosition_toPicture(CGPoint normalized, const VTLayer* layer) const;
    CGPoint convertNormalizedPositionToParent(CGPoint normalized) const;

    // ---- World values (VTLayer+Transforms.cpp): what the layer shows after every ancestor's
    // rotation, scale and place. Degrees: its angle plus every ancestor's. Setting keeps the
    // ancestors and sets the angle.
    double angleInWorld() const;
    void setAngleInWorld(double angle);
    // The parent's scaleInWorld, or 1.0 where that is below 0.001 in magnitude (and for a root),
    // so that a vanishing ancestor does not make the world scale unsettable.
    double superScaleInWorld() const;
    double scaleInWorld() const;
    void setScaleInWorld(double scale);
    // Where the anchor point lies in the world, and in the layer's screen (a layer outside any
    // screen: in the world).
    CGPoint positionInWorld() const;
    CGPoint positionInScreen() const;

    // ---- Animation timing per property number (VTLayer+Timing.cpp)
    // Stores `info` for `property`; none removes the entry.
    void setAnimationInfo_forProperty(std::shared_ptr<VTAnimationInfo> info, VTValueType property);
    // The stored timing, or else a new, unstored one: curve type 7 ("Default"), delay 0, duration
    // 0.3.
    std::shared_ptr<VTAnimationInfo> animationInfoForProperty(VTValueType property) const;

    // ---- What drawing shows (VTLayer+Visible.cpp)
    // The corner radius as drawn: never beyond half the shorter side (cut to whole points first),
    // never below 0.
    double visibleRadius() const;
    // borderColor, or else one opaque black sRGB colour shared by the whole process.
    const CGColorRef& visibleBorderColor() const;
    // A border width above 0 and a visible border colour that is not fully transparent.
    bool hasVisibleBorder() const;
    // A shadow colour that is not fully transparent.
    virtual bool hasVisibleShadow() const;
    // shadowColor, or else the platform's clear colour.
    const CGColorRef& visibleShadowColor() const;

    // ---- Property values by number (VTLayer+Values.cpp): every property of the catalogue as one
    // double (colours packed, booleans and behaviours as whole numbers). Numbers without a value
    // read as 0.0 with the log line "Unrecognized valueForType: N"; writes to 0 (none), "Media",
    // "Text" and "Component Artboard" log "Setting Unsupported property: N", writes to other
    // numbers outside the catalogue do nothing. Every write goes through the field's own set
    // operation.
    double valueForProperty(VTValueType property) const;
    void setValue_forType(double value, VTValueType property);
    double shadowOffsetX() const { return shadowOffset().width; }
    double shadowOffsetY() const { return shadowOffset().height; }
    void setShadowOffsetX(double x);
    void setShadowOffsetY(double y);
    double contentOffsetX() const { return contentOffset().x; }
    double contentOffsetY() const { return contentOffset().y; }
    void setContentOffsetX(double x);
    void setContentOffsetY(double y);

    // ---- Record
    // Extent in the layer's own coordinates, points; a component instance's is its screen's.
    CGSize size() const;
    double width() const { return size().width; }
    double height() const { return size().height; }
    // Each component held to at least 0 (NaN becomes 0); stored even on a component instance.
    void setSize(CGSize size);
    void setWidth(double width);
    void setHeight(double height);
    // Where the anchor point sits in the parent's coordinates.
    CGPoint position() const { return position_; }
    double x() const { return position_.x; }
    double y() const { return position_.y; }
    void setPosition(CGPoint position);
    void setX(double x);
    void setY(double y);
    // The point of the layer, as fractions of its size, that position places.
    CGPoint anchorPoint() const { return anchorPoint_; }
    void setAnchorPoint(CGPoint anchorPoint);
    // Scroll offset of the layer's own space.
    CGPoint contentOffset() const { return contentOffset_; }
    void setContentOffset(CGPoint offset);
    // 0 … 1; NaN stores 0.
    virtual float opacity() const { return opacity_; }
    virtual void setOpacity(float opacity);
    // Uniform scale, at least 0.001 (NaN stores 0.001).
    virtual double scale() const { return scale_; }
    void setScale(double scale);
    // Degrees, about the anchor point.
    virtual double angle() const { return angle_; }
    virtual void setAngle(double angle);
    // Corner radius in points, at least 0 (NaN stores 0).
    virtual float radius() const { return radius_; }
    void setRadius(float radius);
    // Display name; none only after reading an archive without one. None and "" are not stored.
    const std::optional<std::string>& name() const { return name_; }
    void setName(const std::optional<std::string>& name);
    // Import identifier, stored and archived unchanged.
    const std::optional<std::string>& importID() const { return importID_; }
    void setImportID(const std::optional<std::string>& importID);

    // Fill colour; never null (a null colour stores transparent white).
    const CGColorRef& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const CGColorRef& color);
    // Border colour; null draws as opaque black.
    const CGColorRef& borderColor() const { return borderColor_; }
    void setBorderColor(const CGColorRef& color);
    // Points, at least 0 (NaN stores 0).
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double width);
    // Shadow colour; null means no shadow.
    const CGColorRef& shadowColor() const { return shadowColor_; }
    void setShadowColor(const CGColorRef& color);
    CGSize shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(CGSize offset);
    // Blur radius; a change of 0.001 or less is no change.
    double shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(double radius);

    // A layer with a text is a text layer. setText replaces a text and never adds or removes one;
    // _VTSimulatorOnly_setText stores anything, none included.
    const std::optional<std::string>& text() const { return text_; }
    void setText(const std::optional<std::string>& text);
    void _VTSimulatorOnly_setText(const std::optional<std::string>& text);
    const std::optional<std::string>& fontFamily() const { return fontFamily_; }
    void setFontFamily(const std::optional<std::string>& family);
    // Points; a change of 0.0001 or less is no change.
    double fontSize() const { return fontSize_; }
    void setFontSize(double size);
    // 1 centred, 2 right, 3 justified, any other left.
    int64_t textAlignment() const { return textAlignment_; }
    void setTextAlignment(int64_t alignment);

    // 0 none, 1 and 2 the scrolling behaviours, 3 drag.
    virtual int64_t verticalBehavior() const { return verticalBehavior_; }
    void setVerticalBehavior(int64_t behavior);
    virtual int64_t horizontalBehavior() const { return horizontalBehavior_; }
    void setHorizontalBehavior(int64_t behavior);
    bool draggable() const { return verticalBehavior() == 3 || horizontalBehavior() == 3; }

    // The image, video or audio asset; none for a layer without one.
    const std::shared_ptr<VTImage>& image() const { return image_; }
    void setImage(std::shared_ptr<VTImage> image);
    // 0 … 1 by convention, stored unchanged.
    float mediaVolume() const { return mediaVolume_; }
    void setMediaVolume(float volume);
    // Playback position, seconds, stored unchanged.
    double mediaTime() const { return mediaTime_; }
    void setMediaTime(double time);

    bool hidden() const { return hasFlag(kHidden); }
    void setHidden(bool on);
    bool locked() const { return hasFlag(kLocked); }
    void setLocked(bool on);
    // The layer clips its sublayers.
    bool masksToBounds() const { return hasFlag(kMasksToBounds); }
    void setMasksToBounds(bool on);
    bool forwardUnusedTouches() const { return hasFlag(kForwardUnusedTouches); }
    void setForwardUnusedTouches(bool on);
    // Always on for a component instance.
    bool lockAspectRatio() const { return isComponentInstance() || hasFlag(kLockAspectRatio); }
    void setLockAspectRatio(bool on);
    bool playOnce() const { return hasFlag(kPlayOnce); }
    void setPlayOnce(bool on);
    bool mediaPaused() const { return hasFlag(kMediaPaused); }
    void setMediaPaused(bool on);

    // The frozen properties (property numbers 1 … 37; others are ignored and never frozen).
    uint64_t optionalProperties() const { return optionalProperties_; }
    void setOptionalProperties(uint64_t mask);
    bool isPropertyFrozen(VTValueType property) const;
    void setProperty_frozen(VTValueType property, bool frozen);

    // The animation timing stored per property number (copying and archiving keep it).
    const VTAnimationInfoMap& animationInfo() const { return animationInfo_; }
    void setAnimationInfo(VTAnimationInfoMap map);

    // ---- Component instance
    // The screen this layer is an instance of; none for an ordinary layer (and always for a
    // screen). Setting it observes the screen's "size" so that this layer's "size" follows it, and
    // moves the layer into the instances of the screen's prototype.
    virtual std::shared_ptr<VTScreen> componentScreen() const { return componentScreen_; }
    virtual void setComponentScreen(const std::shared_ptr<VTScreen>& screen);
    bool isComponentInstance() const { return componentScreen() != nullptr; }
    // This layer or its first ancestor that is a component instance; else the root.
    std::shared_ptr<VTLayer> parentRepresentingAScreen();
    // The screen this layer is in (a screen answers itself); none outside any screen.
    virtual std::shared_ptr<VTScreen> screen() const;

    // ---- Placement
    // The position that puts the layer's point `anchor` (fractions of its size, before rotation and
    // scale) at `location`; with pixelAlign, the unrotated (0, 0) corner lands on whole points.
    CGPoint positionForLocation_withAnchor_pixelAlign(CGPoint location, CGPoint anchor,
                                                      bool pixelAlign) const;
    void positionAnchor_at_pixelAlign(CGPoint anchor, CGPoint location, bool pixelAlign);

    // "<VTLayer 0x…> name", and for a component instance its screen and the screen's prototype.
    std::string description() const;

    // ---- Copying, style transfer and comparison
    // copyWithZone: a new layer of this class with the external style, behaviour and internal
    // style; an ordinary layer brings copies of its sublayers, an instance its screen's look and
    // link (no sublayers). No parent, no import identifier. A screen adds its links.
    virtual std::shared_ptr<VTLayer> copy() const;
    // The frozen mask, copies of the animation timing, the flags, behaviours and content offset.
    // Nothing for none.
    void takeBehaviorFrom(const VTLayer* layer);
    // Position, anchor point, scale, angle, opacity and name, through the set rules.
    void takeExternalStyleFrom(const VTLayer& layer);
    // Size, colours, image, radius, text, font, border, shadow and media values.
    void takeInternalStyleFrom(const VTLayer& layer);
    void takeStyleFrom(const VTLayer& layer);
    // Exact comparison of the two trees (children first): size, position, content offset, name,
    // radius, scale, angle, opacity, clipping, text, font, image, being an instance, fill colour.
    // Border, shadow, media, behaviours, the other flags and the timing take no part. A screen
    // compares its links too.
    virtual bool isApproximatlyEqualToLayerHierarchy(const VTLayer& other) const;
    virtual bool _isPositionApproximatelyEqualTo(const VTLayer& other) const;

    // ---- Archive form
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // ---- Change notification
    bool automaticallyNotifiesObserversForKey(std::string_view key) const override;
    std::span<const std::string_view> keysDependingOnKey(std::string_view key) const override;
    // Re-announces the component screen's "size" changes as this layer's.
    void observeValueForKeyPath_ofObject_change_context(std::string_view keyPath, NSObject& object,
                                                        const NSKeyValueChange& change,
                                                        void* context) override;

  protected:
    // The values of a new layer, for this class and its subclasses.
    void setInitialValues();
    // A new, initialised object of this layer's own class (a screen copies into a screen).
    virtual std::shared_ptr<VTLayer> newLayerOfSameClass() const;
    // The layer's own setComponentScreen, for the screen whose override ignores it.
    void linkComponentScreen(const std::shared_ptr<VTScreen>& screen);

  private:
    friend class VTDecodedLayers;  // takes apart what a refused document decoded

    enum Flag : uint8_t {
        kHidden = 1 << 0,
        kLocked = 1 << 1,
        kMasksToBounds = 1 << 2,
        kForwardUnusedTouches = 1 << 3,
        kLockAspectRatio = 1 << 4,
        kPlayOnce = 1 << 5,
        kMediaPaused = 1 << 6,
    };
    bool hasFlag(Flag flag) const { return (flags_ & flag) != 0; }
    void setFlag(Flag flag, bool on, std::string_view key);
    std::shared_ptr<VTLayer> self() {
        return std::static_pointer_cast<VTLayer>(shared_from_this());
    }
    // Stops observing the component screen and leaves its prototype's instances.
    void unlinkComponentScreen();
    // Reading: the parts of initWithCoder, in the order they run.
    void decodeComponentScreen(NSCoder& coder);
    void decodeOwnContent(NSCoder& coder);
    void decodeMedia(NSCoder& coder);
    void decodeSublayers(NSCoder& coder);
    void decodeText(NSCoder& coder);
    void decodeFrozenProperties(NSCoder& coder);
    void decodeBehaviors(NSCoder& coder);
    void shareVersion0SizeTiming(int64_t version);
    void normaliseNegativeSize();
    // Writing: the keys of every layer, then those of an ordinary layer.
    void encodeCommonKeys(NSCoder& coder) const;
    void encodeOwnContent(NSCoder& coder) const;

    std::vector<std::shared_ptr<VTLayer>> sublayers_;
    VTAnimationInfoMap animationInfo_;
    std::shared_ptr<VTScreen> componentScreen_;
    uint64_t optionalProperties_ = 0;
    uint8_t flags_ = kForwardUnusedTouches;
    CGSize size_ = CGSizeMake(44, 44);
    float opacity_ = kOpacityDefault;
    float radius_ = 0;
    float mediaVolume_ = 1;
    std::optional<std::string> name_ = "Layer";
    std::optional<std::string> importID_;
    std::weak_ptr<VTLayer> superPicture_;
    double scale_ = kScaleDefault;
    double angle_ = 0;
    CGColorRef backgroundColor_;
    std::shared_ptr<VTImage> image_;
    double mediaTime_ = 0;
    double shadowRadius_ = 4;
    CGColorRef shadowColor_;
    CGColorRef borderColor_;
    double borderWidth_ = 0;
    std::optional<std::string> text_;
    std::optional<std::string> fontFamily_;
    double fontSize_ = 0;
    int64_t textAlignment_ = 0;
    int64_t verticalBehavior_ = 0;
    int64_t horizontalBehavior_ = 0;
    CGPoint position_{22, 22};
    CGPoint contentOffset_{0, 0};
    CGPoint anchorPoint_ = kAnchorPointDefault;
    CGSize shadowOffset_{0, 2};
    // While initWithCoder runs: a layer met again in "subPictures" then is one of its own
    // ancestors.
    bool decoding_ = false;
};

#pragma GCC visibility pop
