// Keccak-256 with the original Keccak padding (0x01 ... 0x80), as Ethereum
// uses it. This is not FIPS 202 SHA3-256, which pads with 0x06 and so gives
// different digests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex {

// Rate of Keccak-256: 1600 - 2 * 256 bits.
inline constexpr size_t kKeccak256Rate = 136;

struct KeccakContext {
    uint64_t state[25];  // lane (x, y) at index x + 5y, little-endian bytes
    uint8_t block[kKeccak256Rate];
    uint64_t buffered;  // valid bytes in block, 0 to 135
};

// The 24-round Keccak-f[1600] permutation.
void keccak_f1600(uint64_t state[25]);

// Zero state, nothing buffered.
void keccak256_init(KeccakContext& ctx);

// Absorbs len bytes; len may be 0 (data is then not read).
void keccak256_update(KeccakContext& ctx, const uint8_t* data, size_t len);

// Pads, permutes and writes the first 32 bytes of the state; the context is
// wiped.
void keccak256_final(KeccakContext& ctx, uint8_t out32[32]);

// One-shot Keccak-256.
void keccak256(const uint8_t* data, size_t len, uint8_t out32[32]);

}  // namespace qorvex
