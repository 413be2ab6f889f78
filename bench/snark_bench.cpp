// The two SNARK witness exports beside the verification they record, on the
// same 1,000 keys, messages and signatures (valid ones, so every record is
// complete): witness / verify is what exporting the intermediates costs.
//
//   qorvex_bench --benchmark_filter=Zk
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/abi_fixture.h"
#include "qorvex.h"

namespace {

using benchdata::Item;

// Every benchmark here runs over the shared fixture's items in turn.
template <class Body>
void cycle(benchmark::State& st, Body body) {
    benchdata::cycle_items(st, body);
}

void BM_AbiZkEcdsaWitness_1000Keys(benchmark::State& st) {
    uint8_t rec[QORVEX_ZK_ECDSA_SNARK_WITNESS_SIZE];
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        const int rc = qorvex_zk_ecdsa_snark_witness(c, it.msg, it.pub33, it.ecdsa_sig, rec);
        benchmark::DoNotOptimize(rec);
        return rc;
    });
}
BENCHMARK(BM_AbiZkEcdsaWitness_1000Keys);

void BM_AbiZkSchnorrWitness_1000Keys(benchmark::State& st) {
    uint8_t rec[QORVEX_ZK_SCHNORR_SNARK_WITNESS_SIZE];
    cycle(st, [&](qorvex_ctx* c, const Item& it) {
        const int rc = qorvex_zk_schnorr_snark_witness(c, it.msg, it.xonly, it.schnorr_sig, rec);
        benchmark::DoNotOptimize(rec);
        return rc;
    });
}
BENCHMARK(BM_AbiZkSchnorrWitness_1000Keys);

// The references: the verifications themselves, on the same inputs.
void BM_AbiZkRefEcdsaVerify_1000Keys(benchmark::State& st) {
    cycle(st, [](qorvex_ctx* c, const Item& it) { return qorvex_ecdsa_verify(c, it.msg, it.ecdsa_sig, it.pub33); });
}
BENCHMARK(BM_AbiZkRefEcdsaVerify_1000Keys);

void BM_AbiZkRefSchnorrVerify_1000Keys(benchmark::State& st) {
    cycle(st, [](qorvex_ctx* c, const Item& it) { return qorvex_schnorr_verify(c, it.msg, it.schnorr_sig, it.xonly); });
}
BENCHMARK(BM_AbiZkRefSchnorrVerify_1000Keys);

}  // namespace
