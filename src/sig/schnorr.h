// BIP-340 Schnorr signatures over secp256k1 with 32-byte x-only keys.
//
// Signing is constant time in the secret key and the nonce. Routines report
// failure by false and an all-zero signature; the exported frames turn that
// into codes. Messages may have any length, as BIP-340 allows; the exported
// functions always pass 32 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/field.h"
#include "arith/point.h"
#include "arith/scalar.h"
#include "sig/xonly_cache.h"

namespace qorvex {

// A secret key prepared for BIP-340 signing. It holds the secret: keep it in
// WipeOnExit (it is a plain value for that reason).
struct SchnorrKeypair {
    Scalar d;           // d', the key itself, or n - d when d*G has odd y
    uint8_t xonly[32];  // x(d*G), big-endian
};

// A parsed signature.
struct SchnorrSignature {
    FieldElement r;  // x(R)
    Scalar s;

    // The canonical form only: r < p and 1 <= s <= n - 1. On failure out
    // holds no meaningful value.
    static bool parse(const uint8_t sig64[64], SchnorrSignature& out);
    void write(uint8_t sig64_out[64]) const;
};

// P = d*G by the constant-time comb, made affine in constant time, and d'
// selected by mask. A zero d gives the all-zero keypair. Written in place so
// that no copy of d' is left behind in a temporary.
void schnorr_keypair(const Scalar& d, SchnorrKeypair& out);

// The same from d and its affine public point P = d*G, for callers that
// made P themselves (several keys made affine together).
void schnorr_keypair_from_point(const Scalar& d, const Point& p_affine, SchnorrKeypair& out);

// e = int(tagged hash "BIP0340/challenge" of r || P || m) mod n.
Scalar schnorr_challenge(const uint8_t r32[32], const uint8_t xonly32[32], const uint8_t* msg, size_t msg_len);

// The BIP-340 signature of msg with 32 bytes of auxiliary randomness. The
// nonce point R = k'*G uses the calling thread's blinding when it is on;
// the result does not depend on it. False, with sig64_out zeroed, for a zero
// d' and for a degenerate result (see schnorr_output_ok). sig64_out may
// overlap the inputs.
bool schnorr_sign(const SchnorrKeypair& kp, const uint8_t* msg, size_t msg_len, const uint8_t aux32[32],
                  uint8_t sig64_out[64]);

// The two halves of schnorr_sign, for signers that make several nonce
// points affine together: the nonce k' of kp, msg and aux32; then the
// signature from k' and its nonce point R = k'*G, affine or at infinity (k'
// is negated in place when R has odd y). The same checks and result as
// schnorr_sign, except that kp.d must already be known to be non-zero.
Scalar schnorr_nonce(const SchnorrKeypair& kp, const uint8_t* msg, size_t msg_len, const uint8_t aux32[32]);
bool schnorr_sign_with_nonce(const SchnorrKeypair& kp, Scalar& k, const Point& big_r, const uint8_t* msg,
                             size_t msg_len, uint8_t sig64_out[64]);

// schnorr_sign, then the signature is verified against kp.xonly (lifted
// from its bytes through this thread's cache) before it is released; false with sig64_out zeroed
// when signing or that check fails. Reaches the variable-time generator
// multiplication, which may throw while it (re)builds its tables.
bool schnorr_sign_verified(const SchnorrKeypair& kp, const uint8_t* msg, size_t msg_len, const uint8_t aux32[32],
                           uint8_t sig64_out[64]);

// The last check of signing: true when s is not zero and r is not all zero
// bytes. Otherwise the 64 bytes are zeroed and the result is false.
bool schnorr_output_ok(uint8_t sig64[64]);

// The BIP-340 equation s*G - e*P = R with R of even y and x(R) = r, against
// an already lifted key. A signature that parse would refuse is refused
// here too. May throw like schnorr_sign_verified.
bool schnorr_verify(const XonlyPubkey& key, const uint8_t* msg, size_t msg_len, const SchnorrSignature& sig);

// The same from the key's bytes, lifted through this thread's
// XonlyPointCache; false also when the key does not lift.
bool schnorr_verify(const uint8_t xonly32[32], const uint8_t* msg, size_t msg_len, const SchnorrSignature& sig);

}  // namespace qorvex
