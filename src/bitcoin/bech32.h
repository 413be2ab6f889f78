// Bech32 (BIP-173) and Bech32m (BIP-350): generic strings with a caller's
// human-readable part, and segwit addresses. Addresses are public, so none
// of this needs constant time.
//
// The span encoders write into the caller's buffer and allocate nothing;
// they apply no length limit (silent-payment addresses exceed BIP-173's 90
// characters). The decoders take the limit as an argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qorvex {

enum class Bech32Kind { bech32, bech32m };

// The 32 characters of 5-bit values, by value (CashAddr uses them too).
inline constexpr char kBech32Charset[] = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";

// BIP-173's limit for segwit addresses.
inline constexpr size_t kBech32MaxLength = 90;
// A human-readable part is 1 to 83 characters from '!' to '~'.
inline constexpr size_t kBech32MaxHrp = 83;
inline constexpr size_t kBech32ChecksumLength = 6;

// The checksum constant XORed into the BCH code: 1 or 0x2BC830A3.
uint32_t bech32_constant(Bech32Kind kind);

// Text length of an encoding: hrp, '1', the values, six checksum characters.
constexpr size_t bech32_text_length(size_t hrp_len, size_t values) {
    return hrp_len + 1 + values + kBech32ChecksumLength;
}

// hrp || '1' || values (5-bit, each below 32) || checksum, no NUL, in
// out[0..len). The hrp is used as given; it must be 1 to 83 characters from
// '!' to '~' without upper-case letters. False (out untouched) for a bad hrp
// or value, or too small an out.
bool bech32_encode(std::string_view hrp, std::span<const uint8_t> values, Bech32Kind kind, std::span<char> out,
                   size_t& len);
// The same as a string; empty on failure.
std::string bech32_encode(std::string_view hrp, std::span<const uint8_t> values, Bech32Kind kind);

struct Bech32Decoded {
    Bech32Kind kind;
    std::string hrp;              // lower case
    std::vector<uint8_t> values;  // 5-bit values, checksum removed
};

// Decodes a Bech32 or Bech32m string of at most max_length characters with
// BIP-173's rules: characters '!' to '~', one case throughout, the last '1'
// separating an hrp of 1 to 83 characters from at least six data
// characters, and a checksum valid under one of the two constants (which
// tells the kind).
std::optional<Bech32Decoded> bech32_decode(std::string_view text, size_t max_length = kBech32MaxLength);

// Regroups bit groups of `from` bits into groups of `to` bits (1 to 8),
// most significant bits first. With pad, a final partial group is padded
// with zero bits; without, more than from - 1 leftover bits, or leftover
// bits that are not zero, fail (BIP-173's rule for 5-to-8).
bool convert_bits(std::span<const uint8_t> in, unsigned from, unsigned to, bool pad, std::vector<uint8_t>& out);
// The same into out[0..len), allocating nothing; false also when out is too
// small (its contents are then unspecified).
bool convert_bits(std::span<const uint8_t> in, unsigned from, unsigned to, bool pad, std::span<uint8_t> out,
                  size_t& len);

// --- Segwit addresses ---

inline constexpr unsigned kMaxWitnessVersion = 16;

// Length of the address of a program of n bytes under an hrp of h
// characters.
constexpr size_t segwit_address_length(size_t hrp_len, size_t n) {
    return bech32_text_length(hrp_len, 1 + (n * 8 + 4) / 5);
}

// The address of a witness program: hrp (as given), '1', the version, the
// program regrouped into 5-bit values and the checksum, Bech32 for version
// 0 and Bech32m for the others. Any program length is encoded. False for a
// version above 16, a bad hrp or too small an out.
bool segwit_address_encode(std::string_view hrp, unsigned version, std::span<const uint8_t> program,
                           std::span<char> out, size_t& len);
std::string segwit_address_encode(std::string_view hrp, unsigned version, std::span<const uint8_t> program);

struct SegwitAddress {
    unsigned version;
    uint8_t program[40];
    size_t program_len;
};

// Decodes a segwit address for the expected hrp (lower case; the address
// may be all upper case) with BIP-173 and BIP-350's rules: at most 90
// characters, version 0 to 16, a program of 2 to 40 bytes (20 or 32 for
// version 0), Bech32 for version 0 and Bech32m for the others.
std::optional<SegwitAddress> segwit_address_decode(std::string_view hrp, std::string_view text);

}  // namespace qorvex
