#include "VTLayerWeakSet.h"

#include "VTLayer.h"

void VTLayerWeakSet::addLayer(const std::shared_ptr<VTLayer>& layer) {
    if (layer) members_[layer.get()] = layer;
}

void VTLayerWeakSet::removeLayer(const VTLayer* layer) {
    members_.erase(layer);
}

bool VTLayerWeakSet::containsLayer(const VTLayer* layer) const {
    const auto found = members_.find(layer);
    return found != members_.end() && !found->second.expired();
}

size_t VTLayerWeakSet::count() const {
    size_t live = 0;
    for (const auto& [address, member] : members_) live += member.expired() ? 0 : 1;
    return live;
}

std::vector<std::shared_ptr<VTLayer>> VTLayerWeakSet::allLayers() const {
    std::vector<std::shared_ptr<VTLayer>> layers;
    for (const auto& [address, member] : members_)
        if (auto layer = member.lock()) layers.push_back(std::move(layer));
    return layers;
}
