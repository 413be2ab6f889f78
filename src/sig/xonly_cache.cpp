#include "sig/xonly_cache.h"

#include <cstring>
#include <memory>
#include <new>

#include "support/bytes.h"

namespace qorvex {

namespace {

// Made on the thread's first verification rather than placed in static
// thread-local storage: threads that never verify pay nothing, and the
// memory goes back when the thread ends.
template <typename Cache>
Cache* thread_cache() {
    thread_local std::unique_ptr<Cache> cache;
    if (!cache) cache.reset(new (std::nothrow) Cache());
    return cache.get();
}

}  // namespace

bool lift_x_uncached(const uint8_t x32[32], XonlyPubkey& out) {
    FieldElement x;
    if (!FieldElement::parse_strict(x32, x)) return false;
    const FieldElement c = x.sqr() * x + FieldElement::from_u64(7);
    FieldElement y = c.sqrt_candidate();
    // p = 3 mod 4, so the candidate is a root exactly when c is a square.
    if (!y.sqr().equal(c)) return false;
    // BIP-340 wants the root with even y.
    if (y.is_odd()) y = y.negate();
    std::memcpy(out.bytes, x32, 32);
    out.point = AffinePoint{x, y};
    return true;
}

bool lift_x(const uint8_t x32[32], XonlyPubkey& out) {
    XonlyPointCache* cache = XonlyPointCache::local();
    return cache ? cache->lift(x32, out) : lift_x_uncached(x32, out);
}

bool lift_x(const uint8_t x32[32], Point& out) {
    XonlyPubkey key;
    if (!lift_x(x32, key)) return false;
    out = key.to_point();
    return true;
}

bool xonly_from_point(const Point& p, XonlyPubkey& out) {
    if (p.infinity) return false;
    AffinePoint a = p.to_affine();
    if (a.y.is_odd()) a.y = a.y.negate();
    a.x.to_bytes(out.bytes);
    out.point = a;
    return true;
}

size_t XonlyPointCache::slot_of(const uint8_t x32[32]) {
    // The first half of MurmurHash3's 64-bit finaliser. Only 10 bits survive;
    // without the mix they would be the first two key bytes alone, and keys
    // that a caller chose to agree there would all share one slot.
    uint64_t h = load_le64(x32);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return static_cast<size_t>(h & (kSlots - 1));
}

XonlyPointCache* XonlyPointCache::local() { return thread_cache<XonlyPointCache>(); }

bool XonlyPointCache::contains(const uint8_t x32[32]) const {
    const Slot& s = slots_[slot_of(x32)];
    return s.valid && std::memcmp(s.key.bytes, x32, 32) == 0;
}

bool XonlyPointCache::lift(const uint8_t x32[32], XonlyPubkey& out) {
    Slot& s = slots_[slot_of(x32)];
    if (contains(x32)) {
        out = s.key;
        return true;
    }
    XonlyPubkey lifted;
    if (!lift_x_uncached(x32, lifted)) return false;
    s.key = lifted;
    s.valid = true;
    out = lifted;
    return true;
}

size_t SchnorrPubkeyCache::slot_of(const uint8_t x32[32]) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (int i = 0; i < 8; ++i) {
        h ^= x32[i];
        h *= 0x100000001b3ULL;
    }
    return static_cast<size_t>(h & (kSlots - 1));
}

SchnorrPubkeyCache* SchnorrPubkeyCache::local() { return thread_cache<SchnorrPubkeyCache>(); }

bool SchnorrPubkeyCache::contains(const uint8_t x32[32]) const {
    const Slot& s = slots_[slot_of(x32)];
    return s.valid && std::memcmp(s.key.bytes, x32, 32) == 0;
}

bool SchnorrPubkeyCache::lift(const uint8_t x32[32], XonlyPubkey& out) {
    Slot& s = slots_[slot_of(x32)];
    if (contains(x32)) {
        out = s.key;
        return true;
    }
    XonlyPubkey lifted;
    s.valid = lift_x(x32, lifted);
    if (!s.valid) return false;
    s.key = lifted;
    out = lifted;
    return true;
}

bool lift_x_for_verify(const uint8_t x32[32], XonlyPubkey& out) {
    SchnorrPubkeyCache* cache = SchnorrPubkeyCache::local();
    return cache ? cache->lift(x32, out) : lift_x(x32, out);
}

}  // namespace qorvex
