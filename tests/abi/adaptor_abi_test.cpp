// Adaptor signatures through the public interface: pre-sign, pre-verify,
// adapt to a signature the ordinary verifiers accept, extract the adaptor
// secret, and every code and message.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/bignum.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

class Adaptor : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }
    Bytes pub(const Bytes& k) {
        Bytes out(33);
        EXPECT_EQ(0, qorvex_pubkey_create(ctx(), k.data(), out.data()));
        return out;
    }
    Bytes xonly(const Bytes& k) {
        Bytes out(32);
        EXPECT_EQ(0, qorvex_pubkey_xonly(ctx(), k.data(), out.data()));
        return out;
    }
    void expect(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
    }
    Bytes schnorr_presig(const Bytes& key, const Bytes& msg, const Bytes& t33, const Bytes& aux) {
        Bytes pre(QORVEX_SCHNORR_ADAPTOR_PRESIG_SIZE, 0xEE);
        EXPECT_EQ(0, qorvex_schnorr_adaptor_sign(ctx(), key.data(), msg.data(), t33.data(), aux.data(), pre.data()));
        return pre;
    }
    Bytes ecdsa_presig(const Bytes& key, const Bytes& msg, const Bytes& t33) {
        Bytes pre(QORVEX_ECDSA_ADAPTOR_PRESIG_SIZE, 0xEE);
        EXPECT_EQ(0, qorvex_ecdsa_adaptor_sign(ctx(), key.data(), msg.data(), t33.data(), pre.data()));
        return pre;
    }

    const Bytes msg_ = be32("ada970"), aux_ = be32("a11");

private:
    CtxPtr ctx_;
};

// Keys and adaptor secrets chosen so that both parities of the key's y and
// both values of the negated flag occur.
TEST_F(Adaptor, SchnorrFullCycle) {
    std::set<int> flags, parities;
    for (int i = 1; i <= 12; ++i) {
        const Bytes key = be32(std::to_string(1000 + 37 * i)), t = be32(std::to_string(77 + 101 * i));
        const Bytes t33 = pub(t), x = xonly(key);
        parities.insert(pub(key)[0]);
        SCOPED_TRACE(i);
        const Bytes pre = schnorr_presig(key, msg_, t33, aux_);
        flags.insert(pre[65]);
        EXPECT_EQ(Bytes(31, 0), Bytes(pre.begin() + 66, pre.end()));
        EXPECT_EQ(0, qorvex_schnorr_adaptor_verify(ctx(), pre.data(), x.data(), msg_.data(), t33.data()));
        Bytes sig(64), back(32, 0xEE);
        ASSERT_EQ(0, qorvex_schnorr_adaptor_adapt(ctx(), pre.data(), t.data(), sig.data()));
        EXPECT_EQ(0, qorvex_schnorr_verify(ctx(), msg_.data(), sig.data(), x.data()));
        ASSERT_EQ(0, qorvex_schnorr_adaptor_extract(ctx(), pre.data(), sig.data(), back.data()));
        EXPECT_EQ(t, back);
        // Deterministic, and the auxiliary randomness counts.
        EXPECT_EQ(pre, schnorr_presig(key, msg_, t33, aux_));
        EXPECT_NE(pre, schnorr_presig(key, msg_, t33, be32("a12")));
        // Another message, another adaptor point: refused.
        expect(qorvex_schnorr_adaptor_verify(ctx(), pre.data(), x.data(), be32("ada971").data(), t33.data()), 6,
               "adaptor verify failed");
        expect(qorvex_schnorr_adaptor_verify(ctx(), pre.data(), x.data(), msg_.data(), pub(be32("99")).data()), 6,
               "adaptor verify failed");
    }
    EXPECT_EQ((std::set<int>{0, 1}), flags);
    EXPECT_EQ((std::set<int>{2, 3}), parities);
}

// Any non-zero flag byte reads as 1; the 31 trailing bytes are ignored.
TEST_F(Adaptor, SchnorrFlagByteAndPadding) {
    for (int i = 1; i <= 8; ++i) {
        const Bytes key = be32(std::to_string(5000 + i)), t = be32(std::to_string(300 + i));
        const Bytes t33 = pub(t), x = xonly(key);
        Bytes pre = schnorr_presig(key, msg_, t33, aux_);
        Bytes sig(64), sig2(64);
        ASSERT_EQ(0, qorvex_schnorr_adaptor_adapt(ctx(), pre.data(), t.data(), sig.data()));
        std::memset(pre.data() + 66, 0x5A, 31);
        if (pre[65] == 1) pre[65] = 2;
        EXPECT_EQ(0, qorvex_schnorr_adaptor_verify(ctx(), pre.data(), x.data(), msg_.data(), t33.data()));
        ASSERT_EQ(0, qorvex_schnorr_adaptor_adapt(ctx(), pre.data(), t.data(), sig2.data()));
        EXPECT_EQ(sig, sig2);
        // The wrong flag makes the pre-signature fail.
        pre[65] = pre[65] ? 0 : 1;
        EXPECT_EQ(6, qorvex_schnorr_adaptor_verify(ctx(), pre.data(), x.data(), msg_.data(), t33.data()));
    }
}

