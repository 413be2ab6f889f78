// WIF strings: decoding hostile text, and encoding keys back. Input: a mode
// byte, then
//   0: the text (up to the first NUL) to decode;
//   1: key (32), compressed flag, network byte: encode, then decode;
//   2: key (32), then (position, xor) pairs that tamper with its WIF text.
#include <string>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_wif_decode, qorvex_wif_encode);

namespace {

// Decodes text; a success must encode back to exactly the same text, and a
// failure must leave the outputs alone.
void check_decode(const std::string& text) {
    qorvex_ctx* c = ctx();
    uint8_t key[32];
    std::memset(key, 0xA5, sizeof key);
    int compressed = 7, network = 7;
    const int rc = qorvex_wif_decode(c, text.c_str(), key, &compressed, &network);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_INPUT);
    if (rc != QORVEX_OK) {
        for (const uint8_t b : key) FUZZ_CHECK(b == 0xA5);
        FUZZ_CHECK(compressed == 7 && network == 7);
        return;
    }
    FUZZ_CHECK(compressed == 0 || compressed == 1);
    FUZZ_CHECK(network == 0 || network == 1);
    FUZZ_CHECK(qorvex_seckey_verify(c, key) == QORVEX_OK);
    char back[QORVEX_WIF_MAX_SIZE];
    size_t len = sizeof back;
    FUZZ_CHECK(qorvex_wif_encode(c, key, compressed, network, back, &len) == QORVEX_OK);
    FUZZ_CHECK(text == std::string(back, len));
}

std::string encode(const uint8_t key[32], int compressed, int network) {
    char text[QORVEX_WIF_MAX_SIZE];
    size_t len = sizeof text;
    const int rc = qorvex_wif_encode(ctx(), key, compressed, network, text, &len);
    const bool key_ok = qorvex_seckey_verify(ctx(), key) == QORVEX_OK;
    const bool net_ok = static_cast<unsigned>(network) <= 1;
    FUZZ_CHECK(rc == (!net_ok ? QORVEX_ERR_BAD_INPUT : key_ok ? QORVEX_OK : QORVEX_ERR_BAD_KEY));
    if (rc != QORVEX_OK) return {};
    FUZZ_CHECK(len == (compressed ? 52u : 51u) && text[len] == '\0');
    return std::string(text, len);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const uint8_t mode = in.byte() % 3;
    if (mode == 0) {
        const char* p = reinterpret_cast<const char*>(in.rest());
        check_decode(std::string(p, strnlen(p, in.rest_size())));
        return 0;
    }
    uint8_t key[32];
    in.bytes(key, 32);
    const int compressed = in.byte() & 1;
    const int network = static_cast<int8_t>(in.byte()) % 3;
    std::string text = encode(key, compressed, network);
    if (text.empty()) return 0;
    if (mode == 2) {
        while (in.rest_size() >= 2) {
            const size_t pos = in.byte() % text.size();
            text[pos] = static_cast<char>(text[pos] ^ in.byte());
        }
        text.resize(strnlen(text.c_str(), text.size()));
    }
    check_decode(text);
    return 0;
}
