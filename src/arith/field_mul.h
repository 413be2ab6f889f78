// Multiplication and squaring modulo p on two back ends with identical
// results: portable 64x64->128-bit limb products, and a hand-written
// MULX/ADCX/ADOX routine for processors with BMI2 and ADX. The choice is made
// once per process; a build option can force either one.
//
// Both take canonical inputs and write canonical outputs; r may alias a or b.
#pragma once

#include <cstdint>

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

// 512-bit value t[0..7] reduced to a canonical element.
inline void reduce_512_portable(uint64_t r[4], const uint64_t t[8]) {
    uint64_t hi, lo, c;
    // Fold the upper four words: t_low + t_high * (2^256 - p).
    uint64_t r0, r1, r2, r3;
    lo = mul_wide(t[4], kC, hi);
    c = add_carry(lo, t[0], 0, r0);
    uint64_t carry = hi + c;
    lo = mul_wide(t[5], kC, hi);
    c = add_carry(lo, t[1], 0, r1);
    hi += c;
    c = add_carry(r1, carry, 0, r1);
    carry = hi + c;
    lo = mul_wide(t[6], kC, hi);
    c = add_carry(lo, t[2], 0, r2);
    hi += c;
    c = add_carry(r2, carry, 0, r2);
    carry = hi + c;
    lo = mul_wide(t[7], kC, hi);
    c = add_carry(lo, t[3], 0, r3);
    hi += c;
    c = add_carry(r3, carry, 0, r3);
    carry = hi + c;  // below 2^35
    // Fold the carry word; what spills out now is at most one.
    lo = mul_wide(carry, kC, hi);
    c = add_carry(r0, lo, 0, r0);
    c = add_carry(r1, hi, c, r1);
    c = add_carry(r2, 0, c, r2);
    c = add_carry(r3, 0, c, r3);
    // When it spilled, the low part is below 2^68, so adding 2^256 - p again
    // cannot carry.
    const uint64_t m = 0 - c;
    c = add_carry(r0, kC & m, 0, r0);
    c = add_carry(r1, 0, c, r1);
    c = add_carry(r2, 0, c, r2);
    r3 += c;
    // Final subtraction of p: the value is >= p exactly when adding
    // 2^256 - p carries out.
    uint64_t s0, s1, s2, s3;
    c = add_carry(r0, kC, 0, s0);
    c = add_carry(r1, 0, c, s1);
    c = add_carry(r2, 0, c, s2);
    c = add_carry(r3, 0, c, s3);
    const uint64_t take = 0 - c;
    r[0] = r0 ^ (take & (r0 ^ s0));
    r[1] = r1 ^ (take & (r1 ^ s1));
    r[2] = r2 ^ (take & (r2 ^ s2));
    r[3] = r3 ^ (take & (r3 ^ s3));
}

inline void mul_portable(uint64_t r[4], const uint64_t a[4], const uint64_t b[4]) {
    uint64_t t[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < 4; ++j) {
            uint64_t hi;
            const uint64_t lo = mul_wide(a[i], b[j], hi);
            uint64_t c = add_carry(t[i + j], lo, 0, t[i + j]);
            hi += c;
            c = add_carry(t[i + j], carry, 0, t[i + j]);
            carry = hi + c;
        }
        t[i + 4] = carry;
    }
    reduce_512_portable(r, t);
}

