// The verifier's sum over the fixed bases: the 128 vector generators, G and
// H. They never change, so each keeps its multiples 2^(10t) P and
// 2^(10t + 1) P for t = 0 .. 25 (affine, made once per process, 432 KB): a
// scalar read in 26 signed base-1024 digits is then a sum of digit times a
// stored point, with no doublings at all (and no use for the endomorphism,
// whose split would only add work here).
// The digit-times-point terms of all 130 scalars go into buckets by the
// digit's size m: an odd m into bucket m with 2^(10t) P, an even one into
// bucket m / 2 with 2^(10t + 1) P, so only odd buckets and those up to 256
// fill (384 of 512). Each bucket is summed by the affine rounds of the
// multi-scalar engine (pairwise additions sharing one field inversion per
// round), and the buckets are combined by the engine's weighted sum, made
// of the same affine rounds: about 3,400 term additions and 850 for the
// buckets. Measured (BM_RangeProofGeneratorSum_Tables, fastest of 3 runs,
// one table per digit): widths 8 to 11 took 384, 351, 343 and 367 us
// against the 394 of the width-8 code with Jacobian bucket sums; the second
// table per digit took 3 % off width 10.
#include <cstring>
#include <memory>
#include <vector>

#include "arith/msm.h"
#include "protocols/pedersen.h"
#include "protocols/rangeproof.h"
#include "protocols/rangeproof_sum.h"

namespace qorvex::rangeproof {

namespace {

constexpr unsigned kWidth = 10;
constexpr size_t kGens = kBaseCount;
constexpr size_t kDigits = (256 + kWidth) / kWidth;  // 256 bits and a carry
constexpr size_t kBuckets = size_t{1} << (kWidth - 1);
constexpr size_t kMaxTerms = kGens * kDigits;

struct Shifted {
    // at[2 (i kDigits + t) + e] = 2^(kWidth t + e) P_i
    AffinePoint at[2 * kGens * kDigits];
};

const Shifted& shifted() {
    static const Shifted* made = [] {
        auto t = std::make_unique<Shifted>();
        const Generators& gens = generators();
        std::vector<Point> pts(2 * kGens * kDigits);
        std::vector<FieldElement> zs(2 * kGens * kDigits);
        for (size_t i = 0; i < kGens; ++i) {
            Point p = i < kBits       ? Point::from_affine(gens.g[i])
                      : i < 2 * kBits ? Point::from_affine(gens.h[i - kBits])
                      : i == kBaseG   ? Point::generator()
                                      : pedersen::generator_h();
            for (size_t d = 0; d < kDigits; ++d) {
                pts[2 * (i * kDigits + d)] = p;
                p.dbl_assign();
                pts[2 * (i * kDigits + d) + 1] = p;
                for (unsigned k = 1; k < kWidth; ++k) p.dbl_assign();
            }
        }
        for (size_t i = 0; i < pts.size(); ++i) zs[i] = pts[i].Z;
        FieldElement::batch_inverse(zs.data(), zs.size());
        for (size_t i = 0; i < pts.size(); ++i) {
            const FieldElement z2 = zs[i].sqr();
            t->at[i] = AffinePoint{pts[i].X * z2, pts[i].Y * z2 * zs[i]};
        }
        return t.release();
    }();
    return *made;
}

// kWidth bits of k from bit offset (zero past the top).
inline int digit_bits(const Scalar& k, unsigned offset) {
    if (offset >= 256) return 0;
    const unsigned w = offset / 64, b = offset % 64;
    uint64_t v = k.limb[w] >> b;
    if (b + kWidth > 64 && w < 3) v |= k.limb[w + 1] << (64 - b);
    return static_cast<int>(v & ((uint64_t{1} << kWidth) - 1));
}

// Per-thread scratch: every scalar's digits, the terms in bucket order.
struct Scratch {
    int16_t digit[kGens][kDigits];
    uint32_t order[kMaxTerms];  // table index << 1 | negated
    uint32_t start[kBuckets + 1];
    AffinePoint bucket[kBuckets];
    uint8_t present[kBuckets];
};

}  // namespace

Point fixed_generator_sum(const Scalar* k) {
    const Shifted& tab = shifted();
    static thread_local std::unique_ptr<Scratch> scratch;
    if (!scratch) scratch = std::make_unique<Scratch>();
    Scratch& s = *scratch;

    // Signed digits in [-2^(w-1) + 1, 2^(w-1)], and how many terms each
    // bucket |d| - 1 gets.
    constexpr int kHalf = 1 << (kWidth - 1);
    uint32_t count[kBuckets] = {};
    for (size_t i = 0; i < kGens; ++i) {
        int carry = 0;
        for (size_t t = 0; t < kDigits; ++t) {
            int d = carry + digit_bits(k[i], static_cast<unsigned>(t * kWidth));
            carry = d > kHalf ? 1 : 0;
            d -= carry << kWidth;
            s.digit[i][t] = static_cast<int16_t>(d);
            if (d != 0) {
                const int m = d < 0 ? -d : d;
                ++count[(m >> ((m & 1) ^ 1)) - 1];
            }
        }
    }
    s.start[0] = 0;
    for (size_t b = 0; b < kBuckets; ++b) s.start[b + 1] = s.start[b] + count[b];
    uint32_t fill[kBuckets];
    std::memcpy(fill, s.start, sizeof fill);
    for (size_t i = 0; i < kGens; ++i) {
        for (size_t t = 0; t < kDigits; ++t) {
            const int d = s.digit[i][t];
            if (d == 0) continue;
            const int m = d < 0 ? -d : d;
            const unsigned e = (m & 1) ^ 1;
            s.order[fill[(m >> e) - 1]++] =
                static_cast<uint32_t>((2 * (i * kDigits + t) + e) << 1) | (d < 0 ? 1u : 0u);
        }
    }
    // Equal x within a bucket (a doubling or a cancellation) would need a
    // relation between fixed bases that nobody knows; the affine rounds
    // handle it exactly anyway.
    msm_sum_indexed_groups(tab.at, std::span<const uint32_t>(s.order, s.start[kBuckets]),
                           std::span<const uint32_t>(s.start, kBuckets + 1), s.bucket, s.present);
    return msm_weighted_bucket_sum(s.bucket, s.present, kWidth);
}

void warm_up_generator_tables() { (void)shifted(); }

}  // namespace qorvex::rangeproof
