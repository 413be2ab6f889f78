// 64x64 -> 128-bit products and add-with-carry helpers for limb arithmetic.
#pragma once

#include <cstdint>

namespace qorvex {

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 uint128_t;

inline uint64_t mul_wide(uint64_t a, uint64_t b, uint64_t& hi) {
    uint128_t p = static_cast<uint128_t>(a) * b;
    hi = static_cast<uint64_t>(p >> 64);
    return static_cast<uint64_t>(p);
}
#else
inline uint64_t mul_wide(uint64_t a, uint64_t b, uint64_t& hi) {
    const uint64_t a_lo = a & 0xffffffffu, a_hi = a >> 32;
    const uint64_t b_lo = b & 0xffffffffu, b_hi = b >> 32;
    const uint64_t ll = a_lo * b_lo, lh = a_lo * b_hi, hl = a_hi * b_lo, hh = a_hi * b_hi;
    const uint64_t mid = (ll >> 32) + (lh & 0xffffffffu) + (hl & 0xffffffffu);
    hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
    return (mid << 32) | (ll & 0xffffffffu);
}
#endif

// r = a + b + carry_in; returns the carry out (0 or 1).
inline uint64_t add_carry(uint64_t a, uint64_t b, uint64_t carry_in, uint64_t& r) {
    const uint64_t s = a + b;
    const uint64_t c1 = s < a;
    r = s + carry_in;
    const uint64_t c2 = r < s;
    return c1 | c2;
}

// r = a - b - borrow_in; returns the borrow out (0 or 1).
inline uint64_t sub_borrow(uint64_t a, uint64_t b, uint64_t borrow_in, uint64_t& r) {
    const uint64_t d = a - b;
    const uint64_t b1 = d > a;
    r = d - borrow_in;
    const uint64_t b2 = r > d;
    return b1 | b2;
}

}  // namespace qorvex
