// Add-with-carry and subtract-with-borrow on 64-bit limbs. On x86-64 the
// compiler intrinsics become plain adc/sbb chains, where the generic form
// (two comparisons and an or per limb) costs about three times as much; the
// generic form serves every other target. Both are branch-free.
#pragma once

#include <cstdint>

#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
#include <x86intrin.h>
#define QORVEX_LIMB_INTRINSICS 1
#else
#define QORVEX_LIMB_INTRINSICS 0
#endif

namespace qorvex::limb {

// The generic forms, used where the intrinsics are missing (and by the tests
// everywhere, against the intrinsics).
inline unsigned char addc_generic(unsigned char c, uint64_t a, uint64_t b, uint64_t& r) {
    const uint64_t s = a + b;
    const uint64_t t = s + c;
    const unsigned char out = static_cast<unsigned char>((s < a) | (t < s));
    r = t;
    return out;
}

inline unsigned char subb_generic(unsigned char c, uint64_t a, uint64_t b, uint64_t& r) {
    const uint64_t d = a - b;
    const uint64_t t = d - c;
    const unsigned char out = static_cast<unsigned char>((d > a) | (t > d));
    r = t;
    return out;
}

// r = a + b + c (c is 0 or 1); returns the carry out.
inline unsigned char addc(unsigned char c, uint64_t a, uint64_t b, uint64_t& r) {
#if QORVEX_LIMB_INTRINSICS
    unsigned long long t;
    c = _addcarry_u64(c, a, b, &t);
    r = t;
    return c;
#else
    return addc_generic(c, a, b, r);
#endif
}

// r = a - b - c (c is 0 or 1); returns the borrow out.
inline unsigned char subb(unsigned char c, uint64_t a, uint64_t b, uint64_t& r) {
#if QORVEX_LIMB_INTRINSICS
    unsigned long long t;
    c = _subborrow_u64(c, a, b, &t);
    r = t;
    return c;
#else
    return subb_generic(c, a, b, r);
#endif
}

}  // namespace qorvex::limb
