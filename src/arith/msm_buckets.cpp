// The bucket method over GLV halves with affine bucket accumulation.
//
// Every term k P becomes two half terms k1 (+-P) and k2 (+-lambda P) with
// k1, k2 below 2^128; each half is recoded into signed digits of width c,
// W = 128 / c + 1 of them, every digit in [-2^(c-1) + 1, 2^(c-1)]. The digit
// d of half h in window j sends sign(d) * (half point h) to bucket
// (j, |d| - 1). Then
//
//   sum = sum_j 2^(c j) sum_b (b + 1) * bucket(j, b).
//
// Filling the buckets is where the time goes (one addition per non-zero
// digit), so it is done in affine coordinates: the entries are sorted by
// bucket, and each round adds neighbouring pairs inside every bucket at once,
// all the round's denominators inverted together with one field inversion.
// An affine addition then costs 3 multiplications for the shared inversion
// plus 2 and a squaring for the sum, about half a mixed Jacobian addition.
// The rounds halve every bucket's list, so a pass needs about log2 of its
// fullest bucket's size in inversions.
//
// The windows are processed in passes of as many windows as fit a bounded
// number of entries (all of them for small counts, so the whole sum needs
// only a handful of inversions); a window with more entries than that is
// split over several passes, each starting from the buckets the last one
// left. The bucket sums of each window (running sums, Jacobian) and the
// combination of the windows (c doublings each) finish the sum.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "arith/msm.h"

