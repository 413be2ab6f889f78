#include "coins/cashaddr.h"

#include <cstring>

#include "bitcoin/bech32.h"

namespace qorvex {

namespace {

// The longest hash the size codes describe, with its version byte.
constexpr size_t kMaxPayload = 1 + 64;
constexpr size_t kMaxValues = (kMaxPayload * 8 + 4) / 5;

// One step of the BCH code over GF(32) with a 40-bit state.
inline uint64_t polymod_step(uint64_t c, uint64_t value) {
    const uint64_t c0 = c >> 35;
    c = ((c & 0x07FFFFFFFFull) << 5) ^ value;
    if (c0 & 0x01) c ^= 0x98F2BC8E61ull;
    if (c0 & 0x02) c ^= 0x79B76D99E2ull;
    if (c0 & 0x04) c ^= 0xF33E5FB3C4ull;
    if (c0 & 0x08) c ^= 0xAE2EABE2A8ull;
    if (c0 & 0x10) c ^= 0x1E4F43E470ull;
    return c;
}

bool prefix_ok(std::string_view prefix) {
    if (prefix.empty() || prefix.size() > kCashAddrMaxPrefix) return false;
    for (const char c : prefix)
        if (c < '!' || c > '~' || c == ':' || (c >= 'A' && c <= 'Z')) return false;
    return true;
}

// The size code of a hash length, or -1.
int size_code(size_t n) {
    constexpr size_t kSizes[] = {20, 24, 28, 32, 40, 48, 56, 64};
    for (size_t i = 0; i < sizeof kSizes / sizeof kSizes[0]; ++i)
        if (kSizes[i] == n) return static_cast<int>(i);
    return -1;
}

}  // namespace

uint64_t cashaddr_polymod(std::string_view prefix, std::span<const uint8_t> values) {
    uint64_t c = 1;
    for (const char ch : prefix) c = polymod_step(c, static_cast<unsigned char>(ch) & 0x1F);
    c = polymod_step(c, 0);
    for (const uint8_t v : values) c = polymod_step(c, v);
    for (size_t i = 0; i < kCashAddrChecksumLength; ++i) c = polymod_step(c, 0);
    return c;
}

bool cashaddr_encode_values(std::string_view prefix, std::span<const uint8_t> values, std::span<char> out,
                            size_t& len) {
    if (!prefix_ok(prefix)) return false;
    for (const uint8_t v : values)
        if (v >= 32) return false;
    const size_t n = cashaddr_text_length(prefix.size(), values.size());
    if (out.size() < n) return false;
    const uint64_t checksum = cashaddr_polymod(prefix, values) ^ 1;
    char* p = out.data();
    std::memcpy(p, prefix.data(), prefix.size());
    p += prefix.size();
    *p++ = ':';
    for (const uint8_t v : values) *p++ = kBech32Charset[v];
    // Eight groups, the most significant first.
    for (size_t j = 0; j < kCashAddrChecksumLength; ++j) *p++ = kBech32Charset[(checksum >> (35 - 5 * j)) & 0x1F];
    len = n;
    return true;
}

bool cashaddr_encode(std::string_view prefix, unsigned type, std::span<const uint8_t> hash, std::span<char> out,
                     size_t& len) {
    const int code = size_code(hash.size());
    if (code < 0 || type > kCashAddrMaxType) return false;
    uint8_t payload[kMaxPayload];
    payload[0] = static_cast<uint8_t>(type << 3 | static_cast<unsigned>(code));
    std::memcpy(payload + 1, hash.data(), hash.size());
    uint8_t values[kMaxValues];
    size_t count = 0;
    if (!convert_bits(std::span<const uint8_t>(payload, 1 + hash.size()), 8, 5, true, values, count)) return false;
    return cashaddr_encode_values(prefix, std::span<const uint8_t>(values, count), out, len);
}

std::string cashaddr_encode(std::string_view prefix, unsigned type, std::span<const uint8_t> hash) {
    std::string s(cashaddr_address_length(prefix.size(), hash.size()), '\0');
    size_t len = 0;
    if (!cashaddr_encode(prefix, type, hash, s, len)) return {};
    s.resize(len);
    return s;
}

}  // namespace qorvex
