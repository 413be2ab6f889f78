// SHA-512 compression and streaming; the same scheme as SHA-256 with 64-bit
// words, 128-byte blocks and a 16-byte length field.
#include "hash/sha512.h"

#include <cstring>

#include "support/bytes.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

// The rounds are inlined into the compression, so that the eight working
// variables stay in registers instead of passing through memory by
// reference on every call.
#if defined(__GNUC__) || defined(__clang__)
#define QORVEX_SHA512_INLINE inline __attribute__((always_inline))
#else
#define QORVEX_SHA512_INLINE inline
#endif

// The first 64 bits of the fractional parts of the cube roots of the first
// 80 primes.
constexpr uint64_t kRoundConstants[80] = {
    0x428a2f98d728ae22ULL, 0x7137449123ef65cdULL, 0xb5c0fbcfec4d3b2fULL, 0xe9b5dba58189dbbcULL,
    0x3956c25bf348b538ULL, 0x59f111f1b605d019ULL, 0x923f82a4af194f9bULL, 0xab1c5ed5da6d8118ULL,
    0xd807aa98a3030242ULL, 0x12835b0145706fbeULL, 0x243185be4ee4b28cULL, 0x550c7dc3d5ffb4e2ULL,
    0x72be5d74f27b896fULL, 0x80deb1fe3b1696b1ULL, 0x9bdc06a725c71235ULL, 0xc19bf174cf692694ULL,
    0xe49b69c19ef14ad2ULL, 0xefbe4786384f25e3ULL, 0x0fc19dc68b8cd5b5ULL, 0x240ca1cc77ac9c65ULL,
    0x2de92c6f592b0275ULL, 0x4a7484aa6ea6e483ULL, 0x5cb0a9dcbd41fbd4ULL, 0x76f988da831153b5ULL,
    0x983e5152ee66dfabULL, 0xa831c66d2db43210ULL, 0xb00327c898fb213fULL, 0xbf597fc7beef0ee4ULL,
    0xc6e00bf33da88fc2ULL, 0xd5a79147930aa725ULL, 0x06ca6351e003826fULL, 0x142929670a0e6e70ULL,
    0x27b70a8546d22ffcULL, 0x2e1b21385c26c926ULL, 0x4d2c6dfc5ac42aedULL, 0x53380d139d95b3dfULL,
    0x650a73548baf63deULL, 0x766a0abb3c77b2a8ULL, 0x81c2c92e47edaee6ULL, 0x92722c851482353bULL,
    0xa2bfe8a14cf10364ULL, 0xa81a664bbc423001ULL, 0xc24b8b70d0f89791ULL, 0xc76c51a30654be30ULL,
    0xd192e819d6ef5218ULL, 0xd69906245565a910ULL, 0xf40e35855771202aULL, 0x106aa07032bbd1b8ULL,
    0x19a4c116b8d2d0c8ULL, 0x1e376c085141ab53ULL, 0x2748774cdf8eeb99ULL, 0x34b0bcb5e19b48a8ULL,
    0x391c0cb3c5c95a63ULL, 0x4ed8aa4ae3418acbULL, 0x5b9cca4f7763e373ULL, 0x682e6ff3d6b2b8a3ULL,
    0x748f82ee5defb2fcULL, 0x78a5636f43172f60ULL, 0x84c87814a1f0ab72ULL, 0x8cc702081a6439ecULL,
    0x90befffa23631e28ULL, 0xa4506cebde82bde9ULL, 0xbef9a3f7b2c67915ULL, 0xc67178f2e372532bULL,
    0xca273eceea26619cULL, 0xd186b8c721c0c207ULL, 0xeada7dd6cde0eb1eULL, 0xf57d4f7fee6ed178ULL,
    0x06f067aa72176fbaULL, 0x0a637dc5a2c898a6ULL, 0x113f9804bef90daeULL, 0x1b710b35131c471bULL,
    0x28db77f523047d84ULL, 0x32caab7b40c72493ULL, 0x3c9ebe0a15c9bebcULL, 0x431d67c49c100d4cULL,
    0x4cc5d4becb3e42b6ULL, 0x597f299cfc657e2aULL, 0x5fcb6fab3ad6faecULL, 0x6c44198c4a475817ULL
};

