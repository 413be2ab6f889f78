// Constant-time cases: adaptor pre-signing, adapting and extracting.
#include "ctime.h"

namespace qorvex::ctime {

namespace {

// The adaptor secret t (kTweak), its point, and pre-signatures of kKey.
struct Fixture {
    uint8_t t33[33];
    uint8_t schnorr_pre[97], schnorr_sig[64];
    uint8_t ecdsa_pre[162], ecdsa_sig[64];
};

const Fixture& fixture() {
    static Fixture f;
    static const bool made = [] {
        return qorvex_pubkey_create(g_ctx, kTweak.b, f.t33) == QORVEX_OK &&
               qorvex_schnorr_adaptor_sign(g_ctx, kKey.b, kMsg.b, f.t33, kAux.b, f.schnorr_pre) == QORVEX_OK &&
               qorvex_schnorr_adaptor_adapt(g_ctx, f.schnorr_pre, kTweak.b, f.schnorr_sig) == QORVEX_OK &&
               qorvex_ecdsa_adaptor_sign(g_ctx, kKey.b, kMsg.b, f.t33, f.ecdsa_pre) == QORVEX_OK &&
               qorvex_ecdsa_adaptor_adapt(g_ctx, f.ecdsa_pre, kTweak.b, f.ecdsa_sig) == QORVEX_OK;
    }();
    if (!made) std::abort();
    return f;
}

}  // namespace

CT_FAMILY(adaptor) {
    t.push_back(CT_CASE(qorvex_schnorr_adaptor_sign, "key, aux", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k, aux = kAux;
            uint8_t pre[97] = {0};
            if (mark) secret(key.b, 32), secret(aux.b, 32);
            o.code(qorvex_schnorr_adaptor_sign(g_ctx, key.b, kMsg.b, fixture().t33, aux.b, pre));
            o.add(pre, sizeof pre);
        }
    }));
    t.push_back(CT_CASE(qorvex_schnorr_adaptor_adapt, "adaptor secret", [](bool mark, Observed& o) {
        for (const Bytes32* s : kKeys) {
            Bytes32 secret_t = s == &kKey ? kTweak : *s;
            uint8_t sig[64] = {0};
            if (mark) secret(secret_t.b, 32);
            o.code(qorvex_schnorr_adaptor_adapt(g_ctx, fixture().schnorr_pre, secret_t.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
    // The inputs of extraction are public, its result is the secret: s_hat
    // is marked so that nothing derived from it branches. (The signature's
    // s is checked for zero as it is parsed, a public verdict.)
    t.push_back(CT_CASE(qorvex_schnorr_adaptor_extract, "s_hat", [](bool mark, Observed& o) {
        uint8_t pre[97], sig[64], out[32] = {0};
        std::memcpy(pre, fixture().schnorr_pre, sizeof pre);
        std::memcpy(sig, fixture().schnorr_sig, sizeof sig);
        if (mark) secret(pre + 33, 32);
        o.code(qorvex_schnorr_adaptor_extract(g_ctx, pre, sig, out));
        o.add(out, sizeof out);
    }));
    t.push_back(CT_CASE(qorvex_ecdsa_adaptor_sign, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t pre[162] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_ecdsa_adaptor_sign(g_ctx, key.b, kMsg.b, fixture().t33, pre));
            o.add(pre, sizeof pre);
        }
    }));
    t.push_back(CT_CASE(qorvex_ecdsa_adaptor_adapt, "adaptor secret", [](bool mark, Observed& o) {
        for (const Bytes32* s : kKeys) {
            Bytes32 secret_t = s == &kKey ? kTweak : *s;
            uint8_t sig[64] = {0};
            if (mark) secret(secret_t.b, 32);
            o.code(qorvex_ecdsa_adaptor_adapt(g_ctx, fixture().ecdsa_pre, secret_t.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
    t.push_back(CT_CASE(qorvex_ecdsa_adaptor_extract, "s_hat", [](bool mark, Observed& o) {
        uint8_t pre[162], sig[64], out[32] = {0};
        std::memcpy(pre, fixture().ecdsa_pre, sizeof pre);
        std::memcpy(sig, fixture().ecdsa_sig, sizeof sig);
        if (mark) secret(pre + 66, 32);
        o.code(qorvex_ecdsa_adaptor_extract(g_ctx, pre, sig, out));
        o.add(out, sizeof out);
    }));
}

}  // namespace qorvex::ctime
