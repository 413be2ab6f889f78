// BIP-340 Schnorr signatures.
#include <cstdint>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "arith/scalar.h"
#include "hash/tagged_hash.h"
#include "sig/schnorr.h"
#include "sig/xonly_cache.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kDegenerate[] = "signing produced degenerate output";
constexpr char kNonCanonicalSig[] = "Non-canonical Schnorr sig (r>=p or s>=n)";
constexpr char kNonCanonicalPubkey[] = "Non-canonical pubkey (x>=p)";
constexpr char kVerifyFailed[] = "Schnorr verify failed";

// The checks and work after the pointer checks, shared by the 32-byte and
// the any-length entry points (the latter clear the context a second time
// here, as if they had called the 32-byte function).
int sign_frame(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* seckey32, const uint8_t* aux32,
               uint8_t* sig64_out, bool verified) {
    clear_error(ctx);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    // The verified form reaches the variable-time generator multiplication,
    // which may throw while it rebuilds its tables.
    return guarded(ctx, [&] {
        WipeOnExit<SchnorrKeypair> kp;
        schnorr_keypair(*d, *kp);
        const bool ok = verified ? schnorr_sign_verified(*kp, msg32, 32, aux32, sig64_out)
                                 : schnorr_sign(*kp, msg32, 32, aux32, sig64_out);
        if (!ok) return set_error(ctx, ErrorCode::Internal, kDegenerate);
        return static_cast<int>(QORVEX_OK);
    });
}

int verify_frame(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* sig64, const uint8_t* xonly32) {
    clear_error(ctx);
    SchnorrSignature sig;
    if (!SchnorrSignature::parse(sig64, sig)) return set_error(ctx, ErrorCode::BadSig, kNonCanonicalSig);
    XonlyPubkey key;
    // Lifting fails for x >= p and for an x off the curve; both get the
    // same code and text.
    if (!lift_x_for_verify(xonly32, key)) return set_error(ctx, ErrorCode::BadPubkey, kNonCanonicalPubkey);
    return guarded(ctx, [&] {
        if (!schnorr_verify(key, msg32, 32, sig)) return set_error(ctx, ErrorCode::VerifyFail, kVerifyFailed);
        return static_cast<int>(QORVEX_OK);
    });
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_schnorr_sign(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* seckey32,
                                   const uint8_t* aux32, uint8_t* sig64_out) {
    if (!ctx || !msg32 || !seckey32 || !aux32 || !sig64_out) return QORVEX_ERR_NULL_ARG;
    return sign_frame(ctx, msg32, seckey32, aux32, sig64_out, false);
}

QORVEX_API int qorvex_schnorr_sign_verified(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* seckey32,
                                            const uint8_t* aux32, uint8_t* sig64_out) {
    if (!ctx || !msg32 || !seckey32 || !aux32 || !sig64_out) return QORVEX_ERR_NULL_ARG;
    return sign_frame(ctx, msg32, seckey32, aux32, sig64_out, true);
}

QORVEX_API int qorvex_schnorr_verify(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* sig64,
                                     const uint8_t* xonly32) {
    if (!ctx || !msg32 || !sig64 || !xonly32) return QORVEX_ERR_NULL_ARG;
    return verify_frame(ctx, msg32, sig64, xonly32);
}

QORVEX_API int qorvex_schnorr_sign_msg(qorvex_ctx* ctx, const uint8_t* seckey32, const uint8_t* msg, size_t msg_len,
                                       const uint8_t* aux32, uint8_t* sig64_out) {
    if (!ctx || !seckey32 || !sig64_out || (!msg && msg_len > 0) || !aux32) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // An empty message absorbs nothing after the tag, so msg is not read.
    uint8_t digest[32];
    tagged_hash(FixedTag::Bip340Msg, msg, msg_len, digest);
    return sign_frame(ctx, digest, seckey32, aux32, sig64_out, false);
}

QORVEX_API int qorvex_schnorr_verify_msg(qorvex_ctx* ctx, const uint8_t* xonly32, const uint8_t* msg,
                                         size_t msg_len, const uint8_t* sig64) {
    if (!ctx || !xonly32 || !sig64 || (!msg && msg_len > 0)) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    uint8_t digest[32];
    tagged_hash(FixedTag::Bip340Msg, msg, msg_len, digest);
    return verify_frame(ctx, digest, sig64, xonly32);
}

}  // extern "C"
