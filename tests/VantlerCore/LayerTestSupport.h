#pragma once
// What the layer tests share: layers and screens that belong to a prototype (the form a component
// screen has), prototypes written key by key, and the documents that seed the document fuzzer.

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "DocumentShapes.h"
#include "KeyValueChanges.h"
#include "NSArray.h"
#include "NSData.h"
#include "TestSupport.h"

#include "VTLayer.h"
#include "VTPrototype.h"
#include "VTScreen.h"

namespace layer_support {

using test::ChangeRecorder;
using test::observe;

// A layer named `name`, added to `parent` when there is one.
inline std::shared_ptr<VTLayer> namedLayer(const char* name,
                                           const std::shared_ptr<VTLayer>& parent = nullptr) {
    auto layer = VTLayer::initWithName(name);
    if (parent) parent->addSublayer(layer);
    return layer;
}

struct ComponentScreen {
    std::shared_ptr<VTPrototype> prototype = VTPrototype::init();
    std::shared_ptr<VTScreen> screen;
    explicit ComponentScreen(CGSize size = {100, 50}) : screen(VTScreen::init()) {
        screen->setSize(size);
        screen->setPrototype(prototype);
    }
};

// A prototype, written key by key, holding `screens` and the components `symbols`; every one of
// them shares one class record, so that an archive names the class once, as the design tool's does.
class WrittenPrototype : public NSObject {
  public:
    NS_CLASS_RECORD("VTPrototype", NSObject::objcClass())
    WrittenPrototype(std::vector<std::shared_ptr<NSObject>> screens,
                     std::vector<std::shared_ptr<NSObject>> symbols)
        : screens_(std::move(screens)), symbols_(std::move(symbols)) {}
    void encodeWithCoder(NSCoder& coder) const override {
        coder.encodeInteger_forKey(15, "version");
        coder.encodeObject_forKey(NSArray::arrayWithObjects(screens_), "screens");
        if (!symbols_.empty())
            coder.encodeObject_forKey(NSArray::arrayWithObjects(symbols_), "symbols");
    }

  private:
    std::vector<std::shared_ptr<NSObject>> screens_, symbols_;
};

inline std::shared_ptr<NSObject> prototypeWith(
    std::vector<std::shared_ptr<NSObject>> screens,
    std::vector<std::shared_ptr<NSObject>> symbols = {}) {
    return std::make_shared<WrittenPrototype>(std::move(screens), std::move(symbols));
}

// The documents of tests/data/documents, which seed the document fuzzer: the tests that make them
// write them there when VANTLER_UPDATE_DOCUMENTS is set, and read the committed file back
// otherwise. Answers the committed bytes (the given ones when updating).
inline std::shared_ptr<const NSData> seedDocument(const std::string& name,
                                                  const std::shared_ptr<const NSData>& made) {
    const auto path = test::dataDir() / "documents" / name;
    if (std::getenv("VANTLER_UPDATE_DOCUMENTS")) {
        test::writeFile(path, {made->span().begin(), made->span().end()});
        return made;
    }
    return NSData::dataWithVector(test::readFile(path));
}

}  // namespace layer_support
