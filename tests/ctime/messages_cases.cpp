// Constant-time cases: signed messages (signmessage, both BIP-322 forms)
// and the PSBT signers, with the key (and the auxiliary randomness, and a
// record's chain code) marked.
#include "ctime.h"

namespace qorvex::ctime {

namespace {

const uint8_t* text(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

constexpr char kMessage[] = "a message to sign, of more than one hash block: 0123456789abcdef0123456789";
constexpr size_t kMessageLen = sizeof kMessage - 1;

}  // namespace

CT_FAMILY(messages) {
    t.push_back(CT_CASE(qorvex_btc_message_sign, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            char out[QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE] = {0};
            size_t len = sizeof out;
            if (mark) secret(key.b, 32);
            o.code(qorvex_btc_message_sign(g_ctx, text(kMessage), kMessageLen, key.b, out, &len));
            o.add(out, sizeof out);
            o.add(&len, sizeof len);
        }
    }));
    // Both address types (2 is BIP-340, anything else ECDSA).
    t.push_back(CT_CASE(qorvex_bip322_sign, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            for (const int type : {QORVEX_BIP322_P2WPKH, QORVEX_BIP322_P2TR}) {
                Bytes32 key = *k;
                uint8_t sig[QORVEX_BIP322_ECDSA_SIG_SIZE] = {0};
                size_t len = sizeof sig;
                if (mark) secret(key.b, 32);
                o.code(qorvex_bip322_sign(g_ctx, key.b, type, text(kMessage), kMessageLen, sig, &len));
                o.add(sig, sizeof sig);
                o.add(&len, sizeof len);
            }
        }
    }));
    // P2WPKH, and P2TR with and without randomness.
    t.push_back(CT_CASE(qorvex_bip322_simple_sign, "key, aux", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            for (const int type : {QORVEX_BIP322_P2WPKH, QORVEX_BIP322_P2TR}) {
                for (const bool with_aux : {false, true}) {
                    Bytes32 key = *k, aux = kAux;
                    char out[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE] = {0};
                    size_t len = sizeof out;
                    if (mark) secret(key.b, 32), secret(aux.b, 32);
                    o.code(qorvex_bip322_simple_sign(g_ctx, key.b, type, text(kMessage), kMessageLen,
                                                     with_aux ? aux.b : nullptr, out, &len));
                    o.add(out, sizeof out);
                    o.add(&len, sizeof len);
                }
            }
        }
    }));
    // A master record's chain code and key; the path and the metadata are
    // public. A record holding n fails its check.
    t.push_back(CT_CASE(qorvex_psbt_derive_key, "chain code, key", [](bool mark, Observed& o) {
        qorvex_bip32_key master;
        if (qorvex_bip32_master(g_ctx, kSeed.b, 32, &master) != QORVEX_OK) std::abort();
        qorvex_bip32_key bad = master;
        std::memcpy(bad.data + 46, kOrder.b, 32);
        for (const qorvex_bip32_key* r : {&master, &bad}) {
            for (const char* path : {"m/84'/0'/0'/0/3", "m/1/2", "m"}) {
                qorvex_bip32_key k = *r;
                uint8_t key[32] = {0};
                if (mark) secret(k.data + 13, 32), secret(k.data + 46, 32);
                o.code(qorvex_psbt_derive_key(g_ctx, &k, path, key));
                o.add(key, sizeof key);
            }
        }
    }));
    t.push_back(CT_CASE(qorvex_psbt_sign_legacy, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t sig[QORVEX_PSBT_ECDSA_SIG_MAX_SIZE] = {0};
            size_t len = sizeof sig;
            if (mark) secret(key.b, 32);
            o.code(qorvex_psbt_sign_legacy(g_ctx, kMsg.b, key.b, 0x01, sig, &len));
            o.add(sig, sizeof sig);
            o.add(&len, sizeof len);
        }
    }));
    t.push_back(CT_CASE(qorvex_psbt_sign_segwit, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t sig[QORVEX_PSBT_ECDSA_SIG_MAX_SIZE] = {0};
            size_t len = sizeof sig;
            if (mark) secret(key.b, 32);
            o.code(qorvex_psbt_sign_segwit(g_ctx, kMsg.b, key.b, 0x83, sig, &len));
            o.add(sig, sizeof sig);
            o.add(&len, sizeof len);
        }
    }));
    t.push_back(CT_CASE(qorvex_psbt_sign_taproot, "key, aux", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            for (const int type : {0x00, 0x01}) {
                for (const bool with_aux : {false, true}) {
                    Bytes32 key = *k, aux = kAux;
                    uint8_t sig[QORVEX_PSBT_TAPROOT_SIG_MAX_SIZE] = {0};
                    size_t len = sizeof sig;
                    if (mark) secret(key.b, 32), secret(aux.b, 32);
                    o.code(qorvex_psbt_sign_taproot(g_ctx, kMsg.b, key.b, type, with_aux ? aux.b : nullptr, sig, &len));
                    o.add(sig, sizeof sig);
                    o.add(&len, sizeof len);
                }
            }
        }
    }));
}

}  // namespace qorvex::ctime
