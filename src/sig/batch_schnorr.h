// Batch verification of BIP-340 signatures by a random linear combination:
// with weights a_i drawn per call, every signature holds exactly when
//
//   (sum a_i s_i) G - sum a_i e_i P_i - sum a_i R_i = infinity,
//
// one multi-scalar multiplication in place of one double multiplication per
// signature. A batch with a bad signature passes only if the weights happen
// to cancel its error, which they do with probability about 1/n. Public data
// only, variable time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "arith/scalar.h"
#include "sig/batch_limits.h"

namespace qorvex::batch {

// x-only public key (32) || message (32) || signature (64).
inline constexpr size_t kSchnorrItemSize = 128;
// Up to this many items each is verified alone.
inline constexpr size_t kSchnorrAloneMax = 96;

struct SchnorrBatchEntry {
    uint8_t key[32];
    uint8_t msg[32];
    uint8_t r[32];
    Scalar s;
};

// The key's x below p (whether it lies on the curve is found out later), then
// the signature: r below p, s in [1, n - 1].
ItemError parse_schnorr_item(const uint8_t item[kSchnorrItemSize], SchnorrBatchEntry& out);

// Whether every entry's signature holds; false for an empty span. From 97
// entries on, by the random linear combination with 32 bytes from the
// operating system (which aborts the process if it has none). Can throw
// (allocation, the generator tables).
bool schnorr_batch_core(std::span<const SchnorrBatchEntry> entries);

// Parses every item, then runs the core on them.
BatchVerdict schnorr_batch_verify(const uint8_t* items, size_t count);

// Parses every item, then verifies each alone and appends the indices of the
// failing ones (an x off the curve fails its item).
BatchVerdict schnorr_identify_invalid(const uint8_t* items, size_t count, std::vector<size_t>& invalid);

}  // namespace qorvex::batch
