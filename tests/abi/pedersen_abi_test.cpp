// Pedersen commitments through the public interface: the generators, the
// commitment against the key functions, verification, balances and blind
// sums, every code and message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

// SHA-256 of the seed strings, increased until on the curve (three steps
// each), even y; computed independently of the library.
constexpr char kH[] = "0211a7d308481858bae0d13b4ea865f68d19f85d93708fd04212d8892ae2d26106";
constexpr char kJ[] = "02307cfb63f17789bca55cb425b6be5344c4f2d335d91277b3b3d68f36db11f774";

class Pedersen : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }
    Bytes commit(const Bytes& v, const Bytes& b) {
        Bytes c(33, 0xEE);
        EXPECT_EQ(0, qorvex_pedersen_commit(ctx(), v.data(), b.data(), c.data()));
        return c;
    }
    void expect(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        if (code) {
            EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
        }
    }
    static Bytes cat(std::initializer_list<Bytes> parts) {
        Bytes out;
        for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    }

private:
    CtxPtr ctx_;
};

TEST_F(Pedersen, GeneratorsAreTheFixedPoints) {
    const Bytes one = be32("1"), zero = be32("0");
    EXPECT_EQ(kH, to_hex(commit(one, zero)));
    Bytes j(33);
    ASSERT_EQ(0, qorvex_pedersen_switch_commit(ctx(), zero.data(), zero.data(), one.data(), j.data()));
    EXPECT_EQ(kJ, to_hex(j));
    Bytes g(33);
    ASSERT_EQ(0, qorvex_pubkey_create(ctx(), one.data(), g.data()));
    EXPECT_EQ(to_hex(g), to_hex(commit(zero, one)));
}

// value H + blinding G, against the variable-time key functions.
TEST_F(Pedersen, CommitmentIsValueHPlusBlindingG) {
    const Bytes h = from_hex(kH), j = from_hex(kJ);
    for (const auto& [vh, bh] : {std::pair{"5", "3"}, std::pair{kOrderMinus1Hex, "abcdef"},
                                 std::pair{"ffffffffffffffff", kOrderMinus1Hex}}) {
        const Bytes v = be32(vh), b = be32(bh);
        Bytes vH(33), bG(33), want(33);
        ASSERT_EQ(0, qorvex_pubkey_tweak_mul(ctx(), h.data(), v.data(), vH.data()));
        ASSERT_EQ(0, qorvex_pubkey_create(ctx(), b.data(), bG.data()));
        ASSERT_EQ(0, qorvex_pubkey_add(ctx(), vH.data(), bG.data(), want.data()));
        const Bytes c = commit(v, b);
        EXPECT_EQ(to_hex(want), to_hex(c));
        EXPECT_EQ(0, qorvex_pedersen_verify(ctx(), c.data(), v.data(), b.data()));

        // The switch term adds s J; s = 0 gives the plain commitment.
        const Bytes s = be32("77"), zero(32, 0);
        Bytes sJ(33), with(33), sc(33), plain(33);
        ASSERT_EQ(0, qorvex_pubkey_tweak_mul(ctx(), j.data(), s.data(), sJ.data()));
        ASSERT_EQ(0, qorvex_pubkey_add(ctx(), want.data(), sJ.data(), with.data()));
        ASSERT_EQ(0, qorvex_pedersen_switch_commit(ctx(), v.data(), b.data(), s.data(), sc.data()));
        EXPECT_EQ(to_hex(with), to_hex(sc));
        ASSERT_EQ(0, qorvex_pedersen_switch_commit(ctx(), v.data(), b.data(), zero.data(), plain.data()));
        EXPECT_EQ(to_hex(c), to_hex(plain));
    }
}

