// Multiplication of arbitrary points: variable time for public data,
// constant time for secret scalars, u1*G + u2*P for verifiers, and a reusable
// recoding of one scalar for many points.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex {

// k*P, normalised to affine unless infinity. G as made by
// Point::generator() goes through the precomputed tables.
Point mul(const Point& p, const Scalar& k);

// k*P in constant time (signed 5-bit digits over both GLV halves), Jacobian.
Point mul_ct(const Point& p, const Scalar& k);

// The pieces of mul_ct, for constant-time sums of several multiples that
// share one run of doublings. k is recoded into u and v below 2^130, read in
// kMulCtGroups groups of 5 bits b (u.bits(5 g, 5)), each standing for the odd
// digit 2b - 31: summing the digits of u times P and those of v times
// lambda P over g, most significant group first with five doublings between
// groups, gives k P. Constant time in k; wipe u and v.
inline constexpr int kMulCtGroups = 26;
inline constexpr int kMulCtTableSize = 16;
void mul_ct_recode(const Scalar& k, Scalar& u, Scalar& v);
// The digit of group b from a table of P, 3P, ..., 31P (or of their images
// under the endomorphism), reading every entry.
void mul_ct_lookup(const AffinePoint* table16, uint64_t b, FieldElement& x, FieldElement& y);

// u1*G + u2*P.
Point dual_mul(const Scalar& u1, const Scalar& u2, const Point& p);

// Width-w non-adjacent digits of k (2 <= w <= 16) into out[0 .. capacity),
// at most 260 stored; returns the digit count, 0 for a bad width or buffer.
size_t wnaf_int(const Scalar& k, unsigned w, int32_t* out, size_t capacity);

struct FixedKPlan {
    uint32_t window = 0;
    Scalar k1, k2;  // GLV halves of K, as magnitudes
    int32_t digits1[260];
    size_t count1 = 0;
    int32_t digits2[260];
    size_t count2 = 0;
    bool neg1 = false, neg2 = false;
};

FixedKPlan fixed_k_plan(const Scalar& k, unsigned w);
// K*P for the plan's K, Jacobian.
Point mul_with_plan(const Point& p, const FixedKPlan& plan);
// The same from a finite point's odd multiples P, 3P, .., (2t - 1)P and
// their images under the endomorphism, truly affine, when the caller keeps
// them anyway: no table to make. The plan's window w must have
// 2^(w-2) <= t (its digits stay below 2^(w-1)); infinity otherwise.
Point mul_with_plan(const AffinePoint* odd, const AffinePoint* odd_lambda, size_t t, const FixedKPlan& plan);

// One digit string of a variable-time sum over tables of odd multiples:
// digits d[0 .. count), d[i] standing for d[i] 2^i times the table's point,
// each odd and below twice the table's length, reading entry (|d| - 1) / 2;
// the entry is negated for a negative digit, or for a positive one when neg.
struct WnafStream {
    const AffinePoint* table;
    const int32_t* d;
    size_t count;
    bool neg;
};
// The sum over n streams, one shared run of doublings; Jacobian or
// infinity. The tables are truly affine (or all on one isomorphic curve, the
// result then on it too). Variable time.
Point wnaf_streams_sum(const WnafStream* streams, size_t n);

// The same for points that also keep the odd multiples of 2^64 P: both GLV
// halves are cut at bit 64, so the four pieces share 64 doublings instead of
// 128. Digit strings in the order of the tables below.
struct SplitKPlan {
    uint32_t window = 0;
    int32_t digits[4][66];  // a 64-bit piece has at most 65 digits
    size_t count[4] = {};
    bool neg[4] = {};
};
SplitKPlan split_k_plan(const Scalar& k, unsigned w);
// tables: the odd multiples P, 3P, .., (2t - 1)P of a finite point, of
// lambda P, of 2^64 P and of lambda 2^64 P, truly affine; the window as for
// mul_with_plan. Jacobian.
Point mul_with_split_plan(const AffinePoint* const (&tables)[4], size_t t, const SplitKPlan& plan);

}  // namespace qorvex
