// The hashes of FROST key generation and signing. Its tags are hashed on
// every use (SHA-256(SHA-256(tag) || SHA-256(tag) || m) from scratch), except
// "FROST_binding", whose midstate is among the fixed ones.
#pragma once

#include <cstdint>

#include "arith/scalar.h"
#include "hash/sha256.h"

namespace qorvex::frost {

inline constexpr char kTagKeygenPoly[] = "FROST_keygen_poly";
inline constexpr char kTagKeygenPokNonce[] = "FROST_keygen_pok_nonce";
inline constexpr char kTagKeygenPok[] = "FROST_keygen_pok";
inline constexpr char kTagNonceHiding[] = "FROST_nonce_hiding";
inline constexpr char kTagNonceBinding[] = "FROST_nonce_binding";

// A digest D as a secret scalar: D itself when it lies in [1, n - 1],
// otherwise SHA-256(D || 00000000). Both candidates are computed and the
// choice is a mask. (The second failing too is beyond any practical chance;
// its reduction is taken then.)
Scalar hash_to_scalar(const uint8_t digest32[32]);

// The tagged hash of seed || id (big-endian) || extra (extra_len bytes),
// turned into a secret scalar by hash_to_scalar: the derivation of every
// FROST secret from a participant's seed.
Scalar seeded_scalar(const char* tag, const uint8_t seed32[32], uint32_t id, const uint8_t* extra, size_t extra_len);

}  // namespace qorvex::frost
