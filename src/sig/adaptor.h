// Adaptor signatures for BIP-340 Schnorr and for ECDSA. A pre-signature is
// bound to an adaptor point T = t G; anyone can check it against the
// signer's key, the message and T; whoever knows t turns it into an ordinary
// signature (adapt), and the pre-signature with that signature gives t back
// (extract).
//
// Schnorr pre-signature, 97 bytes:
//   R_hat (33, compressed k G after the negation below) || s_hat (32)
//   || negated flag (1: the nonce was negated; any non-zero byte reads as 1)
//   || 31 zero bytes (ignored on input)
// ECDSA pre-signature, 162 bytes:
//   R_hat = k G (33) || R = k T (33) || s_hat = k^-1 (z + r d) (32)
//   || e (32) || v (32), where (e, v) proves log_G(R_hat) = log_T(R)
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::adaptor {

// --- Layouts ---

inline constexpr size_t kSchnorrPresigSize = 97;
inline constexpr size_t kSchnorrRHatOffset = 0;
inline constexpr size_t kSchnorrSHatOffset = 33;
inline constexpr size_t kSchnorrFlagOffset = 65;

inline constexpr size_t kEcdsaPresigSize = 162;
inline constexpr size_t kEcdsaRHatOffset = 0;
inline constexpr size_t kEcdsaROffset = 33;
inline constexpr size_t kEcdsaSHatOffset = 66;
inline constexpr size_t kEcdsaEOffset = 98;
inline constexpr size_t kEcdsaVOffset = 130;

struct SchnorrPresig {
    Point r_hat;  // affine
    Scalar s_hat;
    bool negated;

    enum class ParseError { ok, r_hat, s_hat };
    static ParseError parse(const uint8_t in97[97], SchnorrPresig& out);
};

struct EcdsaPresig {
    Point r_hat, r;  // affine
    Scalar s_hat, e, v;
    Scalar r_scalar;  // x(R) mod n

    // Both points by the compressed rule, the scalars below n (zero is
    // accepted here).
    static bool parse(const uint8_t in162[162], EcdsaPresig& out);
};

// The signing nonce: h = tagged "adaptor_nonce_v1" of key || msg || T ||
// aux (aux_len 32 or 0); h when it lies in [1, n - 1], else h with the
// lowest bit of its last byte flipped, reduced. Both candidates are made and
// one is selected by mask.
Scalar nonce(const Scalar& key, const uint8_t msg32[32], const uint8_t t33[33], const uint8_t* aux, size_t aux_len);

// The candidate rule on a 32-byte hash (both nonces use it); the hash is
// wiped.
Scalar nonce_from_hash(uint8_t h32[32]);

// --- Schnorr ---

// False (nothing written) only when R_hat + T is infinity, which needs a
// nonce equal to -t.
bool schnorr_sign(const Scalar& d, const uint8_t msg32[32], const Point& t, const uint8_t aux32[32],
                  uint8_t presig97_out[97]);
// The key is the x-only key's bytes, lifted here; false also when it does
// not lift.
bool schnorr_verify(const SchnorrPresig& pre, const uint8_t xonly32[32], const uint8_t msg32[32], const Point& t);
void schnorr_adapt(const SchnorrPresig& pre, const Scalar& t, uint8_t sig64_out[64]);
// s of the signature in [1, n - 1] (parsed by the caller); false for t = 0.
bool schnorr_extract(const SchnorrPresig& pre, const Scalar& s, Scalar& t_out);

// --- ECDSA ---

// False (nothing written) for a degenerate result: r = 0, s_hat = 0, or a
// nonce point at infinity.
bool ecdsa_sign(const Scalar& d, const uint8_t msg32[32], const Point& t, uint8_t presig162_out[162]);
bool ecdsa_verify(const EcdsaPresig& pre, const Point& pubkey, const uint8_t msg32[32], const Point& t);
// r || s_hat t^-1, not normalised to low-S.
void ecdsa_adapt(const EcdsaPresig& pre, const Scalar& t, uint8_t sig64_out[64]);
// s of the signature in [1, n - 1]; false when s_hat or t is zero.
bool ecdsa_extract(const EcdsaPresig& pre, const Scalar& s, Scalar& t_out);

}  // namespace qorvex::adaptor
