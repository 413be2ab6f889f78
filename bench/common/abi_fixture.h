// The inputs of the exported-function benchmarks, made once per process
// through the library itself: a context (made first: it builds or loads the
// generator tables) and 1,000 items with every derived field filled.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

#include "common/cycle.h"
#include "common/inputs.h"
#include "qorvex.h"

namespace benchdata {

constexpr size_t kAbiItems = 1000;

struct AbiFixture {
    qorvex_ctx* ctx = nullptr;
    std::vector<Item> items;
};

// nullptr when any step failed.
const AbiFixture* abi_fixture();

// Runs body(ctx, item) over the items in turn; a missing fixture or a
// non-OK result ends the benchmark with an error.
template <class Body>
void cycle_items(benchmark::State& st, Body body) {
    const AbiFixture* f = abi_fixture();
    cycle_indices(st, f != nullptr, kAbiItems, [&](size_t i) { return body(f->ctx, f->items[i]); });
}

}  // namespace benchdata
