#include "protocols/rangeproof_sum.h"

#include "arith/point_mul.h"
#include "arith/point_table.h"
#include "protocols/pedersen.h"
#include "protocols/rangeproof.h"
#include "support/ct.h"
#include "support/wipe.h"

namespace qorvex::rangeproof {

namespace {

struct BaseTable {
    AffinePoint t[kMulCtTableSize];   // (2j + 1) B
    AffinePoint tl[kMulCtTableSize];  // (2j + 1) lambda B
};

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

// Odd multiples over one shared denominator per base, then one batch
// inversion for all the denominators. Public points, variable time.
const Tables& tables() {
    static const Tables* made = [] {
        auto* t = new Tables;
        static FieldElement x[kBaseCount][kMulCtTableSize], y[kBaseCount][kMulCtTableSize];
        FieldElement zi[kBaseCount];
        for (size_t i = 0; i < kBaseCount; ++i) {
            Point p = base_point(i);
            p.is_generator = false;
            zi[i] = odd_multiples_shared_z(p, kMulCtTableSize, x[i], y[i]);
        }
        FieldElement::batch_inverse(zi, kBaseCount);
        for (size_t i = 0; i < kBaseCount; ++i) {
            const FieldElement z2 = zi[i].sqr();
            const FieldElement z3 = z2 * zi[i];
            for (size_t j = 0; j < kMulCtTableSize; ++j) {
                const FieldElement ax = x[i][j] * z2;
                const FieldElement ay = y[i][j] * z3;
                t->base[i].t[j] = AffinePoint{ax, ay};
                t->base[i].tl[j] = AffinePoint{ax * FieldElement::beta(), ay};
            }
        }
        return t;
    }();
    return *made;
}

}  // namespace

void warm_up_tables() { (void)tables(); }

Point fixed_sum_ct(const Scalar* k, const uint8_t* bases, size_t count) {
    const Tables& tab = tables();
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
    mul_ct_lookup(tab.base[bases[0]].t, d->u[0].bits(top_off, 5), x, y);
    Point acc = Point::from_affine(x, y);
    acc.z_is_one = false;
    mul_ct_lookup(tab.base[bases[0]].tl, d->v[0].bits(top_off, 5), x, y);
    acc.add_affine_unchecked_ct(x, y);
    for (size_t i = 1; i < count; ++i) {
        mul_ct_lookup(tab.base[bases[i]].t, d->u[i].bits(top_off, 5), x, y);
        acc.add_affine_unchecked_ct(x, y);
        mul_ct_lookup(tab.base[bases[i]].tl, d->v[i].bits(top_off, 5), x, y);
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
            mul_ct_lookup(tab.base[bases[i]].t, d->u[i].bits(off, 5), x, y);
            acc.add_affine_unchecked_ct(x, y);
            mul_ct_lookup(tab.base[bases[i]].tl, d->v[i].bits(off, 5), x, y);
            acc.add_affine_unchecked_ct(x, y);
        }
    }
    for (int i = 0; i < 5; ++i) acc.dbl_halving_ct();
    for (size_t i = 0; i < count; ++i) {
        mul_ct_lookup(tab.base[bases[i]].t, d->u[i].bits(0, 5), x, y);
        acc.add_affine_complete_ct(x, y, ct::mask(acc.infinity), 0);
        mul_ct_lookup(tab.base[bases[i]].tl, d->v[i].bits(0, 5), x, y);
        acc.add_affine_complete_ct(x, y, ct::mask(acc.infinity), 0);
    }
    return acc;
}

}  // namespace qorvex::rangeproof
