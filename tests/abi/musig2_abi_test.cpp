// MuSig2 through the exported functions: whole signing runs checked with
// BIP-340 verification, the BIP-327 vectors that fit two or three keys
// without tweaks, every code and message, single use of the secret nonce,
// and buffers that overlap.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kKeyAgg = QORVEX_MUSIG2_KEYAGG_SIZE;
constexpr size_t kSession = QORVEX_MUSIG2_SESSION_SIZE;
constexpr size_t kSecNonce = QORVEX_MUSIG2_SECNONCE_SIZE;
constexpr size_t kPubNonce = QORVEX_MUSIG2_PUBNONCE_SIZE;
constexpr size_t kAggNonce = QORVEX_MUSIG2_AGGNONCE_SIZE;
constexpr size_t kPartial = QORVEX_MUSIG2_PARTIAL_SIG_SIZE;

const char kWrongSigner[] = "privkey does not match pubkeys[signer_index] \xE2\x80\x94 wrong signer_index";

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes slice(const Bytes& b, size_t from, size_t len) { return Bytes(b.begin() + from, b.begin() + from + len); }

// Distinct valid keys: 32 bytes of (seed, index).
Bytes key_of(uint8_t seed, uint8_t i) {
    Bytes k(32, seed);
    k[0] = 0x11;
    k[31] = i;
    return k;
}

class Musig2 : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    void expect_error(int rc, int code, const std::string& message) {
        EXPECT_EQ(code, rc) << message;
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        if (code != 0) {
            EXPECT_EQ(message, qorvex_last_error_msg(ctx()));
        }
    }

    Bytes pub33(const Bytes& key) {
        Bytes out(33);
        EXPECT_EQ(0, qorvex_pubkey_create(ctx(), key.data(), out.data()));
        return out;
    }
    Bytes xonly(const Bytes& key) {
        Bytes out(32);
        EXPECT_EQ(0, qorvex_pubkey_xonly(ctx(), key.data(), out.data()));
        return out;
    }

    // One signing run of n signers, every step through the exports.
    struct Run {
        std::vector<Bytes> keys, pubs;
        Bytes pubkeys, keyagg = Bytes(kKeyAgg), agg = Bytes(32), msg;
        std::vector<Bytes> secnonces, pubnonces;
        Bytes aggnonce = Bytes(kAggNonce), session = Bytes(kSession);
        std::vector<Bytes> partials;
        Bytes sig = Bytes(64);
    };

    // Keys, aggregation, nonces and session; no signing yet.
    Run start(size_t n, uint8_t seed, const Bytes& msg) {
        Run r;
        r.msg = msg;
        for (size_t i = 0; i < n; ++i) {
            r.keys.push_back(key_of(seed, static_cast<uint8_t>(i + 1)));
            r.pubs.push_back(pub33(r.keys.back()));
            r.pubkeys.insert(r.pubkeys.end(), r.pubs.back().begin(), r.pubs.back().end());
        }
        EXPECT_EQ(0, qorvex_musig2_key_agg(ctx(), r.pubkeys.data(), n, r.keyagg.data(), r.agg.data()));
        Bytes all_pubnonces;
        for (size_t i = 0; i < n; ++i) {
            Bytes sec(kSecNonce), pub(kPubNonce), rand(32, static_cast<uint8_t>(0xA0 + i));
            rand[0] = seed;
            EXPECT_EQ(0, qorvex_musig2_nonce_gen(ctx(), r.keys[i].data(), xonly(r.keys[i]).data(), r.agg.data(),
                                                 msg.data(), rand.data(), sec.data(), pub.data()));
            r.secnonces.push_back(sec);
            r.pubnonces.push_back(pub);
            all_pubnonces.insert(all_pubnonces.end(), pub.begin(), pub.end());
        }
        EXPECT_EQ(0, qorvex_musig2_nonce_agg(ctx(), all_pubnonces.data(), n, r.aggnonce.data()));
        EXPECT_EQ(0, qorvex_musig2_start_sign_session(ctx(), r.aggnonce.data(), r.keyagg.data(), msg.data(),
                                                      r.session.data()));
        return r;
    }

    int sign(Run& r, size_t i, Bytes& out) {
        out.assign(kPartial, 0xEE);
        return qorvex_musig2_partial_sign_v2(ctx(), r.secnonces[i].data(), r.keys[i].data(), r.pubkeys.data(),
                                             r.keyagg.data(), r.session.data(), i, out.data());
    }

    // The whole run: every partial signature made and verified, summed,
    // and the sum checked as a BIP-340 signature.
    void finish(Run& r) {
        Bytes all;
        for (size_t i = 0; i < r.keys.size(); ++i) {
            Bytes p;
            ASSERT_EQ(0, sign(r, i, p)) << qorvex_last_error_msg(ctx());
            EXPECT_EQ(Bytes(kSecNonce, 0), r.secnonces[i]) << "the secret nonce is wiped";
            EXPECT_EQ(0, qorvex_musig2_partial_verify(ctx(), p.data(), r.pubnonces[i].data(), xonly(r.keys[i]).data(),
                                                      r.keyagg.data(), r.session.data(), i))
                << i;
            r.partials.push_back(p);
            all.insert(all.end(), p.begin(), p.end());
        }
        ASSERT_EQ(0, qorvex_musig2_partial_sig_agg(ctx(), all.data(), r.keys.size(), r.session.data(), r.sig.data()));
        EXPECT_EQ(0, qorvex_schnorr_verify(ctx(), r.msg.data(), r.sig.data(), r.agg.data()));
    }

    CtxPtr ctx_;
};