TEST_F(Adaptor, SchnorrCodesInOrder) {
    const Bytes key = be32("5c4"), t = be32("7"), t33 = pub(t), x = xonly(key);
    const Bytes pre = schnorr_presig(key, msg_, t33, aux_);
    const Bytes zero(32, 0), n = be32(kOrderHex), bad33(33, 0);
    Bytes out(97, 0xEE);
    expect(qorvex_schnorr_adaptor_sign(ctx(), zero.data(), msg_.data(), bad33.data(), aux_.data(), out.data()), 2,
           "privkey is zero or >= n");
    expect(qorvex_schnorr_adaptor_sign(ctx(), n.data(), msg_.data(), t33.data(), aux_.data(), out.data()), 2,
           "privkey is zero or >= n");
    expect(qorvex_schnorr_adaptor_sign(ctx(), key.data(), msg_.data(), bad33.data(), aux_.data(), out.data()), 3,
           "invalid adaptor point");
    EXPECT_EQ(Bytes(97, 0xEE), out);

    Bytes bad_r = pre, bad_s = pre;
    bad_r[0] = 0x04;
    std::memcpy(bad_s.data() + 33, n.data(), 32);
    Bytes x_ge_p(32, 0xFF), x_off(32, 0);
    x_off[31] = 5;  // no point has x = 5
    const char* r_msg = "invalid adaptor R_hat";
    const char* s_msg = "invalid adaptor sig scalar";
    expect(qorvex_schnorr_adaptor_verify(ctx(), bad_r.data(), x_ge_p.data(), msg_.data(), bad33.data()), 4, r_msg);
    expect(qorvex_schnorr_adaptor_verify(ctx(), bad_s.data(), x_ge_p.data(), msg_.data(), bad33.data()), 4, s_msg);
    expect(qorvex_schnorr_adaptor_verify(ctx(), pre.data(), x_ge_p.data(), msg_.data(), bad33.data()), 3,
           "non-canonical pubkey (x>=p)");
    expect(qorvex_schnorr_adaptor_verify(ctx(), pre.data(), x.data(), msg_.data(), bad33.data()), 3,
           "invalid adaptor point");
    expect(qorvex_schnorr_adaptor_verify(ctx(), pre.data(), x_off.data(), msg_.data(), t33.data()), 6,
           "adaptor verify failed");

    Bytes sig(64, 0xEE);
    expect(qorvex_schnorr_adaptor_adapt(ctx(), bad_r.data(), zero.data(), sig.data()), 4, r_msg);
    expect(qorvex_schnorr_adaptor_adapt(ctx(), bad_s.data(), zero.data(), sig.data()), 4, s_msg);
    expect(qorvex_schnorr_adaptor_adapt(ctx(), pre.data(), zero.data(), sig.data()), 5, "adaptor secret is zero or >= n");
    expect(qorvex_schnorr_adaptor_adapt(ctx(), pre.data(), n.data(), sig.data()), 5, "adaptor secret is zero or >= n");
    EXPECT_EQ(Bytes(64, 0xEE), sig);

    ASSERT_EQ(0, qorvex_schnorr_adaptor_adapt(ctx(), pre.data(), t.data(), sig.data()));
    Bytes back(32, 0xEE), sig_s0 = sig, sig_r = sig;
    std::memset(sig_s0.data() + 32, 0, 32);
    std::memset(sig_r.data(), 0xFF, 32);
    const char* sig_msg = "invalid schnorr signature";
    expect(qorvex_schnorr_adaptor_extract(ctx(), bad_r.data(), sig_s0.data(), back.data()), 4, r_msg);
    expect(qorvex_schnorr_adaptor_extract(ctx(), bad_s.data(), sig_s0.data(), back.data()), 4, s_msg);
    expect(qorvex_schnorr_adaptor_extract(ctx(), pre.data(), sig_s0.data(), back.data()), 4, sig_msg);
    expect(qorvex_schnorr_adaptor_extract(ctx(), pre.data(), sig_r.data(), back.data()), 4, sig_msg);
    // A signature whose s equals s_hat gives t = 0.
    Bytes same = sig;
    std::memcpy(same.data() + 32, pre.data() + 33, 32);
    expect(qorvex_schnorr_adaptor_extract(ctx(), pre.data(), same.data(), back.data()), 9, "adaptor extract failed");
    EXPECT_EQ(Bytes(32, 0xEE), back);
    EXPECT_EQ(1, qorvex_schnorr_adaptor_extract(ctx(), pre.data(), nullptr, back.data()));
    EXPECT_EQ(1, qorvex_schnorr_adaptor_verify(ctx(), pre.data(), x.data(), nullptr, t33.data()));
}

