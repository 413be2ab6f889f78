// The coin table: its rows and the lookup rule, the purposes the flags
// choose, and the two-byte prefixes of Zcash, Flux and Horizen (22-byte
// payloads that their wallets read as "t1" and "zn" addresses).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "coins/coin_address.h"
#include "coins/coin_table.h"
#include "support/ref_encoders.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(CoinTable, LookupTakesTheFirstRowOfACoinType) {
    const auto table = coin_table();
    ASSERT_EQ(kCoinCount, table.size());
    std::set<uint32_t> types;
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].name);
        const CoinParams* found = find_coin(table[i].coin_type);
        ASSERT_NE(nullptr, found);
        // Rows 15 to 20 (the other EVM chains) share Ethereum's type 60 and
        // are never the row found.
        if (i >= 15 && i <= 20) {
            EXPECT_EQ(60u, table[i].coin_type);
            EXPECT_STREQ("Ethereum", found->name);
        } else {
            EXPECT_EQ(&table[i], found);
            EXPECT_TRUE(types.insert(table[i].coin_type).second);
        }
    }
    EXPECT_EQ(22u, types.size());
    for (const uint32_t unknown : {1u, 4u, 61u, 0x80000000u, 0xFFFFFFFFu}) EXPECT_EQ(nullptr, find_coin(unknown));
    EXPECT_EQ(43114u, table[17].chain_id);
    EXPECT_EQ(0x02FAC398u, find_coin(3)->bip32_version[0]);
}

TEST(CoinTable, PurposeFollowsTheFlags) {
    struct Case {
        uint32_t coin_type, purpose;
        AddressStyle style;
    };
    const Case cases[] = {
        {0, 86, AddressStyle::segwit_v0},  {2, 86, AddressStyle::segwit_v0},   {17, 86, AddressStyle::segwit_v0},
        {20, 84, AddressStyle::segwit_v0}, {28, 84, AddressStyle::segwit_v0},  {14, 84, AddressStyle::segwit_v0},
        {57, 84, AddressStyle::segwit_v0}, {2301, 84, AddressStyle::key_hash}, {156, 84, AddressStyle::key_hash},
        {3, 44, AddressStyle::key_hash},   {60, 44, AddressStyle::ethereum},   {145, 44, AddressStyle::cashaddr},
        {195, 44, AddressStyle::tron},     {133, 44, AddressStyle::key_hash},  {19167, 44, AddressStyle::key_hash},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.coin_type);
        const CoinParams* coin = find_coin(c.coin_type);
        ASSERT_NE(nullptr, coin);
        EXPECT_EQ(c.purpose, coin_purpose(*coin));
        EXPECT_EQ(c.style, coin->style);
    }
}

TEST(CoinTable, TwoBytePrefixes) {
    struct Case {
        uint32_t coin_type;
        uint8_t main[2], test[2];
        const char* main_start;
    };
    const Case cases[] = {
        {133, {0x1C, 0xB8}, {0x1D, 0x25}, "t1"},
        {19167, {0x1C, 0xB8}, {0x1D, 0x25}, "t1"},
        {121, {0x20, 0x89}, {0x20, 0x98}, "zn"},
    };
    const Bytes hashes[] = {Bytes(20, 0x00), Bytes(20, 0xFF), from_hex("751e76e8199196d454941c45d1b3a323f1433bd6")};
    for (const Case& c : cases) {
        const CoinParams* coin = find_coin(c.coin_type);
        ASSERT_NE(nullptr, coin);
        SCOPED_TRACE(coin->name);
        for (const Bytes& h : hashes) {
            for (const bool testnet : {false, true}) {
                char text[kCoinAddressMaxLength];
                size_t len = 0;
                ASSERT_TRUE(coin_key_hash_address(*coin, testnet, h.data(), text, len));
                const std::string addr(text, len);
                const uint8_t* want = testnet ? c.test : c.main;
                Bytes payload(22);
                payload[0] = want[0];
                payload[1] = want[1];
                std::copy(h.begin(), h.end(), payload.begin() + 2);
                EXPECT_EQ(ref::base58check(payload), addr);
                const auto back = ref::unbase58check(addr);
                ASSERT_TRUE(back.has_value());
                EXPECT_EQ(22u, back->size());
                if (!testnet) {
                    EXPECT_EQ(c.main_start, addr.substr(0, 2)) << addr;
                }
            }
        }
        EXPECT_EQ(2, coin->p2sh.size);
    }
    // One-byte prefixes stay one byte: a 21-byte payload.
    char text[kCoinAddressMaxLength];
    size_t len = 0;
    ASSERT_TRUE(coin_key_hash_address(*find_coin(3), false, hashes[2].data(), text, len));
    EXPECT_EQ('D', text[0]);
    EXPECT_EQ(21u, ref::unbase58check(std::string(text, len))->size());
}

// The styles built on the key itself have no key-hash address.
TEST(CoinTable, KeyHashAddressNeedsAKeyHashStyle) {
    const Bytes h(20, 7);
    char text[kCoinAddressMaxLength];
    size_t len = 5;
    EXPECT_FALSE(coin_key_hash_address(*find_coin(60), false, h.data(), text, len));
    EXPECT_FALSE(coin_key_hash_address(*find_coin(195), true, h.data(), text, len));
    EXPECT_EQ(5u, len);
    // A segwit-style coin without its flag or hrp has no address.
    CoinParams odd = *find_coin(0);
    odd.hrp[1] = nullptr;
    EXPECT_TRUE(coin_key_hash_address(odd, false, h.data(), text, len));
    EXPECT_FALSE(coin_key_hash_address(odd, true, h.data(), text, len));
    odd.flags = 0;
    EXPECT_FALSE(coin_key_hash_address(odd, false, h.data(), text, len));
}

}  // namespace
}  // namespace qorvex::test