TEST_F(Musig2, RunsOfTwoAndThreeSignersGiveBip340Signatures) {
    // Enough runs that both parities of Q and of R occur; each one is
    // negated in the blobs and compensated in signing.
    bool q_negated[2] = {false, false}, r_negated[2] = {false, false};
    for (uint8_t seed = 1; seed <= 8; ++seed) {
        for (size_t n : {size_t{2}, size_t{3}}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(n) + " signers");
            Bytes msg(32, static_cast<uint8_t>(seed * 7));
            Run r = start(n, seed, msg);
            EXPECT_EQ(r.agg, slice(r.keyagg, 6, 32)) << "the x-only key is bytes 6 to 37";
            EXPECT_EQ(0x02, r.keyagg[5]);
            q_negated[r.keyagg[4] != 0] = true;
            r_negated[r.session[97] != 0] = true;
            finish(r);
            // Another message does not verify.
            msg[0] ^= 1;
            EXPECT_EQ(QORVEX_ERR_VERIFY_FAIL, qorvex_schnorr_verify(ctx(), msg.data(), r.sig.data(), r.agg.data()));
        }
    }
    EXPECT_TRUE(q_negated[0] && q_negated[1]);
    EXPECT_TRUE(r_negated[0] && r_negated[1]);
}

TEST_F(Musig2, KeyAggregationFollowsBip327) {
    const Json doc = load_json_vectors("bip327/key_agg_vectors.json");
    const auto& pubkeys = doc["pubkeys"].array();
    size_t run = 0;
    for (const Json& c : doc["valid_test_cases"].array()) {
        const auto& idx = c["key_indices"].array();
        if (idx.size() > 3) continue;  // more keys than a keyagg blob holds
        Bytes keys;
        for (const Json& i : idx) keys = cat({keys, from_hex(pubkeys[static_cast<size_t>(i.integer())].str())});
        Bytes keyagg(kKeyAgg), agg(32);
        ASSERT_EQ(0, qorvex_musig2_key_agg(ctx(), keys.data(), idx.size(), keyagg.data(), agg.data()));
        EXPECT_EQ(lower(c["expected"].str()), to_hex(agg));
        ++run;
    }
    EXPECT_EQ(3u, run);
    for (const Json& c : doc["error_test_cases"].array()) {
        if (!c["tweak_indices"].array().empty()) continue;  // tweaks are not offered
        Bytes keys;
        const auto& idx = c["key_indices"].array();
        for (const Json& i : idx) keys = cat({keys, from_hex(pubkeys[static_cast<size_t>(i.integer())].str())});
        Bytes keyagg(kKeyAgg, 0xAA), agg(32, 0xAA);
        SCOPED_TRACE(c["comment"].str());
        expect_error(qorvex_musig2_key_agg(ctx(), keys.data(), idx.size(), keyagg.data(), agg.data()),
                     QORVEX_ERR_BAD_PUBKEY, "invalid pubkey in key list");
        EXPECT_EQ(Bytes(kKeyAgg, 0), keyagg);
        EXPECT_EQ(Bytes(32, 0), agg);
    }
}

TEST_F(Musig2, KeyAggregationCountsAndTheSecondKeyRule) {
    const Bytes a = pub33(key_of(3, 1)), b = pub33(key_of(3, 2));
    const Bytes four = cat({a, b, a, b});
    struct Case {
        size_t n;
        const char* message;
    };
    for (const Case& c : {Case{0, "need >= 2 pubkeys"}, Case{1, "need >= 2 pubkeys"},
                          Case{4, "too many pubkeys for keyagg blob"}}) {
        Bytes keyagg(kKeyAgg, 0xAA), agg(32, 0xAA);
        expect_error(qorvex_musig2_key_agg(ctx(), four.data(), c.n, keyagg.data(), agg.data()), QORVEX_ERR_BAD_INPUT,
                     c.message);
        EXPECT_EQ(Bytes(kKeyAgg, 0), keyagg);
        EXPECT_EQ(Bytes(32, 0), agg);
    }
    const Bytes one_be = be32("1");
    Bytes keyagg(kKeyAgg), agg(32);
    // [A, A]: no second key, both coefficients hashed (and equal).
    const Bytes aa = cat({a, a});
    ASSERT_EQ(0, qorvex_musig2_key_agg(ctx(), aa.data(), 2, keyagg.data(), agg.data()));
    EXPECT_EQ(slice(keyagg, 38, 32), slice(keyagg, 70, 32));
    EXPECT_NE(one_be, slice(keyagg, 38, 32));
    EXPECT_EQ(Bytes(kKeyAgg - 102, 0), slice(keyagg, 102, kKeyAgg - 102)) << "unused slots are zero";
    // [A, B, B]: both copies of B get 1.
    const Bytes abb = cat({a, b, b});
    ASSERT_EQ(0, qorvex_musig2_key_agg(ctx(), abb.data(), 3, keyagg.data(), agg.data()));
    EXPECT_NE(one_be, slice(keyagg, 38, 32));
    EXPECT_EQ(one_be, slice(keyagg, 70, 32));
    EXPECT_EQ(one_be, slice(keyagg, 102, 32));
    EXPECT_EQ(Bytes(kKeyAgg - 134, 0), slice(keyagg, 134, kKeyAgg - 134));
    EXPECT_EQ(3u, keyagg[0]);
}

TEST_F(Musig2, NonceAggregationFollowsBip327ExceptForInfinity) {
    const Json doc = load_json_vectors("bip327/nonce_agg_vectors.json");
    const auto& pnonces = doc["pnonces"].array();
    auto nonces = [&](const Json& c) {
        Bytes out;
        for (const Json& i : c["pnonce_indices"].array())
            out = cat({out, from_hex(pnonces[static_cast<size_t>(i.integer())].str())});
        return out;
    };
    const auto& valid = doc["valid_test_cases"].array();
    Bytes agg(kAggNonce, 0xAA);
    const Bytes first = nonces(valid[0]);
    ASSERT_EQ(0, qorvex_musig2_nonce_agg(ctx(), first.data(), 2, agg.data()));
    EXPECT_EQ(lower(valid[0]["expected"].str()), to_hex(agg));
    // BIP-327 writes an infinite half as 33 zero bytes; this library refuses
    // to produce it.
    const Bytes second = nonces(valid[1]);
    agg.assign(kAggNonce, 0xAA);
    expect_error(qorvex_musig2_nonce_agg(ctx(), second.data(), 2, agg.data()), QORVEX_ERR_BAD_INPUT,
                 "aggregated nonce is infinity");
    EXPECT_EQ(Bytes(kAggNonce, 0), agg);

    const char* expected[] = {"invalid pubnonce R1", "invalid pubnonce R2", "invalid pubnonce R2"};
    size_t i = 0;
    for (const Json& c : doc["error_test_cases"].array()) {
        SCOPED_TRACE(c["comment"].str());
        const Bytes list = nonces(c);
        agg.assign(kAggNonce, 0xAA);
        expect_error(qorvex_musig2_nonce_agg(ctx(), list.data(), 2, agg.data()), QORVEX_ERR_BAD_INPUT, expected[i++]);
        EXPECT_EQ(Bytes(kAggNonce, 0), agg);
    }
    for (size_t n : {size_t{0}, size_t{1}}) {
        expect_error(qorvex_musig2_nonce_agg(ctx(), first.data(), n, agg.data()), QORVEX_ERR_BAD_INPUT,
                     "need >= 2 nonces");
    }
    // The count is refused before a byte of the list is read.
    expect_error(qorvex_musig2_nonce_agg(ctx(), first.data(), (size_t{1} << 20) + 1, agg.data()),
                 QORVEX_ERR_BAD_INPUT, "nonce count too large");
}

