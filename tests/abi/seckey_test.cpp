#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"

namespace qorvex::test {
namespace {

TEST(SeckeyVerify, RangeAndContextUntouched) {
    auto ctx = make_ctx();
    uint8_t zero[32] = {0};
    // A failure to set up a known previous state: verify must not change it.
    ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(ctx.get(), zero));
    const struct {
        std::string hex;
        int rc;
    } cases[] = {
        {"00", QORVEX_ERR_BAD_KEY},
        {kOrderHex, QORVEX_ERR_BAD_KEY},
        {std::string(64, 'f'), QORVEX_ERR_BAD_KEY},
        {"01", QORVEX_OK},
        {kOrderMinus1Hex, QORVEX_OK},
    };
    for (const auto& c : cases) {
        auto key = be32(c.hex);
        EXPECT_EQ(c.rc, qorvex_seckey_verify(ctx.get(), key.data())) << c.hex;
        EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(ctx.get()));
    }
    EXPECT_STREQ("privkey is zero or >= n", qorvex_last_error_msg(ctx.get()));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_seckey_verify(nullptr, zero));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_seckey_verify(ctx.get(), nullptr));
}

enum class Op { Negate, TweakAdd, TweakMul };

int call(Op op, qorvex_ctx* ctx, uint8_t* key, const uint8_t* tweak) {
    switch (op) {
        case Op::Negate: return qorvex_seckey_negate(ctx, key);
        case Op::TweakAdd: return qorvex_seckey_tweak_add(ctx, key, tweak);
        case Op::TweakMul: return qorvex_seckey_tweak_mul(ctx, key, tweak);
    }
    return -1;
}

// Every code and message of the three key-changing functions; the key is
// written only on success.
TEST(SeckeyOps, CodesMessagesAndResults) {
    const std::string nm1 = kOrderMinus1Hex;
    struct Case {
        const char* what;
        Op op;
        std::string key, tweak;
        int rc;
        const char* message;  // on failure
        std::string result;   // on success
    };
    const Case cases[] = {
        {"negate 1", Op::Negate, "01", "", QORVEX_OK, nullptr, nm1},
        {"negate n-1", Op::Negate, nm1, "", QORVEX_OK, nullptr, "01"},
        {"negate 0", Op::Negate, "00", "", QORVEX_ERR_BAD_KEY, "privkey is zero or >= n", ""},
        {"negate n", Op::Negate, kOrderHex, "", QORVEX_ERR_BAD_KEY, "privkey is zero or >= n", ""},
        {"add 0", Op::TweakAdd, "05", "00", QORVEX_OK, nullptr, "05"},
        {"add 3", Op::TweakAdd, "05", "03", QORVEX_OK, nullptr, "08"},
        {"add wraps", Op::TweakAdd, nm1, "02", QORVEX_OK, nullptr, "01"},
        {"add to zero", Op::TweakAdd, "05", "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd036413c",
         QORVEX_ERR_ARITH, "tweak_add resulted in zero", ""},
        {"add tweak n", Op::TweakAdd, "05", kOrderHex, QORVEX_ERR_BAD_INPUT, "tweak >= n", ""},
        {"add bad key", Op::TweakAdd, "00", "01", QORVEX_ERR_BAD_KEY, "privkey is zero or >= n", ""},
        {"add bad key and tweak", Op::TweakAdd, kOrderHex, kOrderHex, QORVEX_ERR_BAD_KEY, "privkey is zero or >= n",
         ""},
        {"mul 1", Op::TweakMul, "05", "01", QORVEX_OK, nullptr, "05"},
        {"mul 3", Op::TweakMul, "05", "03", QORVEX_OK, nullptr, "0f"},
        {"mul n-1", Op::TweakMul, "05", nm1, QORVEX_OK, nullptr,
         "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd036413c"},
        {"mul 0", Op::TweakMul, "05", "00", QORVEX_ERR_BAD_INPUT, "tweak is zero or >= n", ""},
        {"mul n", Op::TweakMul, "05", kOrderHex, QORVEX_ERR_BAD_INPUT, "tweak is zero or >= n", ""},
        {"mul bad key", Op::TweakMul, std::string(64, 'f'), "02", QORVEX_ERR_BAD_KEY, "privkey is zero or >= n", ""},
    };
    auto ctx = make_ctx();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto key = be32(c.key);
        const auto before = key;
        auto tweak = be32(c.tweak.empty() ? "00" : c.tweak);
        const int rc = call(c.op, ctx.get(), key.data(), tweak.data());
        EXPECT_EQ(c.rc, rc);
        EXPECT_EQ(c.rc, qorvex_last_error(ctx.get()));
        if (rc == QORVEX_OK) {
            EXPECT_EQ(be32(c.result), key);
            EXPECT_STREQ("OK", qorvex_last_error_msg(ctx.get()));
        } else {
            EXPECT_EQ(before, key);
            EXPECT_STREQ(c.message, qorvex_last_error_msg(ctx.get()));
        }
    }
}

TEST(SeckeyOps, NullArgumentsTouchNothing) {
    auto ctx = make_ctx();
    auto key = be32("07");
    const auto before = key;
    for (Op op : {Op::Negate, Op::TweakAdd, Op::TweakMul}) {
        EXPECT_EQ(QORVEX_ERR_NULL_ARG, call(op, nullptr, key.data(), key.data()));
        EXPECT_EQ(QORVEX_ERR_NULL_ARG, call(op, ctx.get(), nullptr, key.data()));
        if (op != Op::Negate) {
            EXPECT_EQ(QORVEX_ERR_NULL_ARG, call(op, ctx.get(), key.data(), nullptr));
        }
    }
    EXPECT_EQ(before, key);
    EXPECT_EQ(0, qorvex_last_error(ctx.get()));
}

TEST(SeckeyOps, NegateTwiceIsIdentity) {
    auto ctx = make_ctx();
    auto key = be32("c0ffee00112233445566778899aabbccddeeff00112233445566778899aabbcc");
    const auto before = key;
    ASSERT_EQ(QORVEX_OK, qorvex_seckey_negate(ctx.get(), key.data()));
    EXPECT_NE(before, key);
    ASSERT_EQ(QORVEX_OK, qorvex_seckey_negate(ctx.get(), key.data()));
    EXPECT_EQ(before, key);
}

}  // namespace
}  // namespace qorvex::test
