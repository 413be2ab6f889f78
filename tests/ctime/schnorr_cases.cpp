// Constant-time cases: Schnorr signing.
#include "ctime.h"

namespace qorvex::ctime {

CT_FAMILY(schnorr) {
    // --- Schnorr signing ---
    t.push_back(CT_CASE(qorvex_schnorr_sign, "key, aux", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k, aux = kAux;
            uint8_t sig[64] = {0};
            if (mark) secret(key.b, 32), secret(aux.b, 32);
            o.code(qorvex_schnorr_sign(g_ctx, kMsg.b, key.b, aux.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
    t.push_back(CT_CASE(qorvex_schnorr_sign_verified, "key, aux", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k, aux = kAux;
            uint8_t sig[64] = {0};
            if (mark) secret(key.b, 32), secret(aux.b, 32);
            o.code(qorvex_schnorr_sign_verified(g_ctx, kMsg.b, key.b, aux.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
    t.push_back(CT_CASE(qorvex_schnorr_sign_msg, "key, aux", [](bool mark, Observed& o) {
        static const char kText[] = "a message of any length, hashed with its BIP-340 tag";
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k, aux = kAux;
            uint8_t sig[64] = {0};
            if (mark) secret(key.b, 32), secret(aux.b, 32);
            o.code(qorvex_schnorr_sign_msg(g_ctx, key.b, reinterpret_cast<const uint8_t*>(kText),
                                           sizeof kText - 1, aux.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
}

}  // namespace qorvex::ctime
