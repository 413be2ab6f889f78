// The verifier's sum over the 128 vector generators. They never change, so
// each keeps its multiples 2^(8t) P for t = 0 .. 32 (affine, made once per
// process): a scalar read in 33 signed base-256 digits is then a sum of
// digit times a stored point, with no doublings at all (and no use for the
// endomorphism, whose split would only add work here).
// The digit-times-point terms of all 128 scalars go into 128 buckets by the
// digit's size, each bucket is summed in affine coordinates by rounds of
// pairwise additions that share one field inversion per round, and the
// buckets are combined by the usual running sum: about 4,200 cheap affine
// additions and 256 Jacobian ones in all.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

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

// Per-thread scratch: the bucketed terms, the differences to invert.
struct Scratch {
    AffinePoint term[kMaxTerms];
    AffinePoint sorted[kMaxTerms];
    FieldElement dx[kMaxTerms / 2];
    uint8_t bucket[kMaxTerms];
    uint32_t start[kBuckets + 1];
    uint32_t len[kBuckets];
};

}  // namespace

Point vector_generator_sum(const Scalar* kg, const Scalar* kh) {
    const Shifted& tab = shifted();
    static thread_local std::unique_ptr<Scratch> scratch;
    if (!scratch) scratch = std::make_unique<Scratch>();
    Scratch& s = *scratch;

    // Digits into terms: bucket |d| - 1, the point negated for d < 0.
    size_t n = 0;
    for (size_t i = 0; i < kGens; ++i) {
        const Scalar& k = i < kBits ? kg[i] : kh[i - kBits];
        int carry = 0;
        for (size_t t = 0; t < kDigits; ++t) {
            int d = carry + (t < 32 ? static_cast<int>((k.limb[t / 8] >> (8 * (t % 8))) & 0xFF) : 0);
            carry = d >= 128 ? 1 : 0;
            d -= carry << 8;
            if (d == 0) continue;
            const AffinePoint& e = tab.at[i][t];
            s.term[n].x = e.x;
            s.term[n].y = d < 0 ? e.y.negate() : e.y;
            s.bucket[n++] = static_cast<uint8_t>((d < 0 ? -d : d) - 1);
        }
    }
    // Counting sort into the buckets.
    std::memset(s.len, 0, sizeof s.len);
    for (size_t j = 0; j < n; ++j) ++s.len[s.bucket[j]];
    s.start[0] = 0;
    for (size_t b = 0; b < kBuckets; ++b) s.start[b + 1] = s.start[b] + s.len[b];
    {
        uint32_t fill[kBuckets];
        std::memcpy(fill, s.start, sizeof fill);
        for (size_t j = 0; j < n; ++j) s.sorted[fill[s.bucket[j]]++] = s.term[j];
    }
    // Rounds of pairwise affine additions within each bucket: the pairs of
    // a round share one inversion. Equal x (a doubling or a cancellation)
    // would need a relation between fixed generators that nobody knows; it
    // is handled exactly anyway, by the Jacobian formulas.
    for (;;) {
        size_t pairs = 0;
        for (size_t b = 0; b < kBuckets; ++b) {
            const AffinePoint* p = s.sorted + s.start[b];
            for (uint32_t j = 0; j + 1 < s.len[b]; j += 2) s.dx[pairs++] = p[j + 1].x - p[j].x;
        }
        if (pairs == 0) break;
        FieldElement::batch_inverse(s.dx, pairs);
        size_t q = 0;
        for (size_t b = 0; b < kBuckets; ++b) {
            AffinePoint* p = s.sorted + s.start[b];
            uint32_t out = 0;
            uint32_t j = 0;
            for (; j + 1 < s.len[b]; j += 2) {
                const AffinePoint& a = p[j];
                const AffinePoint& c = p[j + 1];
                const FieldElement& inv = s.dx[q++];
                if (inv.is_zero()) {
                    // Same x: sum by the general formulas, affine again.
                    Point r = Point::from_affine(a);
                    r.add_assign(Point::from_affine(c));
                    if (r.infinity) continue;
                    r.to_affine_assign();
                    p[out++] = AffinePoint{r.X, r.Y};
                    continue;
                }
                const FieldElement lambda = (c.y - a.y) * inv;
                const FieldElement x3 = lambda.sqr() - a.x - c.x;
                const FieldElement y3 = lambda * (a.x - x3) - a.y;
                p[out++] = AffinePoint{x3, y3};
            }
            if (j < s.len[b]) p[out++] = p[j];
            s.len[b] = out;
        }
    }
    // sum (b + 1) B_b = sum over b of the running sum from the top.
    Point running = Point::infinity_point(), total = Point::infinity_point();
    for (size_t b = kBuckets; b-- > 0;) {
        if (s.len[b]) running.add_affine_var(s.sorted[s.start[b]].x, s.sorted[s.start[b]].y);
        total.add_assign(running);
    }
    return total;
}

void warm_up_generator_tables() { (void)shifted(); }

}  // namespace qorvex::rangeproof
