// Constant-time cases: Pedersen commitments and blinding sums. Values and
// blinding factors are the secrets (the amount of a confidential output is
// what the commitment hides).
#include "ctime.h"

namespace qorvex::ctime {

namespace {

// Values below n, zero (whose multiple is infinity) and n itself (refused).
const Bytes32 kZero = bytes32(0, 0);
const Bytes32* const kValues[] = {&kMsg, &kZero, &kOrder};

}  // namespace

CT_FAMILY(pedersen) {
    t.push_back(CT_CASE(qorvex_pedersen_commit, "value, blinding", [](bool mark, Observed& o) {
        for (const Bytes32* v : kValues) {
            for (const Bytes32* b : kValues) {
                Bytes32 value = *v, blind = *b;
                uint8_t c[33] = {0};
                if (mark) secret(value.b, 32), secret(blind.b, 32);
                o.code(qorvex_pedersen_commit(g_ctx, value.b, blind.b, c));
                o.add(c, sizeof c);
            }
        }
    }));
    t.push_back(CT_CASE(qorvex_pedersen_switch_commit, "value, blinding, switch_blind", [](bool mark, Observed& o) {
        for (const Bytes32* s : kValues) {
            Bytes32 value = kKey, blind = kTweak, sw = *s;
            uint8_t c[33] = {0};
            if (mark) secret(value.b, 32), secret(blind.b, 32), secret(sw.b, 32);
            o.code(qorvex_pedersen_switch_commit(g_ctx, value.b, blind.b, sw.b, c));
            o.add(c, sizeof c);
        }
    }));
    t.push_back(CT_CASE(qorvex_pedersen_verify, "value, blinding", [](bool mark, Observed& o) {
        uint8_t c[33];
        if (qorvex_pedersen_commit(g_ctx, kKey.b, kTweak.b, c) != QORVEX_OK) std::abort();
        for (const Bytes32* v : {&kKey, &kMsg}) {
            Bytes32 value = *v, blind = kTweak;
            if (mark) secret(value.b, 32), secret(blind.b, 32);
            o.code(qorvex_pedersen_verify(g_ctx, c, value.b, blind.b));
        }
    }));
    t.push_back(CT_CASE(qorvex_pedersen_blind_sum, "blinds", [](bool mark, Observed& o) {
        uint8_t ins[96], outs[64];
        for (int i = 0; i < 3; ++i) std::memcpy(ins + 32 * i, (i == 1 ? kTweak : kKey).b, 32);
        std::memcpy(outs, kMsg.b, 32);
        for (const Bytes32* last : {&kAux, &kOrder}) {
            std::memcpy(outs + 32, last->b, 32);
            uint8_t sum[32] = {0};
            if (mark) secret(ins, sizeof ins), secret(outs, sizeof outs);
            o.code(qorvex_pedersen_blind_sum(g_ctx, ins, 3, outs, 2, sum));
            o.add(sum, sizeof sum);
        }
    }));
}

}  // namespace qorvex::ctime
