#pragma once
// A screen: the root of a layer tree, drawn as one picture by the request handlers, with the
// ordered property links that drive layers inside it and a weak reference to the prototype that
// owns it. It is a layer that never rotates, scales, fades, rounds its corners, scrolls, drags or
// acts as a component instance: those read operations answer fixed values whatever is stored.
//
// Links belong to one screen at a time: inserting a link moves it here from its old screen,
// removing it detaches it, copying the screen copies its links onto the copy's layers. Observers of
// "links" see each insertion and removal with its index, and setLinks as one change.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "VTLayer.h"
#include "VTLink.h"

#pragma GCC visibility push(default)  // exported from libVantler

class VTPrototype;

class VTScreen : public VTLayer {
  public:
    NS_CLASS_RECORD("VTScreen", VTLayer::objcClass())

    // A layer with its origin and anchor at (0, 0), without links.
    static std::shared_ptr<VTScreen> init();
    // init, then the size and the name (through the layer's set rules), on an opaque white sRGB
    // background.
    static std::shared_ptr<VTScreen> initWithCanvasName_size(std::string_view name, CGSize size);

    // The owning document (not owned); none when the screen is in none.
    std::shared_ptr<VTPrototype> prototype() const { return prototype_.lock(); }
    void setPrototype(const std::shared_ptr<VTPrototype>& prototype) { prototype_ = prototype; }

    // ---- Links, in evaluation order
    // An immutable snapshot copy.
    std::vector<std::shared_ptr<VTLink>> links() const { return links_; }
    // The links become copies of the given ones, re-pointed at the layers that stand at the same
    // index paths in this screen (a path this screen lacks gives none; a link without a layer stays
    // without). The given links are left as they are.
    void setLinks(const std::vector<std::shared_ptr<VTLink>>& links);
    int64_t countOfLinks() const { return static_cast<int64_t>(links_.size()); }
    // The link at `index`, which must be below the count.
    const std::shared_ptr<VTLink>& objectInLinksAtIndex(uint64_t index) const;
    // Takes the link out of the other screen it belongs to, makes this its screen and inserts it
    // at `index` (held to the count). Nothing for none.
    void insertObject_inLinksAtIndex(const std::shared_ptr<VTLink>& link, uint64_t index);
    // Removes the link at `index` and, when this is its screen, leaves it without one; an index at
    // or past the count does nothing.
    void removeObjectFromLinksAtIndex(uint64_t index);
    // Applies every link once, in order, so that a link reads what the links before it drove.
    void applyLinks();

    // A new layer that shows this screen as a component: this screen's look, then the link to it.
    // Not yet in a tree nor among the prototype's instances.
    std::shared_ptr<VTLayer> createComponentInstance() const;

    // ---- What a screen pins
    float opacity() const override { return 1.0f; }
    void setOpacity(float) override { VTLayer::setOpacity(1.0f); }
    double angle() const override { return 0.0; }
    void setAngle(double) override { VTLayer::setAngle(0.0); }
    double scale() const override { return 1.0; }
    float radius() const override { return 0.0f; }
    int64_t verticalBehavior() const override { return 0; }
    int64_t horizontalBehavior() const override { return 0; }
    std::shared_ptr<VTScreen> componentScreen() const override { return nullptr; }
    void setComponentScreen(const std::shared_ptr<VTScreen>&) override {}
    std::shared_ptr<VTScreen> screen() const override;
    // A screen never casts a shadow.
    bool hasVisibleShadow() const override { return false; }
    // Screens compare equal wherever they stand.
    bool _isPositionApproximatelyEqualTo(const VTLayer&) const override { return true; }

    // ---- Copying and comparison
    // The layer's copy (a screen without prototype), then setLinks with this screen's links.
    std::shared_ptr<VTLayer> copy() const override;
    // The layer's comparison, then as many links, pairwise approximately equal in order.
    bool isApproximatlyEqualToLayerHierarchy(const VTLayer& other) const override;

    // ---- Archive form: the layer's keys, then "links" and the conditional "owner".
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // "links" announces its changes itself.
    bool automaticallyNotifiesObserversForKey(std::string_view key) const override;

  protected:
    std::shared_ptr<VTLayer> newLayerOfSameClass() const override { return init(); }

  private:
    friend class VTDecodedLayers;  // takes apart what a refused document decoded

    // The layer of this screen at the index path where `layer` stands in its own tree.
    std::shared_ptr<VTLayer> layerAtPathOf(const std::shared_ptr<VTLayer>& layer);
    void decodeLinks(NSCoder& coder);

    std::vector<std::shared_ptr<VTLink>> links_;
    std::weak_ptr<VTPrototype> prototype_;
};

#pragma GCC visibility pop
