// Elements of GF(p), p = 2^256 - 2^32 - 977, as four 64-bit limbs (least
// significant first), always canonical (below p). add, subtract, negate and
// the reducing parses select by mask; mul and sqr run on one of two back ends
// chosen once per process.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/field_mul.h"
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
    FieldElement s, t;
    uint64_t c = 0;
    for (int i = 0; i < 4; ++i) c = add_carry(limb[i], b.limb[i], c, s.limb[i]);
    // s >= p exactly when the sum carried out or s + (2^256 - p) does.
    uint64_t c2 = add_carry(s.limb[0], kComplement, 0, t.limb[0]);
    for (int i = 1; i < 4; ++i) c2 = add_carry(s.limb[i], 0, c2, t.limb[i]);
    return select_ct(ct::mask_from_bit(c | c2), s, t);
}

inline FieldElement FieldElement::subtract(const FieldElement& b) const {
    FieldElement d;
    uint64_t borrow = 0;
    for (int i = 0; i < 4; ++i) borrow = sub_borrow(limb[i], b.limb[i], borrow, d.limb[i]);
    // On borrow the wrapped difference is 2^256 + a - b; taking away
    // 2^256 - p leaves a - b + p, and it cannot borrow again.
    const uint64_t m = ct::mask_from_bit(borrow);
    uint64_t bw = sub_borrow(d.limb[0], kComplement & m, 0, d.limb[0]);
    for (int i = 1; i < 4; ++i) bw = sub_borrow(d.limb[i], 0, bw, d.limb[i]);
    return d;
}

inline FieldElement FieldElement::negate() const { return zero().subtract(*this); }

inline uint64_t FieldElement::is_zero_mask() const {
    return ct::is_zero_mask(limb[0] | limb[1] | limb[2] | limb[3]);
}

inline uint64_t FieldElement::equal_mask(const FieldElement& b) const {
    return ct::is_zero_mask((limb[0] ^ b.limb[0]) | (limb[1] ^ b.limb[1]) | (limb[2] ^ b.limb[2]) |
                            (limb[3] ^ b.limb[3]));
}

inline FieldElement FieldElement::half() const {
    const uint64_t m = ct::mask_from_bit(limb[0]);
    uint64_t s[4];
    uint64_t c = 0;
    for (int i = 0; i < 4; ++i) c = add_carry(limb[i], kP[i] & m, c, s[i]);
    FieldElement r;
    r.limb[0] = (s[0] >> 1) | (s[1] << 63);
    r.limb[1] = (s[1] >> 1) | (s[2] << 63);
    r.limb[2] = (s[2] >> 1) | (s[3] << 63);
    r.limb[3] = (s[3] >> 1) | (c << 63);
    return r;
}

}  // namespace qorvex
