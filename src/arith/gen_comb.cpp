// The comb: 11 blocks of 6 teeth at spacing 4 cover 264 bit positions. With
// d = (k + 2^256 - 1) / 2 mod n, every bit d_i stands for the signed digit
// 2 d_i - 1, and sum_i (2 d_i - 1) 2^i = 2d - 2^264 + 1 = k + 2^256 - 2^264,
// so adding the correction (2^264 - 2^256) G at the end gives k*G. No digit
// is zero, so every lookup adds a point and the sequence of operations never
// depends on k.
//
// Entry j of block b is T_5 + sum_{t<5} s_t T_t with T_t = 2^(4(6b+t)) G and
// s_t = +1 when bit t of j is set, -1 otherwise; a lookup whose top tooth
// digit is -1 uses the negation of the entry with all bits flipped.
#include <mutex>

#include "arith/ct_lookup.h"
#include "arith/gen_mul.h"
#include "support/ct.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

constexpr int kBlocks = 11;
constexpr int kTeeth = 6;
constexpr int kSpacing = 4;
constexpr int kEntries = 32;

struct CombTable {
    AffinePoint entries[kBlocks][kEntries];
    AffinePoint correction;
};

// Entries on cache-line boundaries, so that no vector load of a scan spans
// two lines.
alignas(64) CombTable g_comb;
std::once_flag g_comb_once;

// Affine forms of m finite points with one constant-time inversion.
void to_affine_batch_ct(const Point* p, int m, AffinePoint* out) {
    FieldElement prefix[kEntries];
    prefix[0] = p[0].Z;
    for (int i = 1; i < m; ++i) prefix[i] = prefix[i - 1] * p[i].Z;
    FieldElement inv = prefix[m - 1].inverse_ct();
    for (int i = m - 1; i >= 0; --i) {
        const FieldElement zi = i > 0 ? inv * prefix[i - 1] : inv;
        if (i > 0) inv = inv * p[i].Z;
        const FieldElement zi2 = zi.sqr();
        out[i] = AffinePoint{p[i].X * zi2, p[i].Y * zi2 * zi};
    }
}

void build_comb() {
    // 2^(4i) G for i = 0 .. 65.
    Point pw[kBlocks * kTeeth];
    pw[0] = Point::generator();
    pw[0].is_generator = false;
    for (int i = 1; i < kBlocks * kTeeth; ++i) {
        pw[i] = pw[i - 1];
        for (int d = 0; d < kSpacing; ++d) pw[i].dbl_assign();
    }
    for (int b = 0; b < kBlocks; ++b) {
        AffinePoint teeth[kTeeth];
        to_affine_batch_ct(pw + kTeeth * b, kTeeth, teeth);
        Point sums[kEntries];
        for (int j = 0; j < kEntries; ++j) {
            Point acc = Point::from_affine(teeth[kTeeth - 1]);
            for (int t = 0; t < kTeeth - 1; ++t) {
                const Point tooth = Point::from_affine(teeth[t]);
                acc.add_assign(((j >> t) & 1) ? tooth : tooth.negate());
            }
            sums[j] = acc;
        }
        to_affine_batch_ct(sums, kEntries, g_comb.entries[b]);
    }
    Point q = Point::generator();
    q.is_generator = false;
    for (int i = 0; i < 256; ++i) q.dbl_assign();
    Point acc = q;
    for (int i = 0; i < 7; ++i) {
        q.dbl_assign();
        acc.add_assign(q);
    }
    to_affine_batch_ct(&acc, 1, &g_comb.correction);
}

// (2^256 - 1) mod n.
constexpr Scalar kCombOffset = {{0x402DA1732FC9BEBEULL, 0x4551231950B75FC4ULL, 1, 0}};

}  // namespace

Point gen_mul_ct(const Scalar& k) {
    std::call_once(g_comb_once, build_comb);
    // d and the entries it selects spell out k: they are wiped on return.
    WipeOnExit<Scalar> offset([&] { return k.add_ct(kCombOffset); });
    WipeOnExit<Scalar> d([&] { return offset->halve_ct(); });
    WipeOnExit<AffinePoint> e;
    WipeOnExit<FieldElement> y;
    Point acc = Point::infinity_point();
    for (int j = kSpacing - 1; j >= 0; --j) {
        if (j < kSpacing - 1) acc.dbl_halving_ct();
        for (int b = 0; b < kBlocks; ++b) {
            // The bit positions depend only on the loop counters, so reading
            // the limb that holds each one directly reveals nothing about d.
            uint64_t w = 0;
            for (int t = 0; t < kTeeth; ++t) {
                const unsigned pos = static_cast<unsigned>((kTeeth * b + t) * kSpacing + j);
                if (pos < 256) w |= ((d->limb[pos >> 6] >> (pos & 63)) & 1) << t;
            }
            const uint64_t neg = ~ct::mask_from_bit(w >> 5);
            const uint64_t idx = (w & 31) ^ (neg & 31);
            *e = ct::lookup_affine(g_comb.entries[b], kEntries, idx);
            *y = FieldElement::select_ct(neg, e->y, e->y.negate());
            if (j == kSpacing - 1 && b == 0) {
                acc = Point::from_affine(e->x, *y);
                acc.z_is_one = false;
            } else {
                acc.add_affine_unchecked_ct(e->x, *y);
            }
        }
    }
    // The last addition uses the complete formula: for k = 0 the sum so far
    // is minus the correction, and for one other k it equals the correction,
    // which the unchecked formula would turn into a zero point.
    // It also leaves the exact infinity form when the sum is infinity, so
    // the result needs no branch on that (secret-derived) flag.
    acc.add_affine_complete_ct(g_comb.correction.x, g_comb.correction.y, 0, 0);
    return acc;
}

}  // namespace qorvex
