// Range proofs through qorvex.h, beside BIP-340 verification in the same
// binary and run, which is the unit their targets are stated in:
//   ./qorvex_bench --benchmark_filter='RangeProof|SchnorrVerify_Range'
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "arith/msm.h"
#include "common/cycle.h"
#include "common/inputs.h"
#include "protocols/pedersen.h"
#include "protocols/rangeproof.h"
#include "protocols/rangeproof_sum.h"
#include "qorvex.h"

namespace {

constexpr size_t kCount = 16;

struct Fixture {
    qorvex_ctx* ctx = nullptr;
    std::vector<benchdata::Item> items;
    std::vector<uint64_t> values;
    std::vector<std::vector<uint8_t>> commitments, proofs;
};

const Fixture* fixture() {
    static const Fixture* f = []() -> const Fixture* {
        static Fixture fx;
        if (qorvex_ctx_create(&fx.ctx) != QORVEX_OK) return nullptr;
        qorvex_ctx* c = fx.ctx;
        fx.items = benchdata::make_base_inputs(kCount).items;
        for (size_t i = 0; i < kCount; ++i) {
            benchdata::Item& it = fx.items[i];
            const uint64_t v = 0x9e3779b97f4a7c15ULL * (i + 1);
            uint8_t v32[32] = {0};
            for (int b = 0; b < 8; ++b) v32[31 - b] = static_cast<uint8_t>(v >> (8 * b));
            std::vector<uint8_t> com(QORVEX_PEDERSEN_COMMITMENT_SIZE), proof(QORVEX_ZK_RANGE_PROOF_SIZE);
            size_t len = proof.size();
            if (qorvex_pubkey_xonly(c, it.key, it.xonly) != QORVEX_OK ||
                qorvex_schnorr_sign(c, it.msg, it.key, it.aux, it.schnorr_sig) != QORVEX_OK ||
                qorvex_pedersen_commit(c, v32, it.key, com.data()) != QORVEX_OK ||
                qorvex_zk_range_prove(c, v, it.key, com.data(), it.aux, proof.data(), &len) != QORVEX_OK)
                return nullptr;
            fx.values.push_back(v);
            fx.commitments.push_back(com);
            fx.proofs.push_back(proof);
        }
        return &fx;
    }();
    return f;
}

template <class Body>
void cycle(benchmark::State& st, Body body) {
    const Fixture* f = fixture();
    benchdata::cycle_indices(st, f != nullptr, kCount, [&](size_t i) { return body(*f, i); });
}

// The reference: one BIP-340 verification (16 keys in turn).
void BM_SchnorrVerify_RangeReference(benchmark::State& st) {
    cycle(st, [](const Fixture& f, size_t i) {
        const benchdata::Item& it = f.items[i];
        return qorvex_schnorr_verify(f.ctx, it.msg, it.schnorr_sig, it.xonly);
    });
}
BENCHMARK(BM_SchnorrVerify_RangeReference);

void BM_AbiZkRangeProve(benchmark::State& st) {
    uint8_t proof[QORVEX_ZK_RANGE_PROOF_SIZE];
    cycle(st, [&](const Fixture& f, size_t i) {
        size_t len = sizeof proof;
        const benchdata::Item& it = f.items[i];
        const int rc = qorvex_zk_range_prove(f.ctx, f.values[i], it.key, f.commitments[i].data(), it.aux, proof, &len);
        benchmark::DoNotOptimize(proof);
        return rc;
    });
}
BENCHMARK(BM_AbiZkRangeProve)->Unit(benchmark::kMicrosecond);

void BM_AbiZkRangeVerify(benchmark::State& st) {
    cycle(st, [](const Fixture& f, size_t i) {
        return qorvex_zk_range_verify(f.ctx, f.commitments[i].data(), f.proofs[i].data(), f.proofs[i].size());
    });
}
BENCHMARK(BM_AbiZkRangeVerify)->Unit(benchmark::kMicrosecond);

// The verifier's sum over the 130 fixed bases (vector generators, G, H):
// from their own tables, against the general multi-scalar engine over the
// same points and scalars.
struct GeneratorTerms {
    qorvex::Scalar all[qorvex::rangeproof::kBaseCount];
    qorvex::AffinePoint points[qorvex::rangeproof::kBaseCount];
};

const GeneratorTerms& generator_terms() {
    static const GeneratorTerms t = [] {
        GeneratorTerms g;
        uint8_t b[32] = {0x5a};
        const qorvex::Point gen = qorvex::Point::generator();
        const qorvex::Point& h = qorvex::pedersen::generator_h();
        for (size_t i = 0; i < qorvex::rangeproof::kBaseCount; ++i) {
            b[31] = static_cast<uint8_t>(i);
            b[7] = static_cast<uint8_t>(i * 37);
            qorvex_sha256(b, 32, b);
            g.all[i] = qorvex::Scalar::from_bytes_reduce(b);
            const auto& gens = qorvex::rangeproof::generators();
            g.points[i] = i < 64    ? gens.g[i]
                          : i < 128 ? gens.h[i - 64]
                          : i == qorvex::rangeproof::kBaseG ? qorvex::AffinePoint{gen.affine_x(), gen.affine_y()}
                                                            : qorvex::AffinePoint{h.affine_x(), h.affine_y()};
        }
        return g;
    }();
    return t;
}

void BM_RangeProofGeneratorSum_Tables(benchmark::State& st) {
    const GeneratorTerms& t = generator_terms();
    qorvex::rangeproof::warm_up_generator_tables();
    for (auto _ : st) benchmark::DoNotOptimize(qorvex::rangeproof::fixed_generator_sum(t.all));
}
BENCHMARK(BM_RangeProofGeneratorSum_Tables)->Unit(benchmark::kMicrosecond);

void BM_RangeProofGeneratorSum_Msm(benchmark::State& st) {
    const GeneratorTerms& t = generator_terms();
    for (auto _ : st) benchmark::DoNotOptimize(qorvex::msm(t.all, t.points));
}
BENCHMARK(BM_RangeProofGeneratorSum_Msm)->Unit(benchmark::kMicrosecond);

}  // namespace
