// Recodings of scalars for the multiplication routines: NAF, width-w NAF,
// the joint form of two scalars, and the GLV split k = k1 + k2*lambda.
#include <stdexcept>

#include "arith/field_mul.h"
#include "arith/limb_ops.h"
#include "arith/scalar.h"
#include "support/int128.h"

namespace qorvex {

namespace {

// Constants of the GLV split (lattice basis and rounding multipliers).
constexpr Scalar kG1 = {{0xE893209A45DBB031ULL, 0x3DAA8A1471E8CA7FULL, 0xE86C90E49284EB15ULL, 0x3086D221A7D46BCDULL}};
constexpr Scalar kG2 = {{0x1571B4AE8AC47F71ULL, 0x221208AC9DF506C6ULL, 0x6F547FA90ABFE4C4ULL, 0xE4437ED6010E8828ULL}};

const Scalar& minus_b1() {
    static const Scalar v = Scalar::from_limbs(0x6F547FA90ABFE4C3ULL, 0xE4437ED6010E8828ULL, 0, 0);
    return v;
}

const Scalar& minus_b2() {
    static const Scalar v = Scalar::from_limbs(0xD765CDA83DB1562CULL, 0x8A280AC50774346DULL, 0xFFFFFFFFFFFFFFFEULL,
                                               0xFFFFFFFFFFFFFFFFULL);
    return v;
}

// round(k * g / 2^384): the top 128 bits of the 512-bit product plus the
// rounding bit 383. Fixed operation count.
Scalar mul_shift_384(const Scalar& k, const Scalar& g) {
    using field_detail::mul_add2;
    // Row by row: every step is k_i * g_j + word + carry, within 128 bits.
    uint64_t t[8], c;
    t[0] = mul_add2(k.limb[0], g.limb[0], 0, 0, c);
    t[1] = mul_add2(k.limb[0], g.limb[1], c, 0, c);
    t[2] = mul_add2(k.limb[0], g.limb[2], c, 0, c);
    t[3] = mul_add2(k.limb[0], g.limb[3], c, 0, c);
    t[4] = c;
    for (int i = 1; i < 4; ++i) {
        t[i] = mul_add2(k.limb[i], g.limb[0], t[i], 0, c);
        t[i + 1] = mul_add2(k.limb[i], g.limb[1], t[i + 1], c, c);
        t[i + 2] = mul_add2(k.limb[i], g.limb[2], t[i + 2], c, c);
        t[i + 3] = mul_add2(k.limb[i], g.limb[3], t[i + 3], c, c);
        t[i + 4] = c;
    }
    const uint64_t round = t[5] >> 63;
    uint64_t r0, r1;
    const unsigned char cy = limb::addc(0, t[6], round, r0);
    limb::addc(cy, t[7], 0, r1);
    return Scalar{{r0, r1, 0, 0}};
}

}  // namespace

std::vector<int8_t> wnaf_digits(const Scalar& k, unsigned w) {
    if (w < 2 || w > 8) return {};
    int8_t buf[257] = {};
    size_t len = 0, i = 0;
    Scalar v = k;
    const uint64_t window = uint64_t{1} << w;
    while (!v.is_zero() && i < 257) {
        int digit = 0;
        if (v.is_odd()) {
            const uint64_t h = v.limb[0] & (window - 1);
            if (h < window / 2) {
                digit = static_cast<int>(h);
                v.limb[0] -= h;  // clears the low bits, no borrow
            } else {
                digit = static_cast<int>(h) - static_cast<int>(window);
                // v + (2^w - h) stays below 2^256 because v < n; reduce it
                // modulo n if it reaches n (congruence is all that matters).
                Scalar sum;
                uint64_t c = add_carry(v.limb[0], window - h, 0, sum.limb[0]);
                for (int j = 1; j < 4; ++j) c = add_carry(v.limb[j], 0, c, sum.limb[j]);
                v = Scalar::from_limbs(sum.limb[0], sum.limb[1], sum.limb[2], sum.limb[3]);
            }
        }
        buf[i] = static_cast<int8_t>(digit);
        if (digit != 0) len = i + 1;
        v.limb[0] = (v.limb[0] >> 1) | (v.limb[1] << 63);
        v.limb[1] = (v.limb[1] >> 1) | (v.limb[2] << 63);
        v.limb[2] = (v.limb[2] >> 1) | (v.limb[3] << 63);
        v.limb[3] >>= 1;
        ++i;
    }
    return std::vector<int8_t>(buf, buf + len);
}

std::vector<int8_t> Scalar::to_wnaf(unsigned w) const {
    if (w < 2 || w > 8) throw std::invalid_argument("wNAF width must be between 2 and 8");
    return wnaf_digits(*this, w);
}

std::vector<int8_t> Scalar::to_naf() const { return wnaf_digits(*this, 2); }

JsfResult Scalar::compute_jsf(const Scalar& a_in, const Scalar& b_in) {
    JsfResult r{};
    if (a_in.is_zero() && b_in.is_zero()) return r;
    // One extra word: a value of 2^256 - 1 that is 3 mod 4 grows by one.
    uint64_t a[5] = {a_in.limb[0], a_in.limb[1], a_in.limb[2], a_in.limb[3], 0};
    uint64_t b[5] = {b_in.limb[0], b_in.limb[1], b_in.limb[2], b_in.limb[3], 0};
    auto nonzero = [](const uint64_t* x) { return (x[0] | x[1] | x[2] | x[3] | x[4]) != 0; };
    auto step = [](uint64_t* x, int digit) {
        // x -= digit, then x >>= 1.
        if (digit == 1) {
            uint64_t bw = sub_borrow(x[0], 1, 0, x[0]);
            for (int j = 1; j < 5; ++j) bw = sub_borrow(x[j], 0, bw, x[j]);
        } else if (digit == -1) {
            uint64_t c = add_carry(x[0], 1, 0, x[0]);
            for (int j = 1; j < 5; ++j) c = add_carry(x[j], 0, c, x[j]);
        }
        for (int j = 0; j < 4; ++j) x[j] = (x[j] >> 1) | (x[j + 1] << 63);
        x[4] >>= 1;
    };
    size_t i = 0;
    while (nonzero(a) || nonzero(b)) {
        int da = (a[0] & 1) ? ((a[0] & 3) == 1 ? 1 : -1) : 0;
        int db = (b[0] & 1) ? ((b[0] & 3) == 1 ? 1 : -1) : 0;
        if (da != 0 && da == db) {
            const uint64_t a8 = a[0] & 7, b8 = b[0] & 7;
            const bool a35 = a8 == 3 || a8 == 5, b35 = b8 == 3 || b8 == 5;
            if (a35 && !b35)
                da = -da;
            else
                db = -db;
        }
        if (i >= 260) throw std::runtime_error("compute_jsf exceeded expected length");
        r.d1[i] = static_cast<int8_t>(da);
        r.d2[i] = static_cast<int8_t>(db);
        step(a, da);
        step(b, db);
        ++i;
    }
    r.count = i;
    return r;
}

GlvSplit Scalar::split_lambda_ct() const {
    const Scalar c1 = mul_shift_384(*this, kG1);
    const Scalar c2 = mul_shift_384(*this, kG2);
    const Scalar r2 = c1.mul_fold(minus_b1()).add_ct(c2.mul_fold(minus_b2()));
    const Scalar r1 = subtract_ct(r2.mul_fold(lambda()));
    GlvSplit s;
    s.neg2 = r2.is_high_mask();
    s.k2 = r2.cond_negate_ct(s.neg2);
    s.neg1 = r1.is_high_mask();
    s.k1 = r1.cond_negate_ct(s.neg1);
    return s;
}

GlvSplit Scalar::split_lambda_var() const {
    const Scalar c1 = mul_shift_384(*this, kG1);
    const Scalar c2 = mul_shift_384(*this, kG2);
    const Scalar r2 = c1.mul(minus_b1()).add(c2.mul(minus_b2()));
    const Scalar r1 = subtract(r2.mul(lambda()));
    // Each half enters negated when its negation is the shorter number.
    auto choose = [](const Scalar& r, Scalar& k, uint64_t& neg) {
        const Scalar nr = r.negate();
        if (nr.bit_length() < r.bit_length()) {
            k = nr;
            neg = ~uint64_t{0};
        } else {
            k = r;
            neg = 0;
        }
    };
    GlvSplit s;
    choose(r1, s.k1, s.neg1);
    choose(r2, s.k2, s.neg2);
    return s;
}

}  // namespace qorvex
