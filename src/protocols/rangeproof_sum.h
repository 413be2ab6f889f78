// Constant-time sums k_0 B_0 + k_1 B_1 + ... of secret scalars times public
// bases: the fixed bases of the range prover (the 128 vector generators, G
// and H) and the folded generators of its later rounds. Each base has a
// table of its odd multiples 1B .. 31B and of their images under the
// endomorphism, truly affine (made once per process for the fixed bases,
// per proof for the folded ones), so a sum costs one shared run of
// doublings and two table reads and mixed additions per base and 5-bit
// group.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::rangeproof {

// Base numbers: G_i = i, H_i = 64 + i, then G and H.
inline constexpr uint8_t kBaseG = 128;
inline constexpr uint8_t kBaseH = 129;
inline constexpr size_t kBaseCount = 130;
// The most terms of one sum.
inline constexpr size_t kMaxSumTerms = kBaseCount;

// A point's odd multiples 1B .. 31B and their images under the
// endomorphism, truly affine.
struct BaseTable {
    AffinePoint t[16];   // (2j + 1) B
    AffinePoint tl[16];  // (2j + 1) lambda B
};

// The tables of n public finite points (Jacobian or affine), with one
// shared inversion. Variable time.
void make_tables(const Point* points, size_t n, BaseTable* out);

// sum k[i] * (the point of tables[i]) for i < count (1 <= count <=
// kMaxSumTerms), Jacobian or infinity. The points must be distinct and
// without known relations between them, as for fixed_sum_ct. Constant time
// in the scalars; the tables and the count are public.
Point table_sum_ct(const Scalar* k, const BaseTable* const* tables, size_t count);

// The same for public scalars, in variable time: width-6 digits of both
// endomorphism halves over one shared run of doublings.
Point table_sum_var(const Scalar* k, const BaseTable* const* tables, size_t count);

// sum k[i] * base(bases[i]) for i < count (1 <= count <= kMaxSumTerms),
// Jacobian or infinity. The bases of one sum must be distinct: distinct
// bases have no known relation, which is what lets all but the last group
// use the additions without exceptional cases. Constant time in the
// scalars; the base numbers and the count are public.
Point fixed_sum_ct(const Scalar* k, const uint8_t* bases, size_t count);

// The table of a base, by the numbers above.
const BaseTable& fixed_table(uint8_t base);

// The tables of 2^64 B for the upper halves of both vector generator lists
// (bases 32 .. 63 and 96 .. 127): the prover's first fold multiplies each
// of them by one public scalar, and with these the multiplication needs
// half the doublings (see mul_with_split_plan). Other bases: nullptr.
const BaseTable* fixed_table_2_64(uint8_t base);

// Makes the tables exist (they are otherwise made by the first sum).
void warm_up_tables();

// The verifier's side: sum k[b] * base(b) over all kBaseCount fixed bases
// (k in base order: G_i, H_i, G, H), from tables of each base at many
// shifts. Variable time (public scalars); Jacobian or infinity.
Point fixed_generator_sum(const Scalar* k);

void warm_up_generator_tables();

}  // namespace qorvex::rangeproof
