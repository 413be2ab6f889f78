// MuSig2 with blobs from another party: key lists, public nonces, aggregate
// nonces, keyagg and session blobs and partial signatures, fed to the
// aggregating, session, verifying and signing exports.
//
// Input: a mode byte. Even: raw blobs, in this order: a key count (byte
// % 5) and the keys, a nonce count (byte % 5) and the public nonces, the
// aggregate nonce, keyagg and session blobs, a partial-signature count
// (byte % 5) and the partial signatures, an x-only key, a message, a
// signer index byte, a private key and a secret nonce. Odd: a real run of
// 2 or 3 signers (keys, message and randomness from the input) that must
// end in a valid BIP-340 signature, then one of its blobs (chosen by the
// next byte) has bytes flipped by the rest of the input, and every export
// that reads it runs again.
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_musig2_key_agg, qorvex_musig2_nonce_agg, qorvex_musig2_start_sign_session,
                    qorvex_musig2_partial_verify, qorvex_musig2_partial_sig_agg, qorvex_musig2_partial_sign_v2);

namespace {

constexpr size_t kKeyAgg = QORVEX_MUSIG2_KEYAGG_SIZE;
constexpr size_t kSession = QORVEX_MUSIG2_SESSION_SIZE;
constexpr size_t kPubNonce = QORVEX_MUSIG2_PUBNONCE_SIZE;
constexpr size_t kAggNonce = QORVEX_MUSIG2_AGGNONCE_SIZE;
constexpr size_t kSecNonce = QORVEX_MUSIG2_SECNONCE_SIZE;

bool one_of(int rc, std::initializer_list<int> codes) {
    for (int c : codes)
        if (rc == c) return true;
    return false;
}

bool all_zero(const uint8_t* p, size_t n) {
    uint8_t acc = 0;
    for (size_t i = 0; i < n; ++i) acc |= p[i];
    return acc == 0;
}

// Each export on whatever it is given: only the documented codes, and the
// documented outputs.
void raw(qorvex_ctx* c, Input& in) {
    uint8_t keys[4 * 33] = {}, nonces[4 * kPubNonce] = {}, aggnonce[kAggNonce], keyagg[kKeyAgg], session[kSession];
    uint8_t psigs[4 * 32] = {}, xonly[32], msg[32], key[32], secnonce[kSecNonce];
    const size_t n_keys = in.byte() % 5;
    in.bytes(keys, 33 * n_keys);
    const size_t n_nonces = in.byte() % 5;
    in.bytes(nonces, kPubNonce * n_nonces);
    in.bytes(aggnonce, sizeof aggnonce);
    in.bytes(keyagg, sizeof keyagg);
    in.bytes(session, sizeof session);
    const size_t n_psigs = in.byte() % 5;
    in.bytes(psigs, 32 * n_psigs);
    in.bytes(xonly, 32);
    in.bytes(msg, 32);
    const size_t signer = in.byte() % 4;
    in.bytes(key, 32);
    in.bytes(secnonce, sizeof secnonce);

    uint8_t out_keyagg[kKeyAgg], agg[32];
    int rc = qorvex_musig2_key_agg(c, keys, n_keys, out_keyagg, agg);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_BAD_PUBKEY}));
    if (rc == QORVEX_OK) {
        FUZZ_CHECK(out_keyagg[5] == 0x02 && std::memcmp(agg, out_keyagg + 6, 32) == 0);
    } else {
        FUZZ_CHECK(all_zero(out_keyagg, kKeyAgg) && all_zero(agg, 32));
    }
    uint8_t out_aggnonce[kAggNonce];
    rc = qorvex_musig2_nonce_agg(c, nonces, n_nonces, out_aggnonce);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_INPUT}));
    if (rc != QORVEX_OK) FUZZ_CHECK(all_zero(out_aggnonce, kAggNonce));
    uint8_t out_session[kSession];
    rc = qorvex_musig2_start_sign_session(c, aggnonce, keyagg, msg, out_session);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_BAD_KEY}));
    if (rc != QORVEX_OK) FUZZ_CHECK(all_zero(out_session, kSession));
    rc = qorvex_musig2_partial_verify(c, psigs, nonces, xonly, keyagg, session, signer);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_SIG, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_BAD_KEY,
                           QORVEX_ERR_VERIFY_FAIL}));
    uint8_t sig[64] = {0};
    rc = qorvex_musig2_partial_sig_agg(c, psigs, n_psigs, session, sig);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_SIG, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_INTERNAL}));
    uint8_t psig[32];
    rc = qorvex_musig2_partial_sign_v2(c, secnonce, key, keys, keyagg, session, signer, psig);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_KEY, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_INTERNAL}));
    FUZZ_CHECK(all_zero(secnonce, kSecNonce));
    if (rc != QORVEX_OK) FUZZ_CHECK(all_zero(psig, 32));
}

