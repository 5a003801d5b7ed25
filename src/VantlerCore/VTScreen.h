#pragma once
// A screen: the root of a layer tree, drawn as one picture by the request handlers, with a weak
// reference to the prototype that owns it. It is a layer that never rotates, scales, fades, rounds
// its corners, scrolls, drags or acts as a component instance: those read operations answer fixed
// values whatever is stored. Links join it when the generator comes to follow them.

#include <memory>

#include "VTLayer.h"

#pragma GCC visibility push(default)  // exported from libVantler

class VTPrototype;

class VTScreen : public VTLayer {
  public:
    NS_CLASS_RECORD("VTScreen", VTLayer::objcClass())

    // A layer with its origin and anchor at (0, 0).
    static std::shared_ptr<VTScreen> init();

    // The owning document (not owned); none when the screen is in none.
    std::shared_ptr<VTPrototype> prototype() const { return prototype_.lock(); }
    void setPrototype(const std::shared_ptr<VTPrototype>& prototype) { prototype_ = prototype; }

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

    bool initWithCoder(NSCoder& coder) override;

  protected:
    std::shared_ptr<VTLayer> newLayerOfSameClass() const override { return init(); }

  private:
    std::weak_ptr<VTPrototype> prototype_;
};

#pragma GCC visibility pop
