// Field, scalar and point arithmetic.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "arith/field.h"
#include "arith/field_mul.h"
#include "arith/point.h"
#include "arith/scalar.h"
#include "support/cpu.h"

namespace {

using qorvex::FieldElement;
using qorvex::Point;
using qorvex::Scalar;

FieldElement random_fe(std::mt19937_64& g) { return FieldElement::from_limbs(g(), g(), g(), g()); }
Scalar random_scalar(std::mt19937_64& g) { return Scalar::from_limbs(g(), g(), g(), g()); }

void BM_FieldMulPortable(benchmark::State& st) {
    std::mt19937_64 g(1);
    FieldElement a = random_fe(g), b = random_fe(g);
    for (auto _ : st) {
        qorvex::field_detail::mul_portable(a.limb, a.limb, b.limb);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FieldMulPortable);

void BM_FieldSqrPortable(benchmark::State& st) {
    std::mt19937_64 g(2);
    FieldElement a = random_fe(g);
    for (auto _ : st) {
        qorvex::field_detail::sqr_portable(a.limb, a.limb);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FieldSqrPortable);

#if QORVEX_HAVE_ADX_BACKEND
bool have_adx(benchmark::State& st) {
    if (qorvex::cpu_features().bmi2 && qorvex::cpu_features().adx) return true;
    st.SkipWithError("processor lacks BMI2/ADX");
    return false;
}

void BM_FieldMulAdx(benchmark::State& st) {
    if (!have_adx(st)) return;
    std::mt19937_64 g(1);
    FieldElement a = random_fe(g), b = random_fe(g);
    for (auto _ : st) {
        qorvex::field_detail::mul_adx(a.limb, a.limb, b.limb);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FieldMulAdx);

void BM_FieldSqrAdx(benchmark::State& st) {
    if (!have_adx(st)) return;
    std::mt19937_64 g(2);
    FieldElement a = random_fe(g);
    for (auto _ : st) {
        qorvex::field_detail::sqr_adx(a.limb, a.limb);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FieldSqrAdx);
#endif

void BM_FieldAdd(benchmark::State& st) {
    std::mt19937_64 g(12);
    FieldElement a = random_fe(g), b = random_fe(g);
    for (auto _ : st) {
        a = a + b;
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FieldAdd);

void BM_FieldSubtract(benchmark::State& st) {
    std::mt19937_64 g(13);
    FieldElement a = random_fe(g), b = random_fe(g);
    for (auto _ : st) {
        a = a - b;
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FieldSubtract);

void BM_FieldInverseVar(benchmark::State& st) {
    std::mt19937_64 g(3);
    FieldElement a = random_fe(g);
    for (auto _ : st) {
        a = a.inverse_var();
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FieldInverseVar);

// Distinct inputs each time: with the two values that the loop above
// alternates between, the branch predictor learns every decision of the
// variable-time divsteps, which real inputs never allow.
void BM_FieldInverseVarDistinct(benchmark::State& st) {
    std::mt19937_64 g(3);
    std::vector<FieldElement> in(4096);
    for (auto& a : in) a = random_fe(g);
    size_t i = 0;
    for (auto _ : st) {
        FieldElement r = in[i++ & 4095].inverse_var();
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_FieldInverseVarDistinct);

void BM_FieldInverseCt(benchmark::State& st) {
    std::mt19937_64 g(4);
    FieldElement a = random_fe(g);
    for (auto _ : st) {
        a = a.inverse_ct();
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FieldInverseCt);

void BM_FieldSqrtCandidate(benchmark::State& st) {
    std::mt19937_64 g(5);
    FieldElement a = random_fe(g);
    for (auto _ : st) {
        a = a.sqrt_candidate();
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_FieldSqrtCandidate);

void BM_ScalarMul(benchmark::State& st) {
    std::mt19937_64 g(6);
    Scalar a = random_scalar(g), b = random_scalar(g);
    for (auto _ : st) {
        a = a.mul(b);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_ScalarMul);

void BM_ScalarMulFold(benchmark::State& st) {
    std::mt19937_64 g(6);
    Scalar a = random_scalar(g), b = random_scalar(g);
    for (auto _ : st) {
        a = a.mul_fold(b);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_ScalarMulFold);

void BM_ScalarInverseVar(benchmark::State& st) {
    std::mt19937_64 g(7);
    Scalar a = random_scalar(g);
    for (auto _ : st) {
        a = a.inverse_var();
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_ScalarInverseVar);

void BM_ScalarInverseVarDistinct(benchmark::State& st) {
    std::mt19937_64 g(7);
    std::vector<Scalar> in(4096);
    for (auto& a : in) a = random_scalar(g);
    size_t i = 0;
    for (auto _ : st) {
        Scalar r = in[i++ & 4095].inverse_var();
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_ScalarInverseVarDistinct);

void BM_ScalarInverseCt(benchmark::State& st) {
    std::mt19937_64 g(8);
    Scalar a = random_scalar(g);
    for (auto _ : st) {
        a = a.inverse_ct();
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_ScalarInverseCt);

void BM_ScalarSplitLambdaCt(benchmark::State& st) {
    std::mt19937_64 g(9);
    Scalar a = random_scalar(g);
    for (auto _ : st) {
        auto s = a.split_lambda_ct();
        benchmark::DoNotOptimize(s);
        a.limb[0] ^= s.k1.limb[0];
    }
}
BENCHMARK(BM_ScalarSplitLambdaCt);

Point some_point() {
    Point p = Point::generator();
    for (int i = 0; i < 10; ++i) p = p.dbl().add(Point::generator());
    return p;
}

void BM_PointDouble(benchmark::State& st) {
    Point p = some_point();
    for (auto _ : st) {
        p.dbl_assign();
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PointDouble);

void BM_PointAddMixed(benchmark::State& st) {
    Point p = some_point();
    const Point g = Point::generator();
    for (auto _ : st) {
        p.add_affine_assign(g.X, g.Y);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PointAddMixed);

void BM_PointAddJacobian(benchmark::State& st) {
    Point p = some_point();
    const Point q = some_point().dbl();
    for (auto _ : st) {
        p.add_assign(q);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PointAddJacobian);

void BM_PointDoubleHalvingCt(benchmark::State& st) {
    Point p = some_point();
    for (auto _ : st) {
        p.dbl_halving_ct();
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PointDoubleHalvingCt);

void BM_PointAddAffineVar(benchmark::State& st) {
    Point p = some_point();
    const Point g = Point::generator();
    for (auto _ : st) {
        p.add_affine_var(g.X, g.Y);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PointAddAffineVar);

void BM_PointAddAffineUncheckedCt(benchmark::State& st) {
    Point p = some_point();
    const Point g = Point::generator();
    for (auto _ : st) {
        p.add_affine_unchecked_ct(g.X, g.Y);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PointAddAffineUncheckedCt);

void BM_PointAddAffineCompleteCt(benchmark::State& st) {
    Point p = some_point();
    const Point g = Point::generator();
    for (auto _ : st) {
        p.add_affine_complete_ct(g.X, g.Y, 0, 0);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PointAddAffineCompleteCt);

void BM_PointDecompress(benchmark::State& st) {
    uint8_t c[33];
    some_point().to_compressed(c);
    for (auto _ : st) {
        Point p = Point::decompress(c);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PointDecompress);

}  // namespace
