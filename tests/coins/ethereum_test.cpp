// Ethereum internals: EIP-55 text, addresses of known keys, the EIP-191
// personal hash, the v <-> recovery id mapping, and sign/recover.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "arith/arith_helpers.h"
#include "arith/gen_mul.h"
#include "coins/ethereum.h"
#include "hash/keccak.h"
#include "sig/ecdsa.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

constexpr uint64_t kMax64 = std::numeric_limits<uint64_t>::max();

Scalar scalar_hex(const std::string& h) {
    const auto b = from_hex(std::string(64 - h.size(), '0') + h);
    return Scalar::from_bytes_reduce(b.data());
}

std::string address_of_key(const std::string& key_hex) {
    Point p = gen_mul_ct(scalar_hex(key_hex));
    p.to_affine_assign();
    uint8_t addr[20];
    eth_address_of_point(p, addr);
    return to_hex(addr, 20);
}

std::string eip55_of_hex(const std::string& hex40) {
    const auto addr = from_hex(lower(hex40));
    char text[43];
    std::memset(text, 0x7F, sizeof text);
    eip55_text(addr.data(), text);
    EXPECT_EQ('\0', text[42]);
    return std::string(text);
}

TEST(Eip55, PublishedExamplesKeepTheirExactCase) {
    const Json v = load_json_vectors("eip55/eip55_vectors.json");
    size_t count = 0;
    for (const Json& group : v["groups"].array()) {
        for (const Json& a : group["addresses"].array()) {
            const std::string expected = a.str();
            SCOPED_TRACE(group["group"].str() + ": " + expected);
            ASSERT_EQ(42u, expected.size());
            // The input bytes carry no case; the text must recreate it.
            EXPECT_EQ(expected, eip55_of_hex(expected.substr(2)));
            ++count;
        }
    }
    EXPECT_EQ(8u, count);
}

TEST(Eip55, DigitsOnlyAndAllLetterAddresses) {
    // Digits have no case to carry; every letter position of an all-letter
    // address carries one checksum bit, so the text differs from lower case.
    EXPECT_EQ("0x" + std::string(40, '0'), eip55_of_hex(std::string(40, '0')));
    EXPECT_EQ("0x1234567890123456789012345678901234567890", eip55_of_hex("1234567890123456789012345678901234567890"));
    const std::string letters = eip55_of_hex(std::string(40, 'a'));
    EXPECT_EQ(lower(letters), "0x" + std::string(40, 'a'));
    EXPECT_NE(letters, "0x" + std::string(40, 'a'));
}

