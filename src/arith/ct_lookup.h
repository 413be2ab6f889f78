// Constant-time reads from tables of affine points: every entry is loaded
// and masked whatever the index, so neither the branches nor the memory
// addresses depend on it. Vector lanes do the masking: two 32-byte lanes per
// 64-byte entry where AVX2 is available (chosen once per process), else four
// 16-byte lanes (SSE2 on x86-64, the target's own vectors elsewhere), or
// plain words without compiler vector support. A scan is thus several times
// cheaper than selecting limb by limb.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "arith/point.h"

namespace qorvex::ct {

static_assert(sizeof(AffinePoint) == 64, "an affine point is two four-limb field elements");

#if defined(__GNUC__) || defined(__clang__)

namespace lookup_detail {
typedef uint64_t u64x2 __attribute__((vector_size(16)));
typedef uint32_t u32x4 __attribute__((vector_size(16)));

// Keeps the compiler from reasoning about the index value.
inline uint32_t opaque_index(uint64_t idx) {
    uint32_t idx32 = static_cast<uint32_t>(idx);
#if defined(__x86_64__) || defined(__i386__) || defined(__aarch64__)
    __asm__("" : "+r"(idx32));
#endif
    return idx32;
}

inline AffinePoint lookup_affine_16(const AffinePoint* table, size_t count, uint64_t idx) {
    const uint32_t idx32 = opaque_index(idx);
    const u32x4 want = {idx32, idx32, idx32, idx32};
    u32x4 at = {0, 0, 0, 0};
    const u32x4 step = {1, 1, 1, 1};
    u64x2 acc[4] = {{0, 0}, {0, 0}, {0, 0}, {0, 0}};
    const unsigned char* p = reinterpret_cast<const unsigned char*>(table);
    for (size_t i = 0; i < count; ++i, p += sizeof(AffinePoint)) {
        // All lanes all ones exactly at the wanted entry.
        const u64x2 m = (u64x2)(at == want);
        for (int j = 0; j < 4; ++j) {
            u64x2 v;
            std::memcpy(&v, p + 16 * j, 16);
            acc[j] |= v & m;
        }
        at += step;
    }
    // Lane by lane, so that the accumulators stay in registers.
    return AffinePoint{FieldElement{{acc[0][0], acc[0][1], acc[1][0], acc[1][1]}},
                       FieldElement{{acc[2][0], acc[2][1], acc[3][0], acc[3][1]}}};
}

#if defined(__x86_64__)
#define QORVEX_LOOKUP_AVX2 1
typedef uint64_t u64x4 __attribute__((vector_size(32)));
typedef uint32_t u32x8 __attribute__((vector_size(32)));

// The same with 32-byte lanes, two per entry, on processors with AVX2.
__attribute__((target("avx2"))) inline AffinePoint lookup_affine_32(const AffinePoint* table, size_t count,
                                                                    uint64_t idx) {
    const uint32_t idx32 = opaque_index(idx);
    const u32x8 want = {idx32, idx32, idx32, idx32, idx32, idx32, idx32, idx32};
    u32x8 at = {0, 0, 0, 0, 0, 0, 0, 0};
    const u32x8 step = {1, 1, 1, 1, 1, 1, 1, 1};
    u64x4 acc0 = {0, 0, 0, 0}, acc1 = {0, 0, 0, 0};
    const unsigned char* p = reinterpret_cast<const unsigned char*>(table);
    for (size_t i = 0; i < count; ++i, p += sizeof(AffinePoint)) {
        const u64x4 m = (u64x4)(at == want);
        u64x4 v0, v1;
        std::memcpy(&v0, p, 32);
        std::memcpy(&v1, p + 32, 32);
        acc0 |= v0 & m;
        acc1 |= v1 & m;
        at += step;
    }
    return AffinePoint{FieldElement{{acc0[0], acc0[1], acc0[2], acc0[3]}},
                       FieldElement{{acc1[0], acc1[1], acc1[2], acc1[3]}}};
}

// Whether the processor (and the system) supports AVX2; asked once.
inline bool have_avx2() {
    static const bool yes = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return yes;
}
#else
#define QORVEX_LOOKUP_AVX2 0
#endif
}  // namespace lookup_detail

// out = table[idx] for idx < count (zeros for idx >= count); every entry is
// read.
inline AffinePoint lookup_affine(const AffinePoint* table, size_t count, uint64_t idx) {
#if QORVEX_LOOKUP_AVX2
    if (lookup_detail::have_avx2()) return lookup_detail::lookup_affine_32(table, count, idx);
#endif
    return lookup_detail::lookup_affine_16(table, count, idx);
}

#else

inline AffinePoint lookup_affine(const AffinePoint* table, size_t count, uint64_t idx) {
    AffinePoint r{FieldElement::zero(), FieldElement::zero()};
    for (size_t i = 0; i < count; ++i) {
        const uint64_t m = eq_mask(i, idx);
        for (int j = 0; j < 4; ++j) {
            r.x.limb[j] |= table[i].x.limb[j] & m;
            r.y.limb[j] |= table[i].y.limb[j] & m;
        }
    }
    return r;
}

#endif

}  // namespace qorvex::ct
