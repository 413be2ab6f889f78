// The size macros of the header are the sizes the functions write: buffers
// sized with them are exactly large enough.
#include <gtest/gtest.h>

#include <cstring>

#include "abi_helpers.h"

namespace qorvex::test {
namespace {

static_assert(QORVEX_MAX_MESSAGE_LEN == QORVEX_ERROR_MSG_MAX_LEN, "the old name stays an alias");
static_assert(QORVEX_ECDSA_RECOVERABLE_SIG_SIZE == QORVEX_ECDSA_SIG_SIZE + 1, "r || s || recid");
static_assert(QORVEX_ETH_ADDRESS_TEXT_SIZE == 2 + 2 * QORVEX_ETH_ADDRESS_SIZE + 1, "0x, hex, NUL");

class Sizes : public ::testing::Test {
protected:
    CtxPtr ctx = make_ctx();
};

TEST_F(Sizes, LongestDerFillsTheMaximum) {
    ASSERT_TRUE(ctx);
    // r and s with their top bit set each need a zero byte in DER: the
    // longest encoding there is.
    uint8_t sig[QORVEX_ECDSA_SIG_SIZE];
    std::memset(sig, 0x80, sizeof sig);
    uint8_t der[QORVEX_ECDSA_DER_MAX_SIZE];
    size_t len = sizeof der - 1;
    EXPECT_EQ(qorvex_ecdsa_sig_to_der(ctx.get(), sig, der, &len), QORVEX_ERR_BUF_TOO_SMALL);
    len = sizeof der;
    ASSERT_EQ(qorvex_ecdsa_sig_to_der(ctx.get(), sig, der, &len), QORVEX_OK);
    EXPECT_EQ(len, size_t{QORVEX_ECDSA_DER_MAX_SIZE});
}

TEST_F(Sizes, EthereumAddressText) {
    ASSERT_TRUE(ctx);
    uint8_t key[QORVEX_SECKEY_SIZE] = {0}, pub[QORVEX_PUBKEY_COMPRESSED_SIZE], addr[QORVEX_ETH_ADDRESS_SIZE];
    key[31] = 1;
    ASSERT_EQ(qorvex_pubkey_create(ctx.get(), key, pub), QORVEX_OK);
    ASSERT_EQ(qorvex_eth_address(ctx.get(), pub, addr), QORVEX_OK);
    char text[QORVEX_ETH_ADDRESS_TEXT_SIZE];
    size_t len = sizeof text - 1;
    EXPECT_EQ(qorvex_eth_address_checksummed(ctx.get(), pub, text, &len), QORVEX_ERR_BUF_TOO_SMALL);
    len = sizeof text;
    ASSERT_EQ(qorvex_eth_address_checksummed(ctx.get(), pub, text, &len), QORVEX_OK);
    EXPECT_EQ(len, size_t{QORVEX_ETH_ADDRESS_TEXT_SIZE - 1});
    EXPECT_EQ(std::strlen(text), len);
}

TEST_F(Sizes, ErrorTextsFitTheirLimit) {
    ASSERT_TRUE(ctx);
    uint8_t zero[QORVEX_SECKEY_SIZE] = {0}, pub[QORVEX_PUBKEY_COMPRESSED_SIZE];
    ASSERT_NE(qorvex_pubkey_create(ctx.get(), zero, pub), QORVEX_OK);
    const char* msg = qorvex_last_error_msg(ctx.get());
    ASSERT_NE(msg, nullptr);
    EXPECT_GT(std::strlen(msg), 0u);
    EXPECT_LE(std::strlen(msg), size_t{QORVEX_ERROR_MSG_MAX_LEN});
    for (int code = 0; code <= QORVEX_ERR_DEPRECATED; ++code) {
        EXPECT_LE(std::strlen(qorvex_error_str(code)), size_t{QORVEX_ERROR_MSG_MAX_LEN}) << code;
    }
}

}  // namespace
}  // namespace qorvex::test
