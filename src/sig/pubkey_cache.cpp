#include "sig/pubkey_cache.h"

#include <cstring>

#include "support/thread_cache.h"

namespace qorvex {

namespace {

constexpr size_t kSlots = 256;

struct Slot {
    uint8_t key[33];
    uint8_t valid;
    Point point;
};

struct PubkeyCache {
    Slot slots[kSlots];
};


// FNV-1a over the first 8 bytes, prefix byte included.
size_t slot_index(const uint8_t* key) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (int i = 0; i < 8; ++i) {
        h ^= key[i];
        h *= 0x100000001b3ULL;
    }
    return static_cast<size_t>(h & (kSlots - 1));
}

}  // namespace

const Point* cached_pubkey(const uint8_t pub33[33]) {
    PubkeyCache* cache = thread_cache<PubkeyCache>();
    if (!cache) {
        // No memory for the cache: parse without it.
        thread_local Point uncached;
        uncached = Point::decompress(pub33);
        return uncached.infinity ? nullptr : &uncached;
    }
    Slot& s = cache->slots[slot_index(pub33)];
    if (s.valid && std::memcmp(s.key, pub33, 33) == 0) return &s.point;
    const Point p = Point::decompress(pub33);
    s.valid = !p.infinity;
    if (!s.valid) return nullptr;
    std::memcpy(s.key, pub33, 33);
    s.point = p;
    return &s.point;
}

}  // namespace qorvex
