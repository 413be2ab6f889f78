// The portable SHA-256 compression: plain 32-bit integer code, for processors
// without the SHA extensions and for every non-x86 build.
#include "hash/sha256.h"
#include "support/bytes.h"

namespace qorvex::sha256_detail {

namespace {

inline uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline uint32_t big_sigma0(uint32_t x) { return rotr(x, 2) ^ rotr(x, 13) ^ rotr(x, 22); }
inline uint32_t big_sigma1(uint32_t x) { return rotr(x, 6) ^ rotr(x, 11) ^ rotr(x, 25); }
inline uint32_t small_sigma0(uint32_t x) { return rotr(x, 7) ^ rotr(x, 18) ^ (x >> 3); }
inline uint32_t small_sigma1(uint32_t x) { return rotr(x, 17) ^ rotr(x, 19) ^ (x >> 10); }
inline uint32_t choose(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t majority(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (z & (x | y)); }

// One round. Instead of shifting the eight working variables along, the
// caller renames them, so only d and h are written.
inline void step(uint32_t a, uint32_t b, uint32_t c, uint32_t& d, uint32_t e, uint32_t f, uint32_t g,
                  uint32_t& h, uint32_t k_plus_w) {
    const uint32_t t1 = h + big_sigma1(e) + choose(e, f, g) + k_plus_w;
    const uint32_t t2 = big_sigma0(a) + majority(a, b, c);
    d += t1;
    h = t1 + t2;
}

// Sixteen rounds; the names come back to where they started.
inline void sixteen_rounds(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t& e, uint32_t& f,
                           uint32_t& g, uint32_t& h, const uint32_t w[16], const uint32_t* k) {
    for (int i = 0; i < 16; i += 8) {
        step(a, b, c, d, e, f, g, h, k[i + 0] + w[i + 0]);
        step(h, a, b, c, d, e, f, g, k[i + 1] + w[i + 1]);
        step(g, h, a, b, c, d, e, f, k[i + 2] + w[i + 2]);
        step(f, g, h, a, b, c, d, e, k[i + 3] + w[i + 3]);
        step(e, f, g, h, a, b, c, d, k[i + 4] + w[i + 4]);
        step(d, e, f, g, h, a, b, c, k[i + 5] + w[i + 5]);
        step(c, d, e, f, g, h, a, b, k[i + 6] + w[i + 6]);
        step(b, c, d, e, f, g, h, a, k[i + 7] + w[i + 7]);
    }
}

// Replaces the sixteen schedule words by the next sixteen. Updating in place
// works because word t only reads words t-2, t-7, t-15 and t-16, and each of
// those is already the right generation when it is read.
inline void expand(uint32_t w[16]) {
    for (int i = 0; i < 16; ++i) {
        w[i] += small_sigma1(w[(i + 14) & 15]) + w[(i + 9) & 15] + small_sigma0(w[(i + 1) & 15]);
    }
}

}  // namespace

void compress_portable(uint32_t state[8], const uint8_t* blocks, size_t nblocks) {
    for (; nblocks > 0; --nblocks, blocks += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i) w[i] = load_be32(blocks + 4 * i);

        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];

        sixteen_rounds(a, b, c, d, e, f, g, h, w, kRoundConstants + 0);
        for (int j = 16; j < 64; j += 16) {
            expand(w);
            sixteen_rounds(a, b, c, d, e, f, g, h, w, kRoundConstants + j);
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
}

}  // namespace qorvex::sha256_detail
