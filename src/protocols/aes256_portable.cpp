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
// SubBytes is computed, not looked up, by a circuit of logic gates on the
// eight bit-slices.
#include <cstring>

#include "protocols/aes256.h"
#include "support/wipe.h"

namespace qorvex::aes_detail {

namespace {

using Slice = uint64_t[8];

// SubBytes on all 64 bytes by the circuit of Boyar and Peralta (113 logic
// gates: a linear layer, a non-linear middle that inverts in GF(2^8) through
// its tower-field form, and a linear layer with the affine map folded in).
// x0 is the most significant bit of each byte.
void sub_bytes(Slice q) {
    const uint64_t x0 = q[7], x1 = q[6], x2 = q[5], x3 = q[4], x4 = q[3], x5 = q[2], x6 = q[1], x7 = q[0];

    const uint64_t y14 = x3 ^ x5, y13 = x0 ^ x6, y9 = x0 ^ x3, y8 = x0 ^ x5;
    const uint64_t t0 = x1 ^ x2;
    const uint64_t y1 = t0 ^ x7, y4 = y1 ^ x3, y12 = y13 ^ y14, y2 = y1 ^ x0, y5 = y1 ^ x6;
    const uint64_t y3 = y5 ^ y8;
    const uint64_t t1 = x4 ^ y12;
    const uint64_t y15 = t1 ^ x5, y20 = t1 ^ x1;
    const uint64_t y6 = y15 ^ x7, y10 = y15 ^ t0, y11 = y20 ^ y9;
    const uint64_t y7 = x7 ^ y11, y17 = y10 ^ y11, y19 = y10 ^ y8, y16 = t0 ^ y11;
    const uint64_t y21 = y13 ^ y16, y18 = x0 ^ y16;

    const uint64_t t2 = y12 & y15, t3 = y3 & y6, t4 = t3 ^ t2, t5 = y4 & x7, t6 = t5 ^ t2;
    const uint64_t t7 = y13 & y16, t8 = y5 & y1, t9 = t8 ^ t7, t10 = y2 & y7, t11 = t10 ^ t7;
    const uint64_t t12 = y9 & y11, t13 = y14 & y17, t14 = t13 ^ t12, t15 = y8 & y10, t16 = t15 ^ t12;
    const uint64_t t17 = t4 ^ t14, t18 = t6 ^ t16, t19 = t9 ^ t14, t20 = t11 ^ t16;
    const uint64_t t21 = t17 ^ y20, t22 = t18 ^ y19, t23 = t19 ^ y21, t24 = t20 ^ y18;

    const uint64_t t25 = t21 ^ t22, t26 = t21 & t23, t27 = t24 ^ t26, t28 = t25 & t27, t29 = t28 ^ t22;
    const uint64_t t30 = t23 ^ t24, t31 = t22 ^ t26, t32 = t31 & t30, t33 = t32 ^ t24;
    const uint64_t t34 = t23 ^ t33, t35 = t27 ^ t33, t36 = t24 & t35, t37 = t36 ^ t34;
    const uint64_t t38 = t27 ^ t36, t39 = t29 & t38, t40 = t25 ^ t39;

    const uint64_t t41 = t40 ^ t37, t42 = t29 ^ t33, t43 = t29 ^ t40, t44 = t33 ^ t37, t45 = t42 ^ t41;
    const uint64_t z0 = t44 & y15, z1 = t37 & y6, z2 = t33 & x7, z3 = t43 & y16, z4 = t40 & y1;
    const uint64_t z5 = t29 & y7, z6 = t42 & y11, z7 = t45 & y17, z8 = t41 & y10, z9 = t44 & y12;
    const uint64_t z10 = t37 & y3, z11 = t33 & y4, z12 = t43 & y13, z13 = t40 & y5, z14 = t29 & y2;
    const uint64_t z15 = t42 & y9, z16 = t45 & y14, z17 = t41 & y8;

    const uint64_t t46 = z15 ^ z16, t47 = z10 ^ z11, t48 = z5 ^ z13, t49 = z9 ^ z10, t50 = z2 ^ z12;
    const uint64_t t51 = z2 ^ z5, t52 = z7 ^ z8, t53 = z0 ^ z3, t54 = z6 ^ z7, t55 = z16 ^ z17;
    const uint64_t t56 = z12 ^ t48, t57 = t50 ^ t53, t58 = z4 ^ t46, t59 = z3 ^ t54, t60 = t46 ^ t57;
    const uint64_t t61 = z14 ^ t57, t62 = t52 ^ t58, t63 = t49 ^ t58, t64 = z4 ^ t59, t65 = t61 ^ t62;
    const uint64_t t66 = z1 ^ t63;
    const uint64_t s0 = t59 ^ t63, s6 = t56 ^ ~t62, s7 = t48 ^ ~t60, t67 = t64 ^ t65;
    const uint64_t s3 = t53 ^ t66, s4 = t51 ^ t66, s5 = t47 ^ t65;
    const uint64_t s1 = t64 ^ ~s3, s2 = t55 ^ ~t67;

    q[7] = s0;
    q[6] = s1;
    q[5] = s2;
    q[4] = s3;
    q[3] = s4;
    q[2] = s5;
    q[1] = s6;
    q[0] = s7;
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
