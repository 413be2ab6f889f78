// Range proofs: a 688-byte proof that a Pedersen commitment hides a value in
// [0, 2^64).
#include <cstdint>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "protocols/rangeproof.h"
#include "support/declassify.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kBlindingGeN[] = "blinding >= n";
constexpr char kBadCommitment[] = "invalid commitment point";
constexpr char kCommitmentMismatch[] = "commitment does not match value and blinding";
constexpr char kBufferSmall[] = "range proof buffer too small";
constexpr char kTooShort[] = "range proof too short";
constexpr char kLengthMismatch[] = "range proof length mismatch";
constexpr char kBadPoint[] = "invalid point in range proof";
constexpr char kBadScalar[] = "invalid scalar in range proof";
constexpr char kFailed[] = "range proof failed";

static_assert(rangeproof::kProofSize == QORVEX_ZK_RANGE_PROOF_SIZE, "the proof layout is part of the ABI");

}  // namespace

extern "C" {

QORVEX_API int qorvex_zk_range_prove(qorvex_ctx* ctx, uint64_t value, const uint8_t* blinding32,
                                     const uint8_t* commitment33, const uint8_t* aux32, uint8_t* proof_out,
                                     size_t* proof_len) {
    if (!ctx || !blinding32 || !commitment33 || !aux32 || !proof_out || !proof_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> gamma;
    if (!declassify_bool(Scalar::parse_strict(blinding32, *gamma)))
        return set_error(ctx, ErrorCode::BadInput, kBlindingGeN);
    Point v;
    if (!parse33(commitment33, v)) return set_error(ctx, ErrorCode::BadInput, kBadCommitment);
    return guarded(ctx, [&] {
        uint8_t proof[rangeproof::kProofSize];
        switch (rangeproof::prove(value, *gamma, v, aux32, proof)) {
            case rangeproof::ProveStatus::ok:
                break;
            case rangeproof::ProveStatus::commitment_mismatch:
                return set_error(ctx, ErrorCode::BadInput, kCommitmentMismatch);
            case rangeproof::ProveStatus::degenerate:
                return set_error(ctx, ErrorCode::Internal, kInternalError);
        }
        return write_out(ctx, proof_out, proof_len, proof, sizeof proof, kBufferSmall);
    });
}

QORVEX_API int qorvex_zk_range_verify(qorvex_ctx* ctx, const uint8_t* commitment33, const uint8_t* proof,
                                      size_t proof_len) {
    if (!ctx || !commitment33 || !proof) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (proof_len < rangeproof::kProofSize) return set_error(ctx, ErrorCode::BadInput, kTooShort);
    if (proof_len > rangeproof::kProofSize) return set_error(ctx, ErrorCode::BadInput, kLengthMismatch);
    rangeproof::ParsedProof parsed;
    switch (rangeproof::parse(proof, parsed)) {
        case rangeproof::ParseStatus::ok:
            break;
        case rangeproof::ParseStatus::bad_point:
            return set_error(ctx, ErrorCode::BadInput, kBadPoint);
        case rangeproof::ParseStatus::bad_scalar:
            return set_error(ctx, ErrorCode::BadInput, kBadScalar);
    }
    Point v;
    if (!parse33(commitment33, v)) return set_error(ctx, ErrorCode::BadInput, kBadCommitment);
    return guarded(ctx, [&] {
        if (!rangeproof::verify(parsed, v)) return set_error(ctx, ErrorCode::VerifyFail, kFailed);
        return QORVEX_OK;
    });
}

}  // extern "C"
