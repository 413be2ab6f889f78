// BIP-85: deterministic entropy from a BIP-32 private key, and child BIP-39
// mnemonics made from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bitcoin/bip32.h"

namespace qorvex::bip85 {

inline constexpr size_t kEntropySize = 64;
inline constexpr size_t kMaxPathLength = 128;

// HMAC-SHA512(key = "bip-entropy-from-k", data = k) for the private key k
// at path (the whole path; no prefix is imposed) below a private root.
// False (out untouched) when the root is public or the path does not
// derive. The derived key and the HMAC output are wiped.
bool entropy(const ExtendedKey& root, std::string_view path, uint8_t out64[kEntropySize]);

// The path of the BIP-39 application, "m/83696968'/39'/{language}'/{words}'/{index}'",
// in out (NUL-terminated); its length. Every value is printed as an
// unsigned decimal number, so an index of 2^31 or more gives a path that
// does not derive.
size_t bip39_path(uint32_t language, uint32_t words, uint32_t index, char out[kMaxPathLength]);

// Entropy bytes for a BIP-39 child mnemonic of 12, 18 or 24 words.
constexpr size_t bip39_entropy_size(uint32_t words) { return words / 3 * 4; }

}  // namespace qorvex::bip85
