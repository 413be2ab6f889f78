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
// left. The weighted sum of each window's buckets is taken apart into plain
// sums (see Reduction), which the same affine rounds add, and one run of
// doublings over every window and bit finishes the sum.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "arith/msm.h"
#include "arith/point_adx.h"

namespace qorvex {

namespace {

// Entries per pass: the digits and the sorted entry list then take 6 MB.
constexpr size_t kPassEntries = size_t{1} << 20;

// Entries summed together: consecutive buckets are taken until their
// entries would pass this, so that the block's points (256 KB) and the
// round's denominators stay in the core's cache through all its rounds.
constexpr size_t kBlockEntries = 4096;

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
    std::vector<AffinePoint> lines;     // per row and column of the reduction: its sum
    std::vector<uint8_t> lines_present;
    std::vector<AffinePoint> bit_sums;  // per window and bit: D_k of the reduction
    std::vector<uint8_t> bit_present;
    // One block of groups at a time:
    std::vector<AffinePoint> work;  // its entries' points
    std::vector<uint8_t> inf;       // per entry: the element is infinity
    std::vector<uint32_t> bstart, blen;  // per group of the block, into work
    std::vector<uint32_t> active;        // groups of the block with two or more elements
    std::vector<FieldElement> den;       // per pair
    std::vector<FieldElement> pre;       // per pair: prefix products
    std::vector<PairKind> kind;          // per pair
    std::vector<uint32_t> pair_a;        // per pair: its first element (the second is a stride on)
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
// or more elements; the group lists shrink to half (rounded up). Element e
// of a group sits at bstart + e * stride: each pair (2k, 2k + 1) leaves its
// sum in the place of its first element, which is where element k of the
// next round (stride doubled) lives, so no pair overwrites another's
// operands in any order, and an odd last element is already in its place.
void pair_round(BucketScratch& s, uint32_t stride) {
    size_t npairs = 0;
    for (const uint32_t g : s.active) npairs += s.blen[g] / 2;
    grow(s.den, npairs);
    grow(s.pre, npairs);
    grow(s.kind, npairs);
    grow(s.pair_a, npairs);

    // Denominators first, then their running products in kLanes interleaved
    // chains (pair p in chain p mod kLanes, pre[p] the product of its chain
    // up to and including p): each product waits for the one before it in
    // its chain, so independent chains let the multiplications overlap, and
    // a loop of products alone keeps them back to back. The operands are
    // canonical, so equal x show as a zero difference.
    size_t p = 0;
    for (const uint32_t g : s.active) {
        const uint32_t st = s.bstart[g], l = s.blen[g];
        for (uint32_t k = 0; k + 1 < l; k += 2, ++p) {
            const uint32_t a = st + k * stride, b = a + stride;
            s.pair_a[p] = a;
            const AffinePoint& pa = s.work[a];
            const AffinePoint& pb = s.work[b];
            FieldElement& d = s.den[p];
            d = pb.x - pa.x;
            PairKind kind = PairKind::add;
            if ((s.inf[a] | s.inf[b]) != 0 || (d.limb[0] | d.limb[1] | d.limb[2] | d.limb[3]) == 0) {
                if (s.inf[a]) {
                    kind = PairKind::keep_second;
                    d = FieldElement::one();
                } else if (s.inf[b]) {
                    kind = PairKind::keep_first;
                    d = FieldElement::one();
                } else if (same(pa.y, pb.y) && !pa.y.is_zero_mask()) {
                    kind = PairKind::dbl;
                    d = pa.y.dbl();
                } else {
                    kind = PairKind::to_infinity;
                    d = FieldElement::one();
                }
            }
            s.kind[p] = kind;
        }
    }
    for (size_t q = 0; q < std::min(npairs, kLanes); ++q) s.pre[q] = s.den[q];
    for (size_t q = kLanes; q < npairs; ++q) field_mul(s.pre[q].limb, s.pre[q - kLanes].limb, s.den[q].limb);
    // One inversion of the product of the chains gives each chain's inverse.
    FieldElement acc[kLanes];
    for (size_t l = 0; l < kLanes; ++l) {
        // The last pair of chain l, if it has one.
        const size_t last = npairs > l ? l + (npairs - 1 - l) / kLanes * kLanes : SIZE_MAX;
        acc[l] = last != SIZE_MAX ? s.pre[last] : FieldElement::one();
    }
    const FieldElement a01 = acc[0] * acc[1], a23 = acc[2] * acc[3];
    const FieldElement all = (a01 * a23).inverse_var();
    FieldElement inv[kLanes] = {all * a23 * acc[1], all * a23 * acc[0], all * a01 * acc[3], all * a01 * acc[2]};

    // Back down the chains, each pair's sum as soon as its inverse is known:
    // the sum's dependent products then overlap the next step of the chains.
    // Pairs p and p - 1 are in different chains, so two plain additions in a
    // row go down together.
#if QORVEX_HAVE_POINT_ADX
    const bool adx = field_detail::point_adx_enabled();
    auto step_of = [&](size_t q) {
        const uint32_t a = s.pair_a[q];
        return AffinePairStep{s.work[a].x.limb, s.work[a + stride].x.limb, inv[q % kLanes].limb,
                              s.pre[q - kLanes].limb, s.den[q].limb};
    };
#endif
    while (p > 0) {
#if QORVEX_HAVE_POINT_ADX
        if (adx && p >= kLanes + 2 && s.kind[p - 1] == PairKind::add && s.kind[p - 2] == PairKind::add) {
            const AffinePairStep both[2] = {step_of(p - 1), step_of(p - 2)};
            qorvex_affine_pair_step2_adx(both);
            p -= 2;
            continue;
        }
        if (adx && p >= kLanes + 1 && s.kind[p - 1] == PairKind::add) {
            const AffinePairStep one = step_of(p - 1);
            qorvex_affine_pair_step_adx(one.a, one.b, one.chain, one.pre, one.den);
            --p;
            continue;
        }
#endif
        --p;
        const uint32_t a = s.pair_a[p], b = a + stride;
        FieldElement& chain = inv[p % kLanes];
        FieldElement di;
        if (p >= kLanes) {
            field_mul(di.limb, chain.limb, s.pre[p - kLanes].limb);
            field_mul(chain.limb, chain.limb, s.den[p].limb);
        } else {
            di = chain;
        }
        AffinePoint& pa = s.work[a];
        const AffinePoint& pb = s.work[b];
        switch (s.kind[p]) {
            case PairKind::add: {
#if QORVEX_HAVE_POINT_ADX
                if (adx) {
                    qorvex_affine_add_adx(pa.x.limb, pb.x.limb, di.limb);
                    break;
                }
#endif
                const FieldElement lambda = (pb.y - pa.y) * di;
                const FieldElement x3 = lambda.sqr() - pa.x - pb.x;
                pa.y = lambda * (pa.x - x3) - pa.y;
                pa.x = x3;
                break;
            }
            case PairKind::dbl: {
                const FieldElement xx = pa.x.sqr();
                const FieldElement lambda = (xx + xx + xx) * di;
                const FieldElement x3 = lambda.sqr() - pa.x.dbl();
                pa.y = lambda * (pa.x - x3) - pa.y;
                pa.x = x3;
                break;
            }
            case PairKind::to_infinity:
                s.inf[a] = 1;
                break;
            case PairKind::keep_first:
                break;
            case PairKind::keep_second:
                pa = pb;
                s.inf[a] = s.inf[b];
                break;
        }
    }
    for (const uint32_t g : s.active) s.blen[g] = (s.blen[g] + 1) / 2;
    size_t keep = 0;
    for (const uint32_t g : s.active)
        if (s.blen[g] >= 2) s.active[keep++] = g;
    s.active.resize(keep);
}

// Sums the entries of groups [0, groups) (the entries of group g are
// start[g] .. start[g + 1] - 1) block by block into out[] and present[].
// gather(g, g1, w) writes the points of the entries of groups [g, g1) to w,
// entry e at w[e - start[g]].
template <typename Gather>
void sum_groups(BucketScratch& s, size_t groups, Gather&& gather, AffinePoint* out, uint8_t* present) {
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
        gather(g, g1, s.work.data());
        std::fill_n(s.inf.begin(), entries, uint8_t{0});
        for (uint32_t stride = 1; !s.active.empty(); stride <<= 1) pair_round(s, stride);
        for (size_t k = 0; k < ng; ++k) {
            const bool finite = s.blen[k] >= 1 && !s.inf[s.bstart[k]];
            present[g + k] = finite;
            if (finite) out[g + k] = s.work[s.bstart[k]];
        }
        g = g1;
    }
}

// Entries that are points of an array, order[e] the index into src.
auto gather_from(const BucketScratch& s, const AffinePoint* src) {
    return [&s, src](size_t g, size_t g1, AffinePoint* w) {
        const uint32_t base = s.start[g];
        for (uint32_t e = base; e < s.start[g1]; ++e) w[e - base] = src[s.order[e]];
    };
}

// How the weighted sum of a window's buckets, sum_b (b + 1) bucket_b over
// m = 2^(c-1) buckets, is taken apart. With b = hi L + lo (L = 2^lbits,
// K = m / L rows), b + 1 = hi L + (lo + 1), so the sum is
//
//   L * sum_hi hi * row_hi + sum_lo (lo + 1) * col_lo,
//
// row_hi the sum of row hi's L buckets and col_lo that of column lo's K
// buckets: 2m plain sums (row 0, of weight 0, is left out). Each weight w
// is then written in binary, w = sum_k 2^k [bit k of w], so the window's
// sum is sum_k 2^k D_k with D_k the plain sum of the rows and columns whose
// weight (hi L, or lo + 1) has bit k set. Plain sums are what the affine
// rounds add cheaply, and the 2^k of every window and bit are left to one
// run of doublings over all of them at the end (bit k of window j weighs
// 2^(c j + k)).
struct Reduction {
    unsigned lbits;
    size_t cols, rows;
};

Reduction reduction_for(unsigned c) {
    Reduction r;
    const unsigned mbits = c - 1;
    r.lbits = mbits - mbits / 2;
    r.cols = size_t{1} << r.lbits;
    r.rows = size_t{1} << (mbits / 2);
    return r;
}

// The entries the reduction of one window adds (all buckets present), for
// 2 <= c <= 16. The width model asks for every width on every call, so the
// counts are made once.
size_t reduction_entries(unsigned c) {
    static const std::array<size_t, 17> counts = [] {
        std::array<size_t, 17> out{};
        for (unsigned w = 2; w <= 16; ++w) {
            const Reduction r = reduction_for(w);
            const size_t m = size_t{1} << (w - 1);
            size_t e = m + (m - r.cols);
            for (size_t hi = 1; hi < r.rows; ++hi) e += static_cast<size_t>(std::popcount(hi));
            for (size_t lo = 0; lo < r.cols; ++lo) e += static_cast<size_t>(std::popcount(lo + 1));
            out[w] = e;
        }
        return out;
    }();
    return counts[c];
}

// The weighted bucket sums of jn windows of width c (bucket[t * 2^(c-1) + b]
// for bucket b of window t), each as its c plain sums D_k of Reduction,
// into bit_sums[t * c + k]: first the rows and columns, then D_k from them.
void window_bit_sums(BucketScratch& s, size_t jn, unsigned c, const AffinePoint* bucket, const uint8_t* present,
                     AffinePoint* bit_sums, uint8_t* bit_present) {
    const Reduction red = reduction_for(c);
    const size_t nbuckets = size_t{1} << (c - 1);
    const size_t row_groups = red.rows - 1, per_window = row_groups + red.cols;
    const size_t level1 = jn * per_window;
    grow(s.start, level1 + 1);
    grow(s.fill, level1);
    std::fill_n(s.start.begin(), level1 + 1, uint32_t{0});
    for (size_t t = 0; t < jn; ++t)
        for (size_t b = 0; b < nbuckets; ++b) {
            if (!present[t * nbuckets + b]) continue;
            const size_t hi = b >> red.lbits, lo = b & (red.cols - 1);
            if (hi) ++s.start[t * per_window + hi];
            ++s.start[t * per_window + row_groups + lo + 1];
        }
    for (size_t g = 0; g < level1; ++g) {
        s.start[g + 1] += s.start[g];
        s.fill[g] = s.start[g];
    }
    grow(s.order, s.start[level1]);
    for (size_t t = 0; t < jn; ++t)
        for (size_t b = 0; b < nbuckets; ++b) {
            const size_t g = t * nbuckets + b;
            if (!present[g]) continue;
            const size_t hi = b >> red.lbits, lo = b & (red.cols - 1);
            if (hi) s.order[s.fill[t * per_window + hi - 1]++] = static_cast<uint32_t>(g);
            s.order[s.fill[t * per_window + row_groups + lo]++] = static_cast<uint32_t>(g);
        }
    grow(s.lines, level1);
    grow(s.lines_present, level1);
    sum_groups(s, level1, gather_from(s, bucket), s.lines.data(), s.lines_present.data());

    const size_t level2 = jn * c;
    auto weight = [&](size_t q) -> size_t { return q < row_groups ? (q + 1) << red.lbits : q - row_groups + 1; };
    std::fill_n(s.start.begin(), level2 + 1, uint32_t{0});
    for (size_t t = 0; t < jn; ++t)
        for (size_t q = 0; q < per_window; ++q) {
            if (!s.lines_present[t * per_window + q]) continue;
            for (size_t w = weight(q), k = 0; w; w >>= 1, ++k)
                if (w & 1) ++s.start[t * c + k + 1];
        }
    for (size_t g = 0; g < level2; ++g) {
        s.start[g + 1] += s.start[g];
        s.fill[g] = s.start[g];
    }
    grow(s.order, s.start[level2]);
    for (size_t t = 0; t < jn; ++t)
        for (size_t q = 0; q < per_window; ++q) {
            const size_t line = t * per_window + q;
            if (!s.lines_present[line]) continue;
            for (size_t w = weight(q), k = 0; w; w >>= 1, ++k)
                if (w & 1) s.order[s.fill[t * c + k]++] = static_cast<uint32_t>(line);
        }
    sum_groups(s, level2, gather_from(s, s.lines.data()), bit_sums, bit_present);
}

}  // namespace