inline void sqr_portable(uint64_t r[4], const uint64_t a[4]) {
    uint64_t t[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    // Cross products a_i * a_j, i < j, once.
    for (int i = 0; i < 3; ++i) {
        uint64_t carry = 0;
        for (int j = i + 1; j < 4; ++j) {
            uint64_t hi;
            const uint64_t lo = mul_wide(a[i], a[j], hi);
            uint64_t c = add_carry(t[i + j], lo, 0, t[i + j]);
            hi += c;
            c = add_carry(t[i + j], carry, 0, t[i + j]);
            carry = hi + c;
        }
        t[i + 4] = carry;
    }
    // Double them, then add the squares on the diagonal.
    t[7] = t[6] >> 63;
    t[6] = (t[6] << 1) | (t[5] >> 63);
    t[5] = (t[5] << 1) | (t[4] >> 63);
    t[4] = (t[4] << 1) | (t[3] >> 63);
    t[3] = (t[3] << 1) | (t[2] >> 63);
    t[2] = (t[2] << 1) | (t[1] >> 63);
    t[1] = t[1] << 1;
    uint64_t c = 0;
    for (int i = 0; i < 4; ++i) {
        uint64_t hi;
        const uint64_t lo = mul_wide(a[i], a[i], hi);
        c = add_carry(t[2 * i], lo, c, t[2 * i]);
        c = add_carry(t[2 * i + 1], hi, c, t[2 * i + 1]);
    }
    reduce_512_portable(r, t);
}

#if QORVEX_HAVE_ADX_BACKEND

// Thirteen registers are live at once (eight product words, rdx, two
// temporaries and the operand pointers), so the operands are read through
// their pointers with a "memory" clobber rather than "m" operands, which
// would each need an address register of their own in unoptimised builds
// that keep a frame pointer.
//
// The reduction shared by both ADX routines, in AT&T syntax. On entry the
// 512-bit product is in %[t0]..%[t7]; on exit the canonical result is in
// %[t0]..%[t3]. %%rdx is overwritten with 2^256 - p.
#define QORVEX_FIELD_ADX_REDUCE                                                            \
    "movabsq $0x1000003D1, %%rdx\n\t"                                                     \
    "xorl %k[lo], %k[lo]\n\t"                                                              \
    "mulxq %[t4], %[lo], %[hi]\n\t"                                                        \
    "adcxq %[lo], %[t0]\n\t"                                                               \
    "adoxq %[hi], %[t1]\n\t"                                                               \
    "mulxq %[t5], %[lo], %[hi]\n\t"                                                        \
    "adcxq %[lo], %[t1]\n\t"                                                               \
    "adoxq %[hi], %[t2]\n\t"                                                               \
    "mulxq %[t6], %[lo], %[hi]\n\t"                                                        \
    "adcxq %[lo], %[t2]\n\t"                                                               \
    "adoxq %[hi], %[t3]\n\t"                                                               \
    "mulxq %[t7], %[lo], %[t4]\n\t"                                                        \
    "adcxq %[lo], %[t3]\n\t"                                                               \
    "movl $0, %k[lo]\n\t"                                                                  \
    "adcxq %[lo], %[t4]\n\t"                                                               \
    "adoxq %[lo], %[t4]\n\t" /* t4: carry word, below 2^35 */                              \
    "mulxq %[t4], %[lo], %[hi]\n\t"                                                        \
    "addq %[lo], %[t0]\n\t"                                                                \
    "adcq %[hi], %[t1]\n\t"                                                                \
    "adcq $0, %[t2]\n\t"                                                                   \
    "adcq $0, %[t3]\n\t"                                                                   \
    "sbbq %[lo], %[lo]\n\t" /* all ones when it spilled over 2^256 */                      \
    "andq %%rdx, %[lo]\n\t"                                                                \
    "addq %[lo], %[t0]\n\t"                                                                \
    "adcq $0, %[t1]\n\t"                                                                   \
    "adcq $0, %[t2]\n\t"                                                                   \
    "adcq $0, %[t3]\n\t"                                                                   \
    /* subtract p once if the value is at least p */                                       \
    "movq %[t0], %[t4]\n\t"                                                                \
    "addq %%rdx, %[t4]\n\t"                                                                \
    "movq %[t1], %[t5]\n\t"                                                                \
    "adcq $0, %[t5]\n\t"                                                                   \
    "movq %[t2], %[t6]\n\t"                                                                \
    "adcq $0, %[t6]\n\t"                                                                   \
    "movq %[t3], %[t7]\n\t"                                                                \
    "adcq $0, %[t7]\n\t"                                                                   \
    "cmovcq %[t4], %[t0]\n\t"                                                              \
    "cmovcq %[t5], %[t1]\n\t"                                                              \
    "cmovcq %[t6], %[t2]\n\t"                                                              \
    "cmovcq %[t7], %[t3]\n\t"

inline void mul_adx(uint64_t r[4], const uint64_t a[4], const uint64_t b[4]) {
    uint64_t t0, t1, t2, t3, t4, t5, t6, t7, lo, hi;
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
        // Row 1: a1 * b, low halves on the CF chain, high halves on OF.
        "movq 8(%[a]), %%rdx\n\t"
        "xorl %k[lo], %k[lo]\n\t"
        "mulxq 0(%[b]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t1]\n\t"
        "adoxq %[hi], %[t2]\n\t"
        "mulxq 8(%[b]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t2]\n\t"
        "adoxq %[hi], %[t3]\n\t"
        "mulxq 16(%[b]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t3]\n\t"
        "adoxq %[hi], %[t4]\n\t"
        "mulxq 24(%[b]), %[lo], %[t5]\n\t"
        "adcxq %[lo], %[t4]\n\t"
        "movl $0, %k[lo]\n\t"
        "adcxq %[lo], %[t5]\n\t"
        "adoxq %[lo], %[t5]\n\t"
        // Row 2.
        "movq 16(%[a]), %%rdx\n\t"
        "xorl %k[lo], %k[lo]\n\t"
        "mulxq 0(%[b]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t2]\n\t"
        "adoxq %[hi], %[t3]\n\t"
        "mulxq 8(%[b]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t3]\n\t"
        "adoxq %[hi], %[t4]\n\t"
        "mulxq 16(%[b]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t4]\n\t"
        "adoxq %[hi], %[t5]\n\t"
        "mulxq 24(%[b]), %[lo], %[t6]\n\t"
        "adcxq %[lo], %[t5]\n\t"
        "movl $0, %k[lo]\n\t"
        "adcxq %[lo], %[t6]\n\t"
        "adoxq %[lo], %[t6]\n\t"
        // Row 3.
        "movq 24(%[a]), %%rdx\n\t"
        "xorl %k[lo], %k[lo]\n\t"
        "mulxq 0(%[b]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t3]\n\t"
        "adoxq %[hi], %[t4]\n\t"
        "mulxq 8(%[b]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t4]\n\t"
        "adoxq %[hi], %[t5]\n\t"
        "mulxq 16(%[b]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t5]\n\t"
        "adoxq %[hi], %[t6]\n\t"
        "mulxq 24(%[b]), %[lo], %[t7]\n\t"
        "adcxq %[lo], %[t6]\n\t"
        "movl $0, %k[lo]\n\t"
        "adcxq %[lo], %[t7]\n\t"
        "adoxq %[lo], %[t7]\n\t"
        QORVEX_FIELD_ADX_REDUCE
        : [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4), [t5] "=&r"(t5),
          [t6] "=&r"(t6), [t7] "=&r"(t7), [lo] "=&r"(lo), [hi] "=&r"(hi)
        : [a] "r"(a), [b] "r"(b)
        : "rdx", "cc", "memory");
    r[0] = t0;
    r[1] = t1;
    r[2] = t2;
    r[3] = t3;
}

