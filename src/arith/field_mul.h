// Multiplication and squaring modulo p on two back ends with identical
// results: portable 64x64->128-bit limb products, and a hand-written
// MULX/ADCX/ADOX routine for processors with BMI2 and ADX. The choice is made
// once per process; a build option can force either one.
//
// Both take canonical inputs and write canonical outputs; r may alias a or b.
#pragma once

#include <cstdint>

#include "arith/limb_ops.h"
#include "support/ct.h"
#include "support/int128.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QORVEX_HAVE_ADX_BACKEND 1
#else
#define QORVEX_HAVE_ADX_BACKEND 0
#endif

#if defined(QORVEX_FIELD_BACKEND_ADX) && !QORVEX_HAVE_ADX_BACKEND
#error "the adx field back end needs x86-64 and a GNU-compatible compiler"
#endif

namespace qorvex {

namespace field_detail {

// Set once, before any exported function can run, from CPUID (BMI2 and ADX).
// Both back ends agree, so a read before it is set would only cost speed.
extern const bool g_use_adx;

constexpr uint64_t kC = 0x1000003D1ULL;  // 2^256 - p

// Reduction of a 512-bit value t = t_low + 2^256 t_high, in one pass:
//
// 1. v = t_low + t_high * (2^256 - p), which is congruent to t and below
//    2^290, so its fifth word v4 is below 2^34.
// 2. w = v_low + v4 * (2^256 - p) is congruent again and below 2^256 + 2^67,
//    that is below 2p, so w or w - p is the answer. Instead of forming w and
//    then testing it, x = v_low + (v4 + 1)(2^256 - p) = w + 2^256 - p is
//    formed: it reaches 2^256 exactly when w >= p, and then its low 256 bits
//    are w - p; otherwise w = x - (2^256 - p), a subtraction that cannot
//    borrow. One multiplication, one carry chain and one masked subtraction.
//
// Both back ends follow these steps, so they agree bit for bit (each result
// is the unique canonical residue anyway).
// a * b + c + d as hi:lo from 32-bit halves, for targets without a 128-bit
// type (and for the tests, against the form below).
inline uint64_t mul_add2_generic(uint64_t a, uint64_t b, uint64_t c, uint64_t d, uint64_t& hi) {
    const uint64_t a_lo = a & 0xffffffffu, a_hi = a >> 32;
    const uint64_t b_lo = b & 0xffffffffu, b_hi = b >> 32;
    const uint64_t ll = a_lo * b_lo, lh = a_lo * b_hi, hl = a_hi * b_lo, hh = a_hi * b_hi;
    const uint64_t mid = (ll >> 32) + (lh & 0xffffffffu) + (hl & 0xffffffffu);
    uint64_t h = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
    uint64_t lo = (mid << 32) | (ll & 0xffffffffu);
    lo += c;
    h += lo < c;
    lo += d;
    h += lo < d;
    hi = h;
    return lo;
}

// a * b + c + d as hi:lo; it never exceeds 128 bits.
inline uint64_t mul_add2(uint64_t a, uint64_t b, uint64_t c, uint64_t d, uint64_t& hi) {
#if defined(__SIZEOF_INT128__)
    const uint128_t t = static_cast<uint128_t>(a) * b + c + d;
    hi = static_cast<uint64_t>(t >> 64);
    return static_cast<uint64_t>(t);
#else
    return mul_add2_generic(a, b, c, d, hi);
#endif
}

inline void reduce_512_portable(uint64_t r[4], const uint64_t t[8]) {
    using limb::addc;
    using limb::subb;
    uint64_t c;
    const uint64_t v0 = mul_add2(t[4], kC, t[0], 0, c);
    const uint64_t v1 = mul_add2(t[5], kC, t[1], c, c);
    const uint64_t v2 = mul_add2(t[6], kC, t[2], c, c);
    const uint64_t v3 = mul_add2(t[7], kC, t[3], c, c);
    // c is now the fifth word, below 2^34.
    uint64_t x0, x1, x2, x3, hi;
    x0 = mul_add2(c + 1, kC, v0, 0, hi);
    unsigned char cy = addc(0, v1, hi, x1);
    cy = addc(cy, v2, 0, x2);
    cy = addc(cy, v3, 0, x3);
    const uint64_t back = kC & ct::value_barrier(static_cast<uint64_t>(cy) - 1);
    unsigned char bw = subb(0, x0, back, r[0]);
    bw = subb(bw, x1, 0, r[1]);
    bw = subb(bw, x2, 0, r[2]);
    subb(bw, x3, 0, r[3]);
}

// The product row by row: every step is a * b + word + carry, which fits in
// 128 bits, so no carry flag has to survive between steps.
inline void mul_portable(uint64_t r[4], const uint64_t a[4], const uint64_t b[4]) {
    const uint64_t b0 = b[0], b1 = b[1], b2 = b[2], b3 = b[3];
    uint64_t t[8], c;
    uint64_t ai = a[0];
    t[0] = mul_add2(ai, b0, 0, 0, c);
    t[1] = mul_add2(ai, b1, c, 0, c);
    t[2] = mul_add2(ai, b2, c, 0, c);
    t[3] = mul_add2(ai, b3, c, 0, c);
    t[4] = c;
    for (int i = 1; i < 4; ++i) {
        ai = a[i];
        t[i] = mul_add2(ai, b0, t[i], 0, c);
        t[i + 1] = mul_add2(ai, b1, t[i + 1], c, c);
        t[i + 2] = mul_add2(ai, b2, t[i + 2], c, c);
        t[i + 3] = mul_add2(ai, b3, t[i + 3], c, c);
        t[i + 4] = c;
    }
    reduce_512_portable(r, t);
}

// The cross products a_i a_j (i < j) once, doubled by a shift, then the
// squares on the diagonal.
inline void sqr_portable(uint64_t r[4], const uint64_t a[4]) {
    using limb::addc;
    const uint64_t a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3];
    uint64_t t[8], c;
    t[1] = mul_add2(a0, a1, 0, 0, c);
    t[2] = mul_add2(a0, a2, c, 0, c);
    t[3] = mul_add2(a0, a3, c, 0, c);
    t[4] = mul_add2(a1, a3, c, 0, c);
    t[5] = mul_add2(a2, a3, c, 0, c);
    t[6] = c;
    t[3] = mul_add2(a1, a2, t[3], 0, c);
    unsigned char cy = addc(0, t[4], c, t[4]);
    cy = addc(cy, t[5], 0, t[5]);
    t[6] += cy;
    t[7] = t[6] >> 63;
    t[6] = (t[6] << 1) | (t[5] >> 63);
    t[5] = (t[5] << 1) | (t[4] >> 63);
    t[4] = (t[4] << 1) | (t[3] >> 63);
    t[3] = (t[3] << 1) | (t[2] >> 63);
    t[2] = (t[2] << 1) | (t[1] >> 63);
    t[1] = t[1] << 1;
    uint64_t h0, h1, h2, h3;
    t[0] = mul_wide(a0, a0, h0);
    const uint64_t l1 = mul_wide(a1, a1, h1);
    const uint64_t l2 = mul_wide(a2, a2, h2);
    const uint64_t l3 = mul_wide(a3, a3, h3);
    cy = addc(0, t[1], h0, t[1]);
    cy = addc(cy, t[2], l1, t[2]);
    cy = addc(cy, t[3], h1, t[3]);
    cy = addc(cy, t[4], l2, t[4]);
    cy = addc(cy, t[5], h2, t[5]);
    cy = addc(cy, t[6], l3, t[6]);
    addc(cy, t[7], h3, t[7]);
    reduce_512_portable(r, t);
}

#if QORVEX_HAVE_ADX_BACKEND

// Expanded at every call site: a call per multiplication adds a large share
// to the routine's own cost, and passing through memory is then unavoidable.
#define QORVEX_FIELD_ALWAYS_INLINE inline __attribute__((always_inline))

// Twelve registers are live at once (eight product words, rdx, one
// temporary and the two operand pointers; the high half of each partial
// product goes to a product word that is not yet in use), so the limbs are
// addressed through the pointer registers rather than through "m" operands
// of their own, which would each need an address register in unoptimised
// builds that keep a frame pointer. The compiler must still learn which
// memory is read: GCC, when optimising, may keep an operand that is a local
// in registers and never store it, since a local whose address only reaches
// an asm statement does not count as escaped, and a "memory" clobber does not
// cover it. Optimised GCC builds therefore add one "m" operand per array,
// which costs no extra register there; Clang (which treats such a pointer as
// escaped, and which would spend a register on each "m" operand) and
// unoptimised builds (which keep every variable in memory) use a "memory"
// clobber instead.
#if defined(__OPTIMIZE__) && !defined(__clang__)
#define QORVEX_FIELD_ADX_IN1(pa) [a] "r"(pa), "m"(*(const uint64_t(*)[4])(pa))
#define QORVEX_FIELD_ADX_IN2(pa, pb) \
    [a] "r"(pa), [b] "r"(pb), "m"(*(const uint64_t(*)[4])(pa)), "m"(*(const uint64_t(*)[4])(pb))
#define QORVEX_FIELD_ADX_CLOBBERS "rdx", "cc"
#else
#define QORVEX_FIELD_ADX_IN1(pa) [a] "r"(pa)
#define QORVEX_FIELD_ADX_IN2(pa, pb) [a] "r"(pa), [b] "r"(pb)
#define QORVEX_FIELD_ADX_CLOBBERS "rdx", "cc", "memory"
#endif

// The reduction shared by both ADX routines, in AT&T syntax; the same steps
// as reduce_512_portable. On entry the 512-bit product is in %[t0]..%[t7]; on
// exit the canonical result is in %[t0]..%[t3]. %%rdx is overwritten with
// 2^256 - p. Each upper word receives the high half of its own product once
// it has been read.
#define QORVEX_FIELD_ADX_REDUCE                                                            \
    "movabsq $0x1000003D1, %%rdx\n\t"                                                     \
    "xorl %k[lo], %k[lo]\n\t"                                                              \
    "mulxq %[t4], %[lo], %[t4]\n\t"                                                        \
    "adcxq %[lo], %[t0]\n\t"                                                               \
    "adoxq %[t4], %[t1]\n\t"                                                               \
    "mulxq %[t5], %[lo], %[t5]\n\t"                                                        \
    "adcxq %[lo], %[t1]\n\t"                                                               \
    "adoxq %[t5], %[t2]\n\t"                                                               \
    "mulxq %[t6], %[lo], %[t6]\n\t"                                                        \
    "adcxq %[lo], %[t2]\n\t"                                                               \
    "adoxq %[t6], %[t3]\n\t"                                                               \
    "mulxq %[t7], %[lo], %[t4]\n\t"                                                        \
    "adcxq %[lo], %[t3]\n\t"                                                               \
    "movl $1, %k[lo]\n\t"                                                                  \
    "adcxq %[lo], %[t4]\n\t" /* t4 = v4 + 1 + carry; the carry of the other chain: */    \
    "movl $0, %k[lo]\n\t"                                                                  \
    "adoxq %[lo], %[t4]\n\t" /* t4 = v4 + 1, with v4 below 2^34 */                         \
    "mulxq %[t4], %[lo], %[t5]\n\t"                                                        \
    "addq %[lo], %[t0]\n\t"                                                                \
    "adcq %[t5], %[t1]\n\t"                                                                \
    "adcq $0, %[t2]\n\t"                                                                   \
    "adcq $0, %[t3]\n\t"                                                                   \
    /* no carry: the value was below p, take 2^256 - p back off */                        \
    "movl $0, %k[lo]\n\t"                                                                  \
    "cmovncq %%rdx, %[lo]\n\t"                                                             \
    "subq %[lo], %[t0]\n\t"                                                                \
    "sbbq $0, %[t1]\n\t"                                                                   \
    "sbbq $0, %[t2]\n\t"                                                                   \
    "sbbq $0, %[t3]\n\t"

// Row i >= 1 of the product: a_i * b added at word i, low halves on the CF
// chain and high halves on the OF chain; %[hi] is the word i + 4, still free,
// which ends up holding the row's top word.
#define QORVEX_FIELD_ADX_ROW(off, w0, w1, w2, w3, hi)                                      \
    "movq " off "(%[a]), %%rdx\n\t"                                                        \
    "xorl %k[lo], %k[lo]\n\t"                                                              \
    "mulxq 0(%[b]), %[lo], %[" hi "]\n\t"                                                  \
    "adcxq %[lo], %[" w0 "]\n\t"                                                           \
    "adoxq %[" hi "], %[" w1 "]\n\t"                                                       \
    "mulxq 8(%[b]), %[lo], %[" hi "]\n\t"                                                  \
    "adcxq %[lo], %[" w1 "]\n\t"                                                           \
    "adoxq %[" hi "], %[" w2 "]\n\t"                                                       \
    "mulxq 16(%[b]), %[lo], %[" hi "]\n\t"                                                 \
    "adcxq %[lo], %[" w2 "]\n\t"                                                           \
    "adoxq %[" hi "], %[" w3 "]\n\t"                                                       \
    "mulxq 24(%[b]), %[lo], %[" hi "]\n\t"                                                 \
    "adcxq %[lo], %[" w3 "]\n\t"                                                           \
    "movl $0, %k[lo]\n\t"                                                                  \
    "adcxq %[lo], %[" hi "]\n\t"                                                           \
    "adoxq %[lo], %[" hi "]\n\t"

QORVEX_FIELD_ALWAYS_INLINE void mul_adx(uint64_t r[4], const uint64_t a[4], const uint64_t b[4]) {
    uint64_t t0, t1, t2, t3, t4, t5, t6, t7, lo;
    __asm__(
        // Row 0: a0 * b.
        "movq 0(%[a]), %%rdx\n\t"
        "mulxq 0(%[b]), %[t0], %[t1]\n\t"
        "mulxq 8(%[b]), %[lo], %[t2]\n\t"
        "addq %[lo], %[t1]\n\t"
        "mulxq 16(%[b]), %[lo], %[t3]\n\t"
        "adcq %[lo], %[t2]\n\t"
        "mulxq 24(%[b]), %[lo], %[t4]\n\t"
        "adcq %[lo], %[t3]\n\t"
        "adcq $0, %[t4]\n\t"
        QORVEX_FIELD_ADX_ROW("8", "t1", "t2", "t3", "t4", "t5")
        QORVEX_FIELD_ADX_ROW("16", "t2", "t3", "t4", "t5", "t6")
        QORVEX_FIELD_ADX_ROW("24", "t3", "t4", "t5", "t6", "t7")
        QORVEX_FIELD_ADX_REDUCE
        : [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4), [t5] "=&r"(t5),
          [t6] "=&r"(t6), [t7] "=&r"(t7), [lo] "=&r"(lo)
        : QORVEX_FIELD_ADX_IN2(a, b)
        : QORVEX_FIELD_ADX_CLOBBERS);
    r[0] = t0;
    r[1] = t1;
    r[2] = t2;
    r[3] = t3;
}

QORVEX_FIELD_ALWAYS_INLINE void sqr_adx(uint64_t r[4], const uint64_t a[4]) {
    uint64_t t0, t1, t2, t3, t4, t5, t6, t7, lo;
    __asm__(
        // Cross products: a0*a1, a0*a2, a0*a3, a1*a3 and a2*a3 on one
        // chain (their words do not overlap once shifted), then a1*a2, whose
        // high half goes to t7 while it is free.
        "movq 0(%[a]), %%rdx\n\t"
        "mulxq 8(%[a]), %[t1], %[t2]\n\t"
        "mulxq 16(%[a]), %[lo], %[t3]\n\t"
        "addq %[lo], %[t2]\n\t"
        "mulxq 24(%[a]), %[lo], %[t4]\n\t"
        "adcq %[lo], %[t3]\n\t"
        "movq 8(%[a]), %%rdx\n\t"
        "mulxq 24(%[a]), %[lo], %[t5]\n\t"
        "adcq %[lo], %[t4]\n\t"
        "movq 16(%[a]), %%rdx\n\t"
        "mulxq 24(%[a]), %[lo], %[t6]\n\t"
        "adcq %[lo], %[t5]\n\t"
        "adcq $0, %[t6]\n\t"
        "movq 8(%[a]), %%rdx\n\t"
        "mulxq 16(%[a]), %[lo], %[t7]\n\t"
        "addq %[lo], %[t3]\n\t"
        "adcq %[t7], %[t4]\n\t"
        "adcq $0, %[t5]\n\t"
        "adcq $0, %[t6]\n\t"
        // Double them on the CF chain while the squares a_i^2 go in at word
        // 2i on the OF chain; t7 takes each square's high half until it
        // becomes the top word.
        "xorl %k[lo], %k[lo]\n\t"
        "movq 0(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[t0], %[t7]\n\t"
        "adcxq %[t1], %[t1]\n\t"
        "adoxq %[t7], %[t1]\n\t"
        "movq 8(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[t7]\n\t"
        "adcxq %[t2], %[t2]\n\t"
        "adoxq %[lo], %[t2]\n\t"
        "adcxq %[t3], %[t3]\n\t"
        "adoxq %[t7], %[t3]\n\t"
        "movq 16(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[t7]\n\t"
        "adcxq %[t4], %[t4]\n\t"
        "adoxq %[lo], %[t4]\n\t"
        "adcxq %[t5], %[t5]\n\t"
        "adoxq %[t7], %[t5]\n\t"
        "movq 24(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[t7]\n\t"
        "adcxq %[t6], %[t6]\n\t"
        "adoxq %[lo], %[t6]\n\t"
        "movl $0, %k[lo]\n\t"
        "adcxq %[lo], %[t7]\n\t"
        "adoxq %[lo], %[t7]\n\t"
        QORVEX_FIELD_ADX_REDUCE
        : [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4), [t5] "=&r"(t5),
          [t6] "=&r"(t6), [t7] "=&r"(t7), [lo] "=&r"(lo)
        : QORVEX_FIELD_ADX_IN1(a)
        : QORVEX_FIELD_ADX_CLOBBERS);
    r[0] = t0;
    r[1] = t1;
    r[2] = t2;
    r[3] = t3;
}

#undef QORVEX_FIELD_ADX_REDUCE
#undef QORVEX_FIELD_ADX_ROW
#undef QORVEX_FIELD_ADX_IN1
#undef QORVEX_FIELD_ADX_IN2
#undef QORVEX_FIELD_ADX_CLOBBERS
#undef QORVEX_FIELD_ALWAYS_INLINE

#endif  // QORVEX_HAVE_ADX_BACKEND

}  // namespace field_detail

