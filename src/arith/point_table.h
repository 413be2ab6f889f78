// Tables of odd multiples of a point over one shared denominator, for the
// window methods of point_mul.cpp and point_mul_ct.cpp.
#pragma once

#include <cstddef>

#include "arith/point.h"

namespace qorvex {

// The largest table odd_multiples_shared_z builds.
constexpr size_t kMaxOddMultiples = 64;

// (2i + 1) P for i < count (1 <= count <= kMaxOddMultiples) as x[i], y[i]
// over one shared denominator zg, which is returned: the affine point is
// (x / zg^2, y / zg^3). The entries are thus affine points of the curve
// y^2 = x^3 + 7 zg^6, which is isomorphic to secp256k1 by (x, y) ->
// (x zg^2, y zg^3); the addition and doubling formulas do not involve the
// curve constant, so a sum accumulated there in Jacobian form is the right
// point once its Z is multiplied by zg.
//
// P must be a finite point of the curve. Branch-free, no inversion: with
// D = 2P, the curve on which D is affine takes P to (X Zd^2, Y Zd^3, Z), the
// multiples follow by adding D there, each addition scaling Z by a known
// factor, and the products of those factors bring every entry to the Z of
// the last one.
FieldElement odd_multiples_shared_z(const Point& p, size_t count, FieldElement* x, FieldElement* y);

}  // namespace qorvex