inline void sqr_adx(uint64_t r[4], const uint64_t a[4]) {
    uint64_t t0, t1, t2, t3, t4, t5, t6, t7, lo, hi;
    __asm__(
        // Cross products a0*a1, a0*a2, a0*a3.
        "movq 0(%[a]), %%rdx\n\t"
        "mulxq 8(%[a]), %[t1], %[t2]\n\t"
        "mulxq 16(%[a]), %[lo], %[t3]\n\t"
        "addq %[lo], %[t2]\n\t"
        "mulxq 24(%[a]), %[lo], %[t4]\n\t"
        "adcq %[lo], %[t3]\n\t"
        "adcq $0, %[t4]\n\t"
        // a1*a2, a1*a3.
        "movq 8(%[a]), %%rdx\n\t"
        "xorl %k[lo], %k[lo]\n\t"
        "mulxq 16(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t3]\n\t"
        "adoxq %[hi], %[t4]\n\t"
        "mulxq 24(%[a]), %[lo], %[t5]\n\t"
        "adcxq %[lo], %[t4]\n\t"
        "movl $0, %k[lo]\n\t"
        "adcxq %[lo], %[t5]\n\t"
        "adoxq %[lo], %[t5]\n\t"
        // a2*a3.
        "movq 16(%[a]), %%rdx\n\t"
        "mulxq 24(%[a]), %[lo], %[t6]\n\t"
        "addq %[lo], %[t5]\n\t"
        "adcq $0, %[t6]\n\t"
        // Double the cross products.
        "movl $0, %k[t7]\n\t"
        "addq %[t1], %[t1]\n\t"
        "adcq %[t2], %[t2]\n\t"
        "adcq %[t3], %[t3]\n\t"
        "adcq %[t4], %[t4]\n\t"
        "adcq %[t5], %[t5]\n\t"
        "adcq %[t6], %[t6]\n\t"
        "adcq $0, %[t7]\n\t"
        // Add the squares a_i^2 at word 2i.
        "movq 0(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[t0], %[hi]\n\t"
        "addq %[hi], %[t1]\n\t"
        "movq 8(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[hi]\n\t"
        "adcq %[lo], %[t2]\n\t"
        "adcq %[hi], %[t3]\n\t"
        "movq 16(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[hi]\n\t"
        "adcq %[lo], %[t4]\n\t"
        "adcq %[hi], %[t5]\n\t"
        "movq 24(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[hi]\n\t"
        "adcq %[lo], %[t6]\n\t"
        "adcq %[hi], %[t7]\n\t"
        QORVEX_FIELD_ADX_REDUCE
        : [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4), [t5] "=&r"(t5),
          [t6] "=&r"(t6), [t7] "=&r"(t7), [lo] "=&r"(lo), [hi] "=&r"(hi)
        : [a] "r"(a)
        : "rdx", "cc", "memory");
    r[0] = t0;
    r[1] = t1;
    r[2] = t2;
    r[3] = t3;
}

