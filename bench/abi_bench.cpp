// The exported hot paths, timed through qorvex.h and nothing else: what an
// application linking the library pays per call, argument checks, parsing
// and encoding included.
//
// Every benchmark cycles through a fixed set of 1,000 deterministic inputs
// (keys, messages, signatures) made once, with the context, before any timing
// starts. The "SameKey" verifications use one public key with 1,000 messages;
// the "1000Keys" ones use 1,000 distinct keys, which defeats the per-thread
// cache of parsed keys.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/abi_fixture.h"
#include "qorvex.h"

namespace {

using benchdata::Item;
using benchdata::kAbiItems;

// Every benchmark here runs over the shared fixture's items in turn.
template <class Body>
void cycle(benchmark::State& st, Body body) {
    benchdata::cycle_items(st, body);
}

void BM_AbiPubkeyCreate(benchmark::State& st) {
    uint8_t out[33];
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        const int rc = qorvex_pubkey_create(c, it.key, out);
        benchmark::DoNotOptimize(out);
        return rc;
    });
}
BENCHMARK(BM_AbiPubkeyCreate);

void BM_AbiPubkeyParse33(benchmark::State& st) {
    uint8_t out[33];
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        const int rc = qorvex_pubkey_parse(c, it.pub33, 33, out);
        benchmark::DoNotOptimize(out);
        return rc;
    });
}
BENCHMARK(BM_AbiPubkeyParse33);

void BM_AbiPubkeyParse65(benchmark::State& st) {
    uint8_t out[33];
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        const int rc = qorvex_pubkey_parse(c, it.pub65, 65, out);
        benchmark::DoNotOptimize(out);
        return rc;
    });
}
BENCHMARK(BM_AbiPubkeyParse65);

void BM_AbiPubkeyTweakAdd(benchmark::State& st) {
    uint8_t out[33];
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        const int rc = qorvex_pubkey_tweak_add(c, it.pub33, it.tweak, out);
        benchmark::DoNotOptimize(out);
        return rc;
    });
}
BENCHMARK(BM_AbiPubkeyTweakAdd);

void BM_AbiPubkeyTweakMul(benchmark::State& st) {
    uint8_t out[33];
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        const int rc = qorvex_pubkey_tweak_mul(c, it.pub33, it.tweak, out);
        benchmark::DoNotOptimize(out);
        return rc;
    });
}
BENCHMARK(BM_AbiPubkeyTweakMul);

void BM_AbiEcdsaSign(benchmark::State& st) {
    uint8_t sig[64];
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        const int rc = qorvex_ecdsa_sign(c, it.msg, it.key, sig);
        benchmark::DoNotOptimize(sig);
        return rc;
    });
}
BENCHMARK(BM_AbiEcdsaSign);

void BM_AbiEcdsaVerify_SameKey(benchmark::State& st) {
    const benchdata::AbiFixture* f = benchdata::abi_fixture();
    const uint8_t* pub0 = f ? f->items[0].pub33 : nullptr;
    cycle(st, [&](qorvex_ctx* c, const Item& it) { return qorvex_ecdsa_verify(c, it.msg, it.ecdsa_sig_key0, pub0); });
}
BENCHMARK(BM_AbiEcdsaVerify_SameKey);

void BM_AbiEcdsaVerify_1000Keys(benchmark::State& st) {
    cycle(st, [&](qorvex_ctx* c, const Item& it) { return qorvex_ecdsa_verify(c, it.msg, it.ecdsa_sig, it.pub33); });
}
BENCHMARK(BM_AbiEcdsaVerify_1000Keys);

// Verification throughput on one and on two threads, each thread on its own
// stretch of the 1,000 distinct keys: with real time and items per second,
// the two-thread figure over the one-thread figure is how well verifications
// on several cores scale (nothing they share may serialise them).
void BM_AbiEcdsaVerify_Threads(benchmark::State& st) {
    const benchdata::AbiFixture* f = benchdata::abi_fixture();
    if (!f) return st.SkipWithError("qorvex context or inputs failed");
    size_t i = (static_cast<size_t>(st.thread_index()) * kAbiItems) / static_cast<size_t>(st.threads());
    for (auto _ : st) {
        const Item& it = f->items[i];
        if (qorvex_ecdsa_verify(f->ctx, it.msg, it.ecdsa_sig, it.pub33) != QORVEX_OK)
            return st.SkipWithError("call failed");
        if (++i == kAbiItems) i = 0;
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
}
BENCHMARK(BM_AbiEcdsaVerify_Threads)->Threads(1)->Threads(2)->UseRealTime();

void BM_AbiEcdsaRecover(benchmark::State& st) {
    uint8_t out[33];
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        const int rc = qorvex_ecdsa_recover(c, it.msg, it.ecdsa_sig, it.recid, out);
        benchmark::DoNotOptimize(out);
        return rc;
    });
}
BENCHMARK(BM_AbiEcdsaRecover);

void BM_AbiSchnorrSign(benchmark::State& st) {
    uint8_t sig[64];
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        const int rc = qorvex_schnorr_sign(c, it.msg, it.key, it.aux, sig);
        benchmark::DoNotOptimize(sig);
        return rc;
    });
}
BENCHMARK(BM_AbiSchnorrSign);

void BM_AbiSchnorrVerify_SameKey(benchmark::State& st) {
    const benchdata::AbiFixture* f = benchdata::abi_fixture();
    const uint8_t* xonly0 = f ? f->items[0].xonly : nullptr;
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        return qorvex_schnorr_verify(c, it.msg, it.schnorr_sig_key0, xonly0);
    });
}
BENCHMARK(BM_AbiSchnorrVerify_SameKey);

void BM_AbiSchnorrVerify_1000Keys(benchmark::State& st) {
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        return qorvex_schnorr_verify(c, it.msg, it.schnorr_sig, it.xonly);
    });
}
BENCHMARK(BM_AbiSchnorrVerify_1000Keys);

void BM_AbiKeccak256_64B(benchmark::State& st) {
    uint8_t data[64], out[32];
    for (int i = 0; i < 64; ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    for (auto _ : st) {
        qorvex_keccak256(data, sizeof data, out);
        data[0] = out[0];
        benchmark::DoNotOptimize(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * 64);
}
BENCHMARK(BM_AbiKeccak256_64B);

void BM_AbiSha256_64B(benchmark::State& st) {
    uint8_t data[64], out[32];
    for (int i = 0; i < 64; ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    for (auto _ : st) {
        qorvex_sha256(data, sizeof data, out);
        data[0] = out[0];
        benchmark::DoNotOptimize(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * 64);
}
BENCHMARK(BM_AbiSha256_64B);

}  // namespace