// The BIP-327 sign/verify cases with 32-byte messages (the exported
// functions take no other length; the rest run in tests/protocols).
TEST_F(Musig2, SigningAndPartialVerificationFollowBip327) {
    const Json doc = load_json_vectors("bip327/sign_verify_vectors.json");
    const Bytes sk = from_hex(doc["sk"].str());
    const auto& pubkeys = doc["pubkeys"].array();
    const auto& pnonces = doc["pnonces"].array();
    const auto& aggnonces = doc["aggnonces"].array();
    const auto& msgs = doc["msgs"].array();
    const Bytes secnonce = slice(from_hex(doc["secnonces"][0].str()), 0, kSecNonce);
    auto key_list = [&](const Json& c) {
        Bytes out;
        for (const Json& i : c["key_indices"].array())
            out = cat({out, from_hex(pubkeys[static_cast<size_t>(i.integer())].str())});
        return out;
    };
    auto keyagg_of = [&](const Bytes& keys, Bytes& keyagg) {
        Bytes agg(32);
        keyagg.assign(kKeyAgg, 0);
        return qorvex_musig2_key_agg(ctx(), keys.data(), keys.size() / 33, keyagg.data(), agg.data());
    };
    auto session_of = [&](const Bytes& aggnonce, const Bytes& keyagg, const Bytes& msg, Bytes& session) {
        session.assign(kSession, 0);
        return qorvex_musig2_start_sign_session(ctx(), aggnonce.data(), keyagg.data(), msg.data(), session.data());
    };
    const Bytes my_xonly = xonly(sk);

    size_t run = 0;
    for (const Json& c : doc["valid_test_cases"].array()) {
        const Bytes msg = from_hex(msgs[static_cast<size_t>(c["msg_index"].integer())].str());
        if (msg.size() != 32) continue;
        SCOPED_TRACE(c.has("comment") ? c["comment"].str() : "case " + std::to_string(run));
        const Bytes keys = key_list(c);
        const size_t signer = static_cast<size_t>(c["signer_index"].integer());
        Bytes keyagg, session;
        ASSERT_EQ(0, keyagg_of(keys, keyagg));
        const Bytes aggnonce = from_hex(aggnonces[static_cast<size_t>(c["aggnonce_index"].integer())].str());
        ASSERT_EQ(0, session_of(aggnonce, keyagg, msg, session));
        Bytes nonce = secnonce, psig(kPartial);
        ASSERT_EQ(0, qorvex_musig2_partial_sign_v2(ctx(), nonce.data(), sk.data(), keys.data(), keyagg.data(),
                                                   session.data(), signer, psig.data()))
            << qorvex_last_error_msg(ctx());
        EXPECT_EQ(lower(c["expected"].str()), to_hex(psig));
        const auto& nidx = c["nonce_indices"].array();
        const Bytes my_pubnonce = from_hex(pnonces[static_cast<size_t>(nidx[signer].integer())].str());
        EXPECT_EQ(0, qorvex_musig2_partial_verify(ctx(), psig.data(), my_pubnonce.data(), my_xonly.data(),
                                                  keyagg.data(), session.data(), signer));
        // Where the vector's aggregate nonce is finite, it is the sum of
        // the listed public nonces.
        if (c["aggnonce_index"].integer() == 0) {
            Bytes list, agg(kAggNonce);
            for (const Json& i : nidx) list = cat({list, from_hex(pnonces[static_cast<size_t>(i.integer())].str())});
            ASSERT_EQ(0, qorvex_musig2_nonce_agg(ctx(), list.data(), nidx.size(), agg.data()));
            EXPECT_EQ(aggnonce, agg);
        }
        ++run;
    }
    EXPECT_EQ(4u, run);

    // Signing errors: each refused with the code of the blob at fault.
    const Bytes msg0 = from_hex(msgs[0].str());
    for (const Json& c : doc["sign_error_test_cases"].array()) {
        SCOPED_TRACE(c["comment"].str());
        const Bytes keys = key_list(c);
        const Bytes aggnonce = from_hex(aggnonces[static_cast<size_t>(c["aggnonce_index"].integer())].str());
        const Bytes nonce_bytes = slice(from_hex(doc["secnonces"][static_cast<size_t>(c["secnonce_index"].integer())].str()), 0, kSecNonce);
        Bytes keyagg, session;
        const std::string contrib = c["error"].has("contrib") ? c["error"]["contrib"].str() : "";
        if (contrib == "pubkey") {
            expect_error(keyagg_of(keys, keyagg), QORVEX_ERR_BAD_PUBKEY, "invalid pubkey in key list");
            continue;
        }
        ASSERT_EQ(0, keyagg_of(keys, keyagg));
        if (contrib == "aggnonce") {
            const int rc = session_of(aggnonce, keyagg, msg0, session);
            EXPECT_EQ(QORVEX_ERR_BAD_INPUT, rc);
            const std::string m = qorvex_last_error_msg(ctx());
            EXPECT_TRUE(m == "invalid agg nonce R1" || m == "invalid agg nonce R2") << m;
            EXPECT_EQ(Bytes(kSession, 0), session);
            continue;
        }
        ASSERT_EQ(0, session_of(aggnonce, keyagg, msg0, session));
        const size_t n = keys.size() / 33;
        if (c.has("signer_index")) {
            Bytes nonce = nonce_bytes, psig(kPartial, 0xAA);
            expect_error(qorvex_musig2_partial_sign_v2(ctx(), nonce.data(), sk.data(), keys.data(), keyagg.data(),
                                                       session.data(), static_cast<size_t>(c["signer_index"].integer()),
                                                       psig.data()),
                         QORVEX_ERR_BAD_INPUT, "invalid secnonce k1");
            EXPECT_EQ(Bytes(kPartial, 0), psig);
            continue;
        }
        // The signer's key is not in the list: every index is refused.
        for (size_t signer = 0; signer < n; ++signer) {
            Bytes nonce = nonce_bytes, psig(kPartial, 0xAA);
            expect_error(qorvex_musig2_partial_sign_v2(ctx(), nonce.data(), sk.data(), keys.data(), keyagg.data(),
                                                       session.data(), signer, psig.data()),
                         QORVEX_ERR_BAD_KEY, kWrongSigner);
            EXPECT_EQ(Bytes(kSecNonce, 0), nonce);
        }
    }

    // Verification failures and errors.
    const Bytes keys012 = key_list(doc["verify_fail_test_cases"][0]);
    Bytes keyagg, session;
    ASSERT_EQ(0, keyagg_of(keys012, keyagg));
    ASSERT_EQ(0, session_of(from_hex(aggnonces[0].str()), keyagg, msg0, session));
    for (const Json& c : doc["verify_fail_test_cases"].array()) {
        SCOPED_TRACE(c["comment"].str());
        const Bytes sig = from_hex(c["sig"].str());
        const size_t signer = static_cast<size_t>(c["signer_index"].integer());
        const Bytes pubnonce = from_hex(pnonces[static_cast<size_t>(c["nonce_indices"][signer].integer())].str());
        const Bytes signer_xonly = slice(from_hex(pubkeys[static_cast<size_t>(c["key_indices"][signer].integer())].str()), 1, 32);
        const int rc = qorvex_musig2_partial_verify(ctx(), sig.data(), pubnonce.data(), signer_xonly.data(),
                                                    keyagg.data(), session.data(), signer);
        if (c["comment"].str().find("exceeds group size") != std::string::npos)
            expect_error(rc, QORVEX_ERR_BAD_SIG, "partial sig >= n");
        else
            expect_error(rc, QORVEX_ERR_VERIFY_FAIL, "partial sig verify failed");
    }
    for (const Json& c : doc["verify_error_test_cases"].array()) {
        SCOPED_TRACE(c["comment"].str());
        const Bytes sig = from_hex(c["sig"].str());
        const size_t signer = static_cast<size_t>(c["signer_index"].integer());
        const Bytes pubnonce = from_hex(pnonces[static_cast<size_t>(c["nonce_indices"][signer].integer())].str());
        const Bytes signer_key = from_hex(pubkeys[static_cast<size_t>(c["key_indices"][signer].integer())].str());
        if (c["error"]["contrib"].str() == "pubkey") {
            Bytes bad_keyagg;
            expect_error(keyagg_of(key_list(c), bad_keyagg), QORVEX_ERR_BAD_PUBKEY, "invalid pubkey in key list");
        }
        // Through a valid session, a nonce or key that does not parse makes
        // the check fail.
        expect_error(qorvex_musig2_partial_verify(ctx(), sig.data(), pubnonce.data(), slice(signer_key, 1, 32).data(),
                                                  keyagg.data(), session.data(), signer),
                     QORVEX_ERR_VERIFY_FAIL, "partial sig verify failed");
    }
}

