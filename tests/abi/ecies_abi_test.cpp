// ECIES through the public interface: round trips, every code and message
// in order, the two silent early returns, tampering, buffer sizes and
// overlapping buffers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kTooLarge[] = "plaintext_len too large";
constexpr char kEnvelopeTooSmall[] = "envelope buffer too small";
constexpr char kBadRecipient[] = "invalid recipient pubkey";
constexpr char kPlaintextTooSmall[] = "plaintext buffer too small";
constexpr char kBadKey[] = "privkey is zero or >= n";
constexpr char kDecryptFailed[] = "ECIES decryption failed (bad key or tampered)";

// The known answer of tests/protocols/ecies_test.cpp (an independent
// implementation's envelope), decrypted here through the interface.
constexpr char kRecipientKey[] = "183dcec0114a8a8f06b1a756fd68f73380d424075a5e2edc684a523cecca12e1";
constexpr char kPlaintext[] =
    "54686520717569636b2062726f776e20666f78206a756d7073206f76657220746865206c617a7920646f673b204543494553206b6e6f"
    "776e20616e737765722c203634422e";
constexpr char kEnvelope[] =
    "0315fcde1a496a40ea3cc38d34fca83188bf586aa53df95aab3127c3c5d50d9d1b000102030405060708090a0b0c0d0e0f723793e59f"
    "306d27fd3864dd180397606c10f3dfecf05426b19d8e99d6ce53867ee40583592bcf323a4a7287688f6c4fb5b035f601271f29de41d0"
    "95cb2219681ea0218b56df832dd19a9d297c1e495941d529e91b45ec83c58020efccc65b31c8517969a6";

class Ecies : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
        key_ = be32("ec1e5");
        pub_.resize(33);
        ASSERT_EQ(0, qorvex_pubkey_create(ctx(), key_.data(), pub_.data()));
    }
    qorvex_ctx* ctx() { return ctx_.get(); }
    Bytes encrypt(const Bytes& pt) {
        Bytes env(pt.size() + QORVEX_ECIES_OVERHEAD);
        size_t len = env.size();
        EXPECT_EQ(0, qorvex_ecies_encrypt(ctx(), pub_.data(), pt.data(), pt.size(), env.data(), &len));
        EXPECT_EQ(env.size(), len);
        return env;
    }
    int decrypt(const Bytes& key, const Bytes& env, Bytes& out) {
        out.assign(env.size() - QORVEX_ECIES_OVERHEAD, 0);
        size_t len = out.size();
        const int rc = qorvex_ecies_decrypt(ctx(), key.data(), env.data(), env.size(), out.data(), &len);
        if (rc == 0) {
            EXPECT_EQ(out.size(), len);
        }
        return rc;
    }
    void expect(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
    }
    // A recognisable earlier failure, to see the silent returns leave it.
    void plant_failure() {
        uint8_t out[32];
        ASSERT_EQ(2, qorvex_ecdh(ctx(), Bytes(32, 0).data(), pub_.data(), out));
    }

    Bytes key_, pub_;

private:
    CtxPtr ctx_;
};

TEST_F(Ecies, RoundTripsAtManyLengths) {
    std::mt19937_64 g(81);
    for (size_t len : {1u, 15u, 16u, 17u, 64u, 1000u, 4096u, 70001u}) {
        SCOPED_TRACE(len);
        Bytes pt(len);
        for (auto& b : pt) b = static_cast<uint8_t>(g());
        const Bytes env = encrypt(pt);
        ASSERT_EQ(len + 81, env.size());
        Bytes back;
        ASSERT_EQ(0, decrypt(key_, env, back));
        EXPECT_EQ(pt, back);
        EXPECT_EQ(0, qorvex_last_error(ctx()));
    }
}

