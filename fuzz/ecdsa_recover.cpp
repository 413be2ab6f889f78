// Public-key recovery from untrusted signatures.
//
// Input: a mode byte. Even: message (32), signature (64), recovery id byte
// (read as -1 .. 4). Odd: a key and a message are signed recoverably, then
// the rest of the input flips bytes of message || signature || id.
#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_ecdsa_recover);

namespace {

struct Case {
    uint8_t msg[32];
    uint8_t sig[64];
    uint8_t recid;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const bool signed_mode = in.byte() & 1;
    Case v{};
    uint8_t signer[33] = {};
    bool untouched = false;
    if (signed_mode) {
        uint8_t key[32];
        in.bytes(key, 32);
        in.bytes(v.msg, 32);
        int recid = -1;
        if (qorvex_ecdsa_sign_recoverable(c, v.msg, key, v.sig, &recid) != QORVEX_OK) return 0;
        FUZZ_CHECK(recid >= 0 && recid <= 3);
        v.recid = static_cast<uint8_t>(recid + 1);
        FUZZ_CHECK(qorvex_pubkey_create(c, key, signer) == QORVEX_OK);
        untouched = in.rest_size() < 2;
        tamper(in, reinterpret_cast<uint8_t*>(&v), sizeof v);
    } else {
        in.bytes(v.msg, 32);
        in.bytes(v.sig, 64);
        v.recid = in.byte();
    }
    const int recid = static_cast<int>(v.recid % 6) - 1;

    uint8_t pub[33];
    std::memset(pub, 0xA5, sizeof pub);
    const int rc = qorvex_ecdsa_recover(c, v.msg, v.sig, recid, pub);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_INPUT || rc == QORVEX_ERR_BAD_SIG ||
               rc == QORVEX_ERR_VERIFY_FAIL);
    if (recid < 0 || recid > 3) FUZZ_CHECK(rc == QORVEX_ERR_BAD_INPUT);
    if (untouched) {
        FUZZ_CHECK(rc == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(pub, signer, 33) == 0);
    }
    if (rc == QORVEX_OK) {
        // The recovered key verifies the signature (high S accepted through
        // the opaque form, as recovery accepts it).
        uint8_t opaque[64];
        FUZZ_CHECK(qorvex_ecdsa_sig_compact_to_opaque(c, v.sig, opaque) == QORVEX_OK);
        FUZZ_CHECK(qorvex_ecdsa_verify_opaque(c, v.msg, opaque, pub) == QORVEX_OK);
    } else {
        for (uint8_t b : pub) FUZZ_CHECK(b == 0xA5);  // untouched on failure
    }

#if QORVEX_FUZZ_ORACLE
    if (recid >= 0 && recid <= 3) {
        const secp256k1_context* o = oracle();
        secp256k1_ecdsa_recoverable_signature rs;
        secp256k1_pubkey pk;
        const bool ok = secp256k1_ecdsa_recoverable_signature_parse_compact(o, &rs, v.sig, recid) == 1 &&
                        secp256k1_ecdsa_recover(o, &pk, &rs, v.msg) == 1;
        FUZZ_CHECK(ok == (rc == QORVEX_OK));
        if (ok) {
            uint8_t theirs[33];
            oracle_compressed(pk, theirs);
            FUZZ_CHECK(std::memcmp(theirs, pub, 33) == 0);
        }
    }
#endif
    return 0;
}
