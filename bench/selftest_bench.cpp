// What the self-test adds to the first context's start-up: its ci-mode tests
// alone (the tables already current), beside the whole run (configuration,
// tables loaded from the cache file, tests), and installing the tables
// alone, which the first context needs whatever it tests.
//
//   qorvex_bench --benchmark_filter=Selftest
//   added start-up = BM_SelftestCiTests (the cache file present)
#include <benchmark/benchmark.h>

#include "arith/precompute.h"
#include "arith/selftest.h"
#include "qorvex.h"

namespace {

void tables_ready() {
    static const bool once = [] {
        qorvex_ctx* c = nullptr;
        if (qorvex_ctx_create(&c) == QORVEX_OK) qorvex_ctx_destroy(c);
        return true;
    }();
    (void)once;
}

void BM_SelftestCiTests(benchmark::State& st) {
    tables_ready();
    for (auto _ : st) {
        if (!qorvex::run_selftest_tests(qorvex::SelftestMode::ci, 0, nullptr).ok()) return st.SkipWithError("failed");
    }
}
BENCHMARK(BM_SelftestCiTests)->Unit(benchmark::kMillisecond);

void BM_SelftestSmokeTests(benchmark::State& st) {
    tables_ready();
    for (auto _ : st) {
        if (!qorvex::run_selftest_tests(qorvex::SelftestMode::smoke, 0, nullptr).ok())
            return st.SkipWithError("failed");
    }
}
BENCHMARK(BM_SelftestSmokeTests)->Unit(benchmark::kMillisecond);

void BM_SelftestTablesOnly(benchmark::State& st) {
    tables_ready();
    for (auto _ : st) {
        qorvex::configure(qorvex::config_from_environment());
        qorvex::ensure_built();
    }
}
BENCHMARK(BM_SelftestTablesOnly)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SelftestCiWhole(benchmark::State& st) {
    tables_ready();
    for (auto _ : st) {
        if (!qorvex::run_selftest(qorvex::SelftestMode::ci, 0, nullptr).ok()) return st.SkipWithError("failed");
    }
}
BENCHMARK(BM_SelftestCiWhole)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