TEST_F(Musig2, SignatureAggregationFollowsBip327) {
    const Json doc = load_json_vectors("bip327/sig_agg_vectors.json");
    const Bytes msg = from_hex(doc["msg"].str());
    size_t run = 0;
    for (const Json& c : doc["valid_test_cases"].array()) {
        if (!c["tweak_indices"].array().empty()) continue;  // tweaks are not offered
        Bytes keys, psigs;
        for (const Json& i : c["key_indices"].array())
            keys = cat({keys, from_hex(doc["pubkeys"][static_cast<size_t>(i.integer())].str())});
        for (const Json& i : c["psig_indices"].array())
            psigs = cat({psigs, from_hex(doc["psigs"][static_cast<size_t>(i.integer())].str())});
        Bytes keyagg(kKeyAgg), agg(32), session(kSession), sig(64);
        ASSERT_EQ(0, qorvex_musig2_key_agg(ctx(), keys.data(), keys.size() / 33, keyagg.data(), agg.data()));
        const Bytes aggnonce = from_hex(c["aggnonce"].str());
        ASSERT_EQ(0, qorvex_musig2_start_sign_session(ctx(), aggnonce.data(), keyagg.data(), msg.data(), session.data()));
        ASSERT_EQ(0, qorvex_musig2_partial_sig_agg(ctx(), psigs.data(), psigs.size() / 32, session.data(), sig.data()));
        EXPECT_EQ(lower(c["expected"].str()), to_hex(sig));
        EXPECT_EQ(0, qorvex_schnorr_verify(ctx(), msg.data(), sig.data(), agg.data()));
        ++run;
    }
    EXPECT_EQ(2u, run);
}

