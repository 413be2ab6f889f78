// Batch operations against the same work done one call at a time, through
// qorvex.h only: verification (ECDSA, BIP-340), signing, the threaded forms,
// prepared key pairs and the exported MSM, each reporting the time per item.
// The rows that run on one thread are timed in the thread's CPU time (which
// other work on a shared machine disturbs least); the threaded ones, and the
// one-by-one rows they are compared with, in wall-clock time. Compare rows of
// one run:
//
//   qorvex_bench --benchmark_filter='AbiBatch|AbiOneByOne|AbiKeypair|AbiMsm'
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <vector>

#include "common/inputs.h"
#include "qorvex.h"

namespace {

qorvex_ctx* context() {
    static qorvex_ctx* c = [] {
        qorvex_ctx* made = nullptr;
        return qorvex_ctx_create(&made) == QORVEX_OK ? made : nullptr;
    }();
    return c;
}

// n signed items with distinct keys, as batch items of both schemes.
struct Batch {
    std::vector<uint8_t> keys, msgs, aux;
    std::vector<uint8_t> ecdsa;    // n * 129
    std::vector<uint8_t> schnorr;  // n * 128
};

const Batch* batch(size_t n) {
    static std::map<size_t, Batch> made;
    auto found = made.find(n);
    if (found != made.end()) return &found->second;
    qorvex_ctx* c = context();
    if (!c) return nullptr;
    const benchdata::Inputs in = benchdata::make_base_inputs(n);
    Batch b;
    b.ecdsa.resize(n * QORVEX_ECDSA_BATCH_ITEM_SIZE);
    b.schnorr.resize(n * QORVEX_SCHNORR_BATCH_ITEM_SIZE);
    for (size_t i = 0; i < n; ++i) {
        const benchdata::Item& it = in[i];
        b.keys.insert(b.keys.end(), it.key, it.key + 32);
        b.msgs.insert(b.msgs.end(), it.msg, it.msg + 32);
        b.aux.insert(b.aux.end(), it.aux, it.aux + 32);
        uint8_t* e = &b.ecdsa[i * QORVEX_ECDSA_BATCH_ITEM_SIZE];
        uint8_t* s = &b.schnorr[i * QORVEX_SCHNORR_BATCH_ITEM_SIZE];
        std::memcpy(e, it.msg, 32);
        std::memcpy(s + 32, it.msg, 32);
        if (qorvex_pubkey_create(c, it.key, e + 32) != QORVEX_OK || qorvex_pubkey_xonly(c, it.key, s) != QORVEX_OK ||
            qorvex_ecdsa_sign(c, it.msg, it.key, e + 65) != QORVEX_OK ||
            qorvex_schnorr_sign(c, it.msg, it.key, it.aux, s + 64) != QORVEX_OK)
            return nullptr;
    }
    return &made.emplace(n, std::move(b)).first->second;
}

void per_item(benchmark::State& st, size_t n) {
    st.counters["per_item"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

#define BATCH_SETUP()                                             \
    const size_t n = static_cast<size_t>(st.range(0));            \
    const Batch* b = batch(n);                                    \
    qorvex_ctx* c = context();                                    \
    if (!b || !c) return st.SkipWithError("inputs failed");

// --- Verification. ---

void BM_AbiOneByOneSchnorrVerify(benchmark::State& st) {
    BATCH_SETUP();
    for (auto _ : st)
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* it = &b->schnorr[i * QORVEX_SCHNORR_BATCH_ITEM_SIZE];
            if (qorvex_schnorr_verify(c, it + 32, it + 64, it) != QORVEX_OK) return st.SkipWithError("invalid");
        }
    per_item(st, n);
}

void BM_AbiBatchSchnorrVerify(benchmark::State& st) {
    BATCH_SETUP();
    for (auto _ : st)
        if (qorvex_schnorr_batch_verify(c, b->schnorr.data(), n) != QORVEX_OK) return st.SkipWithError("invalid");
    per_item(st, n);
}

void BM_AbiOneByOneEcdsaVerify(benchmark::State& st) {
    BATCH_SETUP();
    for (auto _ : st)
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* it = &b->ecdsa[i * QORVEX_ECDSA_BATCH_ITEM_SIZE];
            if (qorvex_ecdsa_verify(c, it, it + 65, it + 32) != QORVEX_OK) return st.SkipWithError("invalid");
        }
    per_item(st, n);
}

void BM_AbiBatchEcdsaVerify(benchmark::State& st) {
    BATCH_SETUP();
    for (auto _ : st)
        if (qorvex_ecdsa_batch_verify(c, b->ecdsa.data(), n) != QORVEX_OK) return st.SkipWithError("invalid");
    per_item(st, n);
}

// Range 1: the thread count.
void BM_AbiBatchEcdsaVerifyMt(benchmark::State& st) {
    BATCH_SETUP();
    const size_t threads = static_cast<size_t>(st.range(1));
    for (auto _ : st)
        if (qorvex_ecdsa_batch_verify_mt(c, b->ecdsa.data(), n, threads) != QORVEX_OK)
            return st.SkipWithError("invalid");
    per_item(st, n);
}

BENCHMARK(BM_AbiOneByOneSchnorrVerify)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AbiBatchSchnorrVerify)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AbiOneByOneEcdsaVerify)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AbiBatchEcdsaVerify)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AbiBatchEcdsaVerifyMt)->Args({10000, 1})->Args({10000, 2})->Unit(benchmark::kMillisecond)->UseRealTime();

