// Constant-time cases: the Taproot private-key tweak.
#include "ctime.h"

namespace qorvex::ctime {

CT_FAMILY(taproot) {
    // A valid and an invalid key, each with no root (BIP-86) and with a
    // 32-byte root; and the output written over the key itself.
    t.push_back(CT_CASE(qorvex_taproot_tweak_seckey, "key", [](bool mark, Observed& o) {
        const Bytes32 root = bytes32(0x6c, 0x2d);
        for (const Bytes32* k : kKeys) {
            for (const uint8_t* r : {static_cast<const uint8_t*>(nullptr), root.b}) {
                Bytes32 key = *k;
                uint8_t out[32] = {0};
                if (mark) secret(key.b, 32);
                o.code(qorvex_taproot_tweak_seckey(g_ctx, key.b, r, out));
                o.add(out, sizeof out);
            }
        }
        Bytes32 key = kKey;
        if (mark) secret(key.b, 32);
        o.code(qorvex_taproot_tweak_seckey(g_ctx, key.b, root.b, key.b));
        o.add(key.b, 32);
    }));
}

}  // namespace qorvex::ctime
