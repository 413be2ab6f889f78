#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "arith_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

const Scalar kComb0 = sc_hex("28817a3ec6ecd50c8f7dae7a37933ea0082");  // (2^265 - 2^257) mod n

std::vector<Scalar> edge_scalars() {
    return {Scalar::zero(), Scalar::one(), Scalar::from_u64(2), Scalar::from_u64(3), sc(N() - BigUint(1)),
            sc(N() - BigUint(2)), Scalar::lambda(), Scalar::lambda().negate(), sc(N() >> 1), sc((N() >> 1) + BigUint(1)),
            kComb0, kComb0.negate(), sc((BigUint(1) << 128) - BigUint(1)), sc(BigUint(1) << 128)};
}

// Every route to k*G agrees with the published multiples.
TEST(GeneratorMultiples, AllRoutesMatchThePublishedFile) {
    const Json v = load_json_vectors("curve/multiples.json");
    for (const Json& c : v["cases"].array()) {
        const Scalar k = sc_hex(c["k"].str());
        const std::string want = c["x"].is_null() ? "infinity" : lower(c["x"].str()) + "," + lower(c["y"].str());
        SCOPED_TRACE(c["label"].str());
        EXPECT_EQ(want, affine_hex(gen_mul_ct(k)));
        EXPECT_EQ(want, affine_hex(precomputed_gen_mul(k)));
        EXPECT_EQ(want, affine_hex(mul(Point::generator(), k)));
        EXPECT_EQ(want, affine_hex(mul_ct(Point::generator(), k)));
        EXPECT_EQ(want, affine_hex(dual_mul(k, Scalar::zero(), Point::generator())));
    }
}

TEST(GeneratorMultiples, CombAtEdgesAndPowersOfTwo) {
    const Point g = Point::generator();
    EXPECT_TRUE(gen_mul_ct(Scalar::zero()).infinity);
    EXPECT_TRUE(gen_mul_ct(Scalar::one()).equals(g));
    EXPECT_TRUE(gen_mul_ct(sc(N() - BigUint(1))).equals(g.negate()));
    EXPECT_TRUE(gen_mul_ct(Scalar::from_u64(2)).equals(g.dbl()));
    for (const Scalar& k : edge_scalars()) EXPECT_TRUE(gen_mul_ct(k).equals(binary_mul(g, k))) << big(k).to_hex();
    Point p = g;
    for (unsigned i = 0; i < 256; ++i) {
        EXPECT_TRUE(gen_mul_ct(sc(BigUint(1) << i)).equals(p)) << i;
        p.dbl_assign();
    }
    Rng rng(1);
    for (int i = 0; i < 100; ++i) {
        const Scalar k = rng.scalar();
        EXPECT_TRUE(gen_mul_ct(k).equals(precomputed_gen_mul(k)));
    }
}

TEST(Blinding, GivesTheSameMultiplesAndStaysOnItsThread) {
    Rng rng(2);
    std::vector<Scalar> ks = edge_scalars();
    for (int i = 0; i < 20; ++i) ks.push_back(rng.scalar());
    blinding_set(rng.scalar());
    ASSERT_TRUE(blinding_active());
    bool other_thread_active = true;
    std::thread([&] { other_thread_active = blinding_active(); }).join();
    EXPECT_FALSE(other_thread_active);
    for (const Scalar& k : ks) EXPECT_TRUE(gen_mul_blinded(k).equals(gen_mul_ct(k))) << big(k).to_hex();
    EXPECT_TRUE(gen_mul_blinded(Scalar::zero()).infinity);
    // A blinding value equal to -k makes the blinded product infinity first.
    const Scalar k = rng.scalar();
    blinding_set(k.negate());
    EXPECT_TRUE(gen_mul_blinded(k).equals(gen_mul_ct(k)));
    blinding_clear();
    EXPECT_FALSE(blinding_active());
    EXPECT_TRUE(gen_mul_blinded(k).equals(gen_mul_ct(k)));
}

TEST(Blinding, ManyThreadsEachWithTheirOwn) {
    std::vector<std::thread> threads;
    std::vector<int> failures(6, 0);
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([t, &failures] {
            Rng rng(100 + t);
            if (t % 2) blinding_set(rng.scalar());
            for (int i = 0; i < 30; ++i) {
                const Scalar k = rng.scalar();
                if (!gen_mul_blinded(k).equals(precomputed_gen_mul(k))) ++failures[t];
            }
            blinding_clear();
        });
    }
    for (auto& th : threads) th.join();
    for (int f : failures) EXPECT_EQ(0, f);
}

