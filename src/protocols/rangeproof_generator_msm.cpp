// The verifier's sum over the 128 vector generators. They never change, so
// each keeps its multiples 2^(8t) P for t = 0 .. 32 (affine, made once per
// process): a scalar read in 33 signed base-256 digits is then a sum of
// digit times a stored point, with no doublings at all (and no use for the
// endomorphism, whose split would only add work here).
// The digit-times-point terms of all 128 scalars go into 128 buckets by the
// digit's size, each bucket is summed by the affine rounds of the
// multi-scalar engine (pairwise additions sharing one field inversion per
// round), and the buckets are combined by the usual running sum: about 4,200
// cheap affine additions and 256 Jacobian ones in all.
#include <cstring>
#include <memory>
#include <vector>

#include "arith/msm.h"
#include "protocols/rangeproof.h"
#include "protocols/rangeproof_sum.h"

namespace qorvex::rangeproof {

namespace {

constexpr size_t kGens = 2 * kBits;
constexpr size_t kDigits = 33;       // 256 bits in base 256, and a carry
constexpr size_t kBuckets = 128;     // digit sizes 1 .. 128
constexpr size_t kMaxTerms = kGens * kDigits;

struct Shifted {
    AffinePoint at[kGens][kDigits];  // 2^(8t) P
};

const Shifted& shifted() {
    static const Shifted* made = [] {
        auto t = std::make_unique<Shifted>();
        const Generators& gens = generators();
        std::vector<Point> pts(kGens * kDigits);
        std::vector<FieldElement> zs(kGens * kDigits);
        for (size_t i = 0; i < kGens; ++i) {
            Point p = Point::from_affine(i < kBits ? gens.g[i] : gens.h[i - kBits]);
            for (size_t d = 0; d < kDigits; ++d) {
                pts[i * kDigits + d] = p;
                for (int k = 0; k < 8; ++k) p.dbl_assign();
            }
        }
        for (size_t i = 0; i < pts.size(); ++i) zs[i] = pts[i].Z;
        FieldElement::batch_inverse(zs.data(), zs.size());
        for (size_t i = 0; i < pts.size(); ++i) {
            const FieldElement z2 = zs[i].sqr();
            t->at[i / kDigits][i % kDigits] = AffinePoint{pts[i].X * z2, pts[i].Y * z2 * zs[i]};
        }
        return t.release();
    }();
    return *made;
}

// Per-thread scratch: every scalar's digits, the terms sorted by bucket.
struct Scratch {
    int16_t digit[kGens][kDigits];
    AffinePoint sorted[kMaxTerms];
    uint32_t start[kBuckets + 1];
    AffinePoint bucket[kBuckets];
    uint8_t present[kBuckets];
};

}  // namespace

Point vector_generator_sum(const Scalar* kg, const Scalar* kh) {
    const Shifted& tab = shifted();
    static thread_local std::unique_ptr<Scratch> scratch;
    if (!scratch) scratch = std::make_unique<Scratch>();
    Scratch& s = *scratch;

    // Signed base-256 digits, and how many terms each bucket |d| - 1 gets.
    uint32_t count[kBuckets] = {};
    for (size_t i = 0; i < kGens; ++i) {
        const Scalar& k = i < kBits ? kg[i] : kh[i - kBits];
        int carry = 0;
        for (size_t t = 0; t < kDigits; ++t) {
            int d = carry + (t < 32 ? static_cast<int>((k.limb[t / 8] >> (8 * (t % 8))) & 0xFF) : 0);
            carry = d >= 128 ? 1 : 0;
            d -= carry << 8;
            s.digit[i][t] = static_cast<int16_t>(d);
            if (d != 0) ++count[(d < 0 ? -d : d) - 1];
        }
    }
    // The terms straight into their buckets' places, negated for d < 0.
    s.start[0] = 0;
    for (size_t b = 0; b < kBuckets; ++b) s.start[b + 1] = s.start[b] + count[b];
    uint32_t fill[kBuckets];
    std::memcpy(fill, s.start, sizeof fill);
    for (size_t i = 0; i < kGens; ++i) {
        for (size_t t = 0; t < kDigits; ++t) {
            const int d = s.digit[i][t];
            if (d == 0) continue;
            const AffinePoint& e = tab.at[i][t];
            AffinePoint& out = s.sorted[fill[(d < 0 ? -d : d) - 1]++];
            out.x = e.x;
            out.y = d < 0 ? e.y.negate() : e.y;
        }
    }
    // Each bucket summed by the multi-scalar engine's affine rounds. Equal
    // x within a bucket (a doubling or a cancellation) would need a relation
    // between fixed generators that nobody knows; those rounds handle it
    // exactly anyway.
    msm_sum_groups(std::span<const AffinePoint>(s.sorted, s.start[kBuckets]),
                   std::span<const uint32_t>(s.start, kBuckets + 1), s.bucket, s.present);
    // sum (b + 1) B_b = sum over b of the running sum from the top.
    Point running = Point::infinity_point(), total = Point::infinity_point();
    for (size_t b = kBuckets; b-- > 0;) {
        if (s.present[b]) running.add_affine_var(s.bucket[b].x, s.bucket[b].y);
        total.add_assign(running);
    }
    return total;
}

void warm_up_generator_tables() { (void)shifted(); }

}  // namespace qorvex::rangeproof
