// The check in front of the first context: it installs the generator-table
// configuration (defaults and environment), makes the tables exist, and checks
// field and scalar identities, batch inversion, and k*G against known points
// by several routes.
#include "arith/selftest.h"

#include <cstdio>
#include <cstring>

#include "arith/gen_mul.h"
#include "arith/point.h"
#include "arith/point_mul.h"
#include "arith/precompute.h"
#include "arith/scalar.h"
#include "support/hex.h"

namespace qorvex {

namespace {

struct KnownMultiple {
    const char* k;
    const char* x;
    const char* y;
    const char* label;
};

constexpr KnownMultiple kKnown[] = {
    {"0000000000000000000000000000000000000000000000000000000000000001",
     "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
     "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8", "1*G (Generator)"},
    {"0000000000000000000000000000000000000000000000000000000000000002",
     "c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5",
     "1ae168fea63dc339a3c58419466ceaeef7f632653266d0e1236431a950cfe52a", "2*G"},
    {"0000000000000000000000000000000000000000000000000000000000000003",
     "f9308a019258c31049344f85f89d5229b531c845836f99b08601f113bce036f9",
     "388f7b0f632de8140fe337e62a37f3566500a99934c2231b6cb9fd7584b8e672", "3*G"},
    {"000000000000000000000000000000000000000000000000000000000000000a",
     "a0434d9e47f3c86235477c7b1ae6ae5d3442d49b1943c2b752a68e2a47e247c7",
     "893aba425419bc27a3b6c7e693a24c696f794c2ed877a1593cbee53b037368d7", "10*G"},
    {"fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140",
     "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
     "b7c52588d95c3b9aa25b0403f1eef75702e84bb7597aabe663b82f6f04ef2777", "(n-1)*G = -G"},
};

// k*G by the right-to-left binary method.
Point binary_mul_g(const Scalar& k) {
    Point result = Point::infinity_point();
    Point base = Point::generator();
    for (unsigned i = 0; i < 256; ++i) {
        if (k.bits(i, 1)) result.add_assign(base);
        base.dbl_assign();
    }
    return result;
}

bool matches(const Point& p, const KnownMultiple& v) {
    if (p.infinity) return false;
    uint8_t out[65];
    p.to_uncompressed(out);
    char hex[65];
    bytes_to_hex(out + 1, 32, hex);
    if (std::strcmp(hex, v.x) != 0) return false;
    bytes_to_hex(out + 33, 32, hex);
    return std::strcmp(hex, v.y) == 0;
}

// The same multiple through the tables, the constant-time comb and the
// binary method.
bool check_known_multiple(const KnownMultiple& v) {
    const Scalar k = Scalar::from_hex(v.k);
    return matches(precomputed_gen_mul(k), v) && matches(gen_mul_ct(k), v) && matches(binary_mul_g(k), v);
}

// The configuration from the defaults and the environment, and the tables
// made to exist (loaded from the cache file, or built and saved).
void install_precompute_config() {
    configure(config_from_environment());
    ensure_built();
}

bool check_field() {
    using F = FieldElement;
    const F zero = F::zero(), one = F::one(), five = F::from_u64(5), seven = F::from_u64(7);
    return (one + zero).equal(one) && (one * one).equal(one) && (seven.negate() + seven).is_zero() &&
           ((seven + five) - five).equal(seven) && (five * five.inverse_var()).equal(one) &&
           (five * five.inverse_ct()).equal(one);
}

bool check_scalar() {
    const Scalar zero = Scalar::zero(), one = Scalar::one();
    return (zero + zero).is_zero() && (one + zero).equal(one) && ((one + one) - one).equal(one) &&
           (Scalar::from_u64(5) * Scalar::from_u64(5).inverse_var()).equal(one);
}

bool check_batch_inverse() {
    FieldElement v[4] = {FieldElement::from_u64(3), FieldElement::from_u64(7), FieldElement::from_u64(11),
                         FieldElement::from_u64(19)};
    FieldElement w[4];
    for (int i = 0; i < 4; ++i) w[i] = v[i];
    FieldElement::batch_inverse(w, 4);
    for (int i = 0; i < 4; ++i) {
        if (!w[i].equal(v[i].inverse_var())) return false;
    }
    return true;
}

bool check_point_identities() {
    const Point g = Point::generator();
    if (!g.add(Point::infinity_point()).equals(g)) return false;
    if (!g.add(g.negate()).infinity) return false;
    uint8_t c[33];
    g.to_compressed(c);
    return c[0] == 0x02 && g.dbl().equals(g.add(g));
}

}  // namespace

bool selftest(bool verbose, SelftestMode mode, uint64_t seed) {
    (void)mode;
    (void)seed;
    install_precompute_config();
    int run = 0, passed = 0;
    auto record = [&](const char* name, bool ok) {
        ++run;
        if (ok) ++passed;
        if (verbose) std::printf("  %s\n    %s\n", name, ok ? "PASS" : "FAIL");
    };
    for (const auto& v : kKnown) record(v.label, check_known_multiple(v));
    record("field_arithmetic", check_field());
    record("scalar_arithmetic", check_scalar());
    record("batch_inverse", check_batch_inverse());
    record("point_identities", check_point_identities());
    record("mul_ct_vs_mul", [] {
        const Scalar k = Scalar::from_hex("00000000000000000000000000000000000000000000000000000000000001a7");
        const Point p = binary_mul_g(Scalar::from_u64(12345));
        return mul_ct(p, k).equals(mul(p, k));
    }());
    return run == passed;
}

}  // namespace qorvex
