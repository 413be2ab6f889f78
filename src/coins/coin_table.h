// The coins whose keys are secp256k1 keys: one read-only table of their
// address and key prefixes, BIP-44 coin types and derivation purposes, and
// the rule that finds a coin by its coin type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qorvex {

// How a coin writes the address of a public key.
enum class AddressStyle : uint8_t {
    key_hash = 0,   // Base58Check(version || Hash160(key))
    segwit_v0 = 1,  // P2WPKH under the coin's human-readable part
    ethereum = 2,   // EIP-55 text of Keccak-256(x || y)[12..32)
    cashaddr = 3,   // CashAddr of the key hash ("bitcoincash" / "bchtest")
    tron = 4,       // Base58Check(version || the Ethereum address)
};

// A Base58Check version prefix: one byte for most coins, two for Zcash,
// Flux and Horizen (their addresses start "t1" and "zn" only with both).
struct VersionPrefix {
    uint8_t bytes[2];
    uint8_t size;
};

// Flag bits.
inline constexpr uint8_t kCoinHasSegwit = 0x01;   // segwit addresses exist
inline constexpr uint8_t kCoinPurpose86 = 0x02;   // keys derive under purpose 86

struct CoinParams {
    const char* name;
    const char* ticker;
    VersionPrefix p2pkh[2];     // mainnet, testnet
    VersionPrefix p2sh;         // mainnet; descriptive only
    uint8_t wif[2];             // mainnet, testnet
    const char* hrp[2];         // segwit human-readable parts, or nullptr
    uint32_t coin_type;         // BIP-44; the lookup key
    AddressStyle style;
    uint32_t bip32_version[2];  // private, public; descriptive only
    uint64_t chain_id;          // EVM chain id, 0 for the others
    uint8_t flags;
};

inline constexpr size_t kCoinCount = 28;

// The whole table, in its fixed order.
std::span<const CoinParams> coin_table();

// The first row with this coin type, or nullptr. Several EVM chains share
// coin type 60; the first of them, Ethereum, is the one found.
const CoinParams* find_coin(uint32_t coin_type);

// The BIP-44/84/86 purpose a coin's keys derive under: 86 with
// kCoinPurpose86, else 84 with kCoinHasSegwit, else 44. It does not follow
// the address style (Bitcoin derives under 86 but shows P2WPKH addresses).
uint32_t coin_purpose(const CoinParams& coin);

}  // namespace qorvex
