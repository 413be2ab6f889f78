// Silent-payment addresses: Bech32m without BIP-173's 90-character limit,
// version 0 with exactly the two 33-byte keys.
#include <cstring>
#include <vector>

#include "bitcoin/bech32.h"
#include "bitcoin/bip352.h"

namespace qorvex::bip352 {

namespace {

constexpr size_t kPayload = 66;
// 'q' and the 66 bytes in 5-bit groups.
constexpr size_t kValues = 1 + (kPayload * 8 + 4) / 5;

std::string_view hrp_of(bool testnet) { return testnet ? "tsp" : "sp"; }

bool is_charset(char c) {
    static constexpr char kSet[] = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return std::memchr(kSet, lower, sizeof kSet - 1) != nullptr;
}

// Whether text has the shape of a Bech32 string (characters, one case, a
// separator with an hrp before and six data characters after it): when it
// does and still fails to decode, the checksum is what is wrong.
bool bech32_shaped(std::string_view text) {
    bool lower = false, upper = false;
    for (const char c : text) {
        if (c < 33 || c > 126) return false;
        lower |= c >= 'a' && c <= 'z';
        upper |= c >= 'A' && c <= 'Z';
    }
    if (lower && upper) return false;
    const size_t sep = text.rfind('1');
    if (sep == std::string_view::npos || sep == 0 || sep > kBech32MaxHrp) return false;
    if (text.size() - sep - 1 < kBech32ChecksumLength) return false;
    for (size_t i = sep + 1; i < text.size(); ++i)
        if (!is_charset(text[i])) return false;
    return true;
}

bool valid_key(const uint8_t* k33) { return !Point::decompress(k33).infinity; }

}  // namespace

size_t address_length(bool testnet) { return bech32_text_length(hrp_of(testnet).size(), kValues); }

bool encode_address(bool testnet, const uint8_t scan33[33], const uint8_t spend33[33], std::span<char> out,
                    size_t& len) {
    uint8_t payload[kPayload];
    std::memcpy(payload, scan33, 33);
    std::memcpy(payload + 33, spend33, 33);
    std::vector<uint8_t> values{0};
    if (!convert_bits(payload, 8, 5, true, values)) return false;
    return bech32_encode(hrp_of(testnet), values, Bech32Kind::bech32m, out, len);
}

AddressError decode_address(std::string_view text, Address& out) {
    if (text.size() > kMaxAddressLength) return AddressError::too_long;
    const auto d = bech32_decode(text, kMaxAddressLength);
    if (!d) return bech32_shaped(text) ? AddressError::bad_checksum : AddressError::malformed;
    if (d->kind != Bech32Kind::bech32m) return AddressError::bad_checksum;
    bool testnet;
    if (d->hrp == "sp")
        testnet = false;
    else if (d->hrp == "tsp")
        testnet = true;
    else
        return AddressError::bad_prefix;
    if (d->values.empty()) return AddressError::bad_length;
    if (d->values[0] != 0) return AddressError::bad_version;
    std::vector<uint8_t> payload;
    if (!convert_bits(std::span<const uint8_t>(d->values).subspan(1), 5, 8, false, payload) ||
        payload.size() != kPayload)
        return AddressError::bad_length;
    if (!valid_key(payload.data())) return AddressError::bad_scan_key;
    if (!valid_key(payload.data() + 33)) return AddressError::bad_spend_key;
    out.testnet = testnet;
    std::memcpy(out.scan, payload.data(), 33);
    std::memcpy(out.spend, payload.data() + 33, 33);
    return AddressError::none;
}

}  // namespace qorvex::bip352
