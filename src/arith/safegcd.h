// Modular inversion by the Bernstein-Yang "safegcd" method on nine signed
// 30-bit limbs, shared by the field (modulus p) and the scalars (modulus n).
//
// Divsteps run in batches of 30 on the low bits of (f, g); each batch yields a
// 2x2 transition matrix that is then applied to the full (f, g) and to the
// Bezout coefficients (d, e), the latter modulo the modulus. The step variable
// eta is minus the delta of the paper and starts at -1.
#pragma once

#include <cstdint>

namespace qorvex::safegcd {

// value = sum v[i] * 2^(30 i). Limbs 0..7 are in [0, 2^30) after every update
// and limb 8 carries the sign; a modulus may use limbs of either sign.
struct Signed30 {
    int32_t v[9];
};

struct Modulus {
    Signed30 m;
    uint32_t m_inv30;  // m^-1 mod 2^30
};

// m^-1 mod 2^30, from the limbs of an odd modulus.
constexpr uint32_t inverse_mod_2_30(const Signed30& m) {
    const uint32_t low = static_cast<uint32_t>(m.v[0]) + (static_cast<uint32_t>(m.v[1]) << 30);
    uint32_t inv = low;  // right to 3 bits for any odd value; Newton doubles that
    for (int i = 0; i < 4; ++i) inv *= 2 - low * inv;
    return inv & 0x3FFFFFFFu;
}

constexpr Modulus make_modulus(const Signed30& m) { return Modulus{m, inverse_mod_2_30(m)}; }

// Converts four 64-bit limbs (a value below 2^256) to signed 30-bit limbs.
Signed30 from_u64x4(const uint64_t a[4]);
// Converts a value in [0, 2^256) back; limbs must be normalised.
void to_u64x4(const Signed30& s, uint64_t out[4]);

// x <- x^-1 mod m, for x in [0, m). Variable time; zero gives zero.
void inverse_var(Signed30& x, const Modulus& mod);
// Same in constant time: exactly 25 batches of 30 branch-free divsteps.
void inverse_ct(Signed30& x, const Modulus& mod);

}  // namespace qorvex::safegcd
