// Base64 for the tests of the signed-message exports, written apart from
// the library's so that the tests compare two implementations, and lax on
// purpose (no padding checks) so that they can spell what the library must
// refuse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qorvex::test {

inline const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

inline std::string base64_encode(const std::vector<uint8_t>& in) {
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        uint32_t v = uint32_t{in[i]} << 16;
        if (i + 1 < in.size()) v |= uint32_t{in[i + 1]} << 8;
        if (i + 2 < in.size()) v |= in[i + 2];
        out += kBase64Alphabet[v >> 18];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += i + 1 < in.size() ? kBase64Alphabet[(v >> 6) & 63] : '=';
        out += i + 2 < in.size() ? kBase64Alphabet[v & 63] : '=';
    }
    return out;
}

// Every alphabet character read, '=' and anything else skipped.
inline std::vector<uint8_t> base64_decode(const std::string& text) {
    std::vector<uint8_t> out;
    uint32_t acc = 0;
    int bits = 0;
    for (const char c : text) {
        const char* p = std::char_traits<char>::find(kBase64Alphabet, 64, c);
        if (p == nullptr) continue;
        acc = (acc << 6) | static_cast<uint32_t>(p - kBase64Alphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<uint8_t>(acc >> bits));
        }
    }
    return out;
}

}  // namespace qorvex::test
