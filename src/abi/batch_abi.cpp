// Batch verification (ECDSA and BIP-340) and threaded batch signing.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "sig/batch_ecdsa.h"
#include "sig/batch_schnorr.h"
#include "sig/batch_sign.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;
using namespace qorvex::batch;

namespace {

constexpr char kCountTooLarge[] = "batch count too large";
constexpr char kStrideTooSmall[] = "opaque row stride < 129";
constexpr char kRowsTooLong[] = "opaque rows exceed the address space";
constexpr char kBadPubkeyInBatch[] = "invalid pubkey in batch";
constexpr char kBadEcdsaSigInBatch[] = "invalid ECDSA sig in batch";
constexpr char kBadXonlyInBatch[] = "non-canonical pubkey (x>=p) in batch";
constexpr char kBadSchnorrSigInBatch[] = "invalid Schnorr sig in batch";
constexpr char kBatchFailed[] = "batch verify failed";
constexpr char kBadPrivkeyInBatch[] = "privkey[i] is zero or >= n";
constexpr char kDegenerate[] = "signing produced degenerate output";

enum class Scheme { ecdsa, schnorr };

// The code and message of a batch's verdict.
int report(qorvex_ctx* ctx, const BatchVerdict& v, Scheme scheme, bool verdict_counts) {
    if (v.error == ItemError::pubkey)
        return set_error(ctx, ErrorCode::BadPubkey, scheme == Scheme::ecdsa ? kBadPubkeyInBatch : kBadXonlyInBatch);
    if (v.error == ItemError::signature)
        return set_error(ctx, ErrorCode::BadSig, scheme == Scheme::ecdsa ? kBadEcdsaSigInBatch : kBadSchnorrSigInBatch);
    if (verdict_counts && !v.valid) return set_error(ctx, ErrorCode::VerifyFail, kBatchFailed);
    return QORVEX_OK;
}

int identify(qorvex_ctx* ctx, const uint8_t* items, size_t count, size_t* invalid_out, size_t* invalid_count,
             Scheme scheme) {
    clear_error(ctx);
    if (count == 0) {
        *invalid_count = 0;
        return QORVEX_OK;
    }
    return guarded(ctx, [&] {
        std::vector<size_t> invalid;
        const BatchVerdict v = scheme == Scheme::ecdsa ? ecdsa_identify_invalid(items, count, invalid)
                                                       : schnorr_identify_invalid(items, count, invalid);
        if (v.error != ItemError::none) return report(ctx, v, scheme, false);
        // Everything has been read, so the outputs may overlap the items.
        const size_t shown = std::min(*invalid_count, invalid.size());
        std::copy_n(invalid.begin(), shown, invalid_out);
        *invalid_count = invalid.size();
        return static_cast<int>(QORVEX_OK);
    });
}

// Runs the opaque verification into results, through a copy when results
// overlaps an input (the inputs are read while results is written).
int opaque(qorvex_ctx* ctx, const OpaqueLayout& in, size_t count, uint8_t* results, bool results_overlap) {
    return guarded(ctx, [&] {
        if (!results_overlap) {
            std::memset(results, 0, count);
            ecdsa_verify_opaque(in, count, results);
            return static_cast<int>(QORVEX_OK);
        }
        std::vector<uint8_t> tmp(count, 0);
        ecdsa_verify_opaque(in, count, tmp.data());
        std::memcpy(results, tmp.data(), count);
        return static_cast<int>(QORVEX_OK);
    });
}

// A caller's input copied away from an output that overlaps it; wiped and
// freed at the end of the call (it may hold secret keys).
class InputCopy {
public:
    InputCopy() = default;
    InputCopy(const InputCopy&) = delete;
    InputCopy& operator=(const InputCopy&) = delete;
    ~InputCopy() {
        if (bytes_) secure_wipe(bytes_.get(), size_);
    }
    // in itself when it does not overlap out, else a copy of it.
    const uint8_t* take(const uint8_t* in, size_t n, const uint8_t* out, size_t out_n) {
        if (!buffers_overlap(in, n, out, out_n)) return in;
        bytes_.reset(new uint8_t[n]);
        size_ = n;
        std::memcpy(bytes_.get(), in, n);
        return bytes_.get();
    }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t size_ = 0;
};

int sign_frame(qorvex_ctx* ctx, SignScheme scheme, size_t count, const uint8_t* msgs, const uint8_t* keys,
               const uint8_t* aux, uint8_t* sigs_out) {
    clear_error(ctx);
    // A count of 0 is refused without a message, and the context's code
    // stays as just cleared.
    if (count == 0) return QORVEX_ERR_BAD_INPUT;
    if (count > kMaxBatchCount) return set_error(ctx, ErrorCode::BadInput, kCountTooLarge);
    const size_t out_n = 64 * count;
    return guarded(ctx, [&] {
        SignOutcome outcome;
        try {
            // The outputs are zeroed before any signing, so inputs that
            // share memory with them are read into copies first.
            InputCopy msg_copy, key_copy, aux_copy;
            const uint8_t* m = msg_copy.take(msgs, 32 * count, sigs_out, out_n);
            const uint8_t* k = key_copy.take(keys, 32 * count, sigs_out, out_n);
            const uint8_t* a = aux ? aux_copy.take(aux, 32 * count, sigs_out, out_n) : nullptr;
            std::memset(sigs_out, 0, out_n);
            outcome = sign_batch(scheme, count, m, k, a, sigs_out, sign_batch_threads(count));
        } catch (...) {
            // A failed call leaves no signature behind, whatever failed.
            std::memset(sigs_out, 0, out_n);
            throw;
        }
        switch (outcome) {
            case SignOutcome::ok: return static_cast<int>(QORVEX_OK);
            case SignOutcome::bad_key: return set_error(ctx, ErrorCode::BadKey, kBadPrivkeyInBatch);
            case SignOutcome::degenerate: break;
        }
        return set_error(ctx, ErrorCode::Internal, kDegenerate);
    });
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_ecdsa_batch_verify(qorvex_ctx* ctx, const uint8_t* items, size_t count) {
    if (!ctx) return QORVEX_ERR_NULL_ARG;
    if (count == 0) return QORVEX_OK;
    if (!items) return QORVEX_ERR_NULL_ARG;
    if (count > kMaxBatchCount) return set_error(ctx, ErrorCode::BadInput, kCountTooLarge);
    clear_error(ctx);
    return guarded(ctx, [&] { return report(ctx, ecdsa_batch_verify(items, count, 1), Scheme::ecdsa, true); });
}

QORVEX_API int qorvex_ecdsa_batch_verify_mt(qorvex_ctx* ctx, const uint8_t* items, size_t count, size_t threads) {
    if (!ctx) return QORVEX_ERR_NULL_ARG;
    if (count == 0) return QORVEX_OK;
    if (!items) return QORVEX_ERR_NULL_ARG;
    if (count > kMaxBatchCount) return set_error(ctx, ErrorCode::BadInput, kCountTooLarge);
    clear_error(ctx);
    return guarded(ctx, [&] {
        const size_t t = ecdsa_batch_threads(threads, count);
        return report(ctx, ecdsa_batch_verify(items, count, t), Scheme::ecdsa, true);
    });
}

QORVEX_API int qorvex_ecdsa_batch_identify_invalid(qorvex_ctx* ctx, const uint8_t* items, size_t count,
                                                   size_t* invalid_out, size_t* invalid_count) {
    if (!ctx || !items || !invalid_out || !invalid_count) return QORVEX_ERR_NULL_ARG;
    if (count > kMaxBatchCount) return set_error(ctx, ErrorCode::BadInput, kCountTooLarge);
    return identify(ctx, items, count, invalid_out, invalid_count, Scheme::ecdsa);
}

QORVEX_API int qorvex_ecdsa_verify_opaque_batch(qorvex_ctx* ctx, const uint8_t* msgs32, const uint8_t* pubs33,
                                                const uint8_t* opaque_sigs64, size_t count, uint8_t* results) {
    if (!ctx) return QORVEX_ERR_NULL_ARG;
    if (count == 0) return QORVEX_OK;
    if (!msgs32 || !pubs33 || !opaque_sigs64 || !results) return QORVEX_ERR_NULL_ARG;
    if (count > kMaxBatchCount) return set_error(ctx, ErrorCode::BadInput, kCountTooLarge);
    clear_error(ctx);
    const OpaqueLayout in{msgs32, 32, pubs33, 33, opaque_sigs64, 64};
    const bool overlap = buffers_overlap(results, count, msgs32, 32 * count) ||
                         buffers_overlap(results, count, pubs33, 33 * count) ||
                         buffers_overlap(results, count, opaque_sigs64, 64 * count);
    return opaque(ctx, in, count, results, overlap);
}

QORVEX_API int qorvex_ecdsa_verify_opaque_rows(qorvex_ctx* ctx, const uint8_t* rows, size_t stride, size_t count,
                                               uint8_t* results) {
    if (!ctx) return QORVEX_ERR_NULL_ARG;
    if (count == 0) return QORVEX_OK;
    if (!rows || !results) return QORVEX_ERR_NULL_ARG;
    if (stride <= 128) return set_error(ctx, ErrorCode::BadInput, kStrideTooSmall);
    if (count > kMaxBatchCount) return set_error(ctx, ErrorCode::BadInput, kCountTooLarge);
    clear_error(ctx);
    // The last row needs only its 129 bytes, the rows before it their
    // stride; rows that would run past the end of memory are refused.
    if (stride > (SIZE_MAX - kEcdsaItemSize) / count) return set_error(ctx, ErrorCode::BadInput, kRowsTooLong);
    const size_t span = stride * (count - 1) + kEcdsaItemSize;
    const OpaqueLayout in{rows, stride, rows + kRowKeyOffset, stride, rows + kRowSigOffset, stride};
    return opaque(ctx, in, count, results, buffers_overlap(results, count, rows, span));
}

QORVEX_API int qorvex_schnorr_batch_verify(qorvex_ctx* ctx, const uint8_t* items, size_t count) {
    if (!ctx) return QORVEX_ERR_NULL_ARG;
    if (count == 0) return QORVEX_OK;
    if (!items) return QORVEX_ERR_NULL_ARG;
    if (count > kMaxBatchCount) return set_error(ctx, ErrorCode::BadInput, kCountTooLarge);
    clear_error(ctx);
    return guarded(ctx, [&] { return report(ctx, schnorr_batch_verify(items, count), Scheme::schnorr, true); });
}

QORVEX_API int qorvex_schnorr_batch_identify_invalid(qorvex_ctx* ctx, const uint8_t* items, size_t count,
                                                     size_t* invalid_out, size_t* invalid_count) {
    if (!ctx || !items || !invalid_out || !invalid_count) return QORVEX_ERR_NULL_ARG;
    if (count > kMaxBatchCount) return set_error(ctx, ErrorCode::BadInput, kCountTooLarge);
    return identify(ctx, items, count, invalid_out, invalid_count, Scheme::schnorr);
}

QORVEX_API int qorvex_ecdsa_sign_batch(qorvex_ctx* ctx, size_t count, const uint8_t* msgs32,
                                       const uint8_t* seckeys32, uint8_t* sigs64_out) {
    if (!ctx || !msgs32 || !seckeys32 || !sigs64_out) return QORVEX_ERR_NULL_ARG;
    return sign_frame(ctx, SignScheme::ecdsa, count, msgs32, seckeys32, nullptr, sigs64_out);
}

QORVEX_API int qorvex_schnorr_sign_batch(qorvex_ctx* ctx, size_t count, const uint8_t* msgs32,
                                         const uint8_t* seckeys32, const uint8_t* aux32, uint8_t* sigs64_out) {
    if (!ctx || !msgs32 || !seckeys32 || !sigs64_out || !aux32) return QORVEX_ERR_NULL_ARG;
    return sign_frame(ctx, SignScheme::schnorr, count, msgs32, seckeys32, aux32, sigs64_out);
}

}  // extern "C"