TEST_F(Musig2, NonceGeneration) {
    const Bytes key = key_of(9, 1), pub = xonly(key), agg(32, 0x42), msg(32, 0x17), rand(32, 0x99);
    Bytes sec1(kSecNonce), pub1(kPubNonce), sec2(kSecNonce), pub2(kPubNonce);
    ASSERT_EQ(0, qorvex_musig2_nonce_gen(ctx(), key.data(), pub.data(), agg.data(), msg.data(), rand.data(),
                                         sec1.data(), pub1.data()));
    ASSERT_EQ(0, qorvex_musig2_nonce_gen(ctx(), key.data(), pub.data(), agg.data(), msg.data(), rand.data(),
                                         sec2.data(), pub2.data()));
    EXPECT_EQ(sec1, sec2) << "deterministic for the same extra randomness";
    EXPECT_EQ(pub1, pub2);
    // The public nonce is k1*G || k2*G.
    EXPECT_EQ(slice(pub1, 0, 33), pub33(slice(sec1, 0, 32)));
    EXPECT_EQ(slice(pub1, 33, 33), pub33(slice(sec1, 32, 32)));
    // Every input enters the nonce.
    for (int which = 0; which < 4; ++which) {
        Bytes k = key, p = pub, a = agg, m = msg;
        Bytes* field[] = {&k, &p, &a, &m};
        (*field[which])[5] ^= 1;
        Bytes s(kSecNonce), q(kPubNonce);
        ASSERT_EQ(0, qorvex_musig2_nonce_gen(ctx(), k.data(), p.data(), a.data(), m.data(), rand.data(), s.data(), q.data()));
        EXPECT_NE(sec1, s) << which;
    }
    // Without extra randomness two calls differ.
    ASSERT_EQ(0, qorvex_musig2_nonce_gen(ctx(), key.data(), pub.data(), agg.data(), msg.data(), nullptr, sec1.data(),
                                         pub1.data()));
    ASSERT_EQ(0, qorvex_musig2_nonce_gen(ctx(), key.data(), pub.data(), agg.data(), msg.data(), nullptr, sec2.data(),
                                         pub2.data()));
    EXPECT_NE(sec1, sec2);
    EXPECT_EQ(slice(pub2, 33, 33), pub33(slice(sec2, 32, 32)));
    // A bad key leaves both outputs as they were.
    for (const Bytes& bad : {Bytes(32, 0), be32(kOrderHex)}) {
        Bytes s(kSecNonce, 0xAA), q(kPubNonce, 0xAA);
        expect_error(qorvex_musig2_nonce_gen(ctx(), bad.data(), pub.data(), agg.data(), msg.data(), rand.data(),
                                             s.data(), q.data()),
                     QORVEX_ERR_BAD_KEY, "privkey is zero or >= n");
        EXPECT_EQ(Bytes(kSecNonce, 0xAA), s);
        EXPECT_EQ(Bytes(kPubNonce, 0xAA), q);
    }
}

// A blob with one field changed: offset, bytes.
struct Patch {
    size_t offset;
    Bytes bytes;
};

Bytes patched(Bytes b, const Patch& p) {
    std::copy(p.bytes.begin(), p.bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(p.offset));
    return b;
}

const Bytes kLe0 = {0, 0, 0, 0}, kLe1 = {1, 0, 0, 0}, kLe2 = {2, 0, 0, 0}, kLe4 = {4, 0, 0, 0};

// Faults of the keyagg blob that every consumer reports the same way.
struct BlobFault {
    const char* what;
    Patch patch;
    int code;
    const char* message;
};

std::vector<BlobFault> keyagg_faults() {
    const Bytes bad_x = cat({Bytes{0x02}, be32("fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f")});
    return {
        {"n = 0", {0, kLe0}, QORVEX_ERR_BAD_INPUT, "invalid keyagg participant count"},
        {"n = 1", {0, kLe1}, QORVEX_ERR_BAD_INPUT, "invalid keyagg participant count"},
        {"n = 4", {0, kLe4}, QORVEX_ERR_BAD_INPUT, "invalid keyagg participant count"},
        {"Q prefix 04", {5, Bytes{0x04}}, QORVEX_ERR_BAD_KEY, "invalid aggregated key"},
        {"Q x = p", {5, bad_x}, QORVEX_ERR_BAD_KEY, "invalid aggregated key"},
        {"a_1 = n", {38, be32(kOrderHex)}, QORVEX_ERR_BAD_INPUT, "invalid key coefficient in keyagg"},
        {"a_3 = n", {102, be32(kOrderHex)}, QORVEX_ERR_BAD_INPUT, "invalid key coefficient in keyagg"},
    };
}

std::vector<BlobFault> session_faults() {
    return {
        {"R prefix 05", {0, Bytes{0x05}}, QORVEX_ERR_BAD_INPUT, "invalid session R point"},
        {"b = n", {33, be32(kOrderHex)}, QORVEX_ERR_BAD_INPUT, "invalid session scalar b"},
        {"e = n", {65, be32(kOrderHex)}, QORVEX_ERR_BAD_INPUT, "invalid session scalar e"},
        {"n = 1", {98, kLe1}, QORVEX_ERR_BAD_INPUT, "invalid session participant count"},
        {"n = 4", {98, kLe4}, QORVEX_ERR_BAD_INPUT, "invalid session participant count"},
        {"n = 2 against a keyagg of 3", {98, kLe2}, QORVEX_ERR_BAD_INPUT,
         "session participant count does not match keyagg"},
    };
}

TEST_F(Musig2, StartSessionCodes) {
    Run r = start(3, 5, Bytes(32, 1));
    // Infinite halves are accepted: 33 zero bytes.
    for (const Bytes& agg : {cat({Bytes(33, 0), slice(r.aggnonce, 33, 33)}), cat({slice(r.aggnonce, 0, 33), Bytes(33, 0)}),
                             Bytes(kAggNonce, 0)}) {
        Bytes session(kSession, 0xAA);
        EXPECT_EQ(0, qorvex_musig2_start_sign_session(ctx(), agg.data(), r.keyagg.data(), r.msg.data(), session.data()));
    }
    struct Case {
        const char* what;
        Bytes aggnonce, keyagg;
        int code;
        const char* message;
    };
    std::vector<Case> cases = {
        {"R1 prefix 04", patched(r.aggnonce, {0, {0x04}}), r.keyagg, QORVEX_ERR_BAD_INPUT, "invalid agg nonce R1"},
        {"R1 zero prefix only", patched(r.aggnonce, {0, {0x00}}), r.keyagg, QORVEX_ERR_BAD_INPUT, "invalid agg nonce R1"},
        {"R2 prefix 04", patched(r.aggnonce, {33, {0x04}}), r.keyagg, QORVEX_ERR_BAD_INPUT, "invalid agg nonce R2"},
    };
    for (const BlobFault& f : keyagg_faults())
        cases.push_back({f.what, r.aggnonce, patched(r.keyagg, f.patch), f.code, f.message});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes session(kSession, 0xAA);
        expect_error(qorvex_musig2_start_sign_session(ctx(), c.aggnonce.data(), c.keyagg.data(), r.msg.data(),
                                                      session.data()),
                     c.code, c.message);
        EXPECT_EQ(Bytes(kSession, 0), session) << "the session is zeroed first";
    }
}

