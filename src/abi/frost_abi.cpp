// FROST threshold signatures: dealerless key generation and signing.
#include <algorithm>
#include <cstring>
#include <vector>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "protocols/frost_blobs.h"
#include "protocols/frost_keygen.h"
#include "protocols/frost_sign.h"
#include "support/bytes.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;
using namespace qorvex::frost;

namespace {

constexpr char kBadThreshold[] = "invalid threshold";
constexpr char kBadParticipantId[] = "invalid participant_id";
constexpr char kTooManyParticipants[] = "num_participants too large";
constexpr char kCommitsTooSmall[] = "commits buffer too small";
constexpr char kSharesTooSmall[] = "shares buffer too small";
constexpr char kCommitsLength[] = "all_commits length does not match threshold and num_participants";
constexpr char kSharesLength[] = "received_shares length does not match num_participants";
constexpr char kCommitCount[] = "invalid commitment coefficient count";
constexpr char kCommitSender[] = "invalid commitment sender";
constexpr char kCommitDuplicate[] = "duplicate commitment sender";
constexpr char kCommitCoefficient[] = "invalid commitment coefficient";
constexpr char kCommitProof[] = "invalid commitment proof of knowledge";
constexpr char kShareSender[] = "invalid share sender";
constexpr char kShareDuplicate[] = "duplicate share sender";
constexpr char kShareScalar[] = "invalid share scalar";
constexpr char kFinalizeFailed[] = "FROST keygen finalize failed";

constexpr char kNoSigners[] = "n_signers must be non-zero";
constexpr char kTooManySigners[] = "n_signers too large";
constexpr char kKeypkgMetadata[] = "invalid key package participant metadata";
constexpr char kKeypkgThreshold[] = "invalid key package threshold";
constexpr char kSignerCount[] = "invalid signer count";
constexpr char kBelowThreshold[] = "n_signers below threshold (FROST requires >= t signers)";
constexpr char kBadSigningShare[] = "invalid signing share in keypkg";
constexpr char kBadVerificationShare[] = "invalid verification share";
constexpr char kBadGroupKey[] = "invalid group public key";
constexpr char kBadHidingNonce[] = "invalid hiding nonce";
constexpr char kBadBindingNonce[] = "invalid binding nonce";
constexpr char kCommitSigner[] = "invalid nonce commitment signer";
constexpr char kCommitSignerDuplicate[] = "duplicate nonce commitment signer";
constexpr char kHidingPoint[] = "invalid hiding nonce point";
constexpr char kBindingPoint[] = "invalid binding nonce point";
constexpr char kMissingOwnCommit[] = "missing signer nonce commitment";
constexpr char kBadPartial[] = "FROST signer returned invalid partial signature";

constexpr char kPartialIdZero[] = "partial_sig.id must be non-zero";
constexpr char kPartialScalar[] = "invalid partial sig scalar";
constexpr char kCommitIdZero[] = "nonce commitment signer IDs must be non-zero";
constexpr char kCommitIdDuplicate[] = "duplicate nonce commitment signer IDs";
constexpr char kPartialIdMissing[] = "partial_sig.id not found in nonce_commits";
constexpr char kPartialVerifyFailed[] = "FROST partial signature verification failed";

constexpr char kNoPartials[] = "partial_sigs must be non-empty";
constexpr char kCountMismatch[] = "partial/nonces signer count mismatch";
constexpr char kTooManySignerEntries[] = "signer count too large";
constexpr char kPartialSigner[] = "invalid partial sig signer";
constexpr char kPartialSignerDuplicate[] = "duplicate partial sig signer";
constexpr char kPartialSignerMissing[] = "partial sig signer missing from nonce commitments";
constexpr char kAggregateFailed[] = "FROST aggregate produced invalid signature";

// Threshold, identifier and size: the order both key generation calls
// check them in. 0 when they pass.
int check_counts(qorvex_ctx* ctx, uint32_t id, uint32_t t, uint32_t n) {
    if (t < 2 || n < t) return set_error(ctx, ErrorCode::BadInput, kBadThreshold);
    if (id == 0 || id > n) return set_error(ctx, ErrorCode::BadInput, kBadParticipantId);
    if (n > kMaxParticipants) return set_error(ctx, ErrorCode::BadInput, kTooManyParticipants);
    return QORVEX_OK;
}

// The messages of a nonce commitment list; signing names its failures
// differently from verification.
struct CommitMessages {
    const char* id;
    const char* duplicate;
};
constexpr CommitMessages kSignerCommitMessages{kCommitSigner, kCommitSignerDuplicate};
constexpr CommitMessages kVerifierCommitMessages{kCommitIdZero, kCommitIdDuplicate};

// The list parsed, or the failure recorded.
bool read_commitments(qorvex_ctx* ctx, const uint8_t* list, size_t count, uint32_t max_id,
                      const CommitMessages& messages, std::vector<NonceCommitment>& out, int& rc) {
    NonceCommitFault fault;
    if (parse_nonce_commitments(list, count, max_id, out, fault)) return true;
    const char* message = kBindingPoint;
    switch (fault) {
        case NonceCommitFault::id: message = messages.id; break;
        case NonceCommitFault::duplicate_id: message = messages.duplicate; break;
        case NonceCommitFault::hiding_point: message = kHidingPoint; break;
        case NonceCommitFault::binding_point:
        case NonceCommitFault::none: break;
    }
    rc = set_error(ctx, ErrorCode::BadInput, message);
    return false;
}

int finalize_error(qorvex_ctx* ctx, FinalizeFault fault) {
    switch (fault) {
        case FinalizeFault::commitment_count: return set_error(ctx, ErrorCode::BadInput, kCommitCount);
        case FinalizeFault::commitment_sender: return set_error(ctx, ErrorCode::BadInput, kCommitSender);
        case FinalizeFault::duplicate_commitment_sender: return set_error(ctx, ErrorCode::BadInput, kCommitDuplicate);
        case FinalizeFault::commitment_coefficient: return set_error(ctx, ErrorCode::BadInput, kCommitCoefficient);
        case FinalizeFault::commitment_proof: return set_error(ctx, ErrorCode::BadInput, kCommitProof);
        case FinalizeFault::share_sender: return set_error(ctx, ErrorCode::BadInput, kShareSender);
        case FinalizeFault::duplicate_share_sender: return set_error(ctx, ErrorCode::BadInput, kShareDuplicate);
        case FinalizeFault::share_scalar: return set_error(ctx, ErrorCode::BadInput, kShareScalar);
        case FinalizeFault::failed:
        case FinalizeFault::none: break;
    }
    return set_error(ctx, ErrorCode::Internal, kFinalizeFailed);
}

// qorvex_frost_sign after its pointer checks, on private copies of the key
// package and the nonce; the result goes to out36 (zero on failure).
int sign_body(qorvex_ctx* ctx, const uint8_t* keypkg, const uint8_t* nonce64, const uint8_t* msg32,
              const uint8_t* nonce_commits, size_t n_signers, uint8_t* out36) {
    if (n_signers == 0) return set_error(ctx, ErrorCode::BadInput, kNoSigners);
    if (n_signers > kMaxParticipants) return set_error(ctx, ErrorCode::BadInput, kTooManySigners);
    WipeOnExit<KeyPackage> kp;
    KeyPackage::Fault kf;
    if (!KeyPackage::parse_header(keypkg, *kp, kf))
        return set_error(ctx, ErrorCode::BadKey, kf == KeyPackage::Fault::metadata ? kKeypkgMetadata : kKeypkgThreshold);
    if (n_signers > kp->participants) return set_error(ctx, ErrorCode::BadInput, kSignerCount);
    if (n_signers < kp->threshold) return set_error(ctx, ErrorCode::BadInput, kBelowThreshold);
    if (!KeyPackage::parse_keys(keypkg, *kp, kf)) {
        const char* message = kf == KeyPackage::Fault::signing_share        ? kBadSigningShare
                              : kf == KeyPackage::Fault::verification_share ? kBadVerificationShare
                                                                            : kBadGroupKey;
        return set_error(ctx, ErrorCode::BadKey, message);
    }
    WipeOnExit<Scalar> d, e;
    if (!parse_seckey(nonce64, *d)) return set_error(ctx, ErrorCode::BadInput, kBadHidingNonce);
    if (!parse_seckey(nonce64 + 32, *e)) return set_error(ctx, ErrorCode::BadInput, kBadBindingNonce);
    std::vector<NonceCommitment> commits;
    int rc = QORVEX_OK;
    if (!read_commitments(ctx, nonce_commits, n_signers, kp->participants, kSignerCommitMessages, commits, rc))
        return rc;
    const size_t mine = index_of(commits, kp->id);
    if (mine == commits.size()) return set_error(ctx, ErrorCode::BadInput, kMissingOwnCommit);

    const SigningContext sc = signing_context(kp->group_key33, commits, msg32);
    const Scalar z = sign(sc, commits, mine, kp->signing_share, *d, *e);
    // The identifier is the key package's own, so only a zero z can be
    // wrong here.
    if (z.is_zero()) return set_error(ctx, ErrorCode::Internal, kBadPartial);
    store_le32(out36 + partial_sig_layout::kId, kp->id);
    z.to_bytes(out36 + partial_sig_layout::kZ);
    return QORVEX_OK;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_frost_keygen_begin(qorvex_ctx* ctx, uint32_t participant_id, uint32_t threshold,
                                         uint32_t num_participants, const uint8_t* seed32, uint8_t* commits_out,
                                         size_t* commits_len, uint8_t* shares_out, size_t* shares_len) {
    if (!ctx || !seed32 || !commits_out || !commits_len || !shares_out || !shares_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (const int rc = check_counts(ctx, participant_id, threshold, num_participants)) return rc;
    // t <= N <= 2^20 from here on, so neither size overflows.
    const size_t commits_size = static_cast<size_t>(commitment_size(threshold));
    const size_t shares_size = kShareEntrySize * size_t{num_participants};
    if (*commits_len < commits_size) return set_error(ctx, ErrorCode::BufTooSmall, kCommitsTooSmall);
    if (*shares_len < shares_size) return set_error(ctx, ErrorCode::BufTooSmall, kSharesTooSmall);
    return guarded(ctx, [&] {
        SecretBytes<32> seed;
        std::memcpy(seed.data(), seed32, 32);
        keygen_begin(participant_id, threshold, num_participants, seed.data(), commits_out, shares_out);
        *commits_len = commits_size;
        *shares_len = shares_size;
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_frost_keygen_finalize(qorvex_ctx* ctx, uint32_t participant_id, const uint8_t* all_commits,
                                            size_t all_commits_len, const uint8_t* received_shares,
                                            size_t received_shares_len, uint32_t threshold,
                                            uint32_t num_participants, uint8_t* keypkg_out) {
    if (!ctx || !all_commits || !received_shares || !keypkg_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (const int rc = check_counts(ctx, participant_id, threshold, num_participants)) return rc;
    // At most 2^20 * (33 * 2^20 + 72) bytes: 64-bit arithmetic holds it.
    if (uint64_t{all_commits_len} != uint64_t{num_participants} * commitment_size(threshold))
        return set_error(ctx, ErrorCode::BadInput, kCommitsLength);
    if (uint64_t{received_shares_len} != uint64_t{kShareEntrySize} * num_participants)
        return set_error(ctx, ErrorCode::BadInput, kSharesLength);
    return guarded(ctx, [&] {
        WipeOnExit<KeyPackage> kp;
        FinalizeFault fault;
        if (!keygen_finalize(participant_id, threshold, num_participants, all_commits, received_shares, *kp, fault))
            return finalize_error(ctx, fault);
        SecretBytes<kKeyPackageSize> blob;
        kp->write(blob.data());
        std::memcpy(keypkg_out, blob.data(), kKeyPackageSize);
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_frost_sign_nonce_gen(qorvex_ctx* ctx, uint32_t participant_id, const uint8_t* seed32,
                                           uint8_t* nonce_out, uint8_t* nonce_commit_out) {
    if (!ctx || !seed32 || !nonce_out || !nonce_commit_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (participant_id == 0) return set_error(ctx, ErrorCode::BadInput, kBadParticipantId);
    SecretBytes<32> seed;
    std::memcpy(seed.data(), seed32, 32);
    SecretBytes<kNonceSize> nonce;
    uint8_t commit[kNonceCommitSize];
    sign_nonce_gen(participant_id, seed.data(), nonce.data(), commit);
    std::memcpy(nonce_out, nonce.data(), kNonceSize);
    std::memcpy(nonce_commit_out, commit, kNonceCommitSize);
    return QORVEX_OK;
}

QORVEX_API int qorvex_frost_sign(qorvex_ctx* ctx, const uint8_t* keypkg, uint8_t* nonce, const uint8_t* msg32,
                                 const uint8_t* nonce_commits, size_t n_signers, uint8_t* partial_sig_out) {
    if (!ctx || !keypkg || !nonce || !msg32 || !nonce_commits || !partial_sig_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    uint8_t sig[kPartialSigSize] = {};
    int rc;
    {
        // Zeroes the caller's nonce on every way out of this block, after
        // everything has been read; the result is written after it.
        WipeCallerBuffer wipe_nonce(nonce, kNonceSize);
        SecretBytes<kNonceSize> nonce_copy;
        SecretBytes<kKeyPackageSize> keypkg_copy;
        uint8_t msg[32];
        std::memcpy(nonce_copy.data(), nonce, kNonceSize);
        std::memcpy(keypkg_copy.data(), keypkg, kKeyPackageSize);
        std::memcpy(msg, msg32, 32);
        rc = guarded(ctx, [&] {
            return sign_body(ctx, keypkg_copy.data(), nonce_copy.data(), msg, nonce_commits, n_signers, sig);
        });
    }
    std::memcpy(partial_sig_out, sig, kPartialSigSize);
    return rc;
}

QORVEX_API int qorvex_frost_verify_partial(qorvex_ctx* ctx, const uint8_t* partial_sig,
                                           const uint8_t* verification_share33, const uint8_t* nonce_commits,
                                           size_t n_signers, const uint8_t* msg32, const uint8_t* group_pubkey33) {
    if (!ctx || !partial_sig || !verification_share33 || !nonce_commits || !msg32 || !group_pubkey33)
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (n_signers == 0) return set_error(ctx, ErrorCode::BadInput, kNoSigners);
    if (n_signers > kMaxParticipants) return set_error(ctx, ErrorCode::BadInput, kTooManySigners);
    const uint32_t id = load_le32(partial_sig + partial_sig_layout::kId);
    if (id == 0) return set_error(ctx, ErrorCode::BadInput, kPartialIdZero);
    Scalar z;
    if (!Scalar::parse_strict(partial_sig + partial_sig_layout::kZ, z))
        return set_error(ctx, ErrorCode::BadSig, kPartialScalar);
    Point share;
    if (!parse33(verification_share33, share)) return set_error(ctx, ErrorCode::BadPubkey, kBadVerificationShare);
    return guarded(ctx, [&] {
        std::vector<NonceCommitment> commits;
        int rc = QORVEX_OK;
        if (!read_commitments(ctx, nonce_commits, n_signers, 0, kVerifierCommitMessages, commits, rc)) return rc;
        const size_t index = index_of(commits, id);
        if (index == commits.size()) return set_error(ctx, ErrorCode::BadInput, kPartialIdMissing);
        Point group;
        if (!parse33(group_pubkey33, group)) return set_error(ctx, ErrorCode::BadPubkey, kBadGroupKey);
        const SigningContext sc = signing_context(group_pubkey33, commits, msg32);
        if (!verify_partial(sc, commits, index, z, share))
            return set_error(ctx, ErrorCode::VerifyFail, kPartialVerifyFailed);
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_frost_aggregate(qorvex_ctx* ctx, const uint8_t* partial_sigs, size_t n_partial_sigs,
                                      const uint8_t* nonce_commits, size_t n_signers, const uint8_t* group_pubkey33,
                                      const uint8_t* msg32, uint8_t* sig64_out) {
    if (!ctx || !partial_sigs || !nonce_commits || !group_pubkey33 || !msg32 || !sig64_out)
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // Computed aside and written last, zero on failure: the output may
    // overlap the inputs.
    uint8_t sig[64] = {};
    const int rc = guarded(ctx, [&] {
        if (n_partial_sigs == 0) return set_error(ctx, ErrorCode::BadInput, kNoPartials);
        if (n_signers == 0) return set_error(ctx, ErrorCode::BadInput, kNoSigners);
        if (n_partial_sigs != n_signers) return set_error(ctx, ErrorCode::BadInput, kCountMismatch);
        if (n_signers > kMaxParticipants) return set_error(ctx, ErrorCode::BadInput, kTooManySignerEntries);
        std::vector<PartialSig> partials;
        PartialSigFault pf;
        if (!parse_partial_sigs(partial_sigs, n_partial_sigs, partials, pf)) {
            if (pf == PartialSigFault::scalar) return set_error(ctx, ErrorCode::BadSig, kPartialScalar);
            return set_error(ctx, ErrorCode::BadInput,
                             pf == PartialSigFault::id ? kPartialSigner : kPartialSignerDuplicate);
        }
        std::vector<NonceCommitment> commits;
        int code = QORVEX_OK;
        if (!read_commitments(ctx, nonce_commits, n_signers, 0, kSignerCommitMessages, commits, code)) return code;
        // Both lists are free of repeats; membership by sorted search keeps
        // a long list from costing n^2.
        std::vector<uint32_t> ids(commits.size());
        for (size_t j = 0; j < commits.size(); ++j) ids[j] = commits[j].id;
        std::sort(ids.begin(), ids.end());
        for (const PartialSig& p : partials)
            if (!std::binary_search(ids.begin(), ids.end(), p.id))
                return set_error(ctx, ErrorCode::BadInput, kPartialSignerMissing);
        Point group;
        if (!parse33(group_pubkey33, group)) return set_error(ctx, ErrorCode::BadKey, kBadGroupKey);
        const SigningContext sc = signing_context(group_pubkey33, commits, msg32);
        if (!aggregate(sc, partials, sig)) return set_error(ctx, ErrorCode::Internal, kAggregateFailed);
        return static_cast<int>(QORVEX_OK);
    });
    std::memcpy(sig64_out, sig, 64);
    return rc;
}

}  // extern "C"
