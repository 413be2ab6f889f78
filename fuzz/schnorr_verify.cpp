// BIP-340 verification of untrusted signatures, keys and messages.
//
// Input: a mode byte. Even: message (32), signature (64), x-only key (32) as
// given. Odd: key (32), auxiliary randomness (32) and message (32) are
// signed first, then the next input bytes flip bytes of message ||
// signature || key. What follows the first 129 bytes is a message of any
// length for qorvex_schnorr_verify_msg, checked with the same signature.
#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_schnorr_verify, qorvex_schnorr_verify_msg);

namespace {

struct Case {
    uint8_t msg[32];
    uint8_t sig[64];
    uint8_t pub[32];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const bool signed_mode = in.byte() & 1;
    Case v{};
    bool untouched = false;
    // The long message: everything after the fixed fields.
    const uint8_t* long_msg = size > 129 ? data + 129 : nullptr;
    const size_t long_len = size > 129 ? size - 129 : 0;
    if (signed_mode) {
        uint8_t key[32], aux[32];
        in.bytes(key, 32);
        in.bytes(aux, 32);
        in.bytes(v.msg, 32);
        if (qorvex_schnorr_sign(c, v.msg, key, aux, v.sig) != QORVEX_OK) return 0;
        FUZZ_CHECK(qorvex_pubkey_xonly(c, key, v.pub) == QORVEX_OK);
        // Up to 32 bytes of flips; the rest stays the long message.
        Input flips(in.rest(), in.rest_size() < 32 ? in.rest_size() : 32);
        untouched = flips.rest_size() < 2;
        tamper(flips, reinterpret_cast<uint8_t*>(&v), sizeof v);
    } else {
        in.bytes(v.msg, 32);
        in.bytes(v.sig, 64);
        in.bytes(v.pub, 32);
    }

    const int rc = qorvex_schnorr_verify(c, v.msg, v.sig, v.pub);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_SIG || rc == QORVEX_ERR_BAD_PUBKEY ||
               rc == QORVEX_ERR_VERIFY_FAIL);
    if (untouched) FUZZ_CHECK(rc == QORVEX_OK);
    // The same 32-byte message through the any-length entry point is a
    // different (tagged-hash) message: it must not be accepted by accident,
    // and a failed check of the signature or key reads the same either way.
    const int rc_msg = qorvex_schnorr_verify_msg(c, v.pub, long_msg, long_len, v.sig);
    FUZZ_CHECK(rc_msg == QORVEX_OK || rc_msg == QORVEX_ERR_BAD_SIG || rc_msg == QORVEX_ERR_BAD_PUBKEY ||
               rc_msg == QORVEX_ERR_VERIFY_FAIL);
    if (rc == QORVEX_ERR_BAD_SIG || rc == QORVEX_ERR_BAD_PUBKEY) FUZZ_CHECK(rc_msg == rc);
    uint8_t digest[32];
    FUZZ_CHECK(qorvex_tagged_hash("BIP0340/msg", long_len ? long_msg : digest, long_len, digest) == QORVEX_OK);
    FUZZ_CHECK(rc_msg == qorvex_schnorr_verify(c, digest, v.sig, v.pub));

#if QORVEX_FUZZ_ORACLE
    const secp256k1_context* o = oracle();
    secp256k1_xonly_pubkey pk;
    const bool pk_ok = secp256k1_xonly_pubkey_parse(o, &pk, v.pub) == 1;
    FUZZ_CHECK((pk_ok && secp256k1_schnorrsig_verify(o, v.sig, v.msg, 32, &pk) == 1) == (rc == QORVEX_OK));
    uint8_t their_digest[32];
    const char tag[] = "BIP0340/msg";
    FUZZ_CHECK(secp256k1_tagged_sha256(o, their_digest, reinterpret_cast<const uint8_t*>(tag), sizeof tag - 1,
                                       long_len ? long_msg : digest, long_len) == 1);
    FUZZ_CHECK(std::memcmp(their_digest, digest, 32) == 0);
    FUZZ_CHECK((pk_ok && secp256k1_schnorrsig_verify(o, v.sig, their_digest, 32, &pk) == 1) ==
               (rc_msg == QORVEX_OK));
    if (rc == QORVEX_ERR_BAD_PUBKEY) FUZZ_CHECK(!pk_ok);
#endif
    return 0;
}
