// ECDSA over secp256k1 as Bitcoin uses it: RFC 6979 nonces, low-S signatures,
// public-key recovery, and the compact, opaque and DER encodings.
//
// Routines report failure with the all-zero signature (r = s = 0); the
// exported frames turn that into codes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::ecdsa {

struct Signature {
    Scalar r, s;
    bool is_zero() const { return r.is_zero() || s.is_zero(); }
};

// The RFC 6979 (HMAC-SHA256) nonce for key d and the 32 message bytes as
// given; constant time, all intermediates wiped.
Scalar rfc6979_nonce(const Scalar& d, const uint8_t msg32[32]);

// Low-S signature of a 32-byte hash; (0, 0) on failure. Constant time in d
// and the nonce.
Signature sign(const uint8_t msg32[32], const Scalar& d);
// The last step of sign, for signers that make several nonce points affine
// and invert several nonces together: the signature of msg32 under d from
// the affine nonce point R = k*G (k the non-zero rfc6979_nonce) and k^-1.
// (0, 0) for a degenerate signature. Constant time like sign.
Signature sign_with_nonce(const uint8_t msg32[32], const Scalar& d, const Point& affine_r, const Scalar& kinv);
// The same, with the recovery id (0..3) of the returned signature; recid 0
// on failure.
Signature sign_recoverable(const uint8_t msg32[32], const Scalar& d, int& recid);
// sign(), then verified against d*G; (0, 0) when that check fails.
Signature sign_verified(const uint8_t msg32[32], const Scalar& d);

// The ECDSA equation for public key q (not infinity); does not apply the
// low-S rule.
bool verify(const uint8_t msg32[32], const Point& q, const Signature& sig);
// The same with w = s^-1 already computed (batch verification inverts all
// the s values of a batch together).
bool verify_with_inverse(const uint8_t msg32[32], const Point& q, const Signature& sig, const Scalar& w);

// The public key that made sig with recovery id recid; false when none.
bool recover(const uint8_t msg32[32], const Signature& sig, int recid, Point& out);

// s replaced by n - s when s > (n-1)/2, by mask.
Signature low_s_normalize(const Signature& sig);

// Encodings. The parsers accept exactly the canonical signatures: r and s in
// [1, n-1], never reduced.
bool parse_compact(const uint8_t in64[64], Signature& out);
void write_compact(const Signature& sig, uint8_t out64[64]);
bool parse_opaque(const uint8_t in64[64], Signature& out);
void write_opaque(const Signature& sig, uint8_t out64[64]);

// Minimal DER (at most 72 bytes); returns the length written.
size_t der_encode(const Signature& sig, uint8_t out72[72]);

// Strict DER decoding; the first rule a signature breaks, in the order they
// are checked.
enum class DerError {
    ok,
    sequence,           // length outside 8..72 or not a SEQUENCE
    long_form_length,   // SEQUENCE length in long form
    length_mismatch,    // SEQUENCE length disagrees with the input
    missing_integer,
    truncated,
    long_form_int_length,
    int_length_bounds,  // empty or running past the end
    negative,
    leading_zero,       // unnecessary 0x00
    trailing_bytes,
    component_too_long,  // over 32 bytes
    out_of_range,        // r or s outside [1, n-1]
};

// Writes out64 (compact form) only when the result is ok or out_of_range;
// in the latter case it holds the decoded, unusable values.
DerError der_decode(const uint8_t* der, size_t len, uint8_t out64[64]);

}  // namespace qorvex::ecdsa
