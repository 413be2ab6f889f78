// Multi-scalar multiplication: sum_i k_i P_i for many terms, the engine of
// batch verification, MuSig2 key aggregation and range-proof verification.
//
// Variable time, public data only: every engine branches on the digits of the
// scalars and on the points.
//
// All engines compute the same group element, so callers use msm(), which
// picks the fastest for the count; the named engines exist for the tests,
// which check each against the others and against sums of mul().
//
// Terms: the first min(scalars.size(), points.size()) pairs. Zero scalars,
// points at infinity (Point overloads only), repeated points and points that
// cancel are all allowed. Results are Jacobian (not normalised) or the
// infinity form.
//
// Scratch memory is per thread: it grows to the largest count a thread has
// seen and is reused by later calls on that thread. Growing it can throw
// std::bad_alloc; nothing else throws, except the generator term of
// msm_with_generator (see there). A thread runs one engine at a time; no
// engine calls another engine's scratch user re-entrantly.
#pragma once

#include <cstddef>
#include <span>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex {

// --- The dispatcher. ---

// sum_i scalars[i] * points[i]. Points may be affine (z_is_one) or
// Jacobian, in any mix.
Point msm(std::span<const Scalar> scalars, std::span<const Point> points);

// The same over finite affine points, such as parsed public keys: the form
// the bucket engine works in, so nothing is converted first.
Point msm(std::span<const Scalar> scalars, std::span<const AffinePoint> points);

// g * G + sum_i scalars[i] * points[i], with g * G from the precomputed
// generator tables (whose entries are fetched while the sum runs). Reaches
// the generator tables, which may throw while they are (re)built, like every
// variable-time multiple of G.
Point msm_with_generator(const Scalar& g, std::span<const Scalar> scalars, std::span<const AffinePoint> points);

// a*P + b*Q: infinity when both scalars are zero, mul() of the other term
// when one is, else mul(P, a) + mul(Q, b).
Point shamir(const Scalar& a, const Point& p, const Scalar& b, const Point& q);

// --- The engines. ---

// Interleaved width-4 NAF (Strauss): one shared run of doublings, tables of
// P, 3P, ..., 15P per point (Jacobian, general additions). msm() uses it
// below kMsmBucketThreshold terms.
Point msm_strauss(std::span<const Scalar> scalars, std::span<const Point> points);

// The bucket method (Pippenger) with the reference window table
// (pippenger_window_bits): unsigned digits below width 7, signed from 7 on,
// mixed additions into the buckets while the width is below 7 and every point
// is affine, general additions otherwise.
Point msm_pippenger(std::span<const Scalar> scalars, std::span<const Point> points);

// The reference window width for m terms (m >= 48): 5 up to 72 terms, then
// 6, 7, 8, 9, 10, 12, 13, 14 (11 is never chosen).
unsigned pippenger_window_bits(size_t m);

// The bucket method as msm() runs it for larger counts: each scalar is split
// by the endomorphism into two halves below 2^128 (k P = k1 P + k2 lambda P),
// the halves are recoded into signed digits of width c (so only 2^(c-1)
// buckets per window), and the points of every bucket are summed in affine
// coordinates by rounds of pairwise additions that share one field inversion
// per round across all buckets and windows (Montgomery's trick), which makes
// a bucket addition cost about half a mixed Jacobian one; the weighted sums
// of the buckets are split into plain sums that take the same path. c = 0
// picks the width for the count (msm_affine_window_bits). pass_entries bounds the
// entries of one pass (0: the default, 2^20); the tests make it small to
// reach windows split over several passes.
Point msm_buckets_affine(std::span<const Scalar> scalars, std::span<const AffinePoint> points, unsigned c = 0,
                         size_t pass_entries = 0);

// The affine rounds of msm_buckets_affine on their own: for each group g,
// the sum of the finite affine points pts[start[g]] .. pts[start[g + 1] - 1]
// (start ascending, its last entry at most pts.size()), into out[g] with
// present[g] = 1, or present[g] = 0 when the group is empty or its points
// cancel. All groups share one field inversion per round. For callers with
// buckets of their own, such as sums over fixed points kept at many shifts.
void msm_sum_groups(std::span<const AffinePoint> pts, std::span<const uint32_t> start, AffinePoint* out,
                    uint8_t* present);

// msm_sum_groups over points named by index: entry e of the groups is
// src[order[e] >> 1], negated when order[e] & 1 (start as there, indexing
// order). Saves copying the terms into group order first.
void msm_sum_indexed_groups(const AffinePoint* src, std::span<const uint32_t> order, std::span<const uint32_t> start,
                            AffinePoint* out, uint8_t* present);

// sum over b < 2^(c-1) of (b + 1) * bucket[b] (the finite ones, present[b]
// set), 2 <= c <= 16: the weighted sum of one window of buckets, taken apart
// into plain sums for the affine rounds as msm_buckets_affine does, and c
// doublings. Variable time.
Point msm_weighted_bucket_sum(const AffinePoint* bucket, const uint8_t* present, unsigned c);

// The width msm_buckets_affine uses for m terms, measured on this library's
// arithmetic (bench/msm_bench.cpp).
unsigned msm_affine_window_bits(size_t m);

// Strauss over endomorphism halves: one shared run of at most 130
// doublings, width-5 NAF digits of both halves of every scalar, and tables
// of P .. 15P and their images under the endomorphism made affine by one
// shared inversion, so every addition is a mixed one. msm() uses it below
// kMsmBucketThreshold terms.
Point msm_strauss_glv(std::span<const Scalar> scalars, std::span<const AffinePoint> points);

// Below this many terms msm() uses msm_strauss_glv, from it on
// msm_buckets_affine. Measured (bench/msm_bench.cpp, BM_MsmStraussGlv
// against BM_MsmBucketsWidth at the chosen width).
inline constexpr size_t kMsmBucketThreshold = 8;

}  // namespace qorvex
