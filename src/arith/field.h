// Elements of GF(p), p = 2^256 - 2^32 - 977, as four 64-bit limbs (least
// significant first), always canonical (below p). add, subtract, negate and
// the reducing parses select without branches (by mask, or by conditional
// moves); mul and sqr run on one of two back ends chosen once per process.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/field_mul.h"
#include "arith/limb_ops.h"
#include "support/ct.h"
#include "support/int128.h"

namespace qorvex {

struct FieldElement {
    uint64_t limb[4];

    // 2^256 - p.
    static constexpr uint64_t kComplement = 0x1000003D1ULL;
    static constexpr uint64_t kP[4] = {0xFFFFFFFEFFFFFC2FULL, 0xFFFFFFFFFFFFFFFFULL, 0xFFFFFFFFFFFFFFFFULL,
                                       0xFFFFFFFFFFFFFFFFULL};

    static constexpr FieldElement zero() { return FieldElement{{0, 0, 0, 0}}; }
    static constexpr FieldElement one() { return FieldElement{{1, 0, 0, 0}}; }
    static constexpr FieldElement from_u64(uint64_t v) { return FieldElement{{v, 0, 0, 0}}; }

    // Fails (out untouched) for values >= p.
    static bool parse_strict(const uint8_t in32[32], FieldElement& out);
    // One conditional subtraction of p.
    static FieldElement from_bytes_reduce(const uint8_t in32[32]);
    static FieldElement from_limbs(uint64_t l0, uint64_t l1, uint64_t l2, uint64_t l3);
    // Hex text of exactly 64 digits, reduced; for constants and tests.
    static FieldElement from_hex(const char* hex64);

    void to_bytes(uint8_t out32[32]) const;

    FieldElement add(const FieldElement& b) const;
    FieldElement subtract(const FieldElement& b) const;
    FieldElement negate() const;
    FieldElement mul(const FieldElement& b) const {
        FieldElement r;
        field_mul(r.limb, limb, b.limb);
        return r;
    }
    FieldElement sqr() const {
        FieldElement r;
        field_sqr(r.limb, limb);
        return r;
    }
    // 2a, 3a, 4a, 8a by repeated addition.
    FieldElement dbl() const { return add(*this); }
    // k * a for a small constant k (below 2^32): one pass of limb products
    // and a single reduction, in place of a chain of additions.
    FieldElement mul_small(uint32_t k) const;
    // a / 2: add p when odd, then shift right (the carry becomes the top bit).
    FieldElement half() const;

    // Compare after normalising, so values in [p, 2^256) equal their reduction.
    bool equal(const FieldElement& b) const;
    bool is_zero() const;
    // Masks for constant-time callers; operands must be canonical.
    uint64_t is_zero_mask() const;
    uint64_t equal_mask(const FieldElement& b) const;
    bool is_odd() const { return limb[0] & 1; }

    // Throws std::runtime_error("Inverse of zero not defined") for zero.
    FieldElement inverse_var() const;
    // Zero maps to zero. 750 branch-free divsteps.
    FieldElement inverse_ct() const;
    // a^((p+1)/4): a square root of a whenever one exists.
    FieldElement sqrt_candidate() const;
    // sqrt_candidate of four elements at once (out may be in): the four
    // chains of squarings interleave, which runs them in about two thirds of
    // the time of four separate ones.
    static void sqrt_candidate_x4(const FieldElement in[4], FieldElement out[4]);

    // Every non-zero element replaced by its inverse; zeros stay zero.
    static void batch_inverse(FieldElement* a, size_t m);

    // b when m is all ones, a when zero.
    static FieldElement select_ct(uint64_t m, const FieldElement& a, const FieldElement& b) {
        FieldElement r;
        for (int i = 0; i < 4; ++i) r.limb[i] = ct::select(m, a.limb[i], b.limb[i]);
        return r;
    }

    // The cube root of unity used by the endomorphism.
    static const FieldElement& beta();

