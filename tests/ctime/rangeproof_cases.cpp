// Constant-time cases: the range prover. The value and the blinding are the
// secrets (the amount is what a confidential output hides); the proof is
// public once made, and so are whether the commitment matched and the
// blinded vectors l(x) and r(x) that the inner-product rounds work on.
#include "ctime.h"

namespace qorvex::ctime {

namespace {

void value32(uint64_t v, uint8_t out[32]) {
    std::memset(out, 0, 32);
    for (int i = 0; i < 8; ++i) out[31 - i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

CT_FAMILY(rangeproof) {
    t.push_back(CT_CASE(qorvex_zk_range_prove, "value, blinding", [](bool mark, Observed& o) {
        struct Row {
            uint64_t value, committed;
            const Bytes32* blinding;
        };
        // Extreme bit patterns, a commitment to another value, and a
        // blinding >= n.
        const Row rows[] = {
            {0, 0, &kKey},
            {~uint64_t{0}, ~uint64_t{0}, &kTweak},
            {0x5a5a0f0f33cc9669ULL, 0x5a5a0f0f33cc9668ULL, &kKey},
            {1, 1, &kOrder},
        };
        for (const Row& r : rows) {
            uint8_t v32[32], c[33] = {0};
            value32(r.committed, v32);
            if (r.blinding != &kOrder && qorvex_pedersen_commit(g_ctx, v32, r.blinding->b, c) != QORVEX_OK)
                std::abort();
            if (r.blinding == &kOrder && qorvex_pedersen_commit(g_ctx, v32, kKey.b, c) != QORVEX_OK) std::abort();
            uint64_t value = r.value;
            Bytes32 blind = *r.blinding, aux = kAux;
            uint8_t proof[QORVEX_ZK_RANGE_PROOF_SIZE] = {0};
            size_t len = sizeof proof;
            if (mark) secret(&value, sizeof value), secret(blind.b, 32);
            o.code(qorvex_zk_range_prove(g_ctx, value, blind.b, c, aux.b, proof, &len));
            o.add(proof, sizeof proof);
        }
    }));
}

}  // namespace qorvex::ctime
