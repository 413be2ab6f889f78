// Witness records of signature verification for arithmetic circuits: every
// intermediate value of an ECDSA or a BIP-340 verification, each as 32
// big-endian bytes and again as five 52-bit limbs (a SNARK whose native field
// is smaller than 256 bits holds one limb per field element), and a flag
// saying whether the signature verifies.
//
// The record layouts live here and nowhere else. Everything in them is
// public verification data: variable-time arithmetic throughout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::snark {

// limb52 form of a 256-bit value v: five 64-bit little-endian words, word k
// holding bits 52k .. 52k + 51 of v (the last one bits 208 .. 255).
inline constexpr size_t kLimb52Size = 40;
void write_limb52(const uint8_t be32[32], uint8_t out40[kLimb52Size]);

// The ECDSA record: eleven 32-byte values, the limb52 form of every one but
// the message, in the same order, and the flag.
namespace ecdsa_layout {
inline constexpr size_t kMsg = 0;        // message hash as given
inline constexpr size_t kR = 32;         // r as given
inline constexpr size_t kS = 64;         // s as given
inline constexpr size_t kQx = 96;        // public key, affine
inline constexpr size_t kQy = 128;
inline constexpr size_t kW = 160;        // s^-1 mod n
inline constexpr size_t kU1 = 192;       // z * w mod n, z the message hash mod n
inline constexpr size_t kU2 = 224;       // r * w mod n
inline constexpr size_t kRx = 256;       // R = u1*G + u2*Q, affine
inline constexpr size_t kRy = 288;
inline constexpr size_t kRxModN = 320;
inline constexpr size_t kLimbs = 352;    // limb52 of r, s, Qx, Qy, w, u1, u2, Rx, Ry, Rx mod n
inline constexpr size_t kValid = 752;    // uint32 LE: 1 when Rx mod n = r
inline constexpr size_t kSize = 756;
}  // namespace ecdsa_layout

// The BIP-340 record: seven 32-byte values, the limb52 form of the six after
// the message (r and the key x reduced modulo p), and the flag.
namespace schnorr_layout {
inline constexpr size_t kMsg = 0;     // message as given
inline constexpr size_t kR = 32;      // signature bytes 0..31 as given
inline constexpr size_t kS = 64;      // signature bytes 32..63 as given
inline constexpr size_t kPx = 96;     // public key x as given
inline constexpr size_t kRy = 128;    // even y of lift_x(r)
inline constexpr size_t kPy = 160;    // even y of lift_x(key x)
inline constexpr size_t kE = 192;     // the BIP-340 challenge mod n
inline constexpr size_t kLimbs = 224;  // limb52 of r mod p, s, x mod p, R.y, P.y, e
inline constexpr size_t kValid = 464;  // uint32 LE: 1 when the BIP-340 check passes
inline constexpr size_t kSize = 468;
}  // namespace schnorr_layout

// The ECDSA record of (r, s) over the 32-byte hash under q. q must not be
// infinity and r, s must lie in [1, n - 1]; no low-S rule applies. When
// u1*G + u2*Q is infinity its fields, Rx mod n and the flag are zero.
void ecdsa_witness(const uint8_t msg32[32], const Point& q, const Scalar& r, const Scalar& s,
                   uint8_t out[ecdsa_layout::kSize]);

// The BIP-340 record of sig64 over the 32-byte message under the x-only key;
// s (signature bytes 32..63) must lie in [1, n - 1]. r and the key are taken
// as they come: when r, then the key, is not the x of a curve point, the
// fields from R.y (then P.y) on and the flag are zero.
void schnorr_witness(const uint8_t msg32[32], const uint8_t xonly32[32], const uint8_t sig64[64], const Scalar& s,
                     uint8_t out[schnorr_layout::kSize]);

}  // namespace qorvex::snark