    FieldElement operator+(const FieldElement& b) const { return add(b); }
    FieldElement operator-(const FieldElement& b) const { return subtract(b); }
    FieldElement operator*(const FieldElement& b) const { return mul(b); }
    FieldElement operator-() const { return negate(); }
    FieldElement& operator+=(const FieldElement& b) { return *this = add(b); }
    FieldElement& operator-=(const FieldElement& b) { return *this = subtract(b); }
    FieldElement& operator*=(const FieldElement& b) { return *this = mul(b); }
};

inline FieldElement FieldElement::add(const FieldElement& b) const {
#if QORVEX_LIMB_INTRINSICS && defined(__OPTIMIZE__)
    // The same steps as below, with the selection done by cmov: the
    // compiler turns the mask form into three instructions per limb.
    // (Unoptimised builds take the portable form, which needs fewer
    // registers.)
    uint64_t r0 = limb[0], r1 = limb[1], r2 = limb[2], r3 = limb[3];
    uint64_t t0, t1, t2, t3, c;
    __asm__(
        "addq %[b0], %[r0]\n\t"
        "adcq %[b1], %[r1]\n\t"
        "adcq %[b2], %[r2]\n\t"
        "adcq %[b3], %[r3]\n\t"
        "movl $0, %k[c]\n\t"
        "adcq $0, %[c]\n\t"
        "movq %[r0], %[t0]\n\t"
        "subq %[p0], %[t0]\n\t"
        "movq %[r1], %[t1]\n\t"
        "sbbq $-1, %[t1]\n\t"
        "movq %[r2], %[t2]\n\t"
        "sbbq $-1, %[t2]\n\t"
        "movq %[r3], %[t3]\n\t"
        "sbbq $-1, %[t3]\n\t"
        // Borrow out of carry - borrow: set exactly when the sum is below p.
        "sbbq $0, %[c]\n\t"
        "cmovncq %[t0], %[r0]\n\t"
        "cmovncq %[t1], %[r1]\n\t"
        "cmovncq %[t2], %[r2]\n\t"
        "cmovncq %[t3], %[r3]\n\t"
        : [r0] "+&r"(r0), [r1] "+&r"(r1), [r2] "+&r"(r2), [r3] "+&r"(r3), [t0] "=&r"(t0), [t1] "=&r"(t1),
          [t2] "=&r"(t2), [t3] "=&r"(t3), [c] "=&r"(c)
        : [b0] "m"(b.limb[0]), [b1] "m"(b.limb[1]), [b2] "m"(b.limb[2]), [b3] "m"(b.limb[3]), [p0] "r"(kP[0])
        : "cc");
    return FieldElement{{r0, r1, r2, r3}};
#else
    using limb::addc;
    using limb::subb;
    uint64_t s0, s1, s2, s3, t0, t1, t2, t3, top;
    unsigned char c = addc(0, limb[0], b.limb[0], s0);
    c = addc(c, limb[1], b.limb[1], s1);
    c = addc(c, limb[2], b.limb[2], s2);
    c = addc(c, limb[3], b.limb[3], s3);
    // The 257-bit sum minus p borrows exactly when the sum is below p; then
    // the sum itself is kept, otherwise the difference (which is the sum plus
    // 2^256 - p modulo 2^256).
    unsigned char bw = subb(0, s0, kP[0], t0);
    bw = subb(bw, s1, kP[1], t1);
    bw = subb(bw, s2, kP[2], t2);
    bw = subb(bw, s3, kP[3], t3);
    bw = subb(bw, c, 0, top);
    const uint64_t keep = ct::value_barrier(0 - static_cast<uint64_t>(bw));
    return FieldElement{{t0 ^ (keep & (s0 ^ t0)), t1 ^ (keep & (s1 ^ t1)), t2 ^ (keep & (s2 ^ t2)),
                         t3 ^ (keep & (s3 ^ t3))}};
#endif
}

inline FieldElement FieldElement::subtract(const FieldElement& b) const {
#if QORVEX_LIMB_INTRINSICS && defined(__OPTIMIZE__)
    // The same steps as below in one carry chain: the borrow of a - b
    // becomes a mask (sbb of a register from itself), and p under the mask
    // is added back. m starts defined (zero) so that the mask never reads
    // an undefined register.
    uint64_t r0 = limb[0], r1 = limb[1], r2 = limb[2], r3 = limb[3];
    uint64_t m = 0, t;
    __asm__(
        "subq %[b0], %[r0]\n\t"
        "sbbq %[b1], %[r1]\n\t"
        "sbbq %[b2], %[r2]\n\t"
        "sbbq %[b3], %[r3]\n\t"
        "sbbq %[m], %[m]\n\t"
        "movq %[p0], %[t]\n\t"
        "andq %[m], %[t]\n\t"
        "addq %[t], %[r0]\n\t"
        "adcq %[m], %[r1]\n\t"
        "adcq %[m], %[r2]\n\t"
        "adcq %[m], %[r3]\n\t"
        : [r0] "+&r"(r0), [r1] "+&r"(r1), [r2] "+&r"(r2), [r3] "+&r"(r3), [m] "+&r"(m), [t] "=&r"(t)
        : [b0] "m"(b.limb[0]), [b1] "m"(b.limb[1]), [b2] "m"(b.limb[2]), [b3] "m"(b.limb[3]), [p0] "r"(kP[0])
        : "cc");
    return FieldElement{{r0, r1, r2, r3}};
#else
    using limb::addc;
    using limb::subb;
    FieldElement d;
    unsigned char bw = subb(0, limb[0], b.limb[0], d.limb[0]);
    bw = subb(bw, limb[1], b.limb[1], d.limb[1]);
    bw = subb(bw, limb[2], b.limb[2], d.limb[2]);
    bw = subb(bw, limb[3], b.limb[3], d.limb[3]);
    // On borrow the wrapped difference is 2^256 + a - b; adding p modulo
    // 2^256 (the same as taking away 2^256 - p) leaves a - b + p.
    const uint64_t m = ct::value_barrier(0 - static_cast<uint64_t>(bw));
    unsigned char c = addc(0, d.limb[0], kP[0] & m, d.limb[0]);
    c = addc(c, d.limb[1], m, d.limb[1]);
    c = addc(c, d.limb[2], m, d.limb[2]);
    addc(c, d.limb[3], m, d.limb[3]);
    return d;
#endif
}

inline FieldElement FieldElement::mul_small(uint32_t k) const {
    using field_detail::kC;
    using field_detail::mul_add2;
    using limb::addc;
    using limb::subb;
    // v = k * a is below 2^288, so its fifth word c is below 2^32; as in
    // the full reduction, x = v_low + (c + 1)(2^256 - p) carries out exactly
    // when v_low + c (2^256 - p) >= p, and otherwise 2^256 - p comes back off.
    uint64_t c;
    const uint64_t v0 = mul_add2(limb[0], k, 0, 0, c);
    const uint64_t v1 = mul_add2(limb[1], k, c, 0, c);
    const uint64_t v2 = mul_add2(limb[2], k, c, 0, c);
    const uint64_t v3 = mul_add2(limb[3], k, c, 0, c);
    uint64_t x0, x1, x2, x3, hi;
    x0 = mul_add2(c + 1, kC, v0, 0, hi);
    unsigned char cy = addc(0, v1, hi, x1);
    cy = addc(cy, v2, 0, x2);
    cy = addc(cy, v3, 0, x3);
    const uint64_t back = kC & ct::value_barrier(static_cast<uint64_t>(cy) - 1);
    FieldElement r;
    unsigned char bw = subb(0, x0, back, r.limb[0]);
    bw = subb(bw, x1, 0, r.limb[1]);
    bw = subb(bw, x2, 0, r.limb[2]);
    subb(bw, x3, 0, r.limb[3]);
    return r;
}

inline FieldElement FieldElement::negate() const { return zero().subtract(*this); }

// Zero is stored as 0 or as p; no other value in [p, 2^256) reduces to it.
inline bool FieldElement::is_zero() const {
    const uint64_t zero = limb[0] | limb[1] | limb[2] | limb[3];
    const uint64_t is_p = (limb[0] ^ kP[0]) | ~(limb[1] & limb[2] & limb[3]);
    return (ct::is_zero_mask(zero) | ct::is_zero_mask(is_p)) != 0;
}

inline uint64_t FieldElement::is_zero_mask() const {
    return ct::is_zero_mask(limb[0] | limb[1] | limb[2] | limb[3]);
}

inline uint64_t FieldElement::equal_mask(const FieldElement& b) const {
    return ct::is_zero_mask((limb[0] ^ b.limb[0]) | (limb[1] ^ b.limb[1]) | (limb[2] ^ b.limb[2]) |
                            (limb[3] ^ b.limb[3]));
}

inline FieldElement FieldElement::half() const {
    using limb::addc;
    const uint64_t m = ct::mask_from_bit(limb[0]);
    uint64_t s0, s1, s2, s3;
    unsigned char c = addc(0, limb[0], kP[0] & m, s0);
    c = addc(c, limb[1], m, s1);
    c = addc(c, limb[2], m, s2);
    c = addc(c, limb[3], m, s3);
    return FieldElement{{(s0 >> 1) | (s1 << 63), (s1 >> 1) | (s2 << 63), (s2 >> 1) | (s3 << 63),
                         (s3 >> 1) | (static_cast<uint64_t>(c) << 63)}};
}

}  // namespace qorvex
