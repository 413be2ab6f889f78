// The tests ci and stress add: the external vector file, the tables against
// the generic routes (binary method, variable-base and constant-time
// multiplication, the comb, repeated doubling and addition), batch inversion
// at many sizes and with zeros, fixed-scalar plans, bilinearity, and
// randomised laws of the field, the scalars and the digit recodings.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "arith/precompute.h"
#include "arith/selftest_tests.h"
#include "support/hex.h"

namespace qorvex::selftest_detail {

namespace {

// One fixed pattern for the large-scalar and squared-scalar cases.
constexpr const char* kPattern = "a5a5a5a55a5a5a5ac3c3c3c33c3c3c3c0ff00ff0f00ff00f9669966969966996";

bool same_point_three_ways(const Scalar& k) {
    const Point fast = precomputed_gen_mul(k);
    return fast.equals(mul(plain_generator(), k)) && fast.equals(binary_mul_g(k));
}

bool check_doubling_chain() {
    Point d = plain_generator();
    for (unsigned i = 1; i <= 20; ++i) {
        d.dbl_assign();
        if (!d.equals(precomputed_gen_mul(Scalar::from_u64(uint64_t{1} << i)))) return false;
    }
    return true;
}

bool check_large_scalars() {
    const Scalar cases[] = {
        Scalar::from_hex("ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"),
        Scalar::from_limbs(0, 0, 0, uint64_t{1} << 63),
        Scalar::from_limbs(~uint64_t{0}, ~uint64_t{0}, ~uint64_t{0}, (uint64_t{1} << 63) - 1),
        Scalar::from_hex(kPattern),
    };
    for (const Scalar& k : cases) {
        if (!same_point_three_ways(k)) return false;
    }
    return true;
}

bool check_squared_scalars() {
    const Scalar cases[] = {
        Scalar::from_hex(kKnownAnswers[0].k), Scalar::from_hex(kKnownAnswers[1].k), Scalar::from_hex(kKnownAnswers[2].k),
        Scalar::from_hex(kKnownAnswers[3].k), Scalar::from_u64(0x13),             Scalar::from_u64(0x61),
        Scalar::from_hex(kPattern),
    };
    for (const Scalar& k : cases) {
        if (!same_point_three_ways(k * k)) return false;
    }
    return true;
}

// Every element of v inverted in one batch equals its own inversion; zeros
// stay zero.
bool batch_matches(const std::vector<FieldElement>& v, const Runner* r) {
    std::vector<FieldElement> w = v;
    FieldElement::batch_inverse(w.data(), w.size());
    for (size_t i = 0; i < v.size(); ++i) {
        const bool ok = v[i].is_zero() ? w[i].is_zero() : w[i].equal(v[i].inverse_var());
        if (!ok) {
            if (r) r->say("    FAIL at size=%zu, idx=%zu\n", v.size(), i);
            return false;
        }
    }
    return true;
}

bool check_batch_expanded() {
    std::vector<FieldElement> v;
    for (uint64_t x = 3; x <= 65; x += 2) v.push_back(FieldElement::from_u64(x));
    return v.size() == 32 && batch_matches(v, nullptr);
}

bool check_batch_zero_safe() {
    std::vector<FieldElement> small = {FieldElement::zero(),      FieldElement::from_u64(3), FieldElement::zero(),
                                       FieldElement::zero(),      FieldElement::from_u64(7), FieldElement::from_u64(11),
                                       FieldElement::zero()};
    // Beyond the stack scratch too, with zeros at both ends.
    std::vector<FieldElement> large(100);
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = (i % 7 == 0 || i + 1 == large.size()) ? FieldElement::zero() : FieldElement::from_u64(i * i + 5);
    return batch_matches(small, nullptr) && batch_matches(large, nullptr);
}

bool check_batch_sweep(const Runner& r, uint64_t seed) {
    Xorshift64Star rng(seed ^ 0x3C6EF372FE94F82BULL);
    for (size_t n : {1, 2, 3, 7, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128, 129, 255, 256, 257, 512, 1024}) {
        std::vector<FieldElement> v(n);
        for (auto& x : v) x = rng.nonzero_field();
        if (!batch_matches(v, &r)) return false;
    }
    return true;
}

// K (Q + G) = K Q + K G and K (Q - G) = K Q - K G, with K Q by the
// variable-base and the constant-time multiplication.
bool bilinear(const Scalar& k, const Point& q) {
    const Point g = plain_generator();
    const Point kq = mul(q, k), kg = precomputed_gen_mul(k);
    if (!mul_ct(q, k).equals(kq)) return false;
    return mul(q.add(g), k).equals(kq.add(kg)) && mul_ct(q.add(g.negate()), k).equals(kq.add(kg.negate()));
}

bool check_bilinearity(uint64_t seed) {
    Xorshift64Star rng(seed ^ 0xBB67AE8584CAA73BULL);
    for (int i = 0; i < 4; ++i) {
        if (!bilinear(rng.scalar(), precomputed_gen_mul(rng.nonzero_scalar()))) return false;
    }
    return true;
}

void compressed_hex(const Point& p, char out[67]) {
    uint8_t c[33];
    Point a = p;
    a.to_affine_assign();
    a.to_compressed(c);
    bytes_to_hex(c, 33, out);
}

bool check_fixed_k_plan(const Runner& r, uint64_t seed) {
    Xorshift64Star rng(seed ^ 0xA54FF53A5F1D36F1ULL);
    const Scalar fixed[] = {Scalar::one(), Scalar::one().negate(), Scalar::from_hex(kPattern), Scalar::lambda()};
    for (int i = 0; i < 8; ++i) {
        const Scalar k = i < 4 ? fixed[i] : rng.scalar();
        const Point p = precomputed_gen_mul(rng.nonzero_scalar());
        for (unsigned w : {4u, 5u, 8u, 12u}) {
            const FixedKPlan plan = fixed_k_plan(k, w);
            const Point got = mul_with_plan(p, plan), want = mul(p, k);
            if (got.equals(want)) continue;
            uint8_t kb[32];
            k.to_bytes(kb);
            char khex[65], phex[67], ghex[67], whex[67];
            bytes_to_hex(kb, 32, khex);
            compressed_hex(p, phex);
            compressed_hex(got, ghex);
            compressed_hex(want, whex);
            r.say("Mismatch! k=%s w=%u neg1=%d neg2=%d\n  P:    %s\n  plan: %s\n  mul:  %s\n", khex, w,
                  plan.neg1 ? 1 : 0, plan.neg2 ? 1 : 0, phex, ghex, whex);
            return false;
        }
    }
    return true;
}

// (Q + i G) K = Q K + i (G K) for i = 0 .. 8.
bool check_sequential_increment(uint64_t seed) {
    Xorshift64Star rng(seed ^ 0x510E527FADE682D1ULL);
    const Scalar k = rng.nonzero_scalar();
    const Point g = plain_generator();
    Point q = precomputed_gen_mul(rng.nonzero_scalar());
    const Point gk = precomputed_gen_mul(k);
    Point rhs = mul(q, k);
    for (int i = 0; i <= 8; ++i) {
        if (!mul(q, k).equals(rhs)) return false;
        q = q.add(g);
        rhs = rhs.add(gk);
    }
    return true;
}

// The tables, the binary method and the constant-time comb agree.
bool check_fast_vs_generic(uint64_t seed) {
    Xorshift64Star rng(seed ^ 0x9B05688C2B3E6C1FULL);
    for (int i = 0; i < 40; ++i) {
        const Scalar k = i < 20 ? Scalar::from_u64(static_cast<uint64_t>(i) + 1) : rng.scalar();
        const Point fast = precomputed_gen_mul(k);
        if (!fast.equals(binary_mul_g(k)) || !fast.equals(gen_mul_ct(k))) return false;
    }
    return true;
}

bool check_repeated_addition() {
    const Point g = plain_generator();
    for (uint64_t k = 2; k <= 10; ++k) {
        Point acc = g;
        for (uint64_t j = 1; j < k; ++j) acc = acc.add(g);
        if (!acc.equals(precomputed_gen_mul(Scalar::from_u64(k)))) return false;
    }
    return true;
}

bool check_field_stress(uint64_t seed) {
    using F = FieldElement;
    // Normalisation: values from p to 2^256 - 1 read as their reduction,
    // and the strict parse refuses them.
    uint8_t b[32];
    for (uint64_t extra : {uint64_t{0}, uint64_t{1}, uint64_t{977}, F::kComplement - 1}) {
        const F v = F::from_limbs(F::kP[0] + extra, F::kP[1], F::kP[2], F::kP[3]);
        if (!v.equal(F::from_u64(extra))) return false;
        const F raw{{F::kP[0] + extra, F::kP[1], F::kP[2], F::kP[3]}};
        raw.to_bytes(b);
        F parsed;
        if (!F::from_bytes_reduce(b).equal(F::from_u64(extra)) || F::parse_strict(b, parsed)) return false;
    }
    Xorshift64Star rng(seed ^ 0x1F83D9ABFB41BD6BULL);
    for (int i = 0; i < 32; ++i) {
        const F a = rng.nonzero_field(), c = rng.field(), d = rng.field();
        if (!(a * c).equal(c * a) || !((a * c) * d).equal(a * (c * d)) || !(a * (c + d)).equal(a * c + a * d))
            return false;
        if (!((a - c) + c).equal(a) || !a.sqr().equal(a * a) || !(a + a.negate()).is_zero()) return false;
        if (!(a * a.inverse_var()).equal(F::one()) || !a.inverse_ct().equal(a.inverse_var())) return false;
        if (!(a.half() + a.half()).equal(a) || !a.mul_small(977).equal(a * F::from_u64(977))) return false;
        const F sq = a.sqr(), root = sq.sqrt_candidate();
        if (!root.sqr().equal(sq)) return false;
        a.to_bytes(b);
        F back;
        if (!F::parse_strict(b, back) || !back.equal(a)) return false;
    }
    return true;
}

bool check_scalar_stress(uint64_t seed) {
    const Scalar n1 = Scalar::one().negate();
    if (!(n1 * n1).equal(Scalar::one()) || !n1.mul_fold(n1).equal(Scalar::one())) return false;
    Xorshift64Star rng(seed ^ 0x5BE0CD19137E2179ULL);
    uint8_t b[32];
    for (int i = 0; i < 32; ++i) {
        const Scalar a = rng.nonzero_scalar(), c = rng.scalar(), d = rng.scalar();
        if (!(a * c).equal(c * a) || !((a * c) * d).equal(a * (c * d)) || !(a * (c + d)).equal(a * c + a * d))
            return false;
        if (!a.mul_fold(c).equal(a * c) || !a.add_ct(c).equal(a + c) || !a.subtract_ct(c).equal(a - c) ||
            !((a - c) + c).equal(a) || !a.negate_ct().equal(a.negate()))
            return false;
        if (!(a * a.inverse_var()).equal(Scalar::one()) || !a.inverse_ct().equal(a.inverse_var())) return false;
        const Scalar h = a.halve_ct();
        if (!(h + h).equal(a)) return false;
        // k = s1 k1 + s2 k2 lambda with both halves below 2^128, by either
        // split.
        for (const GlvSplit& s : {a.split_lambda_var(), a.split_lambda_ct()}) {
            if (s.k1.limb[2] | s.k1.limb[3] | s.k2.limb[2] | s.k2.limb[3]) return false;
            const Scalar k1 = s.neg1 ? s.k1.negate() : s.k1, k2 = s.neg2 ? s.k2.negate() : s.k2;
            if (!(k1 + k2 * Scalar::lambda()).equal(a)) return false;
        }
        a.to_bytes(b);
        Scalar back;
        if (!Scalar::parse_strict(b, back) || !back.equal(a)) return false;
    }
    return true;
}

// sum of digits[i] * 2^i, modulo n.
template <typename Digit>
Scalar reconstruct(const Digit* d, size_t count) {
    Scalar v = Scalar::zero();
    for (size_t i = count; i-- > 0;) {
        v = v + v;
        if (d[i] > 0) v = v + Scalar::from_u64(static_cast<uint64_t>(d[i]));
        if (d[i] < 0) v = v - Scalar::from_u64(static_cast<uint64_t>(-static_cast<int64_t>(d[i])));
    }
    return v;
}

// Width-w non-adjacent form: every digit zero or odd and below 2^(w-1) in
// magnitude, at least w - 1 zeros after every non-zero digit.
template <typename Digit>
bool wnaf_shape(const Digit* d, size_t count, unsigned w) {
    const int64_t bound = int64_t{1} << (w - 1);
    size_t next_allowed = 0;
    for (size_t i = 0; i < count; ++i) {
        const int64_t v = d[i];
        if (v == 0) continue;
        if ((v & 1) == 0 || v >= bound || v <= -bound || i < next_allowed) return false;
        next_allowed = i + w;
    }
    return true;
}

bool check_naf_wnaf(uint64_t seed) {
    Xorshift64Star rng(seed ^ 0xCBBB9D5DC1059ED8ULL);
    for (int i = 0; i < 12; ++i) {
        const Scalar k = i == 0 ? Scalar::zero() : i == 1 ? Scalar::one() : i == 2 ? Scalar::one().negate() : rng.scalar();
        const std::vector<int8_t> naf = k.to_naf();
        if (!wnaf_shape(naf.data(), naf.size(), 2) || !reconstruct(naf.data(), naf.size()).equal(k)) return false;
        for (unsigned w = 2; w <= 8; ++w) {
            const std::vector<int8_t> d = k.to_wnaf(w);
            if (!wnaf_shape(d.data(), d.size(), w) || !reconstruct(d.data(), d.size()).equal(k)) return false;
        }
        for (unsigned w : {4u, 5u, 12u, 16u}) {
            int32_t d[260];
            const size_t n = wnaf_int(k, w, d, 260);
            if (!wnaf_shape(d, n, w) || !reconstruct(d, n).equal(k)) return false;
        }
        // The joint form of the two GLV halves: digits in {-1, 0, 1} that
        // give back each half.
        const GlvSplit s = k.split_lambda_var();
        const JsfResult j = Scalar::compute_jsf(s.k1, s.k2);
        for (size_t t = 0; t < j.count; ++t) {
            if (j.d1[t] < -1 || j.d1[t] > 1 || j.d2[t] < -1 || j.d2[t] > 1) return false;
        }
        if (!reconstruct(j.d1, j.count).equal(s.k1) || !reconstruct(j.d2, j.count).equal(s.k2)) return false;
    }
    return true;
}

}  // namespace

void ci_tests(Runner& r, uint64_t seed) {
    // check_external_vectors prints its own heading (the file it reads).
    r.test("external_vectors", nullptr, [&] { return check_external_vectors(r.verbose() ? r.report() : nullptr); });
    r.test("doubling_chain_vs_scalar", "\nDoubling Chain: 2^i * G for i = 1 to 20\n", check_doubling_chain);
    r.test("large_scalar_cross_checks", "\nLarge Scalar Cross-Checks: tables against mul and the binary method\n",
           check_large_scalars);
    r.test("squared_scalar_cases", "\nSquared Scalar Cases: k^2 * G\n", check_squared_scalars);
    r.test("batch_inverse_expanded", "\nBatch Inverse: 3, 5, ..., 65\n", check_batch_expanded);
    r.test("batch_inverse_zero_safe", "\nBatch Inverse with zeros\n", check_batch_zero_safe);
    r.test("bilinearity_K_times_Q", "\nBilinearity: K*(Q + G) = K*Q + K*G, K*(Q - G) = K*Q - K*G\n",
           [&] { return check_bilinearity(seed); });
    r.test("batch_inverse_sweep", "\nBatch Inverse Sweep: sizes 1 to 1024\n", [&] { return check_batch_sweep(r, seed); });
    r.test("fixedK_plan", "\nFixed-K Plans against mul\n", [&] { return check_fixed_k_plan(r, seed); });
    r.test("sequential_increment_property", "\nSequential Increments: (Q + i*G)*K = Q*K + i*(G*K)\n",
           [&] { return check_sequential_increment(seed); });
    r.test("fast_vs_generic_kG", "\nFast vs Generic k*G: k = 1 to 20 and 20 random\n",
           [&] { return check_fast_vs_generic(seed); });
    r.test("repeated_addition_consistency", "\nRepeated Addition: G + ... + G = k*G for k = 2 to 10\n",
           check_repeated_addition);
    r.test("field_stress", "\nField Stress: normalisation and random laws\n", [&] { return check_field_stress(seed); });
    r.test("scalar_stress", "\nScalar Stress: (n-1)^2 = 1 and random laws\n", [&] { return check_scalar_stress(seed); });
    r.test("naf_wnaf", "\nNAF and wNAF Digits\n", [&] { return check_naf_wnaf(seed); });
}

}  // namespace qorvex::selftest_detail
