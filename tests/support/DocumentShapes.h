#pragma once
// Vantler documents written key by key as the design tool writes them:
// a prototype root with its own "version", screens with their "size" and "backgroundColor" groups
// and their conditional "owner", and the top-level format version and embedded thumbnail. Built at
// the archive level, so that the tests can also write what the model never writes (too-new
// versions, missing roots, other root classes).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "CGImageToData.h"
#include "NSArray.h"
#include "NSCoder+geometry.h"
#include "NSData.h"
#include "NSKeyedArchiver.h"
#include "NSObject.h"

namespace document_shapes {

struct Screen {
    CGSize size;
    std::array<double, 4> rgba{0, 0, 0, 0};  // sRGB background colour
};

struct Document {
    std::vector<Screen> screens;
    int64_t prototypeVersion = 15;
    std::optional<int64_t> formatVersion = 15;  // none: the key is absent
    // Replaces the prototype root when set (none: no root entry at all).
    std::optional<std::shared_ptr<const NSObject>> root;
    std::optional<std::vector<uint8_t>> thumbnail;
};

// An object recorded under a class of the model's name, writing what `encode` writes.
class Shaped : public NSObject {
  public:
    Shaped(const char* className, const NSClass& superclass, std::function<void(NSCoder&)> encode)
        : cls_{className, &superclass}, encode_(std::move(encode)) {}
    const NSClass& classForKeyedArchiver() const override { return cls_; }
    void encodeWithCoder(NSCoder& coder) const override { encode_(coder); }

  private:
    NSClass cls_;
    std::function<void(NSCoder&)> encode_;
};

inline const NSClass& layerClass() {
    static const NSClass cls{"VTLayer", &NSObject::objcClass()};
    return cls;
}

inline std::shared_ptr<NSData> make(const Document& document) {
    // The screens point back to the prototype, which is made first so that they can refer to it.
    auto screens = std::make_shared<std::vector<std::shared_ptr<NSObject>>>();
    const int64_t prototypeVersion = document.prototypeVersion;
    auto prototype =
        std::make_shared<Shaped>("VTPrototype", NSObject::objcClass(), [=](NSCoder& coder) {
            coder.encodeInteger_forKey(prototypeVersion, "version");
            if (!screens->empty())
                coder.encodeObject_forKey(NSArray::arrayWithObjects(*screens), "screens");
            coder.encodeObject_forKey(NSArray::arrayWithObjects({}), "symbols");
            coder.encodeBool_forKey(false, "prefersMouseCursor");
        });
    std::weak_ptr<const NSObject> owner = prototype;
    for (const Screen& screen : document.screens) {
        screens->push_back(
            std::make_shared<Shaped>("VTScreen", layerClass(), [screen, owner](NSCoder& coder) {
                encodeCGSize_forKey(coder, screen.size, "size");
                encodeCGColor_forKey(coder,
                                     CGColorCreateSRGB(screen.rgba[0], screen.rgba[1],
                                                       screen.rgba[2], screen.rgba[3]),
                                     "backgroundColor");
                coder.encodeObject_forKey(NSArray::arrayWithObjects({}), "links");
                coder.encodeConditionalObject_forKey(owner.lock(), "owner");
            }));
    }

    auto data = std::make_shared<NSMutableData>();
    auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
    // The design tool's order: the root first, then the version, then the thumbnail.
    const std::shared_ptr<const NSObject> root = document.root ? *document.root : prototype;
    if (root) archiver->encodeObject_forKey(root, NSKeyedArchiveRootObjectKey);
    if (document.formatVersion)
        archiver->encodeInt64_forKey(*document.formatVersion, "vantlerDocumentFormatVersion");
    if (document.thumbnail)
        archiver->encodeBytes_length_forKey(document.thumbnail->data(), document.thumbnail->size(),
                                            "kVantlerThumbnailKey");
    archiver->finishEncoding();
    return data;
}

}  // namespace document_shapes
