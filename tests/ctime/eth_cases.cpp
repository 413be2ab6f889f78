// Constant-time cases: Ethereum signing.
#include "ctime.h"

namespace qorvex::ctime {

CT_FAMILY(eth) {
    // --- Ethereum signing ---
    t.push_back(CT_CASE(qorvex_eth_sign, "key", [](bool mark, Observed& o) {
        for (const uint64_t chain : {uint64_t{0}, uint64_t{1}}) {
            for (const Bytes32* k : kKeys) {
                Bytes32 key = *k;
                uint8_t r[32], s[32];
                uint64_t v = 0;
                if (mark) secret(key.b, 32);
                o.code(qorvex_eth_sign(g_ctx, kMsg.b, key.b, r, s, &v, chain));
                o.add(r, 32);
                o.add(s, 32);
                o.add(&v, sizeof v);
            }
        }
    }));
}

}  // namespace qorvex::ctime
