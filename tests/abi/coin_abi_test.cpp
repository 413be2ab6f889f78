// The coin table through the exported interface: every coin's address and
// WIF text checked against an independent computation (Hash160 and
// Base58Check with the coin's prefix, Bech32, CashAddr, EIP-55, Tron), the
// published BIP-32, BIP-39 and BIP-86 seeds through
// qorvex_coin_derive_from_seed for Bitcoin's purpose-86 path, every coin's
// derivation against qorvex_bip32_derive_path along its own path, every
// code and message in order, and overlapping buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/ref_encoders.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

enum class Style { key_hash, segwit, ethereum, cashaddr, tron };

// The coins as their own documentation gives them, one row per coin type:
// P2PKH prefixes (one or two bytes), WIF versions, segwit hrps and the
// derivation purpose.
struct Coin {
    uint32_t type;
    const char* ticker;
    Style style;
    Bytes p2pkh[2];
    uint8_t wif[2];
    const char* hrp[2];
    uint32_t purpose;
};

const Coin kCoins[] = {
    {0, "BTC", Style::segwit, {}, {0x80, 0xEF}, {"bc", "tb"}, 86},
    {2, "LTC", Style::segwit, {}, {0xB0, 0xEF}, {"ltc", "tltc"}, 86},
    {3, "DOGE", Style::key_hash, {{0x1E}, {0x71}}, {0x9E, 0xF1}, {}, 44},
    {5, "DASH", Style::key_hash, {{0x4C}, {0x8C}}, {0xCC, 0xEF}, {}, 44},
    {60, "ETH", Style::ethereum, {}, {0x00, 0x00}, {}, 44},
    {145, "BCH", Style::cashaddr, {}, {0x80, 0xEF}, {}, 44},
    {236, "BSV", Style::key_hash, {{0x00}, {0x6F}}, {0x80, 0xEF}, {}, 44},
    {133, "ZEC", Style::key_hash, {{0x1C, 0xB8}, {0x1D, 0x25}}, {0x80, 0xEF}, {}, 44},
    {20, "DGB", Style::segwit, {}, {0x80, 0xFE}, {"dgb", "dgbt"}, 84},
    {7, "NMC", Style::key_hash, {{0x34}, {0x6F}}, {0xB4, 0xEF}, {}, 44},
    {6, "PPC", Style::key_hash, {{0x37}, {0x6F}}, {0xB7, 0xEF}, {}, 44},
    {28, "VTC", Style::segwit, {}, {0x80, 0xEF}, {"vtc", "tvtc"}, 84},
    {14, "VIA", Style::segwit, {}, {0xC7, 0xFF}, {"via", "tvia"}, 84},
    {17, "GRS", Style::segwit, {}, {0x80, 0xEF}, {"grs", "tgrs"}, 86},
    {57, "SYS", Style::segwit, {}, {0x80, 0xEF}, {"sys", "tsys"}, 84},
    {175, "RVN", Style::key_hash, {{0x3C}, {0x6F}}, {0x80, 0xEF}, {}, 44},
    {19167, "FLUX", Style::key_hash, {{0x1C, 0xB8}, {0x1D, 0x25}}, {0x80, 0xEF}, {}, 44},
    {2301, "QTUM", Style::key_hash, {{0x3A}, {0x78}}, {0x80, 0xEF}, {}, 84},
    {121, "ZEN", Style::key_hash, {{0x20, 0x89}, {0x20, 0x98}}, {0x80, 0xEF}, {}, 44},
    {156, "BTG", Style::key_hash, {{0x26}, {0x6F}}, {0x80, 0xEF}, {}, 84},
    {141, "KMD", Style::key_hash, {{0x3C}, {0x00}}, {0xBC, 0x00}, {}, 44},
    {195, "TRX", Style::tron, {{0x41}, {0xA0}}, {0x00, 0x00}, {}, 44},
};

const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kOneHex = std::string(63, '0') + "1";

