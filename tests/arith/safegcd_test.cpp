#include <gtest/gtest.h>

#include <vector>

#include "arith/safegcd.h"
#include "arith_helpers.h"

namespace qorvex::test {
namespace {

// Both moduli in both limb forms, built from the plain limbs.
struct Moduli {
    safegcd::Modulus m30;
    safegcd::Modulus62 m62;
    BigUint big;
};

Moduli moduli_for(const BigUint& m) {
    uint64_t l[4];
    m.to_limbs(l);
    return Moduli{safegcd::make_modulus(safegcd::from_u64x4(l)),
                  safegcd::make_modulus62(safegcd::signed62_from_u64x4(l)), m};
}

std::vector<BigUint> inputs(const BigUint& m, uint64_t seed) {
    Rng rng(seed);
    const BigUint one(1);
    std::vector<BigUint> v = {BigUint(0), one, BigUint(2), BigUint(3), m - one, m - BigUint(2), m >> 1,
                              (m >> 1) + one};
    for (unsigned b : {1u, 30u, 31u, 61u, 62u, 63u, 64u, 124u, 128u, 186u, 200u, 248u, 255u}) {
        v.push_back((BigUint(1) << b) % m);
        v.push_back(((BigUint(1) << b) - one) % m);
        v.push_back(m - (BigUint(1) << b) % m);
    }
    for (int i = 0; i < 400; ++i) {
        uint64_t l[4] = {rng.u64(), rng.u64(), rng.u64(), rng.u64()};
        // Some inputs with long runs of equal limbs, which stress the
        // batches that skip zero bits.
        if (i % 4 == 1) l[1] = l[2] = 0;
        if (i % 4 == 2) l[0] = l[1] = ~uint64_t{0};
        if (i % 4 == 3) l[2] = l[3] = 0;
        v.push_back(BigUint::from_limbs(l) % m);
    }
    return v;
}

// The 62-bit forms must give exactly the values of the 30-bit forms (the
// inverse is unique, and zero maps to zero), variable and constant time.
void check_modulus(const Moduli& md, uint64_t seed) {
    for (const BigUint& x : inputs(md.big, seed)) {
        SCOPED_TRACE(x.to_hex());
        uint64_t l[4];
        x.to_limbs(l);
        safegcd::Signed30 a30 = safegcd::from_u64x4(l), b30 = a30;
        safegcd::inverse_var(a30, md.m30);
        safegcd::inverse_ct(b30, md.m30);
        uint64_t r30v[4], r30c[4];
        safegcd::to_u64x4(a30, r30v);
        safegcd::to_u64x4(b30, r30c);
        safegcd::Signed62 a62 = safegcd::signed62_from_u64x4(l), b62 = a62;
#if QORVEX_SAFEGCD62
        safegcd::inverse_var(a62, md.m62);
        safegcd::inverse_ct(b62, md.m62);
#endif
        uint64_t r62v[4], r62c[4];
        safegcd::signed62_to_u64x4(a62, r62v);
        safegcd::signed62_to_u64x4(b62, r62c);
        const BigUint want = BigUint::from_limbs(r30v);
        if (x.is_zero()) {
            ASSERT_TRUE(want.is_zero());
        } else {
            ASSERT_TRUE(want < md.big);
            ASSERT_TRUE((x * want) % md.big == BigUint(1));
        }
        ASSERT_TRUE(BigUint::from_limbs(r30c) == want);
#if QORVEX_SAFEGCD62
        ASSERT_TRUE(BigUint::from_limbs(r62v) == want);
        ASSERT_TRUE(BigUint::from_limbs(r62c) == want);
#else
        // Without 128-bit integers only the conversions exist.
        ASSERT_TRUE(BigUint::from_limbs(r62v) == x);
#endif
    }
}

TEST(Safegcd, BothLimbFormsAgreeModuloP) { check_modulus(moduli_for(P()), 1); }

TEST(Safegcd, BothLimbFormsAgreeModuloN) { check_modulus(moduli_for(N()), 2); }

TEST(Safegcd, Signed62RoundTrip) {
    Rng rng(3);
    for (int i = 0; i < 1000; ++i) {
        const uint64_t l[4] = {rng.u64(), rng.u64(), rng.u64(), rng.u64()};
        uint64_t back[4];
        safegcd::signed62_to_u64x4(safegcd::signed62_from_u64x4(l), back);
        for (int j = 0; j < 4; ++j) ASSERT_EQ(l[j], back[j]);
    }
}

}  // namespace
}  // namespace qorvex::test
