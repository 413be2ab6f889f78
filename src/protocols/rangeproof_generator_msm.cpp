// The verifier's sum over the 128 vector generators. They never change, so
// each keeps a table of its odd multiples 1P, 3P, ..., 127P (affine, made
// once per process), and a sum is one run of 128 doublings with width-8
// non-adjacent digits of both GLV halves of every scalar, about 28 mixed
// additions per generator and no work per call for the tables. The images
// under the endomorphism are (beta x, y), formed as they are added.
#include <algorithm>
#include <cstring>
#include <memory>

#include "arith/point_mul.h"
#include "arith/point_table.h"
#include "protocols/rangeproof.h"
#include "protocols/rangeproof_sum.h"

namespace qorvex::rangeproof {

namespace {

constexpr unsigned kWidth = 8;
constexpr size_t kEntries = size_t{1} << (kWidth - 2);  // odd multiples up to 127
constexpr size_t kGens = 2 * kBits;

struct OddMultiples {
    AffinePoint entry[kGens][kEntries];
};

const OddMultiples& odd_multiples() {
    static const OddMultiples* made = [] {
        auto* t = new OddMultiples;
        const Generators& gens = generators();
        auto* x = new FieldElement[kGens][kEntries];
        auto* y = new FieldElement[kGens][kEntries];
        FieldElement zi[kGens];
        for (size_t i = 0; i < kGens; ++i) {
            const AffinePoint& a = i < kBits ? gens.g[i] : gens.h[i - kBits];
            zi[i] = odd_multiples_shared_z(Point::from_affine(a), kEntries, x[i], y[i]);
        }
        FieldElement::batch_inverse(zi, kGens);
        for (size_t i = 0; i < kGens; ++i) {
            const FieldElement z2 = zi[i].sqr();
            const FieldElement z3 = z2 * zi[i];
            for (size_t j = 0; j < kEntries; ++j) t->entry[i][j] = AffinePoint{x[i][j] * z2, y[i][j] * z3};
        }
        delete[] x;
        delete[] y;
        return t;
    }();
    return *made;
}

constexpr size_t kMaxDigits = 260;

}  // namespace

Point vector_generator_sum(const Scalar* kg, const Scalar* kh) {
    const OddMultiples& tab = odd_multiples();
    // Two halves per generator, k = +-k1 + +-k2 lambda, their digits stored
    // by position so that each doubling step reads one row. Per-thread
    // scratch, allocated by a thread's first verification (std::bad_alloc
    // then) and reused.
    struct Digits {
        int8_t at[kMaxDigits][2 * kGens];
        bool negated[2 * kGens];
    };
    static thread_local std::unique_ptr<Digits> scratch;
    if (!scratch) scratch = std::make_unique<Digits>();
    Digits& d = *scratch;
    std::memset(d.at, 0, sizeof d.at);
    size_t top = 0;
    int32_t tmp[kMaxDigits];
    for (size_t i = 0; i < kGens; ++i) {
        const GlvSplit s = (i < kBits ? kg[i] : kh[i - kBits]).split_lambda_var();
        for (int half = 0; half < 2; ++half) {
            const size_t h = 2 * i + static_cast<size_t>(half);
            const size_t n = wnaf_int(half ? s.k2 : s.k1, kWidth, tmp, kMaxDigits);
            for (size_t b = 0; b < n; ++b) d.at[b][h] = static_cast<int8_t>(tmp[b]);
            d.negated[h] = (half ? s.neg2 : s.neg1) != 0;
            top = std::max(top, n);
        }
    }
    Point acc = Point::infinity_point();
    for (size_t bit = top; bit-- > 0;) {
        if (!acc.infinity) acc.dbl_assign();
        const int8_t* row = d.at[bit];
        for (size_t h = 0; h < 2 * kGens; ++h) {
            const int32_t digit = row[h];
            if (digit == 0) continue;
            const AffinePoint& e = tab.entry[h / 2][static_cast<size_t>((digit < 0 ? -digit : digit) / 2)];
            const bool neg = (digit < 0) != d.negated[h];
            const FieldElement x = (h & 1) ? e.x * FieldElement::beta() : e.x;
            acc.add_affine_var(x, neg ? e.y.negate() : e.y);
        }
    }
    return acc;
}

void warm_up_generator_tables() { (void)odd_multiples(); }

}  // namespace qorvex::rangeproof
