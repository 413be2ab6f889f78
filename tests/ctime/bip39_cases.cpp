// Constant-time cases: BIP-39 mnemonics from entropy and back, seeds, and
// BIP-85 entropy and child mnemonics.
#include <string>

#include "ctime.h"

namespace qorvex::ctime {

namespace {

std::string mnemonic_of(size_t n, uint8_t fill) {
    uint8_t e[32];
    std::memset(e, fill, sizeof e);
    e[0] ^= 0x5A;
    char buf[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
    size_t len = sizeof buf;
    if (qorvex_bip39_generate(g_ctx, n, e, buf, &len) != QORVEX_OK) std::abort();
    return std::string(buf, len);
}

// Mnemonics of 12 and 24 words, one with extra white space, one with a
// wrong checksum word and one with a word outside the list.
std::vector<std::string> mnemonics() {
    const std::string m12 = mnemonic_of(16, 0x33), m24 = mnemonic_of(32, 0xC4);
    std::string spaced = "\t " + m12 + " \n";
    spaced.insert(spaced.find(' ', 4), "  ");
    std::string wrong = m12.substr(0, m12.rfind(' ')) + (m12.substr(m12.rfind(' ')) == " zoo" ? " wrong" : " zoo");
    std::string unknown = "qorvex " + m12.substr(m12.find(' ') + 1);
    return {m12, m24, spaced, wrong, unknown};
}

qorvex_bip32_key root() {
    qorvex_bip32_key k;
    if (qorvex_bip32_master(g_ctx, kSeed.b, 32, &k) != QORVEX_OK) std::abort();
    return k;
}

void mark_record(qorvex_bip32_key& k) {
    secret(k.data + 13, 32);
    secret(k.data + 46, 32);
}

}  // namespace

CT_FAMILY(bip39) {
    t.push_back(CT_CASE(qorvex_bip39_generate, "entropy", [](bool mark, Observed& o) {
        for (const size_t n : {size_t{16}, size_t{20}, size_t{32}}) {
            for (const Bytes32* e : {&kKey, &kOrder}) {
                Bytes32 entropy = *e;
                char text[QORVEX_BIP39_MNEMONIC_MAX_SIZE] = {0};
                size_t len = sizeof text;
                if (mark) secret(entropy.b, n);
                o.code(qorvex_bip39_generate(g_ctx, n, entropy.b, text, &len));
                o.add(&len, sizeof len);
                o.add(text, sizeof text);
            }
        }
    }));
    t.push_back(CT_CASE(qorvex_bip39_validate, "mnemonic", [](bool mark, Observed& o) {
        for (const std::string& m : mnemonics()) {
            std::string text = m;
            if (mark) secret(text.data(), text.size());
            o.code(qorvex_bip39_validate(g_ctx, text.c_str()));
        }
    }));
    t.push_back(CT_CASE(qorvex_bip39_to_entropy, "mnemonic", [](bool mark, Observed& o) {
        for (const std::string& m : mnemonics()) {
            std::string text = m;
            uint8_t e[32] = {0};
            size_t len = sizeof e;
            if (mark) secret(text.data(), text.size());
            o.code(qorvex_bip39_to_entropy(g_ctx, text.c_str(), e, &len));
            o.add(&len, sizeof len);
            o.add(e, sizeof e);
        }
    }));
    // ASCII passphrases: a non-ASCII one goes through ICU's normaliser,
    // whose tables are indexed by the characters (see nfkd.h).
    t.push_back(CT_CASE(qorvex_bip39_to_seed, "mnemonic, passphrase", [](bool mark, Observed& o) {
        const auto ms = mnemonics();
        for (const size_t i : {size_t{0}, size_t{2}, size_t{3}}) {
            std::string text = ms[i], pass = "TREZOR passphrase";
            uint8_t seed[64] = {0};
            if (mark) secret(text.data(), text.size()), secret(pass.data(), pass.size());
            o.code(qorvex_bip39_to_seed(g_ctx, text.c_str(), pass.c_str(), seed));
            o.add(seed, sizeof seed);
        }
    }));
    t.push_back(CT_CASE(qorvex_bip85_entropy, "chain code, key", [](bool mark, Observed& o) {
        for (const char* path : {"m/83696968'/0'/0'", "m/83696968'/2'/0'", "m/x"}) {
            qorvex_bip32_key k = root();
            uint8_t e[32] = {0};
            if (mark) mark_record(k);
            o.code(qorvex_bip85_entropy(g_ctx, &k, path, e, sizeof e));
            o.add(e, sizeof e);
        }
    }));
    t.push_back(CT_CASE(qorvex_bip85_bip39, "chain code, key", [](bool mark, Observed& o) {
        for (const uint32_t words : {12u, 24u}) {
            qorvex_bip32_key k = root();
            char text[QORVEX_BIP39_MNEMONIC_MAX_SIZE] = {0};
            size_t len = sizeof text;
            if (mark) mark_record(k);
            o.code(qorvex_bip85_bip39(g_ctx, &k, words, 0, 3, text, &len));
            o.add(&len, sizeof len);
            o.add(text, sizeof text);
        }
    }));
}

}  // namespace qorvex::ctime
