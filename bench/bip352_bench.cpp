// BIP-352 silent payments through qorvex.h, beside one qorvex_ecdh in the
// same run: the receiver's scan of a transaction with 10 eligible inputs
// and 10 Taproot outputs (none of them ours, the common case), without
// labels and with 100, the light-client scan from the published tweak, the
// tweak itself, and the sender.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/inputs.h"
#include "qorvex.h"

namespace {

constexpr size_t kInputs = 10, kOutputs = 10, kLabels = 100;

struct Fixture {
    qorvex_ctx* ctx = nullptr;
    std::vector<benchdata::Item> items;
    uint8_t scan_sec[32], spend_pub[33], scan_pub[33], peer[33];
    std::vector<uint8_t> input_pubs, input_secs, outpoints, outputs, labels, tweak;
};

const Fixture* fixture() {
    static const Fixture* f = []() -> const Fixture* {
        static Fixture fx;
        if (qorvex_ctx_create(&fx.ctx) != QORVEX_OK) return nullptr;
        qorvex_ctx* c = fx.ctx;
        fx.items = benchdata::make_base_inputs(kInputs + kOutputs + 2).items;
        for (int i = 0; i < 32; ++i) fx.scan_sec[i] = fx.items[0].tweak[i];
        if (qorvex_pubkey_create(c, fx.items[0].tweak, fx.scan_pub) != QORVEX_OK ||
            qorvex_pubkey_create(c, fx.items[1].tweak, fx.spend_pub) != QORVEX_OK ||
            qorvex_pubkey_create(c, fx.items[2].tweak, fx.peer) != QORVEX_OK)
            return nullptr;
        for (size_t i = 0; i < kInputs; ++i) {
            uint8_t pub[33];
            if (qorvex_pubkey_create(c, fx.items[i].key, pub) != QORVEX_OK) return nullptr;
            fx.input_pubs.insert(fx.input_pubs.end(), pub, pub + 33);
            fx.input_secs.insert(fx.input_secs.end(), fx.items[i].key, fx.items[i].key + 32);
            fx.outpoints.insert(fx.outpoints.end(), fx.items[i].msg, fx.items[i].msg + 32);
            fx.outpoints.insert(fx.outpoints.end(), {static_cast<uint8_t>(i), 0, 0, 0});
        }
        for (size_t i = 0; i < kOutputs; ++i) {
            uint8_t x[32];
            if (qorvex_pubkey_xonly(c, fx.items[kInputs + i].key, x) != QORVEX_OK) return nullptr;
            fx.outputs.insert(fx.outputs.end(), x, x + 32);
        }
        for (uint32_t m = 0; m < kLabels; ++m) {
            uint8_t b_m[33], rec[QORVEX_BIP352_LABEL_SIZE];
            if (qorvex_bip352_label(c, fx.scan_sec, fx.spend_pub, m, b_m, rec) != QORVEX_OK) return nullptr;
            fx.labels.insert(fx.labels.end(), rec, rec + sizeof rec);
        }
        fx.tweak.resize(QORVEX_BIP352_TWEAK_SIZE);
        if (qorvex_bip352_tweak(c, fx.input_pubs.data(), kInputs, fx.outpoints.data(), kInputs, fx.tweak.data()) !=
            QORVEX_OK)
            return nullptr;
        return &fx;
    }();
    return f;
}

template <class Body>
void run(benchmark::State& st, Body body) {
    const Fixture* f = fixture();
    if (!f) return st.SkipWithError("qorvex context or inputs failed");
    for (auto _ : st)
        if (body(*f) != QORVEX_OK) return st.SkipWithError("call failed");
}

void BM_Bip352Ecdh(benchmark::State& st) {
    uint8_t out[32];
    run(st, [&](const Fixture& f) {
        const int rc = qorvex_ecdh(f.ctx, f.scan_sec, f.peer, out);
        benchmark::DoNotOptimize(out);
        return rc;
    });
}
BENCHMARK(BM_Bip352Ecdh);

void BM_Bip352Scan(benchmark::State& st) {
    const size_t n_labels = static_cast<size_t>(st.range(0));
    uint8_t rec[QORVEX_BIP352_MATCH_SIZE * kOutputs];
    run(st, [&](const Fixture& f) {
        size_t n = kOutputs;
        const int rc = qorvex_bip352_scan(f.ctx, f.scan_sec, f.spend_pub, f.labels.data(), n_labels,
                                          f.input_pubs.data(), kInputs, f.outpoints.data(), kInputs,
                                          f.outputs.data(), kOutputs, rec, &n);
        benchmark::DoNotOptimize(rec);
        return rc;
    });
}
BENCHMARK(BM_Bip352Scan)->Arg(0)->Arg(kLabels);

void BM_Bip352ScanTweak(benchmark::State& st) {
    const size_t n_labels = static_cast<size_t>(st.range(0));
    uint8_t rec[QORVEX_BIP352_MATCH_SIZE * kOutputs];
    run(st, [&](const Fixture& f) {
        size_t n = kOutputs;
        const int rc = qorvex_bip352_scan_tweak(f.ctx, f.scan_sec, f.spend_pub, f.labels.data(), n_labels,
                                                f.tweak.data(), f.outputs.data(), kOutputs, rec, &n);
        benchmark::DoNotOptimize(rec);
        return rc;
    });
}
BENCHMARK(BM_Bip352ScanTweak)->Arg(0)->Arg(kLabels);

void BM_Bip352Tweak(benchmark::State& st) {
    uint8_t tweak[QORVEX_BIP352_TWEAK_SIZE];
    run(st, [&](const Fixture& f) {
        const int rc = qorvex_bip352_tweak(f.ctx, f.input_pubs.data(), kInputs, f.outpoints.data(), kInputs, tweak);
        benchmark::DoNotOptimize(tweak);
        return rc;
    });
}
BENCHMARK(BM_Bip352Tweak);

// 10 inputs paying one address.
void BM_Bip352Send(benchmark::State& st) {
    uint8_t recipient[QORVEX_BIP352_RECIPIENT_SIZE], out[32];
    const uint8_t flags[kInputs] = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
    run(st, [&](const Fixture& f) {
        for (int i = 0; i < 33; ++i) recipient[i] = f.scan_pub[i], recipient[33 + i] = f.spend_pub[i];
        const int rc = qorvex_bip352_send(f.ctx, f.input_secs.data(), flags, kInputs, f.outpoints.data(), kInputs,
                                          recipient, 1, out);
        benchmark::DoNotOptimize(out);
        return rc;
    });
}
BENCHMARK(BM_Bip352Send);

}  // namespace
