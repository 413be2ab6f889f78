// BIP-32 and BIP-85 internals: the path syntax, derivation in place, and
// every value of the BIP-85 vectors (the full 64 bytes of entropy and the
// applications built from it: WIF, XPRV, and the Nostr key as Bech32).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bitcoin/bech32.h"
#include "bitcoin/bip32.h"
#include "bitcoin/bip85.h"
#include "bitcoin/wif.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Bip32Path, Syntax) {
    struct Case {
        const char* text;
        std::vector<uint32_t> steps;  // empty with ok = false: refused
        bool ok;
    };
    const uint32_t H = bip32::kHardened;
    const Case cases[] = {
        {"m", {}, true},
        {"m/0", {0}, true},
        {"m/0'/1h/2H/3", {H, 1 + H, 2 + H, 3}, true},
        {"m/2147483647'", {0x7FFFFFFF + H}, true},
        {"m/2147483647", {0x7FFFFFFF}, true},
        {"m/007", {7}, true},
        {"m/84'/0'/0'/0/0", {84 + H, H, H, 0, 0}, true},
        {"", {}, false},
        {"M/0", {}, false},
        {"m/", {}, false},
        {"m/0/", {}, false},
        {"m//0", {}, false},
        {"/0", {}, false},
        {"0", {}, false},
        {"m0", {}, false},
        {"m/2147483648", {}, false},
        {"m/99999999999", {}, false},
        {"m/0''", {}, false},
        {"m/0h'", {}, false},
        {"m/ 0", {}, false},
        {"m/0 ", {}, false},
        {"m/-1", {}, false},
        {"m/0x10", {}, false},
        {"m/'", {}, false},
        {"m/1p", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        bip32::Path p;
        ASSERT_EQ(c.ok, bip32::parse_path(c.text, p));
        if (c.ok) {
            EXPECT_EQ(c.steps, std::vector<uint32_t>(p.index, p.index + p.count));
        }
    }
    // 255 steps parse (the depth limit); a 256th does not.
    std::string deep = "m";
    for (int i = 0; i < 255; ++i) deep += "/1";
    bip32::Path p;
    EXPECT_TRUE(bip32::parse_path(deep, p));
    EXPECT_FALSE(bip32::parse_path(deep + "/1", p));
}

TEST(Bip32, DerivationInPlaceAndFailedResultsAreZero) {
    const Bytes seed = from_hex("000102030405060708090a0b0c0d0e0f");
    ExtendedKey m, child, in_place;
    ASSERT_TRUE(bip32::master(seed, m));
    ASSERT_TRUE(bip32::derive_child(m, bip32::kHardened, child));
    in_place = m;
    ASSERT_TRUE(bip32::derive_child(in_place, bip32::kHardened, in_place));
    EXPECT_EQ(0, std::memcmp(&child, &in_place, sizeof child));

    // A failed derivation leaves an all-zero result.
    ExtendedKey deep = m;
    deep.depth = 255;
    std::memset(&child, 0xA5, sizeof child);
    EXPECT_FALSE(bip32::derive_child(deep, 0, child));
    const ExtendedKey zero{};
    EXPECT_EQ(0, std::memcmp(&zero, &child, sizeof child));
    std::memset(&child, 0xA5, sizeof child);
    EXPECT_FALSE(bip32::master(Bytes(15), child));
    EXPECT_EQ(0, std::memcmp(&zero, &child, sizeof child));
}

ExtendedKey from_text(const std::string& text) {
    uint8_t rec[bip32::kRecordSize];
    ExtendedKey k{};
    EXPECT_TRUE(bip32::record_from_base58(text, rec));
    EXPECT_EQ(bip32::RecordError::ok, bip32::parse_record(rec, k));
    return k;
}

TEST(Bip85, EveryVector) {
    const Json doc = load_json_vectors("bip85/bip85_vectors.json");
    for (const auto& c : doc["cases"].array()) {
        const std::string path = c["path"].str();
        SCOPED_TRACE(c["section"].str() + " " + path);
        const ExtendedKey root = from_text(c["master_xprv"].str());
        if (c.has("derived_key")) {
            ExtendedKey k;
            ASSERT_TRUE(bip32::derive_path(root, path, k));
            EXPECT_EQ(c["derived_key"].str(), to_hex(k.key, 32));
        }
        uint8_t e[bip85::kEntropySize];
        ASSERT_TRUE(bip85::entropy(root, path, e));
        const std::string want = c["derived_entropy"].str();
        const std::string got = to_hex(e, 64);
        if (c.has("derived_xprv")) {
            // The XPRV application: chain code the first 32 bytes, key the
            // last 32 (the BIP prints the latter).
            EXPECT_EQ(want, got.substr(64));
            ExtendedKey x{};
            std::memcpy(x.chain_code, e, 32);
            std::memcpy(x.key, e + 32, 32);
            x.is_private = 1;
            char text[bip32::kTextRoom];
            size_t len = 0;
            ASSERT_TRUE(bip32::to_base58(x, text, len));
            EXPECT_EQ(c["derived_xprv"].str(), std::string(text, len));
        } else {
            EXPECT_EQ(want, got.substr(0, want.size()));
        }
        if (c.has("derived_wif")) {
            char text[kWifEncodeRoom];
            size_t len = 0;
            ASSERT_TRUE(wif_encode(e, true, Network::mainnet, text, len));
            EXPECT_EQ(c["derived_wif"].str(), std::string(text, len));
        }
        if (c.has("derived_nsec")) {
            std::vector<uint8_t> values;
            ASSERT_TRUE(convert_bits(Bytes(e, e + 32), 8, 5, true, values));
            EXPECT_EQ(c["derived_nsec"].str(), bech32_encode("nsec", values, Bech32Kind::bech32));
        }
    }
    // A public root has no entropy.
    ExtendedKey pub = from_text(doc["cases"][0]["master_xprv"].str());
    pub.is_private = 0;
    uint8_t e[bip85::kEntropySize];
    EXPECT_FALSE(bip85::entropy(pub, "m/0", e));
}

TEST(Bip85, MnemonicPath) {
    char path[bip85::kMaxPathLength];
    EXPECT_EQ(25u, bip85::bip39_path(0, 12, 0, path));
    EXPECT_STREQ("m/83696968'/39'/0'/12'/0'", path);
    bip85::bip39_path(0, 24, 4294967295u, path);
    EXPECT_STREQ("m/83696968'/39'/0'/24'/4294967295'", path);
}

}  // namespace
}  // namespace qorvex::test
