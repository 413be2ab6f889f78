// AES-256 (FIPS-197), encryption direction only, and counter mode
// (SP 800-38A) with a 128-bit big-endian counter.
//
// Two back ends give identical results: the processor's AES instructions
// (AES-NI), and a portable bitsliced one that processes four blocks at once
// with logic operations only, so that neither branches nor memory addresses
// depend on the key or the data. The choice is made once per process from
// CPUID; the QORVEX_AES_BACKEND build option can force either one.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QORVEX_HAVE_AESNI_BACKEND 1
#else
#define QORVEX_HAVE_AESNI_BACKEND 0
#endif

#if defined(QORVEX_AES_BACKEND_AESNI) && !QORVEX_HAVE_AESNI_BACKEND
#error "the aesni AES back end needs x86-64 and a GNU-compatible compiler"
#endif

namespace qorvex {

enum class AesBackend { Portable, AesNi };

// The back end this process uses.
AesBackend aes_backend();
// "portable" or "aesni".
const char* aes_backend_name();

// The expanded key: the 15 round keys of FIPS-197 (240 bytes), and for the
// portable back end the same keys in its bitsliced form. Secret: hold it in
// WipeOnExit<Aes256Key>.
struct Aes256Key {
    alignas(16) uint8_t round_keys[240];
    uint64_t sliced[15][8];
    AesBackend backend;
};

// Expands key32 for the given back end (by default the process's).
void aes256_expand(const uint8_t key32[32], Aes256Key& out);
void aes256_expand(const uint8_t key32[32], Aes256Key& out, AesBackend backend);

// One block, in may equal out.
void aes256_encrypt_block(const Aes256Key& key, const uint8_t in16[16], uint8_t out16[16]);

// Counter mode over len bytes: out = in XOR AES(counter), AES(counter + 1),
// ...; the last block may be partial. counter16 is advanced past the blocks
// used (wrapping at 2^128), so a message may be processed in pieces whose
// lengths are multiples of 16, the last excepted. in may equal out; other
// overlaps are not allowed. The keystream is wiped.
void aes256_ctr(const Aes256Key& key, uint8_t counter16[16], const uint8_t* in, uint8_t* out, size_t len);

// One-shot counter mode from a key and an initial counter block; the round
// keys are wiped.
void aes256_ctr(const uint8_t key32[32], const uint8_t iv16[16], const uint8_t* in, uint8_t* out, size_t len);

namespace aes_detail {

// The back ends, for tests and benchmarks.
void expand_portable(const uint8_t key32[32], uint8_t round_keys[240]);
void slice_round_keys(const uint8_t round_keys[240], uint64_t sliced[15][8]);
// Four blocks (64 bytes) at a time; nblocks may be 1 to 4.
void encrypt_blocks_portable(const uint64_t sliced[15][8], const uint8_t* in, uint8_t* out, size_t nblocks);

bool aesni_available();
#if QORVEX_HAVE_AESNI_BACKEND
void expand_aesni(const uint8_t key32[32], uint8_t round_keys[240]);
// Counter-mode keystream XOR for whole blocks, eight in flight; the counter
// (as hi/lo 64-bit halves of the big-endian value) is advanced.
void ctr_blocks_aesni(const uint8_t round_keys[240], uint64_t& hi, uint64_t& lo, const uint8_t* in, uint8_t* out,
                      size_t nblocks);
void encrypt_block_aesni(const uint8_t round_keys[240], const uint8_t in16[16], uint8_t out16[16]);
#endif

// The S-box of FIPS-197 computed by the bitsliced circuit, on each byte of
// in[0..n) (n <= 64).
void sub_bytes_portable(const uint8_t* in, uint8_t* out, size_t n);

}  // namespace aes_detail

}  // namespace qorvex
