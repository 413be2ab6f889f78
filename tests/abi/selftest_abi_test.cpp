// The self-test on demand: the counts of each depth, the codes for a failed
// test and an unknown mode, optional count pointers, and the vector file it
// reads in ci and stress modes but not in smoke mode.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "abi_helpers.h"

namespace qorvex::test {
namespace {

class SelftestAbi : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();  // the first context's own run, before ours
        ASSERT_TRUE(ctx_);
        ::unsetenv("SECP256K1_SELFTEST_VECTORS");
    }
    void TearDown() override {
        ::unsetenv("SECP256K1_SELFTEST_VECTORS");
        if (!path_.empty()) std::remove(path_.c_str());
    }
    // A vector file with one record whose y is that of -3G.
    void wrong_vector_file() {
        path_ = ::testing::TempDir() + "qorvex-selftest-abi-" + std::to_string(::getpid()) + ".txt";
        std::ofstream(path_) << "# 3G with a wrong y\nSCALARMUL;" << std::string(63, '0') << "3;"
                             << "f9308a019258c31049344f85f89d5229b531c845836f99b08601f113bce036f9;"
                             << "c77084f09cd217ebf01cc819d5c80ca99aff5666cb3ddce4934602897b4715bd;-3G\n";
        ::setenv("SECP256K1_SELFTEST_VECTORS", path_.c_str(), 1);
    }

private:
    CtxPtr ctx_;
    std::string path_;
};

TEST_F(SelftestAbi, CountsPerMode) {
    const struct {
        int mode;
        uint32_t tests;
    } cases[] = {{QORVEX_SELFTEST_SMOKE, 25}, {QORVEX_SELFTEST_CI, 40}, {QORVEX_SELFTEST_STRESS, 44}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        uint32_t run = 0, passed = 0;
        EXPECT_EQ(QORVEX_OK, qorvex_selftest_run(c.mode, 0, 0, &run, &passed));
        EXPECT_EQ(c.tests, run);
        EXPECT_EQ(c.tests, passed);
    }
    // Another seed, and no count pointers.
    EXPECT_EQ(QORVEX_OK, qorvex_selftest_run(QORVEX_SELFTEST_CI, 0, 0xFEEDFACECAFEBEEFULL, nullptr, nullptr));
}

TEST_F(SelftestAbi, FailedTestAndUnknownMode) {
    wrong_vector_file();
    uint32_t run = 0, passed = 0;
    EXPECT_EQ(QORVEX_ERR_SELFTEST, qorvex_selftest_run(QORVEX_SELFTEST_CI, 0, 0, &run, &passed));
    EXPECT_EQ(40u, run);
    EXPECT_EQ(39u, passed);
    EXPECT_EQ(QORVEX_ERR_SELFTEST, qorvex_selftest_run(QORVEX_SELFTEST_STRESS, 0, 0, &run, &passed));
    EXPECT_EQ(44u, run);
    EXPECT_EQ(43u, passed);
    // Smoke mode reads no file.
    EXPECT_EQ(QORVEX_OK, qorvex_selftest_run(QORVEX_SELFTEST_SMOKE, 0, 0, &run, &passed));
    EXPECT_EQ(25u, passed);
    for (int mode : {-1, 3, 100}) {
        SCOPED_TRACE(mode);
        run = passed = 7;
        EXPECT_EQ(QORVEX_ERR_BAD_INPUT, qorvex_selftest_run(mode, 0, 0, &run, &passed));
        EXPECT_EQ(7u, run);
        EXPECT_EQ(7u, passed);
    }
}

}  // namespace
}  // namespace qorvex::test
