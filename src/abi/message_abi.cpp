// Signed messages: Bitcoin's legacy signmessage form, the simplified BIP-322
// signatures over the tagged message hash, and BIP-322 simple signatures
// (witness stacks of the virtual transactions).
#include <cstring>
#include <string_view>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "bitcoin/bip322.h"
#include "bitcoin/message.h"
#include "sig/ecdsa.h"
#include "sig/pubkey_cache.h"
#include "sig/schnorr.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kDegenerate[] = "signing produced degenerate output";
constexpr char kInvalidPubkey[] = "invalid pubkey";

// Legacy messages.
constexpr char kSignerInvalid[] = "bitcoin message signer returned invalid signature";
constexpr char kBase64TooSmall[] = "base64 buffer too small";
constexpr char kBadBase64Signature[] = "invalid base64 signature";
constexpr char kMessageVerifyFailed[] = "BTC message verify failed";

// BIP-322 over the tagged hash.
constexpr char kP2trBufferTooSmall[] = "P2TR sig buffer too small (need 64)";
constexpr char kEcdsaBufferTooSmall[] = "ECDSA sig buffer too small (need 65)";
constexpr char kP2trKeySize[] = "P2TR requires 32-byte x-only pubkey";
constexpr char kP2trSigSize[] = "P2TR sig must be at least 64 bytes";
constexpr char kEcdsaKeySize[] = "requires 33-byte compressed pubkey";
constexpr char kEcdsaSigSize[] = "sig must be at least 64 bytes";
constexpr char kSigParseFailed[] = "BIP-322 ECDSA sig parse failed";
constexpr char kHighS[] = "BIP-322 ECDSA high-S (non-BIP-62)";
constexpr char kEcdsaVerifyFailed[] = "BIP-322 ECDSA verify failed";

// BIP-322 simple signatures.
constexpr char kUnsupportedType[] = "unsupported address type for BIP-322 simple signatures";
constexpr char kTweakZero[] = "taproot tweak resulted in zero";
constexpr char kSimpleTooSmall[] = "BIP-322 signature buffer too small";
constexpr char kInvalidAddress[] = "invalid address";
constexpr char kUnsupportedAddress[] = "BIP-322 simple signatures need a P2WPKH or P2TR address";
constexpr char kUnsupportedVariant[] = "full and proof-of-funds BIP-322 signatures are not supported";
constexpr char kTooLong[] = "BIP-322 signature too long";
constexpr char kNotBase64[] = "BIP-322 signature is not valid base64";
constexpr char kNotWitness[] = "BIP-322 signature is not a witness stack";
constexpr char kScriptPath[] = "BIP-322 script-path signatures are not supported";
constexpr char kWitnessMismatch[] = "BIP-322 witness does not fit the address";
constexpr char kSighashType[] = "BIP-322 signature must use SIGHASH_ALL";
constexpr char kBadEncoding[] = "BIP-322 signature encoding invalid";
constexpr char kSimpleVerifyFailed[] = "BIP-322 signature verify failed";

static_assert(QORVEX_BTC_MESSAGE_SIG_SIZE == message::kSignatureSize &&
                  QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE == message::kSignatureTextLength + 1 &&
                  QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE == bip322::kMaxSignedTextLength + 1 &&
                  QORVEX_BIP322_P2WPKH == static_cast<int>(bip322::AddressType::p2wpkh) &&
                  QORVEX_BIP322_P2TR == static_cast<int>(bip322::AddressType::p2tr),
              "header sizes");

constexpr int kTaprootType = QORVEX_BIP322_P2TR;
constexpr size_t kSchnorrSigSize = QORVEX_BIP322_SCHNORR_SIG_SIZE;
constexpr size_t kEcdsaSigSize65 = QORVEX_BIP322_ECDSA_SIG_SIZE;

// A NUL-terminated text read no further than max + 1 characters: longer
// texts come back with length max + 1, which every caller refuses.
std::string_view bounded_text(const char* s, size_t max) {
    size_t n = 0;
    while (n <= max && s[n] != '\0') ++n;
    return {s, n};
}

