// With the thread's blinding on, no signing path and no public key of a
// secret key may multiply G by the key itself with the unblinded comb: a
// long-term key multiplied the same way on every call is what averaging
// side-channel attacks need. The program is linked with the library's calls
// of gen_mul_ct sent through the wrapper below, which records the scalars.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/scalar.h"
#include "qorvex.h"

namespace {

// Batch signing calls the comb on worker threads too, so the counts are
// atomic; the rest is written only while no call runs.
struct Watch {
    bool on = false;
    qorvex::Scalar key, neg_key;
    std::atomic<int> calls{0};
    std::atomic<int> key_calls{0};

    void start(const qorvex::Scalar& d) {
        key = d;
        neg_key = d.negate();
        calls = 0;
        key_calls = 0;
        on = true;
    }
};
Watch g_watch;

}  // namespace

extern "C" qorvex::Point __real__ZN6qorvex10gen_mul_ctERKNS_6ScalarE(const qorvex::Scalar& k);

extern "C" qorvex::Point __wrap__ZN6qorvex10gen_mul_ctERKNS_6ScalarE(const qorvex::Scalar& k) {
    if (g_watch.on) {
        ++g_watch.calls;
        if (k.equal(g_watch.key) || k.equal(g_watch.neg_key)) ++g_watch.key_calls;
    }
    return __real__ZN6qorvex10gen_mul_ctERKNS_6ScalarE(k);
}

