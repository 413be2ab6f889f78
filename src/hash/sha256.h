// SHA-256 (FIPS 180-4) with two compression back ends that give identical
// results: a portable one and one built on the x86 SHA extensions. The choice
// is made once per process from CPUID; a build option can force either one.
//
// Nothing here allocates; a context is a plain value that lives on the stack.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QORVEX_HAVE_SHANI_BACKEND 1
#else
#define QORVEX_HAVE_SHANI_BACKEND 0
#endif

#if defined(QORVEX_SHA256_BACKEND_SHANI) && !QORVEX_HAVE_SHANI_BACKEND
#error "the shani SHA-256 back end needs x86-64 and a GNU-compatible compiler"
#endif

namespace qorvex {

// The running state of one hash. Copying it forks the computation, which is
// how tag midstates and the HMAC pad states are reused.
struct Sha256Context {
    uint32_t state[8];
    uint8_t block[64];
    uint64_t buffered;  // valid bytes in block, 0 to 63
    uint64_t total;     // message bytes absorbed so far
};

// Starts a new hash: the FIPS 180-4 initial value, nothing absorbed.
void sha256_init(Sha256Context& ctx);

// Absorbs len bytes; len may be 0 (data is then not read).
void sha256_update(Sha256Context& ctx, const uint8_t* data, size_t len);

// Pads, compresses the last block or blocks and writes the 32-byte digest.
// The context is wiped: it may have held secret input.
void sha256_final(Sha256Context& ctx, uint8_t out32[32]);

// One-shot SHA-256.
void sha256(const uint8_t* data, size_t len, uint8_t out32[32]);

// One compression of a 64-byte block into the chaining state, on the back end
// chosen for this process.
void sha256_compress(uint32_t state[8], const uint8_t block[64]);

// "portable" or "shani": the back end sha256_compress uses in this process.
const char* sha256_backend_name();

// The FIPS 180-4 initial hash value.
inline constexpr uint32_t kSha256Init[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                            0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

namespace sha256_detail {

// FIPS 180-4 round constants: the first 32 bits of the fractional parts of the
// cube roots of the first 64 primes. Aligned for 16-byte vector loads.
alignas(16) inline constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2
};

// Writes the eight chaining words big-endian. Whole-word stores matter: the
// bytes are often read back at once by the next compression, and a wide load
// spanning many single-byte stores stalls until they retire.
inline void store_state(uint8_t out32[32], const uint32_t state[8]) {
    for (int i = 0; i < 8; ++i) {
        uint32_t w = state[i];
        if constexpr (std::endian::native == std::endian::little) {
            w = (w >> 24) | ((w >> 8) & 0x0000ff00u) | ((w << 8) & 0x00ff0000u) | (w << 24);
        }
        std::memcpy(out32 + 4 * i, &w, 4);
    }
}

// Set once from CPUID (leaf 7, EBX bit 29) while the library loads. Both back
// ends agree, so a read before it is set would only cost speed.
extern const bool sha_ni_available;

// Compresses nblocks consecutive 64-byte blocks.
using CompressFn = void (*)(uint32_t state[8], const uint8_t* blocks, size_t nblocks);

void compress_portable(uint32_t state[8], const uint8_t* blocks, size_t nblocks);

#if QORVEX_HAVE_SHANI_BACKEND
// Only callable when shani_available() (or under a tool that executes the
// instructions regardless of what CPUID says).
void compress_shani(uint32_t state[8], const uint8_t* blocks, size_t nblocks);
#endif

// True when the hardware back end is compiled in and the processor has the
// SHA extensions.
bool shani_available();

// The dispatching multi-block compression behind sha256_compress.
void compress_blocks(uint32_t state[8], const uint8_t* blocks, size_t nblocks);

enum class Backend { Portable, Shani };

// Update and final pinned to one back end, so that tests and benchmarks can
// drive the whole streaming logic on each of them.
void update_with(Backend backend, Sha256Context& ctx, const uint8_t* data, size_t len);
void final_with(Backend backend, Sha256Context& ctx, uint8_t out32[32]);

}  // namespace sha256_detail

}  // namespace qorvex
