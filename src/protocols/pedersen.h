// Pedersen commitments C = value H + blinding G, optionally + switch J.
//
// H and J are points nobody knows a discrete logarithm of: the x coordinate
// is the SHA-256 of a fixed string, increased until x^3 + 7 is a square, and
// y is the even root. Both are made once per process on first use. The
// range proofs commit with the same H and G.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::pedersen {

inline constexpr char kSeedH[] = "Pedersen_generator_H";
inline constexpr char kSeedJ[] = "Pedersen_switch_J";

// The try-and-increment point of a seed: at most 256 x values from
// SHA-256(seed) mod p upwards; infinity when none of them is on the curve.
// Affine with even y. Variable time (the seed is public).
Point derive_generator(const uint8_t* seed, size_t len);

// The generators, derived on first use under thread-safe static
// initialisation and read-only afterwards. Affine, even y.
const Point& generator_h();
const Point& generator_j();

// value H + blinding G (+ switch_blind J when given) in constant time: the
// multiples by mul_ct and gen_mul_ct, the sums by the complete mixed
// addition. The result is affine, or infinity when the terms cancel (only
// for all scalars zero, since nobody knows a relation between G, H and J).
// Secret until its owner publishes it.
Point commit_point(const Scalar& value, const Scalar& blinding, const Scalar* switch_blind = nullptr);

// The 33-byte compressed encoding, all zeros for infinity, with no branch on
// the point.
void encode_ct(const Point& affine_or_infinity, uint8_t out33[33]);

// Whether positives and negatives (finite points) sum to the same point.
// Variable time: commitments are public.
bool sums_balance(const std::vector<Point>& positives, const std::vector<Point>& negatives);

}  // namespace qorvex::pedersen
