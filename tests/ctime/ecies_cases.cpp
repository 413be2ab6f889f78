// Constant-time cases: ECIES. AES runs on whichever back end the build and
// the processor choose (AES-NI as dispatched under valgrind; the portable
// one where QORVEX_AES_BACKEND forces it, as the ctime-adx preset does).
#include <vector>

#include "ctime.h"

namespace qorvex::ctime {

namespace {

constexpr size_t kLen = 100;  // several blocks and a partial one

std::vector<uint8_t> plaintext() {
    std::vector<uint8_t> p(kLen);
    for (size_t i = 0; i < kLen; ++i) p[i] = static_cast<uint8_t>(3 * i + 1);
    return p;
}

const uint8_t* recipient() {
    static uint8_t pub[33];
    static const bool made = qorvex_pubkey_create(g_ctx, kKey.b, pub) == QORVEX_OK;
    if (!made) std::abort();
    return pub;
}

// A fixed envelope to kKey (made once, unmarked).
const std::vector<uint8_t>& envelope() {
    static const std::vector<uint8_t> env = [] {
        const std::vector<uint8_t> pt = plaintext();
        std::vector<uint8_t> e(kLen + QORVEX_ECIES_OVERHEAD);
        size_t len = e.size();
        if (qorvex_ecies_encrypt(g_ctx, recipient(), pt.data(), pt.size(), e.data(), &len) != QORVEX_OK) std::abort();
        return e;
    }();
    return env;
}

}  // namespace

CT_FAMILY(ecies) {
    // The ephemeral key is marked secret inside the library, where it is
    // drawn; the envelope is random, so what is compared is its length and
    // the plaintext it decrypts back to.
    t.push_back(CT_CASE(qorvex_ecies_encrypt, "plaintext (and the ephemeral key)", [](bool mark, Observed& o) {
        std::vector<uint8_t> pt = plaintext();
        std::vector<uint8_t> env(kLen + QORVEX_ECIES_OVERHEAD);
        size_t len = env.size();
        if (mark) secret(pt.data(), pt.size());
        o.code(qorvex_ecies_encrypt(g_ctx, recipient(), pt.data(), pt.size(), env.data(), &len));
        o.add(&len, sizeof len);
        reveal(env.data(), env.size());
        std::vector<uint8_t> back(kLen);
        size_t back_len = back.size();
        o.code(qorvex_ecies_decrypt(g_ctx, kKey.b, env.data(), env.size(), back.data(), &back_len));
        o.add(back.data(), back.size());
    }));
    t.push_back(CT_CASE(qorvex_ecies_decrypt, "key", [](bool mark, Observed& o) {
        std::vector<uint8_t> tampered = envelope();
        tampered[60] ^= 1;
        const std::vector<uint8_t>* const envelopes[] = {&envelope(), &tampered};
        for (const Bytes32* k : kKeys) {
            for (const std::vector<uint8_t>* env : envelopes) {
                Bytes32 key = *k;
                std::vector<uint8_t> out(kLen, 0);
                size_t len = out.size();
                if (mark) secret(key.b, 32);
                o.code(qorvex_ecies_decrypt(g_ctx, key.b, env->data(), env->size(), out.data(), &len));
                o.add(out.data(), out.size());
                o.add(&len, sizeof len);
            }
        }
    }));
}

}  // namespace qorvex::ctime
