#pragma once
// Lookup of objects by value (isEqual/hash), the way Foundation's hashed collections find keys and
// members. Used by NSDictionary, NSSet and NSOrderedSet; it stores positions, not objects.

#include <cstddef>
#include <memory>
#include <unordered_map>

#include "NSObject.h"

class ObjectKeyedTable {
public:
    // The position stored for an object equal to `key`, or none.
    const size_t* find(const NSObject& key) const {
        auto it = table_.find(Probe{&key});
        return it == table_.end() ? nullptr : &it->second;
    }
    // Stores `position` for `key` unless an equal key is there; returns whether it was stored.
    bool insert(const std::shared_ptr<NSObject>& key, size_t position) {
        return table_.emplace(Probe{key.get()}, position).second;
    }
    void assign(const NSObject& key, size_t position) { table_.at(Probe{&key}) = position; }
    void clear() { table_.clear(); }

private:
    struct Probe {
        const NSObject* object;
    };
    struct Hash {
        size_t operator()(const Probe& p) const { return p.object->hash(); }
    };
    struct Equal {
        bool operator()(const Probe& a, const Probe& b) const { return a.object->isEqual(*b.object); }
    };
    std::unordered_map<Probe, size_t, Hash, Equal> table_;
};
