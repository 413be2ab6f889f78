#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "abi_helpers.h"
#include "sig/bip340_vectors.h"

namespace qorvex::test {
namespace {

using schnorr::Bip340Vector;
using schnorr::bip340_vectors;
using Bytes = std::vector<uint8_t>;

constexpr char kBadPrivkey[] = "privkey is zero or >= n";
constexpr char kNonCanonicalSig[] = "Non-canonical Schnorr sig (r>=p or s>=n)";
constexpr char kNonCanonicalPubkey[] = "Non-canonical pubkey (x>=p)";
constexpr char kVerifyFailed[] = "Schnorr verify failed";

const std::string kPHex = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";
const std::string kGxHex = "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";

Bytes cat(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

Bytes random_bytes(std::mt19937_64& g, size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(g());
    return b;
}

Bytes msg_digest(const Bytes& msg) {
    Bytes d(32);
    // The hash export wants a pointer even for no bytes.
    const uint8_t none = 0;
    EXPECT_EQ(0, qorvex_tagged_hash("BIP0340/msg", msg.empty() ? &none : msg.data(), msg.size(), d.data()));
    return d;
}

class Schnorr : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        if (code != 0) {
            EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
        }
    }
    // Leaves a recognisable failure in the context and the thread's buffer.
    void plant_failure() {
        const Bytes zero(32, 0);
        Bytes out(64);
        ASSERT_EQ(2, qorvex_schnorr_sign(ctx(), zero.data(), zero.data(), zero.data(), out.data()));
    }
    void expect_planted_failure() {
        EXPECT_EQ(2, qorvex_last_error(ctx()));
        EXPECT_STREQ(kBadPrivkey, qorvex_last_error_msg(ctx()));
    }

    Bytes xonly(const Bytes& key) {
        Bytes out(32);
        EXPECT_EQ(0, qorvex_pubkey_xonly(ctx(), key.data(), out.data()));
        return out;
    }
    Bytes sign(const Bytes& msg32, const Bytes& key, const Bytes& aux) {
        Bytes sig(64, 0xAA);
        EXPECT_EQ(0, qorvex_schnorr_sign(ctx(), msg32.data(), key.data(), aux.data(), sig.data()));
        return sig;
    }
    Bytes sign_verified(const Bytes& msg32, const Bytes& key, const Bytes& aux) {
        Bytes sig(64, 0xAA);
        EXPECT_EQ(0, qorvex_schnorr_sign_verified(ctx(), msg32.data(), key.data(), aux.data(), sig.data()));
        return sig;
    }
    Bytes sign_msg(const Bytes& key, const uint8_t* msg, size_t len, const Bytes& aux) {
        Bytes sig(64, 0xAA);
        EXPECT_EQ(0, qorvex_schnorr_sign_msg(ctx(), key.data(), msg, len, aux.data(), sig.data()));
        return sig;
    }
    int verify(const Bytes& msg32, const Bytes& sig, const Bytes& pub) {
        return qorvex_schnorr_verify(ctx(), msg32.data(), sig.data(), pub.data());
    }
    int verify_msg(const Bytes& pub, const Bytes& msg, const Bytes& sig) {
        return qorvex_schnorr_verify_msg(ctx(), pub.data(), msg.data(), msg.size(), sig.data());
    }
    // A valid key that differs from run to run of the generator.
    Bytes random_key(std::mt19937_64& g) {
        for (;;) {
            Bytes k = random_bytes(g, 32);
            if (qorvex_seckey_verify(ctx(), k.data()) == 0) return k;
        }
    }

