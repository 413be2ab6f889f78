// Verification of untrusted range proofs.
//
// Input: a mode byte. Even: a commitment (33) and the rest of the input as
// the proof, of whatever length. Odd: a value (8, little-endian), a blinding
// factor (32) and auxiliary data (32) make a commitment and a valid proof
// for it; the rest of the input flips bytes of proof || commitment. Every
// point of a proof is read in its one canonical encoding and every scalar
// must be below n, so a changed proof or commitment must never verify.
#include <cstring>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_zk_range_verify);

namespace {

struct Statement {
    uint8_t proof[QORVEX_ZK_RANGE_PROOF_SIZE];
    uint8_t commitment[QORVEX_PEDERSEN_COMMITMENT_SIZE];
};

bool known_code(int rc) { return rc == QORVEX_OK || rc == QORVEX_ERR_BAD_INPUT || rc == QORVEX_ERR_VERIFY_FAIL; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    if ((in.byte() & 1) == 0) {
        uint8_t commitment[QORVEX_PEDERSEN_COMMITMENT_SIZE];
        in.bytes(commitment, sizeof commitment);
        static const uint8_t kEmpty = 0;
        const uint8_t* proof = in.rest_size() ? in.rest() : &kEmpty;
        FUZZ_CHECK(known_code(qorvex_zk_range_verify(c, commitment, proof, in.rest_size())));
        return 0;
    }
    const uint64_t value = in.u64();
    uint8_t blinding[32], aux[32], v32[32] = {0};
    in.bytes(blinding, 32);
    in.bytes(aux, 32);
    for (int i = 0; i < 8; ++i) v32[31 - i] = static_cast<uint8_t>(value >> (8 * i));
    Statement s{}, s0{};
    if (qorvex_pedersen_commit(c, v32, blinding, s.commitment) != QORVEX_OK) return 0;  // blinding >= n
    size_t len = sizeof s.proof;
    const int rp = qorvex_zk_range_prove(c, value, blinding, s.commitment, aux, s.proof, &len);
    if (value == 0 && std::memcmp(s.commitment, Statement{}.commitment, sizeof s.commitment) == 0) {
        // value 0, blinding 0: the commitment is infinity, refused.
        FUZZ_CHECK(rp == QORVEX_ERR_BAD_INPUT);
        return 0;
    }
    FUZZ_CHECK(rp == QORVEX_OK && len == sizeof s.proof);
    FUZZ_CHECK(qorvex_zk_range_verify(c, s.commitment, s.proof, sizeof s.proof) == QORVEX_OK);
    s0 = s;
    tamper(in, reinterpret_cast<uint8_t*>(&s), sizeof s);
    const int rv = qorvex_zk_range_verify(c, s.commitment, s.proof, sizeof s.proof);
    FUZZ_CHECK(known_code(rv));
    FUZZ_CHECK((rv == QORVEX_OK) == (std::memcmp(&s, &s0, sizeof s) == 0));
    return 0;
}
