// Integers modulo the group order n of secp256k1, as four 64-bit limbs
// (least significant first), always fully reduced. Operations whose names end
// in _ct, or that return masks, run in constant time and are the ones to use
// on secrets; the others may branch on their operands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/ct.h"

namespace qorvex {

struct GlvSplit;
struct JsfResult;

struct Scalar {
    uint64_t limb[4];

    static constexpr uint64_t kN[4] = {0xBFD25E8CD0364141ULL, 0xBAAEDCE6AF48A03BULL, 0xFFFFFFFFFFFFFFFEULL,
                                       0xFFFFFFFFFFFFFFFFULL};
    // 2^256 - n.
    static constexpr uint64_t kNC[4] = {0x402DA1732FC9BEBFULL, 0x4551231950B75FC4ULL, 1, 0};
    // floor(n / 2).
    static constexpr uint64_t kHalfN[4] = {0xDFE92F46681B20A0ULL, 0x5D576E7357A4501DULL, 0xFFFFFFFFFFFFFFFFULL,
                                           0x7FFFFFFFFFFFFFFFULL};

    static constexpr Scalar zero() { return Scalar{{0, 0, 0, 0}}; }
    static constexpr Scalar one() { return Scalar{{1, 0, 0, 0}}; }
    static constexpr Scalar from_u64(uint64_t v) { return Scalar{{v, 0, 0, 0}}; }

    // Big-endian; one conditional subtraction of n. Constant time.
    static Scalar from_bytes_reduce(const uint8_t in32[32]);
    // Fails for values >= n (out untouched); zero accepted.
    static bool parse_strict(const uint8_t in32[32], Scalar& out);
    // As parse_strict, and also fails for zero (then out holds zero): the
    // private-key parser.
    static bool parse_nonzero(const uint8_t in32[32], Scalar& out);
    static Scalar from_limbs(uint64_t l0, uint64_t l1, uint64_t l2, uint64_t l3);
    // Exactly 64 hex digits, then reduced. Throws std::invalid_argument.
    static Scalar from_hex(const char* hex);

    void to_bytes(uint8_t out32[32]) const;

    Scalar add(const Scalar& b) const;
    Scalar add_ct(const Scalar& b) const;
    Scalar subtract(const Scalar& b) const;
    Scalar subtract_ct(const Scalar& b) const;
    Scalar negate() const;
    Scalar negate_ct() const;
    // Negates when m is all ones.
    Scalar cond_negate_ct(uint64_t m) const;
    // The same in place, for secrets: no copy of the value is returned.
    void cond_negate_assign_ct(uint64_t m);
    // Schoolbook product, Barrett reduction.
    Scalar mul(const Scalar& b) const;
    // Full products folded with 2^256 - n. Constant time.
    Scalar mul_fold(const Scalar& b) const;
    // Zero maps to zero.
    Scalar inverse_var() const;
    Scalar inverse_ct() const;
    // a / 2 mod n.
    Scalar halve_ct() const;

    bool is_zero() const { return (limb[0] | limb[1] | limb[2] | limb[3]) == 0; }
    uint64_t is_zero_mask() const { return ct::is_zero_mask(limb[0] | limb[1] | limb[2] | limb[3]); }
    // All ones when the value exceeds n/2.
    uint64_t is_high_mask() const;
    bool is_high() const { return is_high_mask() != 0; }
    bool equal(const Scalar& b) const {
        return limb[0] == b.limb[0] && limb[1] == b.limb[1] && limb[2] == b.limb[2] && limb[3] == b.limb[3];
    }
    bool is_odd() const { return limb[0] & 1; }

    // b when m is all ones, a when zero.
    static Scalar select_ct(uint64_t m, const Scalar& a, const Scalar& b) {
        Scalar r;
        for (int i = 0; i < 4; ++i) r.limb[i] = ct::select(m, a.limb[i], b.limb[i]);
        return r;
    }

    // Bit i (0..255), reading every limb so the index alone decides nothing.
    uint64_t bit_ct(unsigned i) const;
    // count (1..64) bits from offset, which may span two limbs; bits above 255
    // read as zero.
    uint64_t bits(unsigned offset, unsigned count) const;
    // Number of significant bits.
    unsigned bit_length() const;

    // Width-2 NAF and width-w NAF (2 <= w <= 8; std::invalid_argument
    // otherwise): digits least significant first, up to the last non-zero one.
    std::vector<int8_t> to_naf() const;
    std::vector<int8_t> to_wnaf(unsigned w) const;

    // k = s1*k1 + s2*k2*lambda (mod n) with k1, k2 < 2^128.
    GlvSplit split_lambda_ct() const;
    GlvSplit split_lambda_var() const;

    static JsfResult compute_jsf(const Scalar& a, const Scalar& b);

    // The GLV eigenvalue.
    static const Scalar& lambda();

    Scalar operator+(const Scalar& b) const { return add(b); }
    Scalar operator-(const Scalar& b) const { return subtract(b); }
    Scalar operator*(const Scalar& b) const { return mul(b); }
    Scalar operator-() const { return negate(); }
    bool operator==(const Scalar& b) const { return equal(b); }
};

struct GlvSplit {
    Scalar k1, k2;
    // All ones when the half enters negated.
    uint64_t neg1, neg2;
};

struct JsfResult {
    int8_t d1[260];
    int8_t d2[260];
    size_t count;
};

// The raw width-w NAF digit routine: empty for a width outside 2..8.
std::vector<int8_t> wnaf_digits(const Scalar& k, unsigned w);

}  // namespace qorvex
