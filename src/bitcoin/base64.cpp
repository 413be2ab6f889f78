#include "bitcoin/base64.h"

#include <array>

namespace qorvex::base64 {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kInvalid = 0xFF;

// Character -> its six bits, kInvalid for anything outside the alphabet
// ('=' included: padding is handled where it may stand).
constexpr std::array<uint8_t, 256> kValues = [] {
    std::array<uint8_t, 256> v{};
    v.fill(kInvalid);
    for (uint8_t i = 0; i < 64; ++i) v[static_cast<uint8_t>(kAlphabet[i])] = i;
    return v;
}();

uint8_t value_of(char c) { return kValues[static_cast<uint8_t>(c)]; }

}  // namespace

void encode(std::span<const uint8_t> in, char* out) {
    size_t i = 0;
    for (; i + 3 <= in.size(); i += 3) {
        const uint32_t v = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
        *out++ = kAlphabet[v >> 18];
        *out++ = kAlphabet[(v >> 12) & 63];
        *out++ = kAlphabet[(v >> 6) & 63];
        *out++ = kAlphabet[v & 63];
    }
    const size_t left = in.size() - i;
    if (left == 0) return;
    const uint32_t v = (uint32_t{in[i]} << 16) | (left == 2 ? uint32_t{in[i + 1]} << 8 : 0);
    *out++ = kAlphabet[v >> 18];
    *out++ = kAlphabet[(v >> 12) & 63];
    *out++ = left == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    *out++ = '=';
}

std::optional<size_t> decode(std::string_view text, std::span<uint8_t> out) {
    if (text.size() % 4 != 0) return std::nullopt;
    if (text.empty()) return size_t{0};
    // The last quartet may end in one or two '='.
    const size_t pad = text.back() != '=' ? 0 : text[text.size() - 2] == '=' ? 2 : 1;
    const size_t n = text.size() / 4 * 3 - pad;
    if (n > out.size()) return std::nullopt;

    size_t o = 0;
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const size_t chars = last ? 4 - pad : 4;
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) {
            uint8_t b = 0;
            if (k < chars) {
                b = value_of(text[i + k]);
                if (b == kInvalid) return std::nullopt;
            }
            v = (v << 6) | b;
        }
        // The bits below the last whole byte must be zero: "QQ==" and "QR=="
        // would otherwise both read as the one byte 0x41.
        if (pad == 2 && last && (v & 0xFFFF) != 0) return std::nullopt;
        if (pad == 1 && last && (v & 0xFF) != 0) return std::nullopt;
        const uint8_t bytes[3] = {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
        const size_t take = last ? 3 - pad : 3;
        for (size_t k = 0; k < take; ++k) out[o++] = bytes[k];
    }
    return o;
}

}  // namespace qorvex::base64
