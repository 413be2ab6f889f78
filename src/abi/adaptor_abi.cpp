// Adaptor signatures, Schnorr (BIP-340) and ECDSA: pre-sign, pre-verify,
// adapt, extract.
#include <cstdint>
#include <cstring>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "sig/adaptor.h"
#include "sig/ecdsa.h"
#include "sig/schnorr.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;
using adaptor::EcdsaPresig;
using adaptor::SchnorrPresig;

namespace {

constexpr char kBadAdaptorPoint[] = "invalid adaptor point";
constexpr char kDegenerate[] = "adaptor sign produced degenerate output";
constexpr char kBadRHat[] = "invalid adaptor R_hat";
constexpr char kBadSHat[] = "invalid adaptor sig scalar";
constexpr char kNonCanonicalKey[] = "non-canonical pubkey (x>=p)";
constexpr char kSchnorrVerifyFailed[] = "adaptor verify failed";
constexpr char kBadAdaptorSecret[] = "adaptor secret is zero or >= n";
constexpr char kBadSchnorrSig[] = "invalid schnorr signature";
constexpr char kSchnorrExtractFailed[] = "adaptor extract failed";
constexpr char kBadPresig[] = "invalid adaptor pre-signature";
constexpr char kBadPubkey[] = "invalid pubkey";
constexpr char kEcdsaVerifyFailed[] = "ECDSA adaptor verify failed";
constexpr char kBadEcdsaSig[] = "invalid ECDSA sig";
constexpr char kEcdsaExtractFailed[] = "ECDSA adaptor extract failed";

// The pre-signature's two checks, in their order and with their messages.
int parse_schnorr_presig(qorvex_ctx* ctx, const uint8_t* presig97, SchnorrPresig& out) {
    switch (SchnorrPresig::parse(presig97, out)) {
        case SchnorrPresig::ParseError::r_hat: return set_error(ctx, ErrorCode::BadSig, kBadRHat);
        case SchnorrPresig::ParseError::s_hat: return set_error(ctx, ErrorCode::BadSig, kBadSHat);
        case SchnorrPresig::ParseError::ok: break;
    }
    return QORVEX_OK;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_schnorr_adaptor_sign(qorvex_ctx* ctx, const uint8_t* seckey32, const uint8_t* msg32,
                                           const uint8_t* adaptor33, const uint8_t* aux32, uint8_t* presig97_out) {
    if (!ctx || !seckey32 || !msg32 || !adaptor33 || !aux32 || !presig97_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    Point t;
    if (!parse33(adaptor33, t)) return set_error(ctx, ErrorCode::BadPubkey, kBadAdaptorPoint);
    uint8_t presig[adaptor::kSchnorrPresigSize];
    if (!adaptor::schnorr_sign(*d, msg32, t, aux32, presig)) return set_error(ctx, ErrorCode::Internal, kDegenerate);
    std::memcpy(presig97_out, presig, sizeof presig);
    return QORVEX_OK;
}

QORVEX_API int qorvex_schnorr_adaptor_verify(qorvex_ctx* ctx, const uint8_t* presig97, const uint8_t* xonly32,
                                             const uint8_t* msg32, const uint8_t* adaptor33) {
    if (!ctx || !presig97 || !xonly32 || !msg32 || !adaptor33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    SchnorrPresig pre;
    if (const int rc = parse_schnorr_presig(ctx, presig97, pre)) return rc;
    FieldElement x;
    if (!FieldElement::parse_strict(xonly32, x)) return set_error(ctx, ErrorCode::BadPubkey, kNonCanonicalKey);
    Point t;
    if (!parse33(adaptor33, t)) return set_error(ctx, ErrorCode::BadPubkey, kBadAdaptorPoint);
    return guarded(ctx, [&] {
        // A key x that is not on the curve fails here too.
        if (!adaptor::schnorr_verify(pre, xonly32, msg32, t))
            return set_error(ctx, ErrorCode::VerifyFail, kSchnorrVerifyFailed);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_schnorr_adaptor_adapt(qorvex_ctx* ctx, const uint8_t* presig97, const uint8_t* secret32,
                                            uint8_t* sig64_out) {
    if (!ctx || !presig97 || !secret32 || !sig64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    SchnorrPresig pre;
    if (const int rc = parse_schnorr_presig(ctx, presig97, pre)) return rc;
    WipeOnExit<Scalar> t;
    if (!parse_seckey(secret32, *t)) return set_error(ctx, ErrorCode::BadInput, kBadAdaptorSecret);
    adaptor::schnorr_adapt(pre, *t, sig64_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_schnorr_adaptor_extract(qorvex_ctx* ctx, const uint8_t* presig97, const uint8_t* sig64,
                                              uint8_t* secret32_out) {
    if (!ctx || !presig97 || !sig64 || !secret32_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    SchnorrPresig pre;
    if (const int rc = parse_schnorr_presig(ctx, presig97, pre)) return rc;
    SchnorrSignature sig;
    if (!SchnorrSignature::parse(sig64, sig)) return set_error(ctx, ErrorCode::BadSig, kBadSchnorrSig);
    WipeOnExit<Scalar> t;
    if (!adaptor::schnorr_extract(pre, sig.s, *t)) return set_error(ctx, ErrorCode::Internal, kSchnorrExtractFailed);
    t->to_bytes(secret32_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_ecdsa_adaptor_sign(qorvex_ctx* ctx, const uint8_t* seckey32, const uint8_t* msg32,
                                         const uint8_t* adaptor33, uint8_t* presig162_out) {
    if (!ctx || !seckey32 || !msg32 || !adaptor33 || !presig162_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    Point t;
    if (!parse33(adaptor33, t)) return set_error(ctx, ErrorCode::BadPubkey, kBadAdaptorPoint);
    uint8_t presig[adaptor::kEcdsaPresigSize];
    if (!adaptor::ecdsa_sign(*d, msg32, t, presig)) return set_error(ctx, ErrorCode::Internal, kDegenerate);
    std::memcpy(presig162_out, presig, sizeof presig);
    return QORVEX_OK;
}

QORVEX_API int qorvex_ecdsa_adaptor_verify(qorvex_ctx* ctx, const uint8_t* presig162, const uint8_t* pub33,
                                           const uint8_t* msg32, const uint8_t* adaptor33) {
    if (!ctx || !presig162 || !pub33 || !msg32 || !adaptor33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    EcdsaPresig pre;
    if (!EcdsaPresig::parse(presig162, pre)) return set_error(ctx, ErrorCode::BadSig, kBadPresig);
    Point p, t;
    if (!parse33(pub33, p)) return set_error(ctx, ErrorCode::BadPubkey, kBadPubkey);
    if (!parse33(adaptor33, t)) return set_error(ctx, ErrorCode::BadPubkey, kBadAdaptorPoint);
    return guarded(ctx, [&] {
        if (!adaptor::ecdsa_verify(pre, p, msg32, t)) return set_error(ctx, ErrorCode::VerifyFail, kEcdsaVerifyFailed);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_ecdsa_adaptor_adapt(qorvex_ctx* ctx, const uint8_t* presig162, const uint8_t* secret32,
                                          uint8_t* sig64_out) {
    if (!ctx || !presig162 || !secret32 || !sig64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    EcdsaPresig pre;
    if (!EcdsaPresig::parse(presig162, pre)) return set_error(ctx, ErrorCode::BadSig, kBadPresig);
    WipeOnExit<Scalar> t;
    if (!parse_seckey(secret32, *t)) return set_error(ctx, ErrorCode::BadInput, kBadAdaptorSecret);
    adaptor::ecdsa_adapt(pre, *t, sig64_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_ecdsa_adaptor_extract(qorvex_ctx* ctx, const uint8_t* presig162, const uint8_t* sig64,
                                            uint8_t* secret32_out) {
    if (!ctx || !presig162 || !sig64 || !secret32_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    EcdsaPresig pre;
    if (!EcdsaPresig::parse(presig162, pre)) return set_error(ctx, ErrorCode::BadSig, kBadPresig);
    ecdsa::Signature sig;
    if (!ecdsa::parse_compact(sig64, sig)) return set_error(ctx, ErrorCode::BadSig, kBadEcdsaSig);
    WipeOnExit<Scalar> t;
    if (!adaptor::ecdsa_extract(pre, sig.s, *t)) return set_error(ctx, ErrorCode::Internal, kEcdsaExtractFailed);
    t->to_bytes(secret32_out);
    return QORVEX_OK;
}

}  // extern "C"