namespace qorvex::test {
namespace {

const uint8_t kKey[32] = {0x3b, 0x1f, 0x55, 0x09, 0xa1, 0x7c, 0x42, 0xee, 0x10, 0x2d, 0x6b,
                          0x93, 0x07, 0xc8, 0x5e, 0x21, 0xf4, 0x38, 0x8a, 0x61, 0x0d, 0xb2,
                          0x4f, 0x97, 0x2c, 0x70, 0xe3, 0x15, 0x88, 0x46, 0xd9, 0x01};

struct SigningPath {
    const char* name;
    // Calls the export with kKey and returns its code; the output bytes go
    // to out.
    std::function<int(qorvex_ctx*, std::vector<uint8_t>& out)> call;
};

std::vector<SigningPath> signing_paths() {
    static const uint8_t msg[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                    17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
    static const uint8_t aux[32] = {0xaa};
    auto sized = [](std::vector<uint8_t>& out, size_t n) {
        out.assign(n, 0);
        return out.data();
    };
    return {
        {"qorvex_ecdsa_sign", [=](qorvex_ctx* c, auto& out) { return qorvex_ecdsa_sign(c, msg, kKey, sized(out, 64)); }},
        {"qorvex_ecdsa_sign_recoverable",
         [=](qorvex_ctx* c, auto& out) {
             int recid = 0;
             const int rc = qorvex_ecdsa_sign_recoverable(c, msg, kKey, sized(out, 65), &recid);
             out[64] = static_cast<uint8_t>(recid);
             return rc;
         }},
        {"qorvex_ecdsa_sign_verified",
         [=](qorvex_ctx* c, auto& out) { return qorvex_ecdsa_sign_verified(c, msg, kKey, sized(out, 64)); }},
        {"qorvex_schnorr_sign",
         [=](qorvex_ctx* c, auto& out) { return qorvex_schnorr_sign(c, msg, kKey, aux, sized(out, 64)); }},
        {"qorvex_schnorr_sign_verified",
         [=](qorvex_ctx* c, auto& out) { return qorvex_schnorr_sign_verified(c, msg, kKey, aux, sized(out, 64)); }},
        {"qorvex_schnorr_sign_msg",
         [=](qorvex_ctx* c, auto& out) { return qorvex_schnorr_sign_msg(c, kKey, msg, 5, aux, sized(out, 64)); }},
        {"qorvex_eth_sign",
         [=](qorvex_ctx* c, auto& out) {
             uint8_t* o = sized(out, 72);
             uint64_t v = 0;
             const int rc = qorvex_eth_sign(c, msg, kKey, o, o + 32, &v, 1);
             std::memcpy(o + 64, &v, 8);
             return rc;
         }},
        {"qorvex_pubkey_create", [=](qorvex_ctx* c, auto& out) { return qorvex_pubkey_create(c, kKey, sized(out, 33)); }},
        {"qorvex_pubkey_create_uncompressed",
         [=](qorvex_ctx* c, auto& out) { return qorvex_pubkey_create_uncompressed(c, kKey, sized(out, 65)); }},
        {"qorvex_pubkey_xonly", [=](qorvex_ctx* c, auto& out) { return qorvex_pubkey_xonly(c, kKey, sized(out, 32)); }},
        {"qorvex_keypair_create", [=](qorvex_ctx* c, auto& out) { return qorvex_keypair_create(c, kKey, sized(out, 96)); }},
        {"qorvex_schnorr_sign_keypair",
         [=](qorvex_ctx* c, auto& out) {
             uint8_t keypair[QORVEX_KEYPAIR_SIZE];
             const int rc = qorvex_keypair_create(c, kKey, keypair);
             if (rc != QORVEX_OK) return rc;
             return qorvex_schnorr_sign_keypair(c, msg, keypair, aux, sized(out, 64));
         }},
        // Both keys of a silent-payment receiver are long-term keys.
        {"qorvex_silent_payment_address",
         [=](qorvex_ctx* c, auto& out) {
             uint8_t* o = sized(out, 33 + 33 + QORVEX_SILENT_PAYMENT_ADDRESS_SIZE);
             size_t len = QORVEX_SILENT_PAYMENT_ADDRESS_SIZE;
             return qorvex_silent_payment_address(c, kKey, kKey, o, o + 33, reinterpret_cast<char*>(o + 66), &len);
         }},
        {"qorvex_silent_payment_scan",
         [=](qorvex_ctx* c, auto& out) {
             static const uint8_t two[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
             uint8_t input[33], output[32];
             std::memset(output, 0x11, sizeof output);
             const int rc = qorvex_pubkey_create(c, two, input);
             if (rc != QORVEX_OK) return rc;
             size_t found = 0;
             uint8_t* o = sized(out, sizeof found);
             const int scanned = qorvex_silent_payment_scan(c, kKey, kKey, input, 1, output, 1, nullptr, nullptr, &found);
             std::memcpy(o, &found, sizeof found);
             return scanned;
         }},
        // A silent-payment sender's input keys are long-term; a Taproot
        // input is made even first, which multiplies G by the key.
        {"qorvex_bip352_send",
         [=](qorvex_ctx* c, auto& out) {
             static const uint8_t three[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                               0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3};
             const uint8_t taproot[1] = {1};
             uint8_t outpoint[36] = {0x5c}, recipient[66];
             int rc = qorvex_pubkey_create(c, three, recipient);
             if (rc == QORVEX_OK) rc = qorvex_pubkey_create(c, three, recipient + 33);
             if (rc != QORVEX_OK) return rc;
             return qorvex_bip352_send(c, kKey, taproot, 1, outpoint, 1, recipient, 1, sized(out, 32));
         }},
        // Enough items for the batch signers to hand work to worker threads,
        // which must sign under the calling thread's blinding.
        {"qorvex_ecdsa_sign_batch",
         [=](qorvex_ctx* c, auto& out) {
             uint8_t msgs[8 * 32], keys[8 * 32];
             for (int i = 0; i < 8; ++i) std::memcpy(msgs + 32 * i, msg, 32), std::memcpy(keys + 32 * i, kKey, 32);
             return qorvex_ecdsa_sign_batch(c, 8, msgs, keys, sized(out, 8 * 64));
         }},
        {"qorvex_schnorr_sign_batch",
         [=](qorvex_ctx* c, auto& out) {
             uint8_t msgs[8 * 32], keys[8 * 32], auxes[8 * 32];
             for (int i = 0; i < 8; ++i)
                 std::memcpy(msgs + 32 * i, msg, 32), std::memcpy(keys + 32 * i, kKey, 32),
                     std::memcpy(auxes + 32 * i, aux, 32);
             return qorvex_schnorr_sign_batch(c, 8, msgs, keys, auxes, sized(out, 8 * 64));
         }},
    };
}

TEST(BlindingCoverage, NoSigningPathMultipliesTheKeyUnblinded) {
    qorvex_ctx* ctx = nullptr;
    ASSERT_EQ(QORVEX_OK, qorvex_ctx_create(&ctx));
    Scalar d;
    ASSERT_TRUE(Scalar::parse_nonzero(kKey, d));
    const uint8_t seed[32] = {0x42, 0x24};
    for (const SigningPath& path : signing_paths()) {
        SCOPED_TRACE(path.name);
        std::vector<uint8_t> plain, blinded;
        ASSERT_EQ(QORVEX_OK, qorvex_context_randomize(ctx, nullptr));
        g_watch.start(d);
        ASSERT_EQ(QORVEX_OK, path.call(ctx, plain));
        const int unblinded_key_calls = g_watch.key_calls;

        ASSERT_EQ(QORVEX_OK, qorvex_context_randomize(ctx, seed));
        g_watch.start(d);
        ASSERT_EQ(QORVEX_OK, path.call(ctx, blinded));
        g_watch.on = false;
        EXPECT_GT(g_watch.calls, 0) << "the wrapper sees the comb";
        EXPECT_EQ(0, g_watch.key_calls) << "the key went through the unblinded comb";
        EXPECT_EQ(plain, blinded) << "blinding changes no result";
        // Unblinded, the public keys are the key's own multiple: the watch
        // would have seen the fault.
        if (std::string(path.name).rfind("qorvex_pubkey", 0) == 0) {
            EXPECT_EQ(1, unblinded_key_calls);
        }
    }
    EXPECT_EQ(QORVEX_OK, qorvex_context_randomize(ctx, nullptr));
    qorvex_ctx_destroy(ctx);
}

}  // namespace
}  // namespace qorvex::test
