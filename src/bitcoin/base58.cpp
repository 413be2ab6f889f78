#include "bitcoin/base58.h"

#include <cstring>

#include "hash/sha256.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

using ct::value_barrier_u32;

// All ones when lo <= v <= hi (all three below 2^31).
inline uint32_t in_range_mask(uint32_t v, uint32_t lo, uint32_t hi) {
    return value_barrier_u32(((((v - lo) | (hi - v)) >> 31) & 1) - 1);
}

// All ones when v >= k (k >= 1, both below 2^31).
inline uint32_t at_least_mask(uint32_t v, uint32_t k) { return value_barrier_u32(0u - (((k - 1) - v) >> 31)); }

inline uint32_t is_zero_mask32(uint32_t v) { return value_barrier_u32(((v | (0u - v)) >> 31) - 1); }

// All ones when a < b (both below 2^31).
inline uint32_t less_mask(uint32_t a, uint32_t b) { return value_barrier_u32(0u - ((a - b) >> 31)); }

// b when m is all ones, a when zero.
inline uint8_t select8(uint32_t m, uint8_t a, uint8_t b) { return static_cast<uint8_t>(a ^ (m & (a ^ b))); }

// The alphabet "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"
// without a table: '1' + d, then a jump over each gap of ASCII (':' to '@',
// 'I', 'O', '[' to '`', 'l').
inline char digit_char(uint32_t d) {
    uint32_t c = '1' + d;
    c += 7 & at_least_mask(d, 9);
    c += 1 & at_least_mask(d, 17);
    c += 1 & at_least_mask(d, 22);
    c += 6 & at_least_mask(d, 33);
    c += 1 & at_least_mask(d, 44);
    return static_cast<char>(c);
}

// The inverse; *ok is all ones for a character of the alphabet.
inline uint32_t char_digit(uint8_t ch, uint32_t& ok) {
    const uint32_t c = ch;
    const uint32_t r0 = in_range_mask(c, '1', '9'), r1 = in_range_mask(c, 'A', 'H'), r2 = in_range_mask(c, 'J', 'N'),
                   r3 = in_range_mask(c, 'P', 'Z'), r4 = in_range_mask(c, 'a', 'k'), r5 = in_range_mask(c, 'm', 'z');
    ok = r0 | r1 | r2 | r3 | r4 | r5;
    return (r0 & (c - '1')) | (r1 & (c - 'A' + 9)) | (r2 & (c - 'J' + 17)) | (r3 & (c - 'P' + 22)) |
           (r4 & (c - 'a' + 33)) | (r5 & (c - 'm' + 44));
}

// v / 58 by a multiplication (no division instruction, whose time may
// depend on its operands), exact for every v the conversion produces.
constexpr uint32_t kMaxDividend = 57 * 256 + 256;
constexpr uint32_t div58(uint32_t v) { return (v * 1130u) >> 16; }
constexpr bool div58_exact() {
    for (uint32_t v = 0; v <= kMaxDividend; ++v)
        if (div58(v) != v / 58) return false;
    return true;
}
static_assert(div58_exact(), "the reciprocal of 58 must be exact over the dividends of the conversion");

// The bytes a || b, read by index without a copy of either.
struct TwoParts {
    std::span<const uint8_t> a, b;
    size_t size() const { return a.size() + b.size(); }
    uint8_t operator[](size_t i) const { return i < a.size() ? a[i] : b[i - a.size()]; }
};

bool encode_parts(const TwoParts& in, std::span<char> out, size_t& len) {
    const size_t n = in.size();
    const size_t room = base58_encode_room(n);
    if (out.size() < room) return false;
    // The digits, most significant first, are worked out in out itself.
    uint8_t* dig = reinterpret_cast<uint8_t*>(out.data());
    std::memset(dig, 0, room);
    for (size_t i = 0; i < n; ++i) {
        uint32_t carry = in[i];
        for (size_t j = room; j-- > 0;) {
            carry += uint32_t{dig[j]} << 8;
            const uint32_t q = div58(carry);
            dig[j] = static_cast<uint8_t>(carry - 58 * q);
            carry = q;
        }
    }
    // Leading zero bytes become '1's; leading zero digits are dropped.
    uint32_t zeros = 0, lead = 0, run = ~0u;
    for (size_t i = 0; i < n; ++i) {
        run &= is_zero_mask32(in[i]);
        zeros += run & 1;
    }
    run = ~0u;
    for (size_t j = 0; j < room; ++j) {
        run &= is_zero_mask32(dig[j]);
        lead += run & 1;
    }
    // The length of the text is public: it is the result's size. It never
    // exceeds the bound: a zero byte costs one character where the bound
    // allows it 1.38, the other bytes fewer than 1.366 each.
    size_t text_len = zeros + room - lead;
    declassify_value(text_len);
    if (text_len > room) {
        secure_wipe(dig, room);
        return false;
    }
    // Character k is '1' below `zeros`, else the digit at k + room - len:
    // that offset is public although zeros and lead are not. The digits
    // move down, so going up reads each before it is overwritten.
    const size_t shift = room - text_len;
    for (size_t k = 0; k < text_len; ++k) {
        const uint32_t one = less_mask(static_cast<uint32_t>(k), zeros);
        out[k] = static_cast<char>(select8(one, static_cast<uint8_t>(digit_char(dig[k + shift])), '1'));
    }
    secure_wipe(dig + text_len, room - text_len);
    len = text_len;
    return true;
}