class CoinAbi : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }
    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
    }
    void poison() {
        uint8_t zero[32] = {0};
        ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(ctx(), zero));
    }

    // The address of pub33 for the coin, computed here from the hashes of
    // the public interface and the reference encoders.
    std::string expected_address(const Coin& c, const Bytes& pub33, bool testnet) {
        Bytes h(20);
        EXPECT_EQ(QORVEX_OK, qorvex_hash160(pub33.data(), 33, h.data()));
        const int t = testnet ? 1 : 0;
        switch (c.style) {
            case Style::key_hash: {
                Bytes payload = c.p2pkh[t];
                payload.insert(payload.end(), h.begin(), h.end());
                return ref::base58check(payload);
            }
            case Style::segwit: return ref::segwit_address(c.hrp[t], 0, h);
            case Style::cashaddr: return ref::cashaddr(testnet ? "bchtest" : "bitcoincash", 0, h);
            case Style::ethereum: {
                char text[43];
                size_t len = sizeof text;
                EXPECT_EQ(QORVEX_OK, qorvex_eth_address_checksummed(ctx(), pub33.data(), text, &len));
                return std::string(text, len);
            }
            case Style::tron: {
                Bytes payload = c.p2pkh[t], addr(20);
                EXPECT_EQ(QORVEX_OK, qorvex_eth_address(ctx(), pub33.data(), addr.data()));
                payload.insert(payload.end(), addr.begin(), addr.end());
                return ref::base58check(payload);
            }
        }
        return {};
    }

    std::string coin_address(uint32_t type, const Bytes& pub33, bool testnet) {
        char buf[QORVEX_COIN_ADDRESS_MAX_SIZE];
        size_t len = sizeof buf;
        const int rc = qorvex_coin_address(ctx(), pub33.data(), static_cast<int>(type), testnet ? 1 : 0, buf, &len);
        EXPECT_EQ(QORVEX_OK, rc) << qorvex_last_error_msg(ctx());
        if (rc != QORVEX_OK) return {};
        EXPECT_EQ(std::strlen(buf), len);
        return std::string(buf, len);
    }

    // The key at path below the master key of seed, by the BIP-32 exports.
    void bip32_key(const Bytes& seed, const std::string& path, Bytes& sk, Bytes& pub) {
        qorvex_bip32_key m, k;
        ASSERT_EQ(QORVEX_OK, qorvex_bip32_master(ctx(), seed.data(), seed.size(), &m));
        ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx(), &m, path.c_str(), &k)) << path;
        sk.resize(32);
        pub.resize(33);
        ASSERT_EQ(QORVEX_OK, qorvex_bip32_privkey(ctx(), &k, sk.data()));
        ASSERT_EQ(QORVEX_OK, qorvex_bip32_pubkey(ctx(), &k, pub.data()));
    }

    struct Derived {
        Bytes sk = Bytes(32), pub = Bytes(33);
        std::string address;
    };
    Derived derive(const Bytes& seed, uint32_t type, uint32_t account, int change, uint32_t index, int testnet) {
        Derived d;
        char buf[QORVEX_COIN_ADDRESS_MAX_SIZE];
        size_t len = sizeof buf;
        const int rc = qorvex_coin_derive_from_seed(ctx(), seed.data(), seed.size(), type, account, change, index,
                                                    testnet, d.sk.data(), d.pub.data(), buf, &len);
        EXPECT_EQ(QORVEX_OK, rc) << qorvex_last_error_msg(ctx());
        if (rc == QORVEX_OK) d.address.assign(buf, len);
        return d;
    }

    CtxPtr ctx_;
};

