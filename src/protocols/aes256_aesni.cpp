// The AES-NI back end. The instructions take their time independently of
// the key and the data, and counter mode keeps eight blocks in flight so
// that the pipelined AES units stay busy.
#include "protocols/aes256.h"

#if QORVEX_HAVE_AESNI_BACKEND

#include <immintrin.h>

#include <cstring>

#include "support/wipe.h"

namespace qorvex::aes_detail {

namespace {

#define QORVEX_AESNI __attribute__((target("aes,sse2")))

// Lane j becomes the XOR of lanes 0..j: the running XOR of the previous
// round key's words that the schedule needs.
QORVEX_AESNI inline __m128i prefix_xor(__m128i w) {
    w = _mm_xor_si128(w, _mm_slli_si128(w, 4));
    return _mm_xor_si128(w, _mm_slli_si128(w, 8));
}

// The two halves of one AES-256 schedule step: even round keys take
// RotWord, SubWord and the round constant of the last word of the odd key
// (lane 3 of the assist result), odd ones SubWord of the last word of the
// even key (lane 2).
template <int Rcon>
QORVEX_AESNI inline void expand_step(__m128i& even, __m128i& odd) {
    even = _mm_xor_si128(prefix_xor(even), _mm_shuffle_epi32(_mm_aeskeygenassist_si128(odd, Rcon), 0xFF));
    odd = _mm_xor_si128(prefix_xor(odd), _mm_shuffle_epi32(_mm_aeskeygenassist_si128(even, 0), 0xAA));
}

QORVEX_AESNI inline __m128i counter_block(uint64_t hi, uint64_t lo) {
    // Bytes 0..7 are hi big-endian, 8..15 lo big-endian.
    return _mm_set_epi64x(static_cast<long long>(__builtin_bswap64(lo)), static_cast<long long>(__builtin_bswap64(hi)));
}

inline void increment(uint64_t& hi, uint64_t& lo) {
    // The counter is public (the IV travels in clear), so the carry may
    // branch.
    if (++lo == 0) ++hi;
}

}  // namespace

QORVEX_AESNI void expand_aesni(const uint8_t key32[32], uint8_t round_keys[240]) {
    __m128i even = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key32));
    __m128i odd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key32 + 16));
    __m128i* rk = reinterpret_cast<__m128i*>(round_keys);
    _mm_storeu_si128(rk + 0, even);
    _mm_storeu_si128(rk + 1, odd);
    expand_step<0x01>(even, odd);
    _mm_storeu_si128(rk + 2, even);
    _mm_storeu_si128(rk + 3, odd);
    expand_step<0x02>(even, odd);
    _mm_storeu_si128(rk + 4, even);
    _mm_storeu_si128(rk + 5, odd);
    expand_step<0x04>(even, odd);
    _mm_storeu_si128(rk + 6, even);
    _mm_storeu_si128(rk + 7, odd);
    expand_step<0x08>(even, odd);
    _mm_storeu_si128(rk + 8, even);
    _mm_storeu_si128(rk + 9, odd);
    expand_step<0x10>(even, odd);
    _mm_storeu_si128(rk + 10, even);
    _mm_storeu_si128(rk + 11, odd);
    expand_step<0x20>(even, odd);
    _mm_storeu_si128(rk + 12, even);
    _mm_storeu_si128(rk + 13, odd);
    // The last step makes only the even key.
    even = _mm_xor_si128(prefix_xor(even), _mm_shuffle_epi32(_mm_aeskeygenassist_si128(odd, 0x40), 0xFF));
    _mm_storeu_si128(rk + 14, even);
    even = _mm_setzero_si128();
    odd = _mm_setzero_si128();
    __asm__ __volatile__("" : : "x"(even), "x"(odd));
}

QORVEX_AESNI void encrypt_block_aesni(const uint8_t round_keys[240], const uint8_t in16[16], uint8_t out16[16]) {
    const __m128i* rk = reinterpret_cast<const __m128i*>(round_keys);
    __m128i x = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in16)), _mm_loadu_si128(rk));
    for (int r = 1; r < 14; ++r) x = _mm_aesenc_si128(x, _mm_loadu_si128(rk + r));
    x = _mm_aesenclast_si128(x, _mm_loadu_si128(rk + 14));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out16), x);
}

QORVEX_AESNI void ctr_blocks_aesni(const uint8_t round_keys[240], uint64_t& hi, uint64_t& lo, const uint8_t* in,
                                   uint8_t* out, size_t nblocks) {
    const __m128i* rkp = reinterpret_cast<const __m128i*>(round_keys);
    __m128i rk[15];
    for (int r = 0; r < 15; ++r) rk[r] = _mm_loadu_si128(rkp + r);
    constexpr int kLanes = 8;
    while (nblocks >= kLanes) {
        __m128i x[kLanes];
        for (int i = 0; i < kLanes; ++i) {
            x[i] = _mm_xor_si128(counter_block(hi, lo), rk[0]);
            increment(hi, lo);
        }
        for (int r = 1; r < 14; ++r)
            for (int i = 0; i < kLanes; ++i) x[i] = _mm_aesenc_si128(x[i], rk[r]);
        for (int i = 0; i < kLanes; ++i) {
            x[i] = _mm_aesenclast_si128(x[i], rk[14]);
            const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in) + i);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out) + i, _mm_xor_si128(m, x[i]));
        }
        in += 16 * kLanes;
        out += 16 * kLanes;
        nblocks -= kLanes;
    }
    for (; nblocks > 0; --nblocks, in += 16, out += 16) {
        __m128i x = _mm_xor_si128(counter_block(hi, lo), rk[0]);
        increment(hi, lo);
        for (int r = 1; r < 14; ++r) x = _mm_aesenc_si128(x, rk[r]);
        x = _mm_aesenclast_si128(x, rk[14]);
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_xor_si128(m, x));
    }
    secure_wipe(rk, sizeof rk);
}

}  // namespace qorvex::aes_detail

#endif
