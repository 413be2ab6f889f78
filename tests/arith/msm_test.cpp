// Multi-scalar multiplication: every engine against the sum of single
// multiplications, at every switch of engine and window width, with the
// awkward terms (infinity, zero scalars, Jacobian points, duplicates and
// cancelling pairs).
#include <gtest/gtest.h>

#include <vector>

#include "arith/gen_mul.h"
#include "arith/msm.h"
#include "arith/point_mul.h"
#include "arith_helpers.h"

namespace qorvex {
namespace {

using test::Rng;

struct Terms {
    std::vector<Scalar> k;
    std::vector<Point> p;

    std::vector<AffinePoint> affine() const {
        std::vector<AffinePoint> a;
        for (const Point& q : p) a.push_back(q.to_affine());
        return a;
    }
};

// Random affine points (multiples of G) and random scalars.
Terms random_terms(size_t m, uint64_t seed) {
    Rng rng(seed);
    Terms t;
    for (size_t i = 0; i < m; ++i) {
        Point q = gen_mul_ct(rng.scalar());
        q.to_affine_assign();
        t.p.push_back(q);
        t.k.push_back(rng.scalar());
    }
    return t;
}

Point naive(const Terms& t) {
    Point acc = Point::infinity_point();
    for (size_t i = 0; i < t.k.size(); ++i) acc.add_assign(mul(t.p[i], t.k[i]));
    return acc;
}

// The terms that need care, mixed into an otherwise random list: a point at
// infinity, a zero scalar, Jacobian points, the same point three times, and
// a pair that cancels (k P and (n - k) P).
Terms awkward_terms(size_t m, uint64_t seed) {
    Terms t = random_terms(m, seed);
    if (m < 8) return t;
    t.p[1] = Point::infinity_point();
    t.k[2] = Scalar::zero();
    for (size_t i = 3; i < m; i += 5) t.p[i] = gen_mul_ct(t.k[i] + Scalar::one());  // Jacobian
    t.p[m - 1] = t.p[m - 2] = t.p[m - 3];
    t.p[4] = t.p[0];
    t.k[4] = t.k[0].negate();
    return t;
}

TEST(Msm, EmptyAndSingleTerms) {
    EXPECT_TRUE(msm(std::span<const Scalar>{}, std::span<const Point>{}).infinity);
    const Terms t = random_terms(1, 1);
    EXPECT_TRUE(msm(t.k, t.p).equals(mul(t.p[0], t.k[0])));
    EXPECT_TRUE(msm_strauss(t.k, t.p).equals(mul(t.p[0], t.k[0])));
    // A longer scalar list is cut to the points.
    std::vector<Scalar> longer = t.k;
    longer.push_back(Scalar::one());
    EXPECT_TRUE(msm(longer, t.p).equals(mul(t.p[0], t.k[0])));
}

// Each count sits on one side of a switch: msm() from Strauss over
// endomorphism halves to buckets (7/8), the reference engines' (47/48) and the reference widths of the
// bucket method (72/73, 384/385, 768/769, 2048/2049).
class MsmCounts : public ::testing::TestWithParam<size_t> {};

TEST_P(MsmCounts, EveryEngineEqualsTheSumOfProducts) {
    const size_t m = GetParam();
    const Terms t = awkward_terms(m, 100 + m);
    const Point want = naive(t);
    ASSERT_FALSE(want.infinity);
    EXPECT_TRUE(msm(t.k, t.p).equals(want));
    EXPECT_TRUE(msm_pippenger(t.k, t.p).equals(want));
    if (m < 400) {
        EXPECT_TRUE(msm_strauss(t.k, t.p).equals(want));
    }
    // The affine engine takes finite points only.
    Terms finite = t;
    finite.p[1] = finite.p[0];
    const Point want_finite = naive(finite);
    const auto a = finite.affine();
    EXPECT_TRUE(msm_buckets_affine(finite.k, a).equals(want_finite));
    EXPECT_TRUE(msm(finite.k, a).equals(want_finite));
    if (m < 400) {
        EXPECT_TRUE(msm_strauss_glv(finite.k, a).equals(want_finite));
    }
}

INSTANTIATE_TEST_SUITE_P(Switches, MsmCounts,
                         ::testing::Values(3, 7, 8, 47, 48, 72, 73, 384, 385, 768, 769, 2048, 2049));

// msm() on both sides of every change of the affine engine's chosen width
// up to 2,100 terms (the widths come from its cost model, so the counts are
// found rather than listed).
TEST(Msm, AffineWidthSwitches) {
    std::vector<size_t> counts;
    for (size_t m = kMsmBucketThreshold; m < 2100; ++m)
        if (msm_affine_window_bits(m) != msm_affine_window_bits(m + 1)) {
            counts.push_back(m);
            counts.push_back(m + 1);
        }
    ASSERT_GE(counts.size(), 8u);
    // Prefixes of one list, against the reference bucket engine (which the
    // counts above check against the sum of products).
    Terms t = random_terms(counts.back(), 300);
    t.p[5] = t.p[0];  // a repeated point
    const auto a = t.affine();
    for (const size_t m : counts) {
        SCOPED_TRACE(m);
        const std::span<const Scalar> k = std::span<const Scalar>(t.k).first(m);
        EXPECT_TRUE(msm(k, std::span<const AffinePoint>(a).first(m))
                        .equals(msm_pippenger(k, std::span<const Point>(t.p).first(m))));
    }
}

TEST(Msm, ReferenceWindowTable) {
    const std::pair<size_t, unsigned> rows[] = {{48, 5},     {72, 5},      {73, 6},      {384, 6},
                                                {385, 7},    {768, 7},     {769, 8},     {2048, 8},
                                                {2049, 9},   {8192, 9},    {8193, 10},   {32768, 10},
                                                {32769, 12}, {65536, 12},  {65537, 13},  {262144, 13},
                                                {262145, 14}};
    for (const auto& [m, bits] : rows) EXPECT_EQ(pippenger_window_bits(m), bits) << m;
}

// Every width of the affine engine, and passes so small that windows are
// grouped several to a pass, or one window is spread over several passes
// with its buckets carried from one to the next.
TEST(Msm, AffineEngineAtEveryWidthAndPassSize) {
    Terms t = random_terms(60, 7);
    t.p[10] = t.p[11] = t.p[12];
    t.p[13] = t.p[14].negate();
    t.k[13] = t.k[14];  // cancels
    t.k[20] = Scalar::zero();
    const Point want = naive(t);
    const auto a = t.affine();
    for (unsigned c = 2; c <= 16; ++c) {
        SCOPED_TRACE(c);
        EXPECT_TRUE(msm_buckets_affine(t.k, a, c).equals(want));
        if (c > 10) continue;  // wider buckets make the small passes slow and add nothing
        for (const size_t pass : {size_t{7}, size_t{50}, size_t{130}, size_t{1000}})
            EXPECT_TRUE(msm_buckets_affine(t.k, a, c, pass).equals(want)) << pass;
    }
}

// The pieces fixed-base callers use on their own: sums of indexed, signed
// entries per group (an empty group, a group whose entries cancel, one
// entry repeated) and the weighted sum of a window of buckets with some
// missing, against sums made one term at a time.
TEST(Msm, IndexedGroupsAndWeightedBucketSum) {
    const Terms t = random_terms(12, 21);
    const auto src = t.affine();
    // Groups: {0, -3, 5}, {}, {7, -7}, {2, 2, 2}, {11}.
    const std::vector<uint32_t> order = {0 << 1, 3 << 1 | 1, 5 << 1, 7 << 1, 7 << 1 | 1, 2 << 1, 2 << 1, 2 << 1, 11 << 1};
    const std::vector<uint32_t> start = {0, 3, 3, 5, 8, 9};
    AffinePoint out[5];
    uint8_t present[5];
    msm_sum_indexed_groups(src.data(), order, start, out, present);
    const Point want0 = [&] {
        Point p = t.p[0];
        p.add_assign(t.p[3].negate());
        p.add_assign(t.p[5]);
        return p;
    }();
    EXPECT_TRUE(present[0] && Point::from_affine(out[0]).equals(want0));
    EXPECT_FALSE(present[1]);
    EXPECT_FALSE(present[2]);
    EXPECT_TRUE(present[3] && Point::from_affine(out[3]).equals(mul(t.p[2], Scalar::from_u64(3))));
    EXPECT_TRUE(present[4] && Point::from_affine(out[4]).equals(t.p[11]));

    for (unsigned c = 2; c <= 9; ++c) {
        SCOPED_TRACE(c);
        const size_t m = size_t{1} << (c - 1);
        const Terms b = random_terms(m, 30 + c);
        const auto bucket = b.affine();
        std::vector<uint8_t> has(m);
        Point want = Point::infinity_point();
        for (size_t i = 0; i < m; ++i) {
            has[i] = (i % 3) != 1;
            if (has[i]) want.add_assign(mul(b.p[i], Scalar::from_u64(i + 1)));
        }
        EXPECT_TRUE(msm_weighted_bucket_sum(bucket.data(), has.data(), c).equals(want));
    }
}

TEST(Msm, ResultsAtInfinity) {
    const Terms t = random_terms(100, 9);
    // All scalars zero.
    std::vector<Scalar> zeros(100, Scalar::zero());
    EXPECT_TRUE(msm(zeros, t.p).infinity);
    EXPECT_TRUE(msm_pippenger(zeros, t.p).infinity);
    EXPECT_TRUE(msm_strauss(std::span<const Scalar>(zeros).first(5), std::span<const Point>(t.p).first(5)).infinity);
    // [k, n - k] on one point, alone and repeated over a bucket-sized list.
    std::vector<Scalar> k;
    std::vector<Point> p;
    for (size_t i = 0; i < 50; ++i) {
        k.push_back(t.k[i]);
        k.push_back(t.k[i].negate());
        p.push_back(t.p[i]);
        p.push_back(t.p[i]);
    }
    EXPECT_TRUE(msm(std::span<const Scalar>(k).first(2), std::span<const Point>(p).first(2)).infinity);
    EXPECT_TRUE(msm(k, p).infinity);
    EXPECT_TRUE(msm_pippenger(k, p).infinity);
    EXPECT_TRUE(msm_strauss(k, p).infinity);
    std::vector<AffinePoint> a;
    for (const Point& q : p) a.push_back(q.to_affine());
    EXPECT_TRUE(msm_buckets_affine(k, a).infinity);
    EXPECT_TRUE(msm_strauss_glv(k, a).infinity);
    EXPECT_TRUE(msm_strauss_glv(std::span<const Scalar>(zeros).first(5), std::span<const AffinePoint>(a).first(5)).infinity);
    // Every point at infinity.
    std::vector<Point> infs(100, Point::infinity_point());
    EXPECT_TRUE(msm(t.k, infs).infinity);
    EXPECT_TRUE(msm_pippenger(t.k, infs).infinity);
}

TEST(Msm, MixedAffineAndJacobianAgree) {
    const Terms t = random_terms(400, 11);
    std::vector<Point> jac;
    for (size_t i = 0; i < t.p.size(); ++i) jac.push_back(i % 2 ? gen_mul_ct(t.k[i]) : t.p[i]);
    Terms mixed{t.k, jac};
    const Point want = naive(mixed);
    EXPECT_TRUE(msm(mixed.k, mixed.p).equals(want));
    EXPECT_TRUE(msm_pippenger(mixed.k, mixed.p).equals(want));
    Terms affine{t.k, {}};
    for (const Point& q : jac) affine.p.push_back(Point::from_affine(q.to_affine()));
    EXPECT_TRUE(msm_pippenger(affine.k, affine.p).equals(want));
}

TEST(Msm, WithGeneratorAndShamir) {
    const Terms t = random_terms(60, 13);
    const Scalar g = Rng(14).scalar();
    const auto a = t.affine();
    EXPECT_TRUE(msm_with_generator(g, t.k, a).equals(naive(t).add(mul(Point::generator(), g))));
    EXPECT_TRUE(msm_with_generator(g, std::span<const Scalar>{}, std::span<const AffinePoint>{})
                    .equals(mul(Point::generator(), g)));

    const Point& p = t.p[0];
    const Point& q = t.p[1];
    const Scalar& x = t.k[0];
    const Scalar& y = t.k[1];
    EXPECT_TRUE(shamir(x, p, y, q).equals(mul(p, x).add(mul(q, y))));
    EXPECT_TRUE(shamir(Scalar::zero(), p, y, q).equals(mul(q, y)));
    EXPECT_TRUE(shamir(x, p, Scalar::zero(), q).equals(mul(p, x)));
    EXPECT_TRUE(shamir(Scalar::zero(), p, Scalar::zero(), q).infinity);
    EXPECT_TRUE(shamir(x, p, x.negate(), p).infinity);
}

}  // namespace
}  // namespace qorvex
