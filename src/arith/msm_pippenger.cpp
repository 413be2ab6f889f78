// The bucket method with the reference window table: one digit per term and
// window, the terms dropped into buckets by digit, and the buckets summed
// with running sums, window by window from the top.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "arith/msm.h"

namespace qorvex {

namespace {

struct Width {
    size_t up_to;  // largest term count for this width
    unsigned bits;
    unsigned windows;
};

// Every width covers at least 257 bit positions, so the carry of the signed
// recoding always has a window to go to.
constexpr Width kWidths[] = {
    {72, 5, 52},     {384, 6, 43},     {768, 7, 37},      {2048, 8, 33},     {8192, 9, 29},
    {32768, 10, 26}, {65536, 12, 22},  {262144, 13, 20},  {SIZE_MAX, 14, 19},
};

const Width& width_for(size_t m) {
    for (const Width& w : kWidths)
        if (m <= w.up_to) return w;
    return kWidths[sizeof kWidths / sizeof kWidths[0] - 1];
}

struct PippengerScratch {
    std::vector<Point> buckets;  // used when there are more than 64
    std::vector<uint32_t> touched;
    std::vector<uint8_t> marks;
    std::vector<int16_t> digits;  // count * windows
};

PippengerScratch& pippenger_scratch() {
    thread_local PippengerScratch s;
    return s;
}

}  // namespace

unsigned pippenger_window_bits(size_t m) { return width_for(m).bits; }

Point msm_pippenger(std::span<const Scalar> scalars, std::span<const Point> points) {
    const size_t m = std::min(scalars.size(), points.size());
    if (m == 0) return Point::infinity_point();
    const Width& w = width_for(std::max<size_t>(m, 48));
    const unsigned b = w.bits, windows = w.windows;
    const bool is_signed = b >= 7;
    // Signed digits never exceed 2^(b-1) in magnitude; unsigned ones reach
    // 2^b - 1.
    const size_t nbuckets = is_signed ? (size_t{1} << (b - 1)) + 1 : size_t{1} << b;

    PippengerScratch& s = pippenger_scratch();
    if (s.digits.size() < m * windows) s.digits.resize(m * windows);
    Point stack_buckets[64];
    Point* buckets = stack_buckets;
    if (nbuckets > 64) {
        if (s.buckets.size() < nbuckets) s.buckets.resize(nbuckets);
        buckets = s.buckets.data();
    }
    if (s.touched.size() < nbuckets) s.touched.resize(nbuckets);
    if (s.marks.size() < nbuckets) s.marks.resize(nbuckets);
    std::fill(s.marks.begin(), s.marks.begin() + static_cast<std::ptrdiff_t>(nbuckets), uint8_t{0});

    bool all_affine = true;
    for (size_t i = 0; i < m; ++i) {
        all_affine = all_affine && (points[i].infinity || points[i].z_is_one);
        int16_t* d = &s.digits[i * windows];
        int carry = 0;
        for (unsigned j = 0; j < windows; ++j) {
            int v = static_cast<int>(scalars[i].bits(b * j, b)) + carry;
            carry = 0;
            if (is_signed && v > (1 << (b - 1))) {
                v -= 1 << b;
                carry = 1;
            }
            d[j] = static_cast<int16_t>(v);
        }
    }
    const bool mixed = b < 7 && all_affine;

    Point acc = Point::infinity_point();
    bool first = true;
    for (unsigned j = windows; j-- > 0;) {
        if (!first)
            for (unsigned t = 0; t < b; ++t) acc.dbl_assign();
        first = false;

        size_t ntouched = 0;
        for (size_t i = 0; i < m; ++i) {
            const int d = s.digits[i * windows + j];
            if (d == 0 || points[i].infinity) continue;
            const size_t idx = static_cast<size_t>(d < 0 ? -d : d);
            Point term = points[i];
            term.is_generator = false;
            if (d < 0) term.negate_assign();
            if (!s.marks[idx]) {
                s.marks[idx] = 1;
                s.touched[ntouched++] = static_cast<uint32_t>(idx);
                buckets[idx] = term;
            } else if (mixed) {
                buckets[idx].add_affine_assign(term.X, term.Y);
            } else {
                buckets[idx].add_assign(term);
            }
        }
        if (ntouched == 0) continue;

        size_t highest = 0;
        for (size_t t = 0; t < ntouched; ++t) highest = std::max<size_t>(highest, s.touched[t]);
        Point running = Point::infinity_point(), sum = Point::infinity_point();
        bool started = false;
        for (size_t idx = highest; idx >= 1; --idx) {
            if (s.marks[idx]) {
                running.add_assign(buckets[idx]);
                started = true;
            }
            if (started) sum.add_assign(running);
        }
        acc.add_assign(sum);

        for (size_t t = 0; t < ntouched; ++t) {
            buckets[s.touched[t]] = Point::infinity_point();
            s.marks[s.touched[t]] = 0;
        }
    }
    acc.is_generator = false;
    return acc;
}

}  // namespace qorvex
