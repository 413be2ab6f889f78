// Constant-time cases: batch signing (on worker threads, with the calling
// thread's blinding) and prepared key pairs.
#include "ctime.h"

namespace qorvex::ctime {

namespace {

// Three items, so that two threads share them where there are two
// processors; `bad` puts the invalid key n in the last one.
struct Batch {
    uint8_t msgs[3 * 32];
    uint8_t keys[3 * 32];
    uint8_t aux[3 * 32];
    uint8_t sigs[3 * 64];
};

Batch batch(bool bad) {
    Batch b{};
    for (int i = 0; i < 3; ++i) {
        const Bytes32 key = bytes32(static_cast<uint8_t>(0x4d + i), 0x17);
        std::memcpy(b.keys + 32 * i, (bad && i == 2 ? kOrder : key).b, 32);
        std::memcpy(b.msgs + 32 * i, bytes32(static_cast<uint8_t>(0xa5 - i), 0x3c).b, 32);
        std::memcpy(b.aux + 32 * i, bytes32(static_cast<uint8_t>(0x5e + i), 0x01).b, 32);
    }
    return b;
}

}  // namespace

CT_FAMILY(batch) {
    t.push_back(CT_CASE(qorvex_ecdsa_sign_batch, "keys", [](bool mark, Observed& o) {
        for (const bool bad : {false, true}) {
            Batch b = batch(bad);
            if (mark) secret(b.keys, sizeof b.keys);
            o.code(qorvex_ecdsa_sign_batch(g_ctx, 3, b.msgs, b.keys, b.sigs));
            o.add(b.sigs, sizeof b.sigs);
        }
    }));
    t.push_back(CT_CASE(qorvex_schnorr_sign_batch, "keys, aux", [](bool mark, Observed& o) {
        for (const bool bad : {false, true}) {
            Batch b = batch(bad);
            if (mark) secret(b.keys, sizeof b.keys), secret(b.aux, sizeof b.aux);
            o.code(qorvex_schnorr_sign_batch(g_ctx, 3, b.msgs, b.keys, b.aux, b.sigs));
            o.add(b.sigs, sizeof b.sigs);
        }
    }));
    t.push_back(CT_CASE(qorvex_keypair_create, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t record[QORVEX_KEYPAIR_SIZE] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_keypair_create(g_ctx, key.b, record));
            // The record holds the key itself; only its public half is shown.
            o.add(record + 32, 64);
        }
    }));
    t.push_back(CT_CASE(qorvex_schnorr_sign_keypair, "record's secret key, aux", [](bool mark, Observed& o) {
        uint8_t good[QORVEX_KEYPAIR_SIZE];
        if (qorvex_keypair_create(g_ctx, kKey.b, good) != QORVEX_OK) std::abort();
        uint8_t bad[QORVEX_KEYPAIR_SIZE];
        std::memcpy(bad, good, sizeof bad);
        std::memcpy(bad, kOrder.b, 32);
        for (const uint8_t* rec : {good, bad}) {
            uint8_t record[QORVEX_KEYPAIR_SIZE];
            std::memcpy(record, rec, sizeof record);
            Bytes32 aux = kAux;
            uint8_t sig[64] = {0};
            if (mark) secret(record, 32), secret(aux.b, 32);
            o.code(qorvex_schnorr_sign_keypair(g_ctx, kMsg.b, record, aux.b, sig));
            o.add(sig, sizeof sig);
        }
    }));
}

}  // namespace qorvex::ctime
