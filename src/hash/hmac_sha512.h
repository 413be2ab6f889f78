// HMAC-SHA512 (RFC 2104), as BIP-32, BIP-85 and the PBKDF2 of BIP-39 use it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex {

// HMAC-SHA512 of msg under key. A key longer than 128 bytes is hashed first;
// key and msg may be NULL when their length is 0. The padded key, the pad
// blocks and the inner digest are wiped before returning.
void hmac_sha512(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len, uint8_t out64[64]);

}  // namespace qorvex
