// HKDF with HMAC-SHA256 (RFC 5869): extract a pseudorandom key from input
// keying material, then expand it to the length needed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex {

// PRK = HMAC-SHA256(salt, ikm). A NULL or empty salt stands for 32 zero
// bytes, as RFC 5869 says; ikm may be NULL when ikm_len is 0.
void hkdf_extract(const uint8_t* salt, size_t salt_len, const uint8_t* ikm, size_t ikm_len, uint8_t prk32[32]);

// The first out_len bytes of T(1) || T(2) || ..., T(i) = HMAC-SHA256(PRK,
// T(i-1) || info || i). False, writing nothing, when out_len exceeds
// kHkdfMaxOutput; info may be NULL when info_len is 0. The blocks are wiped.
inline constexpr size_t kHkdfMaxOutput = 255 * 32;
[[nodiscard]] bool hkdf_expand(const uint8_t prk32[32], const uint8_t* info, size_t info_len, uint8_t* out,
                               size_t out_len);

}  // namespace qorvex
