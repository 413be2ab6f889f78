// BIP-340 signing of untrusted messages: the signing exports agree with
// each other and verify, and match the oracle's signatures byte for byte.
// Input: key (32), auxiliary randomness (32), message (32), then a message of
// any length (the rest).
#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_schnorr_sign, qorvex_schnorr_sign_verified, qorvex_schnorr_sign_msg);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    uint8_t key[32], aux[32], msg[32];
    in.bytes(key, 32);
    in.bytes(aux, 32);
    in.bytes(msg, 32);
    const uint8_t* long_msg = in.rest_size() ? in.rest() : nullptr;
    const size_t long_len = in.rest_size();
    const bool key_ok = qorvex_seckey_verify(c, key) == QORVEX_OK;

    uint8_t sig[64], sig_ver[64], sig_msg[64], xonly[32];
    const int rc = qorvex_schnorr_sign(c, msg, key, aux, sig);
    FUZZ_CHECK(rc == (key_ok ? QORVEX_OK : QORVEX_ERR_BAD_KEY));
    FUZZ_CHECK(qorvex_schnorr_sign_verified(c, msg, key, aux, sig_ver) == rc);
    FUZZ_CHECK(qorvex_schnorr_sign_msg(c, key, long_msg, long_len, aux, sig_msg) == rc);
    if (!key_ok) return 0;
    FUZZ_CHECK(std::memcmp(sig, sig_ver, 64) == 0);
    FUZZ_CHECK(qorvex_pubkey_xonly(c, key, xonly) == QORVEX_OK);
    FUZZ_CHECK(qorvex_schnorr_verify(c, msg, sig, xonly) == QORVEX_OK);
    FUZZ_CHECK(qorvex_schnorr_verify_msg(c, xonly, long_msg, long_len, sig_msg) == QORVEX_OK);
    // sign_msg signs the message's BIP0340/msg tagged hash.
    uint8_t digest[32], sig_digest[64];
    FUZZ_CHECK(qorvex_tagged_hash("BIP0340/msg", long_len ? long_msg : msg, long_len, digest) == QORVEX_OK);
    FUZZ_CHECK(qorvex_schnorr_sign(c, digest, key, aux, sig_digest) == QORVEX_OK);
    FUZZ_CHECK(std::memcmp(sig_digest, sig_msg, 64) == 0);

#if QORVEX_FUZZ_ORACLE
    const secp256k1_context* o = oracle();
    secp256k1_keypair kp;
    FUZZ_CHECK(secp256k1_keypair_create(o, &kp, key) == 1);
    uint8_t theirs[64];
    FUZZ_CHECK(secp256k1_schnorrsig_sign32(o, theirs, msg, &kp, aux) == 1);
    FUZZ_CHECK(std::memcmp(theirs, sig, 64) == 0);
    FUZZ_CHECK(secp256k1_schnorrsig_sign32(o, theirs, digest, &kp, aux) == 1);
    FUZZ_CHECK(std::memcmp(theirs, sig_msg, 64) == 0);
#endif
    return 0;
}
