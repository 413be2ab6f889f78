#include "sig/xonly_cache.h"

#include <algorithm>
#include <cstring>

#include "support/bytes.h"
#include "support/thread_cache.h"

namespace qorvex {

bool lift_x_uncached(const uint8_t x32[32], XonlyPubkey& out) {
    FieldElement x;
    if (!FieldElement::parse_strict(x32, x)) return false;
    // BIP-340 wants the root with even y.
    const Point p = Point::from_x(x, false);
    if (p.infinity) return false;
    std::memcpy(out.bytes, x32, 32);
    out.point = AffinePoint{p.X, p.Y};
    return true;
}

bool lift_x_in_place(std::span<AffinePoint> points, std::span<const uint32_t> which) {
    const FieldElement seven = FieldElement::from_u64(7);
    for (size_t j0 = 0; j0 < which.size(); j0 += 4) {
        const size_t lanes = std::min<size_t>(4, which.size() - j0);
        // Unused lanes take a copy of the first, so the four-lane routine
        // always has four operands.
        FieldElement c[4], y[4];
        for (size_t l = 0; l < 4; ++l) {
            const FieldElement& x = points[which[j0 + (l < lanes ? l : 0)]].x;
            c[l] = x.sqr() * x + seven;
        }
        FieldElement::sqrt_candidate_x4(c, y);
        for (size_t l = 0; l < lanes; ++l) {
            // p = 3 mod 4, so the candidate is a root exactly when c is a
            // square.
            if (!y[l].sqr().equal(c[l])) return false;
            points[which[j0 + l]].y = y[l].is_odd() ? y[l].negate() : y[l];
        }
    }
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

bool XonlyPointCache::find(const uint8_t x32[32], XonlyPubkey& out) const {
    if (!contains(x32)) return false;
    out = slots_[slot_of(x32)].key;
    return true;
}

void XonlyPointCache::store(const XonlyPubkey& key) {
    Slot& s = slots_[slot_of(key.bytes)];
    s.key = key;
    s.valid = true;
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
