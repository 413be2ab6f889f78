// Allocation failure through every export that allocates: with the global
// operator new replaced (failing_new.cpp), allocation k fails for k = 0, 1,
// 2, ... until a call gets through without reaching it. Each failing call
// must return 9 with "allocation failed" and leave its outputs untouched —
// or succeed with the right outputs when the allocation was an optional one
// (a per-thread cache) — and leave no block behind.
//
// The generator tables are where most allocation happens; each attempt
// starts with them dropped, and the table states below decide whether the
// call rebuilds them (with or without saving the cache file) or loads them.
// Each attempt runs on a new thread, so the per-thread caches start empty.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "arith/precompute.h"
#include "failing_new.h"
#include "qorvex.h"

namespace qorvex::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// No call here needs anywhere near this many allocations; reaching it means
// the loop does not end.
constexpr long kMaxAttempts = 2000;

Bytes filled(size_t n, uint8_t v) { return Bytes(n, v); }

Bytes hex32(const char* fill) {
    Bytes b(32);
    for (size_t i = 0; i < 32; ++i) b[i] = static_cast<uint8_t>(fill[i % std::strlen(fill)]);
    return b;
}

// Inputs shared by the cases, made once with allocation untouched.
struct Inputs {
    qorvex_ctx* ctx = nullptr;
    Bytes key = hex32("qorvex-alloc-key"), tweak = hex32("tweak"), msg = hex32("message"), aux = hex32("aux");
    Bytes pub33 = Bytes(33), xonly = Bytes(32), ecdsa_sig = Bytes(64), opaque = Bytes(64), schnorr_sig = Bytes(64);
    Bytes eth_r = Bytes(32), eth_s = Bytes(32);
    uint64_t eth_v = 0;
    int recid = 0;
    qorvex_bip32_key xprv{}, xpub{};
    std::string mnemonic;
    std::string message_sig, p2wpkh, p2tr, simple_p2wpkh, simple_p2tr;
    Bytes bip322_ecdsa = Bytes(65), bip322_schnorr = Bytes(64);
    std::string tr_descriptor, wpkh_descriptor;
    // ECDH, ECIES, commitments, proofs, adaptor signatures.
    Bytes g33 = Bytes(33), t33 = Bytes(33), commitment = Bytes(33), knowledge = Bytes(64);
    Bytes schnorr_pre = Bytes(97), ecdsa_pre = Bytes(162), schnorr_adapted = Bytes(64), ecdsa_adapted = Bytes(64);
    Bytes plain = hex32("an ECIES plaintext"), envelope = Bytes(32 + QORVEX_ECIES_OVERHEAD);
    Bytes work = Bytes(32 + QORVEX_ECIES_OVERHEAD);  // scratch for the in-place calls, made ahead
    // A range proof of kRangeValue under the blinding tweak.
    static constexpr uint64_t kRangeValue = 12345;
    Bytes range_commitment = Bytes(33), range_proof = Bytes(QORVEX_ZK_RANGE_PROOF_SIZE);

    Inputs() {
        if (qorvex_ctx_create(&ctx) != QORVEX_OK) std::abort();
        qorvex_pubkey_create(ctx, key.data(), pub33.data());
        qorvex_pubkey_xonly(ctx, key.data(), xonly.data());
        qorvex_ecdsa_sign_recoverable(ctx, msg.data(), key.data(), ecdsa_sig.data(), &recid);
        qorvex_ecdsa_sig_compact_to_opaque(ctx, ecdsa_sig.data(), opaque.data());
        qorvex_schnorr_sign(ctx, msg.data(), key.data(), aux.data(), schnorr_sig.data());
        qorvex_eth_sign(ctx, msg.data(), key.data(), eth_r.data(), eth_s.data(), &eth_v, 1);
        // A master key and its xpub record (the layout of qorvex.h).
        qorvex_bip32_master(ctx, key.data(), 32, &xprv);
        xpub = xprv;
        const uint8_t version[4] = {0x04, 0x88, 0xB2, 0x1E};
        std::memcpy(xpub.data, version, 4);
        qorvex_bip32_pubkey(ctx, &xprv, xpub.data + 45);
        xpub.data[78] = 0;
        char m[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
        size_t len = sizeof m;
        qorvex_bip39_generate(ctx, 16, key.data(), m, &len);
        mnemonic.assign(m, len);
        // Signed messages and the P2WPKH and P2TR addresses of the key.
        char text[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE];
        len = sizeof text;
        qorvex_btc_message_sign(ctx, msg.data(), 32, key.data(), text, &len);
        message_sig.assign(text, len);
        size_t n = bip322_ecdsa.size();
        qorvex_bip322_sign(ctx, key.data(), QORVEX_BIP322_P2WPKH, msg.data(), 32, bip322_ecdsa.data(), &n);
        n = bip322_schnorr.size();
        qorvex_bip322_sign(ctx, key.data(), QORVEX_BIP322_P2TR, msg.data(), 32, bip322_schnorr.data(), &n);
        len = sizeof text;
        qorvex_addr_p2wpkh(ctx, pub33.data(), 0, text, &len);
        p2wpkh.assign(text, len);
        uint8_t q[32];
        int parity = 0;
        qorvex_taproot_output_key(ctx, xonly.data(), nullptr, q, &parity);
        len = sizeof text;
        qorvex_addr_p2tr(ctx, q, 0, text, &len);
        p2tr.assign(text, len);
        len = sizeof text;
        qorvex_bip322_simple_sign(ctx, key.data(), QORVEX_BIP322_P2WPKH, msg.data(), 32, nullptr, text, &len);
        simple_p2wpkh.assign(text, len);
        len = sizeof text;
        qorvex_bip322_simple_sign(ctx, key.data(), QORVEX_BIP322_P2TR, msg.data(), 32, aux.data(), text, &len);
        simple_p2tr.assign(text, len);
        char t[QORVEX_BIP32_TEXT_SIZE];
        len = sizeof t;
        qorvex_bip32_to_base58(ctx, &xpub, t, &len);
        tr_descriptor = "tr(" + std::string(t, len) + "/<0;1>/*)";
        wpkh_descriptor = "wpkh(" + std::string(t, len) + "/0/*)";
        Bytes one(32, 0);
        one[31] = 1;
        qorvex_pubkey_create(ctx, one.data(), g33.data());
        qorvex_pubkey_create(ctx, tweak.data(), t33.data());
        qorvex_pedersen_commit(ctx, msg.data(), tweak.data(), commitment.data());
        qorvex_zk_knowledge_prove(ctx, key.data(), pub33.data(), msg.data(), aux.data(), knowledge.data());
        qorvex_schnorr_adaptor_sign(ctx, key.data(), msg.data(), t33.data(), aux.data(), schnorr_pre.data());
        qorvex_schnorr_adaptor_adapt(ctx, schnorr_pre.data(), tweak.data(), schnorr_adapted.data());
        qorvex_ecdsa_adaptor_sign(ctx, key.data(), msg.data(), t33.data(), ecdsa_pre.data());
        qorvex_ecdsa_adaptor_adapt(ctx, ecdsa_pre.data(), tweak.data(), ecdsa_adapted.data());
        len = envelope.size();
        if (qorvex_ecies_encrypt(ctx, pub33.data(), plain.data(), plain.size(), envelope.data(), &len) != QORVEX_OK)
            std::abort();
        Bytes value32(32, 0);
        value32[30] = kRangeValue >> 8;
        value32[31] = kRangeValue & 0xFF;
        qorvex_pedersen_commit(ctx, value32.data(), tweak.data(), range_commitment.data());
        len = range_proof.size();
        if (qorvex_zk_range_prove(ctx, kRangeValue, tweak.data(), range_commitment.data(), aux.data(),
                                  range_proof.data(), &len) != QORVEX_OK ||
            // The verifier's fixed tables, made once per process, exist
            // before any block is counted.
            qorvex_zk_range_verify(ctx, range_commitment.data(), range_proof.data(), len) != QORVEX_OK)
            std::abort();
        make_items();
    }

    // One batch item of each scheme.
    Bytes ecdsa_item, schnorr_item;
    void make_items() {
        ecdsa_item = msg;
        ecdsa_item.insert(ecdsa_item.end(), pub33.begin(), pub33.end());
        ecdsa_item.insert(ecdsa_item.end(), ecdsa_sig.begin(), ecdsa_sig.end());
        schnorr_item = xonly;
        schnorr_item.insert(schnorr_item.end(), msg.begin(), msg.end());
        schnorr_item.insert(schnorr_item.end(), schnorr_sig.begin(), schnorr_sig.end());
    }
};

// MuSig2 and FROST inputs: a 3-signer MuSig2 session in which the first key
// signs, and a 2-of-3 FROST key generation with participants 1 and 2
// ready to sign. Made once, with allocation untouched.
struct ThresholdInputs {
    uint8_t keys[3][32] = {}, pubkeys[99] = {}, xonly[32] = {}, agg[32] = {};
    uint8_t keyagg[QORVEX_MUSIG2_KEYAGG_SIZE] = {}, session[QORVEX_MUSIG2_SESSION_SIZE] = {};
    uint8_t pubnonces[3 * QORVEX_MUSIG2_PUBNONCE_SIZE] = {}, aggnonce[QORVEX_MUSIG2_AGGNONCE_SIZE] = {};
    uint8_t secnonce[QORVEX_MUSIG2_SECNONCE_SIZE] = {}, psig[32] = {};
    static constexpr size_t kCommits = QORVEX_FROST_COMMITMENT_SIZE(2), kShares = QORVEX_FROST_SHARES_SIZE(3);
    Bytes commits = Bytes(3 * kCommits), shares = Bytes(3 * kShares), received;
    uint8_t keypkgs[2][QORVEX_FROST_KEYPKG_SIZE] = {}, nonce[QORVEX_FROST_NONCE_SIZE] = {};
    uint8_t list[2 * QORVEX_FROST_NONCE_COMMIT_SIZE] = {}, partials[2 * QORVEX_FROST_PARTIAL_SIG_SIZE] = {};
    Bytes seed1 = hex32("frost-1");