TEST_F(Musig2, PartialSignCodesWipeTheNonceEveryTime) {
    Run r = start(3, 6, Bytes(32, 2));
    struct Case {
        std::string what;
        Bytes key, keyagg, session, secnonce;
        size_t index;
        int code;
        std::string message;
    };
    const Bytes good_nonce = r.secnonces[1];
    const Bytes k2_high = patched(good_nonce, {32, be32(kOrderHex)});
    std::vector<Case> cases = {
        {"zero key", Bytes(32, 0), r.keyagg, r.session, good_nonce, 1, QORVEX_ERR_BAD_KEY, "privkey is zero or >= n"},
        {"key = n", be32(kOrderHex), r.keyagg, r.session, good_nonce, 1, QORVEX_ERR_BAD_KEY, "privkey is zero or >= n"},
        {"index = n", r.keys[1], r.keyagg, r.session, good_nonce, 3, QORVEX_ERR_BAD_INPUT, "signer_index out of range"},
        {"wrong index", r.keys[1], r.keyagg, r.session, good_nonce, 2, QORVEX_ERR_BAD_KEY, kWrongSigner},
        {"k1 zero", r.keys[1], r.keyagg, r.session, patched(good_nonce, {0, Bytes(32, 0)}), 1, QORVEX_ERR_BAD_INPUT,
         "invalid secnonce k1"},
        {"k2 = n", r.keys[1], r.keyagg, r.session, k2_high, 1, QORVEX_ERR_BAD_INPUT, "invalid secnonce k2"},
    };
    for (const BlobFault& f : keyagg_faults())
        cases.push_back({std::string("keyagg ") + f.what, r.keys[1], patched(r.keyagg, f.patch), r.session, good_nonce, 1,
                         f.code, f.message});
    for (const BlobFault& f : session_faults())
        cases.push_back({std::string("session ") + f.what, r.keys[1], r.keyagg, patched(r.session, f.patch), good_nonce,
                         1, f.code, f.message});
    // e = 0 passes the blob's checks; signing refuses it as degenerate.
    cases.push_back({"e = 0", r.keys[1], r.keyagg, patched(r.session, {65, Bytes(32, 0)}), good_nonce, 1,
                     QORVEX_ERR_INTERNAL, "musig2_partial_sign produced degenerate zero output"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes nonce = c.secnonce, psig(kPartial, 0xAA);
        expect_error(qorvex_musig2_partial_sign_v2(ctx(), nonce.data(), c.key.data(), r.pubkeys.data(), c.keyagg.data(),
                                                   c.session.data(), c.index, psig.data()),
                     c.code, c.message);
        EXPECT_EQ(Bytes(kSecNonce, 0), nonce);
        EXPECT_EQ(Bytes(kPartial, 0), psig);
    }
    // NULL arguments: nothing is touched, the nonce included.
    Bytes nonce = good_nonce, psig(kPartial, 0xAA);
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_musig2_partial_sign_v2(ctx(), nonce.data(), r.keys[1].data(), nullptr,
                                                                 r.keyagg.data(), r.session.data(), 1, psig.data()));
    EXPECT_EQ(good_nonce, nonce);
    EXPECT_EQ(Bytes(kPartial, 0xAA), psig);
}

TEST_F(Musig2, ASecretNonceSignsOnce) {
    Run r = start(2, 7, Bytes(32, 3));
    Bytes first, second;
    ASSERT_EQ(0, sign(r, 0, first));
    expect_error(sign(r, 0, second), QORVEX_ERR_BAD_INPUT, "invalid secnonce k1");
    EXPECT_EQ(Bytes(kPartial, 0), second);
}

TEST_F(Musig2, TheFirstSigningVersionIsDisabled) {
    Run r = start(2, 8, Bytes(32, 4));
    const std::string full =
        "qorvex_musig2_partial_sign (v1) is disabled: Rule-13 signer-index cross-check cannot be enforced without "
        "per-signer pubkeys. Use qorvex_musig2_partial_sign_v2 (carries the pubkeys[] array and validates "
        "privkey<->signer_index at the ABI boundary).";
    for (size_t index : {size_t{0}, size_t{7}}) {
        Bytes nonce = r.secnonces[0], psig(kPartial, 0xAA);
        expect_error(qorvex_musig2_partial_sign(ctx(), nonce.data(), r.keys[0].data(), r.keyagg.data(),
                                                r.session.data(), index, psig.data()),
                     QORVEX_ERR_DEPRECATED, full.substr(0, 127));
        EXPECT_EQ(127u, std::strlen(qorvex_last_error_msg(ctx())));
        EXPECT_EQ("pubkeys. Us", std::string(qorvex_last_error_msg(ctx())).substr(116));
        EXPECT_EQ(Bytes(kSecNonce, 0), nonce);
        EXPECT_EQ(Bytes(kPartial, 0), psig);
    }
    Bytes nonce = r.secnonces[0], psig(kPartial, 0xAA);
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_musig2_partial_sign(ctx(), nonce.data(), r.keys[0].data(), nullptr,
                                                              r.session.data(), 0, psig.data()));
    EXPECT_EQ(r.secnonces[0], nonce);
}

