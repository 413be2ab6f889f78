// ECDSA signing of untrusted messages: the three signing exports agree, the
// result verifies and recovers, blinding changes nothing, and the signature
// is the RFC 6979 one the oracle makes. Input: key (32), message (32),
// blinding seed (32).
#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_ecdsa_sign, qorvex_ecdsa_sign_recoverable, qorvex_ecdsa_sign_verified,
                    qorvex_context_randomize);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    uint8_t key[32], msg[32], seed[32];
    in.bytes(key, 32);
    in.bytes(msg, 32);
    in.bytes(seed, 32);
    const bool key_ok = qorvex_seckey_verify(c, key) == QORVEX_OK;

    uint8_t sig[64], sig_rec[64], sig_ver[64], sig_blind[64];
    int recid = -1;
    const int rc = qorvex_ecdsa_sign(c, msg, key, sig);
    FUZZ_CHECK(rc == (key_ok ? QORVEX_OK : QORVEX_ERR_BAD_KEY));
    FUZZ_CHECK(qorvex_ecdsa_sign_recoverable(c, msg, key, sig_rec, &recid) == rc);
    FUZZ_CHECK(qorvex_ecdsa_sign_verified(c, msg, key, sig_ver) == rc);
    FUZZ_CHECK(qorvex_context_randomize(c, seed) == QORVEX_OK || qorvex_last_error(c) == QORVEX_ERR_INTERNAL);
    FUZZ_CHECK(qorvex_ecdsa_sign(c, msg, key, sig_blind) == rc);
    FUZZ_CHECK(qorvex_context_randomize(c, nullptr) == QORVEX_OK);
    if (!key_ok) return 0;

    FUZZ_CHECK(std::memcmp(sig, sig_rec, 64) == 0);
    FUZZ_CHECK(std::memcmp(sig, sig_ver, 64) == 0);
    FUZZ_CHECK(std::memcmp(sig, sig_blind, 64) == 0);
    FUZZ_CHECK(recid >= 0 && recid <= 3);
    // Low S, valid, and the recovery id names the signer.
    uint8_t pub[33], rec[33], opaque[64], low[64];
    int changed = -1;
    FUZZ_CHECK(qorvex_pubkey_create(c, key, pub) == QORVEX_OK);
    FUZZ_CHECK(qorvex_ecdsa_verify(c, msg, sig, pub) == QORVEX_OK);
    FUZZ_CHECK(qorvex_ecdsa_recover(c, msg, sig, recid, rec) == QORVEX_OK);
    FUZZ_CHECK(std::memcmp(rec, pub, 33) == 0);
    FUZZ_CHECK(qorvex_ecdsa_sig_compact_to_opaque(c, sig, opaque) == QORVEX_OK);
    FUZZ_CHECK(qorvex_ecdsa_sig_normalize_opaque(c, opaque, low, &changed) == QORVEX_OK && changed == 0);

#if QORVEX_FUZZ_ORACLE
    // The nonces agree while the message is below n. Above it, qorvex feeds
    // the message bytes to RFC 6979 as given, while the oracle (like RFC
    // 6979's bits2octets) reduces them first: the signatures differ, and
    // each side must accept the other's.
    const secp256k1_context* o = oracle();
    secp256k1_ecdsa_recoverable_signature rs;
    FUZZ_CHECK(secp256k1_ecdsa_sign_recoverable(o, &rs, msg, key, nullptr, nullptr) == 1);
    uint8_t theirs[64];
    int their_recid = -1;
    secp256k1_ecdsa_recoverable_signature_serialize_compact(o, theirs, &their_recid, &rs);
    if (std::memcmp(msg, kOrder, 32) < 0) {
        FUZZ_CHECK(std::memcmp(theirs, sig, 64) == 0);
        FUZZ_CHECK(their_recid == recid);
    } else {
        FUZZ_CHECK(qorvex_ecdsa_verify(c, msg, theirs, pub) == QORVEX_OK);
        secp256k1_pubkey pk;
        secp256k1_ecdsa_signature os;
        FUZZ_CHECK(secp256k1_ec_pubkey_parse(o, &pk, pub, 33) == 1);
        FUZZ_CHECK(secp256k1_ecdsa_signature_parse_compact(o, &os, sig) == 1);
        FUZZ_CHECK(secp256k1_ecdsa_verify(o, &os, msg, &pk) == 1);
    }
#endif
    return 0;
}
