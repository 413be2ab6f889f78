// The signature encodings a PSBT signer hands back (BIP-174 partial
// signatures, BIP-371 Taproot key signatures) over a digest the caller
// computed (tx_digest.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sig/ecdsa.h"

namespace qorvex::psbt {

// Legacy and segwit v0 inputs both carry DER(r, s) || sighash byte: BIP-143
// changes the digest, not the signature's form. Minimal DER is at most 72
// bytes.
inline constexpr size_t kMaxEcdsaSignatureSize = 73;

// A BIP-340 signature, followed by the hash type unless it is
// SIGHASH_DEFAULT (BIP-341 forbids an explicit 0x00).
inline constexpr size_t kSchnorrSignatureSize = 64;
constexpr size_t taproot_signature_size(uint8_t sighash) { return sighash == 0 ? 64 : 65; }

// DER(sig) || sighash into out; its length.
inline size_t encode_ecdsa(const ecdsa::Signature& sig, uint8_t sighash, uint8_t out[kMaxEcdsaSignatureSize]) {
    const size_t n = ecdsa::der_encode(sig, out);
    out[n] = sighash;
    return n + 1;
}

// sig64 || sighash (left out for 0) into out; its length.
inline size_t encode_taproot(const uint8_t sig64[64], uint8_t sighash, uint8_t out[65]) {
    std::memcpy(out, sig64, 64);
    if (sighash != 0) out[64] = sighash;
    return taproot_signature_size(sighash);
}

}  // namespace qorvex::psbt