// The adapted ECDSA signature is not normalised: the opaque verifier (which
// normalises) accepts it, the compact one once it is low-S, and extract
// returns t from the unnormalised form (n - t from the normalised one when
// that changed s).
TEST_F(Adaptor, EcdsaFullCycle) {
    const BigUint n = BigUint::from_hex(kOrderHex);
    int high = 0;
    for (int i = 1; i <= 10; ++i) {
        const Bytes key = be32(std::to_string(9000 + 13 * i)), t = be32(std::to_string(424242 + i));
        const Bytes t33 = pub(t), p = pub(key);
        SCOPED_TRACE(i);
        const Bytes pre = ecdsa_presig(key, msg_, t33);
        EXPECT_EQ(pre, ecdsa_presig(key, msg_, t33));
        EXPECT_EQ(0, qorvex_ecdsa_adaptor_verify(ctx(), pre.data(), p.data(), msg_.data(), t33.data()));
        Bytes sig(64), opaque(64), normal(64), back(32);
        ASSERT_EQ(0, qorvex_ecdsa_adaptor_adapt(ctx(), pre.data(), t.data(), sig.data()));
        ASSERT_EQ(0, qorvex_ecdsa_sig_compact_to_opaque(ctx(), sig.data(), opaque.data()));
        EXPECT_EQ(0, qorvex_ecdsa_verify_opaque(ctx(), msg_.data(), opaque.data(), p.data()));
        int changed = 0;
        ASSERT_EQ(0, qorvex_ecdsa_sig_normalize_opaque(ctx(), opaque.data(), opaque.data(), &changed));
        ASSERT_EQ(0, qorvex_ecdsa_sig_opaque_to_compact(ctx(), opaque.data(), normal.data()));
        EXPECT_EQ(0, qorvex_ecdsa_verify(ctx(), msg_.data(), normal.data(), p.data()));
        high += changed;
        ASSERT_EQ(0, qorvex_ecdsa_adaptor_extract(ctx(), pre.data(), sig.data(), back.data()));
        EXPECT_EQ(t, back);
        ASSERT_EQ(0, qorvex_ecdsa_adaptor_extract(ctx(), pre.data(), normal.data(), back.data()));
        const BigUint tv = BigUint::from_bytes_be(t.data(), 32);
        EXPECT_EQ(changed ? be32((n - tv).to_hex()) : t, back);
    }
    EXPECT_GT(high, 0);  // some adapted signatures were high-S
    EXPECT_LT(high, 10);
}

// One changed byte of the message, of T, or of any DLEQ field: 6.
TEST_F(Adaptor, EcdsaTamperingIsRefused) {
    const Bytes key = be32("ecd5a"), t33 = pub(be32("7777")), p = pub(key);
    const Bytes pre = ecdsa_presig(key, msg_, t33);
    const char* fail = "ECDSA adaptor verify failed";
    expect(qorvex_ecdsa_adaptor_verify(ctx(), pre.data(), p.data(), be32("ada971").data(), t33.data()), 6, fail);
    expect(qorvex_ecdsa_adaptor_verify(ctx(), pre.data(), p.data(), msg_.data(), pub(be32("7778")).data()), 6, fail);
    expect(qorvex_ecdsa_adaptor_verify(ctx(), pre.data(), pub(be32("1")).data(), msg_.data(), t33.data()), 6, fail);
    for (size_t at : {66u, 97u, 98u, 110u, 129u, 130u, 150u, 161u}) {
        Bytes t = pre;
        t[at] ^= 0x01;
        EXPECT_EQ(6, qorvex_ecdsa_adaptor_verify(ctx(), t.data(), p.data(), msg_.data(), t33.data())) << at;
    }
    // R_hat or R replaced by its negation (still a valid point).
    for (size_t at : {0u, 33u}) {
        Bytes t = pre;
        t[at] ^= 0x01;
        EXPECT_EQ(6, qorvex_ecdsa_adaptor_verify(ctx(), t.data(), p.data(), msg_.data(), t33.data())) << at;
    }
}

