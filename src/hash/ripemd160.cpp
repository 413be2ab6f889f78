#include "hash/ripemd160.h"

#include <array>
#include <cstring>

#include "hash/sha256.h"
#include "support/bytes.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

using Table = std::array<uint8_t, 80>;

// Message word order. The left line starts in order, the right line with
// 9i + 5 mod 16; each later round of sixteen applies the permutation rho to
// the round before.
constexpr uint8_t kRho[16] = {7, 4, 13, 1, 10, 6, 15, 3, 12, 0, 9, 5, 2, 14, 11, 8};

constexpr Table word_order(bool right) {
    Table t{};
    for (int i = 0; i < 16; ++i) t[i] = static_cast<uint8_t>(right ? (9 * i + 5) % 16 : i);
    for (int i = 16; i < 80; ++i) t[i] = kRho[t[i - 16]];
    return t;
}

constexpr Table kWordLeft = word_order(false);
constexpr Table kWordRight = word_order(true);

constexpr Table kShiftLeft = {
    11, 14, 15, 12, 5,  8,  7,  9,  11, 13, 14, 15, 6,  7,  9,  8,   //
    7,  6,  8,  13, 11, 9,  7,  15, 7,  12, 15, 9,  11, 7,  13, 12,  //
    11, 13, 6,  7,  14, 9,  13, 15, 14, 8,  13, 6,  5,  12, 7,  5,   //
    11, 12, 14, 15, 14, 15, 9,  8,  9,  14, 5,  6,  8,  6,  5,  12,  //
    9,  15, 5,  11, 6,  8,  13, 12, 5,  12, 13, 14, 11, 8,  5,  6};
constexpr Table kShiftRight = {
    8,  9,  9,  11, 13, 15, 15, 5,  7,  7,  8,  11, 14, 14, 12, 6,   //
    9,  13, 15, 7,  12, 8,  9,  11, 7,  7,  12, 7,  6,  15, 13, 11,  //
    9,  7,  15, 11, 8,  6,  6,  14, 12, 13, 5,  14, 13, 13, 7,  5,   //
    15, 5,  8,  11, 14, 14, 6,  14, 6,  9,  12, 9,  12, 5,  15, 8,   //
    8,  5,  12, 9,  12, 5,  14, 6,  8,  13, 6,  5,  15, 13, 11, 11};

constexpr uint32_t kConstLeft[5] = {0x00000000, 0x5a827999, 0x6ed9eba1, 0x8f1bbcdc, 0xa953fd4e};
constexpr uint32_t kConstRight[5] = {0x50a28be6, 0x5c4dd124, 0x6d703ef3, 0x7a6d76e9, 0x00000000};

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// The five boolean functions; the left line uses them in order 0..4, the
// right line in order 4..0.
template <int F>
inline uint32_t boolean(uint32_t x, uint32_t y, uint32_t z) {
    static_assert(F >= 0 && F <= 4);
    if constexpr (F == 0)
        return x ^ y ^ z;
    else if constexpr (F == 1)
        return (x & y) | (~x & z);
    else if constexpr (F == 2)
        return (x | ~y) ^ z;
    else if constexpr (F == 3)
        return (x & z) | (y & ~z);
    else
        return x ^ (y | ~z);
}

struct Line {
    uint32_t a, b, c, d, e;
};

// Sixteen steps of one line: round R, boolean function F.
template <int R, int F>
inline void sixteen_steps(Line& v, const uint32_t x[16], const Table& word, const Table& shift, uint32_t k) {
#pragma GCC unroll 16
    for (int i = 16 * R; i < 16 * R + 16; ++i) {
        const uint32_t t = rotl(v.a + boolean<F>(v.b, v.c, v.d) + x[word[i]] + k, shift[i]) + v.e;
        v.a = v.e;
        v.e = v.d;
        v.d = rotl(v.c, 10);
        v.c = v.b;
        v.b = t;
    }
}

}  // namespace

