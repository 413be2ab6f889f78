// The engine msm() runs for a few dozen terms: Strauss over endomorphism
// halves. Every scalar is split into two halves below 2^128, so the shared
// run of doublings is half as long as for whole scalars; each half is read
// in width-5 NAF (about one addition per six bits). Each point keeps its odd
// multiples P .. 15P, built over one shared denominator per point and made
// truly affine by one inversion shared by all points, with the multiples of
// lambda P costing one product each (x times beta): every addition of the
// main loop is a mixed one.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "arith/msm.h"
#include "arith/point_mul.h"
#include "arith/point_table.h"

namespace qorvex {

namespace {

constexpr unsigned kWidth = 5;
constexpr size_t kTable = size_t{1} << (kWidth - 2);  // P, 3P, ..., 15P
constexpr size_t kDigitSlot = 132;                       // a 128-bit half has at most 130 digits

struct Entry {
    FieldElement x[kTable], lx[kTable], y[kTable];
};

// Kept per thread and grown to the largest count seen.
struct GlvScratch {
    std::vector<int8_t> digits;  // per used term: first half, then second half
    std::vector<uint8_t> lengths;
    std::vector<Entry> tables;
    std::vector<FieldElement> z;
};

GlvScratch& glv_scratch() {
    thread_local GlvScratch s;
    return s;
}

// The width-5 digits of one half into slot, negated when the half enters
// negated, so a digit's sign is the sign of its table entry.
size_t half_digits(const Scalar& h, bool neg, int8_t* slot) {
    int32_t wide[260];
    const size_t len = std::min(wnaf_int(h, kWidth, wide, 260), kDigitSlot);
    for (size_t t = 0; t < len; ++t) slot[t] = static_cast<int8_t>(neg ? -wide[t] : wide[t]);
    return len;
}

inline void add_digit(Point& acc, const FieldElement* xs, const FieldElement* ys, int d) {
    if (d > 0)
        acc.add_affine_var(xs[d >> 1], ys[d >> 1]);
    else
        acc.add_affine_var(xs[(-d) >> 1], ys[(-d) >> 1].negate());
}

}  // namespace

Point msm_strauss_glv(std::span<const Scalar> scalars, std::span<const AffinePoint> points) {
    const size_t m = std::min(scalars.size(), points.size());
    GlvScratch& s = glv_scratch();
    if (s.lengths.size() < 2 * m) {
        s.digits.resize(2 * m * kDigitSlot);
        s.lengths.resize(2 * m);
        s.tables.resize(m);
        s.z.resize(m);
    }
    // Zero scalars drop out here; n counts the terms that remain.
    size_t n = 0, top = 0;
    for (size_t i = 0; i < m; ++i) {
        if (scalars[i].is_zero()) continue;
        const GlvSplit split = scalars[i].split_lambda_var();
        int8_t* d = &s.digits[2 * n * kDigitSlot];
        const size_t l1 = half_digits(split.k1, split.neg1 != 0, d);
        const size_t l2 = half_digits(split.k2, split.neg2 != 0, d + kDigitSlot);
        s.lengths[2 * n] = static_cast<uint8_t>(l1);
        s.lengths[2 * n + 1] = static_cast<uint8_t>(l2);
        top = std::max({top, l1, l2});
        s.z[n] = odd_multiples_shared_z(Point::from_affine(points[i]), kTable, s.tables[n].x, s.tables[n].y);
        ++n;
    }
    if (n == 0) return Point::infinity_point();
    FieldElement::batch_inverse(s.z.data(), n);
    const FieldElement& beta = FieldElement::beta();
    for (size_t j = 0; j < n; ++j) {
        Entry& e = s.tables[j];
        const FieldElement zi2 = s.z[j].sqr();
        const FieldElement zi3 = zi2 * s.z[j];
        for (size_t t = 0; t < kTable; ++t) {
            e.x[t] = e.x[t] * zi2;
            e.y[t] = e.y[t] * zi3;
            e.lx[t] = e.x[t] * beta;
        }
    }

    Point acc = Point::infinity_point();
    for (size_t t = top; t-- > 0;) {
        if (!acc.infinity) acc.dbl_halving_ct();
        for (size_t j = 0; j < n; ++j) {
            const Entry& e = s.tables[j];
            const int8_t* d = &s.digits[2 * j * kDigitSlot];
            if (t < s.lengths[2 * j] && d[t] != 0) add_digit(acc, e.x, e.y, d[t]);
            if (t < s.lengths[2 * j + 1] && d[kDigitSlot + t] != 0) add_digit(acc, e.lx, e.y, d[kDigitSlot + t]);
        }
    }
    acc.is_generator = false;
    return acc;
}

}  // namespace qorvex
