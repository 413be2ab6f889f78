// Signed messages of untrusted inputs: the signmessage hash and check, and
// the simplified BIP-322 check, each against what it is built from.
//
// Input: a mode byte, read modulo 4.
//   0: a compressed key (33), a message length byte and the message, then
//      the signature text (everything left, up to a NUL).
//   1: a private key (32), a message length byte and the message: signed,
//      then the remaining input flips characters of the text.
//   2: an address-type byte, a key length byte (modulo 34) and the key, a
//      signature length byte (modulo 70) and the signature, then the
//      message (everything left).
//   3: a private key (32) and an address-type byte, the message (the rest):
//      signed, and the signature must verify.
// The signmessage hash is checked against the preimage written here; the
// BIP-322 check against qorvex_schnorr_verify and qorvex_ecdsa_verify of
// the tagged hash. With the oracle, libsecp256k1 agrees with the ECDSA
// verdicts.
#include <string>
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_btc_message_hash, qorvex_btc_message_verify, qorvex_bip322_verify);

namespace {

// qorvex_btc_message_hash, and the same from the preimage spelled out.
void message_hash(const uint8_t* msg, size_t len, uint8_t out32[32]) {
    static const uint8_t kAny = 0;
    FUZZ_CHECK(qorvex_btc_message_hash(len ? msg : &kAny, len, out32) == QORVEX_OK);
    const char magic[] = "\x18" "Bitcoin Signed Message:\n";
    std::vector<uint8_t> pre(magic, magic + 25);
    // The compact size of a length below 2^16, the longest here.
    if (len < 253) {
        pre.push_back(static_cast<uint8_t>(len));
    } else {
        pre.push_back(0xFD);
        pre.push_back(static_cast<uint8_t>(len));
        pre.push_back(static_cast<uint8_t>(len >> 8));
    }
    pre.insert(pre.end(), msg, msg + len);
    uint8_t once[32], twice[32];
    FUZZ_CHECK(qorvex_sha256(pre.data(), pre.size(), once) == QORVEX_OK);
    FUZZ_CHECK(qorvex_sha256(once, 32, twice) == QORVEX_OK);
    FUZZ_CHECK(std::memcmp(twice, out32, 32) == 0);
}

int legacy_verify(qorvex_ctx* c, const uint8_t* msg, size_t len, const uint8_t pub[33], const std::string& text) {
    static const uint8_t kAny = 0;
    const int rc = qorvex_btc_message_verify(c, len ? msg : &kAny, len, pub, text.c_str());
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_PUBKEY || rc == QORVEX_ERR_BAD_SIG ||
               rc == QORVEX_ERR_VERIFY_FAIL);
    return rc;
}

