#include "protocols/pedersen.h"

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "hash/sha256.h"
#include "support/ct.h"
#include "support/wipe.h"

namespace qorvex::pedersen {

namespace {

constexpr int kAttempts = 256;

Point from_seed(const char* seed) {
    size_t len = 0;
    while (seed[len] != '\0') ++len;
    return derive_generator(reinterpret_cast<const uint8_t*>(seed), len);
}

// k P made affine in constant time; the infinity form is kept for k = 0.
Point affine_multiple(const Point& p, const Scalar& k) {
    Point r = mul_ct(p, k);
    r.to_affine_ct_assign();
    return r;
}

}  // namespace

Point derive_generator(const uint8_t* seed, size_t len) {
    uint8_t d[32];
    sha256(seed, len, d);
    FieldElement x = FieldElement::from_bytes_reduce(d);
    const FieldElement b = FieldElement::from_u64(7);
    for (int i = 0; i < kAttempts; ++i) {
        const FieldElement c = x.sqr() * x + b;
        FieldElement y = c.sqrt_candidate();
        if (y.sqr().equal(c)) {
            if (y.is_odd()) y = y.negate();
            return Point::from_affine(x, y);
        }
        x = x + FieldElement::one();
    }
    return Point::infinity_point();
}

const Point& generator_h() {
    static const Point h = from_seed(kSeedH);
    return h;
}

const Point& generator_j() {
    static const Point j = from_seed(kSeedJ);
    return j;
}

Point commit_point(const Scalar& value, const Scalar& blinding, const Scalar* switch_blind) {
    WipeOnExit<Point> acc([&] { return gen_mul_ct(blinding); });
    {
        WipeOnExit<Point> vh([&] { return affine_multiple(generator_h(), value); });
        acc->add_affine_complete_ct(vh->X, vh->Y, ct::mask(acc->infinity), ct::mask(vh->infinity));
    }
    if (switch_blind) {
        WipeOnExit<Point> sj([&] { return affine_multiple(generator_j(), *switch_blind); });
        acc->add_affine_complete_ct(sj->X, sj->Y, ct::mask(acc->infinity), ct::mask(sj->infinity));
    }
    acc->to_affine_ct_assign();
    return *acc;
}

void encode_ct(const Point& p, uint8_t out33[33]) {
    const uint64_t keep = ~ct::mask(p.infinity);
    const uint8_t k8 = static_cast<uint8_t>(keep);
    uint8_t x[32];
    p.X.to_bytes(x);
    out33[0] = static_cast<uint8_t>((0x02 | (p.Y.limb[0] & 1)) & k8);
    for (int i = 0; i < 32; ++i) out33[1 + i] = static_cast<uint8_t>(x[i] & k8);
    secure_wipe(x, sizeof x);
}

bool sums_balance(const std::vector<Point>& positives, const std::vector<Point>& negatives) {
    Point sum = Point::infinity_point();
    for (const Point& p : positives) sum.add_assign(p);
    for (const Point& q : negatives) sum.add_assign(q.negate());
    return sum.infinity;
}

}  // namespace qorvex::pedersen
