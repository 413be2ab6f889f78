// Base58 and Base58Check (the text of legacy addresses, WIF keys and
// extended keys). The conversions run in constant time in the bytes and the
// characters, since WIF strings and extended private keys go through them:
// loops have bounds set by the lengths alone, digits and characters map
// arithmetically, and only the length of a result and the verdict of a
// decode are made public.
//
// Span forms write into the caller's buffer and allocate nothing; the
// std::string / std::vector forms are for public data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qorvex {

// Room the span encoders need for n bytes (a bound on the digits; the text
// itself may be shorter), and a bound on the bytes a text of n characters
// decodes to (each leading '1' is a byte of its own).
constexpr size_t base58_encode_room(size_t n) { return n * 138 / 100 + 1; }
constexpr size_t base58_decode_room(size_t n) { return n; }

// Largest Base58Check payload: 2^31 - 1 bytes; longer (and empty) payloads
// do not encode.
inline constexpr size_t kBase58CheckMaxPayload = 0x7FFFFFFF;

// Base58 text of data (leading zero bytes as '1's), no NUL, in out[0..len).
// out must hold base58_encode_room(data.size()) characters; false (out may
// hold scratch, len untouched) when it is too small. data must not overlap
// out.
bool base58_encode(std::span<const uint8_t> data, std::span<char> out, size_t& len);

// The bytes of a Base58 text in out[0..len). False for a character outside
// the alphabet (white space included: nothing is trimmed) or a value that
// does not fit in out.
bool base58_decode(std::string_view text, std::span<uint8_t> out, size_t& len);

// Base58Check: the payload, then the first 4 bytes of its double SHA-256,
// in Base58. out needs base58_encode_room(payload.size() + 4) characters.
// False for an empty payload or one above kBase58CheckMaxPayload, or too
// small an out.
bool base58check_encode(std::span<const uint8_t> payload, std::span<char> out, size_t& len);
// The same for public data; the empty text on failure.
std::string base58check_encode(std::span<const uint8_t> payload);

// The payload of a Base58Check text in out[0..len) (out also holds the
// checksum while it is checked, so it needs 4 bytes more than the payload).
// False for a bad character, a result shorter than 4 bytes, a wrong
// checksum or too small an out; the scratch in out is then wiped.
bool base58check_decode(std::string_view text, std::span<uint8_t> out, size_t& len);
// The same for public data, with a buffer sized from the text.
std::optional<std::vector<uint8_t>> base58check_decode(std::string_view text);

}  // namespace qorvex
