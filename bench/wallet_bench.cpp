// Wallet formats through qorvex.h: the BIP-39 seed (PBKDF2-HMAC-SHA512,
// 2048 rounds) beside OpenSSL's PKCS5_PBKDF2_HMAC on the same password and
// salt, and BIP-32 derivation along m/84'/0'/0'/0/0 (compare with
// BM_AbiPubkeyCreate of abi_bench.cpp in the same run). OpenSSL is linked
// to this program only, when pkg-config finds it; without it its row is
// left out.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "qorvex.h"

#if QORVEX_BENCH_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

const char kMnemonic[] =
    "legal winner thank year wave sausage worth useful legal winner thank yellow";
const char kPassphrase[] = "TREZOR";

qorvex_ctx* context() {
    static qorvex_ctx* c = [] {
        qorvex_ctx* made = nullptr;
        return qorvex_ctx_create(&made) == QORVEX_OK ? made : nullptr;
    }();
    return c;
}

void BM_AbiBip39ToSeed(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    uint8_t seed[QORVEX_BIP39_SEED_SIZE];
    for (auto _ : st) {
        if (qorvex_bip39_to_seed(c, kMnemonic, kPassphrase, seed) != QORVEX_OK) return st.SkipWithError("failed");
        benchmark::DoNotOptimize(seed);
    }
}
BENCHMARK(BM_AbiBip39ToSeed)->Unit(benchmark::kMicrosecond);

#if QORVEX_BENCH_OPENSSL
// The same PBKDF2 as the BIP-39 seed: password the mnemonic, salt
// "mnemonic" + passphrase.
void BM_OpenSslPbkdf2Sha512_Bip39(benchmark::State& st) {
    const std::string salt = std::string("mnemonic") + kPassphrase;
    uint8_t seed[64], ours[64];
    if (qorvex_bip39_to_seed(context(), kMnemonic, kPassphrase, ours) != QORVEX_OK) return st.SkipWithError("failed");
    for (auto _ : st) {
        if (PKCS5_PBKDF2_HMAC(kMnemonic, static_cast<int>(std::strlen(kMnemonic)),
                              reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()), 2048,
                              EVP_sha512(), 64, seed) != 1)
            return st.SkipWithError("PKCS5_PBKDF2_HMAC failed");
        benchmark::DoNotOptimize(seed);
    }
    if (std::memcmp(seed, ours, 64) != 0) st.SkipWithError("OpenSSL gives another seed");
}
BENCHMARK(BM_OpenSslPbkdf2Sha512_Bip39)->Unit(benchmark::kMicrosecond);
#endif

void BM_AbiBip32DerivePath_m84_0_0_0_0(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    uint8_t seed[64];
    if (qorvex_bip39_to_seed(c, kMnemonic, kPassphrase, seed) != QORVEX_OK) return st.SkipWithError("failed");
    qorvex_bip32_key master, out;
    if (qorvex_bip32_master(c, seed, sizeof seed, &master) != QORVEX_OK) return st.SkipWithError("failed");
    for (auto _ : st) {
        if (qorvex_bip32_derive_path(c, &master, "m/84'/0'/0'/0/0", &out) != QORVEX_OK)
            return st.SkipWithError("failed");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_AbiBip32DerivePath_m84_0_0_0_0);

// One normal step below an xpub: the public derivation of watch-only
// wallets (a table multiple of G and a point addition).
void BM_AbiBip32DerivePublicChild(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    uint8_t seed[64];
    if (qorvex_bip39_to_seed(c, kMnemonic, kPassphrase, seed) != QORVEX_OK) return st.SkipWithError("failed");
    qorvex_bip32_key master, pub, out;
    if (qorvex_bip32_master(c, seed, sizeof seed, &master) != QORVEX_OK) return st.SkipWithError("failed");
    pub = master;
    const uint8_t xpub[4] = {0x04, 0x88, 0xB2, 0x1E};
    std::memcpy(pub.data, xpub, 4);
    if (qorvex_bip32_pubkey(c, &master, pub.data + 45) != QORVEX_OK) return st.SkipWithError("failed");
    pub.data[78] = 0;
    uint32_t i = 0;
    for (auto _ : st) {
        if (qorvex_bip32_derive(c, &pub, i++ & 0x7FFFFFFF, &out) != QORVEX_OK) return st.SkipWithError("failed");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_AbiBip32DerivePublicChild);

void BM_AbiBip39Generate24(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    uint8_t entropy[32];
    for (int i = 0; i < 32; ++i) entropy[i] = static_cast<uint8_t>(i * 37 + 11);
    char text[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
    for (auto _ : st) {
        size_t len = sizeof text;
        if (qorvex_bip39_generate(c, 32, entropy, text, &len) != QORVEX_OK) return st.SkipWithError("failed");
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_AbiBip39Generate24);

void BM_AbiBip39Validate24(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    uint8_t entropy[32];
    for (int i = 0; i < 32; ++i) entropy[i] = static_cast<uint8_t>(i * 37 + 11);
    char text[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
    size_t len = sizeof text;
    if (qorvex_bip39_generate(c, 32, entropy, text, &len) != QORVEX_OK) return st.SkipWithError("failed");
    for (auto _ : st) {
        if (qorvex_bip39_validate(c, text) != QORVEX_OK) return st.SkipWithError("failed");
    }
}
BENCHMARK(BM_AbiBip39Validate24);

void BM_AbiAddrP2wpkh(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    uint8_t key[32] = {0}, pub[33];
    key[31] = 1;
    if (qorvex_pubkey_create(c, key, pub) != QORVEX_OK) return st.SkipWithError("failed");
    char addr[QORVEX_ADDRESS_MAX_SIZE];
    for (auto _ : st) {
        size_t len = sizeof addr;
        if (qorvex_addr_p2wpkh(c, pub, 0, addr, &len) != QORVEX_OK) return st.SkipWithError("failed");
        benchmark::DoNotOptimize(addr);
    }
}
BENCHMARK(BM_AbiAddrP2wpkh);

void BM_AbiWifDecode(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    uint8_t key[32];
    int compressed = 0, network = 0;
    for (auto _ : st) {
        if (qorvex_wif_decode(c, "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn", key, &compressed, &network) !=
            QORVEX_OK)
            return st.SkipWithError("failed");
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_AbiWifDecode);

}  // namespace