TEST_F(Adaptor, EcdsaCodesInOrder) {
    const Bytes key = be32("e5e5"), t = be32("3"), t33 = pub(t), p = pub(key);
    const Bytes pre = ecdsa_presig(key, msg_, t33);
    const Bytes zero(32, 0), n = be32(kOrderHex), bad33(33, 0);
    const char* bad_pre = "invalid adaptor pre-signature";
    Bytes out(162, 0xEE);
    expect(qorvex_ecdsa_adaptor_sign(ctx(), n.data(), msg_.data(), bad33.data(), out.data()), 2,
           "privkey is zero or >= n");
    expect(qorvex_ecdsa_adaptor_sign(ctx(), key.data(), msg_.data(), bad33.data(), out.data()), 3,
           "invalid adaptor point");
    EXPECT_EQ(Bytes(162, 0xEE), out);

    // Each field that fails to parse: either point, any scalar at n.
    for (size_t at : {0u, 33u, 66u, 98u, 130u}) {
        Bytes bad = pre;
        if (at < 66) {
            bad[at] = 0x05;
        } else {
            std::memcpy(bad.data() + at, n.data(), 32);
        }
        SCOPED_TRACE(at);
        expect(qorvex_ecdsa_adaptor_verify(ctx(), bad.data(), bad33.data(), msg_.data(), bad33.data()), 4, bad_pre);
        expect(qorvex_ecdsa_adaptor_adapt(ctx(), bad.data(), zero.data(), out.data()), 4, bad_pre);
        expect(qorvex_ecdsa_adaptor_extract(ctx(), bad.data(), zero.data(), out.data()), 4, bad_pre);
    }
    expect(qorvex_ecdsa_adaptor_verify(ctx(), pre.data(), bad33.data(), msg_.data(), bad33.data()), 3, "invalid pubkey");
    expect(qorvex_ecdsa_adaptor_verify(ctx(), pre.data(), p.data(), msg_.data(), bad33.data()), 3,
           "invalid adaptor point");
    // s_hat = 0 parses but never verifies.
    Bytes s_zero = pre;
    std::memset(s_zero.data() + 66, 0, 32);
    expect(qorvex_ecdsa_adaptor_verify(ctx(), s_zero.data(), p.data(), msg_.data(), t33.data()), 6,
           "ECDSA adaptor verify failed");

    Bytes sig(64, 0xEE);
    expect(qorvex_ecdsa_adaptor_adapt(ctx(), pre.data(), zero.data(), sig.data()), 5, "adaptor secret is zero or >= n");
    expect(qorvex_ecdsa_adaptor_adapt(ctx(), pre.data(), n.data(), sig.data()), 5, "adaptor secret is zero or >= n");
    EXPECT_EQ(Bytes(64, 0xEE), sig);
    ASSERT_EQ(0, qorvex_ecdsa_adaptor_adapt(ctx(), pre.data(), t.data(), sig.data()));
    Bytes back(32, 0xEE), bad_sig = sig;
    std::memset(bad_sig.data() + 32, 0, 32);
    expect(qorvex_ecdsa_adaptor_extract(ctx(), pre.data(), bad_sig.data(), back.data()), 4, "invalid ECDSA sig");
    expect(qorvex_ecdsa_adaptor_extract(ctx(), s_zero.data(), sig.data(), back.data()), 9,
           "ECDSA adaptor extract failed");
    EXPECT_EQ(Bytes(32, 0xEE), back);
    EXPECT_EQ(1, qorvex_ecdsa_adaptor_adapt(ctx(), pre.data(), nullptr, sig.data()));
    EXPECT_EQ(1, qorvex_ecdsa_adaptor_sign(nullptr, key.data(), msg_.data(), t33.data(), out.data()));
}

// Outputs may be the buffers of their inputs.
TEST_F(Adaptor, OutputsOverlapInputs) {
    const Bytes key = be32("0e71a9"), t = be32("88"), t33 = pub(t);
    const Bytes pre = ecdsa_presig(key, msg_, t33);
    Bytes buf = pre;
    Bytes sig(64);
    ASSERT_EQ(0, qorvex_ecdsa_adaptor_adapt(ctx(), pre.data(), t.data(), sig.data()));
    ASSERT_EQ(0, qorvex_ecdsa_adaptor_adapt(ctx(), buf.data(), t.data(), buf.data()));
    EXPECT_EQ(sig, Bytes(buf.begin(), buf.begin() + 64));
    Bytes m = msg_;
    m.resize(162);
    ASSERT_EQ(0, qorvex_ecdsa_adaptor_sign(ctx(), key.data(), m.data(), t33.data(), m.data()));
    EXPECT_EQ(pre, m);
    const Bytes spre = schnorr_presig(key, msg_, t33, aux_);
    Bytes a = aux_;
    a.resize(97);
    ASSERT_EQ(0, qorvex_schnorr_adaptor_sign(ctx(), key.data(), msg_.data(), t33.data(), a.data(), a.data()));
    EXPECT_EQ(spre, a);
}

}  // namespace
}  // namespace qorvex::test
