// The coin table and descriptors through qorvex.h, each beside the BIP-32
// derivation it is built on, for ratios from one run:
//   BM_AbiDescriptorAddress_Wpkh / BM_AbiBip32DerivePath_Xpub_m_0_7: the
//     address of wpkh(xpub/0/*) at index 7 against the same two public
//     steps on the xpub's record (the descriptor adds the Base58 import, the
//     text handling and the address);
//   BM_AbiDescriptorAddress_Tr: the same for tr(), with the BIP-386 tweak;
//   BM_AbiCoinDeriveFromSeed_* / BM_AbiBip32DerivePath_m86_0_0_0_0: a coin's
//     key and address from a 64-byte seed against the five private steps
//     from a master record (the coin call adds the master key and the
//     address).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "qorvex.h"

namespace {

// BIP-32 test vector 1's master key.
const char kXpub[] =
    "xpub661MyMwAqRbcFtXgS5sYJABqqG9YLmC4Q1Rdap9gSE8NqtwybGhePY2gZ29ESFjqJoCu1Rupje8YtGqsefD265TMg7usUDFdp6W1EGMcet8";

qorvex_ctx* context() {
    static qorvex_ctx* c = [] {
        qorvex_ctx* made = nullptr;
        return qorvex_ctx_create(&made) == QORVEX_OK ? made : nullptr;
    }();
    return c;
}

void seed64(uint8_t seed[64]) {
    for (int i = 0; i < 64; ++i) seed[i] = static_cast<uint8_t>(i * 29 + 3);
}

void BM_AbiBip32DerivePath_Xpub_m_0_7(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    qorvex_bip32_key k, out;
    if (qorvex_bip32_from_base58(c, kXpub, &k) != QORVEX_OK) return st.SkipWithError("failed");
    for (auto _ : st) {
        if (qorvex_bip32_derive_path(c, &k, "m/0/7", &out) != QORVEX_OK) return st.SkipWithError("failed");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_AbiBip32DerivePath_Xpub_m_0_7);

void descriptor_address(benchmark::State& st, const std::string& desc) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    char addr[QORVEX_ADDRESS_MAX_SIZE];
    for (auto _ : st) {
        size_t len = sizeof addr;
        if (qorvex_descriptor_address(c, desc.c_str(), 7, addr, &len) != QORVEX_OK) return st.SkipWithError("failed");
        benchmark::DoNotOptimize(addr);
    }
}

void BM_AbiDescriptorAddress_Wpkh(benchmark::State& st) {
    descriptor_address(st, std::string("wpkh(") + kXpub + "/0/*)");
}
BENCHMARK(BM_AbiDescriptorAddress_Wpkh);

void BM_AbiDescriptorAddress_Tr(benchmark::State& st) { descriptor_address(st, std::string("tr(") + kXpub + "/0/*)"); }
BENCHMARK(BM_AbiDescriptorAddress_Tr);

void BM_AbiBip32DerivePath_m86_0_0_0_0(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    uint8_t seed[64];
    seed64(seed);
    qorvex_bip32_key master, out;
    if (qorvex_bip32_master(c, seed, sizeof seed, &master) != QORVEX_OK) return st.SkipWithError("failed");
    for (auto _ : st) {
        if (qorvex_bip32_derive_path(c, &master, "m/86'/0'/0'/0/0", &out) != QORVEX_OK)
            return st.SkipWithError("failed");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_AbiBip32DerivePath_m86_0_0_0_0);

void coin_derive(benchmark::State& st, uint32_t coin_type) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    uint8_t seed[64], sk[32], pub[33];
    seed64(seed);
    char addr[QORVEX_COIN_ADDRESS_MAX_SIZE];
    for (auto _ : st) {
        size_t len = sizeof addr;
        if (qorvex_coin_derive_from_seed(c, seed, sizeof seed, coin_type, 0, 0, 0, 0, sk, pub, addr, &len) !=
            QORVEX_OK)
            return st.SkipWithError("failed");
        benchmark::DoNotOptimize(addr);
    }
}

void BM_AbiCoinDeriveFromSeed_Bitcoin(benchmark::State& st) { coin_derive(st, 0); }
BENCHMARK(BM_AbiCoinDeriveFromSeed_Bitcoin);

void BM_AbiCoinDeriveFromSeed_Ethereum(benchmark::State& st) { coin_derive(st, 60); }
BENCHMARK(BM_AbiCoinDeriveFromSeed_Ethereum);

void BM_AbiCoinDeriveFromSeed_BitcoinCash(benchmark::State& st) { coin_derive(st, 145); }
BENCHMARK(BM_AbiCoinDeriveFromSeed_BitcoinCash);

void BM_AbiCoinAddress_BitcoinCash(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    uint8_t key[32] = {0}, pub[33];
    key[31] = 1;
    if (qorvex_pubkey_create(c, key, pub) != QORVEX_OK) return st.SkipWithError("failed");
    char addr[QORVEX_COIN_ADDRESS_MAX_SIZE];
    for (auto _ : st) {
        size_t len = sizeof addr;
        if (qorvex_coin_address(c, pub, 145, 0, addr, &len) != QORVEX_OK) return st.SkipWithError("failed");
        benchmark::DoNotOptimize(addr);
    }
}
BENCHMARK(BM_AbiCoinAddress_BitcoinCash);

}  // namespace