TEST_F(CoinAbi, AddressOfEveryCoinMatchesAnIndependentEncoding) {
    // G, and the keys of a few RFC 6979 private keys for variety.
    std::vector<Bytes> keys = {from_hex(kG)};
    const Json doc = load_json_vectors("rfc6979/rfc6979_secp256k1_sha256.json");
    for (const Json& c : doc["cases"].array()) {
        const Bytes sk = from_hex(c["private_key"].str());
        Bytes pub(33);
        ASSERT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx(), sk.data(), pub.data()));
        keys.push_back(pub);
    }
    for (const Coin& c : kCoins) {
        SCOPED_TRACE(c.ticker);
        for (const Bytes& pub : keys) {
            for (const bool testnet : {false, true}) {
                const std::string got = coin_address(c.type, pub, testnet);
                EXPECT_EQ(expected_address(c, pub, testnet), got) << "testnet " << testnet;
            }
        }
    }
    // A few texts a user of each coin would recognise, for key 1.
    const Bytes g = from_hex(kG);
    EXPECT_EQ("bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", coin_address(0, g, false));
    EXPECT_EQ("tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx", coin_address(0, g, true));
    EXPECT_EQ("0x7E5F4552091A69125d5DfCb7b8C2659029395Bdf", coin_address(60, g, false));
    EXPECT_EQ(coin_address(60, g, false), coin_address(60, g, true));
    EXPECT_EQ("1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH", coin_address(236, g, false));
    EXPECT_EQ('D', coin_address(3, g, false)[0]);
    EXPECT_EQ('T', coin_address(195, g, false)[0]);
    const std::string bch = coin_address(145, g, false);
    EXPECT_EQ("bitcoincash:q", bch.substr(0, 13));
    EXPECT_EQ(12u + 42u, bch.size());
    EXPECT_EQ("bchtest:", coin_address(145, g, true).substr(0, 8));
    // Zcash, Flux and Horizen with both prefix bytes.
    EXPECT_EQ("t1", coin_address(133, g, false).substr(0, 2));
    EXPECT_EQ("t1", coin_address(19167, g, false).substr(0, 2));
    EXPECT_EQ("zn", coin_address(121, g, false).substr(0, 2));
    EXPECT_EQ(22u, ref::unbase58check(coin_address(121, g, true))->size());
}

TEST_F(CoinAbi, WifOfEveryCoin) {
    const Bytes key = from_hex("c9afa9d845ba75166b5c215767b1d6934e50c3db36e89b127b8a622b120f6721");
    for (const Coin& c : kCoins) {
        SCOPED_TRACE(c.ticker);
        for (const int testnet : {0, 1}) {
            char buf[QORVEX_COIN_WIF_MAX_SIZE];
            size_t len = sizeof buf;
            ASSERT_EQ(QORVEX_OK, qorvex_coin_wif_encode(ctx(), key.data(), static_cast<int>(c.type), testnet * 7,
                                                        buf, &len));
            Bytes payload = {c.wif[testnet]};
            payload.insert(payload.end(), key.begin(), key.end());
            payload.push_back(0x01);
            EXPECT_EQ(ref::base58check(payload), std::string(buf, len));
        }
    }
    // Bitcoin's text is the library's compressed WIF, 52 characters from K
    // or L, and reads back.
    const Bytes one = from_hex(kOneHex);
    char buf[QORVEX_COIN_WIF_MAX_SIZE];
    size_t len = sizeof buf;
    ASSERT_EQ(QORVEX_OK, qorvex_coin_wif_encode(ctx(), one.data(), 0, 0, buf, &len));
    EXPECT_STREQ("KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn", buf);
    for (const Bytes* k : {&key, &one}) {
        len = sizeof buf;
        ASSERT_EQ(QORVEX_OK, qorvex_coin_wif_encode(ctx(), k->data(), 0, 0, buf, &len));
        EXPECT_EQ(52u, len);
        EXPECT_TRUE(buf[0] == 'K' || buf[0] == 'L') << buf;
        uint8_t back[32];
        int compressed = 0, network = 1;
        ASSERT_EQ(QORVEX_OK, qorvex_wif_decode(ctx(), buf, back, &compressed, &network));
        EXPECT_EQ(*k, Bytes(back, back + 32));
        EXPECT_EQ(1, compressed);
        EXPECT_EQ(0, network);
    }
}

