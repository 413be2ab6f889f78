// Signed messages through qorvex.h: what the signmessage and BIP-322
// wrapping costs over the signature check inside it. Each benchmark cycles
// through 1,000 keys (so the per-thread key caches miss, as in the
// "1000Keys" rows of abi_bench.cpp) with 32-byte messages, and is meant to
// run beside its bare check in one process:
//
//   qorvex_bench --benchmark_filter='EcdsaRecover|BtcMessage|EcdsaVerify_1000Keys|SchnorrVerify_1000Keys|Bip322Simple'
//
//   BM_AbiBtcMessageVerify_1000Keys        / BM_AbiEcdsaRecover
//   BM_AbiBip322SimpleVerify_P2tr_1000Keys / BM_AbiSchnorrVerify_1000Keys
//   BM_AbiBip322SimpleVerify_P2wpkh_1000Keys / BM_AbiEcdsaVerify_1000Keys
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/cycle.h"
#include "common/inputs.h"
#include "qorvex.h"

namespace {

constexpr size_t kCount = 1000;

struct Signed {
    uint8_t key[32];
    uint8_t msg[32];
    uint8_t aux[32];
    uint8_t pub33[33];
    std::string legacy_sig;
    std::string p2wpkh, p2wpkh_sig;
    std::string p2tr, p2tr_sig;
};

std::string address(qorvex_ctx* c, const uint8_t pub33[33], bool taproot) {
    char text[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof text;
    if (!taproot) return qorvex_addr_p2wpkh(c, pub33, QORVEX_NETWORK_MAINNET, text, &len) == QORVEX_OK ? text : "";
    uint8_t q[32];
    int parity = 0;
    if (qorvex_taproot_output_key(c, pub33 + 1, nullptr, q, &parity) != QORVEX_OK) return "";
    return qorvex_addr_p2tr(c, q, QORVEX_NETWORK_MAINNET, text, &len) == QORVEX_OK ? text : "";
}

std::string simple_sig(qorvex_ctx* c, const Signed& s, int type) {
    char text[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE];
    size_t len = sizeof text;
    return qorvex_bip322_simple_sign(c, s.key, type, s.msg, 32, s.aux, text, &len) == QORVEX_OK ? text : "";
}

struct Fixture {
    qorvex_ctx* ctx = nullptr;
    std::vector<Signed> items;
};

const Fixture* fixture() {
    static const Fixture* f = []() -> const Fixture* {
        static Fixture fx;
        if (qorvex_ctx_create(&fx.ctx) != QORVEX_OK) return nullptr;
        const benchdata::Inputs base = benchdata::make_base_inputs(kCount);
        for (const benchdata::Item& it : base.items) {
            Signed s;
            std::copy(it.key, it.key + 32, s.key);
            std::copy(it.msg, it.msg + 32, s.msg);
            std::copy(it.aux, it.aux + 32, s.aux);
            char text[QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE];
            size_t len = sizeof text;
            if (qorvex_pubkey_create(fx.ctx, s.key, s.pub33) != QORVEX_OK ||
                qorvex_btc_message_sign(fx.ctx, s.msg, 32, s.key, text, &len) != QORVEX_OK)
                return nullptr;
            s.legacy_sig = text;
            s.p2wpkh = address(fx.ctx, s.pub33, false);
            s.p2tr = address(fx.ctx, s.pub33, true);
            s.p2wpkh_sig = simple_sig(fx.ctx, s, QORVEX_BIP322_P2WPKH);
            s.p2tr_sig = simple_sig(fx.ctx, s, QORVEX_BIP322_P2TR);
            if (s.p2wpkh.empty() || s.p2tr.empty() || s.p2wpkh_sig.empty() || s.p2tr_sig.empty()) return nullptr;
            fx.items.push_back(std::move(s));
        }
        return &fx;
    }();
    return f;
}

template <class Body>
void cycle(benchmark::State& st, Body body) {
    const Fixture* f = fixture();
    benchdata::cycle_indices(st, f != nullptr, kCount, [&](size_t i) { return body(f->ctx, f->items[i]); });
}

void BM_AbiBtcMessageSign(benchmark::State& st) {
    char text[QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE];
    cycle(st, [&](qorvex_ctx* c, const Signed& s) {
        size_t len = sizeof text;
        const int rc = qorvex_btc_message_sign(c, s.msg, 32, s.key, text, &len);
        benchmark::DoNotOptimize(text);
        return rc;
    });
}
BENCHMARK(BM_AbiBtcMessageSign);

void BM_AbiBtcMessageVerify_1000Keys(benchmark::State& st) {
    cycle(st, [](qorvex_ctx* c, const Signed& s) {
        return qorvex_btc_message_verify(c, s.msg, 32, s.pub33, s.legacy_sig.c_str());
    });
}
BENCHMARK(BM_AbiBtcMessageVerify_1000Keys);

void BM_AbiBip322SimpleSign_P2tr(benchmark::State& st) {
    char text[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE];
    cycle(st, [&](qorvex_ctx* c, const Signed& s) {
        size_t len = sizeof text;
        const int rc = qorvex_bip322_simple_sign(c, s.key, QORVEX_BIP322_P2TR, s.msg, 32, s.aux, text, &len);
        benchmark::DoNotOptimize(text);
        return rc;
    });
}
BENCHMARK(BM_AbiBip322SimpleSign_P2tr);

void BM_AbiBip322SimpleVerify_P2tr_1000Keys(benchmark::State& st) {
    cycle(st, [](qorvex_ctx* c, const Signed& s) {
        return qorvex_bip322_simple_verify(c, s.p2tr.c_str(), s.msg, 32, s.p2tr_sig.c_str());
    });
}
BENCHMARK(BM_AbiBip322SimpleVerify_P2tr_1000Keys);

void BM_AbiBip322SimpleVerify_P2wpkh_1000Keys(benchmark::State& st) {
    cycle(st, [](qorvex_ctx* c, const Signed& s) {
        return qorvex_bip322_simple_verify(c, s.p2wpkh.c_str(), s.msg, 32, s.p2wpkh_sig.c_str());
    });
}
BENCHMARK(BM_AbiBip322SimpleVerify_P2wpkh_1000Keys);

}  // namespace
