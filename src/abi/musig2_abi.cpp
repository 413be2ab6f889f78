// MuSig2 for two or three signers.
#include <cstring>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "arith/gen_mul.h"
#include "protocols/digest_scalar.h"
#include "protocols/musig2.h"
#include "protocols/musig2_blobs.h"
#include "support/bytes.h"
#include "support/declassify.h"
#include "support/os_random.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;
using namespace qorvex::musig2;

namespace {

constexpr char kTooFewKeys[] = "need >= 2 pubkeys";
constexpr char kTooManyKeys[] = "too many pubkeys for keyagg blob";
constexpr char kBadKeyInList[] = "invalid pubkey in key list";
constexpr char kAggKeyInfinity[] = "aggregate pubkey is infinity";
constexpr char kTooFewNonces[] = "need >= 2 nonces";
constexpr char kTooManyNonces[] = "nonce count too large";
constexpr char kBadPubNonceR1[] = "invalid pubnonce R1";
constexpr char kBadPubNonceR2[] = "invalid pubnonce R2";
constexpr char kAggNonceInfinity[] = "aggregated nonce is infinity";
constexpr char kBadAggNonceR1[] = "invalid agg nonce R1";
constexpr char kBadAggNonceR2[] = "invalid agg nonce R2";
constexpr char kBadKeyAggCount[] = "invalid keyagg participant count";
constexpr char kBadAggKey[] = "invalid aggregated key";
constexpr char kBadCoefficient[] = "invalid key coefficient in keyagg";
constexpr char kBadSessionR[] = "invalid session R point";
constexpr char kBadSessionB[] = "invalid session scalar b";
constexpr char kBadSessionE[] = "invalid session scalar e";
constexpr char kBadSessionCount[] = "invalid session participant count";
constexpr char kSessionCountMismatch[] = "session participant count does not match keyagg";
constexpr char kSignerIndex[] = "signer_index out of range";
constexpr char kWrongSigner[] = "privkey does not match pubkeys[signer_index] \xE2\x80\x94 wrong signer_index";
constexpr char kBadK1[] = "invalid secnonce k1";
constexpr char kBadK2[] = "invalid secnonce k2";
constexpr char kDegenerate[] = "musig2_partial_sign produced degenerate zero output";
constexpr char kV1Disabled[] =
    "qorvex_musig2_partial_sign (v1) is disabled: Rule-13 signer-index cross-check cannot be enforced without "
    "per-signer pubkeys. Use qorvex_musig2_partial_sign_v2 (carries the pubkeys[] array and validates "
    "privkey<->signer_index at the ABI boundary).";
constexpr char kPartialSigRange[] = "partial sig >= n";
constexpr char kVerifyFailed[] = "partial sig verify failed";
constexpr char kNoPartialSigs[] = "partial_sigs must be non-empty";
constexpr char kTooManyPartialSigs[] = "partial sig count too large";
constexpr char kPartialCountMismatch[] = "partial_sigs count does not match session participant count";
constexpr char kZeroSignature[] = "aggregate signature is zero";

constexpr size_t kMaxNonces = 1u << 20;

// The keyagg blob, or the failure recorded with its code and message.
std::optional<KeyAgg> read_keyagg(qorvex_ctx* ctx, const uint8_t* blob, int& rc) {
    KeyAgg::Fault fault;
    auto ka = KeyAgg::parse(blob, fault);
    switch (fault) {
        case KeyAgg::Fault::none: break;
        case KeyAgg::Fault::participant_count: rc = set_error(ctx, ErrorCode::BadInput, kBadKeyAggCount); break;
        case KeyAgg::Fault::aggregate_key: rc = set_error(ctx, ErrorCode::BadKey, kBadAggKey); break;
        case KeyAgg::Fault::coefficient: rc = set_error(ctx, ErrorCode::BadInput, kBadCoefficient); break;
    }
    return ka;
}

std::optional<Session> read_session(qorvex_ctx* ctx, const uint8_t* blob, int& rc) {
    Session::Fault fault;
    auto s = Session::parse(blob, fault);
    const char* message = nullptr;
    switch (fault) {
        case Session::Fault::none: return s;
        case Session::Fault::r_point: message = kBadSessionR; break;
        case Session::Fault::b: message = kBadSessionB; break;
        case Session::Fault::e: message = kBadSessionE; break;
        case Session::Fault::participant_count: message = kBadSessionCount; break;
    }
    rc = set_error(ctx, ErrorCode::BadInput, message);
    return std::nullopt;
}

// The checks and signing of qorvex_musig2_partial_sign_v2 on private
// copies of its inputs; the result goes to sig32 (zero on failure).
int partial_sign_body(qorvex_ctx* ctx, const uint8_t* secnonce64, const uint8_t* privkey32, const uint8_t* pubkeys,
                      const uint8_t* keyagg, const uint8_t* session, size_t signer_index, uint8_t* sig32) {
    WipeOnExit<Scalar> d;
    if (!parse_seckey(privkey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    int rc = QORVEX_OK;
    const auto ka = read_keyagg(ctx, keyagg, rc);
    if (!ka) return rc;
    if (signer_index >= ka->n) return set_error(ctx, ErrorCode::BadInput, kSignerIndex);
    {
        uint8_t mine[33];
        public_key_point(*d).to_compressed(mine);
        // Compared without an early exit; the verdict is the error code.
        if (!declassify_bool(bytes_equal_mask(mine, pubkeys + kPubkeySize * signer_index, kPubkeySize) != 0))
            return set_error(ctx, ErrorCode::BadKey, kWrongSigner);
    }
    WipeOnExit<Scalar> k1, k2;
    if (!parse_seckey(secnonce64, *k1)) return set_error(ctx, ErrorCode::BadInput, kBadK1);
    if (!parse_seckey(secnonce64 + 32, *k2)) return set_error(ctx, ErrorCode::BadInput, kBadK2);
    const auto s = read_session(ctx, session, rc);
    if (!s) return rc;
    if (s->n != ka->n) return set_error(ctx, ErrorCode::BadInput, kSessionCountMismatch);

    const SignerInput in{d.get(), k1.get(), k2.get(), pubkeys, ka->n, signer_index};
    const Scalar si = partial_sign(*ka, *s, in);
    if (si.is_zero()) return set_error(ctx, ErrorCode::Internal, kDegenerate);
    si.to_bytes(sig32);
    return QORVEX_OK;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_musig2_key_agg(qorvex_ctx* ctx, const uint8_t* pubkeys, size_t n_pubkeys, uint8_t* keyagg_out,
                                     uint8_t* agg_pubkey32_out) {
    if (!ctx || !pubkeys || !keyagg_out || !agg_pubkey32_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // The keys are read before the outputs are zeroed, which they may
    // overlap.
    uint8_t keys[kMaxKeys * kPubkeySize] = {};
    const bool count_ok = n_pubkeys >= kMinKeys && n_pubkeys <= kMaxKeys;
    if (count_ok) std::memcpy(keys, pubkeys, kPubkeySize * n_pubkeys);
    std::memset(keyagg_out, 0, kKeyAggSize);
    std::memset(agg_pubkey32_out, 0, 32);
    if (n_pubkeys < kMinKeys) return set_error(ctx, ErrorCode::BadInput, kTooFewKeys);
    if (n_pubkeys > kMaxKeys) return set_error(ctx, ErrorCode::BadInput, kTooManyKeys);
    return guarded(ctx, [&] {
        KeyAggFault fault;
        const auto ka = key_agg(keys, n_pubkeys, fault);
        if (fault == KeyAggFault::bad_pubkey) return set_error(ctx, ErrorCode::BadPubkey, kBadKeyInList);
        if (!ka) return set_error(ctx, ErrorCode::Arith, kAggKeyInfinity);
        ka->write(keyagg_out);
        std::memcpy(agg_pubkey32_out, ka->q_x(), 32);
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_musig2_nonce_gen(qorvex_ctx* ctx, const uint8_t* privkey32, const uint8_t* pubkey32,
                                       const uint8_t* agg_pubkey32, const uint8_t* msg32, const uint8_t* extra_rand32,
                                       uint8_t* secnonce_out, uint8_t* pubnonce_out) {
    if (!ctx || !privkey32 || !pubkey32 || !agg_pubkey32 || !msg32 || !secnonce_out || !pubnonce_out)
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    {
        WipeOnExit<Scalar> d;
        if (!parse_seckey(privkey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    }
    // Private copies first: the outputs may overlap any input.
    SecretBytes<32> key, rand;
    uint8_t pub[32], agg[32], msg[32];
    std::memcpy(key.data(), privkey32, 32);
    std::memcpy(pub, pubkey32, 32);
    std::memcpy(agg, agg_pubkey32, 32);
    std::memcpy(msg, msg32, 32);
    if (extra_rand32)
        std::memcpy(rand.data(), extra_rand32, 32);
    else
        os_random(rand.data(), 32);
    SecretBytes<kSecNonceSize> secnonce;
    uint8_t pubnonce[kPubNonceSize];
    nonce_gen(key.data(), pub, agg, msg, rand.data(), secnonce.data(), pubnonce);
    std::memcpy(secnonce_out, secnonce.data(), kSecNonceSize);
    std::memcpy(pubnonce_out, pubnonce, kPubNonceSize);
    return QORVEX_OK;
}

QORVEX_API int qorvex_musig2_nonce_agg(qorvex_ctx* ctx, const uint8_t* pubnonces, size_t n_pubnonces,
                                       uint8_t* aggnonce_out) {
    if (!ctx || !pubnonces || !aggnonce_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // Every nonce is parsed before the output, which may overlap them, is
    // touched; the output ends up zero on every failure.
    uint8_t agg[kAggNonceSize] = {};
    const int rc = [&] {
        if (n_pubnonces < 2) return set_error(ctx, ErrorCode::BadInput, kTooFewNonces);
        if (n_pubnonces > kMaxNonces) return set_error(ctx, ErrorCode::BadInput, kTooManyNonces);
        NonceAggFault fault;
        if (nonce_agg(pubnonces, n_pubnonces, agg, fault)) return static_cast<int>(QORVEX_OK);
        const char* message = fault == NonceAggFault::r1   ? kBadPubNonceR1
                              : fault == NonceAggFault::r2 ? kBadPubNonceR2
                                                           : kAggNonceInfinity;
        return set_error(ctx, ErrorCode::BadInput, message);
    }();
    std::memcpy(aggnonce_out, agg, kAggNonceSize);
    return rc;
}

QORVEX_API int qorvex_musig2_start_sign_session(qorvex_ctx* ctx, const uint8_t* aggnonce, const uint8_t* keyagg,
                                                const uint8_t* msg32, uint8_t* session_out) {
    if (!ctx || !aggnonce || !keyagg || !msg32 || !session_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    uint8_t nonce_bytes[kAggNonceSize], keyagg_bytes[kKeyAggSize], msg[32];
    std::memcpy(nonce_bytes, aggnonce, kAggNonceSize);
    std::memcpy(keyagg_bytes, keyagg, kKeyAggSize);
    std::memcpy(msg, msg32, 32);
    std::memset(session_out, 0, kSessionSize);
    AggNonce::Fault nonce_fault;
    const auto agg = AggNonce::parse(nonce_bytes, nonce_fault);
    if (nonce_fault == AggNonce::Fault::r1) return set_error(ctx, ErrorCode::BadInput, kBadAggNonceR1);
    if (nonce_fault == AggNonce::Fault::r2) return set_error(ctx, ErrorCode::BadInput, kBadAggNonceR2);
    int rc = QORVEX_OK;
    const auto ka = read_keyagg(ctx, keyagg_bytes, rc);
    if (!ka) return rc;
    return guarded(ctx, [&] {
        session_values(*agg, nonce_bytes, *ka, msg, 32).write(session_out);
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_musig2_partial_sign(qorvex_ctx* ctx, uint8_t* secnonce, const uint8_t* privkey32,
                                          const uint8_t* keyagg, const uint8_t* session, size_t signer_index,
                                          uint8_t* partial_sig_out) {
    (void)signer_index;
    if (!ctx || !secnonce || !privkey32 || !keyagg || !session || !partial_sig_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeCallerBuffer wipe_nonce(secnonce, kSecNonceSize);
    std::memset(partial_sig_out, 0, kPartialSigSize);
    return set_error(ctx, ErrorCode::Deprecated, kV1Disabled);
}

QORVEX_API int qorvex_musig2_partial_sign_v2(qorvex_ctx* ctx, uint8_t* secnonce, const uint8_t* privkey32,
                                             const uint8_t* pubkeys, const uint8_t* keyagg, const uint8_t* session,
                                             size_t signer_index, uint8_t* partial_sig_out) {
    if (!ctx || !secnonce || !privkey32 || !pubkeys || !keyagg || !session || !partial_sig_out)
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    uint8_t sig[kPartialSigSize] = {};
    int rc;
    {
        // Zeroes the caller's nonce on every way out of this block; the
        // signature is written after it, so an output that overlaps the
        // nonce still receives it.
        WipeCallerBuffer wipe_nonce(secnonce, kSecNonceSize);
        SecretBytes<kSecNonceSize> nonce;
        SecretBytes<32> key;
        uint8_t keyagg_bytes[kKeyAggSize], session_bytes[kSessionSize], keys[kMaxKeys * kPubkeySize] = {};
        std::memcpy(nonce.data(), secnonce, kSecNonceSize);
        std::memcpy(key.data(), privkey32, 32);
        std::memcpy(keyagg_bytes, keyagg, kKeyAggSize);
        std::memcpy(session_bytes, session, kSessionSize);
        // The key list is as long as the keyagg blob says; a count that
        // the checks below refuse reads nothing.
        const uint32_t n = load_le32(keyagg_bytes + keyagg_layout::kCount);
        if (n >= kMinKeys && n <= kMaxKeys) std::memcpy(keys, pubkeys, kPubkeySize * n);
        rc = guarded(ctx, [&] {
            return partial_sign_body(ctx, nonce.data(), key.data(), keys, keyagg_bytes, session_bytes, signer_index,
                                     sig);
        });
    }
    std::memcpy(partial_sig_out, sig, kPartialSigSize);
    return rc;
}

QORVEX_API int qorvex_musig2_partial_verify(qorvex_ctx* ctx, const uint8_t* partial_sig, const uint8_t* pubnonce,
                                            const uint8_t* pubkey32, const uint8_t* keyagg, const uint8_t* session,
                                            size_t signer_index) {
    if (!ctx || !partial_sig || !pubnonce || !pubkey32 || !keyagg || !session) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Scalar s;
    if (!Scalar::parse_strict(partial_sig, s)) return set_error(ctx, ErrorCode::BadSig, kPartialSigRange);
    int rc = QORVEX_OK;
    const auto ka = read_keyagg(ctx, keyagg, rc);
    if (!ka) return rc;
    if (signer_index >= ka->n) return set_error(ctx, ErrorCode::BadInput, kSignerIndex);
    const auto sess = read_session(ctx, session, rc);
    if (!sess) return rc;
    if (sess->n != ka->n) return set_error(ctx, ErrorCode::BadInput, kSessionCountMismatch);
    return guarded(ctx, [&] {
        if (!partial_verify(s, pubnonce, pubkey32, *ka, *sess, signer_index))
            return set_error(ctx, ErrorCode::VerifyFail, kVerifyFailed);
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_musig2_partial_sig_agg(qorvex_ctx* ctx, const uint8_t* partial_sigs, size_t n_partial_sigs,
                                             const uint8_t* session, uint8_t* sig64_out) {
    if (!ctx || !partial_sigs || !session || !sig64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (n_partial_sigs == 0) return set_error(ctx, ErrorCode::BadInput, kNoPartialSigs);
    if (n_partial_sigs > kMaxNonces) return set_error(ctx, ErrorCode::BadInput, kTooManyPartialSigs);
    // Every partial signature is range-checked first; only a list as long
    // as the session's (at most three) is kept.
    Scalar partials[kMaxKeys];
    for (size_t i = 0; i < n_partial_sigs; ++i) {
        Scalar s;
        if (!Scalar::parse_strict(partial_sigs + kPartialSigSize * i, s))
            return set_error(ctx, ErrorCode::BadSig, kPartialSigRange);
        if (i < kMaxKeys) partials[i] = s;
    }
    int rc = QORVEX_OK;
    const auto sess = read_session(ctx, session, rc);
    if (!sess) return rc;
    if (n_partial_sigs != sess->n) return set_error(ctx, ErrorCode::BadInput, kPartialCountMismatch);
    uint8_t sig[64];
    if (!partial_sig_agg(partials, n_partial_sigs, *sess, sig)) {
        std::memset(sig64_out, 0, 64);
        return set_error(ctx, ErrorCode::Internal, kZeroSignature);
    }
    std::memcpy(sig64_out, sig, 64);
    return QORVEX_OK;
}

}  // extern "C"
