// BIP-340 signing and verification. The generator tables are those an
// application gets: the first context of the process installs them from the
// environment (SECP256K1_WINDOW_BITS, SECP256K1_CACHE_DIR, ...), and they are
// made before any timing starts.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "arith/scalar.h"
#include "qorvex.h"
#include "sig/schnorr.h"
#include "support/wipe.h"

namespace {

using namespace qorvex;

// A context that lives for the process; creating it runs the one-time gate
// that builds or loads the tables.
qorvex_ctx* bench_ctx() {
    static qorvex_ctx* ctx = [] {
        qorvex_ctx* c = nullptr;
        return qorvex_ctx_create(&c) == QORVEX_OK ? c : nullptr;
    }();
    return ctx;
}

// Deterministic, distinct, valid keys.
void key_bytes(uint32_t i, uint8_t out32[32]) {
    for (int j = 0; j < 32; ++j) out32[j] = static_cast<uint8_t>((i * 2654435761u) >> ((j % 4) * 8)) ^ uint8_t(j);
    out32[0] = 0x3F;  // below n
}

struct SignedItem {
    uint8_t msg[32];
    uint8_t sig[64];
    uint8_t xonly[32];
};

SignedItem make_item(qorvex_ctx* ctx, uint32_t i) {
    SignedItem it{};
    uint8_t key[32], aux[32] = {};
    key_bytes(i, key);
    for (int j = 0; j < 32; ++j) it.msg[j] = static_cast<uint8_t>(i + 3 * j);
    qorvex_pubkey_xonly(ctx, key, it.xonly);
    qorvex_schnorr_sign(ctx, it.msg, key, aux, it.sig);
    return it;
}

void BM_SchnorrSign_PreparedKeypair(benchmark::State& st) {
    if (!bench_ctx()) return st.SkipWithError("no context");
    uint8_t key[32], msg[32] = {1}, aux[32] = {2}, sig[64];
    key_bytes(1, key);
    WipeOnExit<SchnorrKeypair> kp;
    schnorr_keypair(Scalar::from_bytes_reduce(key), *kp);
    for (auto _ : st) {
        schnorr_sign(*kp, msg, 32, aux, sig);
        msg[0] = sig[63];
        benchmark::DoNotOptimize(sig);
    }
}
BENCHMARK(BM_SchnorrSign_PreparedKeypair);

// The exported function: key parsing and P = d*G on every call.
void BM_SchnorrSign_FromSecretKey(benchmark::State& st) {
    qorvex_ctx* ctx = bench_ctx();
    if (!ctx) return st.SkipWithError("no context");
    uint8_t key[32], msg[32] = {1}, aux[32] = {2}, sig[64];
    key_bytes(1, key);
    for (auto _ : st) {
        if (qorvex_schnorr_sign(ctx, msg, key, aux, sig) != QORVEX_OK) return st.SkipWithError("sign failed");
        msg[0] = sig[63];
        benchmark::DoNotOptimize(sig);
    }
}
BENCHMARK(BM_SchnorrSign_FromSecretKey);

void BM_SchnorrSignVerified(benchmark::State& st) {
    qorvex_ctx* ctx = bench_ctx();
    if (!ctx) return st.SkipWithError("no context");
    uint8_t key[32], msg[32] = {1}, aux[32] = {2}, sig[64];
    key_bytes(1, key);
    for (auto _ : st) {
        if (qorvex_schnorr_sign_verified(ctx, msg, key, aux, sig) != QORVEX_OK)
            return st.SkipWithError("sign failed");
        msg[0] = sig[63];
        benchmark::DoNotOptimize(sig);
    }
}
BENCHMARK(BM_SchnorrSignVerified);

// One key over and over: every lookup hits the per-thread cache.
void BM_SchnorrVerify_SameKey(benchmark::State& st) {
    qorvex_ctx* ctx = bench_ctx();
    if (!ctx) return st.SkipWithError("no context");
    const SignedItem it = make_item(ctx, 7);
    for (auto _ : st) {
        if (qorvex_schnorr_verify(ctx, it.msg, it.sig, it.xonly) != QORVEX_OK)
            return st.SkipWithError("verify failed");
    }
}
BENCHMARK(BM_SchnorrVerify_SameKey);

// 1,000 keys in turn: more than either cache can hold without collisions,
// so many lookups lift the key again.
void BM_SchnorrVerify_1000Keys(benchmark::State& st) {
    qorvex_ctx* ctx = bench_ctx();
    if (!ctx) return st.SkipWithError("no context");
    std::vector<SignedItem> items;
    for (uint32_t i = 0; i < 1000; ++i) items.push_back(make_item(ctx, i));
    size_t i = 0;
    for (auto _ : st) {
        const SignedItem& it = items[i];
        if (qorvex_schnorr_verify(ctx, it.msg, it.sig, it.xonly) != QORVEX_OK)
            return st.SkipWithError("verify failed");
        i = i + 1 == items.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_SchnorrVerify_1000Keys);

// The square root a cache miss costs.
void BM_SchnorrLiftXUncached(benchmark::State& st) {
    if (!bench_ctx()) return st.SkipWithError("no context");
    const SignedItem it = make_item(bench_ctx(), 7);
    XonlyPubkey key;
    for (auto _ : st) {
        benchmark::DoNotOptimize(lift_x_uncached(it.xonly, key));
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_SchnorrLiftXUncached);

}  // namespace
