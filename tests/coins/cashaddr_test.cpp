// CashAddr: the published vectors of the CashAddr specification (every
// address translation and larger vector through the encoder, the 20-byte
// key-hash examples also through Bitcoin Cash's row of the coin table, the
// checksum strings through the value encoder), and what the encoder
// refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bitcoin/bech32.h"
#include "coins/cashaddr.h"
#include "coins/coin_address.h"
#include "coins/coin_table.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

class CashAddrVectors : public ::testing::Test {
protected:
    static void SetUpTestSuite() { doc_ = new Json(load_json_vectors("cashaddr/cashaddr_vectors.json")); }
    static void TearDownTestSuite() {
        delete doc_;
        doc_ = nullptr;
    }
    static const Json& doc() { return *doc_; }
    static Json* doc_;
};
Json* CashAddrVectors::doc_ = nullptr;

std::string coin_path_address(uint32_t coin_type, bool testnet, const Bytes& hash20) {
    const CoinParams* coin = find_coin(coin_type);
    EXPECT_NE(nullptr, coin);
    if (!coin) return {};
    char text[kCoinAddressMaxLength];
    size_t len = 0;
    if (!coin_key_hash_address(*coin, testnet, hash20.data(), text, len)) return "(refused)";
    return std::string(text, len);
}

TEST_F(CashAddrVectors, AddressTranslation) {
    for (const Json& v : doc()["address_translation"].array()) {
        SCOPED_TRACE(v["cashaddr"].str());
        const Bytes hash = from_hex(v["payload_hex"].str());
        const unsigned type = static_cast<unsigned>(v["type"].integer());
        EXPECT_EQ(v["cashaddr"].str(), cashaddr_encode(v["prefix"].str(), type, hash));
        if (type != kCashAddrKeyHash) continue;
        // The same key hash through the coin table: Bitcoin Cash's CashAddr,
        // and the legacy text of Bitcoin SV, which kept the 0x00 prefix.
        EXPECT_EQ(v["cashaddr"].str(), coin_path_address(145, false, hash));
        EXPECT_EQ(v["legacy"].str(), coin_path_address(236, false, hash));
    }
}

TEST_F(CashAddrVectors, LargerVectors) {
    size_t through_coin_path = 0;
    for (const Json& v : doc()["larger_vectors"].array()) {
        SCOPED_TRACE(v["cashaddr"].str());
        const Bytes hash = from_hex(v["payload_hex"].str());
        ASSERT_EQ(static_cast<size_t>(v["payload_size_bytes"].integer()), hash.size());
        const unsigned type = static_cast<unsigned>(v["type"].integer());
        const std::string prefix = v["prefix"].str();
        EXPECT_EQ(v["cashaddr"].str(), cashaddr_encode(prefix, type, hash));
        EXPECT_EQ(v["cashaddr"].str().size(), cashaddr_address_length(prefix.size(), hash.size()));
        if (hash.size() == 20 && type == kCashAddrKeyHash && (prefix == "bitcoincash" || prefix == "bchtest")) {
            EXPECT_EQ(v["cashaddr"].str(), coin_path_address(145, prefix == "bchtest", hash));
            ++through_coin_path;
        }
    }
    EXPECT_EQ(1u, through_coin_path);
}

// Strings with a valid checksum over a payload that is no address: the
// value encoder reproduces each from its prefix and data characters.
TEST_F(CashAddrVectors, ChecksumStrings) {
    for (const Json& v : doc()["checksum_vectors"].array()) {
        const std::string s = v.str();
        SCOPED_TRACE(s);
        const size_t colon = s.rfind(':');
        ASSERT_NE(std::string::npos, colon);
        const std::string prefix = s.substr(0, colon);
        const std::string data = s.substr(colon + 1);
        ASSERT_GE(data.size(), kCashAddrChecksumLength);
        Bytes values;
        for (const char c : data.substr(0, data.size() - kCashAddrChecksumLength))
            values.push_back(static_cast<uint8_t>(std::strchr(kBech32Charset, c) - kBech32Charset));
        std::string out(cashaddr_text_length(prefix.size(), values.size()), '\0');
        size_t len = 0;
        ASSERT_TRUE(cashaddr_encode_values(prefix, values, out, len));
        EXPECT_EQ(s, out.substr(0, len));
        // Over the whole string, checksum included, the code gives 1.
        Bytes all = values;
        for (const char c : data.substr(data.size() - kCashAddrChecksumLength))
            all.push_back(static_cast<uint8_t>(std::strchr(kBech32Charset, c) - kBech32Charset));
        Bytes body(all.begin(), all.end() - kCashAddrChecksumLength);
        uint64_t checksum = 0;
        for (size_t i = body.size(); i < all.size(); ++i) checksum = checksum << 5 | all[i];
        EXPECT_EQ(checksum, cashaddr_polymod(prefix, body) ^ 1);
    }
}

TEST(CashAddr, Refusals) {
    const Bytes h20(20, 0x11), h21(21, 0x11);
    char out[128];
    size_t len = 7;
    EXPECT_FALSE(cashaddr_encode("bitcoincash", 0, h21, out, len));  // no size code for 21 bytes
    EXPECT_FALSE(cashaddr_encode("bitcoincash", 16, h20, out, len));  // four bits of type
    EXPECT_FALSE(cashaddr_encode("", 0, h20, out, len));
    EXPECT_FALSE(cashaddr_encode("BitcoinCash", 0, h20, out, len));
    EXPECT_FALSE(cashaddr_encode("bitcoin:cash", 0, h20, out, len));
    EXPECT_FALSE(cashaddr_encode("bitcoin cash", 0, h20, out, len));
    EXPECT_FALSE(cashaddr_encode(std::string(84, 'a'), 0, h20, out, len));
    EXPECT_TRUE(cashaddr_encode(std::string(83, 'a'), 0, h20, out, len));
    // Exactly the room the text needs, and one character less.
    const size_t need = cashaddr_address_length(11, 20);
    EXPECT_EQ(54u, need);
    len = 7;
    EXPECT_FALSE(cashaddr_encode("bitcoincash", 0, h20, std::span<char>(out, need - 1), len));
    EXPECT_EQ(7u, len);
    EXPECT_TRUE(cashaddr_encode("bitcoincash", 0, h20, std::span<char>(out, need), len));
    EXPECT_EQ(need, len);
    const uint8_t bad_value[] = {1, 32};
    EXPECT_FALSE(cashaddr_encode_values("p", bad_value, out, len));
    EXPECT_EQ("", cashaddr_encode("bitcoincash", 0, h21));
}

}  // namespace
}  // namespace qorvex::test