TEST_F(Pedersen, ZeroCommitmentAndVerification) {
    const Bytes zero(32, 0);
    const Bytes c = commit(zero, zero);
    EXPECT_EQ(Bytes(33, 0), c);
    expect(qorvex_pedersen_verify(ctx(), c.data(), zero.data(), zero.data()), 5, "invalid commitment point");
    const Bytes v = be32("64"), b = be32("b11d");
    const Bytes good = commit(v, b);
    expect(qorvex_pedersen_verify(ctx(), good.data(), be32("65").data(), b.data()), 6, "Pedersen verify failed");
    expect(qorvex_pedersen_verify(ctx(), good.data(), v.data(), be32("b11e").data()), 6, "Pedersen verify failed");
    Bytes other = good;
    other[0] ^= 1;  // the negation
    expect(qorvex_pedersen_verify(ctx(), other.data(), v.data(), b.data()), 6, "Pedersen verify failed");
}

TEST_F(Pedersen, RangeChecksInOrder) {
    const Bytes n = be32(kOrderHex), ok = be32(kOrderMinus1Hex), c = commit(ok, ok);
    EXPECT_FALSE(c == Bytes(33, 0));
    Bytes out(33, 0xEE);
    expect(qorvex_pedersen_commit(ctx(), n.data(), n.data(), out.data()), 5, "value >= n");
    expect(qorvex_pedersen_commit(ctx(), ok.data(), n.data(), out.data()), 5, "blinding >= n");
    expect(qorvex_pedersen_switch_commit(ctx(), n.data(), n.data(), n.data(), out.data()), 5, "value >= n");
    expect(qorvex_pedersen_switch_commit(ctx(), ok.data(), n.data(), n.data(), out.data()), 5, "blinding >= n");
    expect(qorvex_pedersen_switch_commit(ctx(), ok.data(), ok.data(), n.data(), out.data()), 5, "switch_blind >= n");
    EXPECT_EQ(Bytes(33, 0xEE), out);
    const Bytes bad_point(33, 0);
    expect(qorvex_pedersen_verify(ctx(), bad_point.data(), n.data(), ok.data()), 5, "value >= n");
    expect(qorvex_pedersen_verify(ctx(), bad_point.data(), ok.data(), n.data()), 5, "blinding >= n");
    expect(qorvex_pedersen_verify(ctx(), bad_point.data(), ok.data(), ok.data()), 5, "invalid commitment point");
    expect(qorvex_pedersen_verify(ctx(), c.data(), ok.data(), ok.data()), 0, nullptr);
    EXPECT_EQ(1, qorvex_pedersen_commit(ctx(), nullptr, ok.data(), out.data()));
    EXPECT_EQ(1, qorvex_pedersen_switch_commit(ctx(), ok.data(), ok.data(), nullptr, out.data()));
    EXPECT_EQ(1, qorvex_pedersen_verify(nullptr, c.data(), ok.data(), ok.data()));
}

// Inputs of 10 + 20 balance outputs of 25 + 5 once the last blinding factor
// is the blind sum of the others.
TEST_F(Pedersen, BalancedTransactionWithTheBlindSum) {
    const Bytes b1 = be32("1111"), b2 = be32("2222"), b3 = be32("3333");
    Bytes b4(32);
    const Bytes ins = cat({b1, b2});
    ASSERT_EQ(0, qorvex_pedersen_blind_sum(ctx(), ins.data(), 2, b3.data(), 1, b4.data()));
    const Bytes pos = cat({commit(be32("a"), b1), commit(be32("14"), b2)});
    const Bytes neg = cat({commit(be32("19"), b3), commit(be32("5"), b4)});
    EXPECT_EQ(0, qorvex_pedersen_verify_sum(ctx(), pos.data(), 2, neg.data(), 2));
    const Bytes wrong = cat({commit(be32("19"), b3), commit(be32("6"), b4)});
    expect(qorvex_pedersen_verify_sum(ctx(), pos.data(), 2, wrong.data(), 2), 6, "Pedersen sum verify failed");
}