TEST(EthAddress, KnownKeys) {
    struct Case {
        const char* key;
        const char* address;
    };
    const Case cases[] = {
        {"01", "7e5f4552091a69125d5dfcb7b8c2659029395bdf"},
        {"02", "2b5ad5c4795c026514f8317c7a215e218dccd6cf"},
        {"03", "6813eb9362372eef6200f3b1dbc3f819671cba69"},
        {"4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318",
         "2c7536e3605d9c16a7a3d7b1898e529396a65c23"},
        // The first development account of the common Ethereum test chains.
        {"ac0974bec39a17e36ba4a6b4d238ff944bacb478cbed5efcae784d7bf4f2ff80",
         "f39fd6e51aad88f6f4ce6ab8827279cfffb92266"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(c.address, address_of_key(c.key));
    }
    EXPECT_EQ("0xf39Fd6e51aad88F6F4ce6aB8827279cffFb92266", eip55_of_hex("f39fd6e51aad88f6f4ce6ab8827279cfffb92266"));
}

TEST(EthAddress, JacobianAndAffineFormsAgree) {
    // The address must not depend on the Z a point happens to carry.
    const Point jac = gen_mul_ct(scalar_hex("1234567890abcdef"));
    Point aff = jac;
    aff.to_affine_assign();
    uint8_t a[20], b[20];
    eth_address_of_point(jac, a);
    eth_address_of_point(aff, b);
    EXPECT_EQ(to_hex(b, 20), to_hex(a, 20));
}

std::vector<uint8_t> personal_by_hand(const std::string& digits, const std::vector<uint8_t>& msg) {
    std::vector<uint8_t> all = {0x19};
    const std::string text = "Ethereum Signed Message:\n" + digits;
    all.insert(all.end(), text.begin(), text.end());
    all.insert(all.end(), msg.begin(), msg.end());
    std::vector<uint8_t> out(32);
    keccak256(all.data(), all.size(), out.data());
    return out;
}

TEST(EthPersonalHash, PrefixAndDecimalLength) {
    struct Case {
        size_t len;
        const char* digits;
    };
    const Case cases[] = {{0, "0"}, {1, "1"}, {9, "9"}, {10, "10"}, {135, "135"}, {1000, "1000"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.digits);
        std::vector<uint8_t> msg(c.len);
        for (size_t i = 0; i < c.len; ++i) msg[i] = static_cast<uint8_t>(i * 7 + 1);
        std::vector<uint8_t> out(32);
        // An empty message is never read, so NULL is fine.
        eth_personal_hash(c.len ? msg.data() : nullptr, c.len, out.data());
        EXPECT_EQ(personal_by_hand(c.digits, msg), out);
    }
}

TEST(EthPersonalHash, KnownMessage) {
    const std::string m = "Hello World";
    uint8_t out[32];
    eth_personal_hash(reinterpret_cast<const uint8_t*>(m.data()), m.size(), out);
    EXPECT_EQ("a1de988600a42c4b4ab089b619297c17d53cffae5d5120d82d8a92d0bb3b78f2", to_hex(out, 32));
}

TEST(EthV, FromRecoveryId) {
    struct Case {
        int recid;
        uint64_t chain_id;
        uint64_t v;
    };
    const Case cases[] = {
        {0, 0, 27},
        {1, 0, 28},
        {0, 1, 37},
        {1, 1, 38},
        {1, 56, 148},
        {0, uint64_t{1} << 40, (uint64_t{1} << 41) + 35},
        // 64-bit arithmetic: 2 * (2^63 - 18) + 35 = 2^64 - 1, and one more
        // wraps to 0, which the signer must refuse.
        {0, (uint64_t{1} << 63) - 18, kMax64},
        {1, (uint64_t{1} << 63) - 18, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "recid " << c.recid << " chain " << c.chain_id);
        EXPECT_EQ(c.v, eth_v_from_recid(c.recid, c.chain_id));
    }
}

TEST(EthV, ToRecoveryId) {
    struct Case {
        uint64_t v;
        int recid;  // -1: refused
    };
    const Case cases[] = {{0, -1},  {1, -1},  {26, -1}, {27, 0},  {28, 1},     {29, 0},
                          {30, 1},  {35, 0},  {36, 1},  {37, 0},  {38, 1},     {(uint64_t{1} << 41) + 36, 1},
                          {kMax64, 0}, {kMax64 - 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "v " << c.v);
        int recid = 7;
        EXPECT_EQ(c.recid >= 0, eth_recid_from_v(c.v, recid));
        EXPECT_EQ(c.recid >= 0 ? c.recid : 7, recid);
    }
}

TEST(EthSign, MatchesRecoverableEcdsaAndRecovers) {
    const Scalar d = scalar_hex("4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318");
    const std::string addr = address_of_key("4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318");
    bool seen[2] = {false, false};
    for (uint8_t i = 0; i < 16 && !(seen[0] && seen[1]); ++i) {
        uint8_t hash[32];
        keccak256(&i, 1, hash);
        int recid = -1;
        const ecdsa::Signature plain = ecdsa::sign_recoverable(hash, d, recid);
        ASSERT_TRUE(recid == 0 || recid == 1);
        seen[recid] = true;
        for (uint64_t chain : {uint64_t{0}, uint64_t{1}, uint64_t{1} << 40}) {
            SCOPED_TRACE(::testing::Message() << "hash " << int{i} << " chain " << chain);
            const EthSignature es = eth_sign(hash, d, chain);
            ASSERT_TRUE(es.is_valid());
            EXPECT_TRUE(es.sig.r == plain.r && es.sig.s == plain.s);
            EXPECT_EQ(eth_v_from_recid(recid, chain), es.v);
            uint8_t r[32], s[32], out[20];
            es.sig.r.to_bytes(r);
            es.sig.s.to_bytes(s);
            ASSERT_TRUE(eth_ecrecover(hash, r, s, es.v, out));
            EXPECT_EQ(addr, to_hex(out, 20));
        }
    }
    EXPECT_TRUE(seen[0] && seen[1]);
}

TEST(EthSign, ZeroKeyGivesAllZeroResult) {
    const uint8_t hash[32] = {1};
    const EthSignature es = eth_sign(hash, Scalar::zero(), 1);
    EXPECT_FALSE(es.is_valid());
    EXPECT_TRUE(es.sig.r.is_zero() && es.sig.s.is_zero());
    EXPECT_EQ(0u, es.v);
}

}  // namespace
}  // namespace qorvex::test
