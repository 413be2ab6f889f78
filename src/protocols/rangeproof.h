// Bulletproofs range proofs that a Pedersen commitment V = v H + gamma G
// hides a v in [0, 2^64): one 64-bit value, a logarithmic inner-product
// argument, 688 bytes.
//
//   A S T1 T2 (33 each) || tau_x mu t_hat (32 each) || L_0..L_5 || R_0..R_5
//   (33 each) || a b (32 each)
//
// Transcript (tagged SHA-256, each digest read modulo n):
//   y, z = "Bulletproof/y", "Bulletproof/z" over A || S || V
//   x    = "Bulletproof/x" over T1 || T2 || y || z
//   w    = "Bulletproof/ip" over x || tau_x || mu || t_hat
//   u_k  = "Bulletproof/ip" over u_(k-1) || L_k || R_k, u_(-1) = w
// The inner-product point is U = w H. Binding it and the round challenges
// to everything before them is what keeps a prover from moving part of the
// claimed inner product into the H components of A or of the rounds: with
// U = H and challenges over L_k || R_k alone, a commitment to -1 could be
// proved in range.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::rangeproof {

inline constexpr size_t kBits = 64;
inline constexpr size_t kRounds = 6;
inline constexpr size_t kProofSize = 688;

// Offsets of the proof's fields.
inline constexpr size_t kOffA = 0, kOffS = 33, kOffT1 = 66, kOffT2 = 99;
inline constexpr size_t kOffTaux = 132, kOffMu = 164, kOffThat = 196;
inline constexpr size_t kOffL = 228, kOffR = 426, kOffA_ = 624, kOffB_ = 656;

// The vector generators G_i and H_i, i < 64: the try-and-increment points
// of tagged "Bulletproof/gen" over 'G' or 'H' || i (4 bytes, little-endian).
// Made once per process on first use; affine, even y.
struct Generators {
    AffinePoint g[kBits];
    AffinePoint h[kBits];
};
const Generators& generators();

// --- The transcript, shared by prover and verifier (and by the tests). ---

void challenges_yz(const uint8_t a33[33], const uint8_t s33[33], const uint8_t v33[33], Scalar& y, Scalar& z);
Scalar challenge_x(const uint8_t t1_33[33], const uint8_t t2_33[33], const Scalar& y, const Scalar& z);
Scalar challenge_w(const Scalar& x, const Scalar& tau_x, const Scalar& mu, const Scalar& t_hat);
Scalar challenge_u(const Scalar& prev, const uint8_t l33[33], const uint8_t r33[33]);

// delta(y, z) = (z - z^2) sum y^i - z^3 (2^64 - 1), the sum over i < 64;
// delta_of_sum takes that sum ready made.
Scalar delta(const Scalar& y, const Scalar& z);
Scalar delta_of_sum(const Scalar& sum_y, const Scalar& z);

// --- Proving. ---

enum class ProveStatus {
    ok,
    commitment_mismatch,  // commitment != value H + blinding G
    degenerate,           // a zero challenge (y, w or a round's u), or a folded generator at infinity
};

// The proof of value for commitment = value H + blinding G, all prover
// randomness derived from the blinding, the commitment and aux32. Constant
// time in value and blinding up to the blinded vectors l(x) and r(x), which
// the proof may show without loss; the inner-product rounds over them run in
// variable time. proof_out is written only for ok.
ProveStatus prove(uint64_t value, const Scalar& blinding, const Point& commitment, const uint8_t aux32[32],
                  uint8_t proof_out[kProofSize]);

// --- Verifying. ---

struct ParsedProof {
    AffinePoint a, s, t1, t2, l[kRounds], r[kRounds];
    Scalar tau_x, mu, t_hat, a_final, b_final;
    const uint8_t* bytes;  // the 688 bytes, whose point fields are canonical encodings
};

enum class ParseStatus { ok, bad_point, bad_scalar };

// Every point must decompress, then every scalar must be below n.
ParseStatus parse(const uint8_t proof[kProofSize], ParsedProof& out);

// Both checks, the polynomial identity and the inner-product argument, as
// one sum of 148 terms, the first check weighted by a hash of the proof and
// the commitment. Variable time; may throw std::bad_alloc (the
// multi-scalar scratch) and whatever the generator tables throw.
bool verify(const ParsedProof& proof, const Point& commitment);

}  // namespace qorvex::rangeproof