void checksum(std::span<const uint8_t> payload, uint8_t out4[4]) {
    uint8_t h[32];
    sha256(payload.data(), payload.size(), h);
    sha256(h, 32, h);
    std::memcpy(out4, h, 4);
    secure_wipe(h, sizeof h);
}

}  // namespace

bool base58_encode(std::span<const uint8_t> data, std::span<char> out, size_t& len) {
    return encode_parts(TwoParts{data, {}}, out, len);
}

bool base58_decode(std::string_view text, std::span<uint8_t> out, size_t& len) {
    const size_t t = text.size();
    const size_t cap = out.size();
    // A text of t characters decodes to at least (t - 1) * log256(58) bytes;
    // one far longer than the room cannot fit, whatever it holds.
    if (t > 2 && (t - 2) * 10000 > cap * 13658) return false;
    uint8_t* b = out.data();
    if (cap) std::memset(b, 0, cap);
    uint32_t valid = ~0u, overflow = 0;
    for (size_t i = 0; i < t; ++i) {
        uint32_t ok;
        uint32_t carry = char_digit(static_cast<uint8_t>(text[i]), ok);
        valid &= ok;
        for (size_t j = cap; j-- > 0;) {
            carry += uint32_t{b[j]} * 58;
            b[j] = static_cast<uint8_t>(carry);
            carry >>= 8;
        }
        overflow |= carry;
    }
    // Each leading '1' stands for a zero byte in front of the number.
    uint32_t ones = 0, lead = 0, run = ~0u;
    for (size_t i = 0; i < t; ++i) {
        run &= is_zero_mask32(static_cast<uint8_t>(text[i]) ^ uint32_t{'1'});
        ones += run & 1;
    }
    run = ~0u;
    for (size_t j = 0; j < cap; ++j) {
        run &= is_zero_mask32(b[j]);
        lead += run & 1;
    }
    // The size of the result is public: it is a property of the format
    // (and of the caller's own buffer when it does not fit).
    size_t result = ones + cap - lead;
    declassify_value(result);
    const bool good = declassify_bool((valid & is_zero_mask32(overflow)) != 0);
    if (!good || result > cap) {
        if (cap) secure_wipe(b, cap);
        return false;
    }
    const size_t shift = cap - result;
    for (size_t k = 0; k < result; ++k) {
        b[k] = select8(less_mask(static_cast<uint32_t>(k), ones), b[k + shift], 0);
    }
    secure_wipe(b + result, shift);
    len = result;
    return true;
}

bool base58check_encode(std::span<const uint8_t> payload, std::span<char> out, size_t& len) {
    if (payload.empty() || payload.size() > kBase58CheckMaxPayload) return false;
    uint8_t sum[4];
    checksum(payload, sum);
    const bool ok = encode_parts(TwoParts{payload, sum}, out, len);
    secure_wipe(sum, sizeof sum);
    return ok;
}

std::string base58check_encode(std::span<const uint8_t> payload) {
    if (payload.empty() || payload.size() > kBase58CheckMaxPayload) return {};
    std::string text(base58_encode_room(payload.size() + 4), '\0');
    size_t len = 0;
    if (!base58check_encode(payload, text, len)) return {};
    text.resize(len);
    return text;
}

bool base58check_decode(std::string_view text, std::span<uint8_t> out, size_t& len) {
    size_t n = 0;
    if (!base58_decode(text, out, n)) return false;
    if (n < 4) {
        secure_wipe(out.data(), n);
        return false;
    }
    uint8_t sum[4];
    checksum(out.first(n - 4), sum);
    uint8_t diff = 0;
    for (int i = 0; i < 4; ++i) diff |= static_cast<uint8_t>(sum[i] ^ out[n - 4 + i]);
    secure_wipe(sum, sizeof sum);
    secure_wipe(out.data() + n - 4, 4);
    // Whether the checksum holds is the verdict of the decode.
    if (!declassify_bool(diff == 0)) {
        secure_wipe(out.data(), n - 4);
        return false;
    }
    len = n - 4;
    return true;
}

std::optional<std::vector<uint8_t>> base58check_decode(std::string_view text) {
    std::vector<uint8_t> out(base58_decode_room(text.size()));
    size_t len = 0;
    if (!base58check_decode(text, out, len)) return std::nullopt;
    out.resize(len);
    return out;
}

}  // namespace qorvex
