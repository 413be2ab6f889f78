// The hand-written point formulas and repeated squaring (point_adx.h)
// against the same formulas composed from the portable field routines, on
// curve points and on arbitrary canonical operands at the edges of the
// field; and the exact coordinates that the mixed additions of the
// multiplication loops produce, on whichever back end the process uses.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "arith/point.h"
#include "arith/point_adx.h"
#include "arith_helpers.h"

namespace qorvex::test {
namespace {

using F = FieldElement;

// Products through the portable back end only, so that the expectations
// share no multiplication code with the routines under test.
F pmul(const F& a, const F& b) {
    F r;
    field_detail::mul_portable(r.limb, a.limb, b.limb);
    return r;
}

F psqr(const F& a) {
    F r;
    field_detail::sqr_portable(r.limb, a.limb);
    return r;
}

struct Xyz {
    F x, y, z;
};

bool same(const F& a, const F& b) { return std::memcmp(a.limb, b.limb, sizeof a.limb) == 0; }
bool same(const Xyz& a, const Xyz& b) { return same(a.x, b.x) && same(a.y, b.y) && same(a.z, b.z); }

// The halving doubling: S = Y^2, L = (3/2) X^2, U = S X, X3 = L^2 - 2U,
// Y3 = L (U - X3) - S^2, Z3 = Y Z.
Xyz dbl_formula(const Xyz& p) {
    const F s = psqr(p.y), a = psqr(p.x);
    const F l = a.half() + a;
    const F u = pmul(s, p.x);
    const F x3 = psqr(l) - u - u;
    const F y3 = pmul(l, u - x3) - psqr(s);
    return {x3, y3, pmul(p.y, p.z)};
}

// The Z3 = Z1 H mixed addition, with its H and R.
struct Madd {
    Xyz sum;
    F h, r;
};

Madd madd_formula(const Xyz& p, const F& x2, const F& y2) {
    const F zz = psqr(p.z);
    const F h = pmul(x2, zz) - p.x;
    const F r = pmul(y2, pmul(zz, p.z)) - p.y;
    const F hh = psqr(h), hhh = pmul(hh, h), v = pmul(p.x, hh);
    const F x3 = psqr(r) - hhh - v - v;
    const F y3 = pmul(r, v - x3) - pmul(p.y, hhh);
    return {{x3, y3, pmul(p.z, h)}, h, r};
}

Xyz xyz(const Point& p) { return {p.X, p.Y, p.Z}; }

Point jacobian(const Xyz& v) { return Point{v.x, v.y, v.z, false, false, false}; }

// Canonical values at the edges of the field (and around the places where
// the carries of the reduction and of the subtraction change), then random
// ones.
std::vector<F> operands(Rng& rng, size_t random_count) {
    constexpr uint64_t kOnes = ~uint64_t{0};
    std::vector<F> v = {F::zero(),
                        F::one(),
                        F::from_u64(2),
                        F::from_u64(3),
                        F::from_u64(0x1000003D1ULL),
                        F::from_u64(kOnes),
                        F{{F::kP[0] - 1, kOnes, kOnes, kOnes}},
                        F{{F::kP[0] - 2, kOnes, kOnes, kOnes}},
                        F{{0, 0, 0, uint64_t{1} << 63}},
                        F{{kOnes, kOnes, kOnes, (uint64_t{1} << 63) - 1}},
                        F{{0, kOnes, kOnes, kOnes}},
                        F{{kOnes, kOnes, kOnes, 0xFFFFFFFFULL}},
                        F{{0, 0, 0, kOnes}},
                        // A difference with these as subtrahend and a small
                        // value as minuend borrows through several words.
                        F{{0, 1, 0, 0}},
                        F{{0, 0, 1, 0}},
                        F{{0, 0, 0, 1}}};
    for (size_t i = 0; i < random_count; ++i) v.push_back(i % 2 ? rng.field() : rng.field_edgy());
    return v;
}

// X coordinates whose square A makes the doubling's L = H + A (H = A / 2, or
// (A + p) / 2 for odd A) reach 2^256 with low words that the fold of that
// carry (adding 2^256 - p) carries through to the top word: words
// (2^64 - 1 - j, 2^64 - 1, 2^64 - 1, 5) above 2^256, j < 2^32. Both parities
// of A; random operands essentially never get there.
std::vector<F> carry_through_x() {
    std::vector<F> out;
    const BigUint ones128 = (BigUint(1) << 128) - BigUint(1);
    bool have[2] = {false, false};
    for (uint64_t j = 0; j < 10000 && !(have[0] && have[1]); ++j) {
        const BigUint sum = (BigUint(1) << 256) + (BigUint(5) << 192) + (ones128 << 64) + BigUint(~uint64_t{0} - j);
        for (int odd = 0; odd < 2; ++odd) {
            if (have[odd]) continue;
            const BigUint num = odd ? sum + sum - P() : sum + sum;
            if (!(num % BigUint(3)).is_zero()) continue;
            const BigUint a = num / BigUint(3);
            if (a.bit(0) != (odd == 1) || a >= P()) continue;
            const F af = fe(a), x = af.sqrt_candidate();
            if (!x.sqr().equal(af)) continue;
            out.push_back(x);
            have[odd] = true;
        }
    }
    return out;
}

#if QORVEX_HAVE_POINT_ADX

bool adx_routines_run() { return field_detail::point_adx_enabled(); }

TEST(PointAdx, DoublingMatchesTheFormulaOnEdgeOperands) {
    if (!adx_routines_run()) GTEST_SKIP() << "processor lacks BMI2/ADX";
    Rng rng(41);
    const std::vector<F> ops = operands(rng, 7);
    std::vector<F> xs = ops;
    const std::vector<F> special = carry_through_x();
    ASSERT_EQ(2u, special.size());
    xs.insert(xs.end(), special.begin(), special.end());
    for (const F& x : xs) {
        for (const F& y : ops) {
            for (const F& z : ops) {
                const Xyz in{x, y, z};
                Xyz out = in;
                qorvex_point_dbl_adx(out.x.limb);
                ASSERT_TRUE(same(out, dbl_formula(in))) << big(x).to_hex() << " " << big(y).to_hex() << " "
                                                        << big(z).to_hex();
            }
        }
    }
}

TEST(PointAdx, MixedAdditionMatchesTheFormulaOnEdgeOperands) {
    if (!adx_routines_run()) GTEST_SKIP() << "processor lacks BMI2/ADX";
    Rng rng(42);
    const std::vector<F> ops = operands(rng, 19);
    for (int i = 0; i < 100000; ++i) {
        const F& x = ops[rng.u64() % ops.size()];
        const F& y = ops[rng.u64() % ops.size()];
        const F& z = ops[rng.u64() % ops.size()];
        const F& x2 = ops[rng.u64() % ops.size()];
        const F& y2 = ops[rng.u64() % ops.size()];
        const Xyz in{x, y, z};
        const Madd want = madd_formula(in, x2, y2);
        // Into a separate output and in place.
        Xyz out{F::zero(), F::zero(), F::zero()}, inplace = in;
        F hr[2], hr2[2];
        qorvex_point_madd_adx(out.x.limb, in.x.limb, x2.limb, y2.limb, hr[0].limb);
        qorvex_point_madd_adx(inplace.x.limb, inplace.x.limb, x2.limb, y2.limb, hr2[0].limb);
        ASSERT_TRUE(same(out, want.sum) && same(hr[0], want.h) && same(hr[1], want.r))
            << big(x).to_hex() << " " << big(y).to_hex() << " " << big(z).to_hex() << " " << big(x2).to_hex()
            << " " << big(y2).to_hex();
        ASSERT_TRUE(same(inplace, want.sum) && same(hr2[0], want.h) && same(hr2[1], want.r));
    }
}

TEST(PointAdx, RepeatedSquaringMatchesSingleSquarings) {
    if (!adx_routines_run()) GTEST_SKIP() << "processor lacks BMI2/ADX";
    Rng rng(43);
    for (const F& a : operands(rng, 20)) {
        F want = a;
        for (uint64_t n = 1; n <= 90; ++n) {
            want = psqr(want);
            F out, inplace = a;
            qorvex_fe_sqr_n_adx(out.limb, a.limb, n);
            qorvex_fe_sqr_n_adx(inplace.limb, inplace.limb, n);
            ASSERT_TRUE(same(out, want) && same(inplace, want)) << big(a).to_hex() << " n = " << n;
        }
        F one;
        qorvex_fe_sqr_n_adx(one.limb, a.limb, 1);
        ASSERT_TRUE(big(one) == (big(a) * big(a)) % P());
    }
}

// Four runs at once, each against the one-run routine, n up to 90.
TEST(PointAdx, FourRunsOfSquaringsMatchOneRun) {
    if (!adx_routines_run()) GTEST_SKIP() << "processor lacks BMI2/ADX";
    Rng rng(44);
    const std::vector<F> ops = operands(rng, 8);
    for (size_t i = 0; i + 4 <= ops.size(); i += 4) {
        for (uint64_t n = 1; n <= 90; n += 7) {
            F in[4] = {ops[i], ops[i + 1], ops[i + 2], ops[i + 3]}, out[4];
            qorvex_fe_sqr_n4_adx(out[0].limb, in[0].limb, n);
            for (size_t l = 0; l < 4; ++l) {
                F want;
                qorvex_fe_sqr_n_adx(want.limb, in[l].limb, n);
                ASSERT_TRUE(same(out[l], want)) << big(in[l]).to_hex() << " n = " << n;
            }
        }
    }
}

// The affine addition against its formula in portable arithmetic, on edge
// operands (which need not be curve points: the formula is the same).
TEST(PointAdx, AffineAdditionMatchesTheFormulaOnEdgeOperands) {
    if (!adx_routines_run()) GTEST_SKIP() << "processor lacks BMI2/ADX";
    Rng rng(45);
    const std::vector<F> ops = operands(rng, 19);
    for (int i = 0; i < 20000; ++i) {
        const F xa = ops[rng.u64() % ops.size()], ya = ops[rng.u64() % ops.size()];
        const F xb = ops[rng.u64() % ops.size()], yb = ops[rng.u64() % ops.size()];
        const F inv = ops[rng.u64() % ops.size()];
        const F lambda = pmul(yb - ya, inv);
        const F x3 = psqr(lambda) - xa - xb;
        const F y3 = pmul(lambda, xa - x3) - ya;
        F a[2] = {xa, ya};
        const F b[2] = {xb, yb};
        qorvex_affine_add_adx(a[0].limb, b[0].limb, inv.limb);
        ASSERT_TRUE(same(a[0], x3) && same(a[1], y3))
            << big(xa).to_hex() << " " << big(ya).to_hex() << " " << big(xb).to_hex() << " " << big(yb).to_hex()
            << " " << big(inv).to_hex();
    }
}

// The fused chain steps of the affine rounds, one and two at a time: the
// chain's next value and the sum, against the portable formula.
TEST(PointAdx, AffinePairStepsMatchTheFormulaOnEdgeOperands) {
    if (!adx_routines_run()) GTEST_SKIP() << "processor lacks BMI2/ADX";
    Rng rng(46);
    const std::vector<F> ops = operands(rng, 19);
    auto pick = [&] { return ops[rng.u64() % ops.size()]; };
    struct Case {
        F a[2], b[2], chain, pre, den;
        F want_a[2], want_chain;
    };
    auto make = [&] {
        Case c{{pick(), pick()}, {pick(), pick()}, pick(), pick(), pick(), {}, {}};
        const F inv = pmul(c.chain, c.pre);
        const F lambda = pmul(c.b[1] - c.a[1], inv);
        c.want_a[0] = psqr(lambda) - c.a[0] - c.b[0];
        c.want_a[1] = pmul(lambda, c.a[0] - c.want_a[0]) - c.a[1];
        c.want_chain = pmul(c.chain, c.den);
        return c;
    };
    auto check = [](const Case& c) {
        return same(c.a[0], c.want_a[0]) && same(c.a[1], c.want_a[1]) && same(c.chain, c.want_chain);
    };
    for (int i = 0; i < 10000; ++i) {
        Case one = make();
        qorvex_affine_pair_step_adx(one.a[0].limb, one.b[0].limb, one.chain.limb, one.pre.limb, one.den.limb);
        ASSERT_TRUE(check(one)) << i;
        Case two[2] = {make(), make()};
        const AffinePairStep steps[2] = {
            {two[0].a[0].limb, two[0].b[0].limb, two[0].chain.limb, two[0].pre.limb, two[0].den.limb},
            {two[1].a[0].limb, two[1].b[0].limb, two[1].chain.limb, two[1].pre.limb, two[1].den.limb}};
        qorvex_affine_pair_step2_adx(steps);
        ASSERT_TRUE(check(two[0]) && check(two[1])) << i;
    }
}

#endif  // QORVEX_HAVE_POINT_ADX

// The formulas of the loops, whichever back end runs them, on arbitrary
// canonical operands (they are pure field arithmetic and need no curve
// point): the exact coordinates, not only the same point.
TEST(PointFormulas, LoopFormulasGiveTheDefinedCoordinatesOnEdgeOperands) {
    Rng rng(44);
    const std::vector<F> ops = operands(rng, 7);
    for (int i = 0; i < 20000; ++i) {
        const Xyz in{ops[rng.u64() % ops.size()], ops[rng.u64() % ops.size()], ops[rng.u64() % ops.size()]};
        const F& x2 = ops[rng.u64() % ops.size()];
        const F& y2 = ops[rng.u64() % ops.size()];

        Point d = jacobian(in);
        d.dbl_halving_ct();
        ASSERT_TRUE(same(xyz(d), dbl_formula(in)));
        if (i < 2) {
            Xyz edge = in;
            edge.x = carry_through_x()[static_cast<size_t>(i)];
            d = jacobian(edge);
            d.dbl_halving_ct();
            ASSERT_TRUE(same(xyz(d), dbl_formula(edge)));
        }

        const Madd want = madd_formula(in, x2, y2);
        Point t = jacobian(in);
        F ratio;
        t.add_affine_unchecked_ct(x2, y2, &ratio);
        ASSERT_TRUE(same(xyz(t), want.sum) && same(ratio, want.h));
        ASSERT_FALSE(t.z_is_one || t.is_generator || t.infinity);
        if (!want.h.is_zero()) {
            t = jacobian(in);
            t.add_affine_var(x2, y2);
            ASSERT_TRUE(same(xyz(t), want.sum));
            ASSERT_FALSE(t.z_is_one || t.is_generator || t.infinity);
        }
    }
}

// The same on points of the curve, where the exceptional cases of the
// variable-time addition (equal and opposite operands) can be reached.
TEST(PointFormulas, MixedAdditionsOnCurvePoints) {
    Rng rng(45);
    for (int i = 0; i < 30; ++i) {
        const Point a = binary_mul(Point::generator(), rng.scalar());
        const AffinePoint b = binary_mul(Point::generator(), rng.scalar()).to_affine();
        const Madd want = madd_formula(xyz(a), b.x, b.y);
        Point t = a;
        t.add_affine_var(b.x, b.y);
        ASSERT_TRUE(same(xyz(t), want.sum));
        EXPECT_TRUE(t.equals(a.add(Point::from_affine(b))));
        t = a;
        t.add_affine_unchecked_ct(b.x, b.y);
        ASSERT_TRUE(same(xyz(t), want.sum));
        Point d = a;
        d.dbl_halving_ct();
        ASSERT_TRUE(same(xyz(d), dbl_formula(xyz(a))));
        EXPECT_TRUE(d.equals(a.dbl()));

        // Equal operands double, opposite ones give infinity, from a point
        // with Z != 1 (the routine's H is zero in both cases).
        const AffinePoint aa = a.to_affine();
        t = a;
        t.add_affine_var(aa.x, aa.y);
        EXPECT_TRUE(t.equals(a.dbl()));
        EXPECT_TRUE(same(xyz(t), dbl_formula(xyz(a))));
        t = a;
        t.add_affine_var(aa.x, aa.y.negate());
        EXPECT_TRUE(t.infinity);
    }
}

}  // namespace
}  // namespace qorvex::test
