// Whole point formulas (and repeated squaring) as hand-written MULX/ADCX/ADOX
// routines for processors with BMI2 and ADX.
//
// Inside one routine the product words stay in fixed registers, 2^256 - p
// stays in a register, and every intermediate value lives in a stack slot
// that the multiplications read directly, so the moves, stores and reloads
// that separate compiled calls of the field routines disappear. Each step is
// the same modular operation as in the C++ formulas of point.cpp, on the
// same canonical values, so the results are identical bit for bit; the
// tests compare the two on random and edge operands.
//
// The routines have no branches and no memory indexes that depend on the
// values, so they serve the constant-time formulas too.
#pragma once

#include <cstdint>

#include "arith/field_mul.h"

#if QORVEX_HAVE_ADX_BACKEND && defined(__ELF__) && !defined(QORVEX_FIELD_BACKEND_PORTABLE)
#define QORVEX_HAVE_POINT_ADX 1
#else
#define QORVEX_HAVE_POINT_ADX 0
#endif

#if QORVEX_HAVE_POINT_ADX
extern "C" {
// In place on X, Y, Z (twelve limbs, canonical): the halving doubling,
// S = Y^2, L = (3/2) X^2, X3 = L^2 - 2 S X, Y3 = L (S X - X3) - S^2,
// Z3 = Y Z.
__attribute__((visibility("hidden"))) void qorvex_point_dbl_adx(uint64_t xyz[12]);

// out = in + (x2, y2) by the Z3 = Z1 H mixed addition, with no handling of
// special operands: Z1Z1 = Z1^2, H = x2 Z1Z1 - X1, R = y2 Z1Z1 Z1 - Y1,
// X3 = R^2 - H^3 - 2 X1 H^2, Y3 = R (X1 H^2 - X3) - Y1 H^3, Z3 = Z1 H.
// H and R are written to hr[0..3] and hr[4..7] for the caller's tests of
// the exceptional cases. out may be in itself; hr must not overlap the
// others.
__attribute__((visibility("hidden"))) void qorvex_point_madd_adx(uint64_t out[12], const uint64_t in[12],
                                                                const uint64_t x2[4], const uint64_t y2[4],
                                                                uint64_t hr[8]);

// r = a^(2^n) for n >= 1 (r may be a).
__attribute__((visibility("hidden"))) void qorvex_fe_sqr_n_adx(uint64_t r[4], const uint64_t a[4], uint64_t n);

// The affine sum of a = (xa, ya) and b = (xb, yb) (x then y, canonical)
// into a, given inv = 1 / (xb - xa): lambda = (yb - ya) inv,
// x3 = lambda^2 - xa - xb, y3 = lambda (xa - x3) - ya. No special cases:
// the caller has ruled out xa = xb. b and inv must not overlap a.
__attribute__((visibility("hidden"))) void qorvex_affine_add_adx(uint64_t a[8], const uint64_t b[8],
                                                                const uint64_t inv[4]);

// One step back down a chain of Montgomery's trick fused with the affine
// sum it pays for: inv = chain pre (the inverse of this pair's
// denominator xb - xa), chain = chain den (the chain's inverse for the
// pair before), then a = a + b as qorvex_affine_add_adx with inv. The
// products of the chain overlap the sum's dependent ones. chain, pre and
// den must not overlap a or b.
__attribute__((visibility("hidden"))) void qorvex_affine_pair_step_adx(uint64_t a[8], const uint64_t b[8],
                                                                      uint64_t chain[4], const uint64_t pre[4],
                                                                      const uint64_t den[4]);

// Two independent steps of qorvex_affine_pair_step_adx at once (no pointer
// of one may overlap the other's a, b or chain).
struct AffinePairStep {
    uint64_t* a;
    const uint64_t* b;
    uint64_t* chain;
    const uint64_t* pre;
    const uint64_t* den;
};
__attribute__((visibility("hidden"))) void qorvex_affine_pair_step2_adx(const AffinePairStep s[2]);

// r[4 k .. 4 k + 3] = a[4 k .. 4 k + 3]^(2^n) for k = 0..3 and n >= 1 (r may
// be a): four runs at once.
__attribute__((visibility("hidden"))) void qorvex_fe_sqr_n4_adx(uint64_t r[16], const uint64_t a[16], uint64_t n);
}
#endif

namespace qorvex::field_detail {

// Whether this process runs the routines above: exactly when the field
// multiplication runs on its ADX back end.
inline bool point_adx_enabled() {
#if !QORVEX_HAVE_POINT_ADX
    return false;
#elif defined(QORVEX_FIELD_BACKEND_ADX)
    return true;
#else
    return g_use_adx;
#endif
}

}  // namespace qorvex::field_detail
