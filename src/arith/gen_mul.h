// k*G for secret k in constant time: a signed-digit comb over a 352-entry
// table built once per process, and an optional per-thread additive blinding
// that signing uses.
#pragma once

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex {

// k*G in constant time, unblinded; Jacobian (not normalised) or infinity.
Point gen_mul_ct(const Scalar& k);

// k*G with the calling thread's blinding when it is on, else gen_mul_ct.
Point gen_mul_blinded(const Scalar& k);

// Installs b (non-zero) and -b*G as this thread's blinding.
void blinding_set(const Scalar& b);
// Wipes this thread's blinding and turns it off.
void blinding_clear();
// Whether this thread's blinding is on.
bool blinding_active();

}  // namespace qorvex