TEST(PointMul, VariableAndConstantTimeAgree) {
    Rng rng(3);
    for (int i = 0; i < 12; ++i) {
        const Point p = binary_mul(Point::generator(), rng.scalar());
        std::vector<Scalar> ks = edge_scalars();
        for (int j = 0; j < 4; ++j) ks.push_back(rng.scalar());
        for (const Scalar& k : ks) {
            const Point want = binary_mul(p, k);
            const Point m = mul(p, k);
            ASSERT_TRUE(m.equals(want)) << big(k).to_hex();
            EXPECT_TRUE(m.infinity || m.z_is_one);
            ASSERT_TRUE(mul_ct(p, k).equals(want)) << big(k).to_hex();
        }
        EXPECT_TRUE(mul(p, Scalar::one()).equals(p));
        EXPECT_TRUE(mul(p, Scalar::zero()).infinity);
        EXPECT_TRUE(mul(p, sc(N() - BigUint(1))).equals(p.negate()));
        EXPECT_TRUE(mul_ct(p, Scalar::lambda()).equals(p.endomorphism()));
    }
    EXPECT_TRUE(mul(Point::infinity_point(), Scalar::one()).infinity);
    EXPECT_TRUE(mul_ct(Point::infinity_point(), Scalar::one()).infinity);
}

TEST(DualMul, SumsBothParts) {
    Rng rng(4);
    const Point p = binary_mul(Point::generator(), rng.scalar());
    for (int i = 0; i < 10; ++i) {
        const Scalar u1 = rng.scalar(), u2 = rng.scalar();
        EXPECT_TRUE(dual_mul(u1, u2, p).equals(binary_mul(Point::generator(), u1).add(binary_mul(p, u2))));
        EXPECT_TRUE(dual_mul(u1, Scalar::zero(), p).equals(binary_mul(Point::generator(), u1)));
        EXPECT_TRUE(dual_mul(Scalar::zero(), u2, p).equals(binary_mul(p, u2)));
    }
    // u1 G = -u2 P: p = x G, u1 = -u2 x.
    const Scalar x = rng.scalar(), u2 = rng.scalar();
    const Point q = binary_mul(Point::generator(), x);
    EXPECT_TRUE(dual_mul((u2 * x).negate(), u2, q).infinity);
}

BigUint digit_sum(const int32_t* d, size_t count) {
    // Exact integer value of sum d_i 2^i, which must be non-negative here.
    BigUint pos, neg;
    for (size_t i = 0; i < count; ++i) {
        if (d[i] > 0) pos = pos + (BigUint(static_cast<uint64_t>(d[i])) << i);
        if (d[i] < 0) neg = neg + (BigUint(static_cast<uint64_t>(-d[i])) << i);
    }
    return pos - neg;
}

TEST(WnafInt, ShapeAndExactValue) {
    Rng rng(5);
    int32_t d[260];
    EXPECT_EQ(0u, wnaf_int(Scalar::zero(), 5, d, 260));
    EXPECT_EQ(0u, wnaf_int(Scalar::one(), 1, d, 260));
    EXPECT_EQ(0u, wnaf_int(Scalar::one(), 17, d, 260));
    EXPECT_EQ(0u, wnaf_int(Scalar::one(), 5, nullptr, 260));
    EXPECT_EQ(0u, wnaf_int(Scalar::one(), 5, d, 0));
    std::vector<Scalar> ks = edge_scalars();
    for (int i = 0; i < 30; ++i) ks.push_back(rng.scalar());
    for (unsigned w = 2; w <= 16; ++w) {
        for (const Scalar& k : ks) {
            const size_t count = wnaf_int(k, w, d, 260);
            SCOPED_TRACE(big(k).to_hex() + " w=" + std::to_string(w));
            for (size_t i = 0; i < count; ++i) {
                if (d[i] == 0) continue;
                ASSERT_TRUE(d[i] & 1);
                ASSERT_LT(std::abs(d[i]), 1 << (w - 1)) << i;
                for (size_t j = i + 1; j < i + w && j < count; ++j) ASSERT_EQ(0, d[j]);
            }
            ASSERT_TRUE(digit_sum(d, count) == big(k));
        }
    }
}

TEST(FixedKPlan, MatchesPlainMultiplication) {
    Rng rng(6);
    std::vector<Point> points = {Point::generator(), binary_mul(Point::generator(), rng.scalar()),
                                 binary_mul(Point::generator(), rng.scalar()).negate()};
    std::vector<Scalar> ks = {Scalar::one(), sc(N() - BigUint(1)), Scalar::lambda().negate(), rng.scalar(),
                              rng.scalar()};
    for (unsigned w = 2; w <= 16; ++w) {
        for (const Scalar& k : ks) {
            const FixedKPlan plan = fixed_k_plan(k, w);
            for (const Point& p : points) {
                ASSERT_TRUE(mul_with_plan(p, plan).equals(binary_mul(p, k))) << w << " " << big(k).to_hex();
            }
        }
    }
    // Halves of both signs occur among these.
    bool saw_neg = false, saw_pos = false;
    for (const Scalar& k : ks) {
        const FixedKPlan plan = fixed_k_plan(k, 5);
        (plan.neg1 || plan.neg2 ? saw_neg : saw_pos) = true;
    }
    EXPECT_TRUE(saw_neg);
    EXPECT_TRUE(saw_pos);
    EXPECT_TRUE(mul_with_plan(Point::infinity_point(), fixed_k_plan(Scalar::one(), 5)).infinity);
}

}  // namespace
}  // namespace qorvex::test
