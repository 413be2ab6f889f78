#include "bitcoin/address.h"

#include <cstring>

#include "bitcoin/base58.h"
#include "bitcoin/bech32.h"
#include "hash/ripemd160.h"

namespace qorvex {

namespace {

constexpr NetworkPrefixes kMainnet = {0x00, 0x05, 0x80, "bc"};
constexpr NetworkPrefixes kTestnet = {0x6F, 0xC4, 0xEF, "tb"};

constexpr uint8_t kOpDup = 0x76, kOpHash160 = 0xA9, kOpEqual = 0x87, kOpEqualVerify = 0x88, kOpCheckSig = 0xAC;

// Base58Check(version || hash20).
bool versioned_hash(uint8_t version, const uint8_t hash20[20], char* text, size_t& len) {
    uint8_t payload[21];
    payload[0] = version;
    std::memcpy(payload + 1, hash20, 20);
    return base58check_encode(payload, std::span<char>(text, kMaxAddressLength), len);
}

}  // namespace

std::optional<Network> network_from_int(int value) {
    switch (static_cast<unsigned>(value)) {
        case 0: return Network::mainnet;
        case 1: return Network::testnet;
        default: return std::nullopt;
    }
}

const NetworkPrefixes& network_prefixes(Network net) { return net == Network::mainnet ? kMainnet : kTestnet; }

bool p2pkh_address(const uint8_t pub33[33], Network net, char* text, size_t& len) {
    uint8_t h[20];
    hash160(pub33, 33, h);
    return versioned_hash(network_prefixes(net).p2pkh, h, text, len);
}

bool p2sh_address(std::span<const uint8_t> redeem_script, Network net, char* text, size_t& len) {
    uint8_t h[20];
    static const uint8_t kNothing = 0;
    hash160(redeem_script.empty() ? &kNothing : redeem_script.data(), redeem_script.size(), h);
    return versioned_hash(network_prefixes(net).p2sh, h, text, len);
}

bool p2sh_p2wpkh_address(const uint8_t pub33[33], Network net, char* text, size_t& len) {
    uint8_t h[20], redeem[kP2wpkhScriptLen];
    hash160(pub33, 33, h);
    p2wpkh_script(h, redeem);
    return p2sh_address(redeem, net, text, len);
}

bool p2wpkh_address(const uint8_t pub33[33], Network net, char* text, size_t& len) {
    uint8_t h[20];
    hash160(pub33, 33, h);
    return segwit_address_encode(network_prefixes(net).hrp, 0, h, std::span<char>(text, kMaxAddressLength), len);
}

bool p2tr_address(const uint8_t xonly32[32], Network net, char* text, size_t& len) {
    return segwit_address_encode(network_prefixes(net).hrp, 1, std::span<const uint8_t>(xonly32, 32),
                                 std::span<char>(text, kMaxAddressLength), len);
}

std::optional<DecodedAddress> decode_address(std::string_view text) {
    DecodedAddress a{};
    for (const Network net : {Network::mainnet, Network::testnet}) {
        const NetworkPrefixes& p = network_prefixes(net);
        if (const auto s = segwit_address_decode(p.hrp, text)) {
            a.kind = AddressKind::witness;
            a.network = net;
            a.witness_version = s->version;
            a.script_len = witness_script(s->version, std::span(s->program, s->program_len), a.script);
            return a;
        }
    }
    uint8_t payload[25];
    size_t n = 0;
    if (!base58check_decode(text, payload, n) || n != 21) return std::nullopt;
    for (const Network net : {Network::mainnet, Network::testnet}) {
        const NetworkPrefixes& p = network_prefixes(net);
        a.network = net;
        if (payload[0] == p.p2pkh) {
            a.kind = AddressKind::p2pkh;
            const uint8_t head[3] = {kOpDup, kOpHash160, 20};
            std::memcpy(a.script, head, 3);
            std::memcpy(a.script + 3, payload + 1, 20);
            a.script[23] = kOpEqualVerify;
            a.script[24] = kOpCheckSig;
            a.script_len = 25;
            return a;
        }
        if (payload[0] == p.p2sh) {
            a.kind = AddressKind::p2sh;
            a.script[0] = kOpHash160;
            a.script[1] = 20;
            std::memcpy(a.script + 2, payload + 1, 20);
            a.script[22] = kOpEqual;
            a.script_len = 23;
            return a;
        }
    }
    return std::nullopt;
}

}  // namespace qorvex
