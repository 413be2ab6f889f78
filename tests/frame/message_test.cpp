// The frame's recording rules, exercised directly (no exported function
// records a long message yet).
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "abi/frame.h"

namespace qorvex::test {
namespace {

using abi::ErrorCode;

struct Ctx {
    Ctx() { EXPECT_EQ(QORVEX_OK, qorvex_ctx_create(&c)); }
    ~Ctx() { qorvex_ctx_destroy(c); }
    qorvex_ctx* c = nullptr;
};

TEST(SetError, CutsMessagesAt127Characters) {
    Ctx ctx;
    std::string long_text;
    for (int i = 0; i < 246; ++i) long_text += static_cast<char>('a' + i % 26);
    EXPECT_EQ(QORVEX_ERR_DEPRECATED, abi::set_error(ctx.c, ErrorCode::Deprecated, long_text.c_str()));
    EXPECT_EQ(QORVEX_ERR_DEPRECATED, qorvex_last_error(ctx.c));
    EXPECT_EQ(long_text.substr(0, 127), qorvex_last_error_msg(ctx.c));
    abi::set_error(ctx.c, ErrorCode::BadInput, "short");
    EXPECT_STREQ("short", qorvex_last_error_msg(ctx.c));
    abi::set_error(ctx.c, ErrorCode::NotFound);
    EXPECT_STREQ("item not found", qorvex_last_error_msg(ctx.c));
}

TEST(Guarded, ExceptionsBecomeCodeNine) {
    Ctx ctx;
    EXPECT_EQ(QORVEX_ERR_INTERNAL, abi::guarded(ctx.c, []() -> int { throw std::bad_alloc(); }));
    EXPECT_STREQ("allocation failed", qorvex_last_error_msg(ctx.c));
    EXPECT_EQ(QORVEX_ERR_INTERNAL, abi::guarded(ctx.c, []() -> int { throw std::runtime_error("x"); }));
    EXPECT_STREQ("internal error", qorvex_last_error_msg(ctx.c));
    EXPECT_EQ(QORVEX_ERR_INTERNAL, abi::guarded(ctx.c, []() -> int { throw 42; }));
    EXPECT_EQ(QORVEX_OK, abi::guarded(ctx.c, [] { return QORVEX_OK; }));
}

TEST(WriteOut, TooSmallTouchesNothing) {
    Ctx ctx;
    const uint8_t src[4] = {1, 2, 3, 4};
    uint8_t buf[4] = {9, 9, 9, 9};
    size_t len = 3;
    EXPECT_EQ(QORVEX_ERR_BUF_TOO_SMALL, abi::write_out(ctx.c, buf, &len, src, 4));
    EXPECT_EQ(3u, len);
    EXPECT_EQ(9, buf[0]);
    EXPECT_STREQ("buffer too small", qorvex_last_error_msg(ctx.c));
    len = 4;
    EXPECT_EQ(QORVEX_OK, abi::write_out(ctx.c, buf, &len, src, 4));
    EXPECT_EQ(4u, len);
    EXPECT_EQ(0, std::memcmp(buf, src, 4));

    char text[5];
    len = 5;
    EXPECT_EQ(QORVEX_ERR_BUF_TOO_SMALL, abi::write_text_out(ctx.c, text, &len, "hello", 5));
    EXPECT_EQ(5u, len);
    len = 6;
    char text6[6];
    EXPECT_EQ(QORVEX_OK, abi::write_text_out(ctx.c, text6, &len, "hello", 5));
    EXPECT_EQ(5u, len);
    EXPECT_STREQ("hello", text6);
}

}  // namespace
}  // namespace qorvex::test
