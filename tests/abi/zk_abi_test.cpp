// Knowledge and DLEQ proofs through the public interface: round trips,
// determinism, the refusal of false DLEQ statements, every code and message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/bignum.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kBadSecret[] = "secret is zero or >= n";
constexpr char kBadPubkey[] = "invalid pubkey";
constexpr char kBadKnowledge[] = "invalid knowledge proof";
constexpr char kKnowledgeFailed[] = "knowledge proof failed";
constexpr char kBadPoint[] = "invalid DLEQ point";
constexpr char kFalseStatement[] = "DLEQ statement does not hold";
constexpr char kBadDleq[] = "invalid DLEQ proof";
constexpr char kDleqFailed[] = "DLEQ proof failed";

class Zk : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
        x_ = be32("5ec2e7");
        g_ = pub(be32("1"));
        b2_ = pub(be32("b2b2b2"));
        p1_ = pub(x_);
        p2_ = mul(b2_, x_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }
    Bytes pub(const Bytes& k) {
        Bytes out(33);
        EXPECT_EQ(0, qorvex_pubkey_create(ctx(), k.data(), out.data()));
        return out;
    }
    Bytes mul(const Bytes& p, const Bytes& k) {
        Bytes out(33);
        EXPECT_EQ(0, qorvex_pubkey_tweak_mul(ctx(), p.data(), k.data(), out.data()));
        return out;
    }
    void expect(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
    }
    int dleq_prove(const Bytes& x, const Bytes& a, const Bytes& b, const Bytes& p, const Bytes& q, const Bytes& aux,
                   Bytes& proof) {
        proof.assign(64, 0xEE);
        return qorvex_zk_dleq_prove(ctx(), x.data(), a.data(), b.data(), p.data(), q.data(), aux.data(), proof.data());
    }
    int dleq_verify(const Bytes& proof, const Bytes& a, const Bytes& b, const Bytes& p, const Bytes& q) {
        return qorvex_zk_dleq_verify(ctx(), proof.data(), a.data(), b.data(), p.data(), q.data());
    }

    Bytes x_, g_, b2_, p1_, p2_;
    const Bytes msg_ = be32("6d7367"), aux_ = be32("a0a0");

private:
    CtxPtr ctx_;
};

// s + n in place of s, when it fits in 32 bytes.
Bytes plus_n(const Bytes& s) {
    const BigUint v = BigUint::from_bytes_be(s.data(), 32) + BigUint::from_hex(kOrderHex);
    return be32(v.to_hex());
}

