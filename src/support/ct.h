// Constant-time building blocks. Every mask is all ones or all zeros, and
// every value that decides a mask passes through value_barrier so that the
// optimiser cannot turn the select back into a branch.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex::ct {

inline uint64_t value_barrier(uint64_t x) {
#if defined(__GNUC__) || defined(__clang__)
    __asm__("" : "+r"(x));
    return x;
#else
    volatile uint64_t v = x;
    return v;
#endif
}

inline uint32_t value_barrier_u32(uint32_t x) {
#if defined(__GNUC__) || defined(__clang__)
    __asm__("" : "+r"(x));
    return x;
#else
    volatile uint32_t v = x;
    return v;
#endif
}

// All ones when b is true.
inline uint64_t mask(bool b) { return value_barrier(0 - static_cast<uint64_t>(b)); }

// All ones when the low bit of x is set.
inline uint64_t mask_from_bit(uint64_t x) { return value_barrier(0 - (x & 1)); }

// b when m is all ones, a when m is zero.
inline uint64_t select(uint64_t m, uint64_t a, uint64_t b) { return a ^ (m & (a ^ b)); }

inline uint64_t is_zero_mask(uint64_t x) {
    // (x | -x) has its top bit set exactly when x != 0.
    return value_barrier(((x | (0 - x)) >> 63) - 1);
}

inline uint64_t is_nonzero_mask(uint64_t x) { return ~is_zero_mask(x); }

inline uint64_t eq_mask(uint64_t a, uint64_t b) { return is_zero_mask(a ^ b); }

// Copies src over dst when m is all ones; reads and writes every byte either way.
inline void cmov_bytes(uint8_t* dst, const uint8_t* src, size_t len, uint64_t m) {
    const uint8_t m8 = static_cast<uint8_t>(value_barrier(m));
    for (size_t i = 0; i < len; ++i) dst[i] = static_cast<uint8_t>(dst[i] ^ (m8 & (dst[i] ^ src[i])));
}

}  // namespace qorvex::ct