    explicit ThresholdInputs(qorvex_ctx* ctx) {
        for (int i = 0; i < 3; ++i) {
            const Bytes k = hex32(i == 0 ? "musig2-a" : i == 1 ? "musig2-b" : "musig2-c");
            std::memcpy(keys[i], k.data(), 32);
            qorvex_pubkey_create(ctx, keys[i], pubkeys + 33 * i);
        }
        qorvex_pubkey_xonly(ctx, keys[0], xonly);
        qorvex_musig2_key_agg(ctx, pubkeys, 3, keyagg, agg);
        for (int i = 0; i < 3; ++i) {
            uint8_t sec[QORVEX_MUSIG2_SECNONCE_SIZE], x[32];
            const Bytes rand = hex32("rand");
            qorvex_pubkey_xonly(ctx, keys[i], x);
            qorvex_musig2_nonce_gen(ctx, keys[i], x, agg, agg, rand.data(), i == 0 ? secnonce : sec,
                                    pubnonces + QORVEX_MUSIG2_PUBNONCE_SIZE * i);
        }
        qorvex_musig2_nonce_agg(ctx, pubnonces, 3, aggnonce);
        qorvex_musig2_start_sign_session(ctx, aggnonce, keyagg, agg, session);
        uint8_t used[QORVEX_MUSIG2_SECNONCE_SIZE];
        std::memcpy(used, secnonce, sizeof used);
        qorvex_musig2_partial_sign_v2(ctx, used, keys[0], pubkeys, keyagg, session, 0, psig);

        for (uint32_t id = 1; id <= 3; ++id) {
            const Bytes seed = hex32(id == 1 ? "frost-1" : id == 2 ? "frost-2" : "frost-3");
            size_t cl = kCommits, sl = kShares;
            qorvex_frost_keygen_begin(ctx, id, 2, 3, seed.data(), commits.data() + kCommits * (id - 1), &cl,
                                      shares.data() + kShares * (id - 1), &sl);
        }
        for (uint32_t id = 1; id <= 2; ++id) {
            Bytes mine;
            for (uint32_t m = 0; m < 3; ++m) {
                const uint8_t* e = shares.data() + kShares * m + QORVEX_FROST_SHARE_ENTRY_SIZE * (id - 1);
                mine.insert(mine.end(), e, e + QORVEX_FROST_SHARE_ENTRY_SIZE);
            }
            qorvex_frost_keygen_finalize(ctx, id, commits.data(), commits.size(), mine.data(), mine.size(), 2, 3,
                                         keypkgs[id - 1]);
            if (id == 1) received = mine;
        }
        uint8_t other[QORVEX_FROST_NONCE_SIZE], used1[QORVEX_FROST_NONCE_SIZE];
        qorvex_frost_sign_nonce_gen(ctx, 1, hex32("nonce-1").data(), nonce, list);
        qorvex_frost_sign_nonce_gen(ctx, 2, hex32("nonce-2").data(), other, list + QORVEX_FROST_NONCE_COMMIT_SIZE);
        std::memcpy(used1, nonce, sizeof used1);
        qorvex_frost_sign(ctx, keypkgs[0], used1, agg, list, 2, partials);
        qorvex_frost_sign(ctx, keypkgs[1], other, agg, list, 2, partials + QORVEX_FROST_PARTIAL_SIG_SIZE);
    }
};

bool g_context_made = false;

Inputs& inputs() {
    static Inputs in;
    g_context_made = true;
    return in;
}

// The first context of a process runs the self-test and builds the tables;
// allocation failing anywhere in there gives 9 and no context, and a later
// call tries again. Only meaningful in a process where no context was made
// yet, which is how ctest runs it.
TEST(AllocationFailureFirstContext, CreateRetriesAfterFailure) {
    if (g_context_made) GTEST_SKIP() << "a context already exists in this process";
    long k = 0;
    for (; k < kMaxAttempts; ++k) {
        qorvex_ctx* out = reinterpret_cast<qorvex_ctx*>(&k);  // anything but NULL
        alloc::arm(k);
        const int rc = qorvex_ctx_create(&out);
        alloc::disarm();
        if (!alloc::failure_injected()) {
            ASSERT_EQ(QORVEX_OK, rc);
            ASSERT_NE(nullptr, out);
            uint8_t key[32] = {1}, pub[33];
            EXPECT_EQ(QORVEX_OK, qorvex_pubkey_create(out, key, pub));
            qorvex_ctx_destroy(out);
            break;
        }
        EXPECT_EQ(QORVEX_ERR_INTERNAL, rc) << "k=" << k;
        EXPECT_EQ(nullptr, out) << "k=" << k;
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_GT(k, 1);
    EXPECT_LT(k, kMaxAttempts);
    std::printf("  qorvex_ctx_create (first)      %4ld allocations, each made to fail in turn\n", k);
}

// An export under test: it writes its outputs into `out` (out_size bytes,
// pre-filled by the caller) and returns its code.
struct AllocCase {
    const char* name;
    size_t out_size;
    std::function<int(qorvex_ctx*, uint8_t* out)> call;
};

std::vector<AllocCase> table_cases() {
    Inputs& in = inputs();
    static const ThresholdInputs threshold(in.ctx);
    const ThresholdInputs& th = threshold;
    return {
        {"qorvex_pubkey_tweak_add", 33,
         [&in](qorvex_ctx* c, uint8_t* out) { return qorvex_pubkey_tweak_add(c, in.pub33.data(), in.tweak.data(), out); }},
        {"qorvex_pubkey_tweak_mul", 33,
         [&in](qorvex_ctx* c, uint8_t* out) { return qorvex_pubkey_tweak_mul(c, in.pub33.data(), in.tweak.data(), out); }},
        {"qorvex_ecdsa_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_ecdsa_verify(c, in.msg.data(), in.ecdsa_sig.data(), in.pub33.data());
         }},
        {"qorvex_ecdsa_verify_opaque", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_ecdsa_verify_opaque(c, in.msg.data(), in.opaque.data(), in.pub33.data());
         }},
        {"qorvex_ecdsa_recover", 33,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_ecdsa_recover(c, in.msg.data(), in.ecdsa_sig.data(), in.recid, out);
         }},
        {"qorvex_ecdsa_sign_verified", 64,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_ecdsa_sign_verified(c, in.msg.data(), in.key.data(), out);
         }},
        {"qorvex_schnorr_sign", 64,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_schnorr_sign(c, in.msg.data(), in.key.data(), in.aux.data(), out);
         }},
        {"qorvex_schnorr_sign_msg", 64,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_schnorr_sign_msg(c, in.key.data(), in.msg.data(), 32, in.aux.data(), out);
         }},
        {"qorvex_schnorr_sign_verified", 64,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_schnorr_sign_verified(c, in.msg.data(), in.key.data(), in.aux.data(), out);
         }},
        {"qorvex_schnorr_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_schnorr_verify(c, in.msg.data(), in.schnorr_sig.data(), in.xonly.data());
         }},
        {"qorvex_schnorr_verify_msg", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             uint8_t sig[64];
             if (qorvex_schnorr_sign_msg(c, in.key.data(), in.msg.data(), 5, in.aux.data(), sig) != QORVEX_OK) return -1;
             return qorvex_schnorr_verify_msg(c, in.xonly.data(), in.msg.data(), 5, sig);
         }},
        {"qorvex_eth_ecrecover", 20,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_eth_ecrecover(c, in.msg.data(), in.eth_r.data(), in.eth_s.data(), in.eth_v, out);
         }},
        // The output key zeroes its outputs before it reaches the tables, so
        // they are copied out on success only: out holds the key and parity.
        {"qorvex_taproot_output_key", 33,
         [&in](qorvex_ctx* c, uint8_t* out) {
             uint8_t q[32];
             int parity = 0;
             const int rc = qorvex_taproot_output_key(c, in.xonly.data(), in.tweak.data(), q, &parity);
             if (rc == QORVEX_OK) {
                 std::memcpy(out, q, 32);
                 out[32] = static_cast<uint8_t>(parity);
             }
             return rc;
         }},
        {"qorvex_taproot_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             uint8_t q[32];
             int parity = 0;
             const int rc = qorvex_taproot_output_key(c, in.xonly.data(), nullptr, q, &parity);
             if (rc != QORVEX_OK) return rc;
             return qorvex_taproot_verify(c, q, parity, in.xonly.data(), nullptr, 0);
         }},
        // Public derivation takes k*G from the tables.
        {"qorvex_bip32_derive (xpub)", QORVEX_BIP32_KEY_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_bip32_derive(c, &in.xpub, 7, reinterpret_cast<qorvex_bip32_key*>(out));
         }},
        {"qorvex_bip32_derive_path (xpub)", QORVEX_BIP32_KEY_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_bip32_derive_path(c, &in.xpub, "m/0/1", reinterpret_cast<qorvex_bip32_key*>(out));
         }},
        // Signed messages: the key caches and the tables.
        {"qorvex_btc_message_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_btc_message_verify(c, in.msg.data(), 32, in.pub33.data(), in.message_sig.c_str());
         }},
        {"qorvex_bip322_verify (ECDSA, P2TR)", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             const int rc = qorvex_bip322_verify(c, in.pub33.data(), 33, QORVEX_BIP322_P2WPKH, in.msg.data(), 32,
                                                 in.bip322_ecdsa.data(), in.bip322_ecdsa.size());
             if (rc != QORVEX_OK) return rc;
             return qorvex_bip322_verify(c, in.xonly.data(), 32, QORVEX_BIP322_P2TR, in.msg.data(), 32,
                                         in.bip322_schnorr.data(), in.bip322_schnorr.size());
         }},
        {"qorvex_bip322_simple_verify (P2WPKH, P2TR)", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             const int rc = qorvex_bip322_simple_verify(c, in.p2wpkh.c_str(), in.msg.data(), 32, in.simple_p2wpkh.c_str());
             if (rc != QORVEX_OK) return rc;
             return qorvex_bip322_simple_verify(c, in.p2tr.c_str(), in.msg.data(), 32, in.simple_p2tr.c_str());
         }},
        // Descriptors: the text's copy and the path, then public derivation
        // and the output key through the tables. The record's kind is
        // written before derivation, so the record and the address are
        // copied out on success only.
        {"qorvex_descriptor_parse (tr, xpub)", sizeof(qorvex_descriptor) + QORVEX_ADDRESS_MAX_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             qorvex_descriptor rec{};
             char addr[QORVEX_ADDRESS_MAX_SIZE] = {0};
             size_t len = sizeof addr;
             const int rc = qorvex_descriptor_parse(c, in.tr_descriptor.c_str(), 7, &rec, addr, &len);
             if (rc == QORVEX_OK) {
                 std::memcpy(out, &rec, sizeof rec);
                 std::memcpy(out + sizeof rec, addr, sizeof addr);
             }
             return rc;
         }},
        {"qorvex_descriptor_address (wpkh, xpub)", QORVEX_ADDRESS_MAX_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             size_t len = QORVEX_ADDRESS_MAX_SIZE;
             return qorvex_descriptor_address(c, in.wpkh_descriptor.c_str(), 3, reinterpret_cast<char*>(out), &len);
         }},
        // Copies of the mnemonic and passphrase, their NFKD forms, the salt.
        {"qorvex_bip39_to_seed", QORVEX_BIP39_SEED_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_bip39_to_seed(c, in.mnemonic.c_str(), "caf\xc3\xa9 passphrase", out);
         }},
        // --- MuSig2 and FROST: outputs that are zeroed on failure are
        // kept out of the comparison (out_size 0) ---
        {"qorvex_musig2_key_agg", 0,
         [&th](qorvex_ctx* c, uint8_t*) {
             uint8_t keyagg[QORVEX_MUSIG2_KEYAGG_SIZE], agg[32];
             return qorvex_musig2_key_agg(c, th.pubkeys, 3, keyagg, agg);
         }},
        {"qorvex_musig2_nonce_agg", 0,
         [&th](qorvex_ctx* c, uint8_t*) {
             uint8_t agg[QORVEX_MUSIG2_AGGNONCE_SIZE];
             return qorvex_musig2_nonce_agg(c, th.pubnonces, 3, agg);
         }},
        {"qorvex_musig2_start_sign_session", 0,
         [&th](qorvex_ctx* c, uint8_t*) {
             uint8_t session[QORVEX_MUSIG2_SESSION_SIZE];
             return qorvex_musig2_start_sign_session(c, th.aggnonce, th.keyagg, th.agg, session);
         }},
        {"qorvex_musig2_partial_sign_v2", 0,
         [&th](qorvex_ctx* c, uint8_t*) {
             uint8_t nonce[QORVEX_MUSIG2_SECNONCE_SIZE], psig[32];
             std::memcpy(nonce, th.secnonce, sizeof nonce);
             return qorvex_musig2_partial_sign_v2(c, nonce, th.keys[0], th.pubkeys, th.keyagg, th.session, 0, psig);
         }},
        {"qorvex_musig2_partial_verify", 0,
         [&th](qorvex_ctx* c, uint8_t*) {
             return qorvex_musig2_partial_verify(c, th.psig, th.pubnonces, th.xonly, th.keyagg, th.session, 0);
         }},
        {"qorvex_frost_keygen_begin", ThresholdInputs::kCommits + ThresholdInputs::kShares,
         [&th](qorvex_ctx* c, uint8_t* out) {
             size_t cl = ThresholdInputs::kCommits, sl = ThresholdInputs::kShares;
             return qorvex_frost_keygen_begin(c, 1, 2, 3, th.seed1.data(), out, &cl,
                                              out + ThresholdInputs::kCommits, &sl);
         }},
        {"qorvex_frost_keygen_finalize", QORVEX_FROST_KEYPKG_SIZE,
         [&th](qorvex_ctx* c, uint8_t* out) {
             return qorvex_frost_keygen_finalize(c, 1, th.commits.data(), th.commits.size(), th.received.data(),
                                                 th.received.size(), 2, 3, out);
         }},
        {"qorvex_frost_sign", 0,
         [&th](qorvex_ctx* c, uint8_t*) {
             uint8_t nonce[QORVEX_FROST_NONCE_SIZE], psig[QORVEX_FROST_PARTIAL_SIG_SIZE];
             std::memcpy(nonce, th.nonce, sizeof nonce);
             return qorvex_frost_sign(c, th.keypkgs[0], nonce, th.agg, th.list, 2, psig);
         }},
        {"qorvex_frost_verify_partial", 0,
         [&th](qorvex_ctx* c, uint8_t*) {
             return qorvex_frost_verify_partial(c, th.partials, th.keypkgs[0] + 44, th.list, 2, th.agg,
                                                th.keypkgs[0] + 77);
         }},
        {"qorvex_frost_aggregate", 0,
         [&th](qorvex_ctx* c, uint8_t*) {
             uint8_t sig[64];
             return qorvex_frost_aggregate(c, th.partials, 2, th.list, 2, th.keypkgs[0] + 77, th.agg, sig);
         }},
        // ECIES allocates only to build a result aside when its buffers
        // overlap: encrypted in place, then decrypted to the output.
        {"qorvex_ecies_encrypt in place", 32,
         [&in](qorvex_ctx* c, uint8_t* out) {
             std::memcpy(in.work.data(), in.plain.data(), 32);
             size_t len = in.work.size(), back = 32;
             const int rc = qorvex_ecies_encrypt(c, in.pub33.data(), in.work.data(), 32, in.work.data(), &len);
             return rc ? rc : qorvex_ecies_decrypt(c, in.key.data(), in.work.data(), len, out, &back);
         }},
        {"qorvex_ecies_decrypt in place", 32,
         [&in](qorvex_ctx* c, uint8_t* out) {
             std::memcpy(in.work.data(), in.envelope.data(), in.envelope.size());
             size_t len = 32;
             const int rc =
                 qorvex_ecies_decrypt(c, in.key.data(), in.work.data(), in.work.size(), in.work.data(), &len);
             if (rc == QORVEX_OK) std::memcpy(out, in.work.data(), 32);
             return rc;
         }},
        {"qorvex_pedersen_verify_sum", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_pedersen_verify_sum(c, in.commitment.data(), 1, in.commitment.data(), 1);
         }},
        // The verifiers reach the generator tables (the other proof and
        // adaptor verifiers do the same through the same frame guard).
        {"qorvex_zk_knowledge_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_zk_knowledge_verify(c, in.knowledge.data(), in.pub33.data(), in.msg.data());
         }},
        {"qorvex_schnorr_adaptor_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_schnorr_adaptor_verify(c, in.schnorr_pre.data(), in.xonly.data(), in.msg.data(),
                                                  in.t33.data());
         }},
        // The range prover's folded generators and their tables, and the
        // verifier's per-thread scratch, are allocated per call.
        {"qorvex_zk_range_prove", QORVEX_ZK_RANGE_PROOF_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             size_t len = QORVEX_ZK_RANGE_PROOF_SIZE;
             return qorvex_zk_range_prove(c, Inputs::kRangeValue, in.tweak.data(), in.range_commitment.data(),
                                          in.aux.data(), out, &len);
         }},
        {"qorvex_zk_range_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_zk_range_verify(c, in.range_commitment.data(), in.range_proof.data(),
                                           in.range_proof.size());
         }},
        {"qorvex_zk_ecdsa_snark_witness", QORVEX_ZK_ECDSA_SNARK_WITNESS_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_zk_ecdsa_snark_witness(c, in.msg.data(), in.pub33.data(), in.ecdsa_sig.data(), out);
         }},
        {"qorvex_zk_schnorr_snark_witness", QORVEX_ZK_SCHNORR_SNARK_WITNESS_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_zk_schnorr_snark_witness(c, in.msg.data(), in.xonly.data(), in.schnorr_sig.data(), out);
         }},
        {"qorvex_multi_scalar_mul", 33,
         [&in](qorvex_ctx* c, uint8_t* out) {
             return qorvex_multi_scalar_mul(c, in.tweak.data(), in.pub33.data(), 1, out);
         }},
        {"qorvex_ecdsa_batch_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_ecdsa_batch_verify(c, in.ecdsa_item.data(), 1);
         }},
        {"qorvex_ecdsa_batch_identify_invalid", sizeof(size_t),
         [&in](qorvex_ctx* c, uint8_t* out) {
             size_t idx = 0, cnt = 1;
             const int rc = qorvex_ecdsa_batch_identify_invalid(c, in.ecdsa_item.data(), 1, &idx, &cnt);
             if (rc == QORVEX_OK && cnt != 0) std::memcpy(out, &idx, sizeof idx);
             return rc;
         }},
        {"qorvex_schnorr_batch_verify", 0,
         [&in](qorvex_ctx* c, uint8_t*) {
             return qorvex_schnorr_batch_verify(c, in.schnorr_item.data(), 1);
         }},
        {"qorvex_schnorr_batch_identify_invalid", sizeof(size_t),
         [&in](qorvex_ctx* c, uint8_t* out) {
             size_t idx = 0, cnt = 1;
             const int rc = qorvex_schnorr_batch_identify_invalid(c, in.schnorr_item.data(), 1, &idx, &cnt);
             if (rc == QORVEX_OK && cnt != 0) std::memcpy(out, &idx, sizeof idx);
             return rc;
         }},
        // BIP-352: the sender's and the receiver's lists, the tweak's
        // variable-base multiplication, the address decoder's strings.
        {"qorvex_bip352_send", 32,
         [&in](qorvex_ctx* c, uint8_t* out) {
             uint8_t rec[QORVEX_BIP352_RECIPIENT_SIZE], outpoint[QORVEX_BIP352_OUTPOINT_SIZE] = {7};
             std::memcpy(rec, in.pub33.data(), 33);
             std::memcpy(rec + 33, in.pub33.data(), 33);
             const uint8_t flag = 1;
             return qorvex_bip352_send(c, in.key.data(), &flag, 1, outpoint, 1, rec, 1, out);
         }},
        {"qorvex_bip352_tweak", QORVEX_BIP352_TWEAK_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             const uint8_t outpoint[QORVEX_BIP352_OUTPOINT_SIZE] = {7};
             return qorvex_bip352_tweak(c, in.pub33.data(), 1, outpoint, 1, out);
         }},
        {"qorvex_bip352_scan", QORVEX_BIP352_MATCH_SIZE,
         [&in](qorvex_ctx* c, uint8_t* out) {
             const uint8_t outpoint[QORVEX_BIP352_OUTPOINT_SIZE] = {7};
             size_t n = 1;
             uint8_t rec[QORVEX_BIP352_MATCH_SIZE] = {0};
             const int rc = qorvex_bip352_scan(c, in.key.data(), in.pub33.data(), nullptr, 0, in.pub33.data(), 1,
                                               outpoint, 1, in.xonly.data(), 1, rec, &n);
             if (rc == QORVEX_OK) std::memcpy(out, rec, sizeof rec);
             return rc;
         }},
        {"qorvex_bip352_address_decode", 66,
         [&in](qorvex_ctx* c, uint8_t* out) {
             char text[QORVEX_BIP352_ADDRESS_SIZE];
             size_t len = sizeof text;
             const int rc = qorvex_bip352_address_encode(c, in.pub33.data(), in.pub33.data(), 0, text, &len);
             if (rc != QORVEX_OK) return rc;
             int network = 0;
             return qorvex_bip352_address_decode(c, text, &network, out, out + 33);
         }},
    };
}