// BIP-32's and BIP-39's seeds along Bitcoin's purpose-86 path: the master
// key is the published one, and every derived key and address is what the
// BIP-32 exports give at m/86'/0'/account'/change/index.
TEST_F(CoinAbi, PublishedSeedsAlongBitcoinsPath) {
    struct Seed {
        Bytes seed;
        std::string master_xprv;
    };
    std::vector<Seed> seeds;
    const Json b32 = load_json_vectors("bip32/bip32_vectors.json");
    for (const Json& v : b32["valid"].array()) seeds.push_back({from_hex(v["seed"].str()), v["chains"][0]["ext_prv"].str()});
    const Json b39 = load_json_vectors("bip39/vectors.json");
    for (const Json& v : b39["english"].array()) seeds.push_back({from_hex(v[2].str()), v[3].str()});
    ASSERT_EQ(28u, seeds.size());
    struct Where {
        uint32_t account;
        int change;
        uint32_t index;
    };
    const Where places[] = {{0, 0, 0}, {1, 7, 5}, {0x7FFFFFFF, 0, 0x7FFFFFFF}};
    for (size_t i = 0; i < seeds.size(); ++i) {
        SCOPED_TRACE("seed " + std::to_string(i));
        const Seed& s = seeds[i];
        qorvex_bip32_key m, published;
        ASSERT_EQ(QORVEX_OK, qorvex_bip32_master(ctx(), s.seed.data(), s.seed.size(), &m));
        ASSERT_EQ(QORVEX_OK, qorvex_bip32_from_base58(ctx(), s.master_xprv.c_str(), &published));
        ASSERT_EQ(0, std::memcmp(m.data, published.data, sizeof m.data));
        for (const Where& w : places) {
            if (i >= 6 && w.account != 0) continue;  // the far places once per source
            const std::string path = "m/86'/0'/" + std::to_string(w.account) + "'/" +
                                     std::to_string(w.change != 0 ? 1 : 0) + "/" + std::to_string(w.index);
            SCOPED_TRACE(path);
            Bytes sk, pub;
            bip32_key(s.seed, path, sk, pub);
            const Derived d = derive(s.seed, 0, w.account, w.change, w.index, 0);
            EXPECT_EQ(sk, d.sk);
            EXPECT_EQ(pub, d.pub);
            char addr[QORVEX_ADDRESS_MAX_SIZE];
            size_t len = sizeof addr;
            ASSERT_EQ(QORVEX_OK, qorvex_addr_p2wpkh(ctx(), pub.data(), QORVEX_NETWORK_MAINNET, addr, &len));
            EXPECT_EQ(std::string(addr, len), d.address);
        }
    }
    // BIP-86's mnemonic: the internal keys of its three published
    // addresses (Bitcoin shows them as P2WPKH, not P2TR).
    const Json v86 = load_json_vectors("bip86/bip86_vectors.json");
    uint8_t seed[QORVEX_BIP39_SEED_SIZE];
    ASSERT_EQ(QORVEX_OK, qorvex_bip39_to_seed(ctx(), v86["mnemonic"].str().c_str(), "", seed));
    const Bytes s86(seed, seed + sizeof seed);
    const Derived a = derive(s86, 0, 0, 0, 0, 0), b = derive(s86, 0, 0, 0, 1, 0), c = derive(s86, 0, 0, 1, 0, 0);
    EXPECT_EQ(v86["addresses"][0]["internal_key"].str(), to_hex(a.pub.data() + 1, 32));
    EXPECT_EQ(v86["addresses"][1]["internal_key"].str(), to_hex(b.pub.data() + 1, 32));
    EXPECT_EQ(v86["addresses"][2]["internal_key"].str(), to_hex(c.pub.data() + 1, 32));
    EXPECT_EQ("bc1q", a.address.substr(0, 4));
}

