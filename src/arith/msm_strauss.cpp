// The interleaved width-4 NAF engine and a*P + b*Q.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "arith/msm.h"
#include "arith/point_mul.h"

namespace qorvex {

namespace {

constexpr unsigned kWidth = 4;
constexpr size_t kDigitSlot = 257;  // a width-w NAF of a 256-bit scalar has at most 257 digits
constexpr size_t kTable = 8;        // P, 3P, ..., 15P

// Kept per thread and grown to the largest count seen.
struct StraussScratch {
    std::vector<int8_t> digits;   // count * 257
    std::vector<size_t> lengths;  // count
    std::vector<Point> tables;    // count * 8
};

StraussScratch& strauss_scratch() {
    thread_local StraussScratch s;
    return s;
}

}  // namespace

Point shamir(const Scalar& a, const Point& p, const Scalar& b, const Point& q) {
    if (a.is_zero() && b.is_zero()) return Point::infinity_point();
    if (a.is_zero()) return mul(q, b);
    if (b.is_zero()) return mul(p, a);
    return mul(p, a).add(mul(q, b));
}

Point msm_strauss(std::span<const Scalar> scalars, std::span<const Point> points) {
    const size_t m = std::min(scalars.size(), points.size());
    if (m == 0) return Point::infinity_point();
    if (m == 1) return mul(points[0], scalars[0]);
    if (m == 2) return shamir(scalars[0], points[0], scalars[1], points[1]);

    StraussScratch& s = strauss_scratch();
    if (s.digits.size() < m * kDigitSlot) s.digits.resize(m * kDigitSlot);
    if (s.lengths.size() < m) s.lengths.resize(m);
    if (s.tables.size() < m * kTable) s.tables.resize(m * kTable);

    size_t top = 0;
    int32_t wide[260];
    for (size_t i = 0; i < m; ++i) {
        const size_t len = std::min(wnaf_int(scalars[i], kWidth, wide, 260), kDigitSlot);
        int8_t* d = &s.digits[i * kDigitSlot];
        for (size_t t = 0; t < len; ++t) d[t] = static_cast<int8_t>(wide[t]);
        s.lengths[i] = len;
        top = std::max(top, len);

        Point* table = &s.tables[i * kTable];
        Point p = points[i];
        p.is_generator = false;
        table[0] = p;
        if (p.infinity) continue;  // never read: every entry would be infinity
        const Point twice = p.dbl();
        for (size_t e = 1; e < kTable; ++e) table[e] = table[e - 1].add(twice);
    }

    Point acc = Point::infinity_point();
    for (size_t t = top; t-- > 0;) {
        acc.dbl_assign();
        for (size_t i = 0; i < m; ++i) {
            if (t >= s.lengths[i] || points[i].infinity) continue;
            const int d = s.digits[i * kDigitSlot + t];
            if (d == 0) continue;
            const Point* table = &s.tables[i * kTable];
            if (d > 0)
                acc.add_assign(table[(d - 1) / 2]);
            else
                acc.add_assign(table[(-d - 1) / 2].negate());
        }
    }
    acc.is_generator = false;
    return acc;
}

}  // namespace qorvex
