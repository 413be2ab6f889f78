// Elliptic-curve Diffie-Hellman: the shared point d*Q of a secret scalar and
// a peer's public point, and the ways 32 bytes are derived from it. The
// steps are separate so that other protocols built on a shared point
// (silent payments, ECIES) use the same constant-time code.
#pragma once

#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::ecdh {

// y^2 = x^3 + 7 for a point given with Z = 1. Variable time: for public
// points only.
bool on_curve(const Point& q);

// d*Q in constant time (the variable-base multiplication, then the
// constant-time inverse for the affine form). Q must be finite; d should
// be in [1, n - 1], for then the result is never infinity (the group has
// prime order). Secret: hold it in WipeOnExit<AffinePoint>.
AffinePoint shared_point(const Scalar& d, const Point& q);

// The 33-byte compressed encoding of a finite affine point, with no branch
// on its coordinates.
void write_compressed(const AffinePoint& s, uint8_t out33[33]);

// How the 32 output bytes come from the shared point S.
enum class Derivation {
    sha256_compressed,  // SHA-256 of the compressed S
    sha256_x,           // SHA-256 of x(S)
    raw_x,              // x(S) itself
};

// The output of a derivation; every intermediate is wiped.
void derive(Derivation kind, const AffinePoint& s, uint8_t out32[32]);

// shared_point and derive in one; the point is wiped.
void shared_secret(Derivation kind, const Scalar& d, const Point& q, uint8_t out32[32]);

}  // namespace qorvex::ecdh
