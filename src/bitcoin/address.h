// Bitcoin addresses: the five kinds made from keys and scripts (P2PKH, P2SH,
// P2SH-P2WPKH, P2WPKH, P2TR) with the prefixes of mainnet and testnet, and
// the decoding of address text back to its output script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "bitcoin/segwit.h"

namespace qorvex {

// Testnet prefixes serve every test network (testnet, signet, regtest's
// Base58 forms).
enum class Network : uint8_t { mainnet = 0, testnet = 1 };

// 0 and 1, compared as unsigned: -1 is not a network.
std::optional<Network> network_from_int(int value);

struct NetworkPrefixes {
    uint8_t p2pkh;    // Base58Check version byte
    uint8_t p2sh;     // also P2SH-P2WPKH
    uint8_t wif;
    const char* hrp;  // segwit human-readable part
};

const NetworkPrefixes& network_prefixes(Network net);

// The longest address text of the five kinds (P2TR: 62 characters), and
// the room the encoders below need, with a NUL.
inline constexpr size_t kMaxAddressLength = 62;

// An address in text[0..len), no NUL; text needs kMaxAddressLength
// characters. False when the encoder refuses (it never does for these
// inputs; the exports still check). The public key is taken as given
// (33 bytes); callers check it first.
bool p2pkh_address(const uint8_t pub33[33], Network net, char* text, size_t& len);
bool p2sh_address(std::span<const uint8_t> redeem_script, Network net, char* text, size_t& len);
bool p2sh_p2wpkh_address(const uint8_t pub33[33], Network net, char* text, size_t& len);
bool p2wpkh_address(const uint8_t pub33[33], Network net, char* text, size_t& len);
bool p2tr_address(const uint8_t xonly32[32], Network net, char* text, size_t& len);

// What an address text pays to.
enum class AddressKind { p2pkh, p2sh, witness };

struct DecodedAddress {
    AddressKind kind;
    Network network;
    uint8_t script[kWitnessScriptMaxLen];  // the scriptPubKey
    size_t script_len;
    unsigned witness_version;  // for AddressKind::witness
};

// The output script of an address of either network: Base58Check with a
// P2PKH or P2SH version byte and a 20-byte hash, or a segwit address
// (any version 0 to 16) under "bc" or "tb".
std::optional<DecodedAddress> decode_address(std::string_view text);

}  // namespace qorvex
