// The BIP-39 English word list, as the list itself and packed for the
// constant-time lookups of mnemonic encoding and decoding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qorvex::bip39 {

inline constexpr size_t kWordCount = 2048;
inline constexpr size_t kMaxWordLength = 8;

// Word i, NUL-terminated.
extern const std::array<const char*, kWordCount> kEnglish;
// Word i's characters in the bytes of a 64-bit value, the first character
// in the lowest byte, zero above the last; and its length.
extern const std::array<uint64_t, kWordCount> kEnglishPacked;
extern const std::array<uint8_t, kWordCount> kEnglishLength;

}  // namespace qorvex::bip39
