#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes hex(const std::string& h) {
    Bytes out(h.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(std::stoul(h.substr(2 * i, 2), nullptr, 16));
    return out;
}

const std::string kGx = "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kGy = "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8";
const std::string k2Gx = "c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5";
const std::string k3Gx = "f9308a019258c31049344f85f89d5229b531c845836f99b08601f113bce036f9";
const std::string kP = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";

class Pubkey : public ::testing::Test {
protected:
    void SetUp() override { ctx_ = make_ctx(); }
    Bytes create(const std::string& key_hex) {
        Bytes out(33);
        auto key = be32(key_hex);
        EXPECT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx_.get(), key.data(), out.data()));
        return out;
    }
    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx_.get()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx_.get()));
    }
    CtxPtr ctx_;
};

TEST_F(Pubkey, CreateForms) {
    EXPECT_EQ(hex("02" + kGx), create("01"));
    EXPECT_EQ(hex("02" + k2Gx), create("02"));
    Bytes unc(65), x(32);
    auto one = be32("01");
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_create_uncompressed(ctx_.get(), one.data(), unc.data()));
    EXPECT_EQ(hex("04" + kGx + kGy), unc);
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_xonly(ctx_.get(), one.data(), x.data()));
    EXPECT_EQ(hex(kGx), x);
    // n - 1 gives -G: same x, odd y.
    EXPECT_EQ(hex("03" + kGx), create(kOrderMinus1Hex));
}

TEST_F(Pubkey, CreateRejectsInvalidKeysAndWritesNothing) {
    for (const std::string& bad : {std::string("00"), std::string(kOrderHex), std::string(64, 'f')}) {
        auto key = be32(bad);
        Bytes out33(33, 0xAA), out65(65, 0xAA), out32(32, 0xAA);
        expect_error(qorvex_pubkey_create(ctx_.get(), key.data(), out33.data()), 2, "privkey is zero or >= n");
        expect_error(qorvex_pubkey_create_uncompressed(ctx_.get(), key.data(), out65.data()), 2,
                     "privkey is zero or >= n");
        expect_error(qorvex_pubkey_xonly(ctx_.get(), key.data(), out32.data()), 2, "privkey is zero or >= n");
        EXPECT_EQ(Bytes(33, 0xAA), out33);
        EXPECT_EQ(Bytes(65, 0xAA), out65);
        EXPECT_EQ(Bytes(32, 0xAA), out32);
    }
}