void msm_sum_groups(std::span<const AffinePoint> pts, std::span<const uint32_t> start, AffinePoint* out,
                    uint8_t* present) {
    if (start.size() < 2) return;
    const size_t groups = start.size() - 1;
    BucketScratch& s = bucket_scratch();
    grow(s.start, groups + 1);
    std::copy(start.begin(), start.end(), s.start.begin());
    const AffinePoint* src = pts.data();
    auto gather = [src, &start](size_t g, size_t g1, AffinePoint* w) {
        std::copy(src + start[g], src + start[g1], w);
    };
    sum_groups(s, groups, gather, out, present);
}

void msm_sum_indexed_groups(const AffinePoint* src, std::span<const uint32_t> order, std::span<const uint32_t> start,
                            AffinePoint* out, uint8_t* present) {
    if (start.size() < 2) return;
    const size_t groups = start.size() - 1;
    BucketScratch& s = bucket_scratch();
    grow(s.start, groups + 1);
    std::copy(start.begin(), start.end(), s.start.begin());
    // The points are read in group order, that is at random, so each is
    // requested a few entries ahead.
    auto gather = [src, &order, &start](size_t g, size_t g1, AffinePoint* w) {
        constexpr uint32_t kAhead = 12;
        const uint32_t base = start[g], last = start[g1];
        for (uint32_t e = base; e < last; ++e) {
            if (e + kAhead < last) __builtin_prefetch(&src[order[e + kAhead] >> 1]);
            const uint32_t o = order[e];
            const AffinePoint& p = src[o >> 1];
            AffinePoint& out_e = w[e - base];
            out_e.x = p.x;
            out_e.y = (o & 1) ? p.y.negate() : p.y;
        }
    };
    sum_groups(s, groups, gather, out, present);
}

