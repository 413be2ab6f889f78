// Pedersen verification and balance checks on untrusted commitments.
//
// Input: a mode byte. Even: a commitment (33), a value and a blinding
// factor (32 each) for qorvex_pedersen_verify, then counts (one byte each,
// at most 8) and that many 33-byte commitments for the balance check, all
// as given. Odd: three values and three blinding factors (32 each) make the
// commitments C1 + C2 = C3 + C4 with the fourth blinding factor from the
// blind sum; the rest of the input flips bytes of the four commitments.
// Either way the balance check must agree with the sum of the positives
// and the negated negatives computed by qorvex_pubkey_combine, and the
// unchanged set must balance.
#include <cstring>
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_pedersen_verify_sum, qorvex_pedersen_verify);

namespace {

// The verdict of qorvex_pedersen_verify_sum from the key functions: 5 when
// a commitment does not parse, 0 when the signed sum is infinity, else 6.
int combined_verdict(qorvex_ctx* c, const uint8_t* pos, size_t np, const uint8_t* neg, size_t nn) {
    std::vector<uint8_t> all;
    for (size_t i = 0; i < np + nn; ++i) {
        const uint8_t* k = i < np ? pos + 33 * i : neg + 33 * (i - np);
        uint8_t out[33];
        if (qorvex_pubkey_parse(c, k, 33, out) != QORVEX_OK) return QORVEX_ERR_BAD_INPUT;
        if (i >= np) out[0] ^= 1;  // the negation
        all.insert(all.end(), out, out + 33);
    }
    if (all.empty()) return QORVEX_OK;
    uint8_t sum[33];
    const int rc = qorvex_pubkey_combine(c, all.data(), np + nn, sum);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_ARITH);
    return rc == QORVEX_ERR_ARITH ? QORVEX_OK : QORVEX_ERR_VERIFY_FAIL;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const bool balanced_mode = in.byte() & 1;
    if (!balanced_mode) {
        uint8_t com[33], v[32], b[32];
        in.bytes(com, 33);
        in.bytes(v, 32);
        in.bytes(b, 32);
        const int rv = qorvex_pedersen_verify(c, com, v, b);
        FUZZ_CHECK(rv == QORVEX_OK || rv == QORVEX_ERR_BAD_INPUT || rv == QORVEX_ERR_VERIFY_FAIL);
        if (rv == QORVEX_OK) {
            uint8_t again[33];
            FUZZ_CHECK(qorvex_pedersen_commit(c, v, b, again) == QORVEX_OK);
            FUZZ_CHECK(std::memcmp(again, com, 33) == 0);
        }
        const size_t np = in.byte() % 9, nn = in.byte() % 9;
        std::vector<uint8_t> pos(33 * np + 1), neg(33 * nn + 1);
        in.bytes(pos.data(), 33 * np);
        in.bytes(neg.data(), 33 * nn);
        const int rs = qorvex_pedersen_verify_sum(c, pos.data(), np, neg.data(), nn);
        FUZZ_CHECK(rs == combined_verdict(c, pos.data(), np, neg.data(), nn));
        FUZZ_CHECK(qorvex_pedersen_verify_sum(c, neg.data(), nn, pos.data(), np) == rs);
        return 0;
    }

    uint8_t v[3][32], b[4][32];
    for (auto& x : v) in.bytes(x, 32);
    for (int i = 0; i < 3; ++i) in.bytes(b[i], 32);
    // v4 = v1 + v2 - v3 and b4 = b1 + b2 - b3, both modulo n, by the blind sum.
    uint8_t v4[32], pair[64];
    std::memcpy(pair, v[0], 32);
    std::memcpy(pair + 32, v[1], 32);
    if (qorvex_pedersen_blind_sum(c, pair, 2, v[2], 1, v4) != QORVEX_OK) return 0;
    std::memcpy(pair, b[0], 32);
    std::memcpy(pair + 32, b[1], 32);
    if (qorvex_pedersen_blind_sum(c, pair, 2, b[2], 1, b[3]) != QORVEX_OK) return 0;
    uint8_t com[4][33];
    const uint8_t* values[4] = {v[0], v[1], v[2], v4};
    for (int i = 0; i < 4; ++i) FUZZ_CHECK(qorvex_pedersen_commit(c, values[i], b[i], com[i]) == QORVEX_OK);
    // An all-zero commitment (value and blinding both zero) does not parse.
    static const uint8_t kZero[33] = {};
    for (const auto& x : com)
        if (std::memcmp(x, kZero, 33) == 0) return 0;
    FUZZ_CHECK(qorvex_pedersen_verify_sum(c, &com[0][0], 2, &com[2][0], 2) == QORVEX_OK);
    tamper(in, &com[0][0], sizeof com);
    const int rs = qorvex_pedersen_verify_sum(c, &com[0][0], 2, &com[2][0], 2);
    FUZZ_CHECK(rs == combined_verdict(c, &com[0][0], 2, &com[2][0], 2));
    return 0;
}