TEST_F(Zk, KnowledgeProofRoundTrip) {
    Bytes proof(64), again(64), other(64);
    ASSERT_EQ(0, qorvex_zk_knowledge_prove(ctx(), x_.data(), p1_.data(), msg_.data(), aux_.data(), proof.data()));
    EXPECT_EQ(0, qorvex_zk_knowledge_verify(ctx(), proof.data(), p1_.data(), msg_.data()));
    ASSERT_EQ(0, qorvex_zk_knowledge_prove(ctx(), x_.data(), p1_.data(), msg_.data(), aux_.data(), again.data()));
    EXPECT_EQ(proof, again);
    const Bytes aux2 = be32("a0a1");
    ASSERT_EQ(0, qorvex_zk_knowledge_prove(ctx(), x_.data(), p1_.data(), msg_.data(), aux2.data(), other.data()));
    EXPECT_NE(to_hex(proof.data(), 32), to_hex(other.data(), 32));
    EXPECT_EQ(0, qorvex_zk_knowledge_verify(ctx(), other.data(), p1_.data(), msg_.data()));

    // Only for its own message and key.
    expect(qorvex_zk_knowledge_verify(ctx(), proof.data(), p1_.data(), be32("6d7368").data()), 6, kKnowledgeFailed);
    expect(qorvex_zk_knowledge_verify(ctx(), proof.data(), p2_.data(), msg_.data()), 6, kKnowledgeFailed);
    // A mismatched pair gives a proof, which fails.
    ASSERT_EQ(0, qorvex_zk_knowledge_prove(ctx(), x_.data(), p2_.data(), msg_.data(), aux_.data(), other.data()));
    expect(qorvex_zk_knowledge_verify(ctx(), other.data(), p2_.data(), msg_.data()), 6, kKnowledgeFailed);
    // s is read modulo n, so s + n verifies too (when it fits).
    const Bytes s(proof.begin() + 32, proof.end());
    if (BigUint::from_bytes_be(s.data(), 32) + BigUint::from_hex(kOrderHex) < (BigUint(1) << 256)) {
        Bytes alt = proof;
        const Bytes sn = plus_n(s);
        std::memcpy(alt.data() + 32, sn.data(), 32);
        EXPECT_EQ(0, qorvex_zk_knowledge_verify(ctx(), alt.data(), p1_.data(), msg_.data()));
    }
    // Every single-bit change of the proof is refused.
    for (size_t bit = 0; bit < 512; ++bit) {
        Bytes t = proof;
        t[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        ASSERT_NE(0, qorvex_zk_knowledge_verify(ctx(), t.data(), p1_.data(), msg_.data())) << bit;
    }
}

TEST_F(Zk, KnowledgeCodesInOrder) {
    Bytes proof(64, 0xEE);
    const Bytes zero(32, 0), n = be32(kOrderHex), bad(33, 0);
    expect(qorvex_zk_knowledge_prove(ctx(), zero.data(), bad.data(), msg_.data(), aux_.data(), proof.data()), 2,
           kBadSecret);
    expect(qorvex_zk_knowledge_prove(ctx(), n.data(), p1_.data(), msg_.data(), aux_.data(), proof.data()), 2, kBadSecret);
    expect(qorvex_zk_knowledge_prove(ctx(), x_.data(), bad.data(), msg_.data(), aux_.data(), proof.data()), 3,
           kBadPubkey);
    EXPECT_EQ(Bytes(64, 0xEE), proof);

    ASSERT_EQ(0, qorvex_zk_knowledge_prove(ctx(), x_.data(), p1_.data(), msg_.data(), aux_.data(), proof.data()));
    // s = 0 (and s = n, which reduces to 0) is refused before any arithmetic,
    // after the key.
    Bytes s_zero = proof, s_n = proof;
    std::memset(s_zero.data() + 32, 0, 32);
    std::memcpy(s_n.data() + 32, n.data(), 32);
    expect(qorvex_zk_knowledge_verify(ctx(), s_zero.data(), bad.data(), msg_.data()), 3, kBadPubkey);
    expect(qorvex_zk_knowledge_verify(ctx(), s_zero.data(), p1_.data(), msg_.data()), 5, kBadKnowledge);
    expect(qorvex_zk_knowledge_verify(ctx(), s_n.data(), p1_.data(), msg_.data()), 5, kBadKnowledge);
    // r_x that is no point's x coordinate (5^3 + 7 is not a square): 6, not 5.
    Bytes no_point = proof;
    std::memset(no_point.data(), 0, 32);
    no_point[31] = 5;
    expect(qorvex_zk_knowledge_verify(ctx(), no_point.data(), p1_.data(), msg_.data()), 6, kKnowledgeFailed);

    EXPECT_EQ(1, qorvex_zk_knowledge_prove(ctx(), x_.data(), p1_.data(), nullptr, aux_.data(), proof.data()));
    EXPECT_EQ(1, qorvex_zk_knowledge_prove(ctx(), x_.data(), p1_.data(), msg_.data(), nullptr, proof.data()));
    EXPECT_EQ(1, qorvex_zk_knowledge_verify(ctx(), nullptr, p1_.data(), msg_.data()));
    EXPECT_EQ(1, qorvex_zk_knowledge_verify(nullptr, proof.data(), p1_.data(), msg_.data()));
}

TEST_F(Zk, DleqRoundTripAndTampering) {
    Bytes proof, again;
    ASSERT_EQ(0, dleq_prove(x_, g_, b2_, p1_, p2_, aux_, proof));
    EXPECT_EQ(0, dleq_verify(proof, g_, b2_, p1_, p2_));
    ASSERT_EQ(0, dleq_prove(x_, g_, b2_, p1_, p2_, aux_, again));
    EXPECT_EQ(proof, again);
    ASSERT_EQ(0, dleq_prove(x_, g_, b2_, p1_, p2_, be32("a0a1"), again));
    EXPECT_NE(to_hex(proof.data(), 32), to_hex(again.data(), 32));
    EXPECT_EQ(0, dleq_verify(again, g_, b2_, p1_, p2_));

    // Two arbitrary bases work as well (neither is G).
    const Bytes b1 = pub(be32("b1")), q1 = mul(b1, x_);
    ASSERT_EQ(0, dleq_prove(x_, b1, b2_, q1, p2_, aux_, again));
    EXPECT_EQ(0, dleq_verify(again, b1, b2_, q1, p2_));

    // Another statement, swapped roles, a changed bit: all refused.
    const Bytes p2_wrong = mul(b2_, be32("5ec2e8"));
    expect(dleq_verify(proof, g_, b2_, p1_, p2_wrong), 6, kDleqFailed);
    expect(dleq_verify(proof, b2_, g_, p2_, p1_), 6, kDleqFailed);
    expect(dleq_verify(proof, g_, b2_, p2_, p1_), 6, kDleqFailed);
    for (size_t bit = 0; bit < 512; ++bit) {
        Bytes t = proof;
        t[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        ASSERT_NE(0, dleq_verify(t, g_, b2_, p1_, p2_)) << bit;
    }
    // e and s are read modulo n.
    if (BigUint::from_bytes_be(proof.data() + 32, 32) + BigUint::from_hex(kOrderHex) < (BigUint(1) << 256)) {
        Bytes alt = proof;
        const Bytes sn = plus_n(Bytes(proof.begin() + 32, proof.end()));
        std::memcpy(alt.data() + 32, sn.data(), 32);
        EXPECT_EQ(0, dleq_verify(alt, g_, b2_, p1_, p2_));
    }
}

// The prover refuses a false statement, after the secret and the points.
TEST_F(Zk, DleqProverRefusesFalseStatements) {
    Bytes proof;
    const Bytes other = mul(b2_, be32("1234"));
    const Bytes zero(32, 0), bad(33, 0);
    for (const auto& [p, q] : {std::pair{p1_, other}, std::pair{other, p2_}, std::pair{p2_, p1_}}) {
        expect(dleq_prove(x_, g_, b2_, p, q, aux_, proof), 5, kFalseStatement);
        EXPECT_EQ(Bytes(64, 0xEE), proof);
    }
    expect(dleq_prove(zero, bad, b2_, p1_, other, aux_, proof), 2, kBadSecret);
    expect(dleq_prove(be32(kOrderHex), g_, b2_, p1_, p2_, aux_, proof), 2, kBadSecret);
    for (int which = 0; which < 4; ++which) {
        Bytes pts[4] = {g_, b2_, p1_, other};
        pts[which] = bad;
        expect(dleq_prove(x_, pts[0], pts[1], pts[2], pts[3], aux_, proof), 3, kBadPoint);
    }
}

TEST_F(Zk, DleqVerifyCodesInOrder) {
    Bytes proof;
    ASSERT_EQ(0, dleq_prove(x_, g_, b2_, p1_, p2_, aux_, proof));
    const Bytes bad(33, 0);
    for (int which = 0; which < 4; ++which) {
        Bytes pts[4] = {g_, b2_, p1_, p2_};
        pts[which] = bad;
        expect(dleq_verify(Bytes(64, 0), pts[0], pts[1], pts[2], pts[3]), 3, kBadPoint);
    }
    Bytes e_zero = proof, s_zero = proof, e_n = proof;
    std::memset(e_zero.data(), 0, 32);
    std::memset(s_zero.data() + 32, 0, 32);
    const Bytes n = be32(kOrderHex);
    std::memcpy(e_n.data(), n.data(), 32);
    expect(dleq_verify(Bytes(64, 0), g_, b2_, p1_, p2_), 5, kBadDleq);
    expect(dleq_verify(e_zero, g_, b2_, p1_, p2_), 5, kBadDleq);
    expect(dleq_verify(s_zero, g_, b2_, p1_, p2_), 5, kBadDleq);
    expect(dleq_verify(e_n, g_, b2_, p1_, p2_), 5, kBadDleq);
    EXPECT_EQ(1, qorvex_zk_dleq_verify(ctx(), proof.data(), g_.data(), nullptr, p1_.data(), p2_.data()));
    EXPECT_EQ(1, qorvex_zk_dleq_prove(ctx(), x_.data(), g_.data(), b2_.data(), p1_.data(), p2_.data(), nullptr,
                                      proof.data()));
}

}  // namespace
}  // namespace qorvex::test
