// Taproot output keys and commitment checks of untrusted internal keys and
// roots, and the private-key tweak against them.
//
// Input: a mode byte, then 32 bytes, a root length byte (0: no root; 1-32:
// that many root bytes for the check, 32 of them for the output key) and 32
// root bytes. Even mode: the 32 bytes are an internal x-only key. Odd mode:
// they are a private key, whose x-only key is the internal key, and its
// tweak must sign for the output key. With the oracle, libsecp256k1's
// x-only tweak gives the same output key.
#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_taproot_output_key, qorvex_taproot_verify, qorvex_taproot_tweak_seckey);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const bool from_seckey = in.byte() & 1;
    uint8_t key[32], root[32];
    in.bytes(key, 32);
    const size_t root_len = in.byte() % 33;
    in.bytes(root, 32);
    const uint8_t* root32 = root_len ? root : nullptr;

    uint8_t internal[32];
    if (from_seckey) {
        if (qorvex_pubkey_xonly(c, key, internal) != QORVEX_OK) {
            uint8_t out[32];
            FUZZ_CHECK(qorvex_taproot_tweak_seckey(c, key, root32, out) == QORVEX_ERR_BAD_KEY);
            return 0;
        }
    } else {
        std::memcpy(internal, key, 32);
    }

    uint8_t q[32];
    int parity = 9;
    const int rc = qorvex_taproot_output_key(c, internal, root32, q, &parity);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_PUBKEY || rc == QORVEX_ERR_ARITH);
    if (from_seckey) FUZZ_CHECK(rc == QORVEX_OK);
    // The commitment check with the root's given length, and with the 32
    // bytes the output key used.
    const int rc_verify = qorvex_taproot_verify(c, q, parity, internal, root, root_len);
    if (rc != QORVEX_OK) {
        FUZZ_CHECK(parity == 0);
        FUZZ_CHECK(rc_verify == QORVEX_ERR_VERIFY_FAIL);
        return 0;
    }
    FUZZ_CHECK(parity == 0 || parity == 1);
    FUZZ_CHECK(qorvex_taproot_verify(c, q, parity, internal, root, root_len ? 32 : 0) == QORVEX_OK);
    FUZZ_CHECK(qorvex_taproot_verify(c, q, 1 - parity, internal, root, root_len ? 32 : 0) ==
               QORVEX_ERR_VERIFY_FAIL);
    if (root_len == 0 || root_len == 32) FUZZ_CHECK(rc_verify == QORVEX_OK);

    if (from_seckey) {
        uint8_t tweaked[32], pub[33];
        FUZZ_CHECK(qorvex_taproot_tweak_seckey(c, key, root32, tweaked) == QORVEX_OK);
        FUZZ_CHECK(qorvex_pubkey_create(c, tweaked, pub) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(pub + 1, q, 32) == 0);
        FUZZ_CHECK((pub[0] == 0x03) == (parity == 1));
    }

#if QORVEX_FUZZ_ORACLE
    const secp256k1_context* o = oracle();
    secp256k1_xonly_pubkey xp;
    FUZZ_CHECK(secp256k1_xonly_pubkey_parse(o, &xp, internal) == 1);
    uint8_t msg[64], tweak[32];
    std::memcpy(msg, internal, 32);
    std::memcpy(msg + 32, root, 32);
    const char tag[] = "TapTweak";
    FUZZ_CHECK(secp256k1_tagged_sha256(o, tweak, reinterpret_cast<const uint8_t*>(tag), sizeof tag - 1, msg,
                                       root32 ? 64 : 32) == 1);
    FUZZ_CHECK(secp256k1_xonly_pubkey_tweak_add_check(o, q, parity, &xp, tweak) == 1);
#endif
    return 0;
}
