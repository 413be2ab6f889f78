// Variable-time multiplications: k*P, u1*G + u2*P, and the fixed-scalar plan.
#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#include "arith/point_mul.h"
#include "arith/point_table.h"
#include "arith/precompute.h"

namespace qorvex {

namespace {

// wNAF width for the two halves of a GLV-split scalar: 8 odd multiples of
// each half's point, and about one addition per six bits.
constexpr unsigned kWindow = 5;

// One half of a GLV multiplication: wNAF digits and whether they apply to
// the negated point.
struct HalfDigits {
    const int32_t* d;
    size_t count;
    bool neg;
};

// The body of wnaf_streams_sum; Count is a compile-time constant for the
// fixed-size callers below, so that their loop over streams unrolls.
template <typename Count>
Point streams_sum(const WnafStream* s, Count n) {
    size_t top = 0;
    for (size_t k = 0; k < n; ++k) top = std::max(top, s[k].count);
    Point acc = Point::infinity_point();
    for (size_t i = top; i-- > 0;) {
        if (!acc.infinity) acc.dbl_halving_ct();
        for (size_t k = 0; k < n; ++k) {
            if (i >= s[k].count || s[k].d[i] == 0) continue;
            // Digit d selects entry (|d| - 1) / 2, negated when the digit's
            // sign and the stream's sign differ.
            const int32_t d = s[k].d[i];
            const AffinePoint& e = s[k].table[static_cast<size_t>(d < 0 ? -d : d) >> 1];
            if ((d < 0) != s[k].neg)
                acc.add_affine_var(e.x, e.y.negate());
            else
                acc.add_affine_var(e.x, e.y);
        }
    }
    acc.is_generator = false;
    return acc;
}

template <size_t N>
using Streams = std::integral_constant<size_t, N>;

// The two GLV halves: a over the multiples of Q, b over those of lambda Q.
Point wnaf_table_sum(const AffinePoint* t, const AffinePoint* tl, const HalfDigits& a, const HalfDigits& b) {
    const WnafStream streams[2] = {{t, a.d, a.count, a.neg}, {tl, b.d, b.count, b.neg}};
    return streams_sum(streams, Streams<2>{});
}

// The same from P itself, with odd multiples up to (2 t - 1) P. They share
// one denominator (see odd_multiples_shared_z), so the tables are affine on
// an isomorphic curve; the accumulator's Z is multiplied by the shared
// denominator at the end.
Point glv_wnaf_sum(const Point& p, const HalfDigits& a, const HalfDigits& b, size_t t) {
    if (p.infinity || std::max(a.count, b.count) == 0) return Point::infinity_point();
    FieldElement x[kMaxOddMultiples], y[kMaxOddMultiples];
    const FieldElement zg = odd_multiples_shared_z(p, t, x, y);
    const FieldElement& beta = FieldElement::beta();
    AffinePoint tab[kMaxOddMultiples], tabl[kMaxOddMultiples];
    for (size_t i = 0; i < t; ++i) {
        tab[i] = AffinePoint{x[i], y[i]};
        tabl[i] = AffinePoint{x[i] * beta, y[i]};
    }
    Point acc = wnaf_table_sum(tab, tabl, a, b);
    if (!acc.infinity) {
        acc.Z = acc.Z * zg;
        acc.z_is_one = false;
    }
    return acc;
}

// k P for any P (variable time): k = s1 k1 + s2 k2 lambda with k1, k2 below
// 2^128, both halves in width-5 NAF over one shared run of at most 129
// doublings.
Point glv_mul(const Point& p, const Scalar& k) {
    if (p.infinity) return Point::infinity_point();
    const GlvSplit s = k.split_lambda_var();
    int32_t d1[260], d2[260];
    const size_t n1 = wnaf_int(s.k1, kWindow, d1, 260);
    const size_t n2 = wnaf_int(s.k2, kWindow, d2, 260);
    return glv_wnaf_sum(p, HalfDigits{d1, n1, s.neg1 != 0}, HalfDigits{d2, n2, s.neg2 != 0},
                        size_t{1} << (kWindow - 2));
}

}  // namespace

Point mul(const Point& p, const Scalar& k) {
    if (p.infinity) return Point::infinity_point();
    Point r = p.is_generator ? precomputed_gen_mul(k) : glv_mul(p, k);
    r.to_affine_assign();
    r.is_generator = false;
    return r;
}

Point dual_mul(const Scalar& u1, const Scalar& u2, const Point& p) {
    // The table entries for u1 G are requested first; the variable-base
    // part runs while they arrive, and they are added at the end, after the
    // last doubling.
    const PrecomputedGenTerm gen(u1);
    Point acc = glv_mul(p, u2);
    gen.add_to(acc);
    acc.is_generator = false;
    return acc;
}

namespace {

// count (1..64) bits of k from offset; bits above 255 read as zero.
inline uint64_t bits_at(const Scalar& k, unsigned offset, unsigned count) {
    if (offset >= 256) return 0;
    const unsigned idx = offset >> 6, sh = offset & 63;
    uint64_t v = k.limb[idx] >> sh;
    if (sh != 0 && idx + 1 < 4) v |= k.limb[idx + 1] << (64 - sh);
    return count < 64 ? v & ((uint64_t{1} << count) - 1) : v;
}

}  // namespace

size_t wnaf_int(const Scalar& k, unsigned w, int32_t* out, size_t capacity) {
    if (w < 2 || w > 16 || !out || capacity == 0) return 0;
    const size_t cap = std::min<size_t>(capacity, 260);
    std::memset(out, 0, cap * sizeof(int32_t));
    uint64_t carry = 0;
    long last = -1;
    unsigned i = 0;
    while (i < 256) {
        // Skip the run of bits equal to the carry (they give zero digits),
        // up to 64 at a time.
        const uint64_t differ = bits_at(k, i, 64) ^ (0 - carry);
        if (differ == 0) {
            i += 64;
            continue;
        }
        i += static_cast<unsigned>(std::countr_zero(differ));
        if (i >= 256) break;
        const unsigned len = std::min(w, 256 - i);
        const uint64_t sum = bits_at(k, i, len) + carry;
        carry = (sum >> (w - 1)) & 1;
        const int64_t digit = static_cast<int64_t>(sum) - static_cast<int64_t>(carry << w);
        if (i < cap) out[i] = static_cast<int32_t>(digit);
        last = static_cast<long>(i);
        i += len;
    }
    size_t count = static_cast<size_t>(last + 1);
    // A carry left at the top is worth 2^256, so it belongs at position 256,
    // not right after the last digit.
    if (carry && 256 < cap) {
        out[256] = 1;
        count = 257;
    }
    return count;
}

FixedKPlan fixed_k_plan(const Scalar& k, unsigned w) {
    FixedKPlan plan;
    const GlvSplit s = k.split_lambda_var();
    plan.window = w;
    plan.k1 = s.k1;
    plan.k2 = s.k2;
    plan.neg1 = s.neg1 != 0;
    plan.neg2 = s.neg2 != 0;
    plan.count1 = wnaf_int(s.k1, w, plan.digits1, 260);
    plan.count2 = wnaf_int(s.k2, w, plan.digits2, 260);
    return plan;
}

Point mul_with_plan(const Point& p, const FixedKPlan& plan) {
    if (p.infinity) return Point::infinity_point();
    // The tables hold at most 64 odd multiples; digits of wider windows
    // would index past them, so such plans are recoded at width 8 here.
    FixedKPlan narrow;
    const FixedKPlan* use = &plan;
    if (plan.window > 8) {
        narrow = plan;
        narrow.window = 8;
        narrow.count1 = wnaf_int(plan.k1, 8, narrow.digits1, 260);
        narrow.count2 = wnaf_int(plan.k2, 8, narrow.digits2, 260);
        use = &narrow;
    }
    int32_t m = 1;
    for (size_t i = 0; i < use->count1; ++i) m = std::max(m, std::abs(use->digits1[i]));
    for (size_t i = 0; i < use->count2; ++i) m = std::max(m, std::abs(use->digits2[i]));
    const size_t t = std::min<size_t>(kMaxOddMultiples, static_cast<size_t>(m + 1) / 2);
    return glv_wnaf_sum(p, HalfDigits{use->digits1, use->count1, use->neg1},
                        HalfDigits{use->digits2, use->count2, use->neg2}, t);
}

SplitKPlan split_k_plan(const Scalar& k, unsigned w) {
    SplitKPlan plan;
    const GlvSplit s = k.split_lambda_var();
    plan.window = w;
    const Scalar* halves[2] = {&s.k1, &s.k2};
    const bool neg[2] = {s.neg1 != 0, s.neg2 != 0};
    for (size_t h = 0; h < 2; ++h) {
        for (size_t piece = 0; piece < 2; ++piece) {
            const size_t i = 2 * piece + h;
            plan.count[i] = wnaf_int(Scalar::from_limbs(halves[h]->limb[piece], 0, 0, 0), w, plan.digits[i],
                                     sizeof plan.digits[i] / sizeof plan.digits[i][0]);
            plan.neg[i] = neg[h];
        }
    }
    return plan;
}

Point mul_with_split_plan(const AffinePoint* const (&tables)[4], size_t t, const SplitKPlan& plan) {
    if (plan.window < 2 || (size_t{1} << (plan.window - 2)) > t) return Point::infinity_point();
    WnafStream streams[4];
    for (size_t i = 0; i < 4; ++i) streams[i] = WnafStream{tables[i], plan.digits[i], plan.count[i], plan.neg[i]};
    return streams_sum(streams, Streams<4>{});
}

Point wnaf_streams_sum(const WnafStream* streams, size_t n) { return streams_sum(streams, n); }

Point mul_with_plan(const AffinePoint* odd, const AffinePoint* odd_lambda, size_t t, const FixedKPlan& plan) {
    if (plan.window < 2 || (size_t{1} << (plan.window - 2)) > t) return Point::infinity_point();
    return wnaf_table_sum(odd, odd_lambda, HalfDigits{plan.digits1, plan.count1, plan.neg1},
                          HalfDigits{plan.digits2, plan.count2, plan.neg2});
}

}  // namespace qorvex
