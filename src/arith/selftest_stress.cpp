// The tests only stress mode runs: the same laws as ci over many more
// random values, and batch inversion at sizes in the thousands.
#include <vector>

#include "arith/point_mul.h"
#include "arith/precompute.h"
#include "arith/selftest_tests.h"

namespace qorvex::selftest_detail {

namespace {

bool check_fast_vs_generic_1000(const Runner& r, uint64_t seed) {
    Xorshift64Star rng(seed ^ 0x6A09E667F3BCC908ULL);
    bool ok = true;
    for (int i = 0; i < 1000; ++i) {
        const Scalar k = rng.scalar();
        if (!precomputed_gen_mul(k).equals(binary_mul_g(k))) {
            r.say("    FAIL at i=%d\n", i);
            ok = false;
        }
    }
    return ok;
}

bool check_field_laws_500(uint64_t seed) {
    Xorshift64Star rng(seed ^ 0x629A292A367CD507ULL);
    for (int i = 0; i < 500; ++i) {
        const FieldElement a = rng.field(), b = rng.field(), c = rng.field();
        if (!(a * b).equal(b * a) || !((a * b) * c).equal(a * (b * c)) || !(a * (b + c)).equal(a * b + a * c) ||
            !((a - b) + b).equal(a) || !a.sqr().equal(a * a))
            return false;
    }
    return true;
}

bool check_bilinearity_100(uint64_t seed) {
    Xorshift64Star rng(seed ^ 0x9159015A3070DD17ULL);
    const Point g = plain_generator();
    for (int i = 0; i < 100; ++i) {
        const Scalar k = rng.scalar();
        const Point q = precomputed_gen_mul(rng.nonzero_scalar());
        const Point kq = mul(q, k), kg = precomputed_gen_mul(k);
        if (!mul(q.add(g), k).equals(kq.add(kg)) || !mul(q.add(g.negate()), k).equals(kq.add(kg.negate())))
            return false;
    }
    return true;
}

bool check_batch_inverse_8192(uint64_t seed) {
    Xorshift64Star rng(seed ^ 0x152FECD8F70E5939ULL);
    for (size_t n : {2048, 3072, 4096, 6144, 8192}) {
        std::vector<FieldElement> v(n);
        for (auto& x : v) x = rng.nonzero_field();
        std::vector<FieldElement> w = v;
        FieldElement::batch_inverse(w.data(), n);
        for (size_t i : {size_t{0}, n / 2, n - 1}) {
            if (!w[i].equal(v[i].inverse_var())) return false;
        }
    }
    return true;
}

}  // namespace

void stress_tests(Runner& r, uint64_t seed) {
    r.test("stress_fast_vs_generic_kG_1000", "\nStress: fast vs generic k*G, 1000 random scalars\n",
           [&] { return check_fast_vs_generic_1000(r, seed); });
    r.test("stress_field_algebraic_laws_500", "\nStress: field laws, 500 random triples\n",
           [&] { return check_field_laws_500(seed); });
    r.test("stress_bilinearity_100", "\nStress: bilinearity, 100 random pairs\n",
           [&] { return check_bilinearity_100(seed); });
    r.test("stress_batch_inverse_8192", "\nStress: batch inverse at 2048 to 8192 elements\n",
           [&] { return check_batch_inverse_8192(seed); });
}

}  // namespace qorvex::selftest_detail