TEST_F(Musig2, PartialVerifyCodes) {
    // A key set with a member of odd y, for the parity check at the end.
    uint8_t seed = 10;
    auto has_odd = [&](uint8_t s) {
        for (uint8_t i = 1; i <= 3; ++i)
            if (pub33(key_of(s, i))[0] == 0x03) return true;
        return false;
    };
    while (!has_odd(seed)) ++seed;
    Run r = start(3, seed, Bytes(32, 5));
    finish(r);
    const Bytes x1 = xonly(r.keys[1]);
    struct Case {
        std::string what;
        Bytes psig, keyagg, session;
        size_t index;
        int code;
        const char* message;
    };
    std::vector<Case> cases = {
        {"psig = n", be32(kOrderHex), r.keyagg, r.session, 1, QORVEX_ERR_BAD_SIG, "partial sig >= n"},
        {"index = n", r.partials[1], r.keyagg, r.session, 3, QORVEX_ERR_BAD_INPUT, "signer_index out of range"},
        {"another signer's psig", r.partials[0], r.keyagg, r.session, 1, QORVEX_ERR_VERIFY_FAIL,
         "partial sig verify failed"},
        {"psig = 0", Bytes(32, 0), r.keyagg, r.session, 1, QORVEX_ERR_VERIFY_FAIL, "partial sig verify failed"},
    };
    for (const BlobFault& f : keyagg_faults())
        cases.push_back({std::string("keyagg ") + f.what, r.partials[1], patched(r.keyagg, f.patch), r.session, 1, f.code,
                         f.message});
    for (const BlobFault& f : session_faults())
        cases.push_back({std::string("session ") + f.what, r.partials[1], r.keyagg, patched(r.session, f.patch), 1,
                         f.code, f.message});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        expect_error(qorvex_musig2_partial_verify(ctx(), c.psig.data(), r.pubnonces[1].data(), x1.data(),
                                                  c.keyagg.data(), c.session.data(), c.index),
                     c.code, c.message);
    }
    // The x-only key drops the parity: a signer whose key has odd y is
    // still verified.
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(0, qorvex_musig2_partial_verify(ctx(), r.partials[i].data(), r.pubnonces[i].data(),
                                                  slice(r.pubs[i], 1, 32).data(), r.keyagg.data(), r.session.data(), i));
    }
}

TEST_F(Musig2, PartialSigAggCodes) {
    Run r = start(3, 11, Bytes(32, 6));
    finish(r);
    const Bytes all = cat({r.partials[0], r.partials[1], r.partials[2]});
    struct Case {
        std::string what;
        Bytes psigs;
        size_t n;
        Bytes session;
        int code;
        const char* message;
    };
    std::vector<Case> cases = {
        {"no partial signatures", all, 0, r.session, QORVEX_ERR_BAD_INPUT, "partial_sigs must be non-empty"},
        {"too many", all, (size_t{1} << 20) + 1, r.session, QORVEX_ERR_BAD_INPUT, "partial sig count too large"},
        {"one = n", cat({r.partials[0], be32(kOrderHex), r.partials[2]}), 3, r.session, QORVEX_ERR_BAD_SIG,
         "partial sig >= n"},
        {"two of three", all, 2, r.session, QORVEX_ERR_BAD_INPUT,
         "partial_sigs count does not match session participant count"},
    };
    for (const BlobFault& f : session_faults()) {
        if (f.message == std::string("session participant count does not match keyagg")) continue;
        cases.push_back({std::string("session ") + f.what, all, 3, patched(r.session, f.patch), f.code, f.message});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes sig(64, 0xAA);
        expect_error(qorvex_musig2_partial_sig_agg(ctx(), c.psigs.data(), c.n, c.session.data(), sig.data()), c.code,
                     c.message);
        EXPECT_EQ(Bytes(64, 0xAA), sig) << "not cleared in advance";
    }
    // A zero sum: s and n - s.
    Bytes neg = r.partials[0];
    ASSERT_EQ(0, qorvex_seckey_negate(ctx(), neg.data()));
    const Bytes cancel = cat({r.partials[0], neg});
    Run two = start(2, 12, Bytes(32, 7));
    Bytes sig(64, 0xAA);
    expect_error(qorvex_musig2_partial_sig_agg(ctx(), cancel.data(), 2, two.session.data(), sig.data()),
                 QORVEX_ERR_INTERNAL, "aggregate signature is zero");
    EXPECT_EQ(Bytes(64, 0), sig);
}

TEST_F(Musig2, NullArgumentsTouchNothing) {
    Run r = start(2, 13, Bytes(32, 8));
    // Leaves a failure that a NULL argument must not replace; the buffer
    // is large enough for every blob.
    Bytes dummy(256);
    ASSERT_EQ(QORVEX_ERR_BAD_INPUT, qorvex_musig2_nonce_agg(ctx(), dummy.data(), 1, dummy.data()));
    const uint8_t* p = dummy.data();
    uint8_t* w = dummy.data();
    const std::vector<std::function<int()>> calls = {
        [&] { return qorvex_musig2_key_agg(nullptr, p, 2, w, w); },
        [&] { return qorvex_musig2_key_agg(ctx(), nullptr, 2, w, w); },
        [&] { return qorvex_musig2_key_agg(ctx(), p, 2, nullptr, w); },
        [&] { return qorvex_musig2_key_agg(ctx(), p, 2, w, nullptr); },
        [&] { return qorvex_musig2_nonce_gen(ctx(), nullptr, p, p, p, p, w, w); },
        [&] { return qorvex_musig2_nonce_gen(ctx(), p, nullptr, p, p, p, w, w); },
        [&] { return qorvex_musig2_nonce_gen(ctx(), p, p, nullptr, p, p, w, w); },
        [&] { return qorvex_musig2_nonce_gen(ctx(), p, p, p, nullptr, p, w, w); },
        [&] { return qorvex_musig2_nonce_gen(ctx(), p, p, p, p, p, nullptr, w); },
        [&] { return qorvex_musig2_nonce_gen(ctx(), p, p, p, p, p, w, nullptr); },
        [&] { return qorvex_musig2_nonce_agg(ctx(), nullptr, 2, w); },
        [&] { return qorvex_musig2_nonce_agg(ctx(), p, 2, nullptr); },
        [&] { return qorvex_musig2_start_sign_session(ctx(), nullptr, p, p, w); },
        [&] { return qorvex_musig2_start_sign_session(ctx(), p, nullptr, p, w); },
        [&] { return qorvex_musig2_start_sign_session(ctx(), p, p, nullptr, w); },
        [&] { return qorvex_musig2_start_sign_session(ctx(), p, p, p, nullptr); },
        [&] { return qorvex_musig2_partial_sign(ctx(), nullptr, p, p, p, 0, w); },
        [&] { return qorvex_musig2_partial_sign(ctx(), w, nullptr, p, p, 0, w); },
        [&] { return qorvex_musig2_partial_sign(ctx(), w, p, p, p, 0, nullptr); },
        [&] { return qorvex_musig2_partial_sign_v2(ctx(), nullptr, p, p, p, p, 0, w); },
        [&] { return qorvex_musig2_partial_sign_v2(ctx(), w, nullptr, p, p, p, 0, w); },
        [&] { return qorvex_musig2_partial_sign_v2(ctx(), w, p, p, nullptr, p, 0, w); },
        [&] { return qorvex_musig2_partial_sign_v2(ctx(), w, p, p, p, nullptr, 0, w); },
        [&] { return qorvex_musig2_partial_sign_v2(ctx(), w, p, p, p, p, 0, nullptr); },
        [&] { return qorvex_musig2_partial_verify(ctx(), nullptr, p, p, p, p, 0); },
        [&] { return qorvex_musig2_partial_verify(ctx(), p, nullptr, p, p, p, 0); },
        [&] { return qorvex_musig2_partial_verify(ctx(), p, p, nullptr, p, p, 0); },
        [&] { return qorvex_musig2_partial_verify(ctx(), p, p, p, nullptr, p, 0); },
        [&] { return qorvex_musig2_partial_verify(ctx(), p, p, p, p, nullptr, 0); },
        [&] { return qorvex_musig2_partial_sig_agg(ctx(), nullptr, 2, p, w); },
        [&] { return qorvex_musig2_partial_sig_agg(ctx(), p, 2, nullptr, w); },
        [&] { return qorvex_musig2_partial_sig_agg(ctx(), p, 2, p, nullptr); },
    };
    const Bytes before = dummy;
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(QORVEX_ERR_NULL_ARG, calls[i]()) << i;
        EXPECT_EQ(QORVEX_ERR_BAD_INPUT, qorvex_last_error(ctx())) << i;
        EXPECT_STREQ("need >= 2 nonces", qorvex_last_error_msg(ctx())) << i;
        EXPECT_EQ(before, dummy) << i;
    }
}

