// Private keys and tweaks: checks, negation, tweaks and the public keys they
// give. Input: key (32 bytes), then tweak (32 bytes).
#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_seckey_verify, qorvex_seckey_negate, qorvex_seckey_tweak_add, qorvex_seckey_tweak_mul,
                    qorvex_pubkey_create, qorvex_pubkey_create_uncompressed, qorvex_pubkey_xonly);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    uint8_t key[32], tweak[32];
    in.bytes(key, 32);
    in.bytes(tweak, 32);

    const int rc_verify = qorvex_seckey_verify(c, key);
    FUZZ_CHECK(rc_verify == QORVEX_OK || rc_verify == QORVEX_ERR_BAD_KEY);
    const bool key_ok = rc_verify == QORVEX_OK;

    // Public keys: the three forms agree with each other.
    uint8_t pub[33] = {}, pub65[65] = {}, xonly[32] = {};
    const int rc_pub = qorvex_pubkey_create(c, key, pub);
    FUZZ_CHECK(rc_pub == (key_ok ? QORVEX_OK : QORVEX_ERR_BAD_KEY));
    FUZZ_CHECK(qorvex_pubkey_create_uncompressed(c, key, pub65) == rc_pub);
    FUZZ_CHECK(qorvex_pubkey_xonly(c, key, xonly) == rc_pub);
    if (key_ok) {
        uint8_t from65[33];
        FUZZ_CHECK(qorvex_pubkey_parse(c, pub65, 65, from65) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(from65, pub, 33) == 0);
        FUZZ_CHECK(std::memcmp(xonly, pub + 1, 32) == 0);
    }

    // Negation: an involution whose public key is the negated point.
    uint8_t neg[32];
    std::memcpy(neg, key, 32);
    const int rc_neg = qorvex_seckey_negate(c, neg);
    FUZZ_CHECK(rc_neg == rc_verify);
    if (key_ok) {
        uint8_t negneg[32], pub_neg[33], pub_neg_direct[33];
        std::memcpy(negneg, neg, 32);
        FUZZ_CHECK(qorvex_seckey_negate(c, negneg) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(negneg, key, 32) == 0);
        FUZZ_CHECK(qorvex_pubkey_create(c, neg, pub_neg_direct) == QORVEX_OK);
        FUZZ_CHECK(qorvex_pubkey_negate(c, pub, pub_neg) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(pub_neg, pub_neg_direct, 33) == 0);
    } else {
        FUZZ_CHECK(std::memcmp(neg, key, 32) == 0);  // untouched on failure
    }

    // Tweaks: (k + t) G = kG + tG and (k t) G = t (kG).
    uint8_t sum[32], prod[32];
    std::memcpy(sum, key, 32);
    std::memcpy(prod, key, 32);
    const int rc_add = qorvex_seckey_tweak_add(c, sum, tweak);
    const int rc_mul = qorvex_seckey_tweak_mul(c, prod, tweak);
    FUZZ_CHECK(rc_add == QORVEX_OK || rc_add == QORVEX_ERR_BAD_KEY || rc_add == QORVEX_ERR_BAD_INPUT ||
               rc_add == QORVEX_ERR_ARITH);
    FUZZ_CHECK(rc_mul == QORVEX_OK || rc_mul == QORVEX_ERR_BAD_KEY || rc_mul == QORVEX_ERR_BAD_INPUT);
    if (!key_ok) FUZZ_CHECK(rc_add == QORVEX_ERR_BAD_KEY && rc_mul == QORVEX_ERR_BAD_KEY);
    if (rc_add != QORVEX_OK) FUZZ_CHECK(std::memcmp(sum, key, 32) == 0);
    if (rc_mul != QORVEX_OK) FUZZ_CHECK(std::memcmp(prod, key, 32) == 0);
    if (key_ok) {
        uint8_t via_pub[33], direct[33];
        const int rc_pub_add = qorvex_pubkey_tweak_add(c, pub, tweak, via_pub);
        FUZZ_CHECK(rc_pub_add == rc_add);
        if (rc_add == QORVEX_OK) {
            FUZZ_CHECK(qorvex_pubkey_create(c, sum, direct) == QORVEX_OK);
            FUZZ_CHECK(std::memcmp(direct, via_pub, 33) == 0);
        }
        const int rc_pub_mul = qorvex_pubkey_tweak_mul(c, pub, tweak, via_pub);
        FUZZ_CHECK(rc_pub_mul == rc_mul);
        if (rc_mul == QORVEX_OK) {
            FUZZ_CHECK(qorvex_pubkey_create(c, prod, direct) == QORVEX_OK);
            FUZZ_CHECK(std::memcmp(direct, via_pub, 33) == 0);
        }
    }

#if QORVEX_FUZZ_ORACLE
    const secp256k1_context* o = oracle();
    FUZZ_CHECK(key_ok == (secp256k1_ec_seckey_verify(o, key) == 1));
    if (key_ok) {
        secp256k1_pubkey pk;
        FUZZ_CHECK(secp256k1_ec_pubkey_create(o, &pk, key) == 1);
        uint8_t theirs[65];
        size_t len = 65;
        secp256k1_ec_pubkey_serialize(o, theirs, &len, &pk, SECP256K1_EC_UNCOMPRESSED);
        FUZZ_CHECK(std::memcmp(theirs, pub65, 65) == 0);
        oracle_compressed(pk, theirs);
        FUZZ_CHECK(std::memcmp(theirs, pub, 33) == 0);
        secp256k1_keypair kp;
        secp256k1_xonly_pubkey xpk;
        FUZZ_CHECK(secp256k1_keypair_create(o, &kp, key) == 1);
        FUZZ_CHECK(secp256k1_keypair_xonly_pub(o, &xpk, nullptr, &kp) == 1);
        FUZZ_CHECK(secp256k1_xonly_pubkey_serialize(o, theirs, &xpk) == 1);
        FUZZ_CHECK(std::memcmp(theirs, xonly, 32) == 0);
    }
    uint8_t t[32];
    std::memcpy(t, key, 32);
    FUZZ_CHECK((secp256k1_ec_seckey_negate(o, t) == 1) == key_ok);
    if (key_ok) FUZZ_CHECK(std::memcmp(t, neg, 32) == 0);
    std::memcpy(t, key, 32);
    const bool add_ok = secp256k1_ec_seckey_tweak_add(o, t, tweak) == 1;
    FUZZ_CHECK(add_ok == (rc_add == QORVEX_OK));
    if (add_ok) FUZZ_CHECK(std::memcmp(t, sum, 32) == 0);
    std::memcpy(t, key, 32);
    const bool mul_ok = secp256k1_ec_seckey_tweak_mul(o, t, tweak) == 1;
    FUZZ_CHECK(mul_ok == (rc_mul == QORVEX_OK));
    if (mul_ok) FUZZ_CHECK(std::memcmp(t, prod, 32) == 0);
#endif
    return 0;
}
