#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "arith/scalar.h"
#include "arith_helpers.h"

namespace qorvex::test {
namespace {

using S = Scalar;

S n_minus(uint64_t k) { return sc(N() - BigUint(k)); }

void bytes_of(const BigUint& v, uint8_t out[32]) {
    S s;
    v.to_limbs(s.limb);
    s.to_bytes(out);
}

TEST(ScalarParsing, ReducingParse) {
    uint8_t b[32];
    bytes_of(N(), b);
    EXPECT_TRUE(S::from_bytes_reduce(b).is_zero());
    bytes_of(N() + BigUint(1), b);
    EXPECT_TRUE(S::from_bytes_reduce(b).equal(S::one()));
    uint8_t ff[32];
    for (auto& x : ff) x = 0xFF;
    EXPECT_TRUE(big(S::from_bytes_reduce(ff)) == BigUint::from_hex(std::string(64, 'F')) - N());
}

TEST(ScalarParsing, StrictAndNonzero) {
    struct Case {
        BigUint value;
        bool strict, nonzero;
    };
    const Case cases[] = {
        {BigUint(0), true, false},
        {BigUint(1), true, true},
        {N() - BigUint(1), true, true},
        {N(), false, false},
        {N() + BigUint(1), false, false},
        {BigUint::from_hex(std::string(64, 'F')), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.to_hex());
        uint8_t b[32];
        bytes_of(c.value, b);
        S out = S::from_u64(77);
        EXPECT_EQ(c.strict, S::parse_strict(b, out));
        EXPECT_TRUE(c.strict ? big(out) == c.value : out.equal(S::from_u64(77)));
        out = S::from_u64(77);
        EXPECT_EQ(c.nonzero, S::parse_nonzero(b, out));
    }
}

TEST(ScalarParsing, FromHex) {
    EXPECT_TRUE(S::from_hex(N().to_hex().c_str()).is_zero());
    EXPECT_TRUE(S::from_hex("00000000000000000000000000000000000000000000000000000000000000aB").equal(S::from_u64(0xab)));
    const struct {
        const char* text;
        const char* message;
    } bad[] = {
        {"", "Hex string must be exactly 64 characters (32 bytes)"},
        {"00", "Hex string must be exactly 64 characters (32 bytes)"},
        {"000000000000000000000000000000000000000000000000000000000000000000",
         "Hex string must be exactly 64 characters (32 bytes)"},
        {"000000000000000000000000000000000000000000000000000000000000000g", "Invalid hex character"},
        {"x000000000000000000000000000000000000000000000000000000000000000", "Invalid hex character"},
    };
    for (const auto& c : bad) {
        try {
            (void)S::from_hex(c.text);
            ADD_FAILURE() << c.text;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(c.message, e.what());
        }
    }
}

TEST(ScalarEdges, Identities) {
    EXPECT_TRUE(S::zero().negate().is_zero());
    EXPECT_TRUE(S::one().negate().equal(n_minus(1)));
    EXPECT_TRUE((n_minus(1) + S::one()).is_zero());
    EXPECT_TRUE((S::zero() - S::one()).equal(n_minus(1)));
    EXPECT_TRUE((n_minus(1) * n_minus(1)).equal(S::one()));
    EXPECT_TRUE(n_minus(1).mul_fold(n_minus(1)).equal(S::one()));
    EXPECT_TRUE(S::zero().inverse_var().is_zero());
    EXPECT_TRUE(S::zero().inverse_ct().is_zero());
    EXPECT_TRUE(big(S::one().halve_ct()) == (N() + BigUint(1)) >> 1);
    EXPECT_TRUE(S::one().cond_negate_ct(0).equal(S::one()));
    EXPECT_TRUE(S::one().cond_negate_ct(~uint64_t{0}).equal(n_minus(1)));
}

TEST(ScalarEdges, HighHalf) {
    const BigUint half = N() >> 1;
    EXPECT_FALSE(sc(half).is_high());
    EXPECT_TRUE(sc(half + BigUint(1)).is_high());
    EXPECT_TRUE(n_minus(1).is_high());
    EXPECT_FALSE(S::zero().is_high());
}

TEST(ScalarAgainstBignum, AllOperations) {
    Rng rng(2);
    std::vector<S> ops = {S::zero(), S::one(), n_minus(1), n_minus(2), sc(N() >> 1), sc((N() >> 1) + BigUint(1))};
    for (int i = 0; i < 300; ++i) ops.push_back(rng.scalar());
    for (size_t i = 0; i + 1 < ops.size(); ++i) {
        const S a = ops[i], b = ops[i + 1];
        const BigUint A = big(a), B = big(b);
        SCOPED_TRACE(A.to_hex() + " " + B.to_hex());
        EXPECT_TRUE(big(a + b) == (A + B) % N());
        EXPECT_TRUE(big(a.add_ct(b)) == (A + B) % N());
        EXPECT_TRUE(big(a - b) == (A + N() - B) % N());
        EXPECT_TRUE(big(a.subtract_ct(b)) == (A + N() - B) % N());
        EXPECT_TRUE(big(a.negate_ct()) == (N() - A) % N());
        EXPECT_TRUE(big(a * b) == (A * B) % N());
        EXPECT_TRUE(big(a.mul_fold(b)) == (A * B) % N());
        EXPECT_TRUE(big(a.halve_ct()) * BigUint(2) % N() == A);
        EXPECT_EQ(A > (N() >> 1), a.is_high());
        if (!a.is_zero()) {
            EXPECT_TRUE((a * a.inverse_var()).equal(S::one()));
            EXPECT_TRUE(a.inverse_ct().equal(a.inverse_var()));
        }
        if (i % 5 == 0 && !a.is_zero()) {  // exponentiations with the test bignum are slow
            const BigUint inv = BigUint::inv_mod_prime(A, N());
            EXPECT_TRUE(big(a.inverse_var()) == inv);
            EXPECT_TRUE(big(a.inverse_ct()) == inv);
        }
    }
}

// Products across the whole range, with limbs at their extremes: the
// folding reduction must give the residue that the definition gives, and
// both products must agree.
TEST(ScalarAgainstBignum, ProductsWithExtremeLimbs) {
    Rng rng(21);
    auto edgy = [&rng] {
        uint64_t l[4];
        for (auto& x : l) {
            switch (rng.u64() % 4) {
                case 0: x = 0; break;
                case 1: x = ~uint64_t{0}; break;
                default: x = rng.u64(); break;
            }
        }
        return S::from_limbs(l[0], l[1], l[2], l[3]);
    };
    std::vector<S> ops = {S::zero(), S::one(), n_minus(1), n_minus(2), sc(N() >> 1), sc(BigUint(1) << 128),
                          sc((BigUint(1) << 128) - BigUint(1)), sc((BigUint(1) << 255))};
    for (int i = 0; i < 2000; ++i) ops.push_back(i % 2 ? edgy() : rng.scalar());
    for (size_t i = 0; i < ops.size(); ++i) {
        const S a = ops[i], b = ops[(i * 7 + 3) % ops.size()];
        const BigUint want = (big(a) * big(b)) % N();
        ASSERT_TRUE(big(a * b) == want) << big(a).to_hex() << " " << big(b).to_hex();
        ASSERT_TRUE(big(a.mul_fold(b)) == want);
        ASSERT_TRUE(big(a * a) == (big(a) * big(a)) % N());
    }
}

// The constant-time inverse against the variable-time one (both against
// the definition) on many values, zero included.
TEST(ScalarAgainstBignum, BothInversesAgree) {
    Rng rng(22);
    std::vector<S> ops = {S::zero(), S::one(), S::from_u64(2), n_minus(1), n_minus(2), sc(N() >> 1)};
    for (int i = 0; i < 500; ++i) ops.push_back(rng.scalar());
    for (const S& a : ops) {
        const S inv = a.inverse_ct();
        ASSERT_TRUE(inv.equal(a.inverse_var())) << big(a).to_hex();
        if (a.is_zero()) {
            ASSERT_TRUE(inv.is_zero());
        } else {
            ASSERT_TRUE((a * inv).equal(S::one())) << big(a).to_hex();
        }
    }
}

TEST(ScalarBits, BitAndBitsReadAcrossLimbs) {
    Rng rng(4);
    for (int t = 0; t < 20; ++t) {
        const S k = rng.scalar();
        const BigUint K = big(k);
        for (unsigned i = 0; i < 260; ++i) EXPECT_EQ(i < 256 && K.bit(i), k.bit_ct(i) == 1) << i;
        for (unsigned off : {0u, 1u, 60u, 63u, 64u, 100u, 127u, 128u, 200u, 250u, 255u}) {
            for (unsigned count : {1u, 5u, 17u, 64u}) {
                const BigUint want = (K >> off) % (BigUint(1) << count);
                EXPECT_TRUE(BigUint(k.bits(off, count)) == want) << off << "," << count;
            }
        }
    }
    EXPECT_EQ(0u, S::zero().bit_length());
    EXPECT_EQ(256u, n_minus(1).bit_length());
}

// sum of digits * 2^i, modulo n.
BigUint weighted_sum(const int8_t* d, size_t count) {
    BigUint acc;
    for (size_t i = count; i-- > 0;) {
        acc = (acc * BigUint(2)) % N();
        if (d[i] > 0) acc = (acc + BigUint(static_cast<uint64_t>(d[i]))) % N();
        if (d[i] < 0) acc = (acc + N() - BigUint(static_cast<uint64_t>(-d[i]))) % N();
    }
    return acc;
}

TEST(ScalarRecoding, WnafShapeAndValue) {
    Rng rng(6);
    std::vector<S> ks = {S::one(), S::from_u64(3), S::from_u64(7), n_minus(1), n_minus(2), sc(N() >> 1)};
    for (int i = 0; i < 40; ++i) ks.push_back(rng.scalar());
    for (unsigned w = 2; w <= 8; ++w) {
        for (const S& k : ks) {
            const auto d = k.to_wnaf(w);
            SCOPED_TRACE(big(k).to_hex() + " w=" + std::to_string(w));
            ASSERT_FALSE(d.empty());
            EXPECT_NE(0, d.back());
            for (size_t i = 0; i < d.size(); ++i) {
                if (d[i] == 0) continue;
                EXPECT_TRUE(d[i] & 1);
                EXPECT_LT(std::abs(d[i]), 1 << (w - 1));
                for (size_t j = i + 1; j < i + w && j < d.size(); ++j) EXPECT_EQ(0, d[j]);
            }
            EXPECT_TRUE(weighted_sum(d.data(), d.size()) == big(k));
        }
    }
    EXPECT_TRUE(S::zero().to_wnaf(5).empty());
    EXPECT_EQ(S::from_u64(3).to_naf(), (std::vector<int8_t>{-1, 0, 1}));
    for (unsigned w : {0u, 1u, 9u}) {
        try {
            (void)S::one().to_wnaf(w);
            ADD_FAILURE() << w;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ("wNAF width must be between 2 and 8", e.what());
        }
        EXPECT_TRUE(wnaf_digits(S::one(), w).empty());
    }
}

TEST(ScalarRecoding, JointFormSumsToBothInputs) {
    Rng rng(7);
    EXPECT_EQ(0u, S::compute_jsf(S::zero(), S::zero()).count);
    std::vector<std::pair<S, S>> pairs = {{S::one(), S::zero()},
                                          {S::zero(), n_minus(1)},
                                          {n_minus(1), n_minus(1)},
                                          {S::from_u64(3), S::from_u64(5)},
                                          {S::from_u64(0xFFFFFFFFFFFFFFFFULL), S::from_u64(0xAAAAAAAAAAAAAAABULL)}};
    for (int i = 0; i < 40; ++i) pairs.emplace_back(rng.scalar(), rng.scalar());
    for (const auto& [a, b] : pairs) {
        const JsfResult j = S::compute_jsf(a, b);
        ASSERT_LE(j.count, 260u);
        for (size_t i = 0; i < j.count; ++i) {
            EXPECT_LE(std::abs(j.d1[i]), 1);
            EXPECT_LE(std::abs(j.d2[i]), 1);
        }
        EXPECT_TRUE(weighted_sum(j.d1, j.count) == big(a));
        EXPECT_TRUE(weighted_sum(j.d2, j.count) == big(b));
    }
}

TEST(ScalarRecoding, GlvSplitsRecompose) {
    Rng rng(8);
    const BigUint two128 = BigUint(1) << 128;
    const BigUint lambda = big(S::lambda());
    ASSERT_TRUE(BigUint::pow_mod(lambda, BigUint(3), N()) == BigUint(1));
    std::vector<S> ks = {S::zero(), S::one(), n_minus(1), S::lambda(), S::lambda().negate(), sc(N() >> 1)};
    for (int i = 0; i < 200; ++i) ks.push_back(rng.scalar());
    for (const S& k : ks) {
        SCOPED_TRACE(big(k).to_hex());
        const GlvSplit c = k.split_lambda_ct();
        const GlvSplit v = k.split_lambda_var();
        for (const GlvSplit* s : {&c, &v}) {
            EXPECT_TRUE(big(s->k1) < two128);
            EXPECT_TRUE(big(s->k2) < two128);
            const S t1 = s->neg1 ? s->k1.negate() : s->k1;
            const S t2 = s->neg2 ? s->k2.negate() : s->k2;
            EXPECT_TRUE((t1 + t2 * S::lambda()).equal(k));
        }
        // Same halves, possibly different signs only for a zero half.
        EXPECT_TRUE(c.k1.equal(v.k1));
        EXPECT_TRUE(c.k2.equal(v.k2));
    }
}

}  // namespace
}  // namespace qorvex::test
