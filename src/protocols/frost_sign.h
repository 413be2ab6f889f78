// FROST signing with per-signer binding factors, adapted to BIP-340: the
// group commitment R and the group key Y are made even at signing time (the
// signers negate their nonces and shares to match), so the aggregate is an
// ordinary BIP-340 signature under x(Y).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "arith/point.h"
#include "arith/scalar.h"
#include "protocols/frost_blobs.h"

namespace qorvex::frost {

// d = hash "FROST_nonce_hiding"(seed || id), e likewise with
// "FROST_nonce_binding", and their points. The nonces depend on nothing
// else: a seed must never serve two signing runs.
void sign_nonce_gen(uint32_t id, const uint8_t seed32[32], uint8_t nonce_out[kNonceSize],
                    uint8_t commit_out[kNonceCommitSize]);

// What signers, verifiers and the aggregator all derive from the group
// key, the ordered commitment list and the message.
struct SigningContext {
    std::vector<Scalar> rho;           // binding factor of each commitment, list order
    std::vector<Point> nonce_points;   // D_j + rho_j E_j of each, before any negation
    bool r_odd = false;       // R (before normalisation) had odd y
    bool r_infinity = false;
    uint8_t r_x[32] = {};
    bool y_odd = false;
    Scalar c;  // BIP-340 challenge over x(R), x(Y), msg
};

// rho_j = hash "FROST_binding"(Y as given || id_j || every D_j || E_j ||
// msg), R = sum of D_j + rho_j E_j, c. Throws std::bad_alloc.
SigningContext signing_context(const uint8_t group_key33[33], const std::vector<NonceCommitment>& commits,
                               const uint8_t msg32[32]);

// lambda_i = prod x_j / prod (x_j - x_i) over the list's other identifiers,
// with the constant-time inverse; zero when id is not in the list.
Scalar lagrange_coefficient(const std::vector<NonceCommitment>& commits, uint32_t id);

// Position of id in the list, or commits.size().
size_t index_of(const std::vector<NonceCommitment>& commits, uint32_t id);

// z_i = d' + rho_i e' + lambda_i s' c, with d, e negated when R had odd y
// and the share when Y had, all in constant time. index is the signer's
// position in the list.
Scalar sign(const SigningContext& sc, const std::vector<NonceCommitment>& commits, size_t index,
            const Scalar& share, const Scalar& d, const Scalar& e);

// z_i*G = R_i + (lambda_i c) Y_i', R_i = D_i + rho_i E_i and Y_i' the
// verification share, each negated with R and Y.
bool verify_partial(const SigningContext& sc, const std::vector<NonceCommitment>& commits, size_t index,
                    const Scalar& z, const Point& verification_share);

// x(R) || sum z_i; false when R is infinity, x(R) is zero or the sum is.
bool aggregate(const SigningContext& sc, const std::vector<PartialSig>& partials, uint8_t sig64_out[64]);

}  // namespace qorvex::frost
