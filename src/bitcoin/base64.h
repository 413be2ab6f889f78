// Base64 with the RFC 4648 alphabet and '=' padding, as Bitcoin's signed
// messages and BIP-322 signatures carry it.
//
// Decoding is strict: the text is whole quartets, every character is in the
// alphabet, '=' appears only as the one or two last characters, and the bits
// that padding leaves over are zero. So each byte string has exactly one
// text that decodes to it, and a signature cannot be re-spelled.
//
// Pure value functions over public data (the lookups are indexed by it): no
// allocation, no context, no codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qorvex::base64 {

// Characters that n bytes encode to.
constexpr size_t encoded_size(size_t n) { return 4 * (n / 3 + (n % 3 != 0 ? 1 : 0)); }

// Writes the encoded_size(in.size()) characters of in to out (no NUL).
void encode(std::span<const uint8_t> in, char* out);

// The bytes of text into out; their number, or nullopt when the text is not
// strict Base64 or out is too small for it. The empty text is zero bytes.
std::optional<size_t> decode(std::string_view text, std::span<uint8_t> out);

}  // namespace qorvex::base64
