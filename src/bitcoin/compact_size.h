// The Bitcoin compact size: the variable-length unsigned integer that prefixes
// scripts, witness items and counts in transactions, blocks, filters and
// signed messages. Values up to 252 take one byte; larger ones a marker byte
// (0xFD, 0xFE, 0xFF) and 2, 4 or 8 bytes little-endian.
//
// Pure value functions: no allocation, no context, no codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qorvex::compact_size {

// The longest encoding: the marker and 8 bytes.
inline constexpr size_t kMaxSize = 9;

// Bytes the encoding of v takes.
constexpr size_t size_of(uint64_t v) {
    return v < 0xFD ? 1 : v <= 0xFFFF ? 3 : v <= 0xFFFFFFFFu ? 5 : 9;
}

// Writes the shortest encoding of v to out and returns its length.
inline size_t encode(uint64_t v, uint8_t out[kMaxSize]) {
    const size_t n = size_of(v);
    if (n == 1) {
        out[0] = static_cast<uint8_t>(v);
        return 1;
    }
    out[0] = n == 3 ? 0xFD : n == 5 ? 0xFE : 0xFF;
    for (size_t i = 1; i < n; ++i) {
        out[i] = static_cast<uint8_t>(v);
        v >>= 8;
    }
    return n;
}

struct Decoded {
    uint64_t value;
    size_t size;  // bytes read
};

// Reads one compact size from the front of in. Only the shortest form is
// accepted: a value that a shorter form could hold is refused, as is an
// encoding cut short by the end of in.
inline std::optional<Decoded> decode(std::span<const uint8_t> in) {
    if (in.empty()) return std::nullopt;
    const uint8_t first = in[0];
    if (first < 0xFD) return Decoded{first, 1};
    const size_t n = first == 0xFD ? 3 : first == 0xFE ? 5 : 9;
    if (in.size() < n) return std::nullopt;
    uint64_t v = 0;
    for (size_t i = n - 1; i >= 1; --i) v = (v << 8) | in[i];
    if (size_of(v) != n) return std::nullopt;
    return Decoded{v, n};
}

}  // namespace qorvex::compact_size
