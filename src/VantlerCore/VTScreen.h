#pragma once
// A screen: the root of a layer tree, drawn as one picture by the request handlers, with a weak
// reference to the prototype that owns it. It holds the layer record of VTLayer.h and the owner;
// links join it when the generator comes to follow them.

#include <memory>

#include "VTLayer.h"

#pragma GCC visibility push(default)  // exported from libVantler

class VTPrototype;

class VTScreen : public VTLayer {
  public:
    NS_CLASS_RECORD("VTScreen", VTLayer::objcClass())

    static std::shared_ptr<VTScreen> init();

    // The owning document (not owned); none when the screen is in none.
    std::shared_ptr<VTPrototype> prototype() const { return prototype_.lock(); }
    void setPrototype(const std::shared_ptr<VTPrototype>& prototype) { prototype_ = prototype; }

    bool initWithCoder(NSCoder& coder) override;

  private:
    std::weak_ptr<VTPrototype> prototype_;
};

#pragma GCC visibility pop
