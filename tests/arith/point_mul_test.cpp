#include <gtest/gtest.h>

#include <algorithm>
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

// Infinite results come back in the exact infinity form (they are no longer
// rebuilt by a branch on the secret-derived flag).
TEST(Blinding, InfiniteResultsHaveTheInfinityForm) {
    auto is_infinity_form = [](const Point& p) {
        return p.infinity && !p.is_generator && !p.z_is_one && p.X.is_zero() && p.Y.equal(FieldElement::one()) &&
               p.Z.is_zero();
    };
    const Point q = binary_mul(Point::generator(), sc_hex("5eed"));
    EXPECT_TRUE(is_infinity_form(gen_mul_ct(Scalar::zero())));
    EXPECT_TRUE(is_infinity_form(mul_ct(q, Scalar::zero())));
    EXPECT_TRUE(is_infinity_form(mul_ct(Point::generator(), Scalar::zero())));
    const Scalar b = sc_hex("b11d");
    blinding_set(b);
    EXPECT_TRUE(is_infinity_form(gen_mul_blinded(Scalar::zero())));
    EXPECT_FALSE(gen_mul_blinded(b.negate()).infinity);
    blinding_clear();
    Point inf = Point::infinity_point();
    inf.to_affine_ct_assign();
    EXPECT_TRUE(is_infinity_form(inf));
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

// b and -b*G must not outlive the thread: thread storage is handed to the
// next thread as it was left. An object of this thread made before the
// blinding state is destroyed after it, and looks at the state's storage
// then.
TEST(Blinding, WipedWhenTheThreadEnds) {
    struct LastLook {
        const BlindingState* storage = nullptr;
        bool* all_zero = nullptr;
        ~LastLook() {
            if (!storage) return;
            const auto* bytes = reinterpret_cast<const volatile uint8_t*>(storage);
            bool zero = true;
            for (size_t i = 0; i < sizeof(BlindingState); ++i) zero = zero && bytes[i] == 0;
            *all_zero = zero;
        }
    };
    for (bool cleared : {false, true}) {
        SCOPED_TRACE(cleared ? "turned off before the end" : "still on at the end");
        bool all_zero = false;
        std::thread([&] {
            thread_local LastLook look;
            look.all_zero = &all_zero;
            blinding_set(sc_hex("b11dfeed"));
            look.storage = blinding_storage();
            EXPECT_TRUE(blinding_active());
            if (cleared) blinding_clear();
        }).join();
        EXPECT_TRUE(all_zero);
    }
}

// What batch code does to give its workers the caller's blinding: they
// multiply with it, and the caller's own state is unchanged.
TEST(Blinding, WorkersAdoptTheCallersSnapshot) {
    const Scalar b = sc_hex("5eedb11d");
    blinding_set(b);
    const BlindingState snap = current_blinding();
    ASSERT_EQ(1, snap.active);
    bool worker_active = false, worker_right = false;
    const Scalar k = sc_hex("c0ffee");
    std::thread([&] {
        adopt_blinding(snap);
        worker_active = blinding_active();
        worker_right = gen_mul_blinded(k).equals(gen_mul_ct(k)) && current_blinding().scalar.equal(b);
        blinding_clear();
    }).join();
    EXPECT_TRUE(worker_active);
    EXPECT_TRUE(worker_right);
    EXPECT_TRUE(blinding_active());
    EXPECT_TRUE(current_blinding().scalar.equal(b));
    blinding_clear();
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

// The GLV and width-5 method of mul (and of dual_mul and mul_with_plan)
// against the binary method: affine and Jacobian points, negations and
// endomorphism images, G without its flag, and scalars whose halves take
// either sign, are tiny, or lie near 2^128 and n/2.
std::vector<Point> varied_points(Rng& rng) {
    Point g_plain = Point::generator();
    g_plain.is_generator = false;
    const Point j = binary_mul(Point::generator(), rng.scalar());
    Point a = binary_mul(Point::generator(), rng.scalar());
    a.to_affine_assign();
    return {g_plain, g_plain.dbl(), j, j.negate(), j.endomorphism(), j.endomorphism().endomorphism(), a, a.negate()};
}

std::vector<Scalar> varied_scalars(Rng& rng) {
    std::vector<Scalar> ks = edge_scalars();
    const Scalar l = Scalar::lambda();
    for (uint64_t small : {4ull, 5ull, 15ull, 16ull, 17ull, 31ull, 33ull, 0xFFFFull}) {
        ks.push_back(Scalar::from_u64(small));
        ks.push_back(Scalar::from_u64(small).negate());
        ks.push_back(Scalar::from_u64(small) * l);
        ks.push_back(Scalar::from_u64(small) + Scalar::from_u64(small) * l);
        ks.push_back((Scalar::from_u64(small) - Scalar::from_u64(small) * l).negate());
    }
    for (int b : {64, 127, 129, 192, 254}) {
        ks.push_back(sc(BigUint(1) << b));
        ks.push_back(sc((BigUint(1) << b) - BigUint(1)));
    }
    for (int i = 0; i < 6; ++i) ks.push_back(rng.scalar());
    return ks;
}

TEST(PointMul, GlvWindowMethodAgreesWithTheBinaryMethod) {
    Rng rng(31);
    const std::vector<Point> ps = varied_points(rng);
    const std::vector<Scalar> ks = varied_scalars(rng);
    bool saw[2][2] = {{false, false}, {false, false}};
    for (const Scalar& k : ks) {
        const GlvSplit s = k.split_lambda_var();
        saw[s.neg1 != 0][s.neg2 != 0] = true;
    }
    EXPECT_TRUE(saw[0][0] && saw[0][1] && saw[1][0] && saw[1][1]);
    for (const Point& p : ps) {
        for (const Scalar& k : ks) {
            const Point want = binary_mul(p, k);
            const Point got = mul(p, k);
            ASSERT_TRUE(got.equals(want)) << big(k).to_hex();
            ASSERT_TRUE(got.infinity || (got.z_is_one && got.Z.equal(FieldElement::one())));
            ASSERT_FALSE(got.is_generator);
        }
    }
}

TEST(DualMul, AgreesWithTheBinaryMethodOnVariedInputs) {
    Rng rng(32);
    const std::vector<Point> ps = varied_points(rng);
    const std::vector<Scalar> ks = varied_scalars(rng);
    const Point g = Point::generator();
    for (size_t i = 0; i < ks.size(); ++i) {
        const Scalar u1 = ks[i], u2 = ks[(i * 5 + 1) % ks.size()];
        const Point& p = ps[i % ps.size()];
        ASSERT_TRUE(dual_mul(u1, u2, p).equals(binary_mul(g, u1).add(binary_mul(p, u2)))) << i;
    }
    // The generator as the variable point (with and without its flag), equal
    // and opposite halves, and an infinite point.
    for (const Scalar& k : ks) {
        ASSERT_TRUE(dual_mul(k, k, g).equals(binary_mul(g, k).dbl()));
        ASSERT_TRUE(dual_mul(k, k.negate(), g).infinity);
        ASSERT_TRUE(dual_mul(k, k.negate(), ps[0]).infinity);
        ASSERT_TRUE(dual_mul(k, Scalar::one(), Point::infinity_point()).equals(binary_mul(g, k)));
    }
}

TEST(FixedKPlan, AgreesWithTheBinaryMethodOnVariedInputs) {
    Rng rng(33);
    const std::vector<Point> ps = varied_points(rng);
    const std::vector<Scalar> ks = varied_scalars(rng);
    for (unsigned w : {2u, 5u, 8u, 12u}) {
        for (size_t i = 0; i < ks.size(); ++i) {
            const FixedKPlan plan = fixed_k_plan(ks[i], w);
            const Point& p = ps[i % ps.size()];
            ASSERT_TRUE(mul_with_plan(p, plan).equals(binary_mul(p, ks[i]))) << w << " " << big(ks[i]).to_hex();
        }
    }
    // The form over a caller's tables of 16 odd multiples: widths up to 6
    // read them, wider ones are refused.
    for (size_t i = 0; i < ps.size(); ++i) {
        const Point& p = ps[i];
        if (p.infinity) continue;
        // The odd multiples of P and of 2^64 P, and their images.
        AffinePoint odd[2][16], odd_lambda[2][16];
        const Scalar two64 = Scalar::from_limbs(0, 1, 0, 0);
        for (size_t s = 0; s < 2; ++s) {
            const Point base = s == 0 ? p : binary_mul(p, two64);
            for (uint64_t j = 0; j < 16; ++j) {
                Point m = binary_mul(base, Scalar::from_u64(2 * j + 1));
                m.to_affine_assign();
                odd[s][j] = AffinePoint{m.X, m.Y};
                odd_lambda[s][j] = AffinePoint{m.X * FieldElement::beta(), m.Y};
            }
        }
        const AffinePoint* const split[4] = {odd[0], odd_lambda[0], odd[1], odd_lambda[1]};
        for (unsigned w : {2u, 5u, 6u}) {
            for (const Scalar& k : ks) {
                const Point want = binary_mul(p, k);
                ASSERT_TRUE(mul_with_plan(odd[0], odd_lambda[0], 16, fixed_k_plan(k, w)).equals(want))
                    << w << " " << big(k).to_hex();
                ASSERT_TRUE(mul_with_split_plan(split, 16, split_k_plan(k, w)).equals(want))
                    << w << " " << big(k).to_hex();
            }
        }
        EXPECT_TRUE(mul_with_plan(odd[0], odd_lambda[0], 16, fixed_k_plan(ks[0], 7)).infinity);
        EXPECT_TRUE(mul_with_plan(odd[0], odd_lambda[0], 8, fixed_k_plan(ks[0], 6)).infinity);
        EXPECT_TRUE(mul_with_split_plan(split, 16, split_k_plan(ks[0], 7)).infinity);
    }
}

TEST(PointMul, ConstantTimeAgreesOnVariedInputs) {
    Rng rng(34);
    const std::vector<Point> ps = varied_points(rng);
    const std::vector<Scalar> ks = varied_scalars(rng);
    for (size_t i = 0; i < ks.size(); ++i) {
        const Point& p = ps[i % ps.size()];
        ASSERT_TRUE(mul_ct(p, ks[i]).equals(binary_mul(p, ks[i]))) << big(ks[i]).to_hex();
    }
}

// mul_ct adds its table entries with the formulas that assume no
// exceptional operands up to its last group, where the multiples of P and
// lambda P reached are below 2^125. That is exact because no non-zero
// (a, b) with a + b lambda = 0 (mod n) has both parts below 2^125: a
// Gauss-reduced basis of that lattice (with determinant n) has a shortest
// vector longer than 2^125.5 in Euclidean length, and every coordinate
// bound follows by the factor sqrt(2).
TEST(PointMul, NoShortVectorMakesTheConstantTimeAdditionsExceptional) {
    const BigUint n = N();
    const BigUint lam = big(Scalar::lambda());
    // a = (a0, a1), b = (-b0, b1), all four magnitudes.
    const BigUint a0 = BigUint::from_hex("114ca50f7a8e2f3f657c1108d9d44cfd8");
    const BigUint a1 = BigUint::from_hex("3086d221a7d46bcde86c90e49284eb15");
    const BigUint b0 = BigUint::from_hex("3086d221a7d46bcde86c90e49284eb15");
    const BigUint b1 = BigUint::from_hex("e4437ed6010e88286f547fa90abfe4c3");
    EXPECT_TRUE(((a0 + a1 * lam) % n).is_zero());
    EXPECT_EQ(b0 % n, (b1 * lam) % n);
    EXPECT_EQ(n, a0 * b1 + a1 * b0);  // a basis of the whole lattice
    const BigUint aa = a0 * a0 + a1 * a1, bb = b0 * b0 + b1 * b1;
    // a . b = -a0 b0 + a1 b1 = -(a0 - b1) a1, since a1 = b0.
    ASSERT_TRUE(a0 > b1);
    const BigUint dot = (a0 - b1) * a1;
    EXPECT_TRUE(bb <= aa);
    EXPECT_TRUE(dot + dot <= bb);  // Gauss-reduced: b is a shortest vector
    EXPECT_TRUE(bb > (BigUint(1) << 251));
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

// The digit routine skips runs of equal bits a word at a time; its digits
// must be exactly those of the definition, which looks at one bit per step.
size_t wnaf_by_definition(const Scalar& k, unsigned w, int32_t* out, size_t capacity) {
    const size_t cap = std::min<size_t>(capacity, 260);
    for (size_t i = 0; i < cap; ++i) out[i] = 0;
    uint64_t carry = 0;
    long last = -1;
    unsigned i = 0;
    while (i < 256) {
        if (k.bits(i, 1) == carry) {
            ++i;
            continue;
        }
        const unsigned len = std::min(w, 256 - i);
        const uint64_t sum = k.bits(i, len) + carry;
        carry = (sum >> (w - 1)) & 1;
        const int64_t digit = static_cast<int64_t>(sum) - static_cast<int64_t>(carry << w);
        if (i < cap) out[i] = static_cast<int32_t>(digit);
        last = static_cast<long>(i);
        i += len;
    }
    size_t count = static_cast<size_t>(last + 1);
    if (carry && 256 < cap) {
        out[256] = 1;
        count = 257;
    }
    return count;
}

TEST(WnafInt, DigitsAreThoseOfTheDefinition) {
    Rng rng(7);
    std::vector<Scalar> ks = edge_scalars();
    for (int i = 0; i < 40; ++i) ks.push_back(rng.scalar());
    // Long runs of ones and zeros, across word boundaries and at the top.
    const BigUint all = (BigUint(1) << 256) - BigUint(1);
    for (unsigned b : {1u, 63u, 64u, 65u, 127u, 128u, 129u, 191u, 192u, 200u, 255u}) {
        ks.push_back(sc((BigUint(1) << b) - BigUint(1)));
        ks.push_back(sc(BigUint(1) << b));
        ks.push_back(sc(all - (BigUint(1) << b)));
    }
    ks.push_back(sc(all % N()));
    for (unsigned w = 2; w <= 16; ++w) {
        for (const Scalar& k : ks) {
            for (size_t cap : {size_t{260}, size_t{257}, size_t{256}, size_t{100}, size_t{1}}) {
                int32_t got[260], want[260];
                const size_t n = wnaf_int(k, w, got, cap);
                const size_t m = wnaf_by_definition(k, w, want, cap);
                ASSERT_EQ(m, n) << big(k).to_hex() << " w=" << w << " cap=" << cap;
                for (size_t i = 0; i < std::min<size_t>(cap, 260); ++i)
                    ASSERT_EQ(want[i], got[i]) << big(k).to_hex() << " w=" << w << " i=" << i;
            }
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
