// The five hash exports through the public header: results, the NULL rules
// (which differ between them), and no output written on failure.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "qorvex.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

const uint8_t kAbc[] = {'a', 'b', 'c'};

TEST(HashAbi, KnownResults) {
    uint8_t out[64];
    ASSERT_EQ(QORVEX_OK, qorvex_sha256(kAbc, 3, out));
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", to_hex(out, 32));
    ASSERT_EQ(QORVEX_OK, qorvex_sha512(kAbc, 3, out));
    EXPECT_EQ(
        "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
        "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f",
        to_hex(out, 64));
    const auto g = from_hex("0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798");
    ASSERT_EQ(QORVEX_OK, qorvex_hash160(g.data(), g.size(), out));
    EXPECT_EQ("751e76e8199196d454941c45d1b3a323f1433bd6", to_hex(out, 20));
    ASSERT_EQ(QORVEX_OK, qorvex_keccak256(kAbc, 3, out));
    EXPECT_EQ("4e03657aea45a94fc7d47ba826c8d667c0d1e6e33a64a036ec44f58fa12d6c45", to_hex(out, 32));
}

// Length 0 with a valid pointer is the digest of the empty string.
TEST(HashAbi, EmptyInputs) {
    const uint8_t any = 0x99;
    uint8_t out[64];
    ASSERT_EQ(QORVEX_OK, qorvex_sha256(&any, 0, out));
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", to_hex(out, 32));
    ASSERT_EQ(QORVEX_OK, qorvex_sha512(&any, 0, out));
    EXPECT_EQ(
        "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
        "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e",
        to_hex(out, 64));
    // Keccak-256 alone also takes NULL for an empty input; this is the
    // Keccak value, not SHA3-256's a7ffc6f8...
    for (const uint8_t* data : {&any, static_cast<const uint8_t*>(nullptr)}) {
        ASSERT_EQ(QORVEX_OK, qorvex_keccak256(data, 0, out));
        EXPECT_EQ("c5d2460186f7233c927e7db2dcc703c0e500b653ca82273b7bfad8045d85a470", to_hex(out, 32));
    }
}

// SHA-256(SHA-256(tag) || SHA-256(tag) || data), built from qorvex_sha256.
std::string tagged_by_definition(const std::string& tag, const uint8_t* data, size_t len) {
    uint8_t t[32];
    EXPECT_EQ(QORVEX_OK, qorvex_sha256(reinterpret_cast<const uint8_t*>(tag.data()), tag.size(), t));
    std::vector<uint8_t> all(t, t + 32);
    all.insert(all.end(), t, t + 32);
    all.insert(all.end(), data, data + len);
    uint8_t out[32];
    EXPECT_EQ(QORVEX_OK, qorvex_sha256(all.data(), all.size(), out));
    return to_hex(out, 32);
}

// The empty tag, a tag the library also uses internally, and one it does not.
TEST(HashAbi, TaggedHashMatchesDefinition) {
    for (const std::string tag : {"", "BIP0340/challenge", "my/own tag"}) {
        for (size_t len : {size_t{0}, size_t{3}}) {
            uint8_t out[32];
            ASSERT_EQ(QORVEX_OK, qorvex_tagged_hash(tag.c_str(), kAbc, len, out));
            EXPECT_EQ(tagged_by_definition(tag, kAbc, len), to_hex(out, 32)) << "'" << tag << "', " << len;
        }
    }
}

// Every NULL combination that must fail, and the one (Keccak-256 with an
// empty NULL input) that must not. On failure the output keeps its bytes.
TEST(HashAbi, NullRules) {
    const uint8_t* const data = kAbc;
    const uint8_t* const none = nullptr;
    struct Case {
        const char* what;
        int (*call)(const uint8_t* data, size_t len, uint8_t* out);
        const uint8_t* data;
        size_t len;
        bool out_null;
        int rc;
    };
    // The tagged hash takes a tag first; these wrappers give it a valid one
    // so that the table can drive all five alike. Tag NULL is tested below.
    auto tagged = [](const uint8_t* d, size_t n, uint8_t* o) { return qorvex_tagged_hash("T", d, n, o); };
    const Case cases[] = {
        {"sha256 data NULL, len 0", qorvex_sha256, none, 0, false, QORVEX_ERR_NULL_ARG},
        {"sha256 data NULL, len 3", qorvex_sha256, none, 3, false, QORVEX_ERR_NULL_ARG},
        {"sha256 out NULL", qorvex_sha256, data, 3, true, QORVEX_ERR_NULL_ARG},
        {"tagged data NULL, len 0", tagged, none, 0, false, QORVEX_ERR_NULL_ARG},
        {"tagged out NULL", tagged, data, 3, true, QORVEX_ERR_NULL_ARG},
        {"sha512 data NULL, len 0", qorvex_sha512, none, 0, false, QORVEX_ERR_NULL_ARG},
        {"sha512 out NULL", qorvex_sha512, data, 3, true, QORVEX_ERR_NULL_ARG},
        {"hash160 data NULL, len 0", qorvex_hash160, none, 0, false, QORVEX_ERR_NULL_ARG},
        {"hash160 data NULL, len 3", qorvex_hash160, none, 3, false, QORVEX_ERR_NULL_ARG},
        {"hash160 out NULL", qorvex_hash160, data, 3, true, QORVEX_ERR_NULL_ARG},
        {"keccak data NULL, len 1", qorvex_keccak256, none, 1, false, QORVEX_ERR_NULL_ARG},
        {"keccak out NULL", qorvex_keccak256, data, 3, true, QORVEX_ERR_NULL_ARG},
        {"keccak out NULL, data NULL, len 0", qorvex_keccak256, none, 0, true, QORVEX_ERR_NULL_ARG},
        {"keccak data NULL, len 0", qorvex_keccak256, none, 0, false, QORVEX_OK},
    };
    for (const auto& c : cases) {
        uint8_t out[64];
        std::memset(out, 0xcc, sizeof(out));
        EXPECT_EQ(c.rc, c.call(c.data, c.len, c.out_null ? nullptr : out)) << c.what;
        if (c.rc != QORVEX_OK) {
            EXPECT_EQ(std::string(128, 'c'), to_hex(out, 64)) << c.what << " wrote output";
        }
    }

    uint8_t out[32];
    std::memset(out, 0xcc, sizeof(out));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_tagged_hash(nullptr, kAbc, 3, out));
    EXPECT_EQ(std::string(64, 'c'), to_hex(out, 32));
}

}  // namespace
}  // namespace qorvex::test
