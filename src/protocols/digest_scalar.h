// A 32-byte digest read as a secret scalar without branching on it: the
// nonce derivations of MuSig2 and FROST take a digest as it is when it lies
// in [1, n - 1] and fall back to a second candidate otherwise, and which of
// the two was taken must not show.
#pragma once

#include <cstdint>

#include "arith/scalar.h"

namespace qorvex {

// The digest as a scalar, reduced modulo n, and through valid_mask all ones
// exactly when the digest itself was in [1, n - 1]. Constant time.
Scalar digest_scalar_ct(const uint8_t digest32[32], uint64_t& valid_mask);

// All ones when the len bytes at a and b are equal; reads every byte.
uint64_t bytes_equal_mask(const uint8_t* a, const uint8_t* b, size_t len);

}  // namespace qorvex