// How the generator tables stand when an attempt starts.
enum class Tables {
    rebuild_nowhere_to_save,  // no usable cache directory
    rebuild_and_save,         // a writable directory without the file
    load,                     // a directory holding a good file
    current,                  // already built: only per-thread state allocates
};

const char* to_string(Tables t) {
    switch (t) {
        case Tables::rebuild_nowhere_to_save: return "rebuild, nowhere to save";
        case Tables::rebuild_and_save: return "rebuild and save";
        case Tables::load: return "load the cache file";
        case Tables::current: return "tables current";
    }
    return "?";
}

struct Outcome {
    int rc = -1;
    bool injected = false;
    long allocations = 0;
    long leaked = 0;  // blocks still live once the tables are dropped again
    bool temporaries_left = false;
    long fds_leaked = 0;  // file descriptors left open
    std::string message;
    Bytes out;
};

class AllocationFailure : public ::testing::TestWithParam<Tables> {
protected:
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/qorvex-alloc-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        root_ = tmpl;
        fs::create_directories(root_ + "/save");
        fs::create_directories(root_ + "/load");
        std::FILE* f = std::fopen((root_ + "/plain-file").c_str(), "w");
        ASSERT_NE(nullptr, f);
        std::fclose(f);
        // The current directory is where a bare cache name would go.
        ASSERT_EQ(0, chdir(root_.c_str()));
        inputs();
        qorvex_set_cache_dir((root_ + "/load").c_str());
        ensure_built();  // writes the good file
        ASSERT_TRUE(fs::exists(cache_file_name(current_config().window_bits, current_config())));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // Puts the tables into the state; the same call afterwards frees what an
    // attempt left, so that the count of live blocks can be compared.
    static void prepare(Tables t) {
        switch (t) {
            case Tables::rebuild_nowhere_to_save:
                qorvex_set_cache_dir((root_ + "/plain-file/sub").c_str());
                break;
            case Tables::rebuild_and_save:
                for (const auto& e : fs::directory_iterator(root_ + "/save")) fs::remove(e.path());
                qorvex_set_cache_dir((root_ + "/save").c_str());
                break;
            case Tables::load:
                qorvex_set_cache_dir((root_ + "/load").c_str());
                break;
            case Tables::current:
                qorvex_set_cache_dir((root_ + "/load").c_str());
                ensure_built();
                break;
        }
    }

