// Non-interactive proofs with tagged SHA-256 challenges and deterministic
// nonces: knowledge of the discrete logarithm of a public key (a Schnorr
// proof with an even-y nonce point), and equality of two discrete
// logarithms with respect to two bases (Chaum-Pedersen).
//
//   knowledge proof (64): x(R) || s        R = k G with even y, s = k + e x
//   DLEQ proof (64):      e || s           s = k + e x
#pragma once

#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::proofs {

inline constexpr size_t kProofSize = 64;

// k = int(tagged "ZK/nonce" of (x XOR SHA-256(aux)) || P || data || aux) mod
// n, constant time in x; everything but k is wiped.
Scalar nonce(const Scalar& x, const uint8_t p33[33], const uint8_t data32[32], const uint8_t aux32[32]);

// Proof of knowledge of x for P (base G). The pair is not checked: for
// P != x G the proof fails verification. False (nothing written) only for a
// zero nonce.
bool knowledge_prove(const Scalar& x, const Point& p, const uint8_t msg32[32], const uint8_t aux32[32],
                     uint8_t proof_out[64]);

// s = 0 is refused by the caller; this is the equation only.
bool knowledge_verify(const uint8_t proof[64], const Scalar& s, const Point& p, const uint8_t msg32[32]);

// The statement pub1 = x base1 and pub2 = x base2, checked in constant time
// (only the verdict is public).
bool dleq_statement_holds(const Scalar& x, const Point& base1, const Point& base2, const Point& pub1,
                          const Point& pub2);

// The DLEQ proof. False (nothing written) only for a zero nonce.
bool dleq_prove(const Scalar& x, const Point& base1, const Point& base2, const Point& pub1, const Point& pub2,
                const uint8_t aux32[32], uint8_t proof_out[64]);

// e and s non-zero (checked by the caller).
bool dleq_verify(const Scalar& e, const Scalar& s, const Point& base1, const Point& base2, const Point& pub1,
                 const Point& pub2);

}  // namespace qorvex::proofs
