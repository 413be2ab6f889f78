// The two SHA-256 compression back ends against each other, and the choice
// between them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "hash/sha256.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using namespace sha256_detail;

TEST(Sha256Backend, HardwareMatchesPortableOnRandomStatesAndBlocks) {
#if QORVEX_HAVE_SHANI_BACKEND
    if (!shani_available()) GTEST_SKIP() << "this processor lacks the SHA extensions";
    std::mt19937 rng(1);
    // Multi-block calls too: the hardware back end carries its state in
    // registers from one block to the next.
    for (size_t nblocks = 1; nblocks <= 5; ++nblocks) {
        for (int trial = 0; trial < 200; ++trial) {
            uint32_t state_a[8], state_b[8];
            for (auto& w : state_a) w = static_cast<uint32_t>(rng());
            std::memcpy(state_b, state_a, sizeof(state_a));
            std::vector<uint8_t> blocks(64 * nblocks);
            for (auto& b : blocks) b = static_cast<uint8_t>(rng());
            compress_portable(state_a, blocks.data(), nblocks);
            compress_shani(state_b, blocks.data(), nblocks);
            ASSERT_EQ(0, std::memcmp(state_a, state_b, sizeof(state_a))) << nblocks << " blocks, trial " << trial;
        }
    }
#else
    GTEST_SKIP() << "the hardware back end is not compiled for this target";
#endif
}

// The all-zero and all-ones extremes of state and block, where carries and
// rotations of the round functions are most often mishandled.
TEST(Sha256Backend, HardwareMatchesPortableOnExtremes) {
#if QORVEX_HAVE_SHANI_BACKEND
    if (!shani_available()) GTEST_SKIP() << "this processor lacks the SHA extensions";
    for (uint32_t state_word : {0u, 0xffffffffu}) {
        for (uint8_t block_byte : {uint8_t{0}, uint8_t{0xff}}) {
            uint32_t a[8], b[8];
            for (int i = 0; i < 8; ++i) a[i] = b[i] = state_word;
            uint8_t block[64];
            std::memset(block, block_byte, sizeof(block));
            compress_portable(a, block, 1);
            compress_shani(b, block, 1);
            EXPECT_EQ(0, std::memcmp(a, b, sizeof(a))) << state_word << " " << int{block_byte};
        }
    }
#else
    GTEST_SKIP() << "the hardware back end is not compiled for this target";
#endif
}

TEST(Sha256Backend, DispatchMatchesPortableAndNameMatchesChoice) {
    uint32_t a[8], b[8];
    std::memcpy(a, kSha256Init, sizeof(a));
    std::memcpy(b, kSha256Init, sizeof(b));
    uint8_t block[64];
    for (int i = 0; i < 64; ++i) block[i] = static_cast<uint8_t>(3 * i);
    sha256_compress(a, block);
    compress_portable(b, block, 1);
    EXPECT_EQ(0, std::memcmp(a, b, sizeof(a)));

    const std::string name = sha256_backend_name();
#if defined(QORVEX_SHA256_BACKEND_SHANI)
    EXPECT_EQ("shani", name);
#elif defined(QORVEX_SHA256_BACKEND_PORTABLE)
    EXPECT_EQ("portable", name);
#else
    EXPECT_EQ(sha_ni_available, shani_available());
    EXPECT_EQ(shani_available() ? "shani" : "portable", name);
#endif
}

// An empty update reads nothing, so a NULL pointer is fine, and it changes
// nothing: the digest stays that of the empty string.
TEST(Sha256Backend, EmptyUpdatesAreNoOps) {
    Sha256Context ctx;
    sha256_init(ctx);
    sha256_update(ctx, nullptr, 0);
    sha256_update(ctx, nullptr, 0);
    EXPECT_EQ(0u, ctx.buffered);
    EXPECT_EQ(0u, ctx.total);
    uint8_t out[32];
    sha256_final(ctx, out);
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", to_hex(out, 32));
}

}  // namespace
}  // namespace qorvex::test
