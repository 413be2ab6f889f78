// BIP-39 mnemonics on hostile text, and sentences near valid ones. Input: a
// mode byte, then
//   0: the text (up to the first NUL) to validate and decode;
//   1: an entropy size byte and entropy: generate, then (position, xor)
//      pairs that tamper with the sentence before it is read back.
// A valid text's seed is computed when the mode byte's top bit is set
// (2048 rounds of PBKDF2 make it the slow path).
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_bip39_validate, qorvex_bip39_to_entropy, qorvex_bip39_generate, qorvex_bip39_to_seed);

namespace {

// The words of a text split at runs of the six white-space characters.
std::vector<std::string> words_of(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    for (const char ch : text) {
        if (ch == ' ' || (ch >= '\t' && ch <= '\r')) {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

void check_text(const std::string& text, bool with_seed) {
    qorvex_ctx* c = ctx();
    const int rc = qorvex_bip39_validate(c, text.c_str());
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_INPUT);
    uint8_t e[32];
    std::memset(e, 0xA5, sizeof e);
    size_t len = sizeof e;
    const int rc_e = qorvex_bip39_to_entropy(c, text.c_str(), e, &len);
    FUZZ_CHECK(rc_e == rc);
    uint8_t seed[64];
    if (rc != QORVEX_OK) {
        FUZZ_CHECK(len == sizeof e);
        for (const uint8_t b : e) FUZZ_CHECK(b == 0xA5);
        if (with_seed) {
            FUZZ_CHECK(qorvex_bip39_to_seed(c, text.c_str(), "", seed) == QORVEX_ERR_BAD_INPUT);
            for (const uint8_t b : seed) FUZZ_CHECK(b == 0);
        }
        return;
    }
    const std::vector<std::string> words = words_of(text);
    FUZZ_CHECK(len == words.size() * 4 / 3);
    // Generating from the entropy gives the same words, single-spaced.
    char again[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
    size_t alen = sizeof again;
    FUZZ_CHECK(qorvex_bip39_generate(c, len, e, again, &alen) == QORVEX_OK);
    std::string joined;
    for (const auto& w : words) joined += (joined.empty() ? "" : " ") + w;
    FUZZ_CHECK(joined == std::string(again, alen));
    if (with_seed) FUZZ_CHECK(qorvex_bip39_to_seed(c, text.c_str(), "fuzz", seed) == QORVEX_OK);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const uint8_t mode = in.byte();
    const bool with_seed = (mode & 0x80) != 0;
    if ((mode & 1) == 0) {
        const char* p = reinterpret_cast<const char*>(in.rest());
        check_text(std::string(p, strnlen(p, std::min<size_t>(in.rest_size(), 4096))), with_seed);
        return 0;
    }
    const size_t n = 16 + 4 * (in.byte() % 5);
    uint8_t e[32];
    in.bytes(e, n);
    char text[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
    size_t len = sizeof text;
    FUZZ_CHECK(qorvex_bip39_generate(ctx(), n, e, text, &len) == QORVEX_OK);
    std::string s(text, len);
    while (in.rest_size() >= 2) {
        const size_t pos = in.byte() % s.size();
        s[pos] = static_cast<char>(s[pos] ^ in.byte());
    }
    s.resize(strnlen(s.c_str(), s.size()));
    check_text(s, with_seed);
    return 0;
}