TEST_F(Ecies, FreshEphemeralKeyAndIvEveryTime) {
    const Bytes pt(40, 0x11);
    const Bytes a = encrypt(pt), b = encrypt(pt);
    EXPECT_NE(to_hex(a.data(), 33), to_hex(b.data(), 33));
    EXPECT_NE(to_hex(a.data() + 33, 16), to_hex(b.data() + 33, 16));
    EXPECT_NE(a, b);
}

TEST_F(Ecies, KnownAnswerDecrypts) {
    Bytes out;
    ASSERT_EQ(0, decrypt(from_hex(kRecipientKey), from_hex(kEnvelope), out));
    EXPECT_EQ(kPlaintext, to_hex(out));
}

TEST_F(Ecies, EncryptCodesInOrder) {
    const Bytes pt(10, 0x42);
    Bytes env(91, 0xEE);
    size_t len = env.size();
    Bytes bad_pub = pub_;
    bad_pub[0] = 0x04;

    // Empty plaintext: 5 before the context is touched.
    plant_failure();
    EXPECT_EQ(5, qorvex_ecies_encrypt(ctx(), pub_.data(), pt.data(), 0, env.data(), &len));
    EXPECT_EQ(2, qorvex_last_error(ctx()));
    EXPECT_STREQ(kBadKey, qorvex_last_error_msg(ctx()));

    // A length that overflows once the overhead is added (no byte is read).
    expect(qorvex_ecies_encrypt(ctx(), pub_.data(), pt.data(), SIZE_MAX - 80, env.data(), &len), 5, kTooLarge);
    size_t huge = SIZE_MAX;
    expect(qorvex_ecies_encrypt(ctx(), bad_pub.data(), pt.data(), SIZE_MAX - 80, env.data(), &huge), 5, kTooLarge);

    // One byte short: 10, buffer and length untouched; checked before the key.
    size_t short_len = 90;
    expect(qorvex_ecies_encrypt(ctx(), bad_pub.data(), pt.data(), pt.size(), env.data(), &short_len), 10,
           kEnvelopeTooSmall);
    EXPECT_EQ(90u, short_len);
    EXPECT_EQ(Bytes(91, 0xEE), env);

    for (const Bytes& key : {bad_pub, Bytes(33, 0), Bytes{0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                         0xFF, 0xFF, 0xFF}}) {
        len = env.size();
        expect(qorvex_ecies_encrypt(ctx(), key.data(), pt.data(), pt.size(), env.data(), &len), 3, kBadRecipient);
        EXPECT_EQ(91u, len);
        EXPECT_EQ(Bytes(91, 0xEE), env);
    }
    // Exactly the size needed, and more, both succeed with the same length.
    for (size_t cap : {91u, 200u}) {
        Bytes big(cap);
        len = cap;
        ASSERT_EQ(0, qorvex_ecies_encrypt(ctx(), pub_.data(), pt.data(), pt.size(), big.data(), &len));
        EXPECT_EQ(91u, len);
    }
    uint8_t one = 1;
    EXPECT_EQ(1, qorvex_ecies_encrypt(nullptr, pub_.data(), &one, 1, env.data(), &len));
    EXPECT_EQ(1, qorvex_ecies_encrypt(ctx(), nullptr, &one, 1, env.data(), &len));
    EXPECT_EQ(1, qorvex_ecies_encrypt(ctx(), pub_.data(), nullptr, 1, env.data(), &len));
    EXPECT_EQ(1, qorvex_ecies_encrypt(ctx(), pub_.data(), &one, 1, nullptr, &len));
    EXPECT_EQ(1, qorvex_ecies_encrypt(ctx(), pub_.data(), &one, 1, env.data(), nullptr));
}