int bip322_verify(qorvex_ctx* c, int type, const uint8_t* pub, size_t pub_len, const uint8_t* msg, size_t len,
                  const uint8_t* sig, size_t sig_len) {
    const int rc = qorvex_bip322_verify(c, pub, pub_len, type, len ? msg : nullptr, len, sig, sig_len);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_PUBKEY || rc == QORVEX_ERR_BAD_SIG ||
               rc == QORVEX_ERR_BAD_INPUT || rc == QORVEX_ERR_VERIFY_FAIL);
    // What it is built on, over the tagged hash.
    uint8_t h[32];
    FUZZ_CHECK(qorvex_tagged_hash("BIP0322-signed-message", len ? msg : h, len, h) == QORVEX_OK);
    if (type == QORVEX_BIP322_P2TR) {
        if (pub_len == 32 && sig_len >= 64) FUZZ_CHECK(rc == qorvex_schnorr_verify(c, h, sig, pub));
    } else if (pub_len == 33 && sig_len >= 64) {
        FUZZ_CHECK((rc == QORVEX_OK) == (qorvex_ecdsa_verify(c, h, sig, pub) == QORVEX_OK));
#if QORVEX_FUZZ_ORACLE
        const secp256k1_context* o = oracle();
        secp256k1_pubkey pk;
        secp256k1_ecdsa_signature s;
        const bool ok = secp256k1_ec_pubkey_parse(o, &pk, pub, 33) == 1 &&
                        secp256k1_ecdsa_signature_parse_compact(o, &s, sig) == 1 &&
                        secp256k1_ecdsa_verify(o, &s, h, &pk) == 1;  // refuses high S, as BIP-322 does
        FUZZ_CHECK(ok == (rc == QORVEX_OK));
#endif
    }
    return rc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const int mode = in.byte() % 4;
    uint8_t msg[255], h[32];

    if (mode == 0) {
        uint8_t pub[33];
        in.bytes(pub, 33);
        const size_t len = in.byte();
        in.bytes(msg, len);
        std::string text(reinterpret_cast<const char*>(in.rest()), in.rest_size());
        text.resize(std::strlen(text.c_str()));
        message_hash(msg, len, h);
        const int rc = legacy_verify(c, msg, len, pub, text);
        if (text.size() != 88 && rc != QORVEX_ERR_BAD_PUBKEY) FUZZ_CHECK(rc == QORVEX_ERR_BAD_SIG);
        return 0;
    }
    if (mode == 1) {
        uint8_t key[32], pub[33];
        in.bytes(key, 32);
        const size_t len = in.byte();
        in.bytes(msg, len);
        message_hash(msg, len, h);
        char text[QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE];
        size_t text_len = sizeof text;
        static const uint8_t kAny = 0;
        const int rc = qorvex_btc_message_sign(c, len ? msg : &kAny, len, key, text, &text_len);
        if (rc == QORVEX_ERR_BAD_KEY) {
            FUZZ_CHECK(text_len == 0);
            return 0;
        }
        FUZZ_CHECK(rc == QORVEX_OK && text_len == 88);
        FUZZ_CHECK(qorvex_pubkey_create(c, key, pub) == QORVEX_OK);
        std::string sig(text, text_len);
        FUZZ_CHECK(legacy_verify(c, msg, len, pub, sig) == QORVEX_OK);
        const bool untouched = in.rest_size() < 2;
        while (in.rest_size() >= 2) {
            const size_t pos = in.byte() % sig.size();
            sig[pos] = static_cast<char>(sig[pos] ^ (in.byte() & 0x7F));
        }
        sig.resize(std::strlen(sig.c_str()));
        const int rc_t = legacy_verify(c, msg, len, pub, sig);
        if (untouched) FUZZ_CHECK(rc_t == QORVEX_OK);
        return 0;
    }
    if (mode == 2) {
        const int type = in.byte() & 3;
        uint8_t pub[33], sig[69];
        const size_t pub_len = in.byte() % 34;
        in.bytes(pub, pub_len);
        const size_t sig_len = in.byte() % 70;
        in.bytes(sig, sig_len);
        const size_t len = in.rest_size();
        bip322_verify(c, type, pub, pub_len, in.rest(), len, sig, sig_len);
        return 0;
    }
    uint8_t key[32];
    in.bytes(key, 32);
    const int type = in.byte() & 3;
    const size_t len = in.rest_size();
    uint8_t sig[65];
    size_t sig_len = sizeof sig;
    const int rc = qorvex_bip322_sign(c, key, type, len ? in.rest() : nullptr, len, sig, &sig_len);
    if (rc == QORVEX_ERR_BAD_KEY) return 0;
    FUZZ_CHECK(rc == QORVEX_OK && sig_len == (type == QORVEX_BIP322_P2TR ? 64u : 65u));
    uint8_t pub[33];
    if (type == QORVEX_BIP322_P2TR) {
        FUZZ_CHECK(qorvex_pubkey_xonly(c, key, pub) == QORVEX_OK);
        FUZZ_CHECK(bip322_verify(c, type, pub, 32, in.rest(), len, sig, sig_len) == QORVEX_OK);
    } else {
        FUZZ_CHECK(qorvex_pubkey_create(c, key, pub) == QORVEX_OK);
        FUZZ_CHECK(bip322_verify(c, type, pub, 33, in.rest(), len, sig, sig_len) == QORVEX_OK);
    }
    return 0;
}
