// What a PSBT signer needs around the digests: the key at a BIP-32 path and
// the signatures in the form each input type carries them.
#include <cstring>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "bitcoin/psbt.h"
#include "sig/ecdsa.h"
#include "sig/schnorr.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kDegenerate[] = "signing produced degenerate output";
constexpr char kLegacyNeed73[] = "legacy sig buffer too small (need 73)";
constexpr char kLegacyTooSmall[] = "legacy sig buffer too small";
constexpr char kSegwitNeed73[] = "segwit sig buffer too small (need 73)";
constexpr char kTaprootTooSmall[] = "taproot sig buffer too small";

static_assert(QORVEX_PSBT_ECDSA_SIG_MAX_SIZE == psbt::kMaxEcdsaSignatureSize &&
                  QORVEX_PSBT_TAPROOT_SIG_MAX_SIZE == psbt::taproot_signature_size(1),
              "header sizes");

// DER(r, s) || sighash of a low-S RFC 6979 signature, after the capacity
// check of the caller. The digest and key are read in full before the
// output, which may overlap them, is written.
int sign_ecdsa(qorvex_ctx* ctx, const uint8_t* digest32, const Scalar& d, int sighash_type, uint8_t* sig_out,
               size_t* sig_len, const char* too_small) {
    const ecdsa::Signature sig = ecdsa::sign(digest32, d);
    if (sig.is_zero()) return set_error(ctx, ErrorCode::Internal, kDegenerate);
    uint8_t encoded[psbt::kMaxEcdsaSignatureSize];
    const size_t n = psbt::encode_ecdsa(sig, static_cast<uint8_t>(sighash_type), encoded);
    return write_out(ctx, sig_out, sig_len, encoded, n, too_small);
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_psbt_derive_key(qorvex_ctx* ctx, const qorvex_bip32_key* key, const char* path,
                                      uint8_t* seckey32_out) {
    if (!ctx || !key || !path || !seckey32_out) return QORVEX_ERR_NULL_ARG;
    // Both steps are the BIP-32 exports, whose codes and messages pass
    // through; the derived record holds a key and a chain code.
    WipeOnExit<qorvex_bip32_key> derived;
    if (const int rc = qorvex_bip32_derive_path(ctx, key, path, derived.get())) return rc;
    return qorvex_bip32_privkey(ctx, derived.get(), seckey32_out);
}

QORVEX_API int qorvex_psbt_sign_legacy(qorvex_ctx* ctx, const uint8_t* digest32, const uint8_t* seckey32,
                                       int sighash_type, uint8_t* sig_out, size_t* sig_len) {
    if (!ctx || !digest32 || !seckey32 || !sig_out || !sig_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    if (*sig_len < psbt::kMaxEcdsaSignatureSize) return set_error(ctx, ErrorCode::BufTooSmall, kLegacyNeed73);
    return sign_ecdsa(ctx, digest32, *d, sighash_type, sig_out, sig_len, kLegacyTooSmall);
}

QORVEX_API int qorvex_psbt_sign_segwit(qorvex_ctx* ctx, const uint8_t* digest32, const uint8_t* seckey32,
                                       int sighash_type, uint8_t* sig_out, size_t* sig_len) {
    if (!ctx || !digest32 || !seckey32 || !sig_out || !sig_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (*sig_len < psbt::kMaxEcdsaSignatureSize) return set_error(ctx, ErrorCode::BufTooSmall, kSegwitNeed73);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    return sign_ecdsa(ctx, digest32, *d, sighash_type, sig_out, sig_len, kSegwitNeed73);
}

QORVEX_API int qorvex_psbt_sign_taproot(qorvex_ctx* ctx, const uint8_t* digest32, const uint8_t* seckey32,
                                        int sighash_type, const uint8_t* aux32_or_null, uint8_t* sig_out,
                                        size_t* sig_len) {
    if (!ctx || !digest32 || !seckey32 || !sig_out || !sig_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    const uint8_t sighash = static_cast<uint8_t>(sighash_type);
    if (*sig_len < psbt::taproot_signature_size(sighash))
        return set_error(ctx, ErrorCode::BufTooSmall, kTaprootTooSmall);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    // No randomness given: 32 zero bytes, as libsecp256k1 reads a NULL.
    SecretBytes<32> aux;
    if (aux32_or_null) std::memcpy(aux.data(), aux32_or_null, 32);
    WipeOnExit<SchnorrKeypair> kp;
    schnorr_keypair(*d, *kp);
    uint8_t sig[psbt::kSchnorrSignatureSize];
    if (!schnorr_sign(*kp, digest32, 32, aux.data(), sig)) return set_error(ctx, ErrorCode::Internal, kDegenerate);
    uint8_t encoded[psbt::kSchnorrSignatureSize + 1];
    const size_t n = psbt::encode_taproot(sig, sighash, encoded);
    std::memcpy(sig_out, encoded, n);
    *sig_len = n;
    return QORVEX_OK;
}

}  // extern "C"