TEST_F(Ecies, DecryptCodesInOrder) {
    const Bytes env = encrypt(Bytes(5, 0x33));  // 86 bytes
    Bytes out(5, 0xEE);
    size_t len = out.size();

    plant_failure();
    EXPECT_EQ(5, qorvex_ecies_decrypt(ctx(), key_.data(), env.data(), 81, out.data(), &len));
    EXPECT_EQ(2, qorvex_last_error(ctx()));
    EXPECT_STREQ(kBadKey, qorvex_last_error_msg(ctx()));

    // The capacity is checked before the key.
    size_t small = 4;
    expect(qorvex_ecies_decrypt(ctx(), Bytes(32, 0).data(), env.data(), env.size(), out.data(), &small), 10,
           kPlaintextTooSmall);
    EXPECT_EQ(4u, small);
    for (const Bytes& k : {Bytes(32, 0), be32(kOrderHex)}) {
        expect(qorvex_ecies_decrypt(ctx(), k.data(), env.data(), env.size(), out.data(), &len), 2, kBadKey);
    }
    expect(qorvex_ecies_decrypt(ctx(), be32("07").data(), env.data(), env.size(), out.data(), &len), 6,
           kDecryptFailed);
    EXPECT_EQ(5u, len);
    EXPECT_EQ(Bytes(5, 0xEE), out);

    uint8_t b = 0;
    EXPECT_EQ(1, qorvex_ecies_decrypt(nullptr, key_.data(), env.data(), env.size(), &b, &len));
    EXPECT_EQ(1, qorvex_ecies_decrypt(ctx(), nullptr, env.data(), env.size(), &b, &len));
    EXPECT_EQ(1, qorvex_ecies_decrypt(ctx(), key_.data(), nullptr, env.size(), &b, &len));
    EXPECT_EQ(1, qorvex_ecies_decrypt(ctx(), key_.data(), env.data(), env.size(), nullptr, &len));
    EXPECT_EQ(1, qorvex_ecies_decrypt(ctx(), key_.data(), env.data(), env.size(), &b, nullptr));
}

// Any bit of E, IV, ciphertext or tag: the same refusal, output untouched.
TEST_F(Ecies, EveryBitFlipOfAShortEnvelopeIsRefused) {
    const Bytes env = encrypt(Bytes{0x5A});
    ASSERT_EQ(82u, env.size());
    for (size_t bit = 0; bit < 8 * env.size(); ++bit) {
        Bytes t = env;
        t[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        uint8_t out = 0xEE;
        size_t len = 1;
        ASSERT_EQ(6, qorvex_ecies_decrypt(ctx(), key_.data(), t.data(), t.size(), &out, &len)) << bit;
        ASSERT_EQ(0xEE, out);
        ASSERT_STREQ(kDecryptFailed, qorvex_last_error_msg(ctx()));
    }
    // Truncated or extended envelopes fail the tag as well.
    Bytes longer = env;
    longer.push_back(0);
    Bytes out;
    EXPECT_EQ(6, decrypt(key_, longer, out));
}

// In place: the envelope written over the plaintext's own buffer, and the
// plaintext decrypted over the envelope.
TEST_F(Ecies, OverlappingBuffers) {
    const Bytes pt = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    for (size_t shift : {0u, 1u, 33u, 49u, 70u}) {
        SCOPED_TRACE(shift);
        Bytes buf(pt.size() + 81 + shift, 0);
        std::memcpy(buf.data() + shift, pt.data(), pt.size());
        size_t len = pt.size() + 81;
        ASSERT_EQ(0, qorvex_ecies_encrypt(ctx(), pub_.data(), buf.data() + shift, pt.size(), buf.data(), &len));
        const Bytes env(buf.begin(), buf.begin() + static_cast<long>(len));
        size_t out_len = pt.size();
        ASSERT_EQ(0, qorvex_ecies_decrypt(ctx(), key_.data(), buf.data(), len, buf.data() + shift, &out_len));
        EXPECT_EQ(pt, Bytes(buf.begin() + static_cast<long>(shift), buf.begin() + static_cast<long>(shift + pt.size())));
        Bytes again;
        ASSERT_EQ(0, decrypt(key_, env, again));
        EXPECT_EQ(pt, again);
    }
}

}  // namespace
}  // namespace qorvex::test
