// k*P in constant time for a secret k.
//
// k is offset and halved, s = (k + K) / 2, and s split into GLV halves s1 and
// s2 < 2^128 in magnitude; u = s1 + 2^128 and v = s2 + 2^128 are then
// non-negative and below 2^130. Reading u in 26 groups of 5 bits b and using
// the digit 2b - 31 (always odd, never zero) gives sum (2b_g - 31) 32^g =
// 2u - (2^130 - 1), so the whole sum is 2s - (2^129 - 1)(1 + lambda) times P,
// and K = (2^129 - 1)(1 + lambda) mod n makes that k*P.
//
// Odd digits come from a table of 1P, 3P, ..., 31P and a second table of
// their images under the endomorphism. Both tables share one Z coordinate
// (they are affine on an isomorphic curve), so every addition is a mixed one
// and no inversion is needed; the shared Z is applied to the result at the
// end.
#include "arith/point_mul.h"
#include "support/ct.h"

namespace qorvex {

namespace {

constexpr Scalar kOffset = {{0xB5C2C1DCDE9798D9ULL, 0x589AE84826BA29E4ULL, 0xC2BDD6BF7C118D6BULL, 0xA4E88A7DCB13034EULL}};
constexpr int kGroups = 26;
constexpr int kTableSize = 16;

struct OddTable {
    FieldElement x[kTableSize], y[kTableSize];
};

// (2i + 1) P for i < 16 over one shared denominator, which is returned.
FieldElement build_tables(const Point& p, OddTable& t, OddTable& tl) {
    const Point d = p.dbl();
    // On the curve isomorphic by Zd (x -> x Zd^2, y -> y Zd^3) the point D =
    // 2P is affine and P becomes (X Zd^2, Y Zd^3, Z); the addition and
    // doubling formulas do not involve the curve constant, so they hold
    // there unchanged.
    const FieldElement zd2 = d.Z.sqr();
    Point acc = p;
    acc.X = p.X * zd2;
    acc.Y = p.Y * zd2 * d.Z;
    FieldElement xs[kTableSize], ys[kTableSize], h[kTableSize];
    xs[0] = acc.X;
    ys[0] = acc.Y;
    for (int i = 1; i < kTableSize; ++i) {
        acc.add_affine_unchecked_ct(d.X, d.Y, &h[i]);
        xs[i] = acc.X;
        ys[i] = acc.Y;
    }
    // Z_i = Z_{i-1} h_i, so entry i moves to the last entry's Z by the factor
    // r_i = h_{i+1} ... h_15.
    FieldElement r = FieldElement::one();
    for (int i = kTableSize - 1; i >= 0; --i) {
        if (i < kTableSize - 1) r = r * h[i + 1];
        const FieldElement r2 = r.sqr();
        t.x[i] = xs[i] * r2;
        t.y[i] = ys[i] * r2 * r;
        tl.x[i] = t.x[i] * FieldElement::beta();
        tl.y[i] = t.y[i];
    }
    return acc.Z * d.Z;
}

// The entry for the 5-bit group b: digit 2b - 31, that is entry b - 16 when
// b >= 16 and the negation of entry 15 - b otherwise. Every entry is read.
void lookup(const OddTable& t, uint64_t b, FieldElement& x, FieldElement& y) {
    const uint64_t neg = ~ct::mask_from_bit(b >> 4);
    const uint64_t idx = (b ^ (neg & 15)) & 15;
    x = t.x[0];
    y = t.y[0];
    for (uint64_t i = 1; i < kTableSize; ++i) {
        const uint64_t m = ct::eq_mask(i, idx);
        x = FieldElement::select_ct(m, x, t.x[i]);
        y = FieldElement::select_ct(m, y, t.y[i]);
    }
    y = FieldElement::select_ct(neg, y, y.negate());
}

// 2^128 + (the half, negated when its mask is set), as a plain integer.
Scalar offset_half(const Scalar& k, uint64_t neg) {
    uint64_t v[4];
    uint64_t c = neg & 1;
    for (int i = 0; i < 4; ++i) c = add_carry(k.limb[i] ^ neg, 0, c, v[i]);
    c = add_carry(v[2], 1, 0, v[2]);
    v[3] += c;
    return Scalar{{v[0], v[1], v[2], v[3]}};
}

}  // namespace

Point mul_ct(const Point& p, const Scalar& k) {
    if (p.infinity) return Point::infinity_point();
    OddTable t, tl;
    const FieldElement global_z = build_tables(p, t, tl);

    const Scalar s = k.add_ct(kOffset).halve_ct();
    const GlvSplit split = s.split_lambda_ct();
    const Scalar u = offset_half(split.k1, split.neg1);
    const Scalar v = offset_half(split.k2, split.neg2);

    FieldElement x, y;
    Point acc;
    for (int g = kGroups - 1; g >= 0; --g) {
        const unsigned off = static_cast<unsigned>(5 * g);
        if (g == kGroups - 1) {
            lookup(t, u.bits(off, 5), x, y);
            acc = Point::from_affine(x, y);
            acc.z_is_one = false;
        } else {
            for (int i = 0; i < 5; ++i) acc.dbl_halving_ct();
            lookup(t, u.bits(off, 5), x, y);
            acc.add_affine_complete_ct(x, y, ct::mask(acc.infinity), 0);
        }
        lookup(tl, v.bits(off, 5), x, y);
        acc.add_affine_complete_ct(x, y, ct::mask(acc.infinity), 0);
    }
    // Only k = 0 (mod n) reaches infinity, and then the result says so anyway.
    if (acc.infinity) return Point::infinity_point();
    acc.Z = acc.Z * global_z;
    return acc;
}

}  // namespace qorvex
