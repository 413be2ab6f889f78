// BIP-39 mnemonics (English word list): entropy to words and back, and the
// seed by PBKDF2-HMAC-SHA512 over the NFKD forms of the mnemonic and the
// passphrase.
//
// Both directions run in constant time in the entropy and in the words:
// words are found by scanning the whole list, characters are gathered into
// their word by masks, and only the number of words, the text's length and
// the verdict of a check are made public.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "support/secret_buffer.h"

namespace qorvex::bip39 {

inline constexpr size_t kMinWords = 12;
inline constexpr size_t kMaxWords = 24;
inline constexpr size_t kMaxEntropy = 32;
inline constexpr size_t kSeedSize = 64;
inline constexpr uint32_t kIterations = 2048;
// 24 words of at most 8 letters and 23 spaces.
inline constexpr size_t kMaxMnemonicLength = 215;

// 16, 20, 24, 28 or 32 bytes (12 to 24 words).
constexpr bool entropy_size_ok(size_t n) { return n >= 16 && n <= kMaxEntropy && n % 4 == 0; }

// The sentence of the entropy: the words of its 11-bit groups after the
// first n/4 bits of its SHA-256 are appended, joined by single spaces, in
// text[0..len) (no NUL); text needs kMaxMnemonicLength characters. False
// for an entropy size outside entropy_size_ok.
bool mnemonic_from_entropy(std::span<const uint8_t> entropy, char* text, size_t& len);

// The entropy of a mnemonic in out[0..len): the words (split at runs of
// space, tab, LF, VT, FF and CR; leading and trailing white space ignored)
// must be 12 to 24 and a multiple of 3, each in the list (lower case
// only), and the checksum bits must match. False otherwise (out untouched).
bool mnemonic_to_entropy(std::string_view text, uint8_t out[kMaxEntropy], size_t& len);

// The PBKDF2 password and salt of a mnemonic and passphrase: NFKD(mnemonic)
// and "mnemonic" || NFKD(passphrase). A text that does not normalise
// (invalid UTF-8) is used byte for byte. Throws std::bad_alloc.
struct SeedInputs {
    SecretBuffer password;
    SecretBuffer salt;
};
SeedInputs seed_inputs(std::string_view mnemonic, std::string_view passphrase);

// PBKDF2-HMAC-SHA512(password, salt, 2048 rounds, 64 bytes). Allocates
// nothing.
void seed_from_inputs(const SeedInputs& in, uint8_t seed[kSeedSize]);

// Both steps, without checking the mnemonic.
void seed_from_text(std::string_view mnemonic, std::string_view passphrase, uint8_t seed[kSeedSize]);

}  // namespace qorvex::bip39
