// Block-filter queries against a 20,000-element filter (random output
// scripts of 22 to 34 bytes, as in a full block): one candidate, 1,000
// candidates in one match_any, and, for the ratio, decoding the filter once
// (into a vector, as a client that keeps the set would, and streamed
// without storing). None of the candidates is in the set, so every query
// reads the whole filter, as it always does.
//
//   qorvex_bench --benchmark_filter=Gcs
//   match_any / decode = the cost of 1,000 candidates beyond one pass
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "bitcoin/gcs.h"
#include "qorvex.h"

namespace {

constexpr size_t kElements = 20000;
constexpr size_t kCandidates = 1000;

struct Strings {
    std::vector<std::vector<uint8_t>> items;
    std::vector<const uint8_t*> data;
    std::vector<size_t> lens;

    Strings(size_t count, uint32_t seed) : items(count) {
        std::mt19937 rng(seed);
        for (auto& s : items) {
            s.resize(22 + rng() % 13);
            for (uint8_t& b : s) b = static_cast<uint8_t>(rng());
            data.push_back(s.data());
            lens.push_back(s.size());
        }
    }
};

struct Fixture {
    uint8_t key[16];
    Strings set{kElements, 1}, candidates{kCandidates, 2};
    std::vector<uint8_t> filter;

    Fixture() {
        for (int i = 0; i < 16; ++i) key[i] = static_cast<uint8_t>(i * 17 + 3);
        filter.resize(kElements * 4);
        size_t len = filter.size();
        if (qorvex_gcs_build(key, set.data.data(), set.lens.data(), kElements, filter.data(), &len) != QORVEX_OK)
            filter.clear();
        else
            filter.resize(len);
    }
};

const Fixture& fixture() {
    static const Fixture f;
    return f;
}

void BM_GcsDecodeOnce_20000(benchmark::State& st) {
    const Fixture& f = fixture();
    for (auto _ : st) {
        auto values = qorvex::gcs::decode(f.filter, kElements);
        if (!values) return st.SkipWithError("decode failed");
        benchmark::DoNotOptimize(values->data());
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations() * kElements));
}
BENCHMARK(BM_GcsDecodeOnce_20000);

void BM_GcsDecodeStreamed_20000(benchmark::State& st) {
    const Fixture& f = fixture();
    for (auto _ : st) {
        qorvex::gcs::Decoder d(f.filter);
        uint64_t v = 0, sum = 0;
        for (size_t i = 0; i < kElements; ++i) {
            if (!d.next(v)) return st.SkipWithError("decode failed");
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations() * kElements));
}
BENCHMARK(BM_GcsDecodeStreamed_20000);

void BM_AbiGcsMatch_1Candidate(benchmark::State& st) {
    const Fixture& f = fixture();
    size_t i = 0;
    for (auto _ : st) {
        const int rc = qorvex_gcs_match(f.key, f.filter.data(), f.filter.size(), kElements, f.candidates.data[i],
                                        f.candidates.lens[i]);
        if (rc != QORVEX_ERR_NOT_FOUND) return st.SkipWithError("unexpected result");
        if (++i == kCandidates) i = 0;
    }
}
BENCHMARK(BM_AbiGcsMatch_1Candidate);

void BM_AbiGcsMatchAny_1000Candidates(benchmark::State& st) {
    const Fixture& f = fixture();
    for (auto _ : st) {
        const int rc = qorvex_gcs_match_any(f.key, f.filter.data(), f.filter.size(), kElements,
                                            f.candidates.data.data(), f.candidates.lens.data(), kCandidates);
        if (rc != QORVEX_ERR_NOT_FOUND) return st.SkipWithError("unexpected result");
    }
}
BENCHMARK(BM_AbiGcsMatchAny_1000Candidates);

void BM_AbiGcsBuild_20000(benchmark::State& st) {
    const Fixture& f = fixture();
    std::vector<uint8_t> out(f.filter.size());
    for (auto _ : st) {
        size_t len = out.size();
        if (qorvex_gcs_build(f.key, f.set.data.data(), f.set.lens.data(), kElements, out.data(), &len) != QORVEX_OK)
            return st.SkipWithError("build failed");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_AbiGcsBuild_20000);

}  // namespace
