// Wallet Import Format: a private key as Base58Check(version || key ||
// 0x01 when the key is marked compressed). Both directions run in constant
// time in the key; the text's length, the network and the compression flag
// are public (they are what the text says about the key, not the key).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bitcoin/address.h"

namespace qorvex {

// 51 characters uncompressed, 52 compressed; the room the encoder needs.
inline constexpr size_t kWifMaxLength = 52;
inline constexpr size_t kWifEncodeRoom = 53;

// The WIF text of a valid key (1 <= key < n, checked by the caller) in
// text[0..len); text needs kWifEncodeRoom characters. The payload and its
// copies are wiped.
bool wif_encode(const uint8_t key32[32], bool compressed, Network net, char* text, size_t& len);
// The same with a version byte of the caller's (other coins' WIF).
bool wif_encode_version(uint8_t version, const uint8_t key32[32], bool compressed, char* text, size_t& len);

struct WifKey {
    uint8_t key[32];
    bool compressed;
    Network network;
};

// Decodes a WIF text: Base58Check, a mainnet or testnet version byte, 33
// bytes of payload (uncompressed) or 34 ending in 0x01 (compressed), and a
// key from 1 to n - 1. False otherwise, with out wiped. Hold out in a
// WipeOnExit.
bool wif_decode(std::string_view text, WifKey& out);

}  // namespace qorvex
