// Constant-time cases: ECDSA signing.
#include "ctime.h"

namespace qorvex::ctime {

CT_FAMILY(ecdsa) {
    // --- ECDSA signing ---
    t.push_back(CT_CASE(qorvex_ecdsa_sign, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t sig[64] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_ecdsa_sign(g_ctx, kMsg.b, key.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
    t.push_back(CT_CASE(qorvex_ecdsa_sign_recoverable, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t sig[64] = {0};
            int recid = -1;
            if (mark) secret(key.b, 32);
            o.code(qorvex_ecdsa_sign_recoverable(g_ctx, kMsg.b, key.b, sig, &recid));
            o.add(sig, sizeof sig);
            o.add(&recid, sizeof recid);
        }
    }));
    t.push_back(CT_CASE(qorvex_ecdsa_sign_verified, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t sig[64] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_ecdsa_sign_verified(g_ctx, kMsg.b, key.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
}

}  // namespace qorvex::ctime
