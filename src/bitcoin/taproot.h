// BIP-341 key tweaks: the output key Q = P + t*G of an internal key P (lifted
// to even y) with t = TaggedHash("TapTweak", x(P) || merkle root), the
// matching tweak of the private key, and the check that an output key
// commits to an internal key and a root.
//
// The output key and its check work on public keys in variable time and go
// through the generator tables, which may throw while they are (re)built.
// The private-key tweak is constant time in the key and never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "arith/scalar.h"

namespace qorvex::taproot {

inline constexpr size_t kMerkleRootSize = 32;

// TaggedHash("TapTweak", x32 || merkle_root). An empty root is the key-path
// only commitment (BIP-86); BIP-341 roots are 32 bytes, but any length is
// hashed as given.
void tweak_hash(const uint8_t x32[32], std::span<const uint8_t> merkle_root, uint8_t out32[32]);

struct OutputKey {
    uint8_t x[32];
    bool odd_y;
};

// Q for the internal x-only key. nullopt when the key is not the x of a
// curve point (x >= p included), when t >= n, or when Q is infinity.
std::optional<OutputKey> output_key(const uint8_t internal32[32], std::span<const uint8_t> merkle_root);

// True when output_key(internal, root) exists and is (output32, odd_y).
bool commits_to(const uint8_t output32[32], bool odd_y, const uint8_t internal32[32],
                std::span<const uint8_t> merkle_root);

// d' = d + t mod n, where d is first replaced by n - d when d*G has odd y
// and t is the tweak of x(d*G): the key that signs for output_key(x(d*G)).
// d must be a valid key. False, with out zero, when t >= n or d' is zero.
// Constant time in d; the copies of d and d' it makes are wiped.
bool tweak_seckey(const Scalar& d, std::span<const uint8_t> merkle_root, Scalar& out);

}  // namespace qorvex::taproot