#undef QORVEX_FIELD_ADX_REDUCE

#endif  // QORVEX_HAVE_ADX_BACKEND

}  // namespace field_detail

inline void field_mul(uint64_t r[4], const uint64_t a[4], const uint64_t b[4]) {
#if defined(QORVEX_FIELD_BACKEND_ADX)
    field_detail::mul_adx(r, a, b);
#elif QORVEX_HAVE_ADX_BACKEND && !defined(QORVEX_FIELD_BACKEND_PORTABLE)
    if (field_detail::g_use_adx)
        field_detail::mul_adx(r, a, b);
    else
        field_detail::mul_portable(r, a, b);
#else
    field_detail::mul_portable(r, a, b);
#endif
}

inline void field_sqr(uint64_t r[4], const uint64_t a[4]) {
#if defined(QORVEX_FIELD_BACKEND_ADX)
    field_detail::sqr_adx(r, a);
#elif QORVEX_HAVE_ADX_BACKEND && !defined(QORVEX_FIELD_BACKEND_PORTABLE)
    if (field_detail::g_use_adx)
        field_detail::sqr_adx(r, a);
    else
        field_detail::sqr_portable(r, a);
#else
    field_detail::sqr_portable(r, a);
#endif
}

// "adx" or "portable": the back end this process uses.
const char* field_backend_name();

}  // namespace qorvex
