// Shared helpers for the arithmetic tests: random operands with a fixed
// seed, and conversions to the test-only big integers.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "arith/field.h"
#include "arith/point.h"
#include "arith/precompute.h"
#include "arith/scalar.h"
#include "support/bignum.h"

namespace qorvex::test {

// The arithmetic tests run with small generator tables (width 8) unless a
// test installs another configuration; the default width has its own test.
class SmallTables : public ::testing::Environment {
public:
    void SetUp() override {
        PrecomputeConfig c;
        c.window_bits = 8;
        configure(c);
    }
};
inline const bool kSmallTablesRegistered = (::testing::AddGlobalTestEnvironment(new SmallTables), true);

inline const BigUint& P() {
    static const BigUint p = BigUint::from_hex("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFEFFFFFC2F");
    return p;
}

inline const BigUint& N() {
    static const BigUint n = BigUint::from_hex("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFEBAAEDCE6AF48A03BBFD25E8CD0364141");
    return n;
}

inline BigUint big(const FieldElement& f) { return BigUint::from_limbs(f.limb); }
inline BigUint big(const Scalar& s) { return BigUint::from_limbs(s.limb); }

inline FieldElement fe(const BigUint& b) {
    FieldElement f;
    (b % P()).to_limbs(f.limb);
    return f;
}

inline Scalar sc(const BigUint& b) {
    Scalar s;
    (b % N()).to_limbs(s.limb);
    return s;
}

inline Scalar sc_hex(const std::string& hex) { return sc(BigUint::from_hex(hex)); }

// Uniform 256-bit limbs; reduced into the field or the group order.
class Rng {
public:
    explicit Rng(uint64_t seed) : gen_(seed) {}
    uint64_t u64() { return gen_(); }
    FieldElement field() { return FieldElement::from_limbs(u64(), u64(), u64(), u64()); }
    Scalar scalar() { return Scalar::from_limbs(u64(), u64(), u64(), u64()); }
    // Mostly random, sometimes values with limbs at their extremes.
    FieldElement field_edgy() {
        FieldElement f;
        for (auto& l : f.limb) {
            switch (u64() % 4) {
                case 0: l = 0; break;
                case 1: l = ~uint64_t{0}; break;
                default: l = u64(); break;
            }
        }
        return FieldElement::from_limbs(f.limb[0], f.limb[1], f.limb[2], f.limb[3]);
    }

private:
    std::mt19937_64 gen_;
};

// k*G (or k*P) by the right-to-left binary method: the reference for every
// faster multiplication.
inline Point binary_mul(const Point& p, const Scalar& k) {
    Point result = Point::infinity_point();
    Point base = p;
    base.is_generator = false;
    for (unsigned i = 0; i < 256; ++i) {
        if (k.bits(i, 1)) result.add_assign(base);
        base.dbl_assign();
    }
    return result;
}

inline std::string affine_hex(const Point& p) {
    if (p.infinity) return "infinity";
    uint8_t out[65];
    p.to_uncompressed(out);
    return BigUint::from_bytes_be(out + 1, 32).to_hex() + "," + BigUint::from_bytes_be(out + 33, 32).to_hex();
}

}  // namespace qorvex::test
