// PBKDF2 (RFC 8018) with HMAC-SHA512 as its pseudo-random function: the
// function BIP-39 turns a mnemonic into a seed with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex {

// out_len bytes of PBKDF2-HMAC-SHA512(password, salt, iterations). The
// midstates of the two HMAC pads are computed once per call, so every
// iteration costs two SHA-512 compressions. password and salt may be NULL
// when their length is 0; iterations of 0 is taken as 1. Every copy of the
// key, the pads, the midstates and the blocks is wiped before returning.
void pbkdf2_hmac_sha512(const uint8_t* password, size_t password_len, const uint8_t* salt, size_t salt_len,
                        uint32_t iterations, uint8_t* out, size_t out_len);

}  // namespace qorvex
