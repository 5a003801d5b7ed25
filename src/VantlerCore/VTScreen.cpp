#include "VTScreen.h"

#include <algorithm>

#include "CGImageToData.h"
#include "NSArray+Utilities.h"
#include "NSArray.h"
#include "NSCoder.h"
#include "VTPrototype.h"

std::shared_ptr<VTScreen> VTScreen::init() {
    auto screen = std::make_shared<VTScreen>();
    screen->setInitialValues();
    screen->setAnchorPoint(CGPointZero);
    screen->setPosition(CGPointZero);
    return screen;
}

std::shared_ptr<VTScreen> VTScreen::initWithCanvasName_size(std::string_view name, CGSize size) {
    auto screen = init();
    screen->setSize(size);
    screen->setName(std::string(name));
    screen->setBackgroundColor(CGColorCreateSRGB(1, 1, 1, 1));
    return screen;
}

std::shared_ptr<VTScreen> VTScreen::screen() const {
    return std::static_pointer_cast<VTScreen>(
        std::const_pointer_cast<NSObject>(shared_from_this()));
}

// ---- Links

void VTScreen::setLinks(const std::vector<std::shared_ptr<VTLink>>& links) {
    willChangeValueForKey("links");
    links_ = flatMap(links, [](const auto& link) { return link ? link->copy() : nullptr; });
    const auto self = screen();
    for (const auto& link : links_) {
        link->setScreen(self);
        link->setInputLayer(layerAtPathOf(link->inputLayer()));
        link->setOutputLayer(layerAtPathOf(link->outputLayer()));
    }
    didChangeValueForKey("links");
}

std::shared_ptr<VTLayer> VTScreen::layerAtPathOf(const std::shared_ptr<VTLayer>& layer) {
    return layer ? layerAtIndexPath(layer->indexPath()) : nullptr;
}

const std::shared_ptr<VTLink>& VTScreen::objectInLinksAtIndex(uint64_t index) const {
    return links_.at(index);
}

void VTScreen::insertObject_inLinksAtIndex(const std::shared_ptr<VTLink>& link, uint64_t index) {
    if (!link) return;
    const auto oldScreen = link->screen();
    if (oldScreen && oldScreen.get() != this) {
        const auto& theirs = oldScreen->links_;
        const auto at = std::find(theirs.begin(), theirs.end(), link);
        if (at != theirs.end())
            oldScreen->removeObjectFromLinksAtIndex(static_cast<uint64_t>(at - theirs.begin()));
    }
    link->setScreen(screen());
    index = std::min<uint64_t>(index, links_.size());
    willChange_valueAtIndex_forKey(NSKeyValueChangeKind::Insertion, static_cast<int64_t>(index),
                                   "links");
    links_.insert(links_.begin() + static_cast<ptrdiff_t>(index), link);
    didChange_valueAtIndex_forKey(NSKeyValueChangeKind::Insertion, static_cast<int64_t>(index),
                                  "links");
}

void VTScreen::removeObjectFromLinksAtIndex(uint64_t index) {
    if (index >= links_.size()) return;
    // The link stays alive until observers have been told.
    const auto removed = links_[index];
    if (removed->screen().get() == this) removed->setScreen(nullptr);
    willChange_valueAtIndex_forKey(NSKeyValueChangeKind::Removal, static_cast<int64_t>(index),
                                   "links");
    links_.erase(links_.begin() + static_cast<ptrdiff_t>(index));
    didChange_valueAtIndex_forKey(NSKeyValueChangeKind::Removal, static_cast<int64_t>(index),
                                  "links");
}

void VTScreen::applyLinks() {
    // A snapshot: a link's output may be observed by code that edits the links.
    for (const auto& link : links()) link->apply();
}

std::shared_ptr<VTLayer> VTScreen::createComponentInstance() const {
    auto instance = VTLayer::init();
    instance->takeInternalStyleFrom(*this);
    instance->setComponentScreen(screen());
    return instance;
}

// ---- Copying and comparison

std::shared_ptr<VTLayer> VTScreen::copy() const {
    // The layer's copy made a screen, with copies of the sublayers for the links to point at.
    auto copy = std::static_pointer_cast<VTScreen>(VTLayer::copy());
    copy->setLinks(links_);
    return copy;
}

bool VTScreen::isApproximatlyEqualToLayerHierarchy(const VTLayer& other) const {
    if (!VTLayer::isApproximatlyEqualToLayerHierarchy(other)) return false;
    const auto* screen = dynamic_cast<const VTScreen*>(&other);
    if (!screen || screen->links_.size() != links_.size()) return false;
    for (size_t i = 0; i < links_.size(); ++i)
        if (!links_[i]->isApproximatlyEqualToLink(screen->links_[i].get())) return false;
    return true;
}

// ---- Archive form

void VTScreen::encodeWithCoder(NSCoder& coder) const {
    VTLayer::encodeWithCoder(coder);
    coder.encodeObject_forKey(NSArray::arrayWithObjects({links_.begin(), links_.end()}), "links");
    // Stored because the document stores the prototype as its root.
    coder.encodeConditionalObject_forKey(prototype(), "owner");
}

bool VTScreen::initWithCoder(NSCoder& coder) {
    if (!VTLayer::initWithCoder(coder)) return false;
    decodeLinks(coder);
    // What a screen pins is also what it keeps.
    setVerticalBehavior(0);
    setHorizontalBehavior(0);
    // The owner, stored conditionally by the prototype's own archive
    // (an object of another class leaves none).
    setPrototype(std::dynamic_pointer_cast<VTPrototype>(coder.decodeObjectForKey("owner")));
    // The decoded position stays; the anchor is always the origin.
    setAnchorPoint(CGPointZero);
    return true;
}

void VTScreen::decodeLinks(NSCoder& coder) {
    links_ = coder.decodeArrayOfObjectsOfClass_forKey<VTLink>("links");
    const auto self = screen();
    for (const auto& link : links()) {
        link->setScreen(self);
        // A property that a link drives follows the link: it cannot also stay frozen.
        if (const auto output = link->outputLayer())
            output->setProperty_frozen(link->outputProperty(), false);
    }
}

bool VTScreen::automaticallyNotifiesObserversForKey(std::string_view key) const {
    return key != "links" && VTLayer::automaticallyNotifiesObserversForKey(key);
}
