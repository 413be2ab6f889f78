// Hash160 = RIPEMD-160(SHA-256(x)), whose shortcut puts the SHA-256 digest
// straight into the RIPEMD-160 block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hash/ripemd160.h"
#include "hash/sha256.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

// BIP-173: the P2WPKH example address bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4
// has this witness program, the Hash160 of the compressed generator point.
TEST(Hash160, CompressedGeneratorGivesBip173Program) {
    const auto g = from_hex("0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798");
    uint8_t out[20];
    hash160(g.data(), g.size(), out);
    EXPECT_EQ("751e76e8199196d454941c45d1b3a323f1433bd6", to_hex(out, 20));
}

TEST(Hash160, EqualsRipemd160OfSha256) {
    for (size_t len : {size_t{0}, size_t{1}, size_t{33}, size_t{65}, size_t{200}}) {
        std::vector<uint8_t> msg(len);
        for (size_t i = 0; i < len; ++i) msg[i] = static_cast<uint8_t>(i ^ 0x5c);
        uint8_t inner[32], expected[20], out[20];
        sha256(msg.data(), msg.size(), inner);
        ripemd160(inner, 32, expected);
        hash160(msg.data(), msg.size(), out);
        EXPECT_EQ(to_hex(expected, 20), to_hex(out, 20)) << len;
    }
}

}  // namespace
}  // namespace qorvex::test