    static long open_fds() {
        long n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
        return n;
    }

    static std::vector<std::string> temporaries() {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(root_))
            if (e.path().filename().string().find(".tmp.") != std::string::npos) found.push_back(e.path());
        return found;
    }

    // One call on a fresh thread with allocation k failing (k < 0: none),
    // the tables in the given state.
    static Outcome run_once(const AllocCase& c, long k, Tables state) {
        Outcome o;
        o.out = filled(c.out_size, 0xA5);
        o.message.reserve(QORVEX_MAX_MESSAGE_LEN + 1);  // no allocation during the count
        prepare(state);
        const long fds_before = open_fds();
        const long before = alloc::live_blocks();
        std::thread t([&] {
            qorvex_ctx* ctx = inputs().ctx;
            alloc::arm(k);
            o.rc = c.call(ctx, o.out.data());
            o.allocations = alloc::disarm();
            o.injected = alloc::failure_injected();
            o.message = qorvex_last_error_msg(ctx);  // this thread's message
        });
        t.join();
        o.temporaries_left = !temporaries().empty();
        o.fds_leaked = open_fds() - fds_before;
        prepare(state);
        o.leaked = alloc::live_blocks() - before;
        return o;
    }

    static std::string root_;
};

std::string AllocationFailure::root_;

