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
// plus 2 and a squaring for the sum, against 8 and 3 squarings for a mixed
// Jacobian one.
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

// Entries per pass: the digits and the sorted entry list then take 6 MB.
constexpr size_t kPassEntries = size_t{1} << 20;

// Entries summed together: consecutive buckets are taken until their
// entries would pass this, so that the block's points (128 KB) and the
// round's denominators stay in the core's cache through all its rounds.
constexpr size_t kBlockEntries = 2048;

// Marks an entry that stands for the bucket a previous pass of the same
// window left, rather than for a half point.
constexpr uint32_t kCarried = 0xFFFFFFFFu;

// Independent product chains of the shared inversion (the code below
// combines exactly four).
constexpr size_t kLanes = 4;

enum class PairKind : uint8_t { add, dbl, to_infinity, keep_first, keep_second };

struct BucketScratch {
    std::vector<uint64_t> mag;     // 2 words per half
    std::vector<uint8_t> neg;      // per half: the half enters negated
    std::vector<uint8_t> carry;    // per half: carry of the signed recoding
    std::vector<FieldElement> lx;  // per term: beta * x, the x of lambda P
    std::vector<int16_t> digits;   // per half and window of the pass
    std::vector<uint32_t> start;   // per group (bucket of a window in the pass), then the end
    std::vector<uint32_t> fill;    // per group, while scattering
    std::vector<uint32_t> order;   // per entry, sorted by group: half << 1 | negated, or kCarried
    std::vector<AffinePoint> bucket;  // per group: the sum of its entries
    std::vector<uint8_t> present;     // per group: the sum is finite
    std::vector<Point> window_sums;
    // One block of groups at a time:
    std::vector<AffinePoint> work;  // its entries' points
    std::vector<uint8_t> inf;       // per entry: the element is infinity
    std::vector<uint32_t> bstart, blen;  // per group of the block, into work
    std::vector<uint32_t> active;        // groups of the block with two or more elements
    std::vector<FieldElement> den;       // per pair
    std::vector<FieldElement> pre;       // per pair: prefix products
    std::vector<PairKind> kind;          // per pair
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

inline bool same(const FieldElement& a, const FieldElement& b) { return a.equal_mask(b) != 0; }

// One round of pairwise additions inside every group of the block with two
// or more elements; the group lists shrink to half (rounded up).
void pair_round(BucketScratch& s) {
    size_t npairs = 0;
    for (const uint32_t g : s.active) npairs += s.blen[g] / 2;
    grow(s.den, npairs);
    grow(s.pre, npairs);
    grow(s.kind, npairs);

    // Denominators and their prefix products, in kLanes interleaved chains:
    // each product waits for the one before it in its chain, so independent
    // chains let the multiplications overlap.
    FieldElement acc[kLanes];
    for (FieldElement& a : acc) a = FieldElement::one();
    size_t p = 0;
    for (const uint32_t g : s.active) {
        const uint32_t st = s.bstart[g], l = s.blen[g];
        for (uint32_t a = st; a + 1 < st + l; a += 2, ++p) {
            const uint32_t b = a + 1;
            const AffinePoint& pa = s.work[a];
            const AffinePoint& pb = s.work[b];
            FieldElement d = FieldElement::one();
            PairKind kind;
            if (s.inf[a]) {
                kind = PairKind::keep_second;
            } else if (s.inf[b]) {
                kind = PairKind::keep_first;
            } else if (!same(pa.x, pb.x)) {
                kind = PairKind::add;
                d = pb.x - pa.x;
            } else if (same(pa.y, pb.y) && !pa.y.is_zero_mask()) {
                kind = PairKind::dbl;
                d = pa.y.dbl();
            } else {
                kind = PairKind::to_infinity;
            }
            s.kind[p] = kind;
            s.den[p] = d;
            FieldElement& chain = acc[p % kLanes];
            s.pre[p] = chain;
            chain = chain * d;
        }
    }
    // One inversion of the product of the chains gives each chain's inverse;
    // then back down each chain, after which den[p] holds the inverse of
    // pair p's denominator.
    const FieldElement a01 = acc[0] * acc[1], a23 = acc[2] * acc[3];
    const FieldElement all = (a01 * a23).inverse_var();
    FieldElement inv[kLanes] = {all * a23 * acc[1], all * a23 * acc[0], all * a01 * acc[3], all * a01 * acc[2]};
    for (size_t q = npairs; q-- > 0;) {
        FieldElement& chain = inv[q % kLanes];
        const FieldElement d = s.den[q];
        s.den[q] = chain * s.pre[q];
        chain = chain * d;
    }

    // The sums, written to the front of each group's list. Pair k of a group
    // reads positions 2k and 2k + 1 and writes position k, so going forward
    // never overwrites an element still to be read.
    p = 0;
    for (const uint32_t g : s.active) {
        const uint32_t st = s.bstart[g], l = s.blen[g];
        uint32_t out = st;
        for (uint32_t a = st; a + 1 < st + l; a += 2, ++p, ++out) {
            const uint32_t b = a + 1;
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
        s.blen[g] = (l + 1) / 2;
    }
    size_t keep = 0;
    for (const uint32_t g : s.active)
        if (s.blen[g] >= 2) s.active[keep++] = g;
    s.active.resize(keep);
}

// Sums the entries of groups [0, groups) block by block into bucket[] and
// present[].
void sum_groups(BucketScratch& s, size_t groups, std::span<const AffinePoint> points) {
    size_t g = 0;
    while (g < groups) {
        size_t g1 = g, entries = 0;
        while (g1 < groups) {
            const size_t cnt = s.start[g1 + 1] - s.start[g1];
            if (g1 > g && entries + cnt > kBlockEntries) break;
            entries += cnt;
            ++g1;
        }
        const size_t ng = g1 - g;
        grow(s.work, entries);
        grow(s.inf, entries);
        grow(s.bstart, ng);
        grow(s.blen, ng);
        const uint32_t base = s.start[g];
        s.active.clear();
        for (size_t k = 0; k < ng; ++k) {
            s.bstart[k] = s.start[g + k] - base;
            s.blen[k] = s.start[g + k + 1] - s.start[g + k];
            if (s.blen[k] >= 2) s.active.push_back(static_cast<uint32_t>(k));
        }
        // The entries' points: a half point with its sign, or the bucket
        // an earlier pass left. The points are read in bucket order, that
        // is at random, so each is requested a few entries ahead.
        constexpr uint32_t kAhead = 12;
        const uint32_t last = s.start[g1];
        for (size_t k = 0; k < ng; ++k) {
            for (uint32_t e = s.start[g + k]; e < s.start[g + k + 1]; ++e) {
                if (e + kAhead < last) {
                    const uint32_t ahead = s.order[e + kAhead];
                    if (ahead != kCarried) {
                        const size_t hi = ahead >> 2;
                        __builtin_prefetch((ahead & 2) ? static_cast<const void*>(&s.lx[hi]) : &points[hi].x);
                        __builtin_prefetch(&points[hi].y);
                    }
                }
                const uint32_t o = s.order[e];
                AffinePoint& w = s.work[e - base];
                s.inf[e - base] = 0;
                if (o == kCarried) {
                    w = s.bucket[g + k];
                    continue;
                }
                const size_t h = o >> 1, i = h >> 1;
                w.x = (h & 1) ? s.lx[i] : points[i].x;
                w.y = (o & 1) ? points[i].y.negate() : points[i].y;
            }
        }
        while (!s.active.empty()) pair_round(s);
        for (size_t k = 0; k < ng; ++k) {
            const bool finite = s.blen[k] >= 1 && !s.inf[s.bstart[k]];
            s.present[g + k] = finite;
            if (finite) s.bucket[g + k] = s.work[s.bstart[k]];
        }
        g = g1;
    }
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
    const int half_range = 1 << (c - 1);
    for (size_t j0 = 0; j0 < windows; j0 += per_pass) {
        const size_t jn = std::min(per_pass, windows - j0);
        const size_t groups = jn * nbuckets;
        grow(s.start, groups + 1);
        grow(s.fill, groups);
        grow(s.bucket, groups);
        grow(s.present, groups);
        // A window split over several passes (then jn == 1) carries its
        // buckets from one to the next.
        const bool split = half_chunk < halves;
        if (split) std::fill_n(s.present.begin(), groups, uint8_t{0});
        for (size_t h0 = 0; h0 < halves; h0 += half_chunk) {
            const size_t h1 = std::min(halves, h0 + half_chunk);
            grow(s.digits, (h1 - h0) * jn);

            // Digits (advancing each half's carry) and bucket counts, kept
            // in start[g + 1] until the prefix sums.
            std::fill_n(s.start.begin(), groups + 1, uint32_t{0});
            if (split)
                for (size_t g = 0; g < groups; ++g) s.start[g + 1] += s.present[g];
            for (size_t h = h0; h < h1; ++h) {
                const uint64_t* mag = &s.mag[2 * h];
                int carry = s.carry[h];
                int16_t* d = &s.digits[(h - h0) * jn];
                for (size_t t = 0; t < jn; ++t) {
                    int v = static_cast<int>(bits128(mag, static_cast<unsigned>((j0 + t) * c), c)) + carry;
                    carry = v > half_range;
                    if (carry) v -= 2 * half_range;
                    d[t] = static_cast<int16_t>(v);
                    if (v != 0) ++s.start[t * nbuckets + static_cast<size_t>(v < 0 ? -v : v)];
                }
                s.carry[h] = static_cast<uint8_t>(carry);
            }
            for (size_t g = 0; g < groups; ++g) {
                s.start[g + 1] += s.start[g];
                s.fill[g] = s.start[g];
            }
            grow(s.order, s.start[groups]);
            if (split)
                for (size_t g = 0; g < groups; ++g)
                    if (s.present[g]) s.order[s.fill[g]++] = kCarried;
            for (size_t h = h0; h < h1; ++h) {
                const int16_t* d = &s.digits[(h - h0) * jn];
                for (size_t t = 0; t < jn; ++t) {
                    const int v = d[t];
                    if (v == 0) continue;
                    const size_t g = t * nbuckets + static_cast<size_t>(v < 0 ? -v : v) - 1;
                    s.order[s.fill[g]++] =
                        static_cast<uint32_t>(h << 1) | static_cast<uint32_t>((v < 0) != (s.neg[h] != 0));
                }
            }
            sum_groups(s, groups, points);
        }

        // Each window's sum: sum_b (b + 1) bucket_b by running sums.
        for (size_t t = 0; t < jn; ++t) {
            Point running = Point::infinity_point(), sum = Point::infinity_point();
            for (size_t b = nbuckets; b-- > 0;) {
                const size_t g = t * nbuckets + b;
                if (s.present[g]) running.add_affine_var(s.bucket[g].x, s.bucket[g].y);
                if (!running.infinity) sum.add_assign(running);
            }
            s.window_sums[j0 + t] = sum;
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
