// Constant-time cases: BIP-352 silent payments. The scan key, the input
// private keys and the tweaks derived from them are the secrets; output
// keys, label points and match positions are public results.
#include "ctime.h"

namespace qorvex::ctime {

namespace {

struct Wallet {
    uint8_t spend[33];
    uint8_t scan[33];
    uint8_t label[QORVEX_BIP352_LABEL_SIZE];
    uint8_t labelled[33];
    uint8_t outpoint[QORVEX_BIP352_OUTPOINT_SIZE];
    uint8_t input_pub[33];
    uint8_t outputs[64];  // k = 0 to the spend key, k = 1 to label 1
    uint8_t tweak[33];
};

// A receiver (scan key kKey, spend key kTweak) paid twice by a one-input
// transaction (input key kSeed), made unmarked once.
const Wallet& wallet() {
    static const Wallet w = [] {
        Wallet v{};
        if (qorvex_pubkey_create(g_ctx, kTweak.b, v.spend) != QORVEX_OK ||
            qorvex_pubkey_create(g_ctx, kKey.b, v.scan) != QORVEX_OK ||
            qorvex_bip352_label(g_ctx, kKey.b, v.spend, 1, v.labelled, v.label) != QORVEX_OK ||
            qorvex_pubkey_create(g_ctx, kSeed.b, v.input_pub) != QORVEX_OK)
            std::abort();
        std::memset(v.outpoint, 0x3c, sizeof v.outpoint);
        uint8_t recipients[2 * QORVEX_BIP352_RECIPIENT_SIZE];
        std::memcpy(recipients, v.scan, 33);
        std::memcpy(recipients + 33, v.spend, 33);
        std::memcpy(recipients + 66, v.scan, 33);
        std::memcpy(recipients + 99, v.labelled, 33);
        const uint8_t flag = 0;
        if (qorvex_bip352_send(g_ctx, kSeed.b, &flag, 1, v.outpoint, 1, recipients, 2, v.outputs) != QORVEX_OK ||
            qorvex_bip352_tweak(g_ctx, v.input_pub, 1, v.outpoint, 1, v.tweak) != QORVEX_OK)
            std::abort();
        return v;
    }();
    return w;
}

void observe_matches(Observed& o, int rc, const uint8_t* rec, size_t n) {
    o.code(rc);
    o.add(&n, sizeof n);
    o.add(rec, QORVEX_BIP352_MATCH_SIZE * 2);
}

}  // namespace

CT_FAMILY(bip352) {
    t.push_back(CT_CASE(qorvex_bip352_label, "scan key", [](bool mark, Observed& o) {
        const Wallet& w = wallet();
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t b_m[33] = {0}, rec[QORVEX_BIP352_LABEL_SIZE] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_bip352_label(g_ctx, key.b, w.spend, 7, b_m, rec));
            o.add(b_m, sizeof b_m);
            o.add(rec, sizeof rec);
        }
    }));
    t.push_back(CT_CASE(qorvex_bip352_send, "input keys", [](bool mark, Observed& o) {
        const Wallet& w = wallet();
        uint8_t recipients[2 * QORVEX_BIP352_RECIPIENT_SIZE];
        std::memcpy(recipients, w.scan, 33);
        std::memcpy(recipients + 33, w.spend, 33);
        std::memcpy(recipients + 66, w.scan, 33);
        std::memcpy(recipients + 99, w.labelled, 33);
        // Two inputs, one of them Taproot (negated or not by its y), then a
        // pair that sums to zero and one with an invalid key.
        const Bytes32 cancel = negated(kKey);
        const Bytes32* sets[3][2] = {{&kSeed, &kAux}, {&kKey, &cancel}, {&kSeed, &kOrder}};
        for (const auto& set : sets) {
            uint8_t keys[64];
            std::memcpy(keys, set[0]->b, 32);
            std::memcpy(keys + 32, set[1]->b, 32);
            const uint8_t flags[2] = {0, 1};
            uint8_t out[64] = {0};
            if (mark) secret(keys, sizeof keys);
            o.code(qorvex_bip352_send(g_ctx, keys, flags, 2, w.outpoint, 1, recipients, 2, out));
            o.add(out, sizeof out);
        }
    }));
    t.push_back(CT_CASE(qorvex_bip352_scan, "scan key", [](bool mark, Observed& o) {
        const Wallet& w = wallet();
        // With the label (both outputs found) and without (the first only,
        // by the comparison that needs no affine P_k).
        for (const size_t n_labels : {size_t{1}, size_t{0}}) {
            for (const Bytes32* k : kKeys) {
                Bytes32 key = *k;
                uint8_t rec[2 * QORVEX_BIP352_MATCH_SIZE] = {0};
                size_t n = 2;
                if (mark) secret(key.b, 32);
                const int rc = qorvex_bip352_scan(g_ctx, key.b, w.spend, w.label, n_labels, w.input_pub, 1,
                                                  w.outpoint, 1, w.outputs, 2, rec, &n);
                observe_matches(o, rc, rec, n);
            }
        }
    }));
    t.push_back(CT_CASE(qorvex_bip352_scan_tweak, "scan key", [](bool mark, Observed& o) {
        const Wallet& w = wallet();
        for (const size_t n_labels : {size_t{1}, size_t{0}}) {
            for (const Bytes32* k : kKeys) {
                Bytes32 key = *k;
                uint8_t rec[2 * QORVEX_BIP352_MATCH_SIZE] = {0};
                size_t n = 2;
                if (mark) secret(key.b, 32);
                const int rc = qorvex_bip352_scan_tweak(g_ctx, key.b, w.spend, w.label, n_labels, w.tweak, w.outputs,
                                                        2, rec, &n);
                observe_matches(o, rc, rec, n);
            }
        }
    }));
}

}  // namespace qorvex::ctime
