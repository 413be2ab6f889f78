// X-only public keys (BIP-340): lifting a 32-byte x coordinate to the point
// with even y, and the two per-thread caches that let repeated verification
// under the same key skip the square root.
//
// Keys are public, so everything here runs in variable time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "arith/point.h"

namespace qorvex {

// A lifted x-only key: the 32 bytes as given (the challenge hashes them) and
// the affine point with that x and even y (the equation uses it).
struct XonlyPubkey {
    uint8_t bytes[32];
    AffinePoint point;

    Point to_point() const { return Point::from_affine(point); }
};

// The point with x coordinate x32 (big-endian) and even y. False, with out
// untouched, when x >= p or x^3 + 7 is not a square.
bool lift_x_uncached(const uint8_t x32[32], XonlyPubkey& out);

// Lifts many x coordinates at once: for each index j in which, the point
// points[j] receives the even y that goes with its x (which must be below
// p), four square roots at a time. False as soon as a group holds an x that
// is not on the curve; the points of that group and of later ones are then
// unspecified.
bool lift_x_in_place(std::span<AffinePoint> points, std::span<const uint32_t> which);

// The same through this thread's XonlyPointCache: the lifting every
// verification path that starts from x-only bytes should use.
bool lift_x(const uint8_t x32[32], XonlyPubkey& out);
bool lift_x(const uint8_t x32[32], Point& out);

// The x-only key of any finite point: its x coordinate, and the point itself
// or its negation, whichever has even y (BIP-340 names keys by x alone).
// False for infinity.
bool xonly_from_point(const Point& p, XonlyPubkey& out);

// Direct-mapped cache of lifted keys, 1024 slots indexed by a 64-bit mix of
// the first 8 key bytes. A hit needs all 32 bytes to match; a key that does
// not lift is not stored and leaves its slot as it was.
class XonlyPointCache {
public:
    static constexpr size_t kSlots = 1024;

    // The slot a key maps to.
    static size_t slot_of(const uint8_t x32[32]);

    // This thread's cache, made zeroed (every slot empty) on first use, or
    // nullptr when that allocation failed: callers then lift uncached.
    static XonlyPointCache* local();

    bool lift(const uint8_t x32[32], XonlyPubkey& out);
    // Whether a lift of x32 would be a hit.
    bool contains(const uint8_t x32[32]) const;
    // The hit alone: true, with out filled, when x32 is stored.
    bool find(const uint8_t x32[32], XonlyPubkey& out) const;
    // Stores a key lifted elsewhere, as a miss of lift() would.
    void store(const XonlyPubkey& key);

private:
    struct Slot {
        XonlyPubkey key;
        bool valid;
    };
    Slot slots_[kSlots] = {};
};

// The smaller cache in front of XonlyPointCache that single verification
// (qorvex_schnorr_verify) consults first: 256 slots indexed by the low byte
// of the FNV-1a hash of the first 8 key bytes. A miss lifts through
// XonlyPointCache and stores the outcome; a key that fails to lift marks its
// slot empty.
class SchnorrPubkeyCache {
public:
    static constexpr size_t kSlots = 256;

    static size_t slot_of(const uint8_t x32[32]);

    // As XonlyPointCache::local().
    static SchnorrPubkeyCache* local();

    bool lift(const uint8_t x32[32], XonlyPubkey& out);
    bool contains(const uint8_t x32[32]) const;

private:
    struct Slot {
        XonlyPubkey key;
        bool valid;
    };
    Slot slots_[kSlots] = {};
};

// Lifts through SchnorrPubkeyCache (and so XonlyPointCache) on this thread,
// or uncached when a cache could not be made.
bool lift_x_for_verify(const uint8_t x32[32], XonlyPubkey& out);

}  // namespace qorvex
