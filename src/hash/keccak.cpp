#include "hash/keccak.h"

#include <array>
#include <cstring>

#include "support/bytes.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

// The constants are derived here from their definitions in the Keccak
// reference rather than typed in; a few spot checks guard the derivation.

// Iota: bit 2^j - 1 of round i's constant is output 7i + j of the LFSR
// x^8 + x^6 + x^5 + x^4 + 1.
constexpr std::array<uint64_t, 24> make_round_constants() {
    std::array<uint64_t, 24> rc{};
    unsigned lfsr = 1;
    for (int i = 0; i < 24; ++i) {
        uint64_t c = 0;
        for (int j = 0; j < 7; ++j) {
            if (lfsr & 1) c |= uint64_t{1} << ((1 << j) - 1);
            lfsr = (lfsr & 0x80) ? ((lfsr << 1) ^ 0x171) : (lfsr << 1);
        }
        rc[i] = c;
    }
    return rc;
}

// Rho: lane (x, y) rotates by (t + 1)(t + 2) / 2 where (x, y) is reached
// from (1, 0) by t steps of (x, y) -> (y, 2x + 3y); lane (0, 0) stays put.
constexpr std::array<uint8_t, 25> make_rotations() {
    std::array<uint8_t, 25> r{};
    int x = 1, y = 0;
    for (int t = 0; t < 24; ++t) {
        r[x + 5 * y] = static_cast<uint8_t>(((t + 1) * (t + 2) / 2) % 64);
        const int nx = y;
        y = (2 * x + 3 * y) % 5;
        x = nx;
    }
    return r;
}

// Pi: lane (x, y) moves to (y, 2x + 3y).
constexpr std::array<uint8_t, 25> make_destinations() {
    std::array<uint8_t, 25> d{};
    for (int x = 0; x < 5; ++x)
        for (int y = 0; y < 5; ++y) d[x + 5 * y] = static_cast<uint8_t>(y + 5 * ((2 * x + 3 * y) % 5));
    return d;
}

constexpr std::array<uint64_t, 24> kRoundConstants = make_round_constants();
constexpr std::array<uint8_t, 25> kRotation = make_rotations();
constexpr std::array<uint8_t, 25> kDestination = make_destinations();

static_assert(kRoundConstants[0] == 0x0000000000000001ULL);
static_assert(kRoundConstants[1] == 0x0000000000008082ULL);
static_assert(kRoundConstants[23] == 0x8000000080008008ULL);
static_assert(kRotation[1] == 1 && kRotation[2] == 62 && kRotation[24] == 14);

inline uint64_t rotl(uint64_t x, int n) { return (x << n) | (x >> ((64 - n) & 63)); }

// XORs one rate block into the first 17 lanes.
inline void absorb_block(uint64_t state[25], const uint8_t* block) {
    for (size_t i = 0; i < kKeccak256Rate / 8; ++i) state[i] ^= load_le64(block + 8 * i);
}

}  // namespace

void keccak_f1600(uint64_t a[25]) {
    for (int round = 0; round < 24; ++round) {
        // Theta.
        uint64_t c[5], d[5];
#pragma GCC unroll 5
        for (int x = 0; x < 5; ++x) c[x] = a[x] ^ a[x + 5] ^ a[x + 10] ^ a[x + 15] ^ a[x + 20];
#pragma GCC unroll 5
        for (int x = 0; x < 5; ++x) d[x] = c[(x + 4) % 5] ^ rotl(c[(x + 1) % 5], 1);
        // Rho and pi together.
        uint64_t b[25];
#pragma GCC unroll 25
        for (int i = 0; i < 25; ++i) b[kDestination[i]] = rotl(a[i] ^ d[i % 5], kRotation[i]);
        // Chi.
#pragma GCC unroll 25
        for (int i = 0; i < 25; ++i) {
            const int row = i - i % 5;
            a[i] = b[i] ^ (~b[row + (i + 1) % 5] & b[row + (i + 2) % 5]);
        }
        // Iota.
        a[0] ^= kRoundConstants[round];
    }
}

void keccak256_init(KeccakContext& ctx) {
    std::memset(ctx.state, 0, sizeof(ctx.state));
    ctx.buffered = 0;
}

void keccak256_update(KeccakContext& ctx, const uint8_t* data, size_t len) {
    if (len == 0) return;
    if (ctx.buffered > 0) {
        const size_t room = kKeccak256Rate - ctx.buffered;
        if (len < room) {
            std::memcpy(ctx.block + ctx.buffered, data, len);
            ctx.buffered += len;
            return;
        }
        std::memcpy(ctx.block + ctx.buffered, data, room);
        absorb_block(ctx.state, ctx.block);
        keccak_f1600(ctx.state);
        ctx.buffered = 0;
        data += room;
        len -= room;
    }
    for (; len >= kKeccak256Rate; data += kKeccak256Rate, len -= kKeccak256Rate) {
        absorb_block(ctx.state, data);
        keccak_f1600(ctx.state);
    }
    if (len > 0) std::memcpy(ctx.block, data, len);
    ctx.buffered = len;
}

void keccak256_final(KeccakContext& ctx, uint8_t out32[32]) {
    // Multi-rate padding: 0x01 first, 0x80 last, one byte 0x81 when they
    // coincide. There is always room because buffered < rate.
    std::memset(ctx.block + ctx.buffered, 0, kKeccak256Rate - ctx.buffered);
    ctx.block[ctx.buffered] = 0x01;
    ctx.block[kKeccak256Rate - 1] |= 0x80;
    absorb_block(ctx.state, ctx.block);
    keccak_f1600(ctx.state);
    for (int i = 0; i < 4; ++i) store_le64(out32 + 8 * i, ctx.state[i]);
    secure_wipe(&ctx, sizeof(ctx));
}

void keccak256(const uint8_t* data, size_t len, uint8_t out32[32]) {
    KeccakContext ctx;
    keccak256_init(ctx);
    keccak256_update(ctx, data, len);
    keccak256_final(ctx, out32);
}

}  // namespace qorvex
