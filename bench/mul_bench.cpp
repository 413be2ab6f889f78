// Point multiplications: the constant-time comb (plain and blinded), the
// precomputed windows for k*G, an arbitrary point by the variable-time and
// the constant-time methods, u1*G + u2*P, and a reusable scalar plan.
//
// The generator tables use the default width (18); the first benchmark that
// needs them loads cache_w18.bin from SECP256K1_CACHE_DIR (or the library's
// default place, ~/.cache/qorvex), or builds and saves it there, which takes
// a while.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/point.h"
#include "arith/point_mul.h"
#include "arith/precompute.h"
#include "arith/scalar.h"

namespace {

using qorvex::Point;
using qorvex::Scalar;

Scalar random_scalar(std::mt19937_64& g) { return Scalar::from_limbs(g(), g(), g(), g()); }

// Distinct scalars and points, cycled through: many scalars, so that the
// generator-table entries they select (the tables are 250 MB) are mostly not
// in a cache from an earlier round, as in real use.
constexpr size_t kInputs = 16384;
constexpr size_t kPoints = 256;

std::vector<Scalar> scalars(uint64_t seed) {
    std::mt19937_64 g(seed);
    std::vector<Scalar> v(kInputs);
    for (auto& s : v) s = random_scalar(g);
    return v;
}

// Affine points, as public keys arrive after parsing.
std::vector<Point> points(uint64_t seed) {
    std::mt19937_64 g(seed);
    std::vector<Point> v(kPoints);
    for (auto& p : v) {
        p = qorvex::gen_mul_ct(random_scalar(g));
        p.to_affine_assign();
    }
    return v;
}

void default_tables() {
    static const bool done = [] {
        qorvex::configure(qorvex::PrecomputeConfig{});
        qorvex::ensure_built();
        return true;
    }();
    (void)done;
}

void BM_GenMulCt(benchmark::State& st) {
    const auto ks = scalars(1);
    size_t i = 0;
    for (auto _ : st) {
        Point r = qorvex::gen_mul_ct(ks[i++ % kInputs]);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_GenMulCt);

void BM_GenMulBlinded(benchmark::State& st) {
    const auto ks = scalars(2);
    qorvex::blinding_set(Scalar::from_u64(0x5eed));
    size_t i = 0;
    for (auto _ : st) {
        Point r = qorvex::gen_mul_blinded(ks[i++ % kInputs]);
        benchmark::DoNotOptimize(r);
    }
    qorvex::blinding_clear();
}
BENCHMARK(BM_GenMulBlinded);

void BM_PrecomputedGenMul(benchmark::State& st) {
    default_tables();
    const auto ks = scalars(3);
    size_t i = 0;
    for (auto _ : st) {
        Point r = qorvex::precomputed_gen_mul(ks[i++ % kInputs]);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_PrecomputedGenMul);

void BM_MulPoint(benchmark::State& st) {
    const auto ks = scalars(4);
    const auto ps = points(5);
    size_t i = 0;
    for (auto _ : st) {
        Point r = qorvex::mul(ps[i % kPoints], ks[i % kInputs]);
        ++i;
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_MulPoint);

void BM_MulCt(benchmark::State& st) {
    const auto ks = scalars(6);
    const auto ps = points(7);
    size_t i = 0;
    for (auto _ : st) {
        Point r = qorvex::mul_ct(ps[i % kPoints], ks[i % kInputs]);
        ++i;
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_MulCt);

void BM_DualMul(benchmark::State& st) {
    default_tables();
    const auto u1 = scalars(8);
    const auto u2 = scalars(9);
    const auto ps = points(10);
    size_t i = 0;
    for (auto _ : st) {
        Point r = qorvex::dual_mul(u1[i % kInputs], u2[i % kInputs], ps[i % kPoints]);
        ++i;
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_DualMul);

void BM_FixedKPlan(benchmark::State& st) {
    const auto ks = scalars(11);
    size_t i = 0;
    for (auto _ : st) {
        qorvex::FixedKPlan plan = qorvex::fixed_k_plan(ks[i++ % kInputs], 5);
        benchmark::DoNotOptimize(plan);
    }
}
BENCHMARK(BM_FixedKPlan);

void BM_MulWithPlan(benchmark::State& st) {
    const auto ks = scalars(12);
    const auto ps = points(13);
    std::vector<qorvex::FixedKPlan> plans;
    for (size_t j = 0; j < kPoints; ++j) plans.push_back(qorvex::fixed_k_plan(ks[j], static_cast<unsigned>(st.range(0))));
    size_t i = 0;
    for (auto _ : st) {
        Point r = qorvex::mul_with_plan(ps[i % kPoints], plans[i % kPoints]);
        ++i;
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_MulWithPlan)->Arg(5)->Arg(8);

}  // namespace
