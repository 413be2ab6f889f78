// Constant-time cases: MuSig2 nonce generation and partial signing.
#include "ctime.h"

namespace qorvex::ctime {

namespace {

// A 3-signer session in which kKey signs as signer 1, made with nothing
// marked.
struct Musig2Session {
    uint8_t pubkeys[3 * 33];
    uint8_t keyagg[QORVEX_MUSIG2_KEYAGG_SIZE];
    uint8_t session[QORVEX_MUSIG2_SESSION_SIZE];
    uint8_t secnonce[QORVEX_MUSIG2_SECNONCE_SIZE];
};

Musig2Session musig2_session() {
    Musig2Session s{};
    const Bytes32 keys[3] = {bytes32(0x31, 1), kKey, bytes32(0x33, 3)};
    for (int i = 0; i < 3; ++i)
        if (qorvex_pubkey_create(g_ctx, keys[i].b, s.pubkeys + 33 * i) != QORVEX_OK) std::abort();
    uint8_t agg[32], pubnonces[3 * QORVEX_MUSIG2_PUBNONCE_SIZE], aggnonce[QORVEX_MUSIG2_AGGNONCE_SIZE];
    if (qorvex_musig2_key_agg(g_ctx, s.pubkeys, 3, s.keyagg, agg) != QORVEX_OK) std::abort();
    for (int i = 0; i < 3; ++i) {
        uint8_t sec[QORVEX_MUSIG2_SECNONCE_SIZE], xonly[32];
        qorvex_pubkey_xonly(g_ctx, keys[i].b, xonly);
        const Bytes32 rand = bytes32(0x70, static_cast<uint8_t>(i));
        if (qorvex_musig2_nonce_gen(g_ctx, keys[i].b, xonly, agg, kMsg.b, rand.b, i == 1 ? s.secnonce : sec,
                                    pubnonces + QORVEX_MUSIG2_PUBNONCE_SIZE * i) != QORVEX_OK)
            std::abort();
    }
    if (qorvex_musig2_nonce_agg(g_ctx, pubnonces, 3, aggnonce) != QORVEX_OK ||
        qorvex_musig2_start_sign_session(g_ctx, aggnonce, s.keyagg, kMsg.b, s.session) != QORVEX_OK)
        std::abort();
    return s;
}

}  // namespace

CT_FAMILY(musig2) {
    t.push_back(CT_CASE(qorvex_musig2_nonce_gen, "key, extra randomness", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k, rand = kAux;
            uint8_t secnonce[QORVEX_MUSIG2_SECNONCE_SIZE] = {0}, pubnonce[QORVEX_MUSIG2_PUBNONCE_SIZE] = {0};
            if (mark) secret(key.b, 32), secret(rand.b, 32);
            o.code(qorvex_musig2_nonce_gen(g_ctx, key.b, kTweak.b, kSeed.b, kMsg.b, rand.b, secnonce, pubnonce));
            o.add(secnonce, sizeof secnonce);
            o.add(pubnonce, sizeof pubnonce);
        }
    }));
    // Signing: the valid key, a key that is not signer 1's (the cross-check
    // verdict), an invalid key, and a nonce already used.
    t.push_back(CT_CASE(qorvex_musig2_partial_sign_v2, "key, secret nonce", [](bool mark, Observed& o) {
        static const Musig2Session s = musig2_session();
        const Bytes32 other = bytes32(0x31, 1);
        const Bytes32* keys[] = {&kKey, &other, &kOrder, &kKey};
        for (size_t i = 0; i < 4; ++i) {
            Bytes32 key = *keys[i];
            uint8_t nonce[QORVEX_MUSIG2_SECNONCE_SIZE], psig[QORVEX_MUSIG2_PARTIAL_SIG_SIZE] = {0};
            std::memcpy(nonce, s.secnonce, sizeof nonce);
            if (i == 3) std::memset(nonce, 0, sizeof nonce);
            if (mark) secret(key.b, 32), secret(nonce, sizeof nonce);
            o.code(qorvex_musig2_partial_sign_v2(g_ctx, nonce, key.b, s.pubkeys, s.keyagg, s.session, 1, psig));
            o.add(psig, sizeof psig);
            o.add(nonce, sizeof nonce);
        }
    }));
    t.push_back(CT_CASE(qorvex_musig2_partial_sign, "key, secret nonce", [](bool mark, Observed& o) {
        static const Musig2Session s = musig2_session();
        Bytes32 key = kKey;
        uint8_t nonce[QORVEX_MUSIG2_SECNONCE_SIZE], psig[QORVEX_MUSIG2_PARTIAL_SIG_SIZE] = {0};
        std::memcpy(nonce, s.secnonce, sizeof nonce);
        if (mark) secret(key.b, 32), secret(nonce, sizeof nonce);
        o.code(qorvex_musig2_partial_sign(g_ctx, nonce, key.b, s.keyagg, s.session, 1, psig));
        o.add(psig, sizeof psig);
        o.add(nonce, sizeof nonce);
    }));
}

}  // namespace qorvex::ctime
