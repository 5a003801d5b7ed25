#pragma once
// Lookup of objects by value (isEqual/hash), the way Foundation's hashed collections find keys and
// members. Used by NSDictionary, NSSet and NSOrderedSet; it stores positions, not objects.
// Up to kSmallCount keys are kept in place and compared one by one (no allocation, no hashing); a
// hash table takes over past that.

#include <array>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class ObjectKeyedTable {
  public:
    // The position stored for an object equal to `key`, or none.
    const size_t* find(const NSObject& key) const {
        return const_cast<ObjectKeyedTable*>(this)->findMutable(key);
    }
    // Stores `position` for `key` unless an equal key is there; returns whether it was stored.
    bool insert(const std::shared_ptr<NSObject>& key, size_t position) {
        if (!hashed_) {
            const size_t hash = key->hash();
            if (findSmall(*key, hash)) return false;
            if (smallCount_ < kSmallCount) {
                small_[smallCount_++] = {key.get(), hash, position};
                return true;
            }
            table_.reserve(2 * kSmallCount);
            for (size_t i = 0; i < smallCount_; ++i)
                table_.emplace(Probe{small_[i].object}, small_[i].position);
            hashed_ = true;
        }
        return table_.emplace(Probe{key.get()}, position).second;
    }
    void assign(const NSObject& key, size_t position) {
        size_t* stored = findMutable(key);
        if (!stored) throw std::out_of_range("ObjectKeyedTable::assign");
        *stored = position;
    }
    void clear() {
        table_.clear();
        smallCount_ = 0;
        hashed_ = false;
    }
    void reserve(size_t count) {
        if (count > kSmallCount) table_.reserve(count);
    }

  private:
    static constexpr size_t kSmallCount = 8;

    size_t* findMutable(const NSObject& key) {
        if (!hashed_) return smallCount_ == 0 ? nullptr : findSmall(key, key.hash());
        auto it = table_.find(Probe{&key});
        return it == table_.end() ? nullptr : &it->second;
    }

    // Equal objects hash alike: hashes are compared first, and isEqual is called only when they
    // match.
    size_t* findSmall(const NSObject& key, size_t hash) {
        for (size_t i = 0; i < smallCount_; ++i)
            if (small_[i].object == &key ||
                (small_[i].hash == hash && small_[i].object->isEqual(key)))
                return &small_[i].position;
        return nullptr;
    }

    struct Probe {
        const NSObject* object;
    };
    struct Hash {
        size_t operator()(const Probe& p) const { return p.object->hash(); }
    };
    struct Equal {
        bool operator()(const Probe& a, const Probe& b) const {
            return a.object->isEqual(*b.object);
        }
    };
    struct SmallEntry {
        const NSObject* object;
        size_t hash;
        size_t position;
    };
    std::array<SmallEntry, kSmallCount> small_{};
    size_t smallCount_ = 0;
    bool hashed_ = false;
    std::unordered_map<Probe, size_t, Hash, Equal> table_;
};

#pragma GCC visibility pop
