// Hash throughput: SHA-256 on each compression back end, the other hashes,
// and the fixed-key HMAC that RFC 6979 nonce generation repeats.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "hash/hmac_sha256.h"
#include "hash/keccak.h"
#include "hash/ripemd160.h"
#include "hash/sha256.h"
#include "hash/sha512.h"
#include "hash/tagged_hash.h"

namespace {

using namespace qorvex;
using sha256_detail::Backend;

std::vector<uint8_t> input(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 131 + 7);
    return v;
}

// A whole hash (init, update, final) pinned to one back end.
void sha256_on(benchmark::State& state, Backend backend, size_t len) {
    if (backend == Backend::Shani && !sha256_detail::shani_available()) {
        state.SkipWithError("this processor lacks the SHA extensions");
        return;
    }
    const auto msg = input(len);
    uint8_t out[32];
    for (auto _ : state) {
        Sha256Context ctx;
        sha256_init(ctx);
        sha256_detail::update_with(backend, ctx, msg.data(), msg.size());
        sha256_detail::final_with(backend, ctx, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(len));
}

void BM_Sha256_64B_Portable(benchmark::State& s) { sha256_on(s, Backend::Portable, 64); }
void BM_Sha256_64B_Shani(benchmark::State& s) { sha256_on(s, Backend::Shani, 64); }
void BM_Sha256_1MiB_Portable(benchmark::State& s) { sha256_on(s, Backend::Portable, 1 << 20); }
void BM_Sha256_1MiB_Shani(benchmark::State& s) { sha256_on(s, Backend::Shani, 1 << 20); }
BENCHMARK(BM_Sha256_64B_Portable);
BENCHMARK(BM_Sha256_64B_Shani);
BENCHMARK(BM_Sha256_1MiB_Portable);
BENCHMARK(BM_Sha256_1MiB_Shani);

// The dispatched one-shot, as the rest of the library calls it.
void BM_Sha256_64B_Dispatched(benchmark::State& state) {
    const auto msg = input(64);
    uint8_t out[32];
    for (auto _ : state) {
        sha256(msg.data(), msg.size(), out);
        benchmark::DoNotOptimize(out);
    }
    state.SetLabel(sha256_backend_name());
}
BENCHMARK(BM_Sha256_64B_Dispatched);

// A BIP-340 challenge-sized message under a fixed tag (midstate copy) and
// under the same tag given as a string (two extra compressions).
void BM_Sha256Tagged_96B_Midstate(benchmark::State& state) {
    const auto msg = input(96);
    uint8_t out[32];
    for (auto _ : state) {
        tagged_hash(FixedTag::Bip340Challenge, msg.data(), msg.size(), out);
        benchmark::DoNotOptimize(out);
    }
}
void BM_Sha256Tagged_96B_General(benchmark::State& state) {
    const auto msg = input(96);
    uint8_t out[32];
    for (auto _ : state) {
        tagged_hash("BIP0340/challenge", msg.data(), msg.size(), out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_Sha256Tagged_96B_Midstate);
BENCHMARK(BM_Sha256Tagged_96B_General);

void BM_Sha512_64B(benchmark::State& state) {
    const auto msg = input(64);
    uint8_t out[64];
    for (auto _ : state) {
        sha512(msg.data(), msg.size(), out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_Sha512_64B);

void BM_Keccak256_64B(benchmark::State& state) {
    const auto msg = input(64);
    uint8_t out[32];
    for (auto _ : state) {
        keccak256(msg.data(), msg.size(), out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_Keccak256_64B);

void BM_Ripemd160_32B(benchmark::State& state) {
    const auto msg = input(32);
    uint8_t out[20];
    for (auto _ : state) {
        ripemd160(msg.data(), msg.size(), out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_Ripemd160_32B);

void BM_Hash160_32B(benchmark::State& state) {
    const auto msg = input(32);
    uint8_t out[20];
    for (auto _ : state) {
        hash160(msg.data(), msg.size(), out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_Hash160_32B);

// One MAC of a 32-byte message (RFC 6979's V = HMAC_K(V)) from precomputed
// pad states, and the general form for comparison.
void BM_HmacSha256_FixedKey_32B(benchmark::State& state) {
    const auto key = input(32);
    const auto msg = input(32);
    HmacSha256Key k;
    k.set(key.data());
    uint8_t out[32];
    for (auto _ : state) {
        benchmark::DoNotOptimize(k.mac(msg.data(), msg.size(), out));
        benchmark::DoNotOptimize(out);
    }
}
void BM_HmacSha256_General_32B(benchmark::State& state) {
    const auto key = input(32);
    const auto msg = input(32);
    uint8_t out[32];
    for (auto _ : state) {
        hmac_sha256(key.data(), key.size(), msg.data(), msg.size(), out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_HmacSha256_FixedKey_32B);
BENCHMARK(BM_HmacSha256_General_32B);

}  // namespace