TEST_P(AllocationFailure, EveryAllocationOfTableUsers) {
    const Tables state = GetParam();
    for (const AllocCase& c : table_cases()) {
        const int parts_before = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
        SCOPED_TRACE(std::string(c.name) + ", " + to_string(state));
        const Outcome reference = run_once(c, -1, state);
        ASSERT_EQ(QORVEX_OK, reference.rc) << reference.message;
        EXPECT_EQ(0, reference.leaked);
        long k = 0;
        for (; k < kMaxAttempts; ++k) {
            const Outcome o = run_once(c, k, state);
            if (!o.injected) {
                // Fewer than k + 1 allocations: the call went through.
                EXPECT_EQ(QORVEX_OK, o.rc) << "k=" << k;
                EXPECT_EQ(reference.out, o.out) << "k=" << k;
                break;
            }
            EXPECT_EQ(0, o.leaked) << "k=" << k << ": blocks left behind";
            // A failed save is silent and leaves nothing behind.
            EXPECT_FALSE(o.temporaries_left) << "k=" << k << ": a temporary cache file left behind";
            EXPECT_EQ(0, o.fds_leaked) << "k=" << k << ": file descriptors left open";
            if (o.rc == QORVEX_OK) {
                // An optional allocation (a cache) failed and was done without.
                EXPECT_EQ(reference.out, o.out) << "k=" << k;
            } else {
                EXPECT_EQ(QORVEX_ERR_INTERNAL, o.rc) << "k=" << k;
                EXPECT_EQ("allocation failed", o.message) << "k=" << k;
                EXPECT_EQ(filled(c.out_size, 0xA5), o.out) << "k=" << k << ": output touched";
            }
            // One report per case is enough.
            if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() > parts_before)
                break;
        }
        EXPECT_LT(k, kMaxAttempts);
        std::printf("  %-30s %4ld allocations, each made to fail in turn\n", c.name, k);
    }
}

INSTANTIATE_TEST_SUITE_P(TableStates, AllocationFailure,
                         ::testing::Values(Tables::rebuild_nowhere_to_save, Tables::rebuild_and_save, Tables::load,
                                           Tables::current),
                         [](const ::testing::TestParamInfo<Tables>& i) {
                             switch (i.param) {
                                 case Tables::rebuild_nowhere_to_save: return std::string("RebuildNowhereToSave");
                                 case Tables::rebuild_and_save: return std::string("RebuildAndSave");
                                 case Tables::load: return std::string("Load");
                                 case Tables::current: return std::string("Current");
                             }
                             return std::string("Unknown");
                         });

// The exports that take no context: the cache directory's string copy.
TEST(AllocationFailureNoContext, SetCacheDir) {
    inputs();
    const std::string before = current_config().cache_dir;
    const std::string wanted = before + "/a-directory-name-long-enough-to-need-the-heap";
    long k = 0;
    for (; k < kMaxAttempts; ++k) {
        alloc::arm(k);
        const int rc = qorvex_set_cache_dir(wanted.c_str());
        alloc::disarm();
        if (!alloc::failure_injected()) {
            EXPECT_EQ(QORVEX_OK, rc);
            EXPECT_EQ(wanted, current_config().cache_dir);
            break;
        }
        EXPECT_EQ(QORVEX_ERR_INTERNAL, rc) << "k=" << k;
        EXPECT_EQ(before, current_config().cache_dir) << "k=" << k << ": changed although it failed";
    }
    EXPECT_GT(k, 0) << "the copy did not allocate: the test proves nothing";
    std::printf("  qorvex_set_cache_dir           %4ld allocations, each made to fail in turn\n", k);
    qorvex_set_cache_dir(before.c_str());
}

