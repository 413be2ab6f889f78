// CashAddr, the address text of Bitcoin Cash: a prefix, ':', the payload
// (a version byte and a hash) in 5-bit groups, and a 40-bit BCH checksum,
// all in the Bech32 character set. Addresses are public: nothing here needs
// constant time.
//
// The span encoders write into the caller's buffer and allocate nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qorvex {

inline constexpr size_t kCashAddrChecksumLength = 8;
// A prefix is 1 to 83 characters from '!' to '~', neither ':' nor upper case
// (the prefixes in use are "bitcoincash", "bchtest" and "bchreg").
inline constexpr size_t kCashAddrMaxPrefix = 83;
// Type values: 0 key hash (P2PKH), 1 script hash (P2SH); 4 bits in all.
inline constexpr unsigned kCashAddrKeyHash = 0;
inline constexpr unsigned kCashAddrScriptHash = 1;
inline constexpr unsigned kCashAddrMaxType = 15;

// Text length: prefix, ':', the values, the eight checksum characters.
constexpr size_t cashaddr_text_length(size_t prefix_len, size_t values) {
    return prefix_len + 1 + values + kCashAddrChecksumLength;
}

// Length of the address of a hash of n bytes (20 bytes: 42 characters after
// the ':').
constexpr size_t cashaddr_address_length(size_t prefix_len, size_t n) {
    return cashaddr_text_length(prefix_len, ((1 + n) * 8 + 4) / 5);
}

// The 40-bit checksum of prefix and values, before the final XOR with 1:
// the low 5 bits of each prefix character, a zero, the values and eight
// zeros through the CashAddr generator. A valid address text gives 1 over
// its values and checksum characters.
uint64_t cashaddr_polymod(std::string_view prefix, std::span<const uint8_t> values);

// prefix || ':' || values (5-bit, each below 32) || checksum, no NUL, in
// out[0..len). False (out untouched) for a bad prefix or value, or too
// small an out.
bool cashaddr_encode_values(std::string_view prefix, std::span<const uint8_t> values, std::span<char> out,
                            size_t& len);

// The address of a hash: version byte = type << 3 | size code (20, 24, 28,
// 32, 40, 48, 56 or 64 bytes give codes 0 to 7), then the hash, regrouped
// into 5-bit values with the last group padded by zero bits. False for
// another hash size, a type above 15, a bad prefix or too small an out.
bool cashaddr_encode(std::string_view prefix, unsigned type, std::span<const uint8_t> hash, std::span<char> out,
                     size_t& len);
// The same as a string; empty on failure.
std::string cashaddr_encode(std::string_view prefix, unsigned type, std::span<const uint8_t> hash);

}  // namespace qorvex
