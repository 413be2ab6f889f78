// RIPEMD-160 (ISO/IEC 10118-3) and Hash160 = RIPEMD-160(SHA-256(x)), the
// hash behind Bitcoin addresses and BIP-32 key fingerprints.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex {

struct Ripemd160Context {
    uint32_t state[5];
    uint8_t block[64];
    uint64_t buffered;  // valid bytes in block, 0 to 63
    uint64_t total;     // message bytes absorbed so far
};

void ripemd160_init(Ripemd160Context& ctx);

// Absorbs len bytes; len may be 0 (data is then not read).
void ripemd160_update(Ripemd160Context& ctx, const uint8_t* data, size_t len);

// MD4-style padding with a little-endian bit length; writes the 20-byte
// digest and wipes the context.
void ripemd160_final(Ripemd160Context& ctx, uint8_t out20[20]);

// One-shot RIPEMD-160.
void ripemd160(const uint8_t* data, size_t len, uint8_t out20[20]);

// One compression: both lines of 80 steps over a 64-byte block.
void ripemd160_compress(uint32_t state[5], const uint8_t block[64]);

// RIPEMD-160(SHA-256(data)).
void hash160(const uint8_t* data, size_t len, uint8_t out20[20]);

}  // namespace qorvex