// The location is built as a string: every allocation made to fail gives 9
// and leaves the buffer and its size alone.
TEST(AllocationFailureNoContext, CacheLocation) {
    inputs();
    char want[4096];
    size_t want_len = sizeof want;
    ASSERT_EQ(QORVEX_OK, qorvex_cache_location(want, &want_len));
    long k = 0;
    for (; k < kMaxAttempts; ++k) {
        char buf[4096];
        std::memset(buf, 'z', sizeof buf);
        size_t len = sizeof buf;
        alloc::arm(k);
        const int rc = qorvex_cache_location(buf, &len);
        alloc::disarm();
        if (!alloc::failure_injected()) {
            EXPECT_EQ(QORVEX_OK, rc);
            EXPECT_EQ(std::string(want, want_len), std::string(buf, len));
            break;
        }
        EXPECT_EQ(QORVEX_ERR_INTERNAL, rc) << "k=" << k;
        EXPECT_EQ(sizeof buf, len) << "k=" << k;
        EXPECT_EQ('z', buf[0]) << "k=" << k;
    }
    EXPECT_GT(k, 0) << "nothing allocated: the test proves nothing";
    std::printf("  qorvex_cache_location          %4ld allocations, each made to fail in turn\n", k);
}

// The filter functions take no context: an allocation failure is code 9
// alone, with the output and its length untouched.
TEST(AllocationFailureNoContext, FilterBuildAndMatchAny) {
    inputs();
    std::vector<Bytes> items;
    for (int i = 0; i < 50; ++i) items.push_back(hex32(("element" + std::to_string(i)).c_str()));
    std::vector<const uint8_t*> ptrs;
    std::vector<size_t> lens;
    for (const Bytes& b : items) {
        ptrs.push_back(b.data());
        lens.push_back(b.size());
    }
    const Bytes key = filled(16, 7);
    Bytes reference(256);
    size_t reference_len = reference.size();
    ASSERT_EQ(QORVEX_OK, qorvex_gcs_build(key.data(), ptrs.data(), lens.data(), items.size(), reference.data(),
                                          &reference_len));
    reference.resize(reference_len);
    struct Call {
        const char* name;
        std::function<int(Bytes& out, size_t& len)> call;
    };
    const Call calls[] = {
        {"qorvex_gcs_build", [&](Bytes& out, size_t& len) {
             return qorvex_gcs_build(key.data(), ptrs.data(), lens.data(), items.size(), out.data(), &len);
         }},
        {"qorvex_gcs_match_any", [&](Bytes&, size_t&) {
             return qorvex_gcs_match_any(key.data(), reference.data(), reference.size(), items.size(), ptrs.data(),
                                         lens.data(), items.size());
         }},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(c.name);
        long k = 0;
        for (; k < kMaxAttempts; ++k) {
            Bytes out = filled(256, 0xA5);
            size_t len = out.size();
            const long before = alloc::live_blocks();
            alloc::arm(k);
            const int rc = c.call(out, len);
            alloc::disarm();
            EXPECT_EQ(before, alloc::live_blocks()) << "k=" << k;
            if (!alloc::failure_injected()) {
                EXPECT_EQ(QORVEX_OK, rc);
                break;
            }
            EXPECT_EQ(QORVEX_ERR_INTERNAL, rc) << "k=" << k;
            EXPECT_EQ(filled(256, 0xA5), out) << "k=" << k;
            EXPECT_EQ(256u, len) << "k=" << k;
        }
        EXPECT_GT(k, 0) << "no allocation: the test proves nothing";
        std::printf("  %-30s %4ld allocations, each made to fail in turn\n", c.name, k);
    }
}

// Batch signing zeroes its outputs first, so a failed call shows zeros (not
// the caller's bytes). Two items start a worker thread; the signatures
// written over the messages make the call copy its inputs first.
TEST(AllocationFailureNoContext, SignBatchFailsWithZeroedOutputs) {
    Inputs& in = inputs();
    for (const bool schnorr : {false, true}) {
        SCOPED_TRACE(schnorr ? "schnorr" : "ecdsa");
        Bytes keys = in.key;
        keys.insert(keys.end(), in.tweak.begin(), in.tweak.end());
        const Bytes aux(64, 7);
        // buf: the two messages, overwritten by the two signatures.
        auto call = [&](Bytes& buf) {
            return schnorr ? qorvex_schnorr_sign_batch(in.ctx, 2, buf.data(), keys.data(), aux.data(), buf.data())
                           : qorvex_ecdsa_sign_batch(in.ctx, 2, buf.data(), keys.data(), buf.data());
        };
        auto fresh = [&] {
            Bytes buf = in.msg;
            buf.insert(buf.end(), in.aux.begin(), in.aux.end());
            buf.resize(128, 0xA5);
            return buf;
        };
        Bytes reference = fresh();
        ASSERT_EQ(QORVEX_OK, call(reference));
        long k = 0;
        for (; k < kMaxAttempts; ++k) {
            Bytes buf = fresh();
            int rc = -1;
            bool injected = false;
            std::string message;
            std::thread t([&] {
                alloc::arm(k);
                rc = call(buf);
                alloc::disarm();
                injected = alloc::failure_injected();
                message = qorvex_last_error_msg(in.ctx);
            });
            t.join();
            if (!injected) {
                EXPECT_EQ(QORVEX_OK, rc);
                EXPECT_EQ(reference, buf);
                break;
            }
            EXPECT_EQ(QORVEX_ERR_INTERNAL, rc) << "k=" << k;
            EXPECT_EQ("allocation failed", message) << "k=" << k;
            EXPECT_EQ(Bytes(128, 0), buf) << "k=" << k << ": a signature left behind";
        }
        EXPECT_GT(k, 0);
        EXPECT_LT(k, kMaxAttempts);
        std::printf("  sign batch (%s)            %4ld allocations, each made to fail in turn\n",
                    schnorr ? "schnorr" : "ecdsa  ", k);
    }
}

// Context creation and cloning allocate the block without throwing.
TEST(AllocationFailureNoContext, CloneFailsCleanly) {
    qorvex_ctx* src = inputs().ctx;
    qorvex_ctx* out = reinterpret_cast<qorvex_ctx*>(&src);  // anything but NULL
    alloc::arm(0);
    EXPECT_EQ(QORVEX_ERR_INTERNAL, qorvex_ctx_clone(src, &out));
    alloc::disarm();
    EXPECT_EQ(nullptr, out);
    alloc::arm(0);
    EXPECT_EQ(QORVEX_ERR_INTERNAL, qorvex_ctx_create(&out));
    alloc::disarm();
    EXPECT_EQ(nullptr, out);
}

