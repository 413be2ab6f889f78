// Verification of untrusted adaptor pre-signatures, Schnorr and ECDSA.
//
// Input: a mode byte. Even: for Schnorr a pre-signature (97), an x-only key
// (32), a message (32) and an adaptor point (33); for ECDSA a pre-signature
// (162), a key (33), a message and an adaptor point; all as given. Odd: a
// key (32), an adaptor secret (32), a message (32) and auxiliary randomness
// (32) make valid pre-signatures of both kinds; the rest of the input flips
// bytes of pre-signature || statement. A changed pre-signature or statement
// must not verify, except where the Schnorr pre-signature still reads the
// same: the 31 ignored bytes, the flag's non-zero value, and the flag
// flipped together with the sign of T (the pre-signature then commits to
// the same point R for the negated adaptor point, and adapts with -t). One
// that verifies adapts to a signature the ordinary verifier accepts and
// gives the secret back.
#include <cstring>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_schnorr_adaptor_verify, qorvex_ecdsa_adaptor_verify);

namespace {

struct SchnorrCase {
    uint8_t pre[97];
    uint8_t xonly[32];
    uint8_t msg[32];
    uint8_t t33[33];
};

struct EcdsaCase {
    uint8_t pre[162];
    uint8_t pub[33];
    uint8_t msg[32];
    uint8_t t33[33];
};

// T, negated when the flag is set: the point the verifier adds to R_hat.
void effective_t(const SchnorrCase& a, uint8_t out33[33]) {
    std::memcpy(out33, a.t33, 33);
    if (a.pre[65] != 0 && (out33[0] == 2 || out33[0] == 3)) out33[0] ^= 1;
}

// Equal as the verifier reads them.
bool same_schnorr(const SchnorrCase& a, const SchnorrCase& b) {
    uint8_t ta[33], tb[33];
    effective_t(a, ta);
    effective_t(b, tb);
    return std::memcmp(a.pre, b.pre, 65) == 0 && std::memcmp(ta, tb, 33) == 0 &&
           std::memcmp(a.xonly, b.xonly, 32) == 0 && std::memcmp(a.msg, b.msg, 32) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const bool signed_mode = in.byte() & 1;
    SchnorrCase s{}, s0{};
    EcdsaCase e{}, e0{};
    uint8_t t[32] = {};
    if (signed_mode) {
        uint8_t key[32], aux[32];
        in.bytes(key, 32);
        in.bytes(t, 32);
        in.bytes(s.msg, 32);
        in.bytes(aux, 32);
        std::memcpy(e.msg, s.msg, 32);
        if (qorvex_pubkey_xonly(c, key, s.xonly) != QORVEX_OK || qorvex_pubkey_create(c, t, s.t33) != QORVEX_OK)
            return 0;
        FUZZ_CHECK(qorvex_pubkey_create(c, key, e.pub) == QORVEX_OK);
        std::memcpy(e.t33, s.t33, 33);
        FUZZ_CHECK(qorvex_schnorr_adaptor_sign(c, key, s.msg, s.t33, aux, s.pre) == QORVEX_OK);
        FUZZ_CHECK(qorvex_ecdsa_adaptor_sign(c, key, e.msg, e.t33, e.pre) == QORVEX_OK);
        s0 = s;
        e0 = e;
        Input again = in;
        tamper(in, reinterpret_cast<uint8_t*>(&s), sizeof s);
        tamper(again, reinterpret_cast<uint8_t*>(&e), sizeof e);
    } else {
        in.bytes(s.pre, 97);
        in.bytes(s.xonly, 32);
        in.bytes(s.msg, 32);
        in.bytes(s.t33, 33);
        in.bytes(e.pre, 162);
        in.bytes(e.pub, 33);
        std::memcpy(e.msg, s.msg, 32);
        std::memcpy(e.t33, s.t33, 33);
    }

    const int rs = qorvex_schnorr_adaptor_verify(c, s.pre, s.xonly, s.msg, s.t33);
    FUZZ_CHECK(rs == QORVEX_OK || rs == QORVEX_ERR_BAD_SIG || rs == QORVEX_ERR_BAD_PUBKEY ||
               rs == QORVEX_ERR_VERIFY_FAIL);
    const int re = qorvex_ecdsa_adaptor_verify(c, e.pre, e.pub, e.msg, e.t33);
    FUZZ_CHECK(re == QORVEX_OK || re == QORVEX_ERR_BAD_SIG || re == QORVEX_ERR_BAD_PUBKEY ||
               re == QORVEX_ERR_VERIFY_FAIL);
    if (!signed_mode) return 0;

    FUZZ_CHECK((rs == QORVEX_OK) == same_schnorr(s, s0));
    FUZZ_CHECK((re == QORVEX_OK) == (std::memcmp(&e, &e0, sizeof e) == 0));
    uint8_t sig[64], back[32];
    if (rs == QORVEX_OK) {
        // The secret of the adaptor point now given: -t when T was negated.
        uint8_t ts[32];
        std::memcpy(ts, t, 32);
        if (std::memcmp(s.t33, s0.t33, 33) != 0) FUZZ_CHECK(qorvex_seckey_negate(c, ts) == QORVEX_OK);
        FUZZ_CHECK(qorvex_schnorr_adaptor_adapt(c, s.pre, ts, sig) == QORVEX_OK);
        FUZZ_CHECK(qorvex_schnorr_verify(c, s.msg, sig, s.xonly) == QORVEX_OK);
        FUZZ_CHECK(qorvex_schnorr_adaptor_extract(c, s.pre, sig, back) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(back, ts, 32) == 0);
#if QORVEX_FUZZ_ORACLE
        secp256k1_xonly_pubkey pk;
        FUZZ_CHECK(secp256k1_xonly_pubkey_parse(oracle(), &pk, s.xonly) == 1);
        FUZZ_CHECK(secp256k1_schnorrsig_verify(oracle(), sig, s.msg, 32, &pk) == 1);
#endif
    }
    if (re == QORVEX_OK) {
        uint8_t opaque[64];
        FUZZ_CHECK(qorvex_ecdsa_adaptor_adapt(c, e.pre, t, sig) == QORVEX_OK);
        FUZZ_CHECK(qorvex_ecdsa_sig_compact_to_opaque(c, sig, opaque) == QORVEX_OK);
        FUZZ_CHECK(qorvex_ecdsa_verify_opaque(c, e.msg, opaque, e.pub) == QORVEX_OK);
        FUZZ_CHECK(qorvex_ecdsa_adaptor_extract(c, e.pre, sig, back) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(back, t, 32) == 0);
#if QORVEX_FUZZ_ORACLE
        secp256k1_pubkey pk;
        secp256k1_ecdsa_signature os;
        FUZZ_CHECK(secp256k1_ec_pubkey_parse(oracle(), &pk, e.pub, 33) == 1);
        FUZZ_CHECK(secp256k1_ecdsa_signature_parse_compact(oracle(), &os, sig) == 1);
        secp256k1_ecdsa_signature_normalize(oracle(), &os, &os);
        FUZZ_CHECK(secp256k1_ecdsa_verify(oracle(), &os, e.msg, &pk) == 1);
#endif
    }
    return 0;
}