namespace qorvex {

namespace {

// Entries per pass: the affine work array is then 8 MB.
constexpr size_t kPassEntries = size_t{1} << 17;

// Marks an entry that stands for the bucket a previous pass of the same
// window left, rather than for a half point.
constexpr uint32_t kCarried = 0xFFFFFFFFu;

enum class PairKind : uint8_t { add, dbl, to_infinity, keep_first, keep_second };

struct BucketScratch {
    std::vector<uint64_t> mag;     // 2 words per half
    std::vector<uint8_t> neg;      // per half: the half enters negated
    std::vector<uint8_t> carry;    // per half: carry of the signed recoding
    std::vector<FieldElement> lx;  // per term: beta * x, the x of lambda P
    std::vector<int16_t> digits;   // per half and window of the pass
    std::vector<uint32_t> start;   // per group (bucket of a window in the pass), then the end
    std::vector<uint32_t> len;     // per group
    std::vector<uint32_t> fill;    // per group, while scattering
    std::vector<uint32_t> order;   // per entry: half << 1 | negated, or kCarried
    std::vector<AffinePoint> work;  // per entry
    std::vector<uint8_t> inf;       // per entry: the element is infinity
    std::vector<uint32_t> active;   // groups with two or more elements
    std::vector<FieldElement> den;  // per pair
    std::vector<FieldElement> pre;  // per pair: prefix products
    std::vector<PairKind> kind;     // per pair
    std::vector<uint32_t> pair_at;  // per pair: position of its first element
    std::vector<AffinePoint> carried;      // per bucket of a window split over passes
    std::vector<uint8_t> carried_present;  // per bucket
    std::vector<Point> window_sums;
};

BucketScratch& bucket_scratch() {
    thread_local BucketScratch s;
    return s;
}

template <typename T>
void grow(std::vector<T>& v, size_t n) {
    if (v.size() < n) v.resize(n);
}

// c bits of the 128-bit magnitude (lo, hi) from offset.
inline uint64_t bits128(const uint64_t* w, unsigned offset, unsigned c) {
    if (offset >= 128) return 0;
    uint64_t v;
    if (offset < 64) {
        v = w[0] >> offset;
        if (offset > 0) v |= w[1] << (64 - offset);
    } else {
        v = w[1] >> (offset - 64);
    }
    return v & ((uint64_t{1} << c) - 1);
}

// One round of pairwise additions inside every group with two or more
// elements; the group lists shrink to half (rounded up).
void pair_round(BucketScratch& s) {
    size_t npairs = 0;
    for (const uint32_t g : s.active) npairs += s.len[g] / 2;
    grow(s.den, npairs);
    grow(s.pre, npairs);
    grow(s.kind, npairs);
    grow(s.pair_at, npairs);

    // Denominators and their prefix products.
    FieldElement acc = FieldElement::one();
    size_t p = 0;
    for (const uint32_t g : s.active) {
        const uint32_t st = s.start[g], l = s.len[g];
        for (uint32_t k = 0; k + 1 < l; k += 2, ++p) {
            const uint32_t a = st + k, b = a + 1;
            s.pair_at[p] = a;
            const AffinePoint& pa = s.work[a];
            const AffinePoint& pb = s.work[b];
            FieldElement d = FieldElement::one();
            PairKind kind;
            if (s.inf[a]) {
                kind = PairKind::keep_second;
            } else if (s.inf[b]) {
                kind = PairKind::keep_first;
            } else if (!pa.x.equal(pb.x)) {
                kind = PairKind::add;
                d = pb.x - pa.x;
            } else if (pa.y.equal(pb.y) && !pa.y.is_zero()) {
                kind = PairKind::dbl;
                d = pa.y.dbl();
            } else {
                kind = PairKind::to_infinity;
            }
            s.kind[p] = kind;
            s.den[p] = d;
            s.pre[p] = acc;
            acc = acc * d;
        }
    }
    // One inversion; afterwards den[p] holds the inverse of the denominator.
    FieldElement inv = acc.inverse_var();
    for (size_t q = npairs; q-- > 0;) {
        const FieldElement d = s.den[q];
        s.den[q] = inv * s.pre[q];
        inv = inv * d;
    }

    // The sums, written to the front of each group's list. Pair k of a group
    // reads positions 2k and 2k + 1 and writes position k, so going forward
    // never overwrites an element still to be read.
    p = 0;
    for (const uint32_t g : s.active) {
        const uint32_t st = s.start[g], l = s.len[g];
        uint32_t out = st;
        for (uint32_t k = 0; k + 1 < l; k += 2, ++p, ++out) {
            const uint32_t a = s.pair_at[p], b = a + 1;
            const AffinePoint pa = s.work[a];
            const AffinePoint pb = s.work[b];
            switch (s.kind[p]) {
                case PairKind::add: {
                    const FieldElement lambda = (pb.y - pa.y) * s.den[p];
                    const FieldElement x3 = lambda.sqr() - pa.x - pb.x;
                    s.work[out] = AffinePoint{x3, lambda * (pa.x - x3) - pa.y};
                    s.inf[out] = 0;
                    break;
                }
                case PairKind::dbl: {
                    const FieldElement xx = pa.x.sqr();
                    const FieldElement lambda = (xx + xx + xx) * s.den[p];
                    const FieldElement x3 = lambda.sqr() - pa.x.dbl();
                    s.work[out] = AffinePoint{x3, lambda * (pa.x - x3) - pa.y};
                    s.inf[out] = 0;
                    break;
                }
                case PairKind::to_infinity:
                    s.inf[out] = 1;
                    break;
                case PairKind::keep_first:
                    s.work[out] = pa;
                    s.inf[out] = 0;
                    break;
                case PairKind::keep_second:
                    s.work[out] = pb;
                    s.inf[out] = s.inf[b];
                    break;
            }
        }
        if (l & 1) {
            s.work[out] = s.work[st + l - 1];
            s.inf[out] = s.inf[st + l - 1];
        }
        s.len[g] = (l + 1) / 2;
    }
    size_t keep = 0;
    for (const uint32_t g : s.active)
        if (s.len[g] >= 2) s.active[keep++] = g;
    s.active.resize(keep);
}

}  // namespace

unsigned msm_affine_window_bits(size_t m) {
    // Relative costs, measured: an affine bucket addition (with its share of
    // the inversion, the sorting and the copying) against a bucket of the
    // running sums (one mixed and one general Jacobian addition).
    constexpr double kEntry = 1.0, kBucket = 3.4;
    const double halves = 2.0 * static_cast<double>(m);
    unsigned best = 2;
    double best_cost = 0;
    for (unsigned c = 2; c <= 16; ++c) {
        const double windows = 128 / c + 1;
        const double cost = windows * (halves * kEntry + static_cast<double>(size_t{1} << (c - 1)) * kBucket);
        if (c == 2 || cost < best_cost) {
            best = c;
            best_cost = cost;
        }
    }
    return best;
}

Point msm_buckets_affine(std::span<const Scalar> scalars, std::span<const AffinePoint> points, unsigned c,
                         size_t pass_entries) {
    const size_t m = std::min(scalars.size(), points.size());
    if (m == 0) return Point::infinity_point();
    if (c == 0) c = msm_affine_window_bits(m);
    c = std::clamp(c, 2u, 16u);
    const size_t halves = 2 * m;
    const unsigned windows = 128 / c + 1;
    const size_t nbuckets = size_t{1} << (c - 1);

    BucketScratch& s = bucket_scratch();
    grow(s.mag, 2 * halves);
    grow(s.neg, halves);
    grow(s.carry, halves);
    grow(s.lx, m);
    grow(s.window_sums, windows);

    const FieldElement& beta = FieldElement::beta();
    for (size_t i = 0; i < m; ++i) {
        const GlvSplit sp = scalars[i].split_lambda_var();
        // The split gives halves below 2^128; the digits below rely on it.
        if ((sp.k1.limb[2] | sp.k1.limb[3] | sp.k2.limb[2] | sp.k2.limb[3]) != 0) {
            std::vector<Point> pts(m);
            for (size_t t = 0; t < m; ++t) pts[t] = Point::from_affine(points[t]);
            return msm_pippenger(scalars.first(m), pts);
        }
        s.mag[4 * i + 0] = sp.k1.limb[0];
        s.mag[4 * i + 1] = sp.k1.limb[1];
        s.mag[4 * i + 2] = sp.k2.limb[0];
        s.mag[4 * i + 3] = sp.k2.limb[1];
        s.neg[2 * i] = sp.neg1 != 0;
        s.neg[2 * i + 1] = sp.neg2 != 0;
        s.carry[2 * i] = s.carry[2 * i + 1] = 0;
        s.lx[i] = points[i].x * beta;
    }

    // A pass covers windows [j0, j0 + per_pass) and halves [h0, h1).
    const size_t pass = pass_entries ? pass_entries : kPassEntries;
    const size_t per_pass = std::max<size_t>(1, pass / halves);
    const size_t half_chunk = std::min(halves, pass);
    for (size_t j0 = 0; j0 < windows; j0 += per_pass) {
        const size_t jn = std::min(per_pass, windows - j0);
        const size_t groups = jn * nbuckets;
        grow(s.start, groups + 1);
        grow(s.len, groups);
        grow(s.fill, groups);
        const bool split = half_chunk < halves;  // then jn == 1
        if (split) {
            grow(s.carried, nbuckets);
            grow(s.carried_present, nbuckets);
            std::fill_n(s.carried_present.begin(), nbuckets, uint8_t{0});
        }
        for (size_t h0 = 0; h0 < halves; h0 += half_chunk) {
            const size_t h1 = std::min(halves, h0 + half_chunk);
            const bool last_chunk = h1 == halves;
            grow(s.digits, (h1 - h0) * jn);

            // Digits (advancing each half's carry) and bucket counts.
            std::fill_n(s.len.begin(), groups, uint32_t{0});
            if (split)
                for (size_t b = 0; b < nbuckets; ++b) s.len[b] += s.carried_present[b];
            const int half_range = 1 << (c - 1);
            for (size_t h = h0; h < h1; ++h) {
                const uint64_t* mag = &s.mag[2 * h];
                int carry = s.carry[h];
                int16_t* d = &s.digits[(h - h0) * jn];
                for (size_t t = 0; t < jn; ++t) {
                    int v = static_cast<int>(bits128(mag, static_cast<unsigned>((j0 + t) * c), c)) + carry;
                    carry = v > half_range;
                    if (carry) v -= 2 * half_range;
                    d[t] = static_cast<int16_t>(v);
                    if (v != 0) ++s.len[t * nbuckets + static_cast<size_t>(v < 0 ? -v : v) - 1];
                }
                s.carry[h] = static_cast<uint8_t>(carry);
            }
            uint32_t total = 0;
            for (size_t g = 0; g < groups; ++g) {
                s.start[g] = total;
                s.fill[g] = total;
                total += s.len[g];
            }
            s.start[groups] = total;
            grow(s.order, total);
            grow(s.work, total);
            grow(s.inf, total);

            if (split)
                for (size_t b = 0; b < nbuckets; ++b)
                    if (s.carried_present[b]) s.order[s.fill[b]++] = kCarried;
            for (size_t h = h0; h < h1; ++h) {
                const int16_t* d = &s.digits[(h - h0) * jn];
                for (size_t t = 0; t < jn; ++t) {
                    const int v = d[t];
                    if (v == 0) continue;
                    const size_t g = t * nbuckets + static_cast<size_t>(v < 0 ? -v : v) - 1;
                    s.order[s.fill[g]++] = static_cast<uint32_t>(h << 1) | static_cast<uint32_t>((v < 0) != (s.neg[h] != 0));
                }
            }

            // The entries' points, bucket by bucket.
            for (size_t g = 0; g < groups; ++g) {
                for (uint32_t e = s.start[g]; e < s.start[g + 1]; ++e) {
                    const uint32_t o = s.order[e];
                    if (o == kCarried) {
                        s.work[e] = s.carried[g];
                        s.inf[e] = 0;
                        continue;
                    }
                    const size_t h = o >> 1, i = h >> 1;
                    const FieldElement& x = (h & 1) ? s.lx[i] : points[i].x;
                    s.work[e] = AffinePoint{x, (o & 1) ? points[i].y.negate() : points[i].y};
                    s.inf[e] = 0;
                }
            }

            s.active.clear();
            for (size_t g = 0; g < groups; ++g)
                if (s.len[g] >= 2) s.active.push_back(static_cast<uint32_t>(g));
            while (!s.active.empty()) pair_round(s);

            if (!last_chunk) {
                for (size_t b = 0; b < nbuckets; ++b) {
                    const bool present = s.len[b] >= 1 && !s.inf[s.start[b]];
                    s.carried_present[b] = present;
                    if (present) s.carried[b] = s.work[s.start[b]];
                }
                continue;
            }

            // Each window's sum: sum_b (b + 1) bucket_b by running sums.
            for (size_t t = 0; t < jn; ++t) {
                Point running = Point::infinity_point(), sum = Point::infinity_point();
                for (size_t b = nbuckets; b-- > 0;) {
                    const size_t g = t * nbuckets + b;
                    if (s.len[g] >= 1 && !s.inf[s.start[g]]) {
                        const AffinePoint& q = s.work[s.start[g]];
                        running.add_affine_var(q.x, q.y);
                    }
                    if (!running.infinity) sum.add_assign(running);
                }
                s.window_sums[j0 + t] = sum;
            }
        }
    }

    Point acc = Point::infinity_point();
    for (size_t j = windows; j-- > 0;) {
        if (!acc.infinity)
            for (unsigned t = 0; t < c; ++t) acc.dbl_halving_ct();
        acc.add_assign(s.window_sums[j]);
    }
    acc.is_generator = false;
    return acc;
}

}  // namespace qorvex
