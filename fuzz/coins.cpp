// The coin table on hostile input. Input: a mode byte, then
//   0: a coin type (4 bytes, little-endian), a testnet byte and a 33-byte
//      public key for qorvex_coin_address;
//   1: a seed length byte (14 + b % 53, so 14 to 66), the seed, a coin
//      type selector, account and index bytes (their top bit makes them
//      2^31 or more), change and testnet bytes: qorvex_coin_derive_from_seed,
//      then the address and WIF of what it derived.
// Properties: the codes follow the checks in order; an address agrees with
// the Bitcoin exports where the coin's style is Bitcoin's (P2WPKH for coin
// type 0, P2PKH for 236) and with the Ethereum export for 60; derived keys
// match each other and their address; Bitcoin's WIF reads back.
#include <string>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_coin_address, qorvex_coin_wif_encode, qorvex_coin_derive_from_seed);

namespace {

const uint32_t kTypes[] = {0, 2, 3, 5, 60, 145, 236, 133, 20, 7, 6, 28, 14, 17, 57, 175, 19167, 2301, 121, 156, 141, 195};

bool known(uint32_t t) {
    for (const uint32_t k : kTypes)
        if (k == t) return true;
    return false;
}

std::string address(uint32_t type, const uint8_t pub[33], int testnet, int& rc) {
    char buf[QORVEX_COIN_ADDRESS_MAX_SIZE];
    size_t len = sizeof buf;
    rc = qorvex_coin_address(ctx(), pub, static_cast<int>(type), testnet, buf, &len);
    if (rc != QORVEX_OK) {
        FUZZ_CHECK(len == sizeof buf);
        return {};
    }
    FUZZ_CHECK(len > 0 && len < sizeof buf && buf[len] == '\0' && std::strlen(buf) == len);
    return std::string(buf, len);
}

// What the Bitcoin and Ethereum exports say for the coins that share their
// styles; empty for the others.
std::string peer_address(uint32_t type, const uint8_t pub[33], int testnet) {
    char buf[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof buf;
    const int net = testnet ? 1 : 0;
    if (type == 0) FUZZ_CHECK(qorvex_addr_p2wpkh(ctx(), pub, net, buf, &len) == QORVEX_OK);
    else if (type == 236) FUZZ_CHECK(qorvex_addr_p2pkh(ctx(), pub, net, buf, &len) == QORVEX_OK);
    else if (type == 60) FUZZ_CHECK(qorvex_eth_address_checksummed(ctx(), pub, buf, &len) == QORVEX_OK);
    else return {};
    return std::string(buf, len);
}

void check_address(Input& in) {
    uint8_t tb[4], pub[33];
    in.bytes(tb, 4);
    const int testnet = in.byte() & 1;
    in.bytes(pub, 33);
    const uint32_t type = uint32_t{tb[0]} | uint32_t{tb[1]} << 8 | uint32_t{tb[2]} << 16 | uint32_t{tb[3]} << 24;
    uint8_t parsed[33];
    const bool key_ok = qorvex_pubkey_parse(ctx(), pub, 33, parsed) == QORVEX_OK;
    int rc = 0;
    const std::string a = address(type, pub, testnet, rc);
    FUZZ_CHECK(rc == (!known(type) ? QORVEX_ERR_BAD_INPUT : !key_ok ? QORVEX_ERR_BAD_PUBKEY : QORVEX_OK));
    if (rc != QORVEX_OK) return;
    const std::string peer = peer_address(type, pub, testnet);
    if (!peer.empty()) FUZZ_CHECK(a == peer);
}

void check_derive(Input& in) {
    qorvex_ctx* c = ctx();
    const size_t n = 14 + in.byte() % 53;
    uint8_t seed[66];
    in.bytes(seed, n);
    const uint8_t sel = in.byte();
    // Mostly a known coin type, sometimes any byte as one.
    const uint32_t type = sel < 0xF0 ? kTypes[sel % (sizeof kTypes / sizeof kTypes[0])] : sel;
    const uint8_t ab = in.byte(), ib = in.byte();
    const uint32_t account = (ab & 0x80) ? 0x80000000u + ab : ab, index = (ib & 0x80) ? 0xFFFFFF00u + ib : ib;
    const int change = in.byte(), testnet = in.byte() & 1;
    uint8_t sk[32], pub[33];
    char addr[QORVEX_COIN_ADDRESS_MAX_SIZE];
    std::memset(sk, 0xA5, sizeof sk);
    size_t len = sizeof addr;
    const int rc = qorvex_coin_derive_from_seed(c, seed, n, type, account, change, index, testnet, sk, pub, addr, &len);
    const int want = (n < 16 || n > 64) ? QORVEX_ERR_BAD_INPUT
                     : !known(type)     ? QORVEX_ERR_BAD_INPUT
                     : (account >= 0x80000000u || index >= 0x80000000u) ? QORVEX_ERR_INTERNAL
                                                                         : QORVEX_OK;
    FUZZ_CHECK(rc == want);
    if (rc != QORVEX_OK) {
        for (const uint8_t b : sk) FUZZ_CHECK(b == 0xA5);
        FUZZ_CHECK(len == sizeof addr);
        return;
    }
    uint8_t from_sk[33];
    FUZZ_CHECK(qorvex_pubkey_create(c, sk, from_sk) == QORVEX_OK && std::memcmp(from_sk, pub, 33) == 0);
    int rc_a = 0;
    FUZZ_CHECK(address(type, pub, testnet, rc_a) == std::string(addr, len) && rc_a == QORVEX_OK);
    // The same key without the optional outputs.
    uint8_t pub2[33];
    FUZZ_CHECK(qorvex_coin_derive_from_seed(c, seed, n, type, account, change != 0, index, 1, nullptr, pub2, nullptr,
                                            nullptr) == QORVEX_OK &&
               std::memcmp(pub, pub2, 33) == 0);
    char wif[QORVEX_COIN_WIF_MAX_SIZE];
    size_t wlen = sizeof wif;
    FUZZ_CHECK(qorvex_coin_wif_encode(c, sk, static_cast<int>(type), testnet, wif, &wlen) == QORVEX_OK);
    if (type == 0) {
        uint8_t back[32];
        int compressed = 0, network = 0;
        FUZZ_CHECK(qorvex_wif_decode(c, wif, back, &compressed, &network) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(back, sk, 32) == 0 && compressed == 1 && network == testnet);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    if (in.byte() % 2 == 0) {
        check_address(in);
    } else {
        check_derive(in);
    }
    return 0;
}
