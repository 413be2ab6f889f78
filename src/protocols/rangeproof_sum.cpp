#include "protocols/rangeproof_sum.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "arith/point_mul.h"
#include "arith/point_table.h"
#include "protocols/pedersen.h"
#include "protocols/rangeproof.h"
#include "support/ct.h"
#include "support/wipe.h"

namespace qorvex::rangeproof {

static_assert(sizeof(BaseTable::t) / sizeof(AffinePoint) == kMulCtTableSize);

namespace {

struct Tables {
    BaseTable base[kBaseCount];
};

Point base_point(size_t i) {
    const Generators& gens = generators();
    if (i < kBits) return Point::from_affine(gens.g[i]);
    if (i < 2 * kBits) return Point::from_affine(gens.h[i - kBits]);
    if (i == kBaseG) return Point::generator();
    return pedersen::generator_h();
}

const Tables& tables() {
    static const Tables* made = [] {
        auto t = std::make_unique<Tables>();
        Point pts[kBaseCount];
        for (size_t i = 0; i < kBaseCount; ++i) pts[i] = base_point(i);
        make_tables(pts, kBaseCount, t->base);
        return t.release();
    }();
    return *made;
}

}  // namespace

// Odd multiples over one shared denominator per point, then one batch
// inversion for all the denominators.
void make_tables(const Point* points, size_t n, BaseTable* out) {
    constexpr size_t kEntries = sizeof out->t / sizeof out->t[0];
    std::vector<FieldElement> x(n * kEntries), y(n * kEntries), zi(n);
    for (size_t i = 0; i < n; ++i) {
        Point p = points[i];
        p.is_generator = false;
        zi[i] = odd_multiples_shared_z(p, kEntries, &x[i * kEntries], &y[i * kEntries]);
    }
    FieldElement::batch_inverse(zi.data(), n);
    const FieldElement& beta = FieldElement::beta();
    for (size_t i = 0; i < n; ++i) {
        const FieldElement z2 = zi[i].sqr();
        const FieldElement z3 = z2 * zi[i];
        for (size_t j = 0; j < kEntries; ++j) {
            const FieldElement ax = x[i * kEntries + j] * z2;
            const FieldElement ay = y[i * kEntries + j] * z3;
            out[i].t[j] = AffinePoint{ax, ay};
            out[i].tl[j] = AffinePoint{ax * beta, ay};
        }
    }
}

void warm_up_tables() {
    (void)tables();
    (void)fixed_table_2_64(kBits / 2);
}

const BaseTable* fixed_table_2_64(uint8_t base) {
    constexpr size_t kHalf = kBits / 2;
    static const BaseTable* made = [] {
        auto t = std::make_unique<BaseTable[]>(2 * kHalf);
        Point pts[2 * kHalf];
        for (size_t i = 0; i < 2 * kHalf; ++i) {
            Point p = base_point(i < kHalf ? kHalf + i : kBits + i);
            for (int d = 0; d < 64; ++d) p.dbl_assign();
            pts[i] = p;
        }
        make_tables(pts, 2 * kHalf, t.get());
        return t.release();
    }();
    if (base >= kHalf && base < kBits) return &made[base - kHalf];
    if (base >= kBits + kHalf && base < 2 * kBits) return &made[base - kBits];
    return nullptr;
}

const BaseTable& fixed_table(uint8_t base) { return tables().base[base]; }

Point fixed_sum_ct(const Scalar* k, const uint8_t* bases, size_t count) {
    const Tables& tab = tables();
    const BaseTable* ptrs[kMaxSumTerms];
    for (size_t i = 0; i < count; ++i) ptrs[i] = &tab.base[bases[i]];
    return table_sum_ct(k, ptrs, count);
}

Point table_sum_ct(const Scalar* k, const BaseTable* const* tab, size_t count) {
    struct Digits {
        Scalar u[kMaxSumTerms], v[kMaxSumTerms];
    };
    WipeOnExit<Digits> d;
    for (size_t i = 0; i < count; ++i) mul_ct_recode(k[i], d->u[i], d->v[i]);

    WipeOnExit<FieldElement> xw, yw;
    FieldElement& x = *xw;
    FieldElement& y = *yw;
    constexpr int top = kMulCtGroups - 1;
    const unsigned top_off = 5 * top;

    // The top group: the accumulator starts at the first base's entry.
    mul_ct_lookup(tab[0]->t, d->u[0].bits(top_off, 5), x, y);
    Point acc = Point::from_affine(x, y);
    acc.z_is_one = false;
    mul_ct_lookup(tab[0]->tl, d->v[0].bits(top_off, 5), x, y);
    acc.add_affine_unchecked_ct(x, y);
    for (size_t i = 1; i < count; ++i) {
        mul_ct_lookup(tab[i]->t, d->u[i].bits(top_off, 5), x, y);
        acc.add_affine_unchecked_ct(x, y);
        mul_ct_lookup(tab[i]->tl, d->v[i].bits(top_off, 5), x, y);
        acc.add_affine_unchecked_ct(x, y);
    }
    // Until group 1 every base's coefficient so far is a + b lambda with
    // |a|, |b| below 2^125 and a odd (as in mul_ct), so the accumulator
    // equals or opposes an entry only through a relation between distinct
    // bases, or between B and lambda B of one base, that nobody knows or
    // that does not exist: the additions without exceptional cases are
    // exact there. The last group, where coefficients reach their full
    // size (and a zero scalar makes its base's share vanish), takes the
    // complete addition.
    for (int g = top - 1; g >= 1; --g) {
        const unsigned off = static_cast<unsigned>(5 * g);
        for (int i = 0; i < 5; ++i) acc.dbl_halving_ct();
        for (size_t i = 0; i < count; ++i) {
            mul_ct_lookup(tab[i]->t, d->u[i].bits(off, 5), x, y);
            acc.add_affine_unchecked_ct(x, y);
            mul_ct_lookup(tab[i]->tl, d->v[i].bits(off, 5), x, y);
            acc.add_affine_unchecked_ct(x, y);
        }
    }
    for (int i = 0; i < 5; ++i) acc.dbl_halving_ct();
    for (size_t i = 0; i < count; ++i) {
        mul_ct_lookup(tab[i]->t, d->u[i].bits(0, 5), x, y);
        acc.add_affine_complete_ct(x, y, ct::mask(acc.infinity), 0);
        mul_ct_lookup(tab[i]->tl, d->v[i].bits(0, 5), x, y);
        acc.add_affine_complete_ct(x, y, ct::mask(acc.infinity), 0);
    }
    return acc;
}

Point table_sum_var(const Scalar* k, const BaseTable* const* tab, size_t count) {
    // Halves are below 2^128, so their width-6 digits sit at positions up
    // to 128.
    constexpr size_t kPositions = 136;
    struct Digits {
        int32_t d[2 * kMaxSumTerms][kPositions];
        WnafStream streams[2 * kMaxSumTerms];
    };
    thread_local std::unique_ptr<Digits> scratch;
    if (!scratch) scratch = std::make_unique<Digits>();
    Digits& s = *scratch;
    for (size_t i = 0; i < count; ++i) {
        const GlvSplit split = k[i].split_lambda_var();
        const Scalar* halves[2] = {&split.k1, &split.k2};
        const uint64_t neg[2] = {split.neg1, split.neg2};
        for (size_t h = 0; h < 2; ++h) {
            int32_t* d = s.d[2 * i + h];
            const size_t n = std::min(wnaf_int(*halves[h], 6, d, kPositions), kPositions);
            s.streams[2 * i + h] = WnafStream{h == 0 ? tab[i]->t : tab[i]->tl, d, n, neg[h] != 0};
        }
    }
    return wnaf_streams_sum(s.streams, 2 * count);
}

}  // namespace qorvex::rangeproof
