// Silent payments: the receiver's scan of a transaction with 10 inputs and
// 10 outputs (two of them paying the receiver), and the sender's output key
// from 10 input keys. For the ratio, run them beside one verification:
//
//   qorvex_bench --benchmark_filter='SilentPayment|AbiEcdsaVerify_1000Keys'
//   scan / verify = one shared-secret multiplication, 10 tweaked points
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "qorvex.h"

namespace {

constexpr size_t kInputs = 10, kOutputs = 10;

struct Fixture {
    qorvex_ctx* ctx = nullptr;
    uint8_t scan_key[32], spend_key[32], scan_pub[33], spend_pub[33];
    std::vector<uint8_t> input_keys, input_pubs, outputs;
    bool ok = false;

    Fixture() {
        if (qorvex_ctx_create(&ctx) != QORVEX_OK) return;
        std::memset(scan_key, 0x51, 32);
        std::memset(spend_key, 0x52, 32);
        if (qorvex_pubkey_create(ctx, scan_key, scan_pub) != QORVEX_OK ||
            qorvex_pubkey_create(ctx, spend_key, spend_pub) != QORVEX_OK)
            return;
        input_keys.resize(32 * kInputs);
        input_pubs.resize(33 * kInputs);
        for (size_t i = 0; i < kInputs; ++i) {
            std::memset(&input_keys[32 * i], static_cast<int>(0x10 + i), 32);
            if (qorvex_pubkey_create(ctx, &input_keys[32 * i], &input_pubs[33 * i]) != QORVEX_OK) return;
        }
        outputs.resize(32 * kOutputs);
        for (size_t i = 0; i < kOutputs; ++i) {
            uint8_t out[33];
            if (i == 0 || i == 5) {
                if (qorvex_silent_payment_create_output(ctx, input_keys.data(), kInputs, scan_pub, spend_pub,
                                                        static_cast<int32_t>(i), out, nullptr) != QORVEX_OK)
                    return;
            } else {
                uint8_t other[32];
                std::memset(other, static_cast<int>(0x70 + i), 32);
                if (qorvex_pubkey_create(ctx, other, out) != QORVEX_OK) return;
            }
            std::memcpy(&outputs[32 * i], out + 1, 32);
        }
        ok = true;
    }
};

const Fixture& fixture() {
    static const Fixture f;
    return f;
}

void BM_AbiSilentPaymentScan_10In10Out(benchmark::State& st) {
    const Fixture& f = fixture();
    if (!f.ok) return st.SkipWithError("fixture failed");
    int idx[kOutputs];
    uint8_t keys[32 * kOutputs];
    for (auto _ : st) {
        size_t found = kOutputs;
        if (qorvex_silent_payment_scan(f.ctx, f.scan_key, f.spend_key, f.input_pubs.data(), kInputs, f.outputs.data(),
                                       kOutputs, idx, keys, &found) != QORVEX_OK ||
            found != 2)
            return st.SkipWithError("scan failed");
        benchmark::DoNotOptimize(keys);
    }
}
BENCHMARK(BM_AbiSilentPaymentScan_10In10Out);

void BM_AbiSilentPaymentCreateOutput_10In(benchmark::State& st) {
    const Fixture& f = fixture();
    if (!f.ok) return st.SkipWithError("fixture failed");
    uint8_t out[33], tweak[32];
    for (auto _ : st) {
        if (qorvex_silent_payment_create_output(f.ctx, f.input_keys.data(), kInputs, f.scan_pub, f.spend_pub, 1, out,
                                                tweak) != QORVEX_OK)
            return st.SkipWithError("create failed");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_AbiSilentPaymentCreateOutput_10In);

}  // namespace
