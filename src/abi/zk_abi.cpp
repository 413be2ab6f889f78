// Knowledge and DLEQ proofs.
#include <cstdint>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "protocols/proofs.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kBadSecret[] = "secret is zero or >= n";
constexpr char kBadPubkey[] = "invalid pubkey";
constexpr char kBadKnowledgeProof[] = "invalid knowledge proof";
constexpr char kKnowledgeFailed[] = "knowledge proof failed";
constexpr char kBadDleqPoint[] = "invalid DLEQ point";
constexpr char kDleqFalse[] = "DLEQ statement does not hold";
constexpr char kBadDleqProof[] = "invalid DLEQ proof";
constexpr char kDleqFailed[] = "DLEQ proof failed";

bool parse_four(const uint8_t* a33, const uint8_t* b33, const uint8_t* p33, const uint8_t* q33, Point pts[4]) {
    return parse33(a33, pts[0]) && parse33(b33, pts[1]) && parse33(p33, pts[2]) && parse33(q33, pts[3]);
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_zk_knowledge_prove(qorvex_ctx* ctx, const uint8_t* secret32, const uint8_t* pub33,
                                         const uint8_t* msg32, const uint8_t* aux32, uint8_t* proof64_out) {
    if (!ctx || !secret32 || !pub33 || !msg32 || !aux32 || !proof64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> x;
    if (!parse_seckey(secret32, *x)) return set_error(ctx, ErrorCode::BadKey, kBadSecret);
    Point p;
    if (!parse33(pub33, p)) return set_error(ctx, ErrorCode::BadPubkey, kBadPubkey);
    uint8_t proof[64];
    if (!proofs::knowledge_prove(*x, p, msg32, aux32, proof)) return set_error(ctx, ErrorCode::Internal, kInternalError);
    for (int i = 0; i < 64; ++i) proof64_out[i] = proof[i];
    return QORVEX_OK;
}

QORVEX_API int qorvex_zk_knowledge_verify(qorvex_ctx* ctx, const uint8_t* proof64, const uint8_t* pub33,
                                          const uint8_t* msg32) {
    if (!ctx || !proof64 || !pub33 || !msg32) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Point p;
    if (!parse33(pub33, p)) return set_error(ctx, ErrorCode::BadPubkey, kBadPubkey);
    const Scalar s = Scalar::from_bytes_reduce(proof64 + 32);
    if (s.is_zero()) return set_error(ctx, ErrorCode::BadInput, kBadKnowledgeProof);
    return guarded(ctx, [&] {
        if (!proofs::knowledge_verify(proof64, s, p, msg32))
            return set_error(ctx, ErrorCode::VerifyFail, kKnowledgeFailed);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_zk_dleq_prove(qorvex_ctx* ctx, const uint8_t* secret32, const uint8_t* base1_33,
                                    const uint8_t* base2_33, const uint8_t* pub1_33, const uint8_t* pub2_33,
                                    const uint8_t* aux32, uint8_t* proof64_out) {
    if (!ctx || !secret32 || !base1_33 || !base2_33 || !pub1_33 || !pub2_33 || !aux32 || !proof64_out)
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> x;
    if (!parse_seckey(secret32, *x)) return set_error(ctx, ErrorCode::BadKey, kBadSecret);
    Point pts[4];
    if (!parse_four(base1_33, base2_33, pub1_33, pub2_33, pts)) return set_error(ctx, ErrorCode::BadPubkey, kBadDleqPoint);
    // A proof for a false statement would reuse the nonce across different
    // challenges for chosen bases and give x away, so none is made.
    if (!proofs::dleq_statement_holds(*x, pts[0], pts[1], pts[2], pts[3]))
        return set_error(ctx, ErrorCode::BadInput, kDleqFalse);
    uint8_t proof[64];
    if (!proofs::dleq_prove(*x, pts[0], pts[1], pts[2], pts[3], aux32, proof))
        return set_error(ctx, ErrorCode::Internal, kInternalError);
    for (int i = 0; i < 64; ++i) proof64_out[i] = proof[i];
    return QORVEX_OK;
}

QORVEX_API int qorvex_zk_dleq_verify(qorvex_ctx* ctx, const uint8_t* proof64, const uint8_t* base1_33,
                                     const uint8_t* base2_33, const uint8_t* pub1_33, const uint8_t* pub2_33) {
    if (!ctx || !proof64 || !base1_33 || !base2_33 || !pub1_33 || !pub2_33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Point pts[4];
    if (!parse_four(base1_33, base2_33, pub1_33, pub2_33, pts)) return set_error(ctx, ErrorCode::BadPubkey, kBadDleqPoint);
    const Scalar e = Scalar::from_bytes_reduce(proof64);
    const Scalar s = Scalar::from_bytes_reduce(proof64 + 32);
    if (e.is_zero() || s.is_zero()) return set_error(ctx, ErrorCode::BadInput, kBadDleqProof);
    return guarded(ctx, [&] {
        if (!proofs::dleq_verify(e, s, pts[0], pts[1], pts[2], pts[3]))
            return set_error(ctx, ErrorCode::VerifyFail, kDleqFailed);
        return QORVEX_OK;
    });
}

}  // extern "C"
