// Address text encoders written out plainly, for checking the library's
// against an independent computation: Base58Check by repeated division of
// a byte string, and Bech32 segwit addresses as BIP-173's reference code
// has them. Test code only; the hashes come from the public interface.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "qorvex.h"

namespace qorvex::test::ref {

inline std::vector<uint8_t> double_sha256(const std::vector<uint8_t>& data) {
    static const uint8_t kNothing = 0;
    std::vector<uint8_t> h(32), hh(32);
    qorvex_sha256(data.empty() ? &kNothing : data.data(), data.size(), h.data());
    qorvex_sha256(h.data(), 32, hh.data());
    return hh;
}

inline const char* kBase58 = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";

inline std::string base58check(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> n = payload;
    const std::vector<uint8_t> check = double_sha256(payload);
    n.insert(n.end(), check.begin(), check.begin() + 4);
    std::string digits;
    // Divide the big-endian number by 58 until it is zero.
    std::vector<uint8_t> num = n;
    while (!num.empty()) {
        std::vector<uint8_t> quotient;
        unsigned rem = 0;
        for (const uint8_t b : num) {
            const unsigned cur = rem * 256 + b;
            if (!quotient.empty() || cur / 58 != 0) quotient.push_back(static_cast<uint8_t>(cur / 58));
            rem = cur % 58;
        }
        digits.insert(digits.begin(), kBase58[rem]);
        num = quotient;
    }
    for (const uint8_t b : n) {
        if (b != 0) break;
        digits.insert(digits.begin(), '1');
    }
    return digits;
}

// The payload of a Base58Check text, or nullopt.
inline std::optional<std::vector<uint8_t>> unbase58check(const std::string& text) {
    std::vector<uint8_t> num;  // big-endian
    for (const char c : text) {
        const char* p = std::strchr(kBase58, c);
        if (c == '\0' || p == nullptr) return std::nullopt;
        unsigned carry = static_cast<unsigned>(p - kBase58);
        for (auto it = num.rbegin(); it != num.rend(); ++it) {
            carry += 58u * *it;
            *it = static_cast<uint8_t>(carry);
            carry >>= 8;
        }
        while (carry) {
            num.insert(num.begin(), static_cast<uint8_t>(carry));
            carry >>= 8;
        }
    }
    for (const char c : text) {
        if (c != '1') break;
        num.insert(num.begin(), 0);
    }
    if (num.size() < 4) return std::nullopt;
    std::vector<uint8_t> payload(num.begin(), num.end() - 4);
    const std::vector<uint8_t> check = double_sha256(payload);
    if (!std::equal(check.begin(), check.begin() + 4, num.end() - 4)) return std::nullopt;
    return payload;
}

inline uint32_t bech32_polymod(const std::vector<uint8_t>& values) {
    static const uint32_t kGen[] = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd, 0x2a1462b3};
    uint32_t chk = 1;
    for (const uint8_t v : values) {
        const uint32_t top = chk >> 25;
        chk = (chk & 0x1ffffff) << 5 ^ v;
        for (int i = 0; i < 5; ++i)
            if ((top >> i) & 1) chk ^= kGen[i];
    }
    return chk;
}

// A segwit address, version 0 (Bech32) or 1 and up (Bech32m).
inline std::string segwit_address(const std::string& hrp, int version, const std::vector<uint8_t>& program) {
    std::vector<uint8_t> data = {static_cast<uint8_t>(version)};
    unsigned acc = 0, bits = 0;
    for (const uint8_t b : program) {
        acc = acc << 8 | b;
        bits += 8;
        while (bits >= 5) {
            bits -= 5;
            data.push_back(static_cast<uint8_t>(acc >> bits & 31));
        }
    }
    if (bits) data.push_back(static_cast<uint8_t>(acc << (5 - bits) & 31));
    std::vector<uint8_t> values;
    for (const char c : hrp) values.push_back(static_cast<uint8_t>(c >> 5));
    values.push_back(0);
    for (const char c : hrp) values.push_back(static_cast<uint8_t>(c & 31));
    values.insert(values.end(), data.begin(), data.end());
    values.insert(values.end(), 6, 0);
    const uint32_t mod = bech32_polymod(values) ^ (version == 0 ? 1u : 0x2bc830a3u);
    static const char* kCharset = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";
    std::string out = hrp + "1";
    for (const uint8_t v : data) out += kCharset[v];
    for (int i = 0; i < 6; ++i) out += kCharset[mod >> (5 * (5 - i)) & 31];
    return out;
}

// A CashAddr of a 20-byte hash (version byte type << 3), as the CashAddr
// specification's reference code computes it.
inline std::string cashaddr(const std::string& prefix, int type, const std::vector<uint8_t>& hash20) {
    std::vector<uint8_t> payload = {static_cast<uint8_t>(type << 3)};
    payload.insert(payload.end(), hash20.begin(), hash20.end());
    std::vector<uint8_t> data;
    unsigned acc = 0, bits = 0;
    for (const uint8_t b : payload) {
        acc = acc << 8 | b;
        bits += 8;
        while (bits >= 5) {
            bits -= 5;
            data.push_back(static_cast<uint8_t>(acc >> bits & 31));
        }
    }
    if (bits) data.push_back(static_cast<uint8_t>(acc << (5 - bits) & 31));
    std::vector<uint8_t> values;
    for (const char c : prefix) values.push_back(static_cast<uint8_t>(c & 31));
    values.push_back(0);
    values.insert(values.end(), data.begin(), data.end());
    values.insert(values.end(), 8, 0);
    uint64_t c = 1;
    for (const uint8_t d : values) {
        const uint64_t c0 = c >> 35;
        c = (c & 0x07ffffffffull) << 5 ^ d;
        static const uint64_t kGen[] = {0x98f2bc8e61ull, 0x79b76d99e2ull, 0xf33e5fb3c4ull, 0xae2eabe2a8ull,
                                        0x1e4f43e470ull};
        for (int i = 0; i < 5; ++i)
            if ((c0 >> i) & 1) c ^= kGen[i];
    }
    c ^= 1;
    static const char* kCharset = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";
    std::string out = prefix + ":";
    for (const uint8_t d : data) out += kCharset[d];
    for (int j = 0; j < 8; ++j) out += kCharset[c >> (5 * (7 - j)) & 31];
    return out;
}

}  // namespace qorvex::test::ref
