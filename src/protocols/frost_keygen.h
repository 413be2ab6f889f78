// Dealerless FROST key generation: every participant deals a Feldman
// sharing of a random polynomial of degree t - 1 and proves knowledge of its
// constant term; the group key is the sum of the constant terms'
// commitments, a participant's signing share the sum of the shares it
// receives.
//
// Everything a participant produces follows from its 32-byte seed and its
// identifier: a seed must never serve two key generations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocols/frost_blobs.h"

namespace qorvex::frost {

// Writes participant id's commitment blob (commitment_size(t) bytes) and
// share blob (36 n bytes, entry j - 1 for participant j). The counts must
// already be checked: 2 <= t <= n <= 2^20, 1 <= id <= n. Throws
// std::bad_alloc when the polynomial cannot be allocated, before writing.
void keygen_begin(uint32_t id, uint32_t t, uint32_t n, const uint8_t seed32[32], uint8_t* commits_out,
                  uint8_t* shares_out);

// Where finalisation stopped, in its order of checks.
enum class FinalizeFault {
    none,
    commitment_count,
    commitment_sender,
    duplicate_commitment_sender,
    commitment_coefficient,
    commitment_proof,
    share_sender,
    duplicate_share_sender,
    share_scalar,
    failed,  // a share off its commitments, or a degenerate key
};

// Participant id's key package from the n commitment blobs (any order) and
// the n share entries addressed to it (any order). Every blob is parsed and
// every proof checked before any share is looked at. The counts must
// already be checked, and the two lengths match n, t. On failure out is not
// written. Throws std::bad_alloc.
bool keygen_finalize(uint32_t id, uint32_t t, uint32_t n, const uint8_t* all_commits, const uint8_t* shares,
                     KeyPackage& out, FinalizeFault& fault);

// The proof of knowledge closing a commitment blob, checked as finalisation
// does: z below n and z*G - c*C_0 = R with even y and x(R) = rx32, where
// c = hash "FROST_keygen_pok"(sender || C_0 || rx32).
bool verify_constant_term_proof(uint32_t sender, const uint8_t c0_33[33], const Point& c0, const uint8_t rx32[32],
                                const uint8_t z32[32]);

}  // namespace qorvex::frost
