// Constant-time cases: the knowledge and DLEQ provers.
#include "ctime.h"

namespace qorvex::ctime {

namespace {

struct Statement {
    uint8_t base2[33], pub1[33], pub2[33], wrong[33];
};

// pub1 = kKey G, pub2 = kKey base2; wrong = another multiple of base2.
const Statement& statement() {
    static Statement s;
    static const bool made = [] {
        return qorvex_pubkey_create(g_ctx, kTweak.b, s.base2) == QORVEX_OK &&
               qorvex_pubkey_create(g_ctx, kKey.b, s.pub1) == QORVEX_OK &&
               qorvex_pubkey_tweak_mul(g_ctx, s.base2, kKey.b, s.pub2) == QORVEX_OK &&
               qorvex_pubkey_tweak_mul(g_ctx, s.base2, kMsg.b, s.wrong) == QORVEX_OK;
    }();
    if (!made) std::abort();
    return s;
}

const uint8_t* generator() {
    static uint8_t g[33];
    static const bool made = qorvex_pubkey_create(g_ctx, bytes32(0, 1).b, g) == QORVEX_OK;
    if (!made) std::abort();
    return g;
}

}  // namespace

CT_FAMILY(zk) {
    t.push_back(CT_CASE(qorvex_zk_knowledge_prove, "secret, aux", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 x = *k, aux = kAux;
            uint8_t proof[64] = {0};
            if (mark) secret(x.b, 32), secret(aux.b, 32);
            o.code(qorvex_zk_knowledge_prove(g_ctx, x.b, statement().pub1, kMsg.b, aux.b, proof));
            o.add(proof, sizeof proof);
        }
    }));
    t.push_back(CT_CASE(qorvex_zk_dleq_prove, "secret, aux", [](bool mark, Observed& o) {
        const Statement& s = statement();
        for (const Bytes32* k : kKeys) {
            for (const uint8_t* pub2 : {s.pub2, s.wrong}) {
                Bytes32 x = *k, aux = kAux;
                uint8_t proof[64] = {0};
                if (mark) secret(x.b, 32), secret(aux.b, 32);
                o.code(qorvex_zk_dleq_prove(g_ctx, x.b, generator(), s.base2, s.pub1, pub2, aux.b, proof));
                o.add(proof, sizeof proof);
            }
        }
    }));
}

}  // namespace qorvex::ctime
