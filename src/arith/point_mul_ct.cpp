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
#include "arith/ct_lookup.h"
#include "arith/point_mul.h"
#include "arith/point_table.h"
#include "support/ct.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

constexpr Scalar kOffset = {{0xB5C2C1DCDE9798D9ULL, 0x589AE84826BA29E4ULL, 0xC2BDD6BF7C118D6BULL, 0xA4E88A7DCB13034EULL}};
constexpr int kGroups = 26;
constexpr int kTableSize = 16;

// (2i + 1) P for i < 16 over one shared denominator, which is returned, and
// the same entries with x multiplied by beta: the odd multiples of lambda P.
FieldElement build_tables(const Point& p, AffinePoint* t, AffinePoint* tl) {
    FieldElement x[kTableSize], y[kTableSize];
    const FieldElement zg = odd_multiples_shared_z(p, kTableSize, x, y);
    for (int i = 0; i < kTableSize; ++i) {
        t[i] = AffinePoint{x[i], y[i]};
        tl[i] = AffinePoint{x[i] * FieldElement::beta(), y[i]};
    }
    return zg;
}

// The entry for the 5-bit group b: digit 2b - 31, that is entry b - 16 when
// b >= 16 and the negation of entry 15 - b otherwise. Every entry is read.
void lookup(const AffinePoint* t, uint64_t b, FieldElement& x, FieldElement& y) {
    const uint64_t neg = ~ct::mask_from_bit(b >> 4);
    const uint64_t idx = (b ^ (neg & 15)) & 15;
    const AffinePoint e = ct::lookup_affine(t, kTableSize, idx);
    x = e.x;
    y = FieldElement::select_ct(neg, e.y, e.y.negate());
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
    alignas(64) AffinePoint t[kTableSize];
    alignas(64) AffinePoint tl[kTableSize];
    const FieldElement global_z = build_tables(p, t, tl);

    // Everything derived from k is wiped on return.
    WipeOnExit<Scalar> u, v;
    {
        WipeOnExit<Scalar> offset([&] { return k.add_ct(kOffset); });
        WipeOnExit<Scalar> s([&] { return offset->halve_ct(); });
        WipeOnExit<GlvSplit> split([&] { return s->split_lambda_ct(); });
        *u = offset_half(split->k1, split->neg1);
        *v = offset_half(split->k2, split->neg2);
    }

    WipeOnExit<FieldElement> xw, yw;
    FieldElement& x = *xw;
    FieldElement& y = *yw;
    Point acc;
    lookup(t, u->bits(5 * (kGroups - 1), 5), x, y);
    acc = Point::from_affine(x, y);
    acc.z_is_one = false;
    lookup(tl, v->bits(5 * (kGroups - 1), 5), x, y);
    acc.add_affine_unchecked_ct(x, y);
    // Up to group 1 the accumulator is A P + B lambda P with |A|, |B| below
    // 2^125 and A odd, and every entry added is d P or d lambda P with d odd
    // and below 32: the sum meets infinity, or an operand equal to or
    // opposite the accumulator, only when a + b lambda = 0 (mod n) for some
    // non-zero (a, b) with both below 2^125 in absolute value. The shortest
    // such vectors are about 2^127.8 long in every direction, so none
    // exists, and the cheaper formulas without exceptional cases are exact.
    // Only the last group, where the multiples reach 2^130, takes the
    // complete addition.
    for (int g = kGroups - 2; g >= 1; --g) {
        const unsigned off = static_cast<unsigned>(5 * g);
        for (int i = 0; i < 5; ++i) acc.dbl_halving_ct();
        lookup(t, u->bits(off, 5), x, y);
        acc.add_affine_unchecked_ct(x, y);
        lookup(tl, v->bits(off, 5), x, y);
        acc.add_affine_unchecked_ct(x, y);
    }
    for (int i = 0; i < 5; ++i) acc.dbl_halving_ct();
    lookup(t, u->bits(0, 5), x, y);
    acc.add_affine_complete_ct(x, y, 0, 0);
    lookup(tl, v->bits(0, 5), x, y);
    acc.add_affine_complete_ct(x, y, ct::mask(acc.infinity), 0);
    // Only k = 0 (mod n) reaches infinity, and then the result says so anyway:
    // the last complete addition left the infinity form (Z = 0, which the
    // product keeps), so no branch on the secret-derived flag is needed.
    acc.Z = acc.Z * global_z;
    return acc;
}

}  // namespace qorvex
