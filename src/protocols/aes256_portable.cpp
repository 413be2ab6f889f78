// The portable AES-256 back end: four blocks bitsliced into eight 64-bit
// words, so that every step is a fixed sequence of logic operations.
//
// Word q[b] holds bit b of all 64 state bytes. The byte in row r and column c
// of block k (byte 4c + r of that block, FIPS-197's column order) sits at bit
// 16 r + 4 c + k, so each row is a 16-bit lane of the word and each column of
// a row a 4-bit group. ShiftRows is then a rotation inside each lane, and
// MixColumns, which combines the four rows of a column, works on whole words
// rotated by multiples of 16 bits.
//
// SubBytes is computed, not looked up: the inverse in GF(2^8) as x^254 (four
// multiplications and seven squarings of the bitsliced field elements, zero
// mapping to zero as FIPS-197 wants), then the affine map.
#include <cstring>

#include "protocols/aes256.h"
#include "support/wipe.h"

namespace qorvex::aes_detail {

namespace {

using Slice = uint64_t[8];

// --- GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, 64 elements at once. ---

// p[0..15) holds a product of degree up to 14; x^k = x^(k-4) + x^(k-5) +
// x^(k-7) + x^(k-8) for k >= 8, folded from the top down.
inline void reduce(uint64_t p[15], uint64_t r[8]) {
    for (int k = 14; k >= 8; --k) {
        p[k - 4] ^= p[k];
        p[k - 5] ^= p[k];
        p[k - 7] ^= p[k];
        p[k - 8] ^= p[k];
    }
    for (int i = 0; i < 8; ++i) r[i] = p[i];
}

inline void gf_mul(const uint64_t a[8], const uint64_t b[8], uint64_t r[8]) {
    uint64_t p[15] = {};
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) p[i + j] ^= a[i] & b[j];
    reduce(p, r);
}

// Squaring is linear over GF(2): bit i moves to position 2i.
inline void gf_sqr(const uint64_t a[8], uint64_t r[8]) {
    uint64_t p[15] = {};
    for (int i = 0; i < 8; ++i) p[2 * i] = a[i];
    reduce(p, r);
}

// SubBytes on all 64 bytes.
void sub_bytes(Slice q) {
    uint64_t x2[8], x3[8], x6[8], x12[8], x14[8], x15[8], t[8], inv[8];
    gf_sqr(q, x2);
    gf_mul(x2, q, x3);
    gf_sqr(x3, x6);
    gf_sqr(x6, x12);
    gf_mul(x12, x2, x14);
    gf_mul(x12, x3, x15);
    gf_sqr(x15, t);  // x^30
    gf_sqr(t, t);    // x^60
    gf_sqr(t, t);    // x^120
    gf_sqr(t, t);    // x^240
    gf_mul(t, x14, inv);  // x^254
    // s_i = b_i + b_(i+4) + b_(i+5) + b_(i+6) + b_(i+7) + c_i (indices mod
    // 8), c = 0x63.
    for (int i = 0; i < 8; ++i) {
        const uint64_t c = (0x63 >> i) & 1 ? ~uint64_t{0} : 0;
        q[i] = inv[i] ^ inv[(i + 4) & 7] ^ inv[(i + 5) & 7] ^ inv[(i + 6) & 7] ^ inv[(i + 7) & 7] ^ c;
    }
    secure_wipe(x2, sizeof x2);
    secure_wipe(x3, sizeof x3);
    secure_wipe(x6, sizeof x6);
    secure_wipe(x12, sizeof x12);
    secure_wipe(x14, sizeof x14);
    secure_wipe(x15, sizeof x15);
    secure_wipe(t, sizeof t);
    secure_wipe(inv, sizeof inv);
}

// Row r (lane r) rotates right by 4 r bits inside its lane: new column c
// takes old column c + r.
inline uint64_t shift_rows_word(uint64_t x) {
    return (x & 0x000000000000FFFFULL) |                                                  //
           ((x & 0x00000000FFF00000ULL) >> 4) | ((x & 0x00000000000F0000ULL) << 12) |     //
           ((x & 0x0000FF0000000000ULL) >> 8) | ((x & 0x000000FF00000000ULL) << 8) |      //
           ((x & 0xF000000000000000ULL) >> 12) | ((x & 0x0FFF000000000000ULL) << 4);
}

inline uint64_t rotr(uint64_t x, int n) { return (x >> n) | (x << (64 - n)); }

// b_r = 2 a_r + 3 a_(r+1) + a_(r+2) + a_(r+3): with t = a + rot(a), where
// rot brings row r + 1 into lane r, b = 2 t + rot(a) + rot^2(t).
void mix_columns(Slice q) {
    uint64_t a1[8], t[8];
    for (int i = 0; i < 8; ++i) {
        a1[i] = rotr(q[i], 16);
        t[i] = q[i] ^ a1[i];
    }
    // 2 t: a shift of the bit index, with bit 7 folded back as 0x1B.
    const uint64_t hi = t[7];
    const uint64_t t2[8] = {hi, t[0] ^ hi, t[1], t[2] ^ hi, t[3] ^ hi, t[4], t[5], t[6]};
    for (int i = 0; i < 8; ++i) q[i] = t2[i] ^ a1[i] ^ rotr(t[i], 32);
    secure_wipe(a1, sizeof a1);
    secure_wipe(t, sizeof t);
}

// The 8x8 bit matrix in x (bit 8 i + j is row i, column j), transposed.
inline uint64_t transpose8(uint64_t x) {
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
    x ^= t ^ (t << 28);
    return x;
}

// Group g (0..7) is row g / 2, columns 2 (g % 2) and 2 (g % 2) + 1: eight
// consecutive bits of every word, byte l of the group being column
// 2 (g % 2) + l / 4 of block l % 4.
inline size_t group_byte(int g, int l) { return 16 * (l & 3) + 4 * (2 * (g & 1) + (l >> 2)) + (g >> 1); }

// 64 bytes (four blocks) into the sliced form.
void load(const uint8_t in[64], Slice q) {
    for (int i = 0; i < 8; ++i) q[i] = 0;
    for (int g = 0; g < 8; ++g) {
        uint64_t w = 0;
        for (int l = 0; l < 8; ++l) w |= uint64_t{in[group_byte(g, l)]} << (8 * l);
        w = transpose8(w);
        for (int b = 0; b < 8; ++b) q[b] |= ((w >> (8 * b)) & 0xFF) << (8 * g);
    }
}

void store(const Slice q, uint8_t out[64]) {
    for (int g = 0; g < 8; ++g) {
        uint64_t w = 0;
        for (int b = 0; b < 8; ++b) w |= ((q[b] >> (8 * g)) & 0xFF) << (8 * b);
        w = transpose8(w);
        for (int l = 0; l < 8; ++l) out[group_byte(g, l)] = static_cast<uint8_t>(w >> (8 * l));
    }
}

// SubWord on one 32-bit word of the key schedule (bytes w[0..4)).
void sub_word(uint8_t w[4]) {
    uint8_t block[64] = {};
    std::memcpy(block, w, 4);
    Slice q;
    load(block, q);
    sub_bytes(q);
    store(q, block);
    std::memcpy(w, block, 4);
    secure_wipe(block, sizeof block);
    secure_wipe(q, sizeof q);
}

}  // namespace