TEST_F(Pedersen, SumChecks) {
    const Bytes c1 = commit(be32("1"), be32("2")), c2 = commit(be32("3"), be32("4")), c3 = commit(be32("5"), be32("6"));
    const Bytes both = cat({c1, c2}), swapped = cat({c1, c3}), bad = cat({c1, Bytes(33, 0)});
    EXPECT_EQ(0, qorvex_pedersen_verify_sum(ctx(), nullptr, 0, nullptr, 0));
    EXPECT_EQ(0, qorvex_pedersen_verify_sum(ctx(), both.data(), 2, both.data(), 2));
    expect(qorvex_pedersen_verify_sum(ctx(), both.data(), 2, swapped.data(), 2), 6, "Pedersen sum verify failed");
    expect(qorvex_pedersen_verify_sum(ctx(), both.data(), 2, nullptr, 0), 6, "Pedersen sum verify failed");
    expect(qorvex_pedersen_verify_sum(ctx(), bad.data(), 2, bad.data(), 2), 5, "invalid positive commitment");
    expect(qorvex_pedersen_verify_sum(ctx(), both.data(), 2, bad.data(), 2), 5, "invalid negative commitment");
    // The counts are checked before any commitment is read.
    const size_t too_many = QORVEX_PEDERSEN_MAX_COUNT + 1;
    expect(qorvex_pedersen_verify_sum(ctx(), c1.data(), too_many, c1.data(), 1), 5, "commitment count too large");
    expect(qorvex_pedersen_verify_sum(ctx(), c1.data(), 1, c1.data(), too_many), 5, "commitment count too large");
    EXPECT_EQ(1, qorvex_pedersen_verify_sum(ctx(), nullptr, 1, nullptr, 0));
    EXPECT_EQ(1, qorvex_pedersen_verify_sum(ctx(), nullptr, 0, nullptr, 1));
    EXPECT_EQ(1, qorvex_pedersen_verify_sum(nullptr, nullptr, 0, nullptr, 0));
}

TEST_F(Pedersen, BlindSums) {
    const Bytes a = be32("abc"), n = be32(kOrderHex), one = be32("1"), nm1 = be32(kOrderMinus1Hex);
    Bytes out(32, 0xEE);
    ASSERT_EQ(0, qorvex_pedersen_blind_sum(ctx(), a.data(), 1, a.data(), 1, out.data()));
    EXPECT_EQ(Bytes(32, 0), out);
    // (n - 1) + 1 = 0, and 0 - 1 = n - 1: both directions wrap.
    const Bytes pair = cat({nm1, one});
    ASSERT_EQ(0, qorvex_pedersen_blind_sum(ctx(), pair.data(), 2, nullptr, 0, out.data()));
    EXPECT_EQ(Bytes(32, 0), out);
    ASSERT_EQ(0, qorvex_pedersen_blind_sum(ctx(), nullptr, 0, one.data(), 1, out.data()));
    EXPECT_EQ(nm1, out);
    // The result may overwrite an input.
    Bytes in = cat({be32("10"), be32("20")});
    ASSERT_EQ(0, qorvex_pedersen_blind_sum(ctx(), in.data(), 2, in.data() + 32, 1, in.data()));
    EXPECT_EQ(be32("10"), Bytes(in.begin(), in.begin() + 32));

    out.assign(32, 0xEE);
    const Bytes bad_in = cat({one, n});
    expect(qorvex_pedersen_blind_sum(ctx(), bad_in.data(), 2, n.data(), 1, out.data()), 5, "invalid input blind");
    expect(qorvex_pedersen_blind_sum(ctx(), one.data(), 1, bad_in.data(), 2, out.data()), 5, "invalid output blind");
    const size_t too_many = QORVEX_PEDERSEN_MAX_COUNT + 1;
    expect(qorvex_pedersen_blind_sum(ctx(), n.data(), 1, one.data(), too_many, out.data()), 5, "blind count too large");
    EXPECT_EQ(Bytes(32, 0xEE), out);
    EXPECT_EQ(1, qorvex_pedersen_blind_sum(ctx(), nullptr, 1, nullptr, 0, out.data()));
    EXPECT_EQ(1, qorvex_pedersen_blind_sum(ctx(), nullptr, 0, nullptr, 0, nullptr));
}

}  // namespace
}  // namespace qorvex::test
