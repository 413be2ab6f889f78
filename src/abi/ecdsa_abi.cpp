// ECDSA signing, verification, recovery and the signature encodings.
#include <cstring>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "sig/ecdsa.h"
#include "sig/pubkey_cache.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;
using ecdsa::DerError;
using ecdsa::Signature;

namespace {

constexpr char kDegenerate[] = "signing produced degenerate output";
constexpr char kNonCanonical[] = "non-canonical compact sig";
constexpr char kHighS[] = "high-S signature rejected (BIP-62)";
constexpr char kInvalidPubkey[] = "invalid public key";
constexpr char kVerifyFailed[] = "ECDSA verify failed";
constexpr char kBadOpaque[] = "invalid opaque ECDSA sig";
constexpr char kBadRecid[] = "recid must be 0..3";
constexpr char kRecoveryFailed[] = "recovery failed";
constexpr char kDerBufferTooSmall[] = "DER buffer too small";

const char* der_message(DerError e) {
    switch (e) {
        case DerError::sequence: return "bad DER: missing/oversized SEQUENCE";
        case DerError::long_form_length: return "bad DER: long-form length";
        case DerError::length_mismatch: return "bad DER: length mismatch";
        case DerError::missing_integer: return "bad DER: missing INTEGER";
        case DerError::truncated: return "bad DER: truncated";
        case DerError::long_form_int_length: return "bad DER: long-form int length";
        case DerError::int_length_bounds: return "bad DER: int length out of bounds";
        case DerError::negative: return "bad DER: negative integer";
        case DerError::leading_zero: return "bad DER: unnecessary leading zero";
        case DerError::trailing_bytes: return "bad DER: trailing bytes";
        case DerError::component_too_long: return "bad DER: component > 32 bytes";
        case DerError::out_of_range: return "bad DER: r or s out of range [1,n-1]";
        case DerError::ok: break;
    }
    return "bad DER";
}

enum class SignKind { plain, verified, recoverable };

// The three signing functions after their pointer checks. recid_out is
// written by the recoverable kind only (0 with a degenerate signature).
int sign_frame(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* seckey32, uint8_t* sig64_out, SignKind kind,
               int* recid_out = nullptr) {
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    int recid = 0;
    const Signature sig = kind == SignKind::verified      ? ecdsa::sign_verified(msg32, *d)
                          : kind == SignKind::recoverable ? ecdsa::sign_recoverable(msg32, *d, recid)
                                                          : ecdsa::sign(msg32, *d);
    if (recid_out) *recid_out = recid;
    if (sig.is_zero()) {
        std::memset(sig64_out, 0, 64);
        return set_error(ctx, ErrorCode::Internal, kDegenerate);
    }
    ecdsa::write_compact(sig, sig64_out);
    return QORVEX_OK;
}

// The equation against a cached public key.
int verify_frame(qorvex_ctx* ctx, const uint8_t* msg32, const Signature& sig, const uint8_t* pub33) {
    const Point* q = cached_pubkey(pub33);
    if (!q) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPubkey);
    if (!ecdsa::verify(msg32, *q, sig)) return set_error(ctx, ErrorCode::VerifyFail, kVerifyFailed);
    return QORVEX_OK;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_ecdsa_sign(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* seckey32, uint8_t* sig64_out) {
    if (!ctx || !msg32 || !seckey32 || !sig64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return sign_frame(ctx, msg32, seckey32, sig64_out, SignKind::plain);
}

QORVEX_API int qorvex_ecdsa_sign_verified(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* seckey32,
                                          uint8_t* sig64_out) {
    if (!ctx || !msg32 || !seckey32 || !sig64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return guarded(ctx, [&] { return sign_frame(ctx, msg32, seckey32, sig64_out, SignKind::verified); });
}

QORVEX_API int qorvex_ecdsa_sign_recoverable(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* seckey32,
                                             uint8_t* sig64_out, int* recid_out) {
    if (!ctx || !msg32 || !seckey32 || !sig64_out || !recid_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return sign_frame(ctx, msg32, seckey32, sig64_out, SignKind::recoverable, recid_out);
}

QORVEX_API int qorvex_ecdsa_verify(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* sig64, const uint8_t* pub33) {
    if (!ctx || !msg32 || !sig64 || !pub33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Signature sig;
    if (!ecdsa::parse_compact(sig64, sig)) return set_error(ctx, ErrorCode::BadSig, kNonCanonical);
    if (sig.s.is_high()) return set_error(ctx, ErrorCode::BadSig, kHighS);
    return guarded(ctx, [&] { return verify_frame(ctx, msg32, sig, pub33); });
}

QORVEX_API int qorvex_ecdsa_verify_opaque(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* opaque64,
                                          const uint8_t* pub33) {
    if (!ctx || !msg32 || !opaque64 || !pub33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Signature sig;
    if (!ecdsa::parse_opaque(opaque64, sig)) return set_error(ctx, ErrorCode::BadSig, kBadOpaque);
    sig = ecdsa::low_s_normalize(sig);
    return guarded(ctx, [&] { return verify_frame(ctx, msg32, sig, pub33); });
}

QORVEX_API int qorvex_ecdsa_recover(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* sig64, int recid,
                                    uint8_t* pub33_out) {
    if (!ctx || !msg32 || !sig64 || !pub33_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (static_cast<unsigned>(recid) > 3) return set_error(ctx, ErrorCode::BadInput, kBadRecid);
    Signature sig;
    if (!ecdsa::parse_compact(sig64, sig)) return set_error(ctx, ErrorCode::BadSig, kNonCanonical);
    return guarded(ctx, [&] {
        Point q;
        if (!ecdsa::recover(msg32, sig, recid, q)) return set_error(ctx, ErrorCode::VerifyFail, kRecoveryFailed);
        q.to_compressed(pub33_out);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_ecdsa_sig_from_der(qorvex_ctx* ctx, const uint8_t* der, size_t der_len, uint8_t* sig64_out) {
    if (!ctx || !der || !sig64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    const DerError e = ecdsa::der_decode(der, der_len, sig64_out);
    if (e != DerError::ok) return set_error(ctx, ErrorCode::BadSig, der_message(e));
    return QORVEX_OK;
}

QORVEX_API int qorvex_ecdsa_sig_to_der(qorvex_ctx* ctx, const uint8_t* sig64, uint8_t* der_out, size_t* der_len) {
    if (!ctx || !sig64 || !der_out || !der_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Signature sig;
    if (!ecdsa::parse_compact(sig64, sig)) return set_error(ctx, ErrorCode::BadSig, kNonCanonical);
    uint8_t der[72];
    const size_t n = ecdsa::der_encode(sig, der);
    if (*der_len < n) return set_error(ctx, ErrorCode::BufTooSmall, kDerBufferTooSmall);
    std::memcpy(der_out, der, n);
    *der_len = n;
    return QORVEX_OK;
}

QORVEX_API int qorvex_ecdsa_sig_compact_to_opaque(qorvex_ctx* ctx, const uint8_t* sig64, uint8_t* opaque64_out) {
    if (!ctx || !sig64 || !opaque64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Signature sig;
    if (!ecdsa::parse_compact(sig64, sig)) {
        std::memset(opaque64_out, 0, 64);
        return set_error(ctx, ErrorCode::BadSig, kNonCanonical);
    }
    ecdsa::write_opaque(sig, opaque64_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_ecdsa_sig_opaque_to_compact(qorvex_ctx* ctx, const uint8_t* opaque64, uint8_t* sig64_out) {
    if (!ctx || !opaque64 || !sig64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Signature sig;
    if (!ecdsa::parse_opaque(opaque64, sig)) {
        std::memset(sig64_out, 0, 64);
        return set_error(ctx, ErrorCode::BadSig, kBadOpaque);
    }
    ecdsa::write_compact(sig, sig64_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_ecdsa_sig_normalize_opaque(qorvex_ctx* ctx, const uint8_t* opaque64, uint8_t* opaque64_out,
                                                 int* changed_out) {
    if (!ctx || !opaque64 || !opaque64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Signature sig;
    if (!ecdsa::parse_opaque(opaque64, sig)) {
        std::memset(opaque64_out, 0, 64);
        if (changed_out) *changed_out = 0;
        return set_error(ctx, ErrorCode::BadSig, kBadOpaque);
    }
    uint8_t out[64];
    ecdsa::write_opaque(ecdsa::low_s_normalize(sig), out);
    const bool changed = std::memcmp(out, opaque64, 64) != 0;
    std::memcpy(opaque64_out, out, 64);
    if (changed_out) *changed_out = changed ? 1 : 0;
    return QORVEX_OK;
}

}  // extern "C"
