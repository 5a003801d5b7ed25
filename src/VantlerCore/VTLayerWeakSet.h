#pragma once
// A set of layers held weakly: a prototype's component instances. A layer enters when it becomes an
// instance of one of the prototype's screens and leaves when it stops being one or goes away;
// adding a member twice keeps it once. Members are found by identity in constant time, so that a
// document of many instances loads in linear time.

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

#pragma GCC visibility push(default)  // exported from libVantler

class VTLayer;

class VTLayerWeakSet {
  public:
    void addLayer(const std::shared_ptr<VTLayer>& layer);
    // By identity; nothing when the layer is not a member. Safe from the layer's own teardown.
    void removeLayer(const VTLayer* layer);
    bool containsLayer(const VTLayer* layer) const;
    // The members still alive.
    size_t count() const;
    std::vector<std::shared_ptr<VTLayer>> allLayers() const;

  private:
    // Keyed by address; the weak reference tells a live member from a dead one whose address a new
    // layer has taken.
    std::unordered_map<const VTLayer*, std::weak_ptr<VTLayer>> members_;
};

#pragma GCC visibility pop
