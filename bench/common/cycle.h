// The loop of the exported-function benchmarks: one call per iteration, over
// a fixture's inputs in turn, so that no cache sees the same input twice in a
// row.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>

namespace benchdata {

// Calls step(i) for i = 0, 1, ..., count - 1, 0, ...; an unready fixture or a
// call that does not return 0 ends the benchmark with an error.
template <class Step>
void cycle_indices(benchmark::State& st, bool ready, size_t count, Step step) {
    if (!ready) return st.SkipWithError("qorvex context or inputs failed");
    size_t i = 0;
    for (auto _ : st) {
        if (step(i) != 0) return st.SkipWithError("call failed");
        if (++i == count) i = 0;
    }
}

}  // namespace benchdata
