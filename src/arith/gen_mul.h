// k*G for secret k in constant time: a signed-digit comb over a 352-entry
// table built once per process, and an optional per-thread additive blinding
// that signing uses.
#pragma once

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex {

// k*G in constant time, unblinded; Jacobian (not normalised) or infinity.
Point gen_mul_ct(const Scalar& k);

// The public key of a secret d != 0: d*G by gen_mul_ct, made affine with
// the constant-time inverse (the Jacobian Z of a secret multiple leaks
// through a variable-time one), its Jacobian form wiped. The affine point is
// public and marked so. Infinity for d = 0.
Point public_key_point(const Scalar& d);

// k*G with the calling thread's blinding when it is on, else gen_mul_ct.
Point gen_mul_blinded(const Scalar& k);

// Installs b (non-zero) and -b*G as this thread's blinding.
void blinding_set(const Scalar& b);
// Wipes this thread's blinding and turns it off.
void blinding_clear();
// Whether this thread's blinding is on.
bool blinding_active();

// A copy of a thread's blinding, for worker threads of a batch call to sign
// exactly as the calling thread would. It holds the blinding secret: keep it
// in WipeOnExit.
struct BlindingSnapshot {
    Scalar scalar;
    FieldElement x, neg_y;
    uint64_t infinity_mask;
    uint8_t active;
};

// The calling thread's blinding, into out.
void blinding_snapshot(BlindingSnapshot& out);
// Installs a snapshot as the calling thread's blinding (a worker calls
// blinding_clear() when it is done with it).
void blinding_adopt(const BlindingSnapshot& snap);

}  // namespace qorvex