// --- Signing. ---

void BM_AbiOneByOneEcdsaSign(benchmark::State& st) {
    BATCH_SETUP();
    uint8_t sig[64];
    for (auto _ : st)
        for (size_t i = 0; i < n; ++i)
            if (qorvex_ecdsa_sign(c, &b->msgs[32 * i], &b->keys[32 * i], sig) != QORVEX_OK) return st.SkipWithError("sign");
    per_item(st, n);
}

void BM_AbiBatchEcdsaSign(benchmark::State& st) {
    BATCH_SETUP();
    std::vector<uint8_t> sigs(64 * n);
    for (auto _ : st)
        if (qorvex_ecdsa_sign_batch(c, n, b->msgs.data(), b->keys.data(), sigs.data()) != QORVEX_OK)
            return st.SkipWithError("sign");
    per_item(st, n);
}

void BM_AbiOneByOneSchnorrSign(benchmark::State& st) {
    BATCH_SETUP();
    uint8_t sig[64];
    for (auto _ : st)
        for (size_t i = 0; i < n; ++i)
            if (qorvex_schnorr_sign(c, &b->msgs[32 * i], &b->keys[32 * i], &b->aux[32 * i], sig) != QORVEX_OK)
                return st.SkipWithError("sign");
    per_item(st, n);
}

void BM_AbiBatchSchnorrSign(benchmark::State& st) {
    BATCH_SETUP();
    std::vector<uint8_t> sigs(64 * n);
    for (auto _ : st)
        if (qorvex_schnorr_sign_batch(c, n, b->msgs.data(), b->keys.data(), b->aux.data(), sigs.data()) != QORVEX_OK)
            return st.SkipWithError("sign");
    per_item(st, n);
}

BENCHMARK(BM_AbiOneByOneEcdsaSign)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AbiBatchEcdsaSign)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AbiOneByOneSchnorrSign)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AbiBatchSchnorrSign)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- Prepared key pairs: many messages signed with one key. ---

void BM_AbiKeypairSchnorrSignFromSeckey(benchmark::State& st) {
    BATCH_SETUP();
    uint8_t sig[64];
    size_t i = 0;
    for (auto _ : st) {
        const size_t k = i++ % n;
        qorvex_schnorr_sign(c, &b->msgs[32 * k], &b->keys[0], &b->aux[32 * k], sig);
        benchmark::DoNotOptimize(sig);
    }
}

void BM_AbiKeypairSchnorrSignPrepared(benchmark::State& st) {
    BATCH_SETUP();
    uint8_t record[QORVEX_KEYPAIR_SIZE], sig[64];
    if (qorvex_keypair_create(c, &b->keys[0], record) != QORVEX_OK) return st.SkipWithError("keypair");
    size_t i = 0;
    for (auto _ : st) {
        const size_t k = i++ % n;
        qorvex_schnorr_sign_keypair(c, &b->msgs[32 * k], record, &b->aux[32 * k], sig);
        benchmark::DoNotOptimize(sig);
    }
}

BENCHMARK(BM_AbiKeypairSchnorrSignFromSeckey)->Arg(1000);
BENCHMARK(BM_AbiKeypairSchnorrSignPrepared)->Arg(1000);

// --- The exported MSM (decompresses every point), per point. ---

void BM_AbiMsm(benchmark::State& st) {
    BATCH_SETUP();
    std::vector<uint8_t> points(33 * n);
    for (size_t i = 0; i < n; ++i) std::memcpy(&points[33 * i], &b->ecdsa[i * QORVEX_ECDSA_BATCH_ITEM_SIZE + 32], 33);
    uint8_t out[33];
    for (auto _ : st)
        if (qorvex_multi_scalar_mul(c, b->msgs.data(), points.data(), n, out) != QORVEX_OK)
            return st.SkipWithError("msm");
    st.counters["per_point"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AbiMsm)->Arg(143)->Arg(1023)->Arg(10239)->Arg(32767)->Unit(benchmark::kMillisecond);

}  // namespace