// Every coin along its own path, against the BIP-32 exports and the
// independent address encodings.
TEST_F(CoinAbi, EveryCoinDerivesAlongItsPurpose) {
    const Json b39 = load_json_vectors("bip39/vectors.json");
    const Bytes seeds[] = {from_hex(b39["english"][0][2].str()), from_hex("000102030405060708090a0b0c0d0e0f")};
    for (const Coin& c : kCoins) {
        SCOPED_TRACE(c.ticker);
        for (const Bytes& seed : seeds) {
            for (const int testnet : {0, 1}) {
                const uint32_t account = testnet ? 3 : 0, index = testnet ? 9 : 0;
                const int change = testnet;
                const std::string path = "m/" + std::to_string(c.purpose) + "'/" + std::to_string(c.type) + "'/" +
                                         std::to_string(account) + "'/" + std::to_string(change) + "/" +
                                         std::to_string(index);
                Bytes sk, pub;
                bip32_key(seed, path, sk, pub);
                const Derived d = derive(seed, c.type, account, change, index, testnet);
                EXPECT_EQ(sk, d.sk) << path;
                EXPECT_EQ(pub, d.pub) << path;
                EXPECT_EQ(expected_address(c, pub, testnet != 0), d.address) << path;
            }
        }
    }
}

TEST_F(CoinAbi, AddressAndWifRefusalsInOrder) {
    const Bytes g = from_hex(kG), bad = from_hex("04" + kG.substr(2)), off = from_hex("02" + std::string(63, '0') + "5");
    const Bytes zero(32, 0), order = from_hex(kOrderHex), one = from_hex(kOneHex);
    struct Case {
        const char* what;
        const Bytes* input;
        int coin;
        bool wif;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"coin type 1, before the key", &bad, 1, false, 5, "unknown coin type"},
        {"coin type -1", &g, -1, false, 5, "unknown coin type"},
        {"coin type 2^31", &g, static_cast<int>(0x80000000u), false, 5, "unknown coin type"},
        {"uncompressed prefix", &bad, 0, false, 3, "invalid pubkey"},
        {"x not on the curve, Ethereum", &off, 60, false, 3, "invalid pubkey"},
        {"x not on the curve, Tron", &off, 195, false, 3, "invalid pubkey"},
        {"WIF coin type 4, before the key", &zero, 4, true, 5, "unknown coin type"},
        {"WIF zero key", &zero, 0, true, 2, "privkey is zero or >= n"},
        {"WIF key n", &order, 145, true, 2, "privkey is zero or >= n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        char buf[QORVEX_COIN_ADDRESS_MAX_SIZE];
        std::memset(buf, 'x', sizeof buf);
        size_t len = sizeof buf;
        const int rc = c.wif ? qorvex_coin_wif_encode(ctx(), c.input->data(), c.coin, 0, buf, &len)
                             : qorvex_coin_address(ctx(), c.input->data(), c.coin, 1, buf, &len);
        expect_error(rc, c.code, c.message);
        EXPECT_EQ(sizeof buf, len);
        EXPECT_EQ(std::string(sizeof buf, 'x'), std::string(buf, sizeof buf));
    }
    // The capacity rule: L fails and touches nothing, L + 1 succeeds.
    for (const Coin& c : kCoins) {
        for (const bool wif : {false, true}) {
            SCOPED_TRACE(std::string(c.ticker) + (wif ? " WIF" : " address"));
            char buf[QORVEX_COIN_ADDRESS_MAX_SIZE];
            size_t len = sizeof buf;
            auto call = [&](size_t* l) {
                return wif ? qorvex_coin_wif_encode(ctx(), one.data(), static_cast<int>(c.type), 0, buf, l)
                           : qorvex_coin_address(ctx(), g.data(), static_cast<int>(c.type), 0, buf, l);
            };
            ASSERT_EQ(QORVEX_OK, call(&len));
            const std::string full(buf, len);
            const size_t L = len;
            std::memset(buf, 'x', sizeof buf);
            len = L;
            expect_error(call(&len), QORVEX_ERR_BUF_TOO_SMALL, wif ? "WIF buffer too small" : "address buffer too small");
            EXPECT_EQ(L, len);
            EXPECT_EQ(std::string(sizeof buf, 'x'), std::string(buf, sizeof buf));
            len = L + 1;
            ASSERT_EQ(QORVEX_OK, call(&len));
            EXPECT_EQ(full, std::string(buf, len));
            EXPECT_EQ('\0', buf[L]);
        }
    }
}

