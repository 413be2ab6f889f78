#include "common/abi_fixture.h"

namespace benchdata {

const AbiFixture* abi_fixture() {
    static const AbiFixture* f = []() -> const AbiFixture* {
        static AbiFixture fx;
        if (qorvex_ctx_create(&fx.ctx) != QORVEX_OK) return nullptr;
        fx.items = make_base_inputs(kAbiItems).items;
        const uint8_t* key0 = fx.items[0].key;
        for (Item& it : fx.items) {
            qorvex_ctx* c = fx.ctx;
            if (qorvex_pubkey_create(c, it.key, it.pub33) != QORVEX_OK ||
                qorvex_pubkey_create_uncompressed(c, it.key, it.pub65) != QORVEX_OK ||
                qorvex_pubkey_xonly(c, it.key, it.xonly) != QORVEX_OK ||
                qorvex_ecdsa_sign_recoverable(c, it.msg, it.key, it.ecdsa_sig, &it.recid) != QORVEX_OK ||
                qorvex_ecdsa_sign(c, it.msg, key0, it.ecdsa_sig_key0) != QORVEX_OK ||
                qorvex_schnorr_sign(c, it.msg, it.key, it.aux, it.schnorr_sig) != QORVEX_OK ||
                qorvex_schnorr_sign(c, it.msg, key0, it.aux, it.schnorr_sig_key0) != QORVEX_OK)
                return nullptr;
        }
        return &fx;
    }();
    return f;
}

}  // namespace benchdata
