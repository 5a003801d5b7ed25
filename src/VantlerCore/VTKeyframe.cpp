#include "VTKeyframe.h"

#include <cstdio>

#include "NSCoder.h"

std::shared_ptr<VTKeyframe> VTKeyframe::init() {
    return std::make_shared<VTKeyframe>();
}

std::shared_ptr<VTKeyframe> VTKeyframe::initWithInput_output(double input, double output) {
    auto keyframe = init();
    keyframe->input_ = input;
    keyframe->output_ = output;
    return keyframe;
}

void VTKeyframe::setInput(double input) {
    changeValueForKey("input", [&] { input_ = input; });
}

void VTKeyframe::setOutput(double output) {
    changeValueForKey("output", [&] { output_ = output; });
}

void VTKeyframe::setLink(const std::shared_ptr<VTLink>& link) {
    changeValueForKey("link", [&] { link_ = link; });
}

std::shared_ptr<VTKeyframe> VTKeyframe::copy() const {
    return initWithInput_output(input_, output_);
}

std::string VTKeyframe::description() const {
    // "%f" of a huge value can need over 300 characters; ask for the length first.
    const int length = std::snprintf(nullptr, 0, "(%f,%f)", input_, output_);
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, "(%f,%f)", input_, output_);
    return text;
}

void VTKeyframe::encodeWithCoder(NSCoder& coder) const {
    coder.encodeDouble_forKey(input_, "input");
    coder.encodeDouble_forKey(output_, "output");
}

bool VTKeyframe::initWithCoder(NSCoder& coder) {
    input_ = coder.decodeDoubleForKey("input");
    output_ = coder.decodeDoubleForKey("output");
    return true;
}
