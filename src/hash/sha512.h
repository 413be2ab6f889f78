// SHA-512 (FIPS 180-4). Portable only: it serves BIP-32, BIP-39 and BIP-85,
// none of which is on a hot path the way SHA-256 is.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex {

struct Sha512Context {
    uint64_t state[8];
    uint64_t total;  // message bytes absorbed so far
    uint8_t block[128];
    uint64_t buffered;  // valid bytes in block, 0 to 127
};

// The FIPS 180-4 SHA-512 initial hash value.
inline constexpr uint64_t kSha512Init[8] = {0x6a09e667f3bcc908ULL, 0xbb67ae8584caa73bULL, 0x3c6ef372fe94f82bULL,
                                            0xa54ff53a5f1d36f1ULL, 0x510e527fade682d1ULL, 0x9b05688c2b3e6c1fULL,
                                            0x1f83d9abfb41bd6bULL, 0x5be0cd19137e2179ULL};

void sha512_init(Sha512Context& ctx);

// Absorbs len bytes; len may be 0 (data is then not read).
void sha512_update(Sha512Context& ctx, const uint8_t* data, size_t len);

// Pads, compresses and writes the 64-byte digest; the context is wiped.
void sha512_final(Sha512Context& ctx, uint8_t out64[64]);

// One-shot SHA-512.
void sha512(const uint8_t* data, size_t len, uint8_t out64[64]);

// One compression of a 128-byte block.
void sha512_compress(uint64_t state[8], const uint8_t block[128]);

// One compression of a block given as its sixteen big-endian words, for
// callers that keep their data in words (PBKDF2's iterations). w serves as
// the message schedule and is overwritten.
void sha512_compress_words(uint64_t state[8], uint64_t w[16]);

}  // namespace qorvex
