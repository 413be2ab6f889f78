// ECDSA verification of untrusted signatures and keys, compact and opaque.
//
// Input: a mode byte. Even: message (32), signature (64) and public key (33)
// as given. Odd: a key (32) and a message (32) are signed first, then the
// rest of the input flips bytes of message || signature || key, so the
// fuzzer works next to valid signatures.
#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_ecdsa_verify, qorvex_ecdsa_verify_opaque);

namespace {

struct Case {
    uint8_t msg[32];
    uint8_t sig[64];
    uint8_t pub[33];
};

void to_opaque(const uint8_t sig[64], uint8_t out[64]) {
    for (int i = 0; i < 32; ++i) {
        out[i] = sig[31 - i];
        out[32 + i] = sig[63 - i];
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const bool signed_mode = in.byte() & 1;
    Case v{};
    bool untouched_valid = false;
    if (signed_mode) {
        uint8_t key[32];
        in.bytes(key, 32);
        in.bytes(v.msg, 32);
        if (qorvex_ecdsa_sign(c, v.msg, key, v.sig) != QORVEX_OK) return 0;
        FUZZ_CHECK(qorvex_pubkey_create(c, key, v.pub) == QORVEX_OK);
        untouched_valid = in.rest_size() < 2;
        tamper(in, reinterpret_cast<uint8_t*>(&v), sizeof v);
    } else {
        in.bytes(v.msg, 32);
        in.bytes(v.sig, 64);
        in.bytes(v.pub, 33);
    }

    const int rc = qorvex_ecdsa_verify(c, v.msg, v.sig, v.pub);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_SIG || rc == QORVEX_ERR_BAD_PUBKEY ||
               rc == QORVEX_ERR_VERIFY_FAIL);
    if (untouched_valid) FUZZ_CHECK(rc == QORVEX_OK);

    // The opaque form normalises high S first: it accepts exactly what the
    // compact form accepts after normalisation.
    uint8_t opaque[64], low_opaque[64], low[64];
    to_opaque(v.sig, opaque);
    const int rc_op = qorvex_ecdsa_verify_opaque(c, v.msg, opaque, v.pub);
    int changed = 0;
    if (qorvex_ecdsa_sig_normalize_opaque(c, opaque, low_opaque, &changed) == QORVEX_OK) {
        to_opaque(low_opaque, low);  // reversing twice gives compact
        FUZZ_CHECK(rc_op == qorvex_ecdsa_verify(c, v.msg, low, v.pub));
        if (!changed) FUZZ_CHECK(rc_op == rc);
    } else {
        FUZZ_CHECK(rc_op == QORVEX_ERR_BAD_SIG && rc == QORVEX_ERR_BAD_SIG);
    }

#if QORVEX_FUZZ_ORACLE
    const secp256k1_context* o = oracle();
    secp256k1_pubkey pk;
    secp256k1_ecdsa_signature os;
    const bool pk_ok = secp256k1_ec_pubkey_parse(o, &pk, v.pub, 33) == 1 && v.pub[0] != 4;
    const bool sig_ok = secp256k1_ecdsa_signature_parse_compact(o, &os, v.sig) == 1;
    const bool valid = pk_ok && sig_ok && secp256k1_ecdsa_verify(o, &os, v.msg, &pk) == 1;
    FUZZ_CHECK(valid == (rc == QORVEX_OK));
    if (rc == QORVEX_ERR_BAD_PUBKEY) FUZZ_CHECK(!pk_ok);
    if (pk_ok && sig_ok) {
        secp256k1_ecdsa_signature lows;
        secp256k1_ecdsa_signature_normalize(o, &lows, &os);
        FUZZ_CHECK((secp256k1_ecdsa_verify(o, &lows, v.msg, &pk) == 1) == (rc_op == QORVEX_OK));
    }
#endif
    return 0;
}