TEST_F(CoinAbi, DeriveRefusalsInOrder) {
    const Bytes seed(32, 0x42), short_seed(15, 1), long_seed(65, 1), seed16(16, 3), seed64(64, 4);
    struct Case {
        const char* what;
        const Bytes* seed;
        uint32_t coin, account, index;
        bool addr_out, addr_len;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"address without its length", &short_seed, 1, 0, 0, true, false, 1,
         "addr_out and addr_len must both be null or both be non-null"},
        {"length without an address", &seed, 0, 0, 0, false, true, 1,
         "addr_out and addr_len must both be null or both be non-null"},
        {"15-byte seed, before the coin", &short_seed, 1, 0, 0, true, true, 5, "seed must be 16-64 bytes"},
        {"65-byte seed", &long_seed, 0, 0, 0, false, false, 5, "seed must be 16-64 bytes"},
        {"coin type 1", &seed, 1, 0x80000000u, 0, true, true, 5, "unknown coin type"},
        {"account 2^31", &seed, 0, 0x80000000u, 0, true, true, 9, "coin key derivation failed"},
        {"account 2^32 - 1", &seed, 60, 0xFFFFFFFFu, 0, false, false, 9, "coin key derivation failed"},
        {"index 2^31", &seed, 145, 0, 0x80000000u, true, true, 9, "coin key derivation failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t sk[32], pub[33];
        char addr[QORVEX_COIN_ADDRESS_MAX_SIZE];
        std::memset(sk, 0xA5, sizeof sk);
        std::memset(pub, 0xA5, sizeof pub);
        std::memset(addr, 'x', sizeof addr);
        size_t len = sizeof addr;
        expect_error(qorvex_coin_derive_from_seed(ctx(), c.seed->data(), c.seed->size(), c.coin, c.account, 0,
                                                  c.index, 0, sk, pub, c.addr_out ? addr : nullptr,
                                                  c.addr_len ? &len : nullptr),
                     c.code, c.message);
        EXPECT_EQ(Bytes(32, 0xA5), Bytes(sk, sk + 32));
        EXPECT_EQ(Bytes(33, 0xA5), Bytes(pub, pub + 33));
        EXPECT_EQ(std::string(sizeof addr, 'x'), std::string(addr, sizeof addr));
        EXPECT_EQ(sizeof addr, len);
    }
    // 16 and 64 bytes are the bounds that pass; every output is optional.
    for (const Bytes* s : {&seed16, &seed64}) {
        EXPECT_EQ(QORVEX_OK, qorvex_coin_derive_from_seed(ctx(), s->data(), s->size(), 0, 0, 0, 0, 0, nullptr, nullptr,
                                                          nullptr, nullptr));
    }
    // A short address buffer: the keys are written, the address and its
    // length are not.
    const Derived full = derive(seed, 2, 0, 0, 0, 0);
    uint8_t sk[32] = {0}, pub[33] = {0};
    char addr[QORVEX_COIN_ADDRESS_MAX_SIZE];
    std::memset(addr, 'x', sizeof addr);
    size_t len = full.address.size();
    expect_error(qorvex_coin_derive_from_seed(ctx(), seed.data(), seed.size(), 2, 0, 0, 0, 0, sk, pub, addr, &len),
                 QORVEX_ERR_BUF_TOO_SMALL, "address buffer too small");
    EXPECT_EQ(full.sk, Bytes(sk, sk + 32));
    EXPECT_EQ(full.pub, Bytes(pub, pub + 33));
    EXPECT_EQ(full.address.size(), len);
    EXPECT_EQ(std::string(sizeof addr, 'x'), std::string(addr, sizeof addr));
    len = full.address.size() + 1;
    ASSERT_EQ(QORVEX_OK, qorvex_coin_derive_from_seed(ctx(), seed.data(), seed.size(), 2, 0, 0, 0, 0, nullptr, nullptr,
                                                      addr, &len));
    EXPECT_EQ(full.address, std::string(addr, len));
    // Any non-zero change is 1.
    EXPECT_EQ(derive(seed, 0, 0, 1, 0, 0).pub, derive(seed, 0, 0, -3, 0, 0).pub);
}

