// The SHA-256 compression on the x86 SHA extensions (SHA256RNDS2,
// SHA256MSG1, SHA256MSG2). Only this function is compiled for the extra
// instruction sets, so the rest of the library keeps the baseline target and
// the choice can be made at run time.
#include "hash/sha256.h"

#if QORVEX_HAVE_SHANI_BACKEND

#include <immintrin.h>

namespace qorvex::sha256_detail {

__attribute__((target("sha,sse4.1"))) void compress_shani(uint32_t state[8], const uint8_t* blocks,
                                                           size_t nblocks) {
    // Each 32-bit lane is byte-swapped: message words are big-endian.
    const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);

    // SHA256RNDS2 keeps the working variables as two vectors, {a,b,e,f} and
    // {c,d,g,h} (highest lane first); the chaining state is stored a..h.
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 0));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; nblocks > 0; --nblocks, blocks += 64) {
        const __m128i abef_in = abef;
        const __m128i cdgh_in = cdgh;

        // m[i % 4] holds schedule words 4i..4i+3 while group i runs. Once
        // group i has produced its words, the slot of group i-2 is no longer
        // read whole and is turned into its SHA256MSG1 partial sum, which is
        // what group i+2 starts from.
        __m128i m[4];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            if (i < 4) {
                m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)),
                                        byte_swap);
            } else {
                const __m128i w7 = _mm_alignr_epi8(m[(i + 3) & 3], m[(i + 2) & 3], 4);
                m[i & 3] = _mm_sha256msg2_epu32(_mm_add_epi32(m[i & 3], w7), m[(i + 3) & 3]);
            }
            const __m128i kw = _mm_add_epi32(
                m[i & 3], _mm_load_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, kw);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(kw, 0x0E));
            if (i >= 2 && i <= 13) m[(i + 2) & 3] = _mm_sha256msg1_epu32(m[(i + 2) & 3], m[(i + 3) & 3]);
        }

        abef = _mm_add_epi32(abef, abef_in);
        cdgh = _mm_add_epi32(cdgh, cdgh_in);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 0), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), hgfe);
}

}  // namespace qorvex::sha256_detail

#endif  // QORVEX_HAVE_SHANI_BACKEND
