// MuSig2 (BIP-327) for two or three signers, ending in an ordinary BIP-340
// signature under the x-only aggregate key.
//
// Where this follows BIP-327 exactly: key aggregation with the second-key
// rule, nonce aggregation, the session values, signing and partial
// verification (no tweaks). Where it does not: nonces come from a fixed
// 129-byte hash input without length prefixes, the secret nonce is k1 || k2
// only, and the aggregate of the public nonces must not be infinity.
//
// Messages may have any length here, as BIP-327 allows; the exported
// functions always pass 32 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "arith/scalar.h"
#include "protocols/musig2_blobs.h"

namespace qorvex::musig2 {

enum class KeyAggFault { none, bad_pubkey, infinity };

// KeyAgg over n (2 or 3) 33-byte keys in the given order. On bad_pubkey,
// *bad_index is the first key that does not decompress. infinity cannot
// happen without a hash collision; it is refused all the same.
std::optional<KeyAgg> key_agg(const uint8_t* pubkeys, size_t n, KeyAggFault& fault, size_t* bad_index = nullptr);

// The nonce pair of a signer: rand = seckey XOR hash "MuSig/aux"(rand32),
// k_i from hash "MuSig/nonce"(rand || pubkey32 || agg_pubkey32 || msg32 ||
// i), with a fallback candidate (last byte XOR i) chosen in constant time.
// seckey32 must be a valid key. Outputs may not overlap the inputs.
void nonce_gen(const uint8_t seckey32[32], const uint8_t pubkey32[32], const uint8_t agg_pubkey32[32],
               const uint8_t msg32[32], const uint8_t rand32[32], uint8_t secnonce_out[kSecNonceSize],
               uint8_t pubnonce_out[kPubNonceSize]);

enum class NonceAggFault { none, r1, r2, infinity };

// Sum of the R1 halves and of the R2 halves of n public nonces (66 bytes
// each), every one parsed in order first (R1, then R2); infinity when
// either sum is. Nothing is allocated, whatever n is. aggnonce_out is
// written only on success.
bool nonce_agg(const uint8_t* pubnonces, size_t n, uint8_t aggnonce_out[kAggNonceSize], NonceAggFault& fault);

// BIP-327 GetSessionValues: b, R (G when R1 + b*R2 is infinity) made even,
// e. aggnonce_bytes are the 66 bytes agg was parsed from.
Session session_values(const AggNonce& agg, const uint8_t aggnonce_bytes[kAggNonceSize], const KeyAgg& ka,
                       const uint8_t* msg, size_t msg_len);

// What signing needs besides the blobs: the secret key, the secret nonce
// pair and the signer's place among the keys.
struct SignerInput {
    const Scalar* seckey;
    const Scalar* k1;
    const Scalar* k2;
    const uint8_t* pubkeys;  // n_pubkeys compressed keys, in key order
    size_t n_pubkeys;
    size_t signer_index;
};

// s_i = k1 + b*k2 (negated with R) + e*a_i*d (d negated with Q), all in
// constant time. Zero when the index is out of range for the coefficients
// or the keys, when seckey*G is not pubkeys[signer_index], or when e is
// zero: the caller reports any zero as a degenerate result.
Scalar partial_sign(const KeyAgg& ka, const Session& session, const SignerInput& in);

// s_i*G = Re + c*P or Re - c*P, with Re = R1 + b*R2 of the signer's nonce
// (negated with R), c = e*a_i (negated with Q) and P the even-y lift of
// the signer's x-only key: either lift of the key is accepted. False also
// when the nonce or the key does not parse.
bool partial_verify(const Scalar& s, const uint8_t pubnonce[kPubNonceSize], const uint8_t pubkey32[32],
                    const KeyAgg& ka, const Session& session, size_t signer_index);

// s = sum of the partial signatures; false with sig64_out untouched when s
// is zero. Otherwise sig64_out = x(R) || s.
bool partial_sig_agg(const Scalar* partials, size_t n, const Session& session, uint8_t sig64_out[64]);

}  // namespace qorvex::musig2
