#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "abi_helpers.h"

namespace qorvex::test {
namespace {

TEST(ErrorText, EveryCodeHasItsText) {
    const char* const expected[] = {
        "OK",
        "NULL argument",
        "invalid private key",
        "invalid public key",
        "invalid signature",
        "malformed input",
        "verification failed",
        "arithmetic error",
        "self-test failed",
        "internal error",
        "buffer too small",
        "item not found",
        "deprecated ABI; call the _v2 variant",
    };
    for (int code = 0; code <= 12; ++code) EXPECT_STREQ(expected[code], qorvex_error_str(code)) << code;
    for (int code : {13, -1, 1000, INT32_MIN}) EXPECT_STREQ("unknown error", qorvex_error_str(code));
}

TEST(Versions, AreFixed) {
    EXPECT_EQ(4, qorvex_abi_version());
    EXPECT_EQ(0x040400u, qorvex_version());
    EXPECT_STREQ("4.4.0", qorvex_version_string());
    EXPECT_EQ(136u, qorvex_ctx_size());
}

TEST(Context, CreateCloneDestroy) {
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_ctx_create(nullptr));
    qorvex_ctx* a = reinterpret_cast<qorvex_ctx*>(0x1);
    ASSERT_EQ(QORVEX_OK, qorvex_ctx_create(&a));
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(0, qorvex_last_error(a));
    EXPECT_STREQ("OK", qorvex_last_error_msg(a));

    // A clone starts without the source's error.
    uint8_t zero[32] = {0};
    ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(a, zero));
    qorvex_ctx* b = nullptr;
    ASSERT_EQ(QORVEX_OK, qorvex_ctx_clone(a, &b));
    EXPECT_EQ(0, qorvex_last_error(b));
    EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(a));

    qorvex_ctx* c = reinterpret_cast<qorvex_ctx*>(0x1);
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_ctx_clone(nullptr, &c));
    EXPECT_EQ(reinterpret_cast<qorvex_ctx*>(0x1), c);  // NULL source: out untouched
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_ctx_clone(a, nullptr));

    qorvex_ctx_destroy(b);
    qorvex_ctx_destroy(a);
    qorvex_ctx_destroy(nullptr);
}

TEST(Context, NullContextQueries) {
    EXPECT_EQ(1, qorvex_last_error(nullptr));
    EXPECT_STREQ("NULL context", qorvex_last_error_msg(nullptr));
}

TEST(ErrorRecording, SuccessClearsTheCodeButNotTheThreadMessage) {
    auto ctx = make_ctx();
    uint8_t zero[32] = {0};
    auto key = be32("01");
    ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(ctx.get(), zero));
    EXPECT_STREQ("privkey is zero or >= n", qorvex_last_error_msg(ctx.get()));
    ASSERT_EQ(QORVEX_OK, qorvex_seckey_negate(ctx.get(), key.data()));
    EXPECT_EQ(0, qorvex_last_error(ctx.get()));
    EXPECT_STREQ("OK", qorvex_last_error_msg(ctx.get()));
}

TEST(ErrorRecording, NullArgumentLeavesThePreviousError) {
    auto ctx = make_ctx();
    uint8_t zero[32] = {0};
    ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(ctx.get(), zero));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_seckey_negate(ctx.get(), nullptr));
    EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(ctx.get()));
    EXPECT_STREQ("privkey is zero or >= n", qorvex_last_error_msg(ctx.get()));
}

TEST(ErrorRecording, MessagesAreSharedAcrossContextsOfOneThread) {
    auto first = make_ctx(), second = make_ctx();
    uint8_t zero[32] = {0};
    auto key = be32("05");
    ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(first.get(), zero));
    ASSERT_EQ(QORVEX_ERR_BAD_INPUT, qorvex_seckey_tweak_mul(second.get(), key.data(), zero));
    EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(first.get()));
    EXPECT_STREQ("tweak is zero or >= n", qorvex_last_error_msg(first.get()));
}

TEST(ErrorRecording, MessagesArePerThread) {
    auto ctx = make_ctx();
    uint8_t zero[32] = {0};
    ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(ctx.get(), zero));
    std::string seen;
    std::thread([&] { seen = qorvex_last_error_msg(ctx.get()); }).join();
    // The other thread recorded nothing, so it sees the code's own text.
    EXPECT_EQ("invalid private key", seen);
}

TEST(Context, ConcurrentFirstUseFromManyThreads) {
    std::vector<std::thread> threads;
    std::vector<int> rc(8, -1);
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&rc, i] {
            qorvex_ctx* c = nullptr;
            rc[i] = qorvex_ctx_create(&c);
            qorvex_ctx_destroy(c);
        });
    }
    for (auto& t : threads) t.join();
    for (int r : rc) EXPECT_EQ(QORVEX_OK, r);
}

TEST(Context, SharedBetweenThreads) {
    auto ctx = make_ctx();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&ctx, t] {
            auto key = be32(t % 2 ? "00" : "07");
            for (int i = 0; i < 2000; ++i) {
                const int rc = qorvex_seckey_negate(ctx.get(), key.data());
                if (rc == QORVEX_OK) qorvex_seckey_negate(ctx.get(), key.data());
            }
        });
    }
    for (auto& t : threads) t.join();
    const int last = qorvex_last_error(ctx.get());
    EXPECT_TRUE(last == QORVEX_OK || last == QORVEX_ERR_BAD_KEY);
}

}  // namespace
}  // namespace qorvex::test
