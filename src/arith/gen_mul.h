// k*G for secret k in constant time: a signed-digit comb over a 352-entry
// table built once per process, and an optional per-thread additive blinding
// that signing and public keys of secret keys use.
#pragma once

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex {

// k*G in constant time, unblinded; Jacobian (not normalised) or infinity.
Point gen_mul_ct(const Scalar& k);

// The public key of a secret d != 0: d*G by gen_mul_blinded (a long-term
// key is multiplied again and again, exactly what averaging side-channel
// attacks need, so it gets the thread's blinding like a nonce), made affine
// with the constant-time inverse (the Jacobian Z of a secret multiple leaks
// through a variable-time one), its Jacobian form wiped. The affine point is
// public and marked so. Infinity for d = 0.
Point public_key_point(const Scalar& d);

// k*G with the calling thread's blinding when it is on, else gen_mul_ct.
Point gen_mul_blinded(const Scalar& k);

// A thread's blinding: the value b and the affine point -b*G. Secret; wipe
// every copy (WipeOnExit<BlindingState>).
struct BlindingState {
    Scalar scalar;
    FieldElement x, neg_y;   // -b*G, affine
    uint64_t infinity_mask;  // all ones if b*G were infinity (never for b != 0)
    uint8_t active;
};

// Installs b (non-zero) and -b*G as this thread's blinding.
void blinding_set(const Scalar& b);
// Wipes this thread's blinding and turns it off.
void blinding_clear();
// Whether this thread's blinding is on.
bool blinding_active();

// The blinding is per thread, so work that a call hands to worker threads
// would run unblinded. The calling thread takes a snapshot, and each worker
// adopts it before its first secret multiplication and clears it when done:
//   WipeOnExit<BlindingState> snap([] { return current_blinding(); });
//   ... in the worker: adopt_blinding(*snap); ...; blinding_clear();
BlindingState current_blinding();
void adopt_blinding(const BlindingState& state);

// The storage of this thread's state, so that tests can check it is wiped
// when the thread ends.
const BlindingState* blinding_storage();

}  // namespace qorvex