    CtxPtr ctx_;
};

// ---------------------------------------------------------------------------
// Published vectors

// Rows 15 to 18 sign raw messages of other lengths; the exported functions
// only sign 32 bytes or the "BIP0340/msg" digest of a message, so those rows
// are covered by the internal tests alone.
TEST_F(Schnorr, SignsEveryVectorByteForByte) {
    int rows = 0;
    for (const Bip340Vector& v : bip340_vectors()) {
        if (v.seckey.empty() || v.msg.size() != 32) continue;
        SCOPED_TRACE("row " + std::to_string(v.index));
        ++rows;
        EXPECT_EQ(v.pubkey, xonly(v.seckey));
        EXPECT_EQ(v.sig, sign(v.msg, v.seckey, v.aux));
        EXPECT_EQ(v.sig, sign_verified(v.msg, v.seckey, v.aux));
    }
    EXPECT_EQ(4, rows);
}

TEST_F(Schnorr, VerifiesEveryVectorWithItsCode) {
    int rows = 0;
    for (const Bip340Vector& v : bip340_vectors()) {
        if (v.msg.size() != 32) continue;
        SCOPED_TRACE("row " + std::to_string(v.index) + ": " + v.comment);
        ++rows;
        int code = v.valid ? 0 : 6;
        const char* message = kVerifyFailed;
        if (v.index == 12 || v.index == 13) {  // r = p, s = n
            code = 4;
            message = kNonCanonicalSig;
        }
        if (v.index == 5 || v.index == 14) {  // x off the curve, x > p
            code = 3;
            message = kNonCanonicalPubkey;
        }
        expect_error(verify(v.msg, v.sig, v.pubkey), code, message);
    }
    EXPECT_EQ(15, rows);
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(Schnorr, SigningRefusesBadKeysAndLeavesTheSignatureAlone) {
    const Bytes msg(32, 0x11), aux(32, 0x22);
    for (const Bytes& key : {Bytes(32, 0), be32(kOrderHex), Bytes(32, 0xFF)}) {
        SCOPED_TRACE(key[0]);
        Bytes sig(64, 0xAA);
        expect_error(qorvex_schnorr_sign(ctx(), msg.data(), key.data(), aux.data(), sig.data()), 2, kBadPrivkey);
        expect_error(qorvex_schnorr_sign_verified(ctx(), msg.data(), key.data(), aux.data(), sig.data()), 2,
                     kBadPrivkey);
        expect_error(qorvex_schnorr_sign_msg(ctx(), key.data(), msg.data(), 3, aux.data(), sig.data()), 2,
                     kBadPrivkey);
        EXPECT_EQ(Bytes(64, 0xAA), sig);
    }
    // n - 1 is the largest key and signs.
    const Bytes top = be32(kOrderMinus1Hex);
    const Bytes sig = sign(msg, top, aux);
    EXPECT_EQ(0, verify(msg, sig, xonly(top)));
}

// Each row damages a valid signature or key; verify (with the digest) and
// verify_msg (with the message) must give the same code and message.
TEST_F(Schnorr, VerificationFailureTable) {
    const Bytes key = be32("c0ffee"), aux(32, 7);
    const Bytes msg = {'q', 'o', 'r', 'v', 'e', 'x'};
    const Bytes digest = msg_digest(msg);
    const Bytes pub = xonly(key);
    const Bytes sig = sign_msg(key, msg.data(), msg.size(), aux);
    const Bytes r(sig.begin(), sig.begin() + 32), s(sig.begin() + 32, sig.end());
    const Bytes p = be32(kPHex), ff(32, 0xFF), zero(32, 0);
    Bytes other_key_pub = xonly(be32("c0ffef"));
    Bytes flipped_r = r;
    flipped_r[31] ^= 1;

    struct Case {
        const char* what;
        Bytes sig, pub;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"valid", sig, pub, 0, nullptr},
        {"r = p", cat(p, s), pub, 4, kNonCanonicalSig},
        {"r = 2^256 - 1", cat(ff, s), pub, 4, kNonCanonicalSig},
        {"s = 0 is non-canonical, not a failed equation", cat(r, zero), pub, 4, kNonCanonicalSig},
        {"s = n", cat(r, be32(kOrderHex)), pub, 4, kNonCanonicalSig},
        {"s = 2^256 - 1", cat(r, ff), pub, 4, kNonCanonicalSig},
        {"key x = p", sig, p, 3, kNonCanonicalPubkey},
        {"key x = 2^256 - 1", sig, ff, 3, kNonCanonicalPubkey},
        {"key x = 0, off the curve", sig, zero, 3, kNonCanonicalPubkey},
        {"key x = 5, off the curve", sig, be32("05"), 3, kNonCanonicalPubkey},
        {"signature checked before key", cat(p, s), p, 4, kNonCanonicalSig},
        {"other key", sig, other_key_pub, 6, kVerifyFailed},
        {"r changed", cat(flipped_r, s), pub, 6, kVerifyFailed},
        {"r = 0", cat(zero, s), pub, 6, kVerifyFailed},
        {"s = n - 1", cat(r, be32(kOrderMinus1Hex)), pub, 6, kVerifyFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expect_error(verify(digest, c.sig, c.pub), c.code, c.message);
        plant_failure();
        expect_error(verify_msg(c.pub, msg, c.sig), c.code, c.message);
        plant_failure();
    }
    // The raw message is not what was signed.
    expect_error(verify(cat(msg, Bytes(26, 0)), sig, pub), 6, kVerifyFailed);
}

TEST_F(Schnorr, NullArgumentsLeaveContextAndOutputAlone) {
    const Bytes msg(32, 1), key = be32("01"), aux(32, 2), pub = xonly(key);
    const Bytes sig = sign(msg, key, aux);
    Bytes out(64, 0xAA);
    const uint8_t* m = msg.data();
    const uint8_t* k = key.data();
    const uint8_t* a = aux.data();
    const uint8_t* s = sig.data();
    const uint8_t* x = pub.data();
    uint8_t* o = out.data();
    struct Case {
        const char* what;
        int rc;
    };
    plant_failure();
    const Case cases[] = {
        {"sign ctx", qorvex_schnorr_sign(nullptr, m, k, a, o)},
        {"sign msg", qorvex_schnorr_sign(ctx(), nullptr, k, a, o)},
        {"sign key", qorvex_schnorr_sign(ctx(), m, nullptr, a, o)},
        {"sign aux", qorvex_schnorr_sign(ctx(), m, k, nullptr, o)},
        {"sign out", qorvex_schnorr_sign(ctx(), m, k, a, nullptr)},
        {"sign_verified ctx", qorvex_schnorr_sign_verified(nullptr, m, k, a, o)},
        {"sign_verified msg", qorvex_schnorr_sign_verified(ctx(), nullptr, k, a, o)},
        {"sign_verified key", qorvex_schnorr_sign_verified(ctx(), m, nullptr, a, o)},
        {"sign_verified aux", qorvex_schnorr_sign_verified(ctx(), m, k, nullptr, o)},
        {"sign_verified out", qorvex_schnorr_sign_verified(ctx(), m, k, a, nullptr)},
        {"verify ctx", qorvex_schnorr_verify(nullptr, m, s, x)},
        {"verify msg", qorvex_schnorr_verify(ctx(), nullptr, s, x)},
        {"verify sig", qorvex_schnorr_verify(ctx(), m, nullptr, x)},
        {"verify key", qorvex_schnorr_verify(ctx(), m, s, nullptr)},
        {"sign_msg ctx", qorvex_schnorr_sign_msg(nullptr, k, m, 32, a, o)},
        {"sign_msg key", qorvex_schnorr_sign_msg(ctx(), nullptr, m, 32, a, o)},
        {"sign_msg out", qorvex_schnorr_sign_msg(ctx(), k, m, 32, a, nullptr)},
        {"sign_msg msg with length 1", qorvex_schnorr_sign_msg(ctx(), k, nullptr, 1, a, o)},
        {"sign_msg aux", qorvex_schnorr_sign_msg(ctx(), k, m, 32, nullptr, o)},
        {"verify_msg ctx", qorvex_schnorr_verify_msg(nullptr, x, m, 32, s)},
        {"verify_msg key", qorvex_schnorr_verify_msg(ctx(), nullptr, m, 32, s)},
        {"verify_msg sig", qorvex_schnorr_verify_msg(ctx(), x, m, 32, nullptr)},
        {"verify_msg msg with length 1", qorvex_schnorr_verify_msg(ctx(), x, nullptr, 1, s)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(1, c.rc);
    }
    expect_planted_failure();
    EXPECT_EQ(Bytes(64, 0xAA), out);
}

TEST_F(Schnorr, SuccessClearsAnEarlierFailure) {
    const Bytes msg(32, 3), key = be32("03"), aux(32, 4), pub = xonly(key);
    const Bytes sig = sign(msg, key, aux);
    const Bytes sig_of_msg = sign_msg(key, msg.data(), msg.size(), aux);
    Bytes out(64);
    const std::pair<const char*, std::function<int()>> calls[] = {
        {"sign", [&] { return qorvex_schnorr_sign(ctx(), msg.data(), key.data(), aux.data(), out.data()); }},
        {"sign_verified",
         [&] { return qorvex_schnorr_sign_verified(ctx(), msg.data(), key.data(), aux.data(), out.data()); }},
        {"sign_msg",
         [&] { return qorvex_schnorr_sign_msg(ctx(), key.data(), msg.data(), 32, aux.data(), out.data()); }},
        {"verify", [&] { return qorvex_schnorr_verify(ctx(), msg.data(), sig.data(), pub.data()); }},
        {"verify_msg",
         [&] { return qorvex_schnorr_verify_msg(ctx(), pub.data(), msg.data(), 32, sig_of_msg.data()); }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        plant_failure();
        EXPECT_EQ(0, call());
        EXPECT_EQ(0, qorvex_last_error(ctx()));
        EXPECT_STREQ("OK", qorvex_last_error_msg(ctx()));
    }
}

// ---------------------------------------------------------------------------
// Messages of any length

TEST_F(Schnorr, SignMsgSignsTheTaggedDigest) {
    const Bytes key = be32("b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfef");
    const Bytes aux(32, 0x5C), pub = xonly(key);
    std::mt19937_64 g(21);
    for (size_t len : {size_t{0}, size_t{1}, size_t{31}, size_t{32}, size_t{33}, size_t{100}}) {
        SCOPED_TRACE(len);
        const Bytes msg = random_bytes(g, len);
        const Bytes digest = msg_digest(msg);
        const Bytes sig = sign_msg(key, msg.data(), msg.size(), aux);
        EXPECT_EQ(sign(digest, key, aux), sig);
        EXPECT_EQ(0, verify_msg(pub, msg, sig));
        EXPECT_EQ(0, verify(digest, sig, pub));
        if (len == 32) {
            // Signed as the raw 32 bytes it is another signature, and each
            // form verifies only its own way.
            const Bytes raw = sign(msg, key, aux);
            EXPECT_NE(raw, sig);
            EXPECT_EQ(6, verify(msg, sig, pub));
            EXPECT_EQ(6, verify_msg(pub, msg, raw));
        }
    }
}

TEST_F(Schnorr, EmptyMessageMayBeNull) {
    const Bytes key = be32("01"), aux(32, 9), pub = xonly(key);
    const uint8_t byte = 0;
    const Bytes from_null = sign_msg(key, nullptr, 0, aux);
    EXPECT_EQ(from_null, sign_msg(key, &byte, 0, aux));
    EXPECT_EQ(sign(msg_digest({}), key, aux), from_null);
    EXPECT_EQ(0, qorvex_schnorr_verify_msg(ctx(), pub.data(), nullptr, 0, from_null.data()));
    EXPECT_EQ(0, qorvex_schnorr_verify_msg(ctx(), pub.data(), &byte, 0, from_null.data()));
    EXPECT_EQ(6, qorvex_schnorr_verify_msg(ctx(), pub.data(), &byte, 1, from_null.data()));
}

TEST_F(Schnorr, VerifyMsgAgreesWithVerifyOfTheDigest) {
    std::mt19937_64 g(22);
    for (int i = 0; i < 24; ++i) {
        SCOPED_TRACE(i);
        const Bytes key = random_key(g);
        const Bytes msg = random_bytes(g, g() % 80);
        Bytes sig = sign_msg(key, msg.data(), msg.size(), random_bytes(g, 32));
        Bytes pub = xonly(key);
        // Every third case damaged: signature bytes, key bytes, or both.
        if (i % 3 == 1) sig[g() % 64] ^= 0x40;
        if (i % 3 == 2) pub[g() % 32] ^= 0x02;
        const int via_digest = verify(msg_digest(msg), sig, pub);
        const std::string text = qorvex_last_error_msg(ctx());
        EXPECT_EQ(via_digest, verify_msg(pub, msg, sig));
        EXPECT_EQ(text, qorvex_last_error_msg(ctx()));
        EXPECT_EQ(i % 3 == 0, via_digest == 0);
    }
}

// ---------------------------------------------------------------------------
// Keys, blinding, the verified form

TEST_F(Schnorr, OddYKeySignsAsItsNegation) {
    std::mt19937_64 g(23);
    int odd = 0;
    for (int i = 0; i < 8; ++i) {
        const Bytes key = random_key(g);
        Bytes pub33(33), neg = key;
        ASSERT_EQ(0, qorvex_pubkey_create(ctx(), key.data(), pub33.data()));
        ASSERT_EQ(0, qorvex_seckey_negate(ctx(), neg.data()));
        odd += pub33[0] == 0x03;
        const Bytes msg = random_bytes(g, 32), aux = random_bytes(g, 32);
        // d and n - d have one x-only key, and BIP-340 signs with the one
        // whose point has even y: the signatures are identical.
        const Bytes sig = sign(msg, key, aux);
        EXPECT_EQ(sig, sign(msg, neg, aux));
        EXPECT_EQ(Bytes(pub33.begin() + 1, pub33.end()), xonly(key));
        EXPECT_EQ(0, verify(msg, sig, xonly(key)));
    }
    EXPECT_GT(odd, 0);
}

TEST_F(Schnorr, BlindingOnAndOffGiveIdenticalSignatures) {
    std::mt19937_64 g(24);
    for (int i = 0; i < 4; ++i) {
        const Bytes key = random_key(g), msg = random_bytes(g, 32), aux = random_bytes(g, 32);
        ASSERT_EQ(0, qorvex_context_randomize(ctx(), nullptr));
        const Bytes plain = sign(msg, key, aux);
        const Bytes plain_msg = sign_msg(key, msg.data(), 5, aux);
        ASSERT_EQ(0, qorvex_context_randomize(ctx(), random_bytes(g, 32).data()));
        EXPECT_EQ(plain, sign(msg, key, aux));
        EXPECT_EQ(plain, sign_verified(msg, key, aux));
        EXPECT_EQ(plain_msg, sign_msg(key, msg.data(), 5, aux));
    }
    ASSERT_EQ(0, qorvex_context_randomize(ctx(), nullptr));
}

TEST_F(Schnorr, SignVerifiedReturnsOnlySignaturesThatVerify) {
    std::mt19937_64 g(25);
    for (int i = 0; i < 32; ++i) {
        SCOPED_TRACE(i);
        const Bytes key = random_key(g), msg = random_bytes(g, 32), aux = random_bytes(g, 32);
        const Bytes sig = sign_verified(msg, key, aux);
        EXPECT_EQ(sign(msg, key, aux), sig);
        EXPECT_EQ(0, verify(msg, sig, xonly(key)));
    }
}

// ---------------------------------------------------------------------------
// Per-thread key caches

// The key of row 1 and keys that share its first 8 bytes (so its slot in
// both caches), some on the curve and some not: each verification must
// answer for its own key however the slot was last filled.
TEST_F(Schnorr, KeysSharingTheirFirstBytesDoNotDisturbEachOther) {
    const Bip340Vector v = bip340_vectors()[1];
    std::mt19937_64 g(26);
    std::vector<Bytes> on_curve, off_curve;
    while (on_curve.size() < 6 || off_curve.size() < 3) {
        Bytes x(v.pubkey.begin(), v.pubkey.begin() + 8);
        const Bytes tail = random_bytes(g, 24);
        x.insert(x.end(), tail.begin(), tail.end());
        const int rc = verify(v.msg, v.sig, x);
        ASSERT_TRUE(rc == 3 || rc == 6);
        (rc == 6 ? on_curve : off_curve).push_back(x);
    }
    for (int round = 0; round < 4; ++round) {
        for (size_t i = 0; i < on_curve.size(); ++i) {
            SCOPED_TRACE("round " + std::to_string(round) + " key " + std::to_string(i));
            expect_error(verify(v.msg, v.sig, v.pubkey), 0, nullptr);
            expect_error(verify(v.msg, v.sig, v.pubkey), 0, nullptr);
            expect_error(verify(v.msg, v.sig, on_curve[i]), 6, kVerifyFailed);
            expect_error(verify(v.msg, v.sig, v.pubkey), 0, nullptr);
            expect_error(verify(v.msg, v.sig, off_curve[i % off_curve.size()]), 3, kNonCanonicalPubkey);
            expect_error(verify(v.msg, v.sig, v.pubkey), 0, nullptr);
            expect_error(verify(v.msg, v.sig, off_curve[i % off_curve.size()]), 3, kNonCanonicalPubkey);
            expect_error(verify(v.msg, v.sig, on_curve[i]), 6, kVerifyFailed);
        }
    }
}

struct Item {
    Bytes msg, sig, pub;
    int expected;
};

// Signatures under a few keys, valid and damaged, plus keys that do not
// lift; many keys share slots with others.
std::vector<Item> verification_workload(qorvex_ctx* ctx) {
    std::mt19937_64 g(27);
    std::vector<Item> items;
    std::vector<Bytes> keys;
    for (int i = 0; i < 6; ++i) keys.push_back(be32(std::to_string(i + 1) + "abcdef"));
    for (int i = 0; i < 60; ++i) {
        const Bytes& key = keys[i % keys.size()];
        Item it;
        it.msg = random_bytes(g, 32);
        it.sig.resize(64);
        it.pub.resize(32);
        EXPECT_EQ(0, qorvex_pubkey_xonly(ctx, key.data(), it.pub.data()));
        EXPECT_EQ(0, qorvex_schnorr_sign(ctx, it.msg.data(), key.data(), random_bytes(g, 32).data(),
                                         it.sig.data()));
        switch (i % 4) {
            case 1: it.sig[40] ^= 1; break;      // equation fails
            case 2: it.pub = be32("05"); break;  // key off the curve
            case 3: it.msg[0] ^= 0x80; break;    // equation fails
            default: break;
        }
        it.expected = qorvex_schnorr_verify(ctx, it.msg.data(), it.sig.data(), it.pub.data());
        items.push_back(std::move(it));
    }
    return items;
}

TEST_F(Schnorr, ManyThreadsAgreeWithOne) {
    const std::vector<Item> items = verification_workload(ctx());
    ASSERT_EQ(60u, items.size());
    int valid = 0;
    for (const Item& it : items) valid += it.expected == 0;
    EXPECT_EQ(15, valid);

    constexpr int kThreads = 8;
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&items, &mismatches, t] {
            CtxPtr c = make_ctx();
            if (!c) {
                mismatches[t] = -1;
                return;
            }
            // Each thread walks the whole list from its own offset with its
            // own stride (all prime to 60), so its caches see the keys in
            // their own order.
            static constexpr size_t kStride[kThreads] = {1, 7, 11, 13, 17, 19, 23, 29};
            for (int round = 0; round < 3; ++round) {
                for (size_t i = 0; i < items.size(); ++i) {
                    const Item& it = items[(t * 7 + i * kStride[t]) % items.size()];
                    const int rc = qorvex_schnorr_verify(c.get(), it.msg.data(), it.sig.data(), it.pub.data());
                    if (rc != it.expected || qorvex_last_error(c.get()) != rc) ++mismatches[t];
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(std::vector<int>(kThreads, 0), mismatches);

    // And a second pass on this thread, with warm caches, still agrees.
    for (const Item& it : items) EXPECT_EQ(it.expected, verify(it.msg, it.sig, it.pub));
}

}  // namespace
}  // namespace qorvex::test
