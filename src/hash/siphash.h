// SipHash-2-4 (Aumasson and Bernstein): a keyed 64-bit pseudorandom function
// of a byte string, the hash BIP-158 filters map their elements with.
//
// Not a secret-key MAC here: the filter keys are block hashes, so nothing in
// this file needs constant time beyond what it has by construction.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex {

// SipHash-2-4 of len bytes under the key (k0, k1), the two halves of the
// 16-byte key read little-endian. data may be NULL only when len is 0.
uint64_t siphash24(uint64_t k0, uint64_t k1, const uint8_t* data, size_t len);

// The same with the 16 key bytes as given.
uint64_t siphash24(const uint8_t key16[16], const uint8_t* data, size_t len);

}  // namespace qorvex
