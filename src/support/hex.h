// Hex text <-> bytes for constants, tests and the text-taking exports.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex {

// Value of one hex digit (either case), or -1.
inline int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Exactly 2*len hex digits followed by the end of the text.
inline bool hex_to_bytes(const char* hex, uint8_t* out, size_t len) {
    for (size_t i = 0; i < len; ++i) {
        const int hi = hex_digit(hex[2 * i]);
        if (hi < 0) return false;
        const int lo = hex_digit(hex[2 * i + 1]);
        if (lo < 0) return false;
        out[i] = static_cast<uint8_t>((hi << 4) | lo);
    }
    return hex[2 * len] == '\0';
}

inline bool hex_to_bytes32(const char* hex, uint8_t out[32]) { return hex_to_bytes(hex, out, 32); }

// Lower-case hex with a terminating NUL; out needs 2*len + 1 bytes.
inline void bytes_to_hex(const uint8_t* in, size_t len, char* out) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < len; ++i) {
        out[2 * i] = kDigits[in[i] >> 4];
        out[2 * i + 1] = kDigits[in[i] & 15];
    }
    out[2 * len] = '\0';
}

}  // namespace qorvex
