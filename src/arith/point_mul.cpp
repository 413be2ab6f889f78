// Variable-time multiplications: k*P, u1*G + u2*P, and the fixed-scalar plan.
#include <algorithm>
#include <cstring>

#include "arith/point_mul.h"
#include "arith/precompute.h"

namespace qorvex {

namespace {

// Right-to-left binary method; always 256 steps.
Point binary_mul(const Point& p, const Scalar& k) {
    Point result = Point::infinity_point();
    Point base = p;
    base.is_generator = false;
    for (unsigned i = 0; i < 256; ++i) {
        if (k.bits(i, 1)) result.add_assign(base);
        base.dbl_assign();
    }
    return result;
}

constexpr size_t kPlanTable = 64;

// Odd multiples Q, 3Q, ..., (2t - 1)Q.
void odd_multiples(const Point& q, size_t t, Point* out) {
    out[0] = q;
    if (t < 2) return;
    const Point q2 = q.dbl();
    for (size_t i = 1; i < t; ++i) out[i] = out[i - 1].add(q2);
}

}  // namespace

Point mul(const Point& p, const Scalar& k) {
    if (p.infinity) return Point::infinity_point();
    Point r = p.is_generator ? precomputed_gen_mul(k) : binary_mul(p, k);
    r.to_affine_assign();
    r.is_generator = false;
    return r;
}

Point dual_mul(const Scalar& u1, const Scalar& u2, const Point& p) {
    Point a = mul(Point::generator(), u1);
    a.add_assign(mul(p, u2));
    return a;
}

size_t wnaf_int(const Scalar& k, unsigned w, int32_t* out, size_t capacity) {
    if (w < 2 || w > 16 || !out || capacity == 0) return 0;
    const size_t cap = std::min<size_t>(capacity, 260);
    std::memset(out, 0, cap * sizeof(int32_t));
    uint64_t carry = 0;
    long last = -1;
    unsigned i = 0;
    while (i < 256) {
        if (k.bits(i, 1) == carry) {
            ++i;
            continue;
        }
        const unsigned len = std::min(w, 256 - i);
        const uint64_t sum = k.bits(i, len) + carry;
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
    const size_t t = std::min<size_t>(kPlanTable, static_cast<size_t>(m + 1) / 2);

    Point base1 = p;
    base1.is_generator = false;
    if (use->neg1) base1.negate_assign();
    Point base2 = p.endomorphism();
    if (use->neg2) base2.negate_assign();
    Point t1[kPlanTable], t2[kPlanTable];
    odd_multiples(base1, t, t1);
    odd_multiples(base2, t, t2);

    Point acc = Point::infinity_point();
    const size_t top = std::max(use->count1, use->count2);
    for (size_t i = top; i-- > 0;) {
        acc.dbl_assign();
        const int32_t d2 = i < use->count2 ? use->digits2[i] : 0;
        if (d2 > 0) acc.add_assign(t2[(d2 - 1) / 2]);
        if (d2 < 0) acc.add_assign(t2[(-d2 - 1) / 2].negate());
        const int32_t d1 = i < use->count1 ? use->digits1[i] : 0;
        if (d1 > 0) acc.add_assign(t1[(d1 - 1) / 2]);
        if (d1 < 0) acc.add_assign(t1[(-d1 - 1) / 2].negate());
    }
    return acc;
}

}  // namespace qorvex