void ripemd160_compress(uint32_t state[5], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = load_le32(block + 4 * i);

    Line l{state[0], state[1], state[2], state[3], state[4]};
    Line r = l;
    sixteen_steps<0, 0>(l, x, kWordLeft, kShiftLeft, kConstLeft[0]);
    sixteen_steps<0, 4>(r, x, kWordRight, kShiftRight, kConstRight[0]);
    sixteen_steps<1, 1>(l, x, kWordLeft, kShiftLeft, kConstLeft[1]);
    sixteen_steps<1, 3>(r, x, kWordRight, kShiftRight, kConstRight[1]);
    sixteen_steps<2, 2>(l, x, kWordLeft, kShiftLeft, kConstLeft[2]);
    sixteen_steps<2, 2>(r, x, kWordRight, kShiftRight, kConstRight[2]);
    sixteen_steps<3, 3>(l, x, kWordLeft, kShiftLeft, kConstLeft[3]);
    sixteen_steps<3, 1>(r, x, kWordRight, kShiftRight, kConstRight[3]);
    sixteen_steps<4, 4>(l, x, kWordLeft, kShiftLeft, kConstLeft[4]);
    sixteen_steps<4, 0>(r, x, kWordRight, kShiftRight, kConstRight[4]);

    // The two lines meet with a rotation of one word.
    const uint32_t t = state[1] + l.c + r.d;
    state[1] = state[2] + l.d + r.e;
    state[2] = state[3] + l.e + r.a;
    state[3] = state[4] + l.a + r.b;
    state[4] = state[0] + l.b + r.c;
    state[0] = t;
}

void ripemd160_init(Ripemd160Context& ctx) {
    ctx.state[0] = 0x67452301;
    ctx.state[1] = 0xefcdab89;
    ctx.state[2] = 0x98badcfe;
    ctx.state[3] = 0x10325476;
    ctx.state[4] = 0xc3d2e1f0;
    ctx.buffered = 0;
    ctx.total = 0;
}

void ripemd160_update(Ripemd160Context& ctx, const uint8_t* data, size_t len) {
    if (len == 0) return;
    ctx.total += len;
    if (ctx.buffered > 0) {
        const size_t room = 64 - ctx.buffered;
        if (len < room) {
            std::memcpy(ctx.block + ctx.buffered, data, len);
            ctx.buffered += len;
            return;
        }
        std::memcpy(ctx.block + ctx.buffered, data, room);
        ripemd160_compress(ctx.state, ctx.block);
        ctx.buffered = 0;
        data += room;
        len -= room;
    }
    for (; len >= 64; data += 64, len -= 64) ripemd160_compress(ctx.state, data);
    if (len > 0) std::memcpy(ctx.block, data, len);
    ctx.buffered = len;
}

void ripemd160_final(Ripemd160Context& ctx, uint8_t out20[20]) {
    size_t used = ctx.buffered;
    ctx.block[used++] = 0x80;
    if (used > 56) {
        std::memset(ctx.block + used, 0, 64 - used);
        ripemd160_compress(ctx.state, ctx.block);
        used = 0;
    }
    std::memset(ctx.block + used, 0, 56 - used);
    store_le64(ctx.block + 56, ctx.total * 8);
    ripemd160_compress(ctx.state, ctx.block);
    for (int i = 0; i < 5; ++i) store_le32(out20 + 4 * i, ctx.state[i]);
    secure_wipe(&ctx, sizeof(ctx));
}

void ripemd160(const uint8_t* data, size_t len, uint8_t out20[20]) {
    Ripemd160Context ctx;
    ripemd160_init(ctx);
    ripemd160_update(ctx, data, len);
    ripemd160_final(ctx, out20);
}

void hash160(const uint8_t* data, size_t len, uint8_t out20[20]) {
    // The SHA-256 digest goes straight into the RIPEMD-160 block, which then
    // needs a single compression.
    Ripemd160Context ctx;
    ripemd160_init(ctx);
    sha256(data, len, ctx.block);
    ctx.buffered = 32;
    ctx.total = 32;
    ripemd160_final(ctx, out20);
}

}  // namespace qorvex
