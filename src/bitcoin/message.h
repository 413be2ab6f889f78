// Bitcoin's signed messages (the "signmessage" form): the message hash, and
// the 65-byte recoverable signature header || r || s carried as Base64.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sig/ecdsa.h"

namespace qorvex::message {

inline constexpr size_t kSignatureSize = 65;
// Base64 of the 65 bytes: 87 characters and one '='.
inline constexpr size_t kSignatureTextLength = 88;

// The header byte: 27 + recovery id, plus 4 for a compressed key. Signing
// always marks the key compressed.
inline constexpr uint8_t kHeaderMin = 27;
inline constexpr uint8_t kHeaderMax = 34;
inline constexpr uint8_t kHeaderCompressed = 31;

// SHA256d(0x18 "Bitcoin Signed Message:\n" || compact size(len) || msg).
// The preimage is streamed into the hash, never assembled; msg is not read
// when len is 0.
void hash(const uint8_t* msg, size_t len, uint8_t out32[32]);

// The Base64 text (no NUL) of 31 + recid || r || s.
void encode_signature(const ecdsa::Signature& sig, int recid, char text_out[kSignatureTextLength]);

// Reads a signature text: exactly 88 characters of strict Base64 decoding
// to 65 bytes, a header from 27 to 34 and r, s in [1, n - 1]. The header's
// recovery id and compression flag are not returned: verification checks
// the signature against a key the caller names.
bool decode_signature(std::string_view text, ecdsa::Signature& out);

}  // namespace qorvex::message