Point msm_weighted_bucket_sum(const AffinePoint* bucket, const uint8_t* present, unsigned c) {
    BucketScratch& s = bucket_scratch();
    AffinePoint bits[16];
    uint8_t bits_present[16];
    window_bit_sums(s, 1, c, bucket, present, bits, bits_present);
    Point acc = Point::infinity_point();
    for (size_t k = c; k-- > 0;) {
        if (!acc.infinity) acc.dbl_halving_ct();
        if (bits_present[k]) acc.add_affine_var(bits[k].x, bits[k].y);
    }
    acc.is_generator = false;
    return acc;
}

unsigned msm_affine_window_bits(size_t m) {
    // Relative costs, measured: an entry of the affine rounds (with its
    // share of the inversion, the sorting and the copying) against one step
    // of the final run (a doubling and a mixed addition), and an entry of
    // the reduction (bucket sums, read in order and already in cache)
    // against one of a half point (gathered from all over the point list).
    // With the reduction's entries at full weight the model chose widths
    // one narrower than the fastest at 8, 143 and 10,239 terms
    // (BM_MsmBucketsWidth, medians of 5 interleaved runs: 5.81 against 6.13
    // µs per point at 143, 3.38 against 3.54 at 10,239).
    constexpr double kStep = 4.0;
    constexpr double kReductionEntry = 0.7;
    const double halves = 2.0 * static_cast<double>(m);
    unsigned best = 2;
    double best_cost = 0;
    for (unsigned c = 2; c <= 16; ++c) {
        const double windows = 128 / c + 1;
        const double cost =
            windows * (halves + kReductionEntry * static_cast<double>(reduction_entries(c)) + kStep * c);
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
    grow(s.bit_sums, windows * c);
    grow(s.bit_present, windows * c);

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
            // A half point with its sign, or the bucket an earlier pass
            // left. The points are read in bucket order, that is at random,
            // so each is requested a few entries ahead.
            auto gather_terms = [&s, points](size_t g, size_t g1, AffinePoint* work) {
                constexpr uint32_t kAhead = 12;
                const uint32_t base = s.start[g], last = s.start[g1];
                for (size_t gg = g; gg < g1; ++gg) {
                    for (uint32_t e = s.start[gg]; e < s.start[gg + 1]; ++e) {
                        if (e + kAhead < last) {
                            const uint32_t ahead = s.order[e + kAhead];
                            if (ahead != kCarried) {
                                const size_t hi = ahead >> 2;
                                __builtin_prefetch((ahead & 2) ? static_cast<const void*>(&s.lx[hi]) : &points[hi].x);
                                __builtin_prefetch(&points[hi].y);
                            }
                        }
                        const uint32_t o = s.order[e];
                        AffinePoint& w = work[e - base];
                        if (o == kCarried) {
                            w = s.bucket[gg];
                            continue;
                        }
                        const size_t h = o >> 1, i = h >> 1;
                        w.x = (h & 1) ? s.lx[i] : points[i].x;
                        w.y = (o & 1) ? points[i].y.negate() : points[i].y;
                    }
                }
            };
            sum_groups(s, groups, gather_terms, s.bucket.data(), s.present.data());
        }

        window_bit_sums(s, jn, c, s.bucket.data(), s.present.data(), &s.bit_sums[j0 * c], &s.bit_present[j0 * c]);
    }

    // sum over windows j and bits k of 2^(c j + k) D_(j, k), from the top.
    Point acc = Point::infinity_point();
    for (size_t t = windows * c; t-- > 0;) {
        if (!acc.infinity) acc.dbl_halving_ct();
        if (s.bit_present[t]) acc.add_affine_var(s.bit_sums[t].x, s.bit_sums[t].y);
    }
    acc.is_generator = false;
    return acc;
}

}  // namespace qorvex