void sub_bytes_portable(const uint8_t* in, uint8_t* out, size_t n) {
    uint8_t block[64] = {};
    std::memcpy(block, in, n);
    Slice q;
    load(block, q);
    sub_bytes(q);
    store(q, block);
    std::memcpy(out, block, n);
    secure_wipe(block, sizeof block);
    secure_wipe(q, sizeof q);
}

void expand_portable(const uint8_t key32[32], uint8_t round_keys[240]) {
    std::memcpy(round_keys, key32, 32);
    uint8_t rcon = 1;
    uint8_t t[4];
    for (int i = 8; i < 60; ++i) {
        std::memcpy(t, round_keys + 4 * (i - 1), 4);
        if (i % 8 == 0) {
            const uint8_t first = t[0];
            t[0] = t[1];
            t[1] = t[2];
            t[2] = t[3];
            t[3] = first;
            sub_word(t);
            t[0] ^= rcon;
            rcon = static_cast<uint8_t>((rcon << 1) ^ ((rcon >> 7) * 0x1B));
        } else if (i % 8 == 4) {
            sub_word(t);
        }
        for (int j = 0; j < 4; ++j) round_keys[4 * i + j] = static_cast<uint8_t>(round_keys[4 * (i - 8) + j] ^ t[j]);
    }
    secure_wipe(t, sizeof t);
}

void slice_round_keys(const uint8_t round_keys[240], uint64_t sliced[15][8]) {
    uint8_t four[64];
    for (int r = 0; r < 15; ++r) {
        for (int k = 0; k < 4; ++k) std::memcpy(four + 16 * k, round_keys + 16 * r, 16);
        load(four, sliced[r]);
    }
    secure_wipe(four, sizeof four);
}

void encrypt_blocks_portable(const uint64_t sliced[15][8], const uint8_t* in, uint8_t* out, size_t nblocks) {
    uint8_t buf[64] = {};
    std::memcpy(buf, in, 16 * nblocks);
    Slice q;
    load(buf, q);
    for (int i = 0; i < 8; ++i) q[i] ^= sliced[0][i];
    for (int r = 1; r < 14; ++r) {
        sub_bytes(q);
        for (int i = 0; i < 8; ++i) q[i] = shift_rows_word(q[i]);
        mix_columns(q);
        for (int i = 0; i < 8; ++i) q[i] ^= sliced[r][i];
    }
    sub_bytes(q);
    for (int i = 0; i < 8; ++i) q[i] = shift_rows_word(q[i]) ^ sliced[14][i];
    store(q, buf);
    std::memcpy(out, buf, 16 * nblocks);
    secure_wipe(buf, sizeof buf);
    secure_wipe(q, sizeof q);
}

}  // namespace qorvex::aes_detail