TEST_F(Pubkey, Parse) {
    const Bytes g33 = hex("02" + kGx), g65 = hex("04" + kGx + kGy);
    struct Case {
        const char* what;
        Bytes in;
        int rc;
        const char* message;
    };
    Bytes y_plus_one = g65;
    y_plus_one[64] ^= 1;
    const Case cases[] = {
        {"33 bytes", g33, 0, nullptr},
        {"65 bytes", g65, 0, nullptr},
        {"x not on curve", hex("02" + std::string(63, '0') + "5"), 3, "decompression failed"},
        {"x = p", hex("03" + kP), 3, "decompression failed"},
        {"65 x = p", hex("04" + kP + kGy), 3, "coordinate >= p"},
        {"65 y = p", hex("04" + kGx + kP), 3, "coordinate >= p"},
        {"65 off curve", y_plus_one, 3, "point not on curve"},
        {"64 bytes", Bytes(g65.begin(), g65.end() - 1), 5, "expected 33 or 65 byte pubkey"},
        {"33 bytes prefix 04", hex("04" + kGx), 5, "expected 33 or 65 byte pubkey"},
        {"65 bytes prefix 06", hex("06" + kGx + kGy), 5, "expected 33 or 65 byte pubkey"},
        {"65 bytes prefix 02", hex("02" + kGx + kGy), 5, "expected 33 or 65 byte pubkey"},
        {"empty", Bytes{0x02}, 5, "expected 33 or 65 byte pubkey"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes out(33, 0xAA);
        const int rc = qorvex_pubkey_parse(ctx_.get(), c.in.data(), c.in.size(), out.data());
        if (c.rc == 0) {
            EXPECT_EQ(0, rc);
            EXPECT_EQ(g33, out);
        } else {
            expect_error(rc, c.rc, c.message);
            EXPECT_EQ(Bytes(33, 0xAA), out);
        }
    }
}

TEST_F(Pubkey, NegateAddCombine) {
    const Bytes g = create("01"), g2 = create("02"), g3 = create("03");
    Bytes neg(33), out(33);
    ASSERT_EQ(0, qorvex_pubkey_negate(ctx_.get(), g.data(), neg.data()));
    EXPECT_EQ(hex("03" + kGx), neg);
    ASSERT_EQ(0, qorvex_pubkey_add(ctx_.get(), g.data(), g2.data(), out.data()));
    EXPECT_EQ(g3, out);
    ASSERT_EQ(0, qorvex_pubkey_add(ctx_.get(), g.data(), g.data(), out.data()));
    EXPECT_EQ(g2, out);
    expect_error(qorvex_pubkey_add(ctx_.get(), g.data(), neg.data(), out.data()), 7, "sum is point at infinity");

    const Bytes bad = hex("05" + kGx);
    expect_error(qorvex_pubkey_negate(ctx_.get(), bad.data(), out.data()), 3, "invalid pubkey");
    expect_error(qorvex_pubkey_add(ctx_.get(), bad.data(), g.data(), out.data()), 3, "invalid pubkey a");
    expect_error(qorvex_pubkey_add(ctx_.get(), g.data(), bad.data(), out.data()), 3, "invalid pubkey b");

    auto concat = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    Bytes keys = concat({g, neg, g3});
    ASSERT_EQ(0, qorvex_pubkey_combine(ctx_.get(), keys.data(), 3, out.data()));
    EXPECT_EQ(g3, out);  // the running sum passed through infinity
    ASSERT_EQ(0, qorvex_pubkey_combine(ctx_.get(), g.data(), 1, out.data()));
    EXPECT_EQ(g, out);
    keys = concat({g, neg});
    expect_error(qorvex_pubkey_combine(ctx_.get(), keys.data(), 2, out.data()), 7, "combined pubkey is infinity");
    expect_error(qorvex_pubkey_combine(ctx_.get(), keys.data(), 0, out.data()), 5, "need >= 1 pubkey");
    expect_error(qorvex_pubkey_combine(ctx_.get(), keys.data(), SIZE_MAX / 33 + 1, out.data()), 5,
                 "pubkey array length too large");
    keys = concat({bad, g});
    expect_error(qorvex_pubkey_combine(ctx_.get(), keys.data(), 2, out.data()), 3, "invalid pubkey[0]");
    keys = concat({g, g2, bad});
    expect_error(qorvex_pubkey_combine(ctx_.get(), keys.data(), 3, out.data()), 3, "invalid pubkey in array");
}

TEST_F(Pubkey, Tweaks) {
    const Bytes g = create("01"), g3 = create("03"), g6 = create("06");
    Bytes out(33, 0xAA);
    auto t0 = be32("00"), t2 = be32("02"), t3 = be32("03"), tn = be32(kOrderHex), tnm1 = be32(kOrderMinus1Hex);
    ASSERT_EQ(0, qorvex_pubkey_tweak_add(ctx_.get(), g.data(), t2.data(), out.data()));
    EXPECT_EQ(g3, out);
    ASSERT_EQ(0, qorvex_pubkey_tweak_add(ctx_.get(), g3.data(), t0.data(), out.data()));
    EXPECT_EQ(g3, out);
    ASSERT_EQ(0, qorvex_pubkey_tweak_mul(ctx_.get(), g3.data(), t2.data(), out.data()));
    EXPECT_EQ(g6, out);

    const Bytes bad = hex("02" + std::string(63, '0') + "5");
    Bytes untouched(33, 0xAA);
    struct Case {
        const char* what;
        bool add;
        const Bytes* pub;
        const Bytes* tweak;
        int rc;
        const char* message;
    };
    const Case cases[] = {
        {"add bad pub", true, &bad, &t2, 3, "invalid pubkey"},
        {"add tweak n", true, &g, &tn, 5, "tweak >= n"},
        {"add to infinity", true, &g, &tnm1, 7, "tweak_add resulted in infinity"},
        {"mul bad pub", false, &bad, &t3, 3, "invalid pubkey"},
        {"mul tweak 0", false, &g, &t0, 5, "tweak is zero or >= n"},
        {"mul tweak n", false, &g, &tn, 5, "tweak is zero or >= n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes o(33, 0xAA);
        const int rc = c.add ? qorvex_pubkey_tweak_add(ctx_.get(), c.pub->data(), c.tweak->data(), o.data())
                             : qorvex_pubkey_tweak_mul(ctx_.get(), c.pub->data(), c.tweak->data(), o.data());
        expect_error(rc, c.rc, c.message);
        EXPECT_EQ(untouched, o);
    }
}

// Tweaking the key and tweaking the public key agree.
TEST_F(Pubkey, TweaksCommuteWithKeyDerivation) {
    auto key = be32("3f1e5a7c9b2d4e6f8091a2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c4d5e6f7");
    auto tweak = be32("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
    Bytes pub(33), via_pub(33), via_key(33);
    ASSERT_EQ(0, qorvex_pubkey_create(ctx_.get(), key.data(), pub.data()));
    for (bool add : {true, false}) {
        auto k = key;
        if (add) {
            ASSERT_EQ(0, qorvex_seckey_tweak_add(ctx_.get(), k.data(), tweak.data()));
            ASSERT_EQ(0, qorvex_pubkey_tweak_add(ctx_.get(), pub.data(), tweak.data(), via_pub.data()));
        } else {
            ASSERT_EQ(0, qorvex_seckey_tweak_mul(ctx_.get(), k.data(), tweak.data()));
            ASSERT_EQ(0, qorvex_pubkey_tweak_mul(ctx_.get(), pub.data(), tweak.data(), via_pub.data()));
        }
        ASSERT_EQ(0, qorvex_pubkey_create(ctx_.get(), k.data(), via_key.data()));
        EXPECT_EQ(via_key, via_pub);
    }
}

TEST_F(Pubkey, NullArguments) {
    Bytes a(33), b(33);
    auto k = be32("01");
    qorvex_ctx* c = ctx_.get();
    const int rcs[] = {
        qorvex_pubkey_create(nullptr, k.data(), a.data()),
        qorvex_pubkey_create(c, nullptr, a.data()),
        qorvex_pubkey_create(c, k.data(), nullptr),
        qorvex_pubkey_create_uncompressed(c, k.data(), nullptr),
        qorvex_pubkey_xonly(c, nullptr, a.data()),
        qorvex_pubkey_parse(c, nullptr, 33, a.data()),
        qorvex_pubkey_negate(c, a.data(), nullptr),
        qorvex_pubkey_add(c, a.data(), nullptr, b.data()),
        qorvex_pubkey_combine(c, nullptr, 1, b.data()),
        qorvex_pubkey_tweak_add(c, a.data(), nullptr, b.data()),
        qorvex_pubkey_tweak_mul(nullptr, a.data(), k.data(), b.data()),
    };
    for (int rc : rcs) EXPECT_EQ(QORVEX_ERR_NULL_ARG, rc);
}

TEST(Randomize, BlindingLeavesResultsUnchanged) {
    auto ctx = make_ctx();
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_context_randomize(nullptr, nullptr));
    uint8_t seed[32];
    for (int i = 0; i < 32; ++i) seed[i] = static_cast<uint8_t>(i * 7 + 1);
    auto key = be32("c0ffee");
    Bytes before(33), after(33);
    ASSERT_EQ(0, qorvex_pubkey_create(ctx.get(), key.data(), before.data()));
    ASSERT_EQ(0, qorvex_context_randomize(ctx.get(), seed));
    ASSERT_EQ(0, qorvex_pubkey_create(ctx.get(), key.data(), after.data()));
    EXPECT_EQ(before, after);
    EXPECT_EQ(0, qorvex_context_randomize(ctx.get(), nullptr));
    EXPECT_EQ(0, qorvex_last_error(ctx.get()));
}

TEST(CacheDir, AlwaysSucceeds) {
    EXPECT_EQ(QORVEX_OK, qorvex_set_cache_dir(nullptr));
    auto ctx = make_ctx();
    Bytes out(33);
    auto g = hex("02" + kGx);
    auto t = be32("02");
    ASSERT_EQ(0, qorvex_pubkey_tweak_add(ctx.get(), g.data(), t.data(), out.data()));
    EXPECT_EQ(hex("02" + k3Gx), out);
}

}  // namespace
}  // namespace qorvex::test
