#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "arith/field.h"
#include "arith/field_mul.h"
#include "arith/limb_ops.h"
#include "arith_helpers.h"
#include "support/cpu.h"

namespace qorvex::test {
namespace {

using F = FieldElement;

F p_minus(uint64_t k) { return fe(P() - BigUint(k)); }

// Raw limbs, deliberately not reduced.
F raw(const BigUint& b) {
    F f;
    b.to_limbs(f.limb);
    return f;
}

TEST(FieldEdges, AdditiveIdentitiesAtTheModulus) {
    EXPECT_TRUE((p_minus(1) + F::one()).is_zero());
    EXPECT_TRUE((F::zero() - F::one()).equal(p_minus(1)));
    EXPECT_TRUE(F::zero().negate().is_zero());
    EXPECT_TRUE(F::one().negate().equal(p_minus(1)));
    EXPECT_TRUE((p_minus(1) * p_minus(1)).equal(F::one()));
    EXPECT_TRUE((p_minus(1) + p_minus(1)).equal(p_minus(2)));
}

TEST(FieldEdges, ParsingRejectsValuesAtOrAboveP) {
    uint8_t b[32];
    const auto bytes_of = [](const BigUint& v, uint8_t* o) {
        F f;
        v.to_limbs(f.limb);
        f.to_bytes(o);
    };
    F sentinel = F::from_u64(99);
    bytes_of(P(), b);
    EXPECT_FALSE(F::parse_strict(b, sentinel));
    EXPECT_TRUE(sentinel.equal(F::from_u64(99)));  // output untouched on failure
    EXPECT_TRUE(F::from_bytes_reduce(b).is_zero());

    uint8_t ff[32];
    for (auto& x : ff) x = 0xFF;
    EXPECT_FALSE(F::parse_strict(ff, sentinel));
    EXPECT_TRUE(big(F::from_bytes_reduce(ff)) == (BigUint::from_hex(std::string(64, 'F')) - P()));

    bytes_of(P() - BigUint(1), b);
    ASSERT_TRUE(F::parse_strict(b, sentinel));
    EXPECT_TRUE(sentinel.equal(p_minus(1)));
    uint8_t back[32];
    sentinel.to_bytes(back);
    EXPECT_EQ(0, std::memcmp(back, b, 32));
}

TEST(FieldEdges, EqualityNormalisesNonCanonicalLimbs) {
    const F five = F::from_u64(5);
    const F five_plus_p = raw(P() + BigUint(5));
    EXPECT_TRUE(five.equal(five_plus_p));
    EXPECT_TRUE(raw(P()).is_zero());
    EXPECT_FALSE(raw(P() + BigUint(1)).is_zero());
}

TEST(FieldEdges, InversionOfZero) {
    try {
        (void)F::zero().inverse_var();
        FAIL() << "inverse_var of zero must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Inverse of zero not defined", e.what());
    }
    EXPECT_THROW((void)raw(P()).inverse_var(), std::runtime_error);
    EXPECT_TRUE(F::zero().inverse_ct().is_zero());
}

TEST(FieldEdges, SqrtCandidate) {
    const F four = F::from_u64(4);
    EXPECT_TRUE(four.sqrt_candidate().sqr().equal(four));
    // 3 is a quadratic non-residue modulo p (Euler's criterion, checked here).
    const F three = F::from_u64(3);
    ASSERT_TRUE(BigUint::pow_mod(BigUint(3), (P() - BigUint(1)) >> 1, P()) == P() - BigUint(1));
    EXPECT_FALSE(three.sqrt_candidate().sqr().equal(three));
}

// The four-lane form against the single one, residues and non-residues
// mixed in one call, edge values included.
TEST(FieldEdges, SqrtCandidateFourAtOnce) {
    Rng rng(12);
    std::vector<F> vals = {F::zero(), F::one(), p_minus(1), F::from_u64(3)};
    for (int i = 0; i < 40; ++i) vals.push_back(i % 2 ? rng.field() : rng.field_edgy());
    for (size_t i = 0; i + 4 <= vals.size(); i += 4) {
        F out[4];
        F::sqrt_candidate_x4(&vals[i], out);
        for (size_t l = 0; l < 4; ++l) EXPECT_TRUE(out[l].equal(vals[i + l].sqrt_candidate())) << i + l;
        // In place.
        F inout[4] = {vals[i], vals[i + 1], vals[i + 2], vals[i + 3]};
        F::sqrt_candidate_x4(inout, inout);
        for (size_t l = 0; l < 4; ++l) EXPECT_TRUE(inout[l].equal(out[l]));
    }
}

TEST(FieldEdges, Half) {
    Rng rng(11);
    for (int i = 0; i < 200; ++i) {
        const F a = rng.field_edgy();
        EXPECT_TRUE((a.half() + a.half()).equal(a));
    }
    EXPECT_TRUE(F::one().half().equal(fe((P() + BigUint(1)) >> 1)));
}

// Every operation against the test-only big integers, on random and extreme
// operands.
TEST(FieldAgainstBignum, AllOperations) {
    Rng rng(1);
    std::vector<F> ops = {F::zero(), F::one(), p_minus(1), p_minus(2), F::from_u64(0x1000003D1ULL)};
    for (int i = 0; i < 300; ++i) ops.push_back(i % 3 ? rng.field() : rng.field_edgy());
    // Inverses of the same values, cross-checked without the slow bignum.
    for (const F& a : ops) {
        if (a.is_zero()) continue;
        EXPECT_TRUE((a * a.inverse_var()).equal(F::one()));
        EXPECT_TRUE(a.inverse_ct().equal(a.inverse_var()));
    }
    for (size_t i = 0; i + 1 < ops.size(); ++i) {
        const F a = ops[i], b = ops[i + 1];
        const BigUint A = big(a), B = big(b);
        SCOPED_TRACE(A.to_hex() + " " + B.to_hex());
        EXPECT_TRUE(big(a + b) == (A + B) % P());
        EXPECT_TRUE(big(a - b) == (A + P() - B) % P());
        EXPECT_TRUE(big(a.negate()) == (P() - A) % P());
        EXPECT_TRUE(big(a * b) == (A * B) % P());
        EXPECT_TRUE(big(a.sqr()) == (A * A) % P());
        if (i % 5 != 0) continue;  // exponentiations with the test bignum are slow
        if (!a.is_zero()) {
            const BigUint inv = BigUint::inv_mod_prime(A, P());
            EXPECT_TRUE(big(a.inverse_var()) == inv);
            EXPECT_TRUE(big(a.inverse_ct()) == inv);
        }
        EXPECT_TRUE(big(a.sqrt_candidate()) == BigUint::pow_mod(A, (P() + BigUint(1)) >> 2, P()));
    }
}

#if QORVEX_HAVE_ADX_BACKEND
// The two multiplication back ends must agree bit for bit.
class FieldBackends : public ::testing::Test {
protected:
    void SetUp() override {
        if (!(cpu_features().bmi2 && cpu_features().adx)) GTEST_SKIP() << "processor lacks BMI2/ADX";
    }
    static void expect_same(const F& a, const F& b) {
        uint64_t r1[4], r2[4];
        field_detail::mul_portable(r1, a.limb, b.limb);
        field_detail::mul_adx(r2, a.limb, b.limb);
        ASSERT_EQ(0, std::memcmp(r1, r2, sizeof r1)) << big(a).to_hex() << " * " << big(b).to_hex();
        field_detail::sqr_portable(r1, a.limb);
        field_detail::sqr_adx(r2, a.limb);
        ASSERT_EQ(0, std::memcmp(r1, r2, sizeof r1)) << big(a).to_hex() << "^2";
    }
};

TEST_F(FieldBackends, AgreeOnEdgeOperands) {
    std::vector<F> edges = {F::zero(), F::one(), F::from_u64(2), p_minus(1), p_minus(2), F::from_u64(0x1000003D1ULL)};
    for (uint64_t top : {~uint64_t{0}, uint64_t{1} << 63, uint64_t{0xFFFFFFFF}}) {
        edges.push_back(F{{~uint64_t{0}, ~uint64_t{0}, ~uint64_t{0}, top}});
        edges.push_back(F{{0, 0, 0, top}});
    }
    for (const F& a : edges)
        for (const F& b : edges) expect_same(a, b);
    // Operands in [p, 2^256) are outside the contract, but both back ends
    // still reduce them the same way and to the right value.
    for (uint64_t k : {uint64_t{0}, uint64_t{1}, uint64_t{0x1000003D0}}) {
        const F over = raw(P() + BigUint(k));
        expect_same(over, over);
        uint64_t r[4];
        field_detail::mul_adx(r, over.limb, over.limb);
        EXPECT_TRUE(BigUint::from_limbs(r) == (BigUint(k) * BigUint(k)) % P());
    }
}

TEST_F(FieldBackends, AgreeOnAMillionRandomPairs) {
    Rng rng(20261210);
    for (int i = 0; i < 1000000; ++i) {
        const F a = (i & 7) ? rng.field() : rng.field_edgy();
        const F b = (i & 3) ? rng.field() : rng.field_edgy();
        expect_same(a, b);
        if (HasFatalFailure()) return;
    }
}

TEST_F(FieldBackends, AdxMatchesBignum) {
    Rng rng(3);
    for (int i = 0; i < 200; ++i) {
        const F a = rng.field_edgy(), b = rng.field();
        uint64_t r[4];
        field_detail::mul_adx(r, a.limb, b.limb);
        EXPECT_TRUE(BigUint::from_limbs(r) == (big(a) * big(b)) % P());
    }
}
#endif

// Chains of squarings and products on locals that live only in registers
// between steps: each step must see the value the previous one produced
// (the hand-written routines read their operands from memory).
TEST(FieldChains, RepeatedSquaringsAndProductsOfLocals) {
    Rng rng(17);
    for (int round = 0; round < 20; ++round) {
        const F a = rng.field();
        const int n = 1 + static_cast<int>(rng.u64() % 40);
        F x = a, y = a;
        BigUint want = big(a);
        for (int i = 0; i < n; ++i) {
            x = x.sqr();
            y = y * y;
            want = (want * want) % P();
        }
        ASSERT_TRUE(big(x) == want) << n;
        ASSERT_TRUE(big(y) == want) << n;
        F z = a;
        BigUint wz = big(a);
        for (int i = 0; i < n; ++i) {
            z = z * a;
            wz = (wz * big(a)) % P();
        }
        ASSERT_TRUE(big(z) == wz) << n;
    }
}

TEST(FieldAgainstBignum, SmallMultiples) {
    Rng rng(18);
    std::vector<F> ops = {F::zero(), F::one(), p_minus(1), p_minus(2), F::from_u64(0x1000003D1ULL)};
    for (int i = 0; i < 300; ++i) ops.push_back(i % 2 ? rng.field() : rng.field_edgy());
    std::vector<uint32_t> ks = {0, 1, 2, 3, 4, 7, 8, 977, 0xFFFFFFFFu, 0x80000000u};
    for (int i = 0; i < 20; ++i) ks.push_back(static_cast<uint32_t>(rng.u64()));
    for (const F& a : ops) {
        for (uint32_t k : ks) {
            ASSERT_TRUE(big(a.mul_small(k)) == (big(a) * BigUint(k)) % P()) << big(a).to_hex() << " * " << k;
        }
    }
    // The additions that the formulas used before.
    for (const F& a : ops) {
        ASSERT_TRUE(a.mul_small(3).equal(a.dbl() + a));
        ASSERT_TRUE(a.mul_small(8).equal(a.dbl().dbl().dbl()));
    }
}

// The carry helpers agree with their generic forms (which other targets
// use) on every carry-in and on operands at the extremes.
TEST(FieldLimbs, CarryHelpersAgreeWithTheGenericForms) {
    Rng rng(19);
    std::vector<uint64_t> v = {0, 1, 2, ~uint64_t{0}, ~uint64_t{0} - 1, uint64_t{1} << 63, (uint64_t{1} << 63) - 1};
    for (int i = 0; i < 200; ++i) v.push_back(rng.u64());
    for (uint64_t a : v) {
        for (uint64_t b : v) {
            for (unsigned char c : {0, 1}) {
                uint64_t r1, r2;
                const unsigned char carry = limb::addc_generic(c, a, b, r1);
                ASSERT_EQ(carry, limb::addc(c, a, b, r2));
                ASSERT_EQ(r1, r2);
                ASSERT_EQ(a + b + c, r1);
                ASSERT_EQ((b > ~uint64_t{0} - a) || (a + b > ~uint64_t{0} - c), carry != 0);
                const unsigned char borrow = limb::subb_generic(c, a, b, r1);
                ASSERT_EQ(borrow, limb::subb(c, a, b, r2));
                ASSERT_EQ(r1, r2);
                ASSERT_EQ(a - b - c, r1);
                ASSERT_EQ(a < b || a - b < c, borrow != 0);
            }
        }
    }
}

TEST(FieldLimbs, WideProductsAgreeWithTheGenericForm) {
    Rng rng(20);
    std::vector<uint64_t> v = {0, 1, 2, 0xffffffffu, uint64_t{1} << 32, ~uint64_t{0}, ~uint64_t{0} - 1};
    for (int i = 0; i < 60; ++i) v.push_back(rng.u64());
    for (uint64_t a : v) {
        for (uint64_t b : v) {
            const uint64_t c = v[(a ^ b) % v.size()], d = v[(a + b) % v.size()];
            uint64_t h1, h2;
            const uint64_t l1 = field_detail::mul_add2(a, b, c, d, h1);
            const uint64_t l2 = field_detail::mul_add2_generic(a, b, c, d, h2);
            ASSERT_EQ(l1, l2);
            ASSERT_EQ(h1, h2);
            const BigUint want = BigUint(a) * BigUint(b) + BigUint(c) + BigUint(d);
            const uint64_t limbs[4] = {l1, h1, 0, 0};
            ASSERT_TRUE(BigUint::from_limbs(limbs) == want);
        }
    }
}

TEST(FieldBatchInverse, SmallFixedSet) {
    F v[4] = {F::from_u64(3), F::from_u64(7), F::from_u64(11), F::from_u64(19)};
    F::batch_inverse(v, 4);
    const uint64_t src[4] = {3, 7, 11, 19};
    for (int i = 0; i < 4; ++i) EXPECT_TRUE((v[i] * F::from_u64(src[i])).equal(F::one()));
}

TEST(FieldBatchInverse, ZerosStayZeroAcrossSizes) {
    Rng rng(5);
    for (size_t m : {0, 1, 2, 3, 63, 64, 65, 200, 8192}) {
        SCOPED_TRACE(m);
        std::vector<F> a(m), expect(m);
        for (size_t i = 0; i < m; ++i) {
            a[i] = (i % 5 == 2) ? F::zero() : rng.field();
            expect[i] = a[i].is_zero() ? F::zero() : a[i].inverse_var();
        }
        F::batch_inverse(a.data(), m);
        for (size_t i = 0; i < m; ++i) ASSERT_TRUE(a[i].equal(expect[i])) << i;
    }
    F single = F::zero();
    F::batch_inverse(&single, 1);
    EXPECT_TRUE(single.is_zero());
    F all_zero[3] = {F::zero(), F::zero(), F::zero()};
    F::batch_inverse(all_zero, 3);
    for (const F& z : all_zero) EXPECT_TRUE(z.is_zero());
}

TEST(FieldConstants, BetaIsACubeRootOfUnity) {
    const F b = F::beta();
    EXPECT_FALSE(b.equal(F::one()));
    EXPECT_TRUE((b.sqr() * b).equal(F::one()));
    EXPECT_STRNE("", field_backend_name());
}

}  // namespace
}  // namespace qorvex::test