#if QORVEX_HAVE_ADX_BACKEND && !defined(QORVEX_FIELD_BACKEND_ADX) && !defined(QORVEX_FIELD_BACKEND_PORTABLE)
namespace field_detail {
// Out of line: with the choice made at run time only the ADX routines are
// expanded at every call site.
void mul_portable_call(uint64_t r[4], const uint64_t a[4], const uint64_t b[4]);
void sqr_portable_call(uint64_t r[4], const uint64_t a[4]);
}  // namespace field_detail
#endif

inline void field_mul(uint64_t r[4], const uint64_t a[4], const uint64_t b[4]) {
#if defined(QORVEX_FIELD_BACKEND_ADX)
    field_detail::mul_adx(r, a, b);
#elif QORVEX_HAVE_ADX_BACKEND && !defined(QORVEX_FIELD_BACKEND_PORTABLE)
    if (__builtin_expect(field_detail::g_use_adx, 1))
        field_detail::mul_adx(r, a, b);
    else
        field_detail::mul_portable_call(r, a, b);
#else
    field_detail::mul_portable(r, a, b);
#endif
}

inline void field_sqr(uint64_t r[4], const uint64_t a[4]) {
#if defined(QORVEX_FIELD_BACKEND_ADX)
    field_detail::sqr_adx(r, a);
#elif QORVEX_HAVE_ADX_BACKEND && !defined(QORVEX_FIELD_BACKEND_PORTABLE)
    if (__builtin_expect(field_detail::g_use_adx, 1))
        field_detail::sqr_adx(r, a);
    else
        field_detail::sqr_portable_call(r, a);
#else
    field_detail::sqr_portable(r, a);
#endif
}

// "adx" or "portable": the back end this process uses.
const char* field_backend_name();

}  // namespace qorvex