// Exports without the exception boundary must not allocate at all, once the
// process-wide and per-thread state they use exists: an allocation there
// could throw through the C interface. Each is called twice on one thread,
// the second time counted.
TEST(AllocationFailureNoContext, UnwrappedExportsDoNotAllocate) {
    Inputs& in = inputs();
    qorvex_ctx* c = in.ctx;
    struct Call {
        const char* name;
        std::function<int()> call;
    };
    const Call calls[] = {
        {"qorvex_ctx_size", [] { return static_cast<int>(qorvex_ctx_size()) - QORVEX_CTX_SIZE; }},
        {"qorvex_last_error", [c] { return qorvex_last_error(c); }},
        {"qorvex_last_error_msg", [c] { return qorvex_last_error_msg(c) ? 0 : 1; }},
        {"qorvex_error_str", [] { return qorvex_error_str(3) ? 0 : 1; }},
        {"qorvex_abi_version", [] { return qorvex_abi_version() == QORVEX_ABI_VERSION ? 0 : 1; }},
        {"qorvex_version", [] { return qorvex_version() == QORVEX_VERSION ? 0 : 1; }},
        {"qorvex_version_string", [] { return qorvex_version_string() ? 0 : 1; }},
        {"qorvex_seckey_verify", [&] { return qorvex_seckey_verify(c, in.key.data()); }},
        {"qorvex_seckey_negate", [&] {
             uint8_t k[32];
             std::memcpy(k, in.key.data(), 32);
             return qorvex_seckey_negate(c, k);
         }},
        {"qorvex_seckey_tweak_add", [&] {
             uint8_t k[32];
             std::memcpy(k, in.key.data(), 32);
             return qorvex_seckey_tweak_add(c, k, in.tweak.data());
         }},
        {"qorvex_seckey_tweak_mul", [&] {
             uint8_t k[32];
             std::memcpy(k, in.key.data(), 32);
             return qorvex_seckey_tweak_mul(c, k, in.tweak.data());
         }},
        {"qorvex_pubkey_create", [&] { uint8_t o[33]; return qorvex_pubkey_create(c, in.key.data(), o); }},
        {"qorvex_pubkey_create_uncompressed", [&] { uint8_t o[65]; return qorvex_pubkey_create_uncompressed(c, in.key.data(), o); }},
        {"qorvex_pubkey_xonly", [&] { uint8_t o[32]; return qorvex_pubkey_xonly(c, in.key.data(), o); }},
        {"qorvex_pubkey_parse", [&] { uint8_t o[33]; return qorvex_pubkey_parse(c, in.pub33.data(), 33, o); }},
        {"qorvex_pubkey_negate", [&] { uint8_t o[33]; return qorvex_pubkey_negate(c, in.pub33.data(), o); }},
        {"qorvex_pubkey_add", [&] {
             uint8_t n[33], o[33];
             qorvex_pubkey_create(c, in.tweak.data(), n);
             return qorvex_pubkey_add(c, in.pub33.data(), n, o);
         }},
        {"qorvex_pubkey_combine", [&] { uint8_t o[33]; return qorvex_pubkey_combine(c, in.pub33.data(), 1, o); }},
        {"qorvex_context_randomize", [&] {
             const int rc = qorvex_context_randomize(c, in.aux.data());
             return rc | qorvex_context_randomize(c, nullptr);
         }},
        {"qorvex_ecdsa_sign", [&] { uint8_t o[64]; return qorvex_ecdsa_sign(c, in.msg.data(), in.key.data(), o); }},
        {"qorvex_ecdsa_sign_recoverable", [&] {
             uint8_t o[64];
             int r;
             return qorvex_ecdsa_sign_recoverable(c, in.msg.data(), in.key.data(), o, &r);
         }},
        {"qorvex_ecdsa_sig_to_der and from_der", [&] {
             uint8_t der[72], back[64];
             size_t len = sizeof der;
             const int rc = qorvex_ecdsa_sig_to_der(c, in.ecdsa_sig.data(), der, &len);
             return rc | qorvex_ecdsa_sig_from_der(c, der, len, back);
         }},
        {"qorvex_ecdsa_sig_compact_to_opaque", [&] { uint8_t o[64]; return qorvex_ecdsa_sig_compact_to_opaque(c, in.ecdsa_sig.data(), o); }},
        {"qorvex_ecdsa_sig_opaque_to_compact", [&] { uint8_t o[64]; return qorvex_ecdsa_sig_opaque_to_compact(c, in.opaque.data(), o); }},
        {"qorvex_ecdsa_sig_normalize_opaque", [&] {
             uint8_t o[64];
             int ch;
             return qorvex_ecdsa_sig_normalize_opaque(c, in.opaque.data(), o, &ch);
         }},
        {"qorvex_eth_address", [&] { uint8_t o[20]; return qorvex_eth_address(c, in.pub33.data(), o); }},
        {"qorvex_eth_address_checksummed", [&] {
             char t[43];
             size_t len = sizeof t;
             return qorvex_eth_address_checksummed(c, in.pub33.data(), t, &len);
         }},
        {"qorvex_eth_personal_hash", [&] { uint8_t o[32]; return qorvex_eth_personal_hash(in.msg.data(), 32, o); }},
        {"qorvex_eth_sign", [&] {
             uint8_t r[32], s[32];
             uint64_t v;
             return qorvex_eth_sign(c, in.msg.data(), in.key.data(), r, s, &v, 1);
         }},
        {"qorvex_shamir_trick", [&] {
             uint8_t o[33];
             return qorvex_shamir_trick(c, in.tweak.data(), in.pub33.data(), in.msg.data(), in.pub33.data(), o);
         }},
        {"qorvex_keypair_create and schnorr_sign_keypair", [&] {
             uint8_t record[QORVEX_KEYPAIR_SIZE], sig[64];
             const int rc = qorvex_keypair_create(c, in.key.data(), record);
             return rc | qorvex_schnorr_sign_keypair(c, in.msg.data(), record, in.aux.data(), sig);
         }},
        {"qorvex_sha256", [&] { uint8_t o[32]; return qorvex_sha256(in.msg.data(), 32, o); }},
        {"qorvex_tagged_hash", [&] { uint8_t o[32]; return qorvex_tagged_hash("tag", in.msg.data(), 32, o); }},
        {"qorvex_sha512", [&] { uint8_t o[64]; return qorvex_sha512(in.msg.data(), 32, o); }},
        {"qorvex_hash160", [&] { uint8_t o[20]; return qorvex_hash160(in.msg.data(), 32, o); }},
        {"qorvex_keccak256", [&] { uint8_t o[32]; return qorvex_keccak256(in.msg.data(), 32, o); }},
        // Addresses, WIF and segwit scripts.
        {"qorvex_addr_p2pkh, _p2sh_p2wpkh, _p2wpkh, _p2tr", [&] {
             char a[QORVEX_ADDRESS_MAX_SIZE];
             size_t l1 = sizeof a, l2 = sizeof a, l3 = sizeof a, l4 = sizeof a;
             return qorvex_addr_p2pkh(c, in.pub33.data(), 0, a, &l1) |
                    qorvex_addr_p2sh_p2wpkh(c, in.pub33.data(), 1, a, &l2) |
                    qorvex_addr_p2wpkh(c, in.pub33.data(), 0, a, &l3) | qorvex_addr_p2tr(c, in.xonly.data(), 1, a, &l4);
         }},
        {"qorvex_addr_p2sh", [&] {
             char a[QORVEX_ADDRESS_MAX_SIZE];
             size_t len = sizeof a;
             return qorvex_addr_p2sh(in.msg.data(), 32, 0, a, &len);
         }},
        {"qorvex_wif_encode and _decode", [&] {
             char w[QORVEX_WIF_MAX_SIZE];
             size_t len = sizeof w;
             uint8_t k[32];
             int comp, net;
             const int rc = qorvex_wif_encode(c, in.key.data(), 1, 0, w, &len);
             return rc | qorvex_wif_decode(c, w, k, &comp, &net);
         }},
        {"qorvex_segwit_*", [&] {
             uint8_t spk[34], prog[40], h[32];
             int v;
             size_t len;
             int rc = qorvex_segwit_p2wsh_spk(in.msg.data(), spk) | qorvex_segwit_p2tr_spk(in.xonly.data(), spk) |
                      qorvex_segwit_p2wpkh_spk(in.msg.data(), spk) |
                      qorvex_segwit_witness_script_hash(in.msg.data(), 32, h);
             rc |= qorvex_segwit_parse_program(spk, 22, &v, prog, &len);
             return rc | (qorvex_segwit_is_witness_program(spk, 22) - 1);
         }},
        // BIP-32 (the private side; public derivation is guarded), BIP-39
        // without the seed, and BIP-85.
        {"qorvex_bip32_master, _derive, _derive_path (xprv)", [&] {
             qorvex_bip32_key k, child;
             const int rc = qorvex_bip32_master(c, in.msg.data(), 32, &k);
             return rc | qorvex_bip32_derive(c, &k, QORVEX_BIP32_HARDENED, &child) |
                    qorvex_bip32_derive_path(c, &k, "m/84'/0'/0'/0/0", &child);
         }},
        {"qorvex_bip32_privkey, _pubkey", [&] {
             uint8_t k[32], p[33];
             return qorvex_bip32_privkey(c, &in.xprv, k) | qorvex_bip32_pubkey(c, &in.xpub, p);
         }},
        {"qorvex_bip32_to_base58 and _from_base58", [&] {
             char t[QORVEX_BIP32_TEXT_SIZE];
             size_t len = sizeof t;
             qorvex_bip32_key k;
             const int rc = qorvex_bip32_to_base58(c, &in.xprv, t, &len);
             return rc | qorvex_bip32_from_base58(c, t, &k);
         }},
        {"qorvex_bip39_generate, _validate, _to_entropy", [&] {
             char m[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
             size_t len = sizeof m, elen = 32;
             uint8_t e[32];
             int rc = qorvex_bip39_generate(c, 32, in.key.data(), m, &len);
             len = sizeof m;
             rc |= qorvex_bip39_generate(c, 16, nullptr, m, &len);
             return rc | qorvex_bip39_validate(c, m) | qorvex_bip39_to_entropy(c, m, e, &elen);
         }},
        // The coin table: every address style, WIF, private derivation.
        {"qorvex_coin_address (all styles)", [&] {
             char a[QORVEX_COIN_ADDRESS_MAX_SIZE];
             int rc = 0;
             for (const int type : {0, 3, 60, 145, 195, 133}) {
                 size_t len = sizeof a;
                 rc |= qorvex_coin_address(c, in.pub33.data(), type, type & 1, a, &len);
             }
             return rc;
         }},
        {"qorvex_coin_wif_encode, _derive_from_seed", [&] {
             char w[QORVEX_COIN_WIF_MAX_SIZE], a[QORVEX_COIN_ADDRESS_MAX_SIZE];
             size_t wlen = sizeof w, alen = sizeof a;
             uint8_t sk[32], pub[33];
             const int rc = qorvex_coin_wif_encode(c, in.key.data(), 2, 0, w, &wlen);
             return rc | qorvex_coin_derive_from_seed(c, in.msg.data(), 32, 60, 0, 0, 3, 0, sk, pub, a, &alen);
         }},
        {"qorvex_bip85_entropy, _bip39", [&] {
             uint8_t e[32];
             char m[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
             size_t len = sizeof m;
             const int rc = qorvex_bip85_entropy(c, &in.xprv, "m/83696968'/0'/0'", e, 32);
             return rc | qorvex_bip85_bip39(c, &in.xprv, 24, 0, 1, m, &len);
         }},
        // Signed messages and the PSBT signers.
        {"qorvex_btc_message_hash, _sign", [&] {
             uint8_t h[32];
             char t[QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE];
             size_t len = sizeof t;
             const int rc = qorvex_btc_message_hash(in.msg.data(), 32, h);
             return rc | qorvex_btc_message_sign(c, in.msg.data(), 32, in.key.data(), t, &len);
         }},
        {"qorvex_bip322_sign (ECDSA, P2TR)", [&] {
             uint8_t s[65];
             size_t l1 = sizeof s, l2 = sizeof s;
             return qorvex_bip322_sign(c, in.key.data(), 1, in.msg.data(), 32, s, &l1) |
                    qorvex_bip322_sign(c, in.key.data(), 2, in.msg.data(), 32, s, &l2);
         }},
        {"qorvex_bip322_simple_sign (P2WPKH, P2TR)", [&] {
             char t[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE];
             size_t l1 = sizeof t, l2 = sizeof t;
             return qorvex_bip322_simple_sign(c, in.key.data(), 1, in.msg.data(), 32, nullptr, t, &l1) |
                    qorvex_bip322_simple_sign(c, in.key.data(), 2, in.msg.data(), 32, in.aux.data(), t, &l2);
         }},
        {"qorvex_psbt_derive_key (xprv), _sign_legacy, _sign_segwit, _sign_taproot", [&] {
             uint8_t k[32], s[73];
             size_t l1 = sizeof s, l2 = sizeof s, l3 = sizeof s;
             return qorvex_psbt_derive_key(c, &in.xprv, "m/86'/0'/0'/0/0", k) |
                    qorvex_psbt_sign_legacy(c, in.msg.data(), k, 1, s, &l1) |
                    qorvex_psbt_sign_segwit(c, in.msg.data(), k, 1, s, &l2) |
                    qorvex_psbt_sign_taproot(c, in.msg.data(), k, 0, nullptr, s, &l3);
         }},
        {"qorvex_ecdh", [&] { uint8_t o[32]; return qorvex_ecdh(c, in.key.data(), in.t33.data(), o); }},
        {"qorvex_ecdh_xonly", [&] { uint8_t o[32]; return qorvex_ecdh_xonly(c, in.key.data(), in.t33.data(), o); }},
        {"qorvex_ecdh_raw", [&] { uint8_t o[32]; return qorvex_ecdh_raw(c, in.key.data(), in.t33.data(), o); }},
        {"qorvex_ecies_encrypt and decrypt, separate buffers", [&] {
             uint8_t env[32 + QORVEX_ECIES_OVERHEAD], back[32];
             size_t len = sizeof env, back_len = sizeof back;
             const int rc = qorvex_ecies_encrypt(c, in.pub33.data(), in.plain.data(), 32, env, &len);
             return rc | qorvex_ecies_decrypt(c, in.key.data(), env, len, back, &back_len);
         }},
        {"qorvex_pedersen_commit", [&] { uint8_t o[33]; return qorvex_pedersen_commit(c, in.msg.data(), in.tweak.data(), o); }},
        {"qorvex_pedersen_switch_commit", [&] {
             uint8_t o[33];
             return qorvex_pedersen_switch_commit(c, in.msg.data(), in.tweak.data(), in.aux.data(), o);
         }},
        {"qorvex_pedersen_verify", [&] { return qorvex_pedersen_verify(c, in.commitment.data(), in.msg.data(), in.tweak.data()); }},
        {"qorvex_pedersen_blind_sum", [&] { uint8_t o[32]; return qorvex_pedersen_blind_sum(c, in.msg.data(), 1, in.tweak.data(), 1, o); }},
        {"qorvex_zk_knowledge_prove", [&] {
             uint8_t o[64];
             return qorvex_zk_knowledge_prove(c, in.key.data(), in.pub33.data(), in.msg.data(), in.aux.data(), o);
         }},
        {"qorvex_zk_dleq_prove", [&] {
             uint8_t o[64];
             return qorvex_zk_dleq_prove(c, in.key.data(), in.g33.data(), in.g33.data(), in.pub33.data(),
                                         in.pub33.data(), in.aux.data(), o);
         }},
        {"qorvex_schnorr_adaptor_sign", [&] {
             uint8_t o[97];
             return qorvex_schnorr_adaptor_sign(c, in.key.data(), in.msg.data(), in.t33.data(), in.aux.data(), o);
         }},
        {"qorvex_schnorr_adaptor_adapt", [&] { uint8_t o[64]; return qorvex_schnorr_adaptor_adapt(c, in.schnorr_pre.data(), in.tweak.data(), o); }},
        {"qorvex_schnorr_adaptor_extract", [&] { uint8_t o[32]; return qorvex_schnorr_adaptor_extract(c, in.schnorr_pre.data(), in.schnorr_adapted.data(), o); }},
        {"qorvex_ecdsa_adaptor_sign", [&] {
             uint8_t o[162];
             return qorvex_ecdsa_adaptor_sign(c, in.key.data(), in.msg.data(), in.t33.data(), o);
         }},
        {"qorvex_ecdsa_adaptor_adapt", [&] { uint8_t o[64]; return qorvex_ecdsa_adaptor_adapt(c, in.ecdsa_pre.data(), in.tweak.data(), o); }},
        {"qorvex_ecdsa_adaptor_extract", [&] { uint8_t o[32]; return qorvex_ecdsa_adaptor_extract(c, in.ecdsa_pre.data(), in.ecdsa_adapted.data(), o); }},
        {"qorvex_gcs_match", [&] {
             uint8_t filter[3] = {0};  // one code of value 0
             return qorvex_gcs_match(in.key.data(), filter, 3, 1, in.msg.data(), 32) == QORVEX_ERR_NOT_FOUND ? 0 : 1;
         }},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.name);
        ASSERT_EQ(0, call.call());
        alloc::arm(-1);
        const int rc = call.call();
        const long n = alloc::disarm();
        EXPECT_EQ(0, rc);
        EXPECT_EQ(0, n) << "allocations in an export without the exception boundary";
    }
}

}  // namespace
}  // namespace qorvex::test