struct Blobs {
    uint8_t keyagg[kKeyAgg];
    uint8_t session[kSession];
    uint8_t pubnonces[3][kPubNonce];
    uint8_t psigs[3][32];
    uint8_t aggnonce[kAggNonce];
};

void run_and_tamper(qorvex_ctx* c, Input& in) {
    const size_t n = 2 + in.byte() % 2;
    uint8_t keys[3][32], pubkeys[3 * 33], xonly[3][32], msg[32], agg[32], secnonces[3][kSecNonce];
    for (size_t i = 0; i < n; ++i) {
        in.bytes(keys[i], 32);
        keys[i][0] &= 0x7F;  // below n
        keys[i][31] |= 1;    // not zero
        FUZZ_CHECK(qorvex_pubkey_create(c, keys[i], pubkeys + 33 * i) == QORVEX_OK);
        FUZZ_CHECK(qorvex_pubkey_xonly(c, keys[i], xonly[i]) == QORVEX_OK);
    }
    in.bytes(msg, 32);
    Blobs b{};
    FUZZ_CHECK(qorvex_musig2_key_agg(c, pubkeys, n, b.keyagg, agg) == QORVEX_OK);
    for (size_t i = 0; i < n; ++i) {
        uint8_t rand[32];
        in.bytes(rand, 32);
        FUZZ_CHECK(qorvex_musig2_nonce_gen(c, keys[i], xonly[i], agg, msg, rand, secnonces[i], b.pubnonces[i]) ==
                   QORVEX_OK);
    }
    FUZZ_CHECK(qorvex_musig2_nonce_agg(c, b.pubnonces[0], n, b.aggnonce) == QORVEX_OK);
    FUZZ_CHECK(qorvex_musig2_start_sign_session(c, b.aggnonce, b.keyagg, msg, b.session) == QORVEX_OK);
    for (size_t i = 0; i < n; ++i)
        FUZZ_CHECK(qorvex_musig2_partial_sign_v2(c, secnonces[i], keys[i], pubkeys, b.keyagg, b.session, i, b.psigs[i]) ==
                   QORVEX_OK);
    uint8_t sig[64];
    FUZZ_CHECK(qorvex_musig2_partial_sig_agg(c, b.psigs[0], n, b.session, sig) == QORVEX_OK);
    FUZZ_CHECK(qorvex_schnorr_verify(c, msg, sig, agg) == QORVEX_OK);

    // One blob with bytes flipped.
    const Blobs original = b;
    const uint8_t region = in.byte() % 5;
    uint8_t* target[] = {b.keyagg, b.session, b.pubnonces[0], b.psigs[0], b.aggnonce};
    const size_t size[] = {kKeyAgg, kSession, sizeof b.pubnonces, sizeof b.psigs, kAggNonce};
    tamper(in, target[region], size[region]);
    const bool untouched = std::memcmp(&b, &original, sizeof b) == 0;

    uint8_t session[kSession];
    int rc = qorvex_musig2_start_sign_session(c, b.aggnonce, b.keyagg, msg, session);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_BAD_KEY}));
    // Nonces and partial signatures do not enter the session.
    if (region == 2 || region == 3) FUZZ_CHECK(rc == QORVEX_OK && std::memcmp(session, b.session, kSession) == 0);
    bool all_verify = true;
    for (size_t i = 0; i < n; ++i) {
        rc = qorvex_musig2_partial_verify(c, b.psigs[i], b.pubnonces[i], xonly[i], b.keyagg, b.session, i);
        FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_SIG, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_BAD_KEY,
                               QORVEX_ERR_VERIFY_FAIL}));
        if (untouched) FUZZ_CHECK(rc == QORVEX_OK);
        all_verify &= rc == QORVEX_OK;
    }
    uint8_t sig2[64] = {0};
    rc = qorvex_musig2_partial_sig_agg(c, b.psigs[0], n, b.session, sig2);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_SIG, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_INTERNAL}));
    // Partial signatures that all verify under the real key and session
    // add up to a valid signature.
    if (region == 3 && all_verify) {
        FUZZ_CHECK(rc == QORVEX_OK);
        FUZZ_CHECK(qorvex_schnorr_verify(c, msg, sig2, agg) == QORVEX_OK);
    }
    if (untouched) FUZZ_CHECK(std::memcmp(sig, sig2, 64) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    if (in.byte() & 1)
        run_and_tamper(c, in);
    else
        raw(c, in);
    return 0;
}