inline uint64_t rotr(uint64_t x, int n) { return (x >> n) | (x << (64 - n)); }
inline uint64_t big_sigma0(uint64_t x) { return rotr(x, 28) ^ rotr(x, 34) ^ rotr(x, 39); }
inline uint64_t big_sigma1(uint64_t x) { return rotr(x, 14) ^ rotr(x, 18) ^ rotr(x, 41); }
inline uint64_t small_sigma0(uint64_t x) { return rotr(x, 1) ^ rotr(x, 8) ^ (x >> 7); }
inline uint64_t small_sigma1(uint64_t x) { return rotr(x, 19) ^ rotr(x, 61) ^ (x >> 6); }
inline uint64_t choose(uint64_t x, uint64_t y, uint64_t z) { return z ^ (x & (y ^ z)); }
// One round; the caller renames the working variables instead of moving
// them. The majority is b ^ ((a ^ b) & (b ^ c)), and this round's a ^ b is
// the next round's b ^ c, carried in bc. h + K + W does not wait for e.
QORVEX_SHA512_INLINE void step(uint64_t a, uint64_t b, uint64_t& bc, uint64_t& d, uint64_t e, uint64_t f, uint64_t g,
                 uint64_t& h, uint64_t k_plus_w) {
    const uint64_t t1 = (h + k_plus_w) + choose(e, f, g) + big_sigma1(e);
    const uint64_t ab = a ^ b;
    const uint64_t t2 = big_sigma0(a) + (b ^ (ab & bc));
    bc = ab;
    d += t1;
    h = t1 + t2;
}

QORVEX_SHA512_INLINE void sixteen_rounds(uint64_t& a, uint64_t& b, uint64_t& c, uint64_t& d, uint64_t& e, uint64_t& f,
                           uint64_t& g, uint64_t& h, uint64_t& bc, const uint64_t w[16], const uint64_t* k) {
    for (int i = 0; i < 16; i += 8) {
        step(a, b, bc, d, e, f, g, h, k[i + 0] + w[i + 0]);
        step(h, a, bc, c, d, e, f, g, k[i + 1] + w[i + 1]);
        step(g, h, bc, b, c, d, e, f, k[i + 2] + w[i + 2]);
        step(f, g, bc, a, b, c, d, e, k[i + 3] + w[i + 3]);
        step(e, f, bc, h, a, b, c, d, k[i + 4] + w[i + 4]);
        step(d, e, bc, g, h, a, b, c, k[i + 5] + w[i + 5]);
        step(c, d, bc, f, g, h, a, b, k[i + 6] + w[i + 6]);
        step(b, c, bc, e, f, g, h, a, k[i + 7] + w[i + 7]);
    }
}

// The next sixteen schedule words, in place (word t reads t-2, t-7, t-15
// and t-16, each already of the right generation when read).
QORVEX_SHA512_INLINE void expand(uint64_t w[16]) {
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC unroll 16
#endif
    for (int i = 0; i < 16; ++i) {
        w[i] += small_sigma1(w[(i + 14) & 15]) + w[(i + 9) & 15] + small_sigma0(w[(i + 1) & 15]);
    }
}

}  // namespace

void sha512_compress(uint64_t state[8], const uint8_t block[128]) {
    uint64_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = load_be64(block + 8 * i);
    sha512_compress_words(state, w);
}

void sha512_compress_words(uint64_t state[8], uint64_t w[16]) {
    uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
    uint64_t bc = b ^ c;

    sixteen_rounds(a, b, c, d, e, f, g, h, bc, w, kRoundConstants + 0);
    for (int j = 16; j < 80; j += 16) {
        expand(w);
        sixteen_rounds(a, b, c, d, e, f, g, h, bc, w, kRoundConstants + j);
    }

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

void sha512_init(Sha512Context& ctx) {
    std::memcpy(ctx.state, kSha512Init, sizeof(ctx.state));
    ctx.total = 0;
    ctx.buffered = 0;
}

void sha512_update(Sha512Context& ctx, const uint8_t* data, size_t len) {
    if (len == 0) return;
    ctx.total += len;
    if (ctx.buffered > 0) {
        const size_t room = 128 - ctx.buffered;
        if (len < room) {
            std::memcpy(ctx.block + ctx.buffered, data, len);
            ctx.buffered += len;
            return;
        }
        std::memcpy(ctx.block + ctx.buffered, data, room);
        sha512_compress(ctx.state, ctx.block);
        ctx.buffered = 0;
        data += room;
        len -= room;
    }
    for (; len >= 128; data += 128, len -= 128) sha512_compress(ctx.state, data);
    if (len > 0) std::memcpy(ctx.block, data, len);
    ctx.buffered = len;
}

void sha512_final(Sha512Context& ctx, uint8_t out64[64]) {
    size_t used = ctx.buffered;
    ctx.block[used++] = 0x80;
    // The 16-byte length needs bytes 112..127.
    if (used > 112) {
        std::memset(ctx.block + used, 0, 128 - used);
        sha512_compress(ctx.state, ctx.block);
        used = 0;
    }
    std::memset(ctx.block + used, 0, 120 - used);  // includes the upper half of the length
    store_be64(ctx.block + 120, ctx.total * 8);
    sha512_compress(ctx.state, ctx.block);
    for (int i = 0; i < 8; ++i) store_be64(out64 + 8 * i, ctx.state[i]);
    secure_wipe(&ctx, sizeof(ctx));
}

void sha512(const uint8_t* data, size_t len, uint8_t out64[64]) {
    Sha512Context ctx;
    sha512_init(ctx);
    sha512_update(ctx, data, len);
    sha512_final(ctx, out64);
}

}  // namespace qorvex