int simple_verify_code(qorvex_ctx* ctx, bip322::VerifyResult r) {
    using bip322::VerifyResult;
    switch (r) {
        case VerifyResult::valid: return QORVEX_OK;
        case VerifyResult::bad_address: return set_error(ctx, ErrorCode::BadInput, kInvalidAddress);
        case VerifyResult::unsupported_address: return set_error(ctx, ErrorCode::BadInput, kUnsupportedAddress);
        case VerifyResult::unsupported_variant: return set_error(ctx, ErrorCode::BadInput, kUnsupportedVariant);
        case VerifyResult::too_long: return set_error(ctx, ErrorCode::BadInput, kTooLong);
        case VerifyResult::bad_base64: return set_error(ctx, ErrorCode::BadInput, kNotBase64);
        case VerifyResult::bad_witness: return set_error(ctx, ErrorCode::BadInput, kNotWitness);
        case VerifyResult::script_path: return set_error(ctx, ErrorCode::BadInput, kScriptPath);
        case VerifyResult::witness_mismatch: return set_error(ctx, ErrorCode::VerifyFail, kWitnessMismatch);
        case VerifyResult::bad_sighash_type: return set_error(ctx, ErrorCode::VerifyFail, kSighashType);
        case VerifyResult::bad_encoding: return set_error(ctx, ErrorCode::VerifyFail, kBadEncoding);
        case VerifyResult::invalid: return set_error(ctx, ErrorCode::VerifyFail, kSimpleVerifyFailed);
    }
    return set_error(ctx, ErrorCode::Internal, kInternalError);
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_btc_message_hash(const uint8_t* msg, size_t msg_len, uint8_t* out32) {
    if (!msg || !out32) return QORVEX_ERR_NULL_ARG;
    message::hash(msg, msg_len, out32);
    return QORVEX_OK;
}

QORVEX_API int qorvex_btc_message_sign(qorvex_ctx* ctx, const uint8_t* msg, size_t msg_len, const uint8_t* seckey32,
                                       char* sig_b64_out, size_t* sig_b64_len) {
    if (!ctx || !msg || !seckey32 || !sig_b64_out || !sig_b64_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // Both inputs are read before the output, which may overlap them, is
    // cleared to the empty text.
    WipeOnExit<Scalar> d;
    const bool key_ok = parse_seckey(seckey32, *d);
    uint8_t digest[32];
    message::hash(msg, msg_len, digest);
    if (*sig_b64_len != 0) sig_b64_out[0] = '\0';
    if (!key_ok) {
        *sig_b64_len = 0;
        return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    }
    int recid = 0;
    const ecdsa::Signature sig = ecdsa::sign_recoverable(digest, *d, recid);
    if (sig.is_zero() || recid < 0 || recid > 3) {
        *sig_b64_len = 0;
        return set_error(ctx, ErrorCode::Internal, kSignerInvalid);
    }
    char text[message::kSignatureTextLength];
    message::encode_signature(sig, recid, text);
    if (*sig_b64_len < sizeof text + 1) {
        *sig_b64_len = 0;
        return set_error(ctx, ErrorCode::BufTooSmall, kBase64TooSmall);
    }
    std::memcpy(sig_b64_out, text, sizeof text);
    sig_b64_out[sizeof text] = '\0';
    *sig_b64_len = sizeof text;
    return QORVEX_OK;
}

QORVEX_API int qorvex_btc_message_verify(qorvex_ctx* ctx, const uint8_t* msg, size_t msg_len, const uint8_t* pub33,
                                         const char* sig_b64) {
    if (!ctx || !msg || !pub33 || !sig_b64) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // The key cache allocates per thread, and verification may rebuild the
    // generator tables.
    return guarded(ctx, [&] {
        const Point* q = cached_pubkey(pub33);
        if (q == nullptr) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPubkey);
        ecdsa::Signature sig;
        if (!message::decode_signature(bounded_text(sig_b64, message::kSignatureTextLength), sig))
            return set_error(ctx, ErrorCode::BadSig, kBadBase64Signature);
        uint8_t digest[32];
        message::hash(msg, msg_len, digest);
        if (!ecdsa::verify(digest, *q, sig)) return set_error(ctx, ErrorCode::VerifyFail, kMessageVerifyFailed);
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_bip322_sign(qorvex_ctx* ctx, const uint8_t* seckey32, int addr_type, const uint8_t* msg,
                                  size_t msg_len, uint8_t* sig_out, size_t* sig_len) {
    if (!ctx || !seckey32 || (!msg && msg_len != 0) || !sig_out || !sig_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    const bool taproot = addr_type == kTaprootType;
    if (taproot && *sig_len < kSchnorrSigSize) return set_error(ctx, ErrorCode::BufTooSmall, kP2trBufferTooSmall);
    if (!taproot && *sig_len < kEcdsaSigSize65) return set_error(ctx, ErrorCode::BufTooSmall, kEcdsaBufferTooSmall);
    uint8_t digest[32];
    bip322::message_hash(msg, msg_len, digest);

    // Signed in full before the output, which may overlap the inputs, is
    // written.
    uint8_t sig[kEcdsaSigSize65];
    size_t n = 0;
    if (taproot) {
        // Zero auxiliary randomness: the same signature on every call.
        static constexpr uint8_t kZeroAux[32] = {};
        WipeOnExit<SchnorrKeypair> kp;
        schnorr_keypair(*d, *kp);
        if (!schnorr_sign(*kp, digest, sizeof digest, kZeroAux, sig))
            return set_error(ctx, ErrorCode::Internal, kDegenerate);
        n = kSchnorrSigSize;
    } else {
        const ecdsa::Signature s = ecdsa::sign(digest, *d);
        if (s.is_zero()) return set_error(ctx, ErrorCode::Internal, kDegenerate);
        ecdsa::write_compact(s, sig);
        sig[64] = QORVEX_SIGHASH_ALL;
        n = kEcdsaSigSize65;
    }
    std::memcpy(sig_out, sig, n);
    *sig_len = n;
    return QORVEX_OK;
}

QORVEX_API int qorvex_bip322_verify(qorvex_ctx* ctx, const uint8_t* pubkey, size_t pubkey_len, int addr_type,
                                    const uint8_t* msg, size_t msg_len, const uint8_t* sig, size_t sig_len) {
    if (!ctx || !pubkey || (!msg && msg_len != 0) || !sig) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    uint8_t digest[32];
    if (addr_type == kTaprootType) {
        if (pubkey_len != QORVEX_XONLY_PUBKEY_SIZE) return set_error(ctx, ErrorCode::BadPubkey, kP2trKeySize);
        if (sig_len < kSchnorrSigSize) return set_error(ctx, ErrorCode::BadSig, kP2trSigSize);
        bip322::message_hash(msg, msg_len, digest);
        // The BIP-340 check itself, with its codes and messages.
        return qorvex_schnorr_verify(ctx, digest, sig, pubkey);
    }
    if (pubkey_len != QORVEX_PUBKEY_COMPRESSED_SIZE) return set_error(ctx, ErrorCode::BadPubkey, kEcdsaKeySize);
    if (sig_len < kSchnorrSigSize) return set_error(ctx, ErrorCode::BadSig, kEcdsaSigSize);
    return guarded(ctx, [&] {
        const Point* q = cached_pubkey(pubkey);
        if (q == nullptr) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPubkey);
        ecdsa::Signature s;
        if (!ecdsa::parse_compact(sig, s)) return set_error(ctx, ErrorCode::BadInput, kSigParseFailed);
        if (s.s.is_high()) return set_error(ctx, ErrorCode::VerifyFail, kHighS);
        bip322::message_hash(msg, msg_len, digest);
        if (!ecdsa::verify(digest, *q, s)) return set_error(ctx, ErrorCode::VerifyFail, kEcdsaVerifyFailed);
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_bip322_simple_sign(qorvex_ctx* ctx, const uint8_t* seckey32, int addr_type, const uint8_t* msg,
                                         size_t msg_len, const uint8_t* aux32_or_null, char* out, size_t* out_len) {
    if (!ctx || !seckey32 || (!msg && msg_len != 0) || !out || !out_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    if (addr_type != QORVEX_BIP322_P2WPKH && addr_type != QORVEX_BIP322_P2TR)
        return set_error(ctx, ErrorCode::BadInput, kUnsupportedType);
    SecretBytes<32> aux;
    if (aux32_or_null) std::memcpy(aux.data(), aux32_or_null, 32);

    bip322::Witness w;
    switch (bip322::simple_sign(*d, static_cast<bip322::AddressType>(addr_type), msg, msg_len, aux.data(), w)) {
        case bip322::SignResult::ok: break;
        case bip322::SignResult::tweak_failed: return set_error(ctx, ErrorCode::Arith, kTweakZero);
        case bip322::SignResult::degenerate: return set_error(ctx, ErrorCode::Internal, kDegenerate);
    }
    char text[bip322::kMaxSignedTextLength];
    const size_t text_len = base64::encoded_size(w.len);
    base64::encode({w.bytes, w.len}, text);
    return write_text_out(ctx, out, out_len, text, text_len, kSimpleTooSmall);
}

QORVEX_API int qorvex_bip322_simple_verify(qorvex_ctx* ctx, const char* address, const uint8_t* msg, size_t msg_len,
                                           const char* signature_b64) {
    if (!ctx || !address || (!msg && msg_len != 0) || !signature_b64) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // Texts longer than any address, or than the longest signature read,
    // are refused without reading them to their end.
    constexpr size_t kLongestAddress = 90;  // Bech32's limit
    const std::string_view addr = bounded_text(address, kLongestAddress);
    const std::string_view sig = bounded_text(signature_b64, bip322::kMaxReadTextLength + 3);
    if (addr.size() > kLongestAddress) return set_error(ctx, ErrorCode::BadInput, kInvalidAddress);
    return guarded(ctx, [&] { return simple_verify_code(ctx, bip322::simple_verify(addr, msg, msg_len, sig)); });
}

}  // extern "C"
