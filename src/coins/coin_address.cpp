#include "coins/coin_address.h"

#include <cstring>
#include <span>

#include "bitcoin/base58.h"
#include "bitcoin/bech32.h"
#include "bitcoin/wif.h"
#include "coins/cashaddr.h"
#include "coins/ethereum.h"
#include "hash/ripemd160.h"

namespace qorvex {

namespace {

constexpr char kCashAddrMainnet[] = "bitcoincash";
constexpr char kCashAddrTestnet[] = "bchtest";
static_assert(cashaddr_address_length(sizeof kCashAddrMainnet - 1, 20) == kCoinAddressMaxLength);

// Base58Check(prefix || 20 bytes).
bool versioned_20(const VersionPrefix& prefix, const uint8_t bytes20[20], char* text, size_t& len) {
    uint8_t payload[22];
    std::memcpy(payload, prefix.bytes, prefix.size);
    std::memcpy(payload + prefix.size, bytes20, 20);
    return base58check_encode(std::span<const uint8_t>(payload, prefix.size + 20u),
                              std::span<char>(text, kCoinAddressMaxLength), len);
}

}  // namespace

bool coin_key_hash_address(const CoinParams& coin, bool testnet, const uint8_t hash20[20], char* text, size_t& len) {
    const size_t t = testnet ? 1 : 0;
    const std::span<char> out(text, kCoinAddressMaxLength);
    switch (coin.style) {
        case AddressStyle::key_hash: return versioned_20(coin.p2pkh[t], hash20, text, len);
        case AddressStyle::segwit_v0:
            if (!(coin.flags & kCoinHasSegwit) || coin.hrp[t] == nullptr) return false;
            return segwit_address_encode(coin.hrp[t], 0, std::span<const uint8_t>(hash20, 20), out, len);
        case AddressStyle::cashaddr:
            return cashaddr_encode(testnet ? kCashAddrTestnet : kCashAddrMainnet, kCashAddrKeyHash,
                                   std::span<const uint8_t>(hash20, 20), out, len);
        case AddressStyle::ethereum:
        case AddressStyle::tron: return false;
    }
    return false;
}

bool coin_address(const CoinParams& coin, bool testnet, const uint8_t pub33[33], const Point& p, char* text,
                  size_t& len) {
    if (coin.style == AddressStyle::ethereum || coin.style == AddressStyle::tron) {
        uint8_t addr[kEthAddressSize];
        eth_address_of_point(p, addr);
        if (coin.style == AddressStyle::tron) return versioned_20(coin.p2pkh[testnet ? 1 : 0], addr, text, len);
        // Every EVM network shows the same text: the testnet flag changes
        // nothing.
        char eip55[kEip55TextLength + 1];
        eip55_text(addr, eip55);
        std::memcpy(text, eip55, kEip55TextLength);
        len = kEip55TextLength;
        return true;
    }
    uint8_t h[20];
    hash160(pub33, 33, h);
    return coin_key_hash_address(coin, testnet, h, text, len);
}

bool coin_wif_encode(const CoinParams& coin, bool testnet, const uint8_t key32[32], char* text, size_t& len) {
    return wif_encode_version(coin.wif[testnet ? 1 : 0], key32, true, text, len);
}

}  // namespace qorvex
