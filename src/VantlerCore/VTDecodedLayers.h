#pragma once
// The layers one document load decodes, checked as a whole once decoding ends. Reading a layer
// makes sure its sublayers form a tree (VTLayer+Coding.cpp); what only the whole document shows is
// checked here:
// - a component screen that shows itself, directly or through instances inside instances: the
//   layers would own each other, and every walk that enters components would not end;
// - a link that holds a layer whose tree holds the link's screen (the screen itself is held
//   weakly by its own links): the screen, the link and the layer would own each other;
// - layers nested deeper than kMaxLayerDepth, counting the levels inside component screens and
//   behind links: the operations that follow the tree (copying, comparing, drawing, letting a tree
//   go) recurse once per level, and letting a screen go lets go what its links alone hold;
// - more than kMaxExpandedLayers layers met by a walk from one layer that enters every component:
//   a few screens shown many times each inside each other would make drawing take forever.
// One thing is checked before anything is decoded: an archive holding more than kMaxLayers
// objects of the layer classes is refused at once, since decoding that many would take seconds
// and most of the memory budget before any later check could say no.
// A refused document's layers are taken apart (no sublayers, no component link, no links) before
// they are let go, so that neither a cycle nor a deep chain survives or recurses while it is freed.
//
// The loader opens one per load on its thread; reading a layer outside a load notes nothing.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#pragma GCC visibility push(default)  // exported from libVantler

class NSData;
class VTLayer;

class VTDecodedLayers {
  public:
    // Levels of layers on one path down, component screens included. The archive's nesting bound
    // allows about half as many levels of sublayers, so no document written by the design tool
    // comes near it.
    static constexpr uint64_t kMaxLayerDepth = 512;
    // Layers met by a walk from one layer that enters every component instance.
    static constexpr uint64_t kMaxExpandedLayers = 10'000'000;

    // Layers (screens included) in one document: a hundred times what a designer's document holds,
    // about 200 MB decoded.
    static constexpr uint64_t kMaxLayers = 250'000;

    // Why the keyed archive in `data` cannot be a document, judged from the classes of its
    // objects without decoding them; none when it may be one. Raises as decoding would when the
    // archive's structure is broken.
    static std::optional<std::string> problemBeforeDecoding(const NSData& data);

    // Becomes the collection of the calling thread until it goes away.
    VTDecodedLayers();
    ~VTDecodedLayers();
    VTDecodedLayers(const VTDecodedLayers&) = delete;
    VTDecodedLayers& operator=(const VTDecodedLayers&) = delete;

    // Called by every layer that starts decoding; kept alive until the check is done.
    static void noteDecodedLayer(std::shared_ptr<VTLayer> layer);

    size_t count() const { return layers_.size(); }
    // Why the decoded layers cannot form a document, or none when they can.
    std::optional<std::string> problem() const;
    // Clears every decoded layer's sublayers and component link; for a refused document.
    void takeApart();

  private:
    std::vector<std::shared_ptr<VTLayer>> layers_;
    VTDecodedLayers* previous_;
};

#pragma GCC visibility pop
