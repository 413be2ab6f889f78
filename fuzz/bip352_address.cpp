// Silent-payment addresses from hostile text and keys. Input: a mode byte,
// then
//   even: the text of an address (the rest, NUL added): a parse that
//         succeeds gives keys that encode back to the same address, in
//         lower case;
//   odd:  66 key bytes and a network byte: an encoding that succeeds
//         parses back to the same keys and network.
#include <cctype>
#include <string>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_bip352_address_encode, qorvex_bip352_address_decode);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    if ((in.byte() & 1) == 0) {
        const std::string text(reinterpret_cast<const char*>(in.rest()), in.rest_size());
        int network = 9;
        uint8_t scan[33], spend[33];
        const int rc = qorvex_bip352_address_decode(c, text.c_str(), &network, scan, spend);
        FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_INPUT || rc == QORVEX_ERR_BAD_PUBKEY);
        if (rc != QORVEX_OK) {
            FUZZ_CHECK(network == 9);
            return 0;
        }
        FUZZ_CHECK(network == QORVEX_NETWORK_MAINNET || network == QORVEX_NETWORK_TESTNET);
        char again[QORVEX_BIP352_ADDRESS_SIZE];
        size_t len = sizeof again;
        FUZZ_CHECK(qorvex_bip352_address_encode(c, scan, spend, network, again, &len) == QORVEX_OK);
        // The text stops at its first NUL, as the export reads it.
        std::string lower(text.c_str());
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        FUZZ_CHECK(lower == std::string(again, len));
        return 0;
    }
    uint8_t keys[66];
    in.bytes(keys, sizeof keys);
    const int network = in.byte() % 3;
    char text[QORVEX_BIP352_ADDRESS_SIZE];
    size_t len = sizeof text;
    const int rc = qorvex_bip352_address_encode(c, keys, keys + 33, network, text, &len);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_INPUT || rc == QORVEX_ERR_BAD_PUBKEY);
    if (network == 2) FUZZ_CHECK(rc == QORVEX_ERR_BAD_INPUT);
    if (rc != QORVEX_OK) return 0;
    FUZZ_CHECK(len == (network ? 117u : 116u) && text[len] == '\0');
    int got = 9;
    uint8_t scan[33], spend[33];
    FUZZ_CHECK(qorvex_bip352_address_decode(c, text, &got, scan, spend) == QORVEX_OK);
    FUZZ_CHECK(got == network && std::memcmp(scan, keys, 33) == 0 && std::memcmp(spend, keys + 33, 33) == 0);
    return 0;
}
