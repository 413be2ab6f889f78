// ECIES decryption of untrusted envelopes.
//
// Input: a mode byte. Even: a private key (32) and the rest of the input as
// the envelope, decrypted as given. Odd: a private key (32), a length byte L
// and L bytes of plaintext (zero-padded), encrypted to the key's public key;
// the rest of the input then flips bytes of the envelope. A changed envelope
// must never decrypt; an unchanged one must give the plaintext back.
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_ecies_decrypt, qorvex_ecies_encrypt);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const bool sealed_mode = in.byte() & 1;
    uint8_t key[32];
    in.bytes(key, 32);

    std::vector<uint8_t> env, plain;
    std::vector<uint8_t> original;
    if (sealed_mode) {
        uint8_t pub[33];
        if (qorvex_pubkey_create(c, key, pub) != QORVEX_OK) return 0;
        plain.resize(static_cast<size_t>(in.byte()) + 1);
        in.bytes(plain.data(), plain.size());
        env.resize(plain.size() + QORVEX_ECIES_OVERHEAD);
        size_t len = env.size();
        FUZZ_CHECK(qorvex_ecies_encrypt(c, pub, plain.data(), plain.size(), env.data(), &len) == QORVEX_OK);
        FUZZ_CHECK(len == env.size());
        original = env;
        tamper(in, env.data(), env.size());
    } else {
        env.assign(in.rest(), in.rest() + in.rest_size());
    }

    std::vector<uint8_t> out(env.size() + 1, 0xEE);
    size_t out_len = out.size();
    // The envelope's pointer must be valid even when it is empty.
    static const uint8_t kNone = 0;
    const uint8_t* env_ptr = env.empty() ? &kNone : env.data();
    const int rc = qorvex_ecies_decrypt(c, key, env_ptr, env.size(), out.data(), &out_len);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_INPUT || rc == QORVEX_ERR_BAD_KEY ||
               rc == QORVEX_ERR_VERIFY_FAIL);
    if (env.size() < QORVEX_ECIES_MIN_ENVELOPE_SIZE) FUZZ_CHECK(rc == QORVEX_ERR_BAD_INPUT);
    if (rc == QORVEX_OK) {
        FUZZ_CHECK(out_len == env.size() - QORVEX_ECIES_OVERHEAD);
        FUZZ_CHECK(out[out_len] == 0xEE);  // nothing past the plaintext
    } else {
        FUZZ_CHECK(out_len == env.size() + 1);
        for (uint8_t b : out) FUZZ_CHECK(b == 0xEE);
    }
    if (sealed_mode) {
        FUZZ_CHECK((rc == QORVEX_OK) == (env == original));
        if (rc == QORVEX_OK) FUZZ_CHECK(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(out_len)) == plain);
    }
    return 0;
}