TEST_F(CoinAbi, NullPointersLeaveTheContextAlone) {
    const Bytes g = from_hex(kG), one = from_hex(kOneHex), seed(32, 1);
    char buf[QORVEX_COIN_ADDRESS_MAX_SIZE];
    size_t len = sizeof buf;
    poison();
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_coin_address(nullptr, g.data(), 0, 0, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_coin_address(ctx(), nullptr, 0, 0, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_coin_address(ctx(), g.data(), 1, 0, nullptr, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_coin_address(ctx(), g.data(), 1, 0, buf, nullptr));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_coin_wif_encode(nullptr, one.data(), 0, 0, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_coin_wif_encode(ctx(), nullptr, 0, 0, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_coin_wif_encode(ctx(), one.data(), 1, 0, nullptr, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_coin_wif_encode(ctx(), one.data(), 1, 0, buf, nullptr));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG,
              qorvex_coin_derive_from_seed(nullptr, seed.data(), 32, 0, 0, 0, 0, 0, nullptr, nullptr, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG,
              qorvex_coin_derive_from_seed(ctx(), nullptr, 32, 0, 0, 0, 0, 0, nullptr, nullptr, buf, &len));
    EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(ctx()));
}

// Outputs written over the inputs: the key over the seed, the address
// over the public key, the WIF text over the private key.
TEST_F(CoinAbi, OverlappingBuffers) {
    const Bytes seed(64, 0x5C);
    const Derived want = derive(seed, 3, 2, 1, 4, 0);
    uint8_t buf[QORVEX_COIN_ADDRESS_MAX_SIZE + 64];
    std::memcpy(buf, seed.data(), 64);
    size_t len = QORVEX_COIN_ADDRESS_MAX_SIZE;
    ASSERT_EQ(QORVEX_OK, qorvex_coin_derive_from_seed(ctx(), buf, 64, 3, 2, 1, 4, 0, buf, buf + 16,
                                                      reinterpret_cast<char*>(buf + 8), &len));
    EXPECT_EQ(want.address, std::string(reinterpret_cast<char*>(buf + 8), len));
    std::memcpy(buf, seed.data(), 64);
    ASSERT_EQ(QORVEX_OK, qorvex_coin_derive_from_seed(ctx(), buf, 64, 3, 2, 1, 4, 0, buf + 31, buf, nullptr, nullptr));
    EXPECT_EQ(want.pub, Bytes(buf, buf + 33));

    const Bytes g = from_hex(kG);
    char text[QORVEX_COIN_ADDRESS_MAX_SIZE];
    std::memcpy(text, g.data(), 33);
    len = sizeof text;
    ASSERT_EQ(QORVEX_OK, qorvex_coin_address(ctx(), reinterpret_cast<uint8_t*>(text), 145, 0, text, &len));
    EXPECT_EQ(coin_address(145, g, false), std::string(text, len));

    const Bytes one = from_hex(kOneHex);
    std::memcpy(text, one.data(), 32);
    len = sizeof text;
    ASSERT_EQ(QORVEX_OK, qorvex_coin_wif_encode(ctx(), reinterpret_cast<uint8_t*>(text), 0, 0, text, &len));
    EXPECT_STREQ("KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn", text);
}

}  // namespace
}  // namespace qorvex::test