// Outputs that overlap inputs: every input is read before any output is
// written, so the results are those of separate buffers.
TEST_F(Musig2, OverlappingBuffers) {
    Run r = start(3, 14, Bytes(32, 9));
    {
        // The keyagg blob written over the key list it reads.
        Bytes buf = r.pubkeys;
        buf.resize(kKeyAgg + 32);
        ASSERT_EQ(0, qorvex_musig2_key_agg(ctx(), buf.data(), 3, buf.data(), buf.data() + kKeyAgg));
        EXPECT_EQ(r.keyagg, slice(buf, 0, kKeyAgg));
        EXPECT_EQ(r.agg, slice(buf, kKeyAgg, 32));
    }
    {
        // The session over the keyagg blob.
        Bytes buf = r.keyagg;
        ASSERT_EQ(0, qorvex_musig2_start_sign_session(ctx(), r.aggnonce.data(), buf.data(), r.msg.data(), buf.data()));
        EXPECT_EQ(r.session, buf);
    }
    {
        // The aggregate nonce over the first public nonce.
        Bytes list = cat({r.pubnonces[0], r.pubnonces[1], r.pubnonces[2]});
        ASSERT_EQ(0, qorvex_musig2_nonce_agg(ctx(), list.data(), 3, list.data()));
        EXPECT_EQ(r.aggnonce, slice(list, 0, kAggNonce));
    }
    {
        // Nonce generation writing over its own inputs.
        const Bytes key = r.keys[0], rand(32, 0x31);
        Bytes sec(kSecNonce), pub(kPubNonce);
        ASSERT_EQ(0, qorvex_musig2_nonce_gen(ctx(), key.data(), r.agg.data(), r.agg.data(), r.msg.data(), rand.data(),
                                             sec.data(), pub.data()));
        Bytes buf(kSecNonce + kPubNonce);
        std::copy(key.begin(), key.end(), buf.begin());
        std::copy(rand.begin(), rand.end(), buf.begin() + kSecNonce);
        ASSERT_EQ(0, qorvex_musig2_nonce_gen(ctx(), buf.data(), r.agg.data(), r.agg.data(), r.msg.data(),
                                             buf.data() + kSecNonce, buf.data(), buf.data() + kSecNonce));
        EXPECT_EQ(sec, slice(buf, 0, kSecNonce));
        EXPECT_EQ(pub, slice(buf, kSecNonce, kPubNonce));
    }
    {
        // The partial signature over the secret nonce it consumes: the
        // signature lands there, the rest of the nonce is zero.
        Bytes nonce = r.secnonces[0], expected;
        Run copy = r;
        ASSERT_EQ(0, sign(copy, 0, expected));
        ASSERT_EQ(0, qorvex_musig2_partial_sign_v2(ctx(), nonce.data(), r.keys[0].data(), r.pubkeys.data(),
                                                   r.keyagg.data(), r.session.data(), 0, nonce.data()));
        EXPECT_EQ(expected, slice(nonce, 0, kPartial));
        EXPECT_EQ(Bytes(kSecNonce - kPartial, 0), slice(nonce, kPartial, kSecNonce - kPartial));
        // And over the private key.
        Bytes key = r.keys[0];
        Bytes nonce2 = r.secnonces[0];
        ASSERT_EQ(0, qorvex_musig2_partial_sign_v2(ctx(), nonce2.data(), key.data(), r.pubkeys.data(), r.keyagg.data(),
                                                   r.session.data(), 0, key.data()));
        EXPECT_EQ(expected, key);
    }
    {
        // The signature over the partial signatures.
        finish(r);
        Bytes buf = cat({r.partials[0], r.partials[1], r.partials[2]});
        ASSERT_EQ(0, qorvex_musig2_partial_sig_agg(ctx(), buf.data(), 3, r.session.data(), buf.data()));
        EXPECT_EQ(r.sig, slice(buf, 0, 64));
    }
}

}  // namespace
}  // namespace qorvex::test
