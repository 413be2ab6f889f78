// Multi-scalar multiplication per point, beside one variable-base
// multiplication in the same run: the ratio msm / Point::mul per point is the
// figure to compare.
//
//   qorvex_bench --benchmark_filter='Msm|MulPointReference'
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/msm.h"
#include "arith/point_mul.h"

namespace {

using qorvex::AffinePoint;
using qorvex::Point;
using qorvex::Scalar;

struct Terms {
    std::vector<Scalar> k;
    std::vector<AffinePoint> a;
    std::vector<Point> p;
};

// Distinct random points and scalars, made once per count.
const Terms& terms(size_t n) {
    static std::vector<std::pair<size_t, Terms>> made;
    for (const auto& [m, t] : made)
        if (m == n) return t;
    std::mt19937_64 g(n);
    Terms t;
    for (size_t i = 0; i < n; ++i) {
        Point q = qorvex::gen_mul_ct(Scalar::from_limbs(g(), g(), g(), g()));
        q.to_affine_assign();
        t.p.push_back(q);
        t.a.push_back(qorvex::AffinePoint{q.X, q.Y});
        t.k.push_back(Scalar::from_limbs(g(), g(), g(), g()));
    }
    made.emplace_back(n, std::move(t));
    return made.back().second;
}

void per_point(benchmark::State& st, size_t n) {
    st.counters["per_point"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Point::mul of one random point, the unit of the ratios.
void BM_MulPointReference(benchmark::State& st) {
    const Terms& t = terms(256);
    size_t i = 0;
    for (auto _ : st) {
        Point r = qorvex::mul(t.p[i % 256], t.k[(i * 7 + 3) % 256]);
        ++i;
        benchmark::DoNotOptimize(r);
    }
    per_point(st, 1);
}
BENCHMARK(BM_MulPointReference);

// One engine over range(0) terms, per point.
template <typename Engine>
void run_engine(benchmark::State& st, Engine engine) {
    const size_t n = static_cast<size_t>(st.range(0));
    const Terms& t = terms(n);
    for (auto _ : st) {
        Point r = engine(t);
        benchmark::DoNotOptimize(r);
    }
    per_point(st, n);
}

// msm() on parsed (affine) points, as batch verification calls it.
void BM_Msm(benchmark::State& st) {
    run_engine(st, [](const Terms& t) { return qorvex::msm(t.k, t.a); });
}
BENCHMARK(BM_Msm)->Arg(8)->Arg(47)->Arg(48)->Arg(143)->Arg(1023)->Arg(10239)->Arg(32767)->Unit(benchmark::kMicrosecond);

// The reference engines, for the record of the engine choice, and Strauss
// over endomorphism halves, which msm() runs below 8 terms.
void BM_MsmStrauss(benchmark::State& st) {
    run_engine(st, [](const Terms& t) { return qorvex::msm_strauss(t.k, t.p); });
}
BENCHMARK(BM_MsmStrauss)->Arg(8)->Arg(47)->Arg(143)->Unit(benchmark::kMicrosecond);

void BM_MsmStraussGlv(benchmark::State& st) {
    run_engine(st, [](const Terms& t) { return qorvex::msm_strauss_glv(t.k, t.a); });
}
BENCHMARK(BM_MsmStraussGlv)
    ->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Arg(48)->Arg(64)->Arg(96)->Arg(143)
    ->Unit(benchmark::kMicrosecond);

void BM_MsmPippengerReference(benchmark::State& st) {
    run_engine(st, [](const Terms& t) { return qorvex::msm_pippenger(t.k, t.p); });
}
BENCHMARK(BM_MsmPippengerReference)->Arg(143)->Arg(1023)->Arg(10239)->Arg(32767)->Unit(benchmark::kMicrosecond);

// The affine bucket engine at a fixed width (range 1), to check the widths
// msm_affine_window_bits picks.
void BM_MsmBucketsWidth(benchmark::State& st) {
    const size_t n = static_cast<size_t>(st.range(0));
    const Terms& t = terms(n);
    const unsigned c = static_cast<unsigned>(st.range(1));
    for (auto _ : st) {
        Point r = qorvex::msm_buckets_affine(t.k, t.a, c);
        benchmark::DoNotOptimize(r);
    }
    per_point(st, n);
    st.counters["chosen"] = qorvex::msm_affine_window_bits(n);
}
BENCHMARK(BM_MsmBucketsWidth)
    ->ArgsProduct({{8, 16, 24, 32, 48, 64, 96}, {3, 4, 5, 6}})
    ->ArgsProduct({{143}, {5, 6, 7}})
    ->ArgsProduct({{1023}, {7, 8, 9, 10}})
    ->ArgsProduct({{10239}, {9, 10, 11, 12, 13}})
    ->ArgsProduct({{32767}, {11, 12, 13, 14}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// The affine bucket engine with a bound on the entries of a pass (range 1,
// as a power of two), for the choice of that bound.
void BM_MsmBucketsPass(benchmark::State& st) {
    const size_t n = static_cast<size_t>(st.range(0));
    const Terms& t = terms(n);
    const size_t pass = size_t{1} << st.range(1);
    for (auto _ : st) {
        Point r = qorvex::msm_buckets_affine(t.k, t.a, 0, pass);
        benchmark::DoNotOptimize(r);
    }
    per_point(st, n);
}
BENCHMARK(BM_MsmBucketsPass)->ArgsProduct({{10239, 32767}, {15, 17, 20}})->Unit(benchmark::kMicrosecond);

}  // namespace
