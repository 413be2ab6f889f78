// Ethereum: the address hash (Keccak-256 of a 64-byte x || y), signing with
// an EIP-155 v, ecrecover, and the EIP-55 address text, through the exports.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "qorvex.h"

namespace {

// Any valid key; the same hash, key and signature for every iteration.
constexpr uint8_t kKey[32] = {0x4c, 0x08, 0x83, 0xa6, 0x91, 0x02, 0x93, 0x7d, 0x62, 0x31, 0x47,
                              0x1b, 0x5d, 0xbb, 0x62, 0x04, 0xfe, 0x51, 0x29, 0x61, 0x70, 0x82,
                              0x79, 0x2a, 0xe4, 0x68, 0xd0, 0x1a, 0x3f, 0x36, 0x23, 0x18};
constexpr uint64_t kChainId = 1;

struct Fixture {
    qorvex_ctx* ctx = nullptr;
    uint8_t hash[32];
    uint8_t pub[33];
    uint8_t r[32], s[32];
    uint64_t v = 0;

    // False (with the reason in the state) when the library refuses.
    bool set_up(benchmark::State& state) {
        if (qorvex_ctx_create(&ctx) != QORVEX_OK) {
            state.SkipWithError("qorvex_ctx_create failed");
            return false;
        }
        for (int i = 0; i < 32; ++i) hash[i] = static_cast<uint8_t>(i * 29 + 3);
        if (qorvex_pubkey_create(ctx, kKey, pub) != QORVEX_OK ||
            qorvex_eth_sign(ctx, hash, kKey, r, s, &v, kChainId) != QORVEX_OK) {
            state.SkipWithError("setting up the signature failed");
            return false;
        }
        return true;
    }
    ~Fixture() { qorvex_ctx_destroy(ctx); }
};

// The hash at the heart of every address: 64 bytes of public key. The hash
// benchmarks time Keccak-256 on arbitrary bytes under another name.
void BM_EthKeccak256_64B_Pubkey(benchmark::State& state) {
    uint8_t xy[64];
    for (int i = 0; i < 64; ++i) xy[i] = static_cast<uint8_t>(i * 131 + 7);
    uint8_t out[32];
    for (auto _ : state) {
        qorvex_keccak256(xy, sizeof xy, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 64);
}
BENCHMARK(BM_EthKeccak256_64B_Pubkey);

void BM_EthSign(benchmark::State& state) {
    Fixture f;
    if (!f.set_up(state)) return;
    uint8_t r[32], s[32];
    uint64_t v = 0;
    for (auto _ : state) {
        if (qorvex_eth_sign(f.ctx, f.hash, kKey, r, s, &v, kChainId) != QORVEX_OK) {
            state.SkipWithError("qorvex_eth_sign failed");
            break;
        }
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_EthSign);

void BM_EthEcrecover(benchmark::State& state) {
    Fixture f;
    if (!f.set_up(state)) return;
    uint8_t addr[20];
    for (auto _ : state) {
        if (qorvex_eth_ecrecover(f.ctx, f.hash, f.r, f.s, f.v, addr) != QORVEX_OK) {
            state.SkipWithError("qorvex_eth_ecrecover failed");
            break;
        }
        benchmark::DoNotOptimize(addr);
    }
}
BENCHMARK(BM_EthEcrecover);

// Decompression, the address hash and the checksum hash.
void BM_EthAddressChecksummed(benchmark::State& state) {
    Fixture f;
    if (!f.set_up(state)) return;
    char text[43];
    for (auto _ : state) {
        size_t len = sizeof text;
        if (qorvex_eth_address_checksummed(f.ctx, f.pub, text, &len) != QORVEX_OK) {
            state.SkipWithError("qorvex_eth_address_checksummed failed");
            break;
        }
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_EthAddressChecksummed);

}  // namespace
