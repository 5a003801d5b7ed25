#pragma once
// One sample of a link's mapping: the output value a link gives its output property when its input
// property stands at the input value. A keyframe knows the link that holds it weakly; the link sets
// and clears that reference as the keyframe joins and leaves it.

#include <memory>
#include <string>

#include "NSKeyValueObserving.h"

#pragma GCC visibility push(default)  // exported from libVantler

class VTLink;

class VTKeyframe : public NSKeyValueObservable {
  public:
    NS_CLASS_RECORD("VTKeyframe", NSObject::objcClass())

    // Input and output 0, no link.
    static std::shared_ptr<VTKeyframe> init();
    static std::shared_ptr<VTKeyframe> initWithInput_output(double input, double output);

    // Stored as given: the link that holds the keyframe keeps its order, not the keyframe.
    double input() const { return input_; }
    void setInput(double input);
    // A packed colour when the link's output property is a colour.
    double output() const { return output_; }
    void setOutput(double output);

    // The link that holds the keyframe (not owned); none while it is in none.
    std::shared_ptr<VTLink> link() const { return link_.lock(); }
    void setLink(const std::shared_ptr<VTLink>& link);

    // copyWithZone: — the same input and output, no link.
    std::shared_ptr<VTKeyframe> copy() const;

    // "(input,output)", each with six decimals: "(0.500000,1.000000)".
    std::string description() const;

    // Keys "input" and "output" (doubles); an absent key reads as 0.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  private:
    double input_ = 0;
    double output_ = 0;
    std::weak_ptr<VTLink> link_;
};

#pragma GCC visibility pop
