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

#if defined(__SIZEOF_INT128__)
#define QORVEX_SAFEGCD62 1
#else
#define QORVEX_SAFEGCD62 0
#endif

// The same method on five signed 62-bit limbs (four in [0, 2^62) and a
// signed top limb), with batches of 62 divsteps and 128-bit products: half
// as many batches, each updating half as many limbs. The inverse is unique,
// so both forms give the same results.
struct Signed62 {
    int64_t v[5];
};

struct Modulus62 {
    Signed62 m;
    uint64_t m_inv62;  // m^-1 mod 2^62
};

// m^-1 mod 2^62 for an odd modulus given by its limbs.
constexpr uint64_t inverse_mod_2_62(const Signed62& m) {
    const uint64_t low = static_cast<uint64_t>(m.v[0]) + (static_cast<uint64_t>(m.v[1]) << 62);
    uint64_t inv = low;  // right to 3 bits for any odd value; Newton doubles that
    for (int i = 0; i < 5; ++i) inv *= 2 - low * inv;
    return inv & 0x3FFFFFFFFFFFFFFFULL;
}

constexpr Modulus62 make_modulus62(const Signed62& m) { return Modulus62{m, inverse_mod_2_62(m)}; }

// Four 64-bit limbs (a value below 2^256) to signed 62-bit limbs.
constexpr Signed62 signed62_from_u64x4(const uint64_t a[4]) {
    constexpr uint64_t m = 0x3FFFFFFFFFFFFFFFULL;
    return Signed62{{static_cast<int64_t>(a[0] & m), static_cast<int64_t>(((a[0] >> 62) | (a[1] << 2)) & m),
                     static_cast<int64_t>(((a[1] >> 60) | (a[2] << 4)) & m),
                     static_cast<int64_t>(((a[2] >> 58) | (a[3] << 6)) & m), static_cast<int64_t>(a[3] >> 56)}};
}
// Back to four limbs; the value must be normalised and in [0, 2^256).
void signed62_to_u64x4(const Signed62& s, uint64_t out[4]);

#if QORVEX_SAFEGCD62
// x <- x^-1 mod m, for x in [0, m). Variable time; zero gives zero.
void inverse_var(Signed62& x, const Modulus62& mod);
// Same in constant time: exactly 12 batches of 62 branch-free divsteps.
void inverse_ct(Signed62& x, const Modulus62& mod);
#endif

}  // namespace qorvex::safegcd
