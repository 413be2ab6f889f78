// Constant-time cases: ECDH in its three derivations.
#include "ctime.h"

namespace qorvex::ctime {

namespace {

// The peer: a fixed valid public key.
const uint8_t* peer() {
    static uint8_t pub[33];
    static const bool made = qorvex_pubkey_create(g_ctx, kTweak.b, pub) == QORVEX_OK;
    if (!made) std::abort();
    return pub;
}

template <int (*Fn)(qorvex_ctx*, const uint8_t*, const uint8_t*, uint8_t*)>
void run_ecdh(bool mark, Observed& o) {
    for (const Bytes32* k : kKeys) {
        Bytes32 key = *k;
        uint8_t out[32] = {0};
        if (mark) secret(key.b, 32);
        o.code(Fn(g_ctx, key.b, peer(), out));
        o.add(out, sizeof out);
    }
}

}  // namespace

CT_FAMILY(ecdh) {
    t.push_back(CT_CASE(qorvex_ecdh, "key", run_ecdh<qorvex_ecdh>));
    t.push_back(CT_CASE(qorvex_ecdh_xonly, "key", run_ecdh<qorvex_ecdh_xonly>));
    t.push_back(CT_CASE(qorvex_ecdh_raw, "key", run_ecdh<qorvex_ecdh_raw>));
}

}  // namespace qorvex::ctime
